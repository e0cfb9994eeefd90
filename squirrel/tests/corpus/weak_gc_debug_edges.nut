// Weak references to every kind of object, cycles through every container the collector walks, and the
// debug API seen from scripts.
function t(label, f) { try { print(label + ": " + f() + "\n"); } catch (e) { print(label + ": error " + e + "\n"); } }
class A { v = null; }
t("weakref to instance dies", function() { local a = A(); local w = a.weakref(); a = null; return w.ref(); });
t("weakref to closure", function() { local f = function() { return 1; }; local w = f.weakref(); f = null; return w.ref(); });
t("weakref to class", function() { class Q {} local w = Q.weakref(); return typeof w.ref(); });
t("weakref to weakref", function() { local o = {}; local w = o.weakref(); local w2 = w.weakref(); return typeof w2 + " " + (w2 == w); });
t("weakref of null", function() { local w = null; return typeof w; });
t("weakref compare", function() { local o = {}; local w1 = o.weakref(), w2 = o.weakref(); return (w1 == w2) + " " + (w1.ref() == w2.ref()); });
t("weakref as table key", function() { local o = {}; local t = {}; t[o.weakref()] <- 1; return t.len(); });
t("weakref tostring", function() { local o = {}; local w = o.weakref(); o = null; return typeof w.tostring(); });
t("weak slot in class instance", function() { local o = {}; local a = A(); a.v = o.weakref(); local r = typeof a.v; o = null; collectgarbage(); return r + " " + a.v; });
t("cycle through instance", function() { local a = A(); a.v = a; a = null; return collectgarbage(); });
t("cycle through closure", function() { local t = {}; t.f <- function() : (t) { return t; }; t = null; return collectgarbage(); });
t("cycle through generator", function() { local t = {}; local g = function(x) { yield x; }; t.g <- g(t); t = null; return collectgarbage(); });
t("cycle through array", function() { local a = []; a.append(a); a = null; return collectgarbage(); });
t("cycle through class attribute", function() { class K {} K.me <- K; return collectgarbage(); });
t("cycle through thread", function() { local t = {}; t.th <- newthread(function() : (t) { return t; }); t = null; return collectgarbage(); });
t("cycle through delegate", function() { local t = {}; local d = {}; d.t <- t; t.setdelegate(d); t = null; d = null; return collectgarbage(); });
t("cycle via delegate kw", function() { local d = {}; local t = delegate d : {}; d.t <- t; t = null; d = null; return collectgarbage(); });
t("weak to collected cycle", function() { local a = {}; a.me <- a; local w = a.weakref(); a = null; local n = collectgarbage(); return n + " " + w.ref(); });
t("stackinfos nested", function() { local f = function() { return getstackinfos(2).func; }; return f(); });
t("stackinfos native", function() { local r = ""; [1].sort(function(a, b) { return 0; }); local g = function() { return getstackinfos(0).src + getstackinfos(0).line; }; return g(); });
t("getinfos varargs", function() { local i = (function(a, ...) {}).getinfos(); local s = ""; foreach (p in i.parameters) s += p + ","; return s + " " + i.varargs; });
t("getinfos native typecheck", function() { local i = split.getinfos(); local s = ""; foreach (p in i.typecheck) s += p + ","; return i.paramscheck + " " + s; });
t("seterrorhandler inside", function() { seterrorhandler(function(e) { print("handler " + e + " "); }); local f = function() { throw "x"; }; try { f.call(this); } catch (e) {} seterrorhandler(null); return 1; });
t("stackinfos locals", function() { local x = 5; local y = "s"; local i = getstackinfos(1); local s = i.func + " " + i.line; foreach (k, v in i.locals) s += " " + k + "=" + (k == "this" ? typeof v : v); return s; });
