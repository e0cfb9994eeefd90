-- Recursive calls with several arguments: the Takeuchi function.
local function tak(x, y, z)
  if y >= x then return z end
  return tak(tak(x - 1, y, z), tak(y - 1, z, x), tak(z - 1, x, y))
end
local s = 0
for i = 0, 3 do s = s + tak(18 + i, 12, 6) end
print(s)
