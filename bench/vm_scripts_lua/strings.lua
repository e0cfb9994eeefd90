-- String building: concatenation with numbers, slicing and a growing text.
local total = 0
for i = 0, 99999 do
  local t = "item" .. i .. ":" .. (i * 2)
  total = total + #t + #t:sub(1, 4)
end
local text = ""
for i = 0, 4999 do text = text .. "x" end
print(total + #text)
