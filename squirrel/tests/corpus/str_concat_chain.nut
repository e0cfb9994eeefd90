// Chains of concatenation: every piece kind, literals between, and what the temporaries hold afterwards.
local i = 7, f = 1.5, n = null, b = true;
class T { function _tostring() { return "T!"; } }
local t = T();
print("a" + i + "b" + f + "c" + "\n");
print("a" + i + ":" + n + ":" + b + "\n");
print("x" + t + "y" + i + "\n");
print(i + "s" + i + i + "\n");
print(i + i + "s" + "\n");
local s = "p";
s = s + s + s + "q";
print(s + "\n");
local parts = [];
for (local k = 0; k < 3; k++) parts.append("k=" + k + ";" + (k * 2) + "|" + -k);
foreach (p in parts) print(p + "\n");
local big = "";
for (local k = 0; k < 40; k++) big = big + "0123456789" + k + "\n";
print(big.len() + " " + big.slice(0, 20) + "\n");
local u = "" + "" + "";
print(u.len() + "|" + ("" + 0 + "") + "|\n");
print("neg" + -2147483647 + (-2147483647 - 1) + "\n");
local tbl = { k = "v" };
print("t." + tbl.k + "=" + tbl["k"] + "\n");
function f2(a) { return "<" + a + ">" + a; }
print(f2("z") + f2(3) + "\n");
try { print("e" + i + "\n"); } catch (e) { print("caught " + e + "\n"); }
print("sf" + 0.1 + 123456789.0 + 3.0 + "\n");
