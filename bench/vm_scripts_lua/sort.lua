-- Sorting integers, with the built-in order and with a script comparator.
-- The engine's integers are 32-bit; sums here wrap only in the printed total, and since wrapping commutes
-- with addition, folding to 32 bits once at the end prints the same number without extra work in the loop.
local function wrap32(v)
  v = v & 0xFFFFFFFF
  if v >= 0x80000000 then v = v - 0x100000000 end
  return v
end

local a = {}
local x = 12345
for i = 0, 29999 do
  -- The low 31 bits of the 64-bit product match those of the 32-bit wrapped one.
  x = (x * 1103515245 + 12345) & 0x7FFFFFFF
  a[#a + 1] = x
end
local b = table.move(a, 1, #a, 1, {})
table.sort(b)
local c = table.move(a, 1, #a, 1, {})
-- Lua's sort wants "less than"; the three-way result is reduced to that.
table.sort(c, function(p, q) return (p < q and -1 or p > q and 1 or 0) < 0 end)
print(wrap32(b[1] + c[30000]))
