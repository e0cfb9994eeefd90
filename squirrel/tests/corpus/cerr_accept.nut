// What the compiler accepts at the edges: statements after a constant, ++/-- on expressions, compound
// assignment to a constant, deep nesting.
function c(label, src) {
  try { print(label + ": " + compilestring(src, "src")() + "\n"); }
  catch (e) { print(label + ": error " + e + "\n"); }
}
c("statement after const, same line", "const X = 1; local y = X + 1; return y;");
c("statement after const, next line", "const X = 1;\nlocal y = X + 1; return y;");
c("two consts on a line", "const X = 1; const Y = 2;\nreturn X + Y;");
c("enum then statement", "enum E { A, B } local y = E.B; return y;");
c("compound assignment to a const", "const K = 1\nK += 2\nreturn K;");
c("compound assignment to a const, value", "const K = 1\nlocal r = (K += 2); return r + \" \" + K;");
c("assignment to a const", "const K = 1\nK = 2\nreturn K;");
c("postfix ++ on a const", "const K = 1\nlocal r = K++; return r + \" \" + K;");
c("prefix ++ on a const", "const K = 1\nlocal r = ++K; return r + \" \" + K;");
c("prefix ++ on a literal", "return ++5;");
c("prefix ++ on a string", "return ++\"a\";");
c("prefix -- on a call", "function f() { return 10; } return --f();");
c("prefix ++ on a parenthesised local", "local x = 1; local r = ++(x); return r + \" \" + x;");
c("prefix -- on a parenthesised sum", "local x = 5; local r = --(x + 1); return r + \" \" + x;");
c("postfix ++ on a call", "function f() { return 10; } return f()++;");
c("compound assignment to a literal", "return 5 += 2;");
c("compound assignment to a call", "function f() { return 1; } return f() += 2;");
c("compound assignment to a parenthesised local", "local x = 1; (x) += 2; return x;");
c("prefix ++ on this", "return ++this;");
c("unary minus run", "return " + "--------------------" + "1;");

function nest(open, inner, close, n) {
  local s = "";
  for (local i = 0; i < n; i++) s += open;
  s += inner;
  for (local i = 0; i < n; i++) s += close;
  return s;
}
c("1000 nested parentheses", "return " + nest("(", "1", ")", 1000) + ";");
c("300 nested blocks", nest("{", "", "}", 300) + " return 1;");
c("300 nested functions", "return typeof " + nest("function() { return ", "1", "; }", 300) + ";");
c("300 nested arrays", "return " + nest("[", "", "]", 300) + ";");
c("300 nested ifs", "local x = 0;\n" + nest("if (x == 0) ", "x = 1;", "", 300) + "\nreturn x;");

// What may follow an if on its own line: a branch ending with '}' does not end the statement.
c("if block, statement", "local r = 0; if (1) { r = 1; } r += 2; return r;");
c("if block, newline", "local r = 0; if (1) { r = 1; }\nr += 2; return r;");
c("if block, comment", "local r = 0; if (1) { r = 1; } /* c */ r += 2; return r;");
c("if block, semicolon", "local r = 0; if (1) { r = 1; }; r += 2; return r;");
c("if else blocks, statement", "local r = 0; if (0) {} else { r = 1; } r += 2; return r;");
c("if else if block, statement", "local r = 0; if (0) {} else if (1) { r = 1; } r += 2; return r;");
c("if table literal, statement", "local t; if (1) t = {} return typeof t;");
c("if block in a block, statement", "local r = 0; { if (1) { r = 1; } r += 2; } return r;");
c("if block in a function, return", "function f() { if (1) { return 1; } return 2; } return f();");
c("if block in a case, break", "switch (1) { case 1: if (1) { print(0); } break; } return 1;");
c("if block before a closing brace", "local r = 0; { if (1) { r = 1; } } return r;");
c("if plain, statement", "local r = 0; if (1) r = 1; r += 2; return r;");
c("if plain in a block, statement", "local r = 0; { if (1) r = 1; r += 2; } return r;");
c("if else plain, statement", "local r = 0; if (1) r = 1; else r = 2; r += 2; return r;");
c("if else plain in a block, statement", "local r = 0; { if (1) r = 1; else r = 2; r += 2; } return r;");
c("if block else plain, statement", "local r = 0; if (1) {} else r = 2; r += 2; return r;");
c("if block else plain in a block, statement", "local r = 0; { if (0) {} else r = 2; r += 2; } return r;");
