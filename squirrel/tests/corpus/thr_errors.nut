// Errors of thread calls and wakeups: which reach the thread's error handler, and what the caller gets.
function t(label, f) { try { print(label + ": " + f() + "\n"); } catch (e) { print(label + ": error " + e + "\n"); } }
t("thread call throws", function() { local th = newthread(function() { throw "inner"; }); return th.call(); });
t("thread call throws non-string", function() { local th = newthread(function() { throw 5; }); return th.call(); });
t("thread call bad param count", function() { local th = newthread(function(a, b) { return a; }); return th.call(1); });
t("thread call twice", function() { local th = newthread(function() { return 1; }); th.call(); return th.call(); });
t("thread call while suspended", function() { local th = newthread(function() { suspend(1); return 2; }); th.call(); return th.call(); });
t("thread wakeup idle", function() { local th = newthread(function() { return 1; }); return th.wakeup(); });
t("thread wakeup after done", function() { local th = newthread(function() { suspend(1); return 2; }); th.call(); th.wakeup(); return th.wakeup(); });
t("thread status", function() { local th = newthread(function() { suspend(1); return 2; }); local s = th.getstatus(); th.call(); s += " " + th.getstatus(); th.wakeup(); return s + " " + th.getstatus(); });
t("thread error after suspend", function() { local th = newthread(function() { suspend(1); throw "late"; }); th.call(); return th.wakeup(); });
t("thread status after error", function() { local th = newthread(function() { throw "x"; }); try { th.call(); } catch (e) {} return th.getstatus(); });
t("thread call with this", function() { local th = newthread(function() { return typeof this; }); return th.call(); });
t("thread runtime error message", function() { local th = newthread(function() { local x = null; return x.y; }); return th.call(); });
t("wakeup with value", function() { local th = newthread(function() { local v = suspend(1); return v; }); th.call(); return th.wakeup(42); });
t("call returns suspend value", function() { local th = newthread(function() { suspend("s"); return 2; }); return th.call(); });
t("thread call error status", function() { local th = newthread(function() { throw "x"; }); try { th.call(); } catch(e) {} return th.getstatus() + " " + th.call(); });
t("call bad params", function() { return (function(a, b) { return a; }).call(this, 1); });
t("thread call generator function", function() { local th = newthread(function() { yield 1; }); return typeof th.call(); });
// suspending the main VM ends the run here, in both
t("suspend outside thread", function() { return suspend(1); });
