// Recursive calls with several arguments: the Takeuchi function.
function tak(x, y, z) {
  if (y >= x) return z;
  return tak(tak(x - 1, y, z), tak(y - 1, z, x), tak(z - 1, x, y));
}
local s = 0;
for (local i = 0; i < 4; i++) s += tak(18 + i, 12, 6);
return s;
