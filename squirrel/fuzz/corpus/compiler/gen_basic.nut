// Generators: yield, resume, getstatus, foreach over generators.
function counter(from, to) {
  for (local i = from; i <= to; i++) yield i;
  return "finished";
}
local g = counter(1, 3);
print("typeof: " + typeof g + ", status: " + g.getstatus() + "\n");
print("resume: " + (resume g) + " " + (resume g) + " " + (resume g) + "\n");
print("status after last yield: " + g.getstatus() + "\n");
print("final resume returns: " + (resume g) + "\n");
print("status: " + g.getstatus() + "\n");
try { resume g; } catch (e) { print("resume dead -> " + e + "\n"); }
local s = "";
foreach (v in counter(5, 8)) s += v + " ";
print("foreach values: " + s + "\n");
s = "";
foreach (i, v in counter(10, 12)) s += i + ":" + v + " ";
print("foreach index:value: " + s + "\n");
function noyield_value() { yield; yield; }
local n = noyield_value();
print("bare yield gives null: " + (resume n == null) + "\n");
try { compilestring("local v = yield 1;"); } catch (e) { print("yield is a statement, not an expression -> " + e + "\n"); }
function fib() { local a = 0, b = 1; while (true) { yield a; local t = a + b; a = b; b = t; } }
local f = fib();
s = "";
for (local i = 0; i < 10; i++) s += (resume f) + " ";
print("infinite generator: " + s + "\n");
function gen_with_try() {
  try { yield 1; throw "inside"; }
  catch (e) { yield "caught " + e; }
  yield 3;
}
local gtry = gen_with_try();
s = "";
for (local i = 0; i < 3; i++) s += (resume gtry) + "; ";
print("try/catch across yields (explicit resume): " + s + "\n