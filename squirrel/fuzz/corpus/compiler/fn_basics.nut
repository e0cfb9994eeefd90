// Function declarations, return values, recursion, argument counts.
function add(a, b) { return a + b; }
function noreturn() { local x = 1; }
function fact(n) { return n <= 1 ? 1 : n * fact(n - 1); }
print("add -> " + add(2, 3) + "\n");
print("implicit return -> " + (noreturn() == null) + "\n");
print("fact(10) -> " + fact(10) + "\n");
print("typeof function -> " + typeof add + "\n");
print("typeof native -> " + typeof print + "\n");
local f = add;
print("function value call -> " + f(10, 20) + "\n");
local anon = function(x) { return x * x; };
print("anonymous -> " + anon(7) + "\n");
tbl <- {};  // function a::b needs a name reachable from this/root
function tbl::method(x) { return "method " + x; }
print("table::function -> " + tbl.method(1) + "\n");
ns <- { inner = {} };
function ns::inner::deep() { return "deep"; }
print("nested :: -> " + ns.inner.deep() + "\n");
try { add(1); } catch (e) { print("too few args -> " + e + "\n"); }
try { add(1, 2, 3); } catch (e) { print("too many args -> " + e + "\n"); }
try { local n = null; n(); } catch (e) { print("call null -> " + e + "\n"); }
try { local i = 5; i(); } catch (e) { print("call integer -> " + e + "\n"); }
try { local s = "s"; s(); } catch (e) { print("call string -> " + e + "\n"); }
try { ({})(); } catch (e) { print("call table -> " + e + "\n"); }
try { undefined_function(); } catch (e) { print("call undefined -> " + e + "\n"); }
function early(x) {
  if (x > 0) return "positive";
  return;
}
print("early return -> " + ea