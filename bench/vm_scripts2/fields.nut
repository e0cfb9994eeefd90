// Table slots read and written by string key: literal field names and keys held in variables.
local keys = [];
for (local i = 0; i < 32; i++) keys.append("key" + i);
local t = {};
foreach (k in keys) t[k] <- 0;
local rec = { count = 0, sum = 0, last = 0 };
for (local i = 0; i < 300000; i++) {
  local k = keys[i & 31];
  t[k] = t[k] + (i & 15);
  rec.count += 1;
  rec.sum = (rec.sum + t[k]) & 0xFFFFFF;
  rec.last = i;
}
return rec.count + rec.sum + rec.last + t.key7;
