// Debug hook events: call and return lines, and line events only in code compiled with debug info.
local events = [];
function hook(type, src, line, fname) {
  ::events.append(type.tochar() + " " + src + ":" + line + " " + fname);
}
::events <- events;
function foo(a) {
  local b = a + 1;
  return b;
}
function
  spread
  (x)
{
  if (x > 0)
    return x;
  return -x;
}
function tail(n) { return foo(n); }
function gen() { yield 1; yield 2; }
function thrower() {
  throw "out";
}
function run(label, f) {
  events.clear();
  setdebughook(hook);
  try { f(); } catch (e) { events.append("caught " + e); }
  setdebughook(null);
  print(label + ":\n");
  foreach (e in events) print("  " + e + "\n");
}
run("plain call", function() { foo(3); });
run("declaration over several lines", function() { spread(-2); });
run("tail call", function() { tail(1); });
run("generator", function() { local g = gen(); resume g; resume g; });
run("throw", function() { thrower(); });
run("compiled without debug info", compilestring("local x = 1;\nx = foo(x);\nreturn x;", "nodebug"));
enabledebuginfo(true);
run("compiled with debug info", compilestring("local x = 1;\nx = foo(x);\nfunction bar() {\n return 2;\n}\n\nbar();\nif (x)\n  x++;\nfor (local i = 0; i < 2; i++)\n  x += i;\nreturn x;", "debug"));
run("function with a body on one line", compilestring("function one() { return 1; }\none();\nfunction empty() {}\nempty();", "oneline"));
run("statements over lines", compilestring("local t = {\n a = 1,\n b = 2\n};\nlocal s = t.a +\n  t.b;\nreturn s;", "multi"));
enabledebuginfo(null);
