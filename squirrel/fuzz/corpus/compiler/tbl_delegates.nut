// Table delegation: delegate operator, parent, and table metamethods.
local base = {
  greet = function() { return "hello from " + name; },
  _get = function(k) { return "<" + k + ">"; }
};
local t = delegate base : { name = "t" };
print("t.greet() -> " + t.greet() + "\n");
print("t.missing via _get -> " + t.missing + "\n");
print("t.parent == base -> " + (t.parent == base) + "\n");
print("\"greet\" in t -> " + ("greet" in t) + "\n");
print("t.rawin(\"greet\") -> " + t.rawin("greet") + "\n");
try { print(t.rawget("missing") + "\n"); } catch (e) { print("rawget bypasses delegate -> " + e + "\n"); }

local log = [];
local meta = {
  _set = function(k, v) { ::print("_set " + k + "=" + v + "\n"); return v; },
  _newslot = function(k, v) { ::print("_newslot " + k + "=" + v + "\n"); rawset(k, v * 10); },
  _delslot = function(k) { ::print("_delslot " + k + "\n"); rawdelete(k); },
  _add = function(o) { return "add(" + o + ")"; },
  _sub = function(o) { return "sub(" + o + ")"; },
  _mul = function(o) { return "mul(" + o + ")"; },
  _div = function(o) { return "div(" + o + ")"; },
  _modulo = function(o) { return "mod(" + o + ")"; },
  _unm = function() { return "unm"; },
  _typeof = function() { return "mytype"; },
  _tostring = function() { return "T!"; },
  _call = function(thisarg, a, b) { return "called with " + a + "," + b; },
  _cmp = function(o) { return this.v - o.v; }
};
local m = delegate meta : { v = 5 };
m.absent = 1;
m.fresh <- 2;
print("after _newslot, raw value: " +