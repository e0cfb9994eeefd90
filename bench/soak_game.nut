// The sample game's soak, run by bench/soak_game.py as a '+' script after start-up: a resort of roads and
// buildings laid straight through the world's own functions, then `target` trucks kept on tours (a truck
// back at its warehouse despawns and a new one sets out), customers never full, at the game's top speed.
// Every game minute it prints one "soak:" line; after `minutes` of game time it quits.
::Soak <- {
  target = 500,
  minutes = 60,
  start = 0,
  lastMinute = -1,
  warehouses = [],
  next = 0,
  keeper = null,

  // `draw` false leaves the world (and the truck inset) undrawn, so the run measures the simulation and the
  // scripts rather than the software rasteriser.
  function begin(target, minutes, draw) {
    Soak.target = target;
    Soak.minutes = minutes;
    Screens.startResort(false);
    World.money = 1000000000;
    foreach (r in [2, 7, 12]) World.buildRoad(World.draftCells([0, r], [COLS - 1, r]));
    foreach (c in [1, 11, 21, 30]) World.buildRoad(World.draftCells([c, 0], [c, 16]));
    local kinds = ["warehouse", "hotel", "shop", "cafe"], k = 0;
    foreach (y in [0, 3, 5, 8, 10, 13]) {
      for (local x = 0; x < COLS - 1; ++x) {
        local b = World.place(kinds[k % 4], x, y);
        if (b == null) continue;
        ++k;
        if (b.kind == "warehouse") warehouses.append(b);
      }
    }
    Hud.setTool("");
    if (!draw) {
      Inset.stop();
      World.render = function(g) {};
    }
    World.speed = 8.0;
    getComponent("System").SetUpdateSpeed(8.0);
    start = World.clock;
    keeper = getComponent("ScriptedObject");
    loadFromScript(keeper, {
      function GetUpdateLayer() { return UPDATE_LAYER_SYSTEM; },
      function Update(layer, ms) { Soak.tick(); }
    });
    getComponent("System").RegisterObject("SoakKeeper", keeper);
    print("soak: " + World.buildings.len() + " buildings, " + warehouses.len() + " warehouses, "
      + World.roadCells.len() + " road cells\n");
  }

  function tick() {
    foreach (b in World.buildings) b.stock = 0;
    // Topped up a few at a time: each new truck's tour is planned by the tour optimiser.
    for (local i = 0; i < 25 && Vehicles.trucks.len() < target && warehouses.len() > 0; ++i) {
      Vehicles.dispatch(warehouses[next % warehouses.len()]);
      ++next;
    }
    local minute = ((World.clock - start) / 60000).tointeger();
    if (minute == lastMinute) return;
    lastMinute = minute;
    print("soak: minute " + minute + ", trucks " + Vehicles.trucks.len() + ", deliveries " + Vehicles.delivered
      + ", despawned " + Vehicles.despawned + ", guests " + Guests.count() + "\n");
    if (minute >= minutes) quit();
  }
}
