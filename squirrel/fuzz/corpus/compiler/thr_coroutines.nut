// Threads (coroutines): newthread, call, suspend, wakeup, getstatus.
function worker(a, b) {
  print("worker started with " + a + "," + b + "\n");
  local got = suspend("first pause");
  print("worker resumed with " + (got == null ? "null" : got) + "\n");
  got = suspend("second pause");
  print("worker resumed again with " + (got == null ? "null" : got) + "\n");
  return "worker result";
}
local th = newthread(worker);
print("typeof: " + typeof th + ", status: " + th.getstatus() + "\n");
local r = th.call(1, 2);
print("call returned: " + r + ", status: " + th.getstatus() + "\n");
r = th.wakeup("w1");
print("wakeup returned: " + r + ", status: " + th.getstatus() + "\n");
r = th.wakeup("w2");
print("final wakeup returned: " + r + ", status: " + th.getstatus() + "\n");
try { th.wakeup(1); } catch (e) { print("wakeup idle -> " + e + "\n"); }
local again = th.call(3, 4);
print("thread reusable after finishing: " + again + "\n");
th.wakeup(); th.wakeup();
print("wakeup without value -> status " + th.getstatus() + "\n");

function thrower() { suspend(1); throw "thread failure"; }
local t2 = newthread(thrower);
t2.call();
try { t2.wakeup(); } catch (e) { print("error from thread -> " + e + ", status " + t2.getstatus() + "\n"); }

function quick() { return "no suspend"; }
local t3 = newthread(quick);
print("call without suspend: " + t3.call() + ", status " + t3.getstatus() + "\n");

function gens() {
  local n = 0;
  while (true) { n++; suspend(n * n); }
}
local t4 = newthread(gens)