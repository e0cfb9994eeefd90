// Integer loops: Collatz chain lengths with while, if, division and modulo.
local longest = 0, total = 0;
for (local n = 1; n < 12000; n++) {
  local x = n, steps = 0;
  while (x != 1) {
    if (x % 2 == 0) x = x / 2;
    else x = 3 * x + 1;
    steps++;
  }
  total += steps;
  if (steps > longest) longest = steps;
}
return total * 1000 + longest;
