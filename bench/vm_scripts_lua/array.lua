-- Array element reads and writes.
-- The engine's integers are 32-bit; sums here wrap only in the printed total, and since wrapping commutes
-- with addition, folding to 32 bits once at the end prints the same number without extra work in the loop.
local function wrap32(v)
  v = v & 0xFFFFFFFF
  if v >= 0x80000000 then v = v - 0x100000000 end
  return v
end

local a = {}
for i = 1, 100000 do a[i] = i - 1 end
local s = 0
for r = 0, 9 do
  for i = 1, 100000 do s = s + a[i] end
end
print(wrap32(s))
