// Results at the edges of the base library and the default delegates.
function t(label, f) { try { print(label + ": " + f() + "\n"); } catch (e) { print(label + ": error " + e + "\n"); } }
t("table clear", function() { local x = {a = 1}; local r = x.clear(); return typeof r + " " + x.len(); });
t("array clear", function() { local x = [1, 2]; local r = x.clear(); return typeof r + " " + x.len(); });
foreach (level in [-1, -2, -100]) {
  t("getstackinfos " + level, function() : (level) {
    local i = getstackinfos(level);
    local n = 0;
    foreach (k, v in i.locals) n++;
    return i.func + " " + i.src + " " + i.line + " " + n + " locals";
  });
}
t("getstackinfos past the stack", function() { return getstackinfos(100); });
local cmps = [
  ["integer", function(x, y) { return x - y; }],
  ["float", function(x, y) { return (x - y) * 1.0; }],
  ["fraction", function(x, y) { return (x - y) * 0.1; }],
  ["halves", function(x, y) { return x < y ? -0.5 : (x > y ? 0.5 : 0.0); }],
  ["uneven floats", function(x, y) { return x < y ? -1.5 : 2.5; }],
  ["negative zero", function(x, y) { return x < y ? -1 : (x > y ? 1 : -0.0); }],
  ["bool", function(x, y) { return x > y; }],
  ["null", function(x, y) { return null; }],
  ["string", function(x, y) { return "1"; }],
];
foreach (c in cmps) {
  local f = c[1];
  t("sort with a " + c[0] + " comparator", function() : (f) {
    local a = [5, 3, 1, 4, 2];
    a.sort(f);
    local s = "";
    foreach (v in a) s += v;
    return s;
  });
}
t("sort of one with a null comparator", function() { local a = [3]; a.sort(function(x, y) { return null; }); return a[0]; });
t("split on a zero byte", function() { return split("a\x00b", "\x00").len(); });
t("split with a zero byte among separators", function() { return split("a,b;c", ",\x00;").len(); });
t("split on nothing", function() { return split("abc", "").len(); });
t("readblob(0)", function() { local b = blob(4); return typeof b.readblob(0); });
t("readblob(1)", function() { local b = blob(4); local r = b.readblob(1); return typeof r + " " + r.len(); });
t("readblob at the end", function() { local b = blob(4); b.seek(4); return typeof b.readblob(2); });
t("readblob past the end", function() { local b = blob(4); b.seek(3); return b.readblob(2).len(); });

class M {
  _add = 1
  _tostring = "x"
  _cmp = 5
  _get = "g"
}
t("members named like metamethods", function() { local m = M(); return m._add + " " + m._tostring + " " + m._cmp + " " + m._get; });
t("instance with a non-function _tostring", function() { return typeof M(); });
class C { v = 0; constructor(x) { v = x; } function _cmp(o) { return v - o.v; } }
t("_cmp with itself", function() { local a = C(1); return (a < a) + " " + (a <= a) + " " + (a > a) + " " + (a >= a); });
t("_cmp with another", function() { local a = C(1), b = C(2); return (a < b) + " " + (b < a) + " " + (a == b); });
class NC { _call = 5; }
t("non-function _call on an instance", function() { return NC()(); });
local nct = delegate { _call = 5 } : {};
t("non-function _call on a table", function() : (nct) { return nct(); });
