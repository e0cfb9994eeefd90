-- Integer loops: Collatz chain lengths with while, if, division and modulo.
local longest, total = 0, 0
for n = 1, 11999 do
  local x, steps = n, 0
  while x ~= 1 do
    if x % 2 == 0 then x = x // 2
    else x = 3 * x + 1 end
    steps = steps + 1
  end
  total = total + steps
  if steps > longest then longest = steps end
end
print(total * 1000 + longest)
