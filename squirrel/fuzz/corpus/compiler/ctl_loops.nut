// Loops: while, do-while, for, foreach, break and continue.
local s = "";
local i = 0;
while (i < 5) { i++; if (i == 2) continue; if (i == 4) break; s += i; }
print("while: " + s + " i=" + i + "\n");
s = ""; i = 0;
do { s += i; i++; } while (i < 3);
print("do-while: " + s + "\n");
s = ""; i = 10;
do { s += "once"; } while (i < 3);
print("do-while runs once: " + s + "\n");
s = ""; i = 0;
do { i++; if (i % 2) continue; s += i; } while (i < 6);
print("do-while continue goes to condition: " + s + "\n");
s = "";
for (local j = 0; j < 10; j += 3) s += j + " ";
print("for: " + s + "\n");
s = "";
for (local a = 0, b = 10; a < b; a++, b--) s += a + "-" + b + " ";
print("for with two variables: " + s + "\n");
s = "";
local k = 0;
for (;;) { if (++k > 3) break; s += k; }
print("for(;;): " + s + "\n");
s = "";
for (local j = 0; j < 5; j++) { if (j == 1) continue; if (j == 3) break; s += j; }
print("for continue/break: " + s + "\n");
s = "";
for (local x = 0; x < 3; x++)
  for (local y = 0; y < 3; y++) {
    if (y == x) continue;
    if (y > 1) break;
    s += x + "" + y + " ";
  }
print("nested loops: " + s + "\n");
s = "";
foreach (v in [1, 2, 3, 4]) { if (v == 2) continue; s += v; }
print("foreach continue: " + s + "\n");
s = "";
foreach (idx, v in ["a", "b", "c"]) { s += idx + v; if (idx == 1) break; }
print("foreach break: " + s + "\n");
local outer = "";
foreach (v in [1, 2]) { local inner = v * 10; outer += inner; }
print("block locals: " + outer + "\n");
local total = 0;
for (loc