-- Integer arithmetic in a counted loop.
local s = 0
for i = 0, 1999999 do s = s + (i & 7) * 3 - (i % 5) end
print(s)
