// String building: concatenation with numbers, slicing and a growing text.
local total = 0;
for (local i = 0; i < 100000; i++) {
  local t = "item" + i + ":" + (i * 2);
  total += t.len() + t.slice(0, 4).len();
}
local text = "";
for (local i = 0; i < 5000; i++) text += "x";
return total + text.len();
