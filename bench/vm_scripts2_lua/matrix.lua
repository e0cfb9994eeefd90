-- Array elements read and written by index: integer matrix products on arrays of rows.
-- Indices stay 0-based as in the Squirrel script; Lua tables take index 0 in their hash part, so rows are
-- filled from 1 and read with +1.
local n = 48
local function makeMatrix(n, seed)
  local m = {}
  for i = 0, n - 1 do
    local row = {}
    for j = 0, n - 1 do row[j + 1] = math.fmod(i * seed + j * 7, 13) - 6 end
    m[i + 1] = row
  end
  return m
end
local function multiply(a, b, n)
  local c = {}
  for i = 1, n do
    local ai, ci = a[i], {}
    for j = 1, n do ci[j] = 0 end
    for k = 1, n do
      local aik, bk = ai[k], b[k]
      for j = 1, n do ci[j] = ci[j] + aik * bk[j] end
    end
    c[i] = ci
  end
  return c
end
local a, b = makeMatrix(n, 3), makeMatrix(n, 5)
local s = 0
for r = 0, 11 do
  local c = multiply(a, b, n)
  for i = 0, n - 1 do s = s + c[i + 1][(i + r) % n + 1] end
  a = c
  -- Squirrel's % truncates towards zero like math.fmod, not like Lua's %.
  for i = 1, n do
    local row = a[i]
    for j = 1, n do row[j] = math.fmod(row[j], 101) end
  end
end
print(s)
