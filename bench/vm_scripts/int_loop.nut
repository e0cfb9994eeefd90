// Integer arithmetic in a counted loop.
local s = 0;
for (local i = 0; i < 2000000; i++) s = s + (i & 7) * 3 - (i % 5);
return s;
