// Guests: by day, hotels send their guests for a walk to a shop or café, where they spend a little money, and
// back. Each guest is animated by heading through a TileAnimation over a TileObject.
Guests <- {
  walkers = [],  // { place, tile, animation, from [x, y], to [x, y], t, length, back, target }
  spawnTimer = 0,
  data = null,   // the TileAnimationData shared by every guest
  layer = null,  // a TileLayer that holds the guests' tile objects and draws them in depth order

  function init() {
    data = getComponent("TileAnimationData");
    loadFromScript(data, {
      Walk = { Time = 500, Channels = [
        [TileNumbers.walker_e0, TileNumbers.walker_e1], [TileNumbers.walker_s0, TileNumbers.walker_s1],
        [TileNumbers.walker_w0, TileNumbers.walker_w1], [TileNumbers.walker_n0, TileNumbers.walker_n1]] }
    });
    layer = getComponent("TileLayer");
  }

  function clear() {
    foreach (w in walkers) retire(w);
    walkers = [];
  }

  function retire(w) {
    if (layer != null) layer.UnregisterObject(w.tile);
    getComponent("System").UnregisterObject("Guest" + w.id);
  }

  function count() {
    return walkers.len();
  }

  function update(ms) {
    if (data == null) init();
    spawnTimer += ms;
    local hour = World.hourOfDay();
    if (spawnTimer >= 2500 && hour >= 8 && hour < 19 && walkers.len() < 14) {
      spawnTimer = 0;
      spawn();
    }
    local i = 0;
    while (i < walkers.len()) {
      local w = walkers[i];
      w.t += ms * 0.03;
      if (w.t >= w.length) {
        if (!w.back) {
          w.back = true;
          w.t = 0;
          local f = w.from; w.from = w.to; w.to = f;
          World.earn(BuildingKinds[w.target].income / 3, w.from[0], w.from[1] - 20);
          continue;
        }
        retire(w);
        walkers.remove(i);
        continue;
      }
      place(w);
      ++i;
    }
  }

  function place(w) {
    local k = w.length > 0 ? w.t / w.length : 0.0;
    local x = w.from[0] + (w.to[0] - w.from[0]) * k, y = w.from[1] + (w.to[1] - w.from[1]) * k;
    local dx = w.to[0] - w.from[0], dy = w.to[1] - w.from[1];
    local n = sqrt(dx * dx + dy * dy);
    if (n > 0) { dx /= n; dy /= n; }
    // The X axis of a walker's transform is its heading: the animation picks its frames by it.
    setPosition(w.place, Matrix3(Vector2(dx, dy), Vector2(x, y)));
  }

  nextId = 1,
  function spawn() {
    local hotels = [], targets = [];
    foreach (b in World.buildings) {
      if (b.kind == "hotel") hotels.append(b);
      else if (b.kind == "shop" || b.kind == "cafe") targets.append(b);
    }
    if (hotels.len() == 0 || targets.len() == 0) return;
    local h = hotels[Random.below(hotels.len())], t = targets[Random.below(targets.len())];
    local from = [h.x * CELL + 20 + Random.below(24), TOP + h.y * CELL + 2 * CELL + 6];
    local to = [t.x * CELL + 20 + Random.below(24), TOP + t.y * CELL + 2 * CELL + 6];
    local dx = to[0] - from[0], dy = to[1] - from[1];
    local w = { id = nextId++, place = getComponent("Camera"), tile = getComponent("TileObject"), from = from, to = to,
                t = 0.0, length = sqrt(dx * dx + dy * dy), back = false, target = t.kind };
    setPositionable(w.tile, w.place);
    local animation = getComponent("TileAnimation");
    animation.SetAnimationData(data);
    setSlaveObject(animation, w.tile);
    setPositionable(animation, w.place);
    setAnimation(animation, "Walk", (w.id % 4) / 4.0);
    getComponent("System").RegisterObject("Guest" + w.id, animation);
    layer.RegisterObject(w.tile);
    place(w);
    walkers.append(w);
  }

  function render(g) {
    if (layer != null && walkers.len() > 0) renderComponent(layer, g);
  }
}
