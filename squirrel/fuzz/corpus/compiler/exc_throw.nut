// Exceptions: throwing any value, nesting, rethrow, unwinding, control flow out of try.
function kind(e) { return e == null ? "null" : typeof e; }
foreach (v in [42, "text", 1.5, true, null, [1, 2], { k = "v" }]) {
  try { throw v; } catch (e) { print("caught " + kind(e) + (typeof e == "table" ? " k=" + e.k : "") + "\n"); }
}
class MyError { msg = null; constructor(m) { msg = m; } }
try { throw MyError("custom"); }
catch (e) { print("instance: " + (e instanceof MyError) + " " + e.msg + "\n"); }
try {
  try { throw "inner"; }
  catch (e) { print("inner caught " + e + ", rethrowing\n"); throw e + "+rethrown"; }
} catch (e) { print("outer caught " + e + "\n"); }
function level3() { throw "deep"; }
function level2() { level3(); print("not reached\n"); }
function level1() { try { level2(); } catch (e) { return "level1 caught " + e; } }
print(level1() + "\n");
function ret_in_try() { try { return "returned from try"; } catch (e) { return "no"; } }
print(ret_in_try() + "\n");
local s = "";
for (local i = 0; i < 5; i++) {
  try {
    if (i == 1) continue;
    if (i == 3) break;
    s += i;
  } catch (e) {}
}
print("break/continue out of try: " + s + "\n");
s = "";
foreach (i in [1, 2, 3]) {
  try { try { if (i == 2) throw "skip"; s += i; } catch (e) { s += "x"; continue; } } catch (e2) {}
}
print("continue from nested catch: " + s + "\n");
local after = 0;
try { throw "a"; } catch (e) { after = 1; }
print("execution continues after catch: " + after + "\n");
function cleanup_order() 