-- Generators driven by a for-in loop and by explicit resumption.
-- The engine's integers are 32-bit; sums here wrap only in the printed total, and since wrapping commutes
-- with addition, folding to 32 bits once at the end prints the same number without extra work in the loop.
local function wrap32(v)
  v = v & 0xFFFFFFFF
  if v >= 0x80000000 then v = v - 0x100000000 end
  return v
end

local function gen(n)
  return coroutine.wrap(function()
    for i = 0, n - 1 do coroutine.yield(i) end
  end)
end
local s = 0
for v in gen(200000) do s = s + v end
local g = gen(100000)
for i = 0, 99999 do s = s + g() end
print(wrap32(s))
