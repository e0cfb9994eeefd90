// When a value dies: the slots a call leaves behind, weak references and the collector's count.
local t = {};
local w = t.weakref();
print("before: " + (w.ref() == t) + "\n");
t = null;
print("after the last variable: " + (w.ref() == null) + "\n");

function pair() {
  local a = {}; local b = {};
  a.b <- b; b.a <- a;
  local wa = a.weakref();
  a = null; b = null;
  print("two-table cycle: freed " + collectgarbage() + ", weak " + (wa.ref() == null) + "\n");
}
pair();
function selfref() { local x = {}; x.self <- x; return x.weakref(); }
local wr = selfref();
print("self cycle: freed " + collectgarbage() + ", weak " + wr.ref() + "\n");

// Each probe leaves a cycle in some slot and reports what a collection frees.
function id6(a, b, c, d, e, f) { return 0; }
function id(a) { return a; }
function rv() { local t = {}; t.me <- t; return t; }
function inner() { local a = 0, b = 0, c = 0; local t = {}; t.me <- t; return 0; }
function gen() { local a = 0, b = 0, c = 0; local t = {}; t.me <- t; t = null; yield 1; }
function thrower(a, b, c, d, e, f) { local x = f; throw 1; }
local probes = [
  ["argument of a script call", function() { local t = {}; t.me <- t; id6(0, 0, 0, 0, 0, t); t = null; return collectgarbage(); }],
  ["argument of a native call", function() { local t = {}; t.me <- t; array(1, t); t = null; return collectgarbage(); }],
  ["value a native pushed", function() {
    local t = {}; t.me <- t; local w = t.weakref(); local q = 0, q2 = 0;
    w.ref(); t = null; local r = collectgarbage(); local a = 0, b = 0, c = 0, d = 0, e = 0, f = 0; return r; }],
  ["result of a script call", function() { local x = 1; rv(); return collectgarbage(); }],
  ["locals of a returned call", function() { inner(); local r = collectgarbage(); local a = 0, b = 0, c = 0, d = 0, e = 0, f = 0, g = 0; return r; }],
  ["suspended generator", function() { local g = gen(); resume g; local r = collectgarbage(); local a = 0, b = 0, c = 0, d = 0, e = 0, f = 0; return r; }],
  ["caught throw in a block", function() { local t = {}; t.me <- t; try { local u = 0, v = 0, z = 0, zz = t; throw 1; } catch (e) {} t = null; return collectgarbage(); }],
  ["argument of a throwing call", function() { local t = {}; t.me <- t; try { thrower(0, 0, 0, 0, 0, t); } catch (e) {} t = null; return collectgarbage(); }],
  ["local of a closed block", function() { local t = {}; t.me <- t; { local a = 0, b = 0, c = 0, d = 0, e = 0; local u = t; } t = null; return collectgarbage(); }],
];
foreach (p in probes) {
  collectgarbage();
  local probe = p[1];
  print(p[0] + ": " + probe() + "\n");
}

// Slots just above a native call's arguments die with it; print leaves its text there.
function blockthen(k, what) {
  local src = "local t = {};\nt.me <- t;\n{ local ";
  for (local i = 1; i < k; i++) src += "p" + i + " = 0, ";
  src += "pk = t; }\nt = null;\n" + what + "\nlocal r = collectgarbage();\nreturn r;";
  return compilestring(src)();
}
foreach (what in ["", "print(\"\");", "id(0);", "[].len();", "id(id(0));"])
  for (local k = 2; k < 7; k++) {
    collectgarbage();
    print(blockthen(k, what) + (k == 6 ? "\n" : " "));
  }

local arr = [];
for (local i = 0; i < 3; i++) { local c = {}; c.me <- c; arr.append(c.weakref()); }
print("loop with weak refs: " + collectgarbage() + " then " + collectgarbage() + "\n");
local live = 0;
foreach (x in arr) if (x != null) live++;
print("still answering: " + live + "\n");

// The same graphs made from a bigger function: what the collector counts depends on which slots the code
// leaves holding values.
// The count is of the objects the sweep finalizes; garbage freed as a consequence is not counted.
function mk1() { local r = {}; r.me <- r; local x = {}; local y = {}; r.x <- x; x.y <- y; y.x <- x; }
function mk2() { local y = {}; local x = {}; local r = {}; r.me <- r; r.x <- x; x.y <- y; y.x <- x; }
function mk3() { local a = []; local b = [a]; a.append(b); local c = {t = a}; c.c <- c; }
function mk4() { local c = {}; c.c <- c; local a = []; c.t <- a; local b = [a]; a.append(b); }
function mk5() { local l = []; for (local i = 0; i < 5; i++) { local t = {}; t.s <- t; l.append(t); } l.append(l); }
class A { b = null; }
function mk6() { local a = A(); local b = A(); a.b = b; b.b = a; }
function mk7() { local f = null; local t = {}; f = function() : (t) { return t; }; t.f <- f; }
foreach (i, mk in [mk1, mk2, mk3, mk4, mk5, mk6, mk7]) {
  mk();
  print("graph " + (i + 1) + ": " + collectgarbage() + "\n");
}
print("nothing left: " + collectgarbage() + "\n");

