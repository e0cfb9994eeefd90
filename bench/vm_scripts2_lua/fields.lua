-- Table slots read and written by string key: literal field names and keys held in variables.
local keys = {}
for i = 0, 31 do keys[#keys + 1] = "key" .. i end
local t = {}
for _, k in ipairs(keys) do t[k] = 0 end
local rec = { count = 0, sum = 0, last = 0 }
for i = 0, 299999 do
  local k = keys[(i & 31) + 1]
  t[k] = t[k] + (i & 15)
  rec.count = rec.count + 1
  rec.sum = (rec.sum + t[k]) & 0xFFFFFF
  rec.last = i
end
print(rec.count + rec.sum + rec.last + t.key7)
