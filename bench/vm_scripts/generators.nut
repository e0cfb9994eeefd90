// Generators driven by foreach and by resume.
function gen(n) { for (local i = 0; i < n; i++) yield i; }
local s = 0;
foreach (v in gen(200000)) s += v;
local g = gen(100000);
for (local i = 0; i < 100000; i++) s += resume g;
return s;
