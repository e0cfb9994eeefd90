// Creating closures with free variables and calling them.
local k = 3;
local total = 0;
for (local i = 0; i < 200000; i++) {
  local f = function(v) : (k) { return v * k; };
  total += f(i);
}
return total;
