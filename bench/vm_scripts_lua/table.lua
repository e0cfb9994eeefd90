-- Table slots: integer keys written and read, string keys updated, and iteration.
-- The engine's integers are 32-bit; sums here wrap only in the printed total, and since wrapping commutes
-- with addition, folding to 32 bits once at the end prints the same number without extra work in the loop.
local function wrap32(v)
  v = v & 0xFFFFFFFF
  if v >= 0x80000000 then v = v - 0x100000000 end
  return v
end

local t = {}
for i = 0, 99999 do t[i] = i end
local s = 0
for i = 0, 99999 do s = s + t[i] end
for k, v in pairs(t) do s = s + v end
local keys = { "alpha", "beta", "gamma", "delta" }
local o = { alpha = 0, beta = 0, gamma = 0, delta = 0 }
for i = 0, 199999 do
  local key = keys[(i & 3) + 1]
  o[key] = o[key] + 1
end
print(wrap32(s + o.alpha))
