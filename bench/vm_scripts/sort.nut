// Sorting integers, with the built-in order and with a script comparator.
local a = [];
local x = 12345;
for (local i = 0; i < 30000; i++) {
  x = (x * 1103515245 + 12345) & 0x7FFFFFFF;
  a.append(x);
}
local b = clone a;
b.sort();
local c = clone a;
c.sort(function(p, q) { return p < q ? -1 : p > q ? 1 : 0; });
return b[0] + c[29999];
