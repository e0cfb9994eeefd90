// Table slots: integer keys written and read, string keys updated, and iteration.
local t = {};
for (local i = 0; i < 100000; i++) t[i] <- i;
local s = 0;
for (local i = 0; i < 100000; i++) s += t[i];
foreach (k, v in t) s += v;
local keys = ["alpha", "beta", "gamma", "delta"];
local o = { alpha = 0, beta = 0, gamma = 0, delta = 0 };
for (local i = 0; i < 200000; i++) o[keys[i & 3]] += 1;
return s + o.alpha;
