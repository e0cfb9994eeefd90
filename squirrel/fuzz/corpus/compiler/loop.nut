local a = [1,2]; foreach (v in a) print(v); while (1) {}
