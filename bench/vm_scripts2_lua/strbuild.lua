-- String building: records formatted by concatenation, then joined into one growing text per batch.
local total = 0
for b = 0, 599 do
  local text = ""
  for i = 0, 99 do
    local line = "id=" .. (b * 100 + i) .. ";name=" .. "unit" .. i .. ";\n"
    text = text .. line
  end
  total = total + #text
end
print(total)
