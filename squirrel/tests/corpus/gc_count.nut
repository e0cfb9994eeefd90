// What collectgarbage() answers for different graphs of garbage.
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

