// Array element reads and writes.
local a = array(100000, 0);
for (local i = 0; i < 100000; i++) a[i] = i;
local s = 0;
for (local r = 0; r < 10; r++)
  for (local i = 0; i < 100000; i++) s += a[i];
return s;
