// The resort's world: a grid of COLS x ROWS cells kept in a PassMap (one value per cell), the roads on it,
// the buildings, the money and the clock. Everything the world draws goes through the TileManager's tiles.

// Cell values, read by the engine's world classes by name from the pass map's script.
CellValues <- {
  CELL_VALUE_Clean = 0,
  CELL_VALUE_Road = 1,
  CELL_VALUE_Occupied = 2,
  CELL_VALUE_Plant = 3,
  CELL_VALUE_Waste = 4,            // water: nothing is built on it
  CELL_VALUE_OccupiedByTransport = 5,
  CELL_VALUE_RoadBroken = 6,
  CELL_VALUE_RoadIndestructible = 7,
  CELL_VALUE_RoadConstruction = 8,
  CELL_VALUE_ForestMin = 9,
  CELL_VALUE_ForestMax = 10,
  CELL_VALUE_ForestBurnt = 11,
  CELL_VALUE_ForestCutted = 12,
  CELL_VALUE_RoadInvisible = 13
}
LAYER_PassMap <- 5;
LAYER_Top <- 100;

// What each building costs, earns and looks like.
BuildingKinds <- {
  hotel = { cost = 800, income = 60, key = "Hotel", windows = [[10, 22], [22, 22], [34, 22], [46, 22], [10, 36], [22, 36], [34, 36], [46, 36]] },
  shop = { cost = 500, income = 45, key = "Shop", windows = [[10, 46], [34, 46]] },
  warehouse = { cost = 600, income = 0, key = "Warehouse", windows = [[52, 42]] },
  cafe = { cost = 400, income = 35, key = "Cafe", windows = [[10, 44], [26, 44], [42, 44]] }
}
ROAD_COST <- 10;
DAY_MS <- 60000;      // one day of game time
START_MONEY <- 5000;

World <- {
  map = null,         // the PassMap
  router = null,      // the GridRouter over it
  mover = null,       // the TransportMover that drives the trucks
  roads = null,       // the RoadRenderer that draws the road network
  builder = null,     // the TerrainBuilder that lays roads on the map
  zones = null,       // the GridRectRenderer that outlines the build zone
  money = START_MONEY,
  clock = 0,          // game time in ms since the world began
  day = 1,
  speed = 1.0,
  buildings = [],     // { kind, x, y, id }
  nextBuildingId = 1,
  roadCells = [],     // [x, y] of every road cell, rebuilt when roads change
  frontage = [],      // the road cells lit in front of the building under the pointer (Vector2)
  frontageOf = null,  // that building
  decorations = [],   // [tile, x, y] of the ground that is not plain grass
  trees = [],         // [x, y, tile]
  zoom = 1.0,         // the wheel's zoom, about the middle of the world
  messages = [],      // { text, until }
  messageTimer = null,

  // A new world: harbour water along the bottom, a beach above it, trees here and there.
  function create() {
    Random.seed = 20261210;
    local file = getComponent("File");
    if (!file.Open("data/newworld.map", "wb")) return false;
    writeInt(file, CELL * 4096);
    writeInt(file, CELL * 4096);
    writeByte(file, 1);
    writeShort(file, 0);
    writeShort(file, TOP);
    writeShort(file, COLS);
    writeShort(file, ROWS);
    for (local y = 0; y < ROWS; ++y) {
      for (local x = 0; x < COLS; ++x) {
        local v = CellValues.CELL_VALUE_Clean;
        if (isWaterCell(x, y)) v = CellValues.CELL_VALUE_Waste;
        else if (!isBeachCell(x, y) && Random.below(100) < 9) v = CellValues.CELL_VALUE_ForestMin;
        writeByte(file, v);
      }
    }
    file = getComponent("File"); // the first one closes as it goes, and so replaces the file
    if (!file.Open("data/newworld.map", "rb")) return false;
    return load(file, true);
  }

  // The harbour: the bottom rows, with a bay cut into the beach on the right.
  function isWaterCell(x, y) {
    return y >= ROWS - 3 || (y >= ROWS - 5 && x >= 22 && x <= 27);
  }
  // Trees stand on forest cells (older saves have plants): roads and buildings may clear them.
  function isTree(v) {
    return v == CellValues.CELL_VALUE_Plant || (v >= CellValues.CELL_VALUE_ForestMin && v <= CellValues.CELL_VALUE_ForestMax);
  }
  function isBeachCell(x, y) {
    return !isWaterCell(x, y) && (y >= ROWS - 4 || (y >= ROWS - 6 && x >= 21 && x <= 28));
  }

  // Makes the map, router and mover and reads the map from the stream. The router is bound before the map is
  // read, as a loader naturally does; Initialize runs again once the map has its size.
  function load(stream, fresh) {
    shutdownObjects();
    Level.forget();
    map = getComponent("PassMap");
    loadFromScript(map, CellValues);
    router = getComponent("GridRouter");
    router.Initialize(map);
    if (!readComponent(stream, map)) {
      logError("the world's map could not be read");
      return false;
    }
    router.Initialize(map);
    // The road network: drawn by a road renderer over the map, laid by a terrain builder.
    roads = getComponent("RoadRenderer");
    local pieces = [];
    for (local mask = 0; mask < 16; ++mask) pieces.append(TileNumbers["roadc" + mask]);
    roads.SetRoadTiles(pieces);
    roads.SetRoadBrokenTiles(pieces);
    roads.SetRenderLayer(LAYER_PassMap); // the roads lie on the ground, with the map's overlays
    frontage = [];
    frontageOf = null;
    // Where buildings may go, outlined while a building tool is in hand: a grid overlay of the map.
    zones = getComponent("GridRectRenderer");
    local edges = [];
    for (local mask = 0; mask < 16; ++mask) edges.append(TileNumbers["zone" + mask]);
    zones.SetCellTiles(edges);
    zones.SetGridMap(map);
    map.AddRenderer(zones);
    builder = Builders.make(map, router, roads); // which gives the renderer the map's size: roads can be read from here on
    roads.SetRouteMarkTile(TileNumbers.routemark); // the inset's truck route (RoadCellsRenderer, Hud.nut)
    if (!fresh && !readComponent(stream, roads)) {
      logError("the world's roads could not be read");
      return false;
    }
    mover = getComponent("TransportMover");
    mover.SetGridMap(map);
    mover.SetGridRouter(router);
    mover.SetSpeed(96); // world pixels per second
    getComponent("System").RegisterObject("Mover", mover);
    if (fresh) {
      money = START_MONEY;
      clock = 7 * DAY_MS / 24; // the first morning
      day = 1;
      buildings = [];
      nextBuildingId = 1;
    }
    rebuildGround();
    rebuildRoads();
    return true;
  }

  function shutdownObjects() {
    Vehicles.clear();
    Guests.clear();
    if (mover != null) {
      getComponent("System").UnregisterObject("Mover");
      shutdown(mover);
    }
    mover = null;
    Builders.drop();
    builder = null;
    if (zones != null) {
      map.RemoveRenderer(zones);
      shutdown(zones);
    }
    zones = null;
    roads = null;
    map = null;
    router = null;
  }

  function cell(x, y) {
    return map.GetCellValue(x, y);
  }
  function inside(x, y) {
    return x >= 0 && y >= 0 && x < COLS && y < ROWS;
  }
  function isRoad(x, y) {
    return inside(x, y) && cell(x, y) == CellValues.CELL_VALUE_Road;
  }

  // The ground that is not grass, and the trees, from the map.
  function rebuildGround() {
    decorations = [];
    trees = [];
    local flowerSeed = 7;
    for (local y = 0; y < ROWS; ++y) {
      for (local x = 0; x < COLS; ++x) {
        local px = x * CELL, py = TOP + y * CELL;
        if (isWaterCell(x, y)) decorations.append([TileNumbers.water_anim, px, py]);
        else if (isBeachCell(x, y)) decorations.append([TileNumbers.sand, px, py]);
        else {
          flowerSeed = (flowerSeed * 75 + 74) % 65537;
          if (flowerSeed % 11 == 0) decorations.append([TileNumbers.flowers, px, py]);
        }
        if (isTree(cell(x, y))) trees.append([x, y, (x * 7 + y * 3) % 4 == 0 ? TileNumbers.palm : TileNumbers.tree]);
      }
    }
  }

  // The road cells, for the upkeep (the road renderer picks each cell's piece by its four neighbours).
  function rebuildRoads() {
    roadCells = [];
    for (local y = 0; y < ROWS; ++y) {
      for (local x = 0; x < COLS; ++x) {
        if (!isRoad(x, y)) continue;
        roadCells.append([x, y]);
      }
    }
  }

  // The cells of a road dragged from one cell to another: along the longer side first, then the other.
  function draftCells(from, to) {
    local cells = [];
    local x = from[0], y = from[1];
    local dx = to[0] > x ? 1 : to[0] < x ? -1 : 0;
    local dy = to[1] > y ? 1 : to[1] < y ? -1 : 0;
    local horizontalFirst = abs(to[0] - x) >= abs(to[1] - y);
    cells.append([x, y]);
    if (horizontalFirst) {
      while (x != to[0]) { x += dx; cells.append([x, y]); }
      while (y != to[1]) { y += dy; cells.append([x, y]); }
    } else {
      while (y != to[1]) { y += dy; cells.append([x, y]); }
      while (x != to[0]) { x += dx; cells.append([x, y]); }
    }
    return cells;
  }

  function canBuildRoadOn(x, y) {
    if (!inside(x, y)) return false;
    local v = cell(x, y);
    return v == CellValues.CELL_VALUE_Clean || v == CellValues.CELL_VALUE_Road || isTree(v);
  }

  // The cost of a road draft, or -1 when a cell of it can't take a road.
  function roadCost(cells) {
    local cost = 0;
    foreach (c in cells) {
      if (!canBuildRoadOn(c[0], c[1])) return -1;
      if (!isRoad(c[0], c[1])) cost += ROAD_COST;
    }
    return cost;
  }

  function buildRoad(cells) {
    local cost = roadCost(cells);
    if (cost < 0) { say(T("CantBuild")); Audio.play("click"); return false; }
    if (cost > money) { say(T("NoMoney")); return false; }
    local clearedTree = false, fresh = [];
    foreach (c in cells) {
      if (isTree(cell(c[0], c[1]))) clearedTree = true;
      if (!isRoad(c[0], c[1])) fresh.append(Vector2(c[0], c[1]));
    }
    builder.BuildRoadCells(fresh); // clears each cell, adds it to the road renderer and marks it road
    if (clearedTree) rebuildGround();
    money -= cost;
    rebuildRoads();
    Audio.play("road");
    Vehicles.roadsChanged();
    return true;
  }

  function canPlace(kind, x, y) {
    for (local j = 0; j < 2; ++j) {
      for (local i = 0; i < 2; ++i) {
        if (!inside(x + i, y + j)) return false;
        local v = cell(x + i, y + j);
        if (v != CellValues.CELL_VALUE_Clean && !isTree(v)) return false;
      }
    }
    return true;
  }

  // The road cells around a building's 2 x 2 footprint (where trucks stop and guests come out).
  function entrances(b) {
    local out = [];
    local around = [[0, 2], [1, 2], [-1, 0], [-1, 1], [2, 0], [2, 1], [0, -1], [1, -1]];
    foreach (a in around) if (isRoad(b.x + a[0], b.y + a[1])) out.append([b.x + a[0], b.y + a[1]]);
    return out;
  }

  // Lights the road cells in front of a building (null: none), where its trucks stop and its guests come out.
  function highlightFrontage(b) {
    if (b == frontageOf || roads == null) return;
    if (frontage.len() > 0) roads.HighlightRoadCells(frontage, false);
    frontage = [];
    frontageOf = b;
    if (b != null) foreach (c in entrances(b)) frontage.append(Vector2(c[0], c[1]));
    if (frontage.len() > 0) roads.HighlightRoadCells(frontage, true);
  }

  function place(kind, x, y) {
    local info = BuildingKinds[kind];
    if (!canPlace(kind, x, y)) { say(T("CantBuild")); return null; }
    if (info.cost > money) { say(T("NoMoney")); return null; }
    local b = { kind = kind, x = x, y = y, id = nextBuildingId++, stock = 0 };
    if (entrances(b).len() == 0) { say(T("NeedsRoad")); return null; }
    local clearedTree = false;
    for (local j = 0; j < 2; ++j) {
      for (local i = 0; i < 2; ++i) {
        if (isTree(cell(x + i, y + j))) clearedTree = true;
        map.SetCellValue(x + i, y + j, CellValues.CELL_VALUE_Occupied);
      }
    }
    if (clearedTree) rebuildGround();
    money -= info.cost;
    buildings.append(b);
    Audio.play("build");
    Effects.sparkle(x * CELL + CELL, TOP + y * CELL + CELL);
    Vehicles.buildingAdded(b);
    return b;
  }

  // Removes the road or building on a cell; a quarter of the price comes back.
  function remove(x, y) {
    if (!inside(x, y)) return false;
    foreach (i, b in buildings) {
      if (x >= b.x && x < b.x + 2 && y >= b.y && y < b.y + 2) {
        for (local j = 0; j < 2; ++j) for (local k = 0; k < 2; ++k) map.SetCellValue(b.x + k, b.y + j, CellValues.CELL_VALUE_Clean);
        money += BuildingKinds[b.kind].cost / 4;
        buildings.remove(i);
        Audio.play("click");
        return true;
      }
    }
    if (isRoad(x, y)) {
      builder.RemoveRoadCell(x, y);
      map.SetCellValue(x, y, CellValues.CELL_VALUE_Clean);
      rebuildRoads();
      Audio.play("click");
      return true;
    }
    return false;
  }

  function earn(amount, x, y) {
    money += amount;
    Hud.floatText("+" + moneyText(amount), x, y, 0xFFFFE27A);
  }

  function say(text) {
    messages.append({ text = text, until = clock + 4000 });
    if (messages.len() > 3) messages.remove(0);
  }

  // 0 ... 24 hours, as a float.
  function hourOfDay() {
    return (clock % DAY_MS) * 24.0 / DAY_MS;
  }
  // How dark it is: 0 by day, 0.65 at midnight, with dusk and dawn in between.
  function darkness() {
    local h = hourOfDay();
    if (h >= 7 && h < 18) return 0.0;
    if (h >= 18 && h < 21) return (h - 18) / 3.0 * 0.55;
    if (h >= 5 && h < 7) return (7 - h) / 2.0 * 0.55;
    return 0.55;
  }

  function update(ms) {
    Builders.update();
    local hourBefore = hourOfDay();
    clock += ms;
    local hour = hourOfDay();
    if (hour < hourBefore) {
      ++day;
      // Upkeep at midnight: every road cell on the map costs a little.
      money -= builder.GetCellCount(CellValues.CELL_VALUE_Road);
      say(format(T("Morning"), day));
    }
    if (hourBefore < 6 && hour >= 6) Vehicles.morningTours();
    if (hourBefore < 20.5 && hour >= 20.5 && buildings.len() > 0) say(T("Night"));
    Effects.night(hour);
    local i = 0;
    while (i < messages.len()) if (messages[i].until < clock) messages.remove(i); else ++i;
  }

  // World pixels (unzoomed screen pixels) to a cell, and the zoom's transform of the world.
  function zoomMatrix() {
    local cx = SCREEN_W / 2.0, cy = TOP + ROWS * CELL / 2.0;
    return Matrix3(Vector2(zoom, 0), Vector2(0, zoom), Vector2(cx - cx * zoom, cy - cy * zoom));
  }
  function screenToWorld(x, y) {
    local cx = SCREEN_W / 2.0, cy = TOP + ROWS * CELL / 2.0;
    return [cx + (x - cx) / zoom, cy + (y - cy) / zoom];
  }
  function cellAt(x, y) {
    local w = screenToWorld(x, y);
    local cx = (w[0] / CELL).tointeger(), cy = ((w[1] - TOP) / CELL).tointeger();
    if (w[0] < 0 || w[1] < TOP) return null;
    return inside(cx, cy) ? [cx, cy] : null;
  }

  // The world on the screen: clipped to its area and zoomed by the wheel.
  function render(g) {
    local clip = g.GetClip();
    g.SetClip(Rect(0, TOP, SCREEN_W, ROWS * CELL));
    local saved = g.GetTransform();
    g.SetTransform(zoomMatrix() * saved);
    renderScene(g, true);
    Overlay.render(g);
    g.SetTransform(saved);
    g.SetClip(clip);
  }

  // Everything in the world, in world pixels under the context's transform: the screen's (with the road
  // draft and placement preview when `main`) and the truck inset's, through its own camera.
  function renderScene(g, main) {
    local tiles = Game.tiles;
    g.SetColor(0xFFFFFFFF);
    fillRectByTile(g, Rect(0, TOP, COLS * CELL, ROWS * CELL), TileNumbers.grass, 0, Vector2(0, TOP), false);
    foreach (d in decorations) tiles.Render(g, d[0], d[1], d[2], 0);
    // The road network (with the terrain builder's draft); on the screen the map's overlays over it: the
    // builders' shading of where they can act.
    renderComponent(roads, g);
    if (main) {
      renderComponent(map, g);
      Inset.renderRoute(g);
    }
    // Trees and buildings back to front, so the nearer ones overlap the farther.
    local things = [];
    foreach (t in trees) things.append([t[1] * 200 + 100 + t[0], 0, t]);
    foreach (b in buildings) things.append([b.y * 200 + 200 + b.x, 1, b]);
    things.sort(function(a, b) { return a[0] < b[0] ? -1 : a[0] > b[0] ? 1 : 0; });
    g.SetColor(0xFFFFFFFF); // tiles are drawn in the context's colour
    foreach (t in things) {
      if (t[1] == 0) tiles.Render(g, t[2][2], t[2][0] * CELL + CELL / 2, TOP + t[2][1] * CELL + CELL - 4, 0);
      else tiles.Render(g, TileNumbers[t[2].kind], t[2].x * CELL, TOP + t[2].y * CELL, 0);
    }
    g.SetColor(0xFFFFFFFF);
    if (main) {
      Builders.render(g);
      Screens.renderDraft(g);
    }
    g.SetColor(0xFFFFFFFF);
    Vehicles.render(g);
    Guests.render(g);
    Effects.renderSmoke(g);
    // Night: a blue veil, then the lit windows over it.
    local dark = darkness();
    if (dark > 0) {
      g.SetColor(((dark * 255).tointeger() << 24) | 0x000A1440);
      g.FillRect(0, TOP, COLS * CELL, ROWS * CELL);
      if (dark > 0.3) {
        local glow = (((dark - 0.3) * 600).tointeger());
        glow = glow > 255 ? 255 : glow;
        g.SetColor((glow << 24) | 0x00FFE38A);
        foreach (b in buildings) {
          foreach (w in BuildingKinds[b.kind].windows) g.FillRect(b.x * CELL + w[0], TOP + b.y * CELL + w[1], 8, 8);
        }
        Vehicles.renderLights(g, glow);
      }
    }
    Effects.renderLights(g);
    Hud.renderFloating(g);
  }

  // A number that sums up the world's state: cells, buildings, money, clock and the trucks. Equal worlds give
  // equal numbers; a saved and reloaded world must give the one it had.
  function stateHash() {
    local h = 17;
    for (local y = 0; y < ROWS; ++y) for (local x = 0; x < COLS; ++x) h = (h * 31 + cell(x, y)) & 0x3FFFFFFF;
    foreach (b in buildings) h = (h * 31 + b.x * 97 + b.y * 13 + b.kind.len() + b.stock) & 0x3FFFFFFF;
    h = (h * 31 + money) & 0x3FFFFFFF;
    h = (h * 31 + clock) & 0x3FFFFFFF;
    h = (h * 31 + day) & 0x3FFFFFFF;
    h = (h * 31 + Vehicles.hash()) & 0x3FFFFFFF;
    return h;
  }
}

// The buildings as GameObjects on a GameLevel, for picking: the level finds the building under the pointer
// (each object's HitTest says whether a point falls on its picture) for the bulldozer and for the name and
// stock the HUD shows beside the pointer. The world still draws the buildings itself; the level is not drawn.
BUILDING_CLASS <- 1;
KindClasses <- { hotel = 2, shop = 4, warehouse = 8, cafe = 16 }; // besides BUILDING_CLASS: the level finds a kind

Level <- {
  level = null,
  objects = {},   // building id -> GameObject

  function start() {
    level = getComponent("GameLevel");
    setVisible(level, false);
    level.RegisterObject("Camera", Builders.camera); // screen positions through the wheel's zoom
  }

  // New buildings get an object, removed ones lose theirs (a loaded world replaces them all).
  function sync() {
    if (level == null) return;
    local seen = {};
    foreach (b in World.buildings) {
      seen[b.id] <- true;
      if (b.id in objects) continue;
      local thing = getComponent("GameObject");
      thing.SetPositionProvider(getComponent("Camera"));
      setPosition(thing, Matrix3(Vector2(b.x * CELL + CELL, TOP + b.y * CELL + CELL)));
      loadFromScript(thing, {
        building = b,
        // The point is in pointer pixels; the picture covers the footprint and the roof above it.
        function HitTest(point) {
          local w = World.screenToWorld(point.x, point.y);
          return w[0] >= building.x * CELL && w[0] < building.x * CELL + 2 * CELL
            && w[1] >= TOP + building.y * CELL - 16 && w[1] < TOP + building.y * CELL + 2 * CELL;
        }
      });
      addClassificator(thing, BUILDING_CLASS | KindClasses[b.kind]);
      level.RegisterObject("b" + b.id, thing);
      objects[b.id] <- thing;
    }
    local gone = [];
    foreach (id, thing in objects) if (!(id in seen)) gone.append(id);
    foreach (id in gone) {
      level.UnregisterObject("b" + id);
      delete objects[id];
    }
  }

  // The building under a pointer position, or null.
  function pick(x, y) {
    if (level == null) return null;
    sync();
    local thing = level.GetObjectAt(Vector2(x, y), BUILDING_CLASS, 0);
    return thing != null ? thing.building : null;
  }

  // The buildings whose objects carry all of the classificators, in the order they were built.
  function withClasses(classes) {
    if (level == null) return [];
    sync();
    local found = [];
    foreach (thing in level.FindObjectsByMask(BUILDING_CLASS | classes, 0)) found.append(thing.building);
    return found;
  }

  // A loaded world's buildings reuse ids of the one before: their objects are made anew.
  function forget() {
    if (level != null) foreach (id, thing in objects) level.UnregisterObject("b" + id);
    objects = {};
  }

  function stop() {
    if (level == null) return;
    forget();
    shutdown(level);
    level = null;
  }
}

// The overlay view (O): the world dims and one kind of building lights up, the next kind at each press, then
// none. A GroupRenderer draws the veil and then its group, whose ClassificatedRenderer carries the kind's
// classificator and lights the buildings whose objects carry it too.
Overlay <- {
  group = null,    // the GroupRenderer: the veil, then the tint
  tint = null,     // the ClassificatedRenderer
  kind = null,     // the kind shown, or null when the overlay is off
  Order = ["hotel", "shop", "cafe", "warehouse"],
  Colours = { hotel = 0xFFFF8AB8, shop = 0xFF6AD0FF, cafe = 0xFFFFC84A, warehouse = 0xFFC8C8C8 },

  function start() {
    stop();
    group = getComponent("GroupRenderer");
    loadFromScript(group, { function Render(g) { Overlay.renderVeil(g); } });
    tint = getComponent("ClassificatedRenderer");
    loadFromScript(tint, { function Render(g) { Overlay.renderKind(g); } });
    group.RegisterObject(tint);
    kind = null;
    setVisible(group, false);
  }

  function next() {
    if (group == null) return;
    local at = -1;
    foreach (i, k in Order) if (k == kind) at = i;
    if (kind != null) removeClassificator(tint, KindClasses[kind]);
    kind = at + 1 < Order.len() ? Order[at + 1] : null;
    if (kind != null) addClassificator(tint, KindClasses[kind]);
    setVisible(group, kind != null);
  }

  // The buildings the tint lights: those of its own classificator's kind.
  function shown() {
    return kind == null ? [] : Level.withClasses(getClassificators(tint));
  }

  // Drawn by the world inside its zoom (a hidden group draws nothing).
  function render(g) {
    if (group != null) renderComponent(group, g);
  }
  function renderVeil(g) {
    g.SetColor(0xA0081420);
    g.FillRect(0, TOP, COLS * CELL, ROWS * CELL);
  }
  function renderKind(g) {
    local colour = Colours[kind];
    foreach (b in shown()) {
      g.SetColor(0xFFFFFFFF);
      Game.tiles.Render(g, TileNumbers[b.kind], b.x * CELL, TOP + b.y * CELL, 0);
      g.SetColor(colour);
      g.DrawRect(b.x * CELL - 2, TOP + b.y * CELL - 18, 2 * CELL + 4, 2 * CELL + 20);
    }
  }

  function stop() {
    if (group == null) return;
    shutdown(tint);
    shutdown(group);
    group = null;
    tint = null;
    kind = null;
  }
}
