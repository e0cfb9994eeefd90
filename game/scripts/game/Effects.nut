// Particle effects, compiled by the build from assets/effects/ into res/effects/ and run by the engine's
// EffectEmitter: fireworks over the harbour at night, chimney smoke over warehouses and cafés, and sparkles
// where something is built or delivered. The emitters are not registered with the System object: the world
// updates them with its own (paused, sped-up) clock and draws them inside its zoom, like everything it owns.
EFFECT_LAYER <- 64;   // the layer EffectEmitter updates on

Effects <- {
  fireworks = null,   // the Effect components
  smoke = null,
  sparkles = null,
  rockets = [],       // { shell, trail, x, ground, top, age }: a rocket slot, reused launch after launch
  chimneys = {},      // building id -> { emitter, building }
  glitter = [],       // { emitter, left }: sparkle slots, reused round-robin
  nextGlitter = 0,
  nextLaunch = 0,

  ROCKETS = 6,
  GLITTER = 6,
  ROCKET_MS = 2400,   // a shell opens at 0.2 s and its sparks live up to 1.6 s; the effect loops at 2.5 s
  RISE_MS = 200,      // the rocket's climb, while the trail emitter sprays

  function load() {
    local resources = getComponent("ResourceManager");
    fireworks = resources.GetEffect("res/effects/fireworks.effect");
    smoke = resources.GetEffect("res/effects/smoke.effect");
    sparkles = resources.GetEffect("res/effects/sparkles.effect");
    if (fireworks == null || smoke == null || sparkles == null) logError("the game's effects are missing (res/effects)");
    clear();
  }

  function emitter(effect, name) {
    local e = effect != null ? effect.CreateEmitter(name) : null;
    if (e == null) return null;
    e.SetLocalMode(false); // particles stay where they were born while the emitter moves on
    e.SetEnabled(false);
    return e;
  }

  // Drops every running effect and makes the pools anew: a new or loaded world starts with a clear sky.
  function clear() {
    foreach (r in rockets) { shutdown(r.shell); shutdown(r.trail); }
    foreach (c in chimneys) shutdown(c.emitter);
    foreach (s in glitter) shutdown(s.emitter);
    rockets = [];
    chimneys = {};
    glitter = [];
    nextLaunch = 0;
    for (local i = 0; i < ROCKETS; ++i) {
      local shell = emitter(fireworks, "shell"), trail = emitter(fireworks, "trail");
      if (shell != null && trail != null) rockets.append({ shell = shell, trail = trail, x = 0, ground = 0, top = 0, age = ROCKET_MS });
    }
    for (local i = 0; i < GLITTER; ++i) {
      local e = emitter(sparkles, "sparkles");
      if (e != null) glitter.append({ emitter = e, left = 0 });
    }
  }

  // Between 20:30 and 23:30, while the resort has buildings, a rocket goes up every so often.
  function night(hour) {
    if (hour < 20.5 || hour > 23.5 || World.buildings.len() == 0) return;
    if (World.clock < nextLaunch) return;
    nextLaunch = World.clock + 300 + Random.below(500);
    launch(120 + Random.below(SCREEN_W - 240), TOP + ROWS * CELL - 40, TOP + 60 + Random.below(200));
  }

  function launch(x, ground, top) {
    foreach (r in rockets) {
      if (r.age < ROCKET_MS) continue;
      r.x = x;
      r.ground = ground;
      r.top = top;
      r.age = 0;
      // Shells stay put, so they run in the emitter's frame, scaled for bursts of different sizes.
      local scale = 1.2 + Random.below(60) / 100.0;
      r.shell.SetLocalMode(true);
      r.shell.SetLocalMatrix(Matrix3(Vector2(scale, 0), Vector2(0, scale), Vector2(0, 0)));
      r.shell.Reset();
      r.trail.Reset();
      setPosition(r.shell, Matrix3(Vector2(x, top)));
      setPosition(r.trail, Matrix3(Vector2(x, ground)));
      r.shell.SetEnabled(true);
      r.trail.SetEnabled(true);
      Audio.playAt("firework", x);
      return true;
    }
    return false; // every rocket is in the air
  }

  // Golden sparkles over a building for a moment: when it goes up, and when goods arrive.
  function sparkle(x, y, ms = 1200) {
    if (glitter.len() == 0) return;
    local s = glitter[nextGlitter];
    nextGlitter = (nextGlitter + 1) % glitter.len();
    s.emitter.Reset();
    setPosition(s.emitter, Matrix3(Vector2(x, y)));
    s.emitter.SetEnabled(true);
    s.left = ms;
  }

  // Where a building's chimney stands, for the kinds that have one.
  function chimneyOf(b) {
    if (b.kind == "warehouse") return [b.x * CELL + 14, TOP + b.y * CELL - 10];
    if (b.kind == "cafe") return [b.x * CELL + 48, TOP + b.y * CELL - 8];
    return null;
  }

  // Smoke over every building with a chimney: new buildings get an emitter, removed ones lose theirs.
  function syncChimneys() {
    local seen = {};
    foreach (b in World.buildings) {
      local at = chimneyOf(b);
      if (at == null) continue;
      seen[b.id] <- true;
      if (b.id in chimneys) continue;
      local e = emitter(smoke, "smoke");
      if (e == null) continue;
      setPosition(e, Matrix3(Vector2(at[0] + 3, at[1])));
      e.SetEnabled(true);
      chimneys[b.id] <- { emitter = e, building = b };
    }
    local gone = [];
    foreach (id, c in chimneys) if (!(id in seen)) gone.append(id);
    foreach (id in gone) {
      shutdown(chimneys[id].emitter);
      delete chimneys[id];
    }
  }

  function update(ms) {
    if (ms <= 0) return;
    syncChimneys();
    foreach (r in rockets) {
      r.age += ms;
      local t = r.age >= RISE_MS ? 1.0 : r.age.tofloat() / RISE_MS;
      setPosition(r.trail, Matrix3(Vector2(r.x, r.ground + (r.top - r.ground) * t)));
      if (r.age >= ROCKET_MS) {
        r.shell.SetEnabled(false);
        r.trail.SetEnabled(false);
      }
      updateComponent(r.trail, EFFECT_LAYER, ms);
      updateComponent(r.shell, EFFECT_LAYER, ms);
    }
    foreach (s in glitter) {
      if (s.left > 0) {
        s.left -= ms;
        if (s.left <= 0) s.emitter.SetEnabled(false);
      }
      updateComponent(s.emitter, EFFECT_LAYER, ms);
    }
    foreach (c in chimneys) updateComponent(c.emitter, EFFECT_LAYER, ms);
  }

  // Chimneys and their smoke: drawn over the buildings, under the night's veil.
  function renderSmoke(g) {
    foreach (c in chimneys) {
      local at = chimneyOf(c.building);
      g.SetColor(0xFF5A4A44);
      g.FillRect(at[0], at[1], 7, 12);
      g.SetColor(0xFF3A302C);
      g.FillRect(at[0] - 1, at[1], 9, 2);
    }
    foreach (c in chimneys) renderComponent(c.emitter, g);
  }

  // Fireworks and sparkles: drawn over the night's veil, so they light up the dark.
  function renderLights(g) {
    foreach (s in glitter) renderComponent(s.emitter, g);
    foreach (r in rockets) {
      renderComponent(r.trail, g);
      renderComponent(r.shell, g);
    }
  }
}
