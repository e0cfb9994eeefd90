// The regular expression compiler's errors and the matcher's answers on the edges of its grammar.
foreach (p in ["a{1,2", "a{", "a{2,1}", "a{x}", "(", ")", "[a", "a**", "a{1,", "[z-a]", "*a", "a{1}}", "a{,2}", "a{1,2}", "a{0}", "a{3,}", "+", "?", "a|", "|a", "a||b", "()", "(?:a)", "[]", "[^]", "[a-]", "[-a]", "a{1,2}{3}", "a+*", "a?+", "\\w+", "\\x", "[\\", "a{999999}", "^*", "$a", "a$b", "^^a", "(a", "a)", ".{2}", "[a-z", "a{1 ,2}", "a{ 1}", "a{1,2,3}", "{1}", "a??", "a?*", "a{2}*", "(a)**", "[a-]]", "x(", "x|(", "(|)", "a|)", "(a|)", "(?:", "(?", "(?a)", "[a-\\d]", "[\\d-z]", "[a-\\]", "[\\]", "||", "^", "^$", "a{65536}"]) {
  try { local r = regexp(p); print(p + " ok, " + r.subexpcount() + " subexpressions\n"); }
  catch (e) { print(p + " -> " + e + "\n"); }
}
local cases = [["a|b", "xbx"], ["ab|cd", "zcdz"], ["a|bc|d", "bcd"], ["(a|b)+", "xxabba"], ["x(a|bc)y", "xbcy"], ["a?b", "b"], ["a?a?b", "ab"], ["x?abc", "abc"], ["(ab)?c", "abc"], ["(ab)?c", "c"], ["a^b", "a^b"], ["a^b", "ab"], ["(^a)", "ba"], ["(^a)", "a"], ["(^a)", "^a"], ["b|^a", "ba"], ["^a|b", "cab"], ["x|^a", "a"], ["a$|b", "ab"], ["a^", "a^"], ["\\d+", "ab12c"], ["a*", ""], ["a*?", "aaa"], ["a??", "a?"], ["a??", "a"], ["a{2}?", "aa"], ["a{2,1}", "aaa"], ["[a-]]", "a]"], ["a|)", ")"], ["|", "x"], ["(|a)b", "ab"], ["[a-c]+", "xxabcabd"], ["\\s\\S", " x"], ["\\bfoo", "a foo"], ["\\bfoo", "foo"], ["\\Bfoo", "afoo"], ["o\\b", "foo bar"], ["a{2}", "aaa"], ["a{2,}", "aaaa"], ["a{1,2}", "aaa"], ["(a)(b)?", "a"], ["[.]", "a.b"], ["\\w+@\\w+", "x me@there y"], ["(a|ab)(c|bcd)(d*)", "abcd"], ["(a|b)*c", "abc"], ["(a)+", "aaa"], ["(a?)+", "aa"], ["(a*)+b", "aab"], ["a{65536}", "a"], ["x*", "abc"]];
foreach (c in cases) {
  local s = c[0] + " on '" + c[1] + "': ";
  local r = regexp(c[0]);
  local f = r.search(c[1]);
  s += "match " + r.match(c[1]) + ", search " + (f ? f.begin + "-" + f.end : "null");
  local cap = r.capture(c[1]);
  if (cap) foreach (k in cap) s += " [" + k.begin + "," + k.end + "]";
  print(s + "\n");
}
