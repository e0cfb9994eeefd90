// Method calls on class instances, with field reads and writes.
class Point {
  x = 0;
  y = 0;
  constructor(a, b) { x = a; y = b; }
  function add(o) { x += o.x; y += o.y; return this; }
  function len2() { return x * x + y * y; }
}
local p = Point(0, 0), d = Point(1, 2);
local s = 0;
for (local i = 0; i < 300000; i++) {
  p.add(d);
  s += d.len2();
}
return s;
