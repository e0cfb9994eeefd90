// Setting a slot that cannot exist, and ++, -- and compound assignment on a slot a _get makes up.
function t(label, f) { try { print(label + ": " + f() + "\n"); } catch (e) { print(label + ": error " + e + "\n"); } }
t("field of null", function() { local a = null; a.x = 1; });
t("field of an integer", function() { local a = 5; a.x = 1; });
t("index of an integer", function() { local a = 5; a[1] = 1; });
t("field of a float", function() { local a = 1.5; a.x = 1; });
t("field of a bool", function() { local a = true; a.x = 1; });
t("index of a string", function() { local a = "abc"; a[0] = 1; });
t("new slot in null", function() { local a = null; a.x <- 1; });
t("array out of range", function() { local a = [1]; a[5] = 1; });
t("array by string", function() { local a = [1]; a["x"] = 1; });
t("missing table slot", function() { local a = {}; a.x = 1; });
t("read of null", function() { local a = null; return a.x; });

local made = { _get = function(k) { return 10; } };
local tb = delegate made : {};
t("postfix ++ through _get", function() : (tb) { tb.v++; return tb.v; });
t("prefix ++ through _get", function() : (tb) { ++tb.w; return tb.w; });
t("+= through _get", function() : (tb) { tb.z += 3; return tb.z; });
t("-- result", function() : (tb) { return tb.y--; });
local both = { _get = function(k) { return 10; }, _set = function(k, v) { print("  _set " + k + "\n"); } };
local tb2 = delegate both : {};
t("++ with _set too", function() : (tb2) { tb2.v++; return tb2.v; });
t("*= with _set too", function() : (tb2) { tb2.v *= 3; return tb2.v; });
t("plain set with _set", function() : (tb2) { tb2.v = 3; return tb2.v; });
local held = { v = 1 };
local tb3 = delegate held : {};
t("++ on a delegate's slot", function() : (tb3, held) { tb3.v++; return tb3.v + " " + held.v + " " + tb3.rawin("v"); });
t("+= on a delegate's slot", function() : (tb3, held) { tb3.v += 5; return tb3.v + " " + held.v; });
class G { function _get(k) { return 7; } }
local g = G();
t("instance ++ through _get", function() : (g) { g.q++; return g.q; });
t("instance += through _get", function() : (g) { g.q += 2; return g.q; });
t("instance set", function() : (g) { g.q = 2; return g.q; });
::kept <- { q = 1 };
class H { function _get(k) { if (k in ::kept) return ::kept[k]; throw null; } function _set(k, v) { print("  _set " + k + "=" + v + "\n"); ::kept[k] <- v; } function Step() { q += 10; ++q; q++; return q; } }
local h = H();
t("instance ++ through _get and _set", function() : (h) { h.q++; return h.q + " " + ::kept.q; });
t("instance += through _get and _set", function() : (h) { h.q += 5; return h.q; });
t("instance -- prefix through _set", function() : (h) { return --h.q; });
t("members stepped from a method", function() : (h) { return h.Step(); });
t("string ++", function() { local s = "abc"; s[0]++; return s; });
t("string +=", function() { local s = "abc"; s[0] += 1; return s; });
::gg <- 1;
local o = { function f() { gg++; gg += 10; return gg; } };
t("root slot from another this", function() : (o) { return o.f(); });

class K { function _newmember(k, v, a) { print("_newmember " + k + "\n"); rawset(k, v); } }
class K2 extends K { foo = 1; function bar() { return 2; } }
print("members: " + K2.foo + " " + K2().bar() + "\n");
