// The heads-up display: the bar at the top (money, day and time, guests, trucks), the toolbar at the bottom,
// messages, and amounts that float up where money was earned.
Tools <- [
  { id = "road", key = "Road", cost = ROAD_COST },
  { id = "hotel", key = "Hotel", cost = BuildingKinds.hotel.cost },
  { id = "shop", key = "Shop", cost = BuildingKinds.shop.cost },
  { id = "warehouse", key = "Warehouse", cost = BuildingKinds.warehouse.cost },
  { id = "cafe", key = "Cafe", cost = BuildingKinds.cafe.cost },
  { id = "remove", key = "Bulldoze", cost = -1 },
  { id = "trees", key = "Trees", cost = TREE_COST },
  { id = "save", key = "Save", cost = -1 },
  { id = "load", key = "Load", cost = -1 }
]

Hud <- {
  tool = "road",
  hover = -1,
  floating = [],  // { text, x, y, colour, until }

  function buttonRect(i) {
    return Rect(8 + i * 112, TOOLBAR_Y + 6, 106, 48);
  }

  // "" is no tool: a click on the world does nothing. Picking the tool in hand puts it down.
  function pickTool(id) {
    setTool(id == tool ? "" : id);
  }
  function setTool(id) {
    tool = id == null ? "" : id;
    Builders.useTool(tool);
  }
  function buttonAt(x, y) {
    foreach (i, t in Tools) if (buttonRect(i).IsPointIn(x, y)) return i;
    return -1;
  }

  function floatText(text, x, y, colour) {
    floating.append({ text = text, x = x, y = y, colour = colour, until = World.clock + 1500 });
    if (floating.len() > 24) floating.remove(0);
  }

  function shadowText(g, font, text, x, y, colour) {
    g.SetFont(font);
    g.SetColor(0xA0000000);
    g.DrawString(text, x + 1, y + 2);
    g.SetColor(colour);
    g.DrawString(text, x, y);
  }

  function centred(g, font, text, cx, y, colour) {
    shadowText(g, font, text, cx - font.GetWidth(text) / 2, y, colour);
  }

  // Drawn in world space, so they zoom with the world.
  function renderFloating(g) {
    local i = 0;
    while (i < floating.len()) {
      local f = floating[i];
      local left = f.until - World.clock;
      if (left <= 0) { floating.remove(i); continue; }
      local rise = (1500 - left) / 40;
      local alpha = left > 500 ? 255 : left * 255 / 500;
      shadowText(g, Game.smallFont, f.text, f.x - 14, f.y - rise, (alpha << 24) | (f.colour & 0xFFFFFF));
      ++i;
    }
  }

  function timeText() {
    local minutes = ((World.clock % DAY_MS) * 1440 / DAY_MS).tointeger();
    local h = minutes / 60, m = minutes % 60;
    return (h < 10 ? "0" : "") + h + ":" + (m < 10 ? "0" : "") + m;
  }

  function render(g) {
    local font = Game.font, small = Game.smallFont;
    // The top bar.
    g.SetColor(0xE0102A3C);
    g.FillRect(0, 0, SCREEN_W, TOP);
    g.SetColor(0xFF2E6A94);
    g.FillRect(0, TOP - 2, SCREEN_W, 2);
    shadowText(g, font, T("Title"), 12, 7, 0xFFFFF4D6);
    Game.tiles.Render(g, TileNumbers.coin, 214, 18, 0);
    shadowText(g, font, moneyText(World.money), 228, 7, World.money < 0 ? 0xFFFF7A7A : 0xFFFFE27A);
    shadowText(g, font, T("Day") + " " + World.day + "   " + timeText(), 380, 7, 0xFFFFFFFF);
    shadowText(g, font, T("Guests") + ": " + Guests.count(), 580, 7, 0xFFB8E8FF);
    shadowText(g, font, T("Trucks") + ": " + Vehicles.trucks.len(), 720, 7, 0xFFB8E8FF);
    local speedText = Game.paused ? T("Paused") : "x" + World.speed.tointeger();
    shadowText(g, font, speedText, SCREEN_W - 12 - font.GetWidth(speedText), 7, 0xFFFFFFFF);

    // The toolbar.
    g.SetColor(0xF0102A3C);
    g.FillRect(0, TOOLBAR_Y, SCREEN_W, SCREEN_H - TOOLBAR_Y);
    g.SetColor(0xFF2E6A94);
    g.FillRect(0, TOOLBAR_Y, SCREEN_W, 2);
    foreach (i, t in Tools) {
      local r = buttonRect(i);
      local selected = t.id == tool;
      g.SetColor(selected ? 0xFFF4C542 : i == hover ? 0xFF6FA8D0 : 0xFF24506E);
      g.FillRect(r.X, r.Y, r.Width, r.Height);
      g.SetColor(selected ? 0xFF3A5F7A : 0xFF1A3A52);
      g.FillRect(r.X + 2, r.Y + 2, r.Width - 4, r.Height - 4);
      centred(g, font, T(t.key), r.X + r.Width / 2, r.Y + (t.cost >= 0 ? 4 : 13), 0xFFFFFFFF);
      if (t.cost >= 0) centred(g, small, moneyText(t.cost), r.X + r.Width / 2, r.Y + 28, t.cost <= World.money ? 0xFFFFE27A : 0xFFFF7A7A);
    }
    Inset.render(g);
    // With no tool in hand, the building under the pointer: its name and stock.
    local p = Screens.hoverPoint, hovered = null;
    if (tool == "" && p != null && p[1] > TOP && p[1] < TOOLBAR_Y) {
      local b = Level.pick(p[0], p[1]);
      hovered = b;
      if (b != null) {
        local text = T(BuildingKinds[b.kind].key) + (b.kind == "warehouse" ? "" : "  " + T("Stock") + " " + b.stock);
        g.SetColor(0xE0102A3C);
        g.FillRect(p[0] + 14, p[1] + 10, small.GetWidth(text) + 12, 22);
        shadowText(g, small, text, p[0] + 20, p[1] + 13, 0xFFFFFFFF);
      }
    }
    World.highlightFrontage(hovered); // its road cells, marked for the next frame
    // The overlay's kind and how many of it stand, above the toolbar.
    if (Overlay.kind != null) {
      local info = BuildingKinds[Overlay.kind];
      shadowText(g, font, T(info.key) + ": " + Overlay.shown().len(), 12, TOOLBAR_Y - 32, Overlay.Colours[Overlay.kind]);
    }
    // Messages under the top bar.
    foreach (i, m in World.messages) centred(g, font, m.text, SCREEN_W / 2, TOP + 10 + i * 26, 0xFFFFFFFF);
  }
}

// The truck inset: a small panel at the top right that follows one truck around the resort. An
// ObjectWatcher draws the world through its own camera, centred on the truck, into a render target on every
// effects update; the HUD shows that target's texture. T picks the next truck.
Inset <- {
  watcher = null,
  camera = null,
  view = null,      // the renderable the watcher draws: the world without the screen's overlays
  truckId = -1,
  route = null,     // the Route whose cells are marked on the roads
  marks = null,     // the RoadCellsRenderer that marks them
  W = 224,
  H = 140,
  ZOOM = 1.0,

  function start() {
    view = getComponent("ScriptedObject");
    // The watcher draws over its last picture: the view starts with a clear target.
    loadFromScript(view, { function Render(g) { g.Clear(Settings.ClearColor); World.renderScene(g, false); } });
    camera = getComponent("Camera");
    // A scaled position would zoom the camera's view (tiles then show their seams: the inset stays at 1:1);
    // the watcher moves its origin to the truck.
    setPosition(camera, Matrix3(Vector2(1.0 / ZOOM, 0), Vector2(0, 1.0 / ZOOM), Vector2(0, 0)));
    watcher = getComponent("ObjectWatcher");
    watcher.InitRender(W, H);
    watcher.SetCamera(camera, Vector2(0, 0));
    watcher.SetRenderable(view);
    getComponent("System").RegisterObject("Watcher", watcher); // updated on the effects layer
    marks = getComponent("RoadCellsRenderer");
  }

  function stop() {
    if (watcher == null) return;
    getComponent("System").UnregisterObject("Watcher");
    shutdown(watcher);
    watcher = null;
    truckId = -1;
  }

  // Keeps following the same truck while it drives; takes the first one when it is gone (or `next`).
  function follow(next = false) {
    if (watcher == null) return;
    local trucks = Vehicles.trucks, pick = null;
    foreach (i, t in trucks) {
      if (t.id == truckId) pick = next ? trucks[(i + 1) % trucks.len()] : t;
    }
    if (pick == null && trucks.len() > 0) pick = trucks[0];
    if (pick == null) {
      if (truckId >= 0) watcher.SetEnabled(false);
      truckId = -1;
      markRoute(null);
      return;
    }
    markRoute(pick.route);
    if (pick.id == truckId) return;
    truckId = pick.id;
    watcher.SetPositionable(pick.obj);
    watcher.SetEnabled(true);
  }

  // The road cells of the followed truck's current leg: its route's points are cells (any gap between two is
  // filled along the straight run).
  function markRoute(r) {
    if (r == route) return;
    route = r;
    marks.ClearCells();
    if (r == null) return;
    local cells = [], last = null;
    for (local i = 0; i < r.GetPointCount(); ++i) {
      local p = r.GetPointPosition(i);
      local c = [p.x.tointeger(), p.y.tointeger()];
      if (last != null) {
        while (last[0] != c[0] || last[1] != c[1]) {
          last = [last[0] + (c[0] > last[0] ? 1 : c[0] < last[0] ? -1 : 0), last[1] + (c[1] > last[1] ? 1 : c[1] < last[1] ? -1 : 0)];
          cells.append(Vector2(last[0], last[1]));
        }
      } else cells.append(Vector2(c[0], c[1]));
      last = c;
    }
    marks.SetRoadRenderer(World.roads);
    marks.SetCells(cells); // cells without a road (the stops' doorsteps) are left out
  }

  function renderRoute(g) {
    if (marks != null && route != null) renderComponent(marks, g);
  }

  function render(g) {
    if (watcher == null || truckId < 0) return;
    local texture = watcher.GetTexture();
    if (texture == null) return;
    local x = SCREEN_W - W - 12, y = TOP + 10;
    g.SetColor(0xE0102A3C);
    g.FillRect(x - 4, y - 4, W + 8, H + 26);
    g.SetColor(0xFFFFFFFF);
    g.DrawTexture(texture, RectF(0, 0, W, H), RectF(x, y, W, H));
    g.SetColor(0xFF2E6A94);
    g.DrawRect(x - 1, y - 1, W + 2, H + 2);
    local truck = null;
    foreach (t in Vehicles.trucks) if (t.id == truckId) truck = t;
    local text = T("Truck") + " " + truckId;
    if (truck != null) {
      local b = Vehicles.buildingById(truck.home ? truck.depot : truck.stops[truck.leg]);
      if (b != null) text += ": " + T(BuildingKinds[b.kind].key);
    }
    Hud.shadowText(g, Game.smallFont, text, x + 2, y + H + 3, 0xFFFFFFFF);
  }
}
