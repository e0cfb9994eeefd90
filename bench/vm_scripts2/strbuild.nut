// String building: records formatted by concatenation, then joined into one growing text per batch.
local total = 0;
for (local b = 0; b < 600; b++) {
  local text = "";
  for (local i = 0; i < 100; i++) {
    local line = "id=" + (b * 100 + i) + ";name=" + "unit" + i + ";\n";
    text += line;
  }
  total += text.len();
}
return total;
