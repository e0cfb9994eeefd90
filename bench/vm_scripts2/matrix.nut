// Array elements read and written by index: integer matrix products on arrays of rows.
local n = 48;
function makeMatrix(n, seed) {
  local m = array(n);
  for (local i = 0; i < n; i++) {
    local row = array(n, 0);
    for (local j = 0; j < n; j++) row[j] = (i * seed + j * 7) % 13 - 6;
    m[i] = row;
  }
  return m;
}
function multiply(a, b, n) {
  local c = array(n);
  for (local i = 0; i < n; i++) {
    local ai = a[i], ci = array(n, 0);
    for (local k = 0; k < n; k++) {
      local aik = ai[k], bk = b[k];
      for (local j = 0; j < n; j++) ci[j] += aik * bk[j];
    }
    c[i] = ci;
  }
  return c;
}
local a = makeMatrix(n, 3), b = makeMatrix(n, 5);
local s = 0;
for (local r = 0; r < 12; r++) {
  local c = multiply(a, b, n);
  for (local i = 0; i < n; i++) s += c[i][(i + r) % n];
  a = c;
  for (local i = 0; i < n; i++)
    for (local j = 0; j < n; j++) a[i][j] = a[i][j] % 101;
}
return s;
