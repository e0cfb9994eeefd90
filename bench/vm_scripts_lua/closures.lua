-- Creating closures with free variables and calling them.
-- The engine's integers are 32-bit; sums here wrap only in the printed total, and since wrapping commutes
-- with addition, folding to 32 bits once at the end prints the same number without extra work in the loop.
local function wrap32(v)
  v = v & 0xFFFFFFFF
  if v >= 0x80000000 then v = v - 0x100000000 end
  return v
end

local k = 3
local total = 0
for i = 0, 199999 do
  local f = function(v) return v * k end
  total = total + f(i)
end
print(wrap32(total))
