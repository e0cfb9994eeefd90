// Instance method calls and field reads and writes: particles moved in a box.
class Particle {
  x = 0;
  y = 0;
  vx = 0;
  vy = 0;
  constructor(px, py, dx, dy) { x = px; y = py; vx = dx; vy = dy; }
  function step() {
    x += vx;
    y += vy;
    if (x < 0 || x > 1000) vx = -vx;
    if (y < 0 || y > 1000) vy = -vy;
  }
  function energy() { return vx * vx + vy * vy; }
}
local ps = [];
for (local i = 0; i < 100; i++) ps.append(Particle(i * 10, 1000 - i * 10, i % 7 - 3, i % 5 - 2));
local e = 0;
for (local t = 0; t < 3000; t++) {
  foreach (p in ps) p.step();
  e += ps[t % 100].energy() + ps[t % 100].x;
}
return e;
