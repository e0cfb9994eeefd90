// Classes: fields, constructor, methods, static members, instance/class slots.
class Point {
  x = 0;
  y = 0;
  static ORIGIN_NAME = "origin";
  constructor(ax, ay) { x = ax; y = ay; }
  function len2() { return x * x + y * y; }
  function tostr() { return "(" + x + "," + y + ")"; }
}
local p = Point(3, 4);
print("fields: " + p.tostr() + " len2=" + p.len2() + "\n");
print("typeof instance: " + typeof p + ", typeof class: " + typeof Point + "\n");
print("static via class: " + Point.ORIGIN_NAME + ", via instance: " + p.ORIGIN_NAME + "\n");
print("getclass: " + (p.getclass() == Point) + "\n");
print("instanceof: " + (p instanceof Point) + "\n");
p.x = 10;
print("field assignment: " + p.x + "\n");
try { p.z = 1; } catch (e) { print("assign unknown field -> " + e + "\n"); }
try { p.z <- 1; } catch (e) { print("new slot on instance -> " + e + "\n"); }
try { p.ORIGIN_NAME = "x"; } catch (e) { print("assign static via instance -> " + e + "\n"); }
try { print(p.nothing); } catch (e) { print("read unknown member -> " + e + "\n"); }
print("\"x\" in p: " + ("x" in p) + ", \"len2\" in p: " + ("len2" in p) + ", rawin: " + p.rawin("len2") + "\n");
print("class rawin: " + Point.rawin("x") + " " + Point.rawin("q") + "\n");

class Holder {
  shared = [];
  count = 0;
}
local h1 = Holder(), h2 = Holder();
h1.shared.append(1);
h1.count = 5;
print("array default is shared between instances: " + h2.shared.len() + ", scalar is not: " + h2.count + "\n");

class NoCtor { v = "default"; }
local n = 