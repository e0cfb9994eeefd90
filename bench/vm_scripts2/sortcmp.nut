// Sorting records with a script comparison function on a field.
local recs = [];
local x = 4242;
for (local i = 0; i < 20000; i++) {
  x = (x * 1103515245 + 12345) & 0x7FFFFFFF;
  recs.append({ key = (x >> 16) * 32768 + i, id = i });
}
recs.sort(function(p, q) { return p.key < q.key ? -1 : p.key > q.key ? 1 : 0; });
local s = 0;
for (local i = 0; i < 20000; i += 97) s = (s * 31 + recs[i].id) & 0xFFFFFF;
return s;
