-- Sorting records with a script comparison function on a field.
local recs = {}
local x = 4242
for i = 0, 19999 do
  -- The low 31 bits of the 64-bit product match those of the 32-bit wrapped one.
  x = (x * 1103515245 + 12345) & 0x7FFFFFFF
  recs[#recs + 1] = { key = (x >> 16) * 32768 + i, id = i }
end
-- Lua's sort wants "less than"; the three-way result is reduced to that.
table.sort(recs, function(p, q)
  return (p.key < q.key and -1 or p.key > q.key and 1 or 0) < 0
end)
local s = 0
for i = 0, 19999, 97 do s = (s * 31 + recs[i + 1].id) & 0xFFFFFF end
print(s)
