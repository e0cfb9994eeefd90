// Fireworks over the harbour at night, and sparkles where something is built: particles of our own, moved by
// the world's update and drawn as small squares and trails.
Fireworks <- {
  rockets = [],    // { x, y, vy, fuse, colour }
  sparks = [],     // [x, y, vx, vy, life, colour]
  nextLaunch = 0,

  palette = [0xFFFF5A5A, 0xFFFFD24A, 0xFF6AF0FF, 0xFFB07CFF, 0xFF7CFF8A, 0xFFFFFFFF, 0xFFFF9AD8],

  function clear() {
    rockets = [];
    sparks = [];
  }

  // Between 20:30 and 23:30, while the resort has buildings, a rocket goes up every so often.
  function night(hour) {
    if (hour < 20.5 || hour > 23.5 || World.buildings.len() == 0) return;
    if (World.clock < nextLaunch) return;
    nextLaunch = World.clock + 250 + Random.below(400);
    launch(120 + Random.below(SCREEN_W - 240), TOP + ROWS * CELL - 40);
  }

  function launch(x, y) {
    rockets.append({ x = x, y = y, vy = -0.3 - Random.below(100) / 1000.0, fuse = 1200 + Random.below(500),
                     colour = palette[Random.below(palette.len())] });
    Audio.playAt("firework", x);
  }

  function burst(x, y, colour, count, speed) {
    for (local i = 0; i < count; ++i) {
      local a = i * 6.2831853 / count + Random.below(100) / 300.0;
      local s = speed * (0.6 + Random.below(100) / 250.0);
      sparks.append([x, y, cos(a) * s, sin(a) * s, 1200 + Random.below(600), colour]);
    }
  }

  // A small burst of golden sparks where a building went up.
  function sparkle(x, y) {
    burst(x, y, 0xFFFFE27A, 14, 0.08);
  }

  function update(ms) {
    local i = 0;
    while (i < rockets.len()) {
      local r = rockets[i];
      r.y += r.vy * ms;
      r.fuse -= ms;
      if (r.fuse <= 0) {
        burst(r.x, r.y, r.colour, 48, 0.13);
        if (Random.below(3) == 0) burst(r.x, r.y, palette[Random.below(palette.len())], 18, 0.08);
        rockets.remove(i);
      } else ++i;
    }
    i = 0;
    while (i < sparks.len()) {
      local s = sparks[i];
      s[0] += s[2] * ms;
      s[1] += s[3] * ms;
      s[3] += 0.00012 * ms; // gravity
      s[2] *= 0.995;
      s[4] -= ms;
      if (s[4] <= 0) sparks.remove(i); else ++i;
    }
  }

  function render(g) {
    foreach (r in rockets) {
      g.SetColor(0xFFFFF0C0);
      g.FillRect(r.x - 1, r.y - 1, 3, 3);
      g.SetColor(0x80FFB040);
      g.DrawLine(r.x, r.y + 2, r.x, r.y + 14);
    }
    // Glows, then trails, then cores: one kind of shape after another draws in few batches.
    foreach (s in sparks) {
      g.SetColor((((s[4] > 1000 ? 255 : s[4] * 255 / 1000) / 4) << 24) | (s[5] & 0xFFFFFF));
      g.FillRect(s[0] - 4, s[1] - 4, 8, 8);
    }
    foreach (s in sparks) {
      g.SetColor((((s[4] > 1000 ? 255 : s[4] * 255 / 1000) / 2) << 24) | (s[5] & 0xFFFFFF));
      g.DrawLine(s[0], s[1], s[0] - s[2] * 60, s[1] - s[3] * 60);
    }
    foreach (s in sparks) {
      g.SetColor(((s[4] > 1000 ? 255 : s[4] * 255 / 1000) << 24) | (s[5] & 0xFFFFFF));
      g.FillRect(s[0] - 2, s[1] - 2, 4, 4);
    }
  }
}
