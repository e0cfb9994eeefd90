// The screens: the title, with its buttons, and the resort itself, which takes the player's input. Each
// screen is a ScriptedObject registered with the System object; the title's Play button registers the resort
// screen and unregisters the title from inside its own click.
KEY <- 0x40000000;           // key input indices: KEY + key code
KEY_ESCAPE <- KEY + 0x1B;
KEY_SPACE <- KEY + 0x20;
KEY_F5 <- KEY + 0x74;
KEY_F9 <- KEY + 0x78;
KEY_PLUS <- KEY + 0xBB;
KEY_MINUS <- KEY + 0xBD;
KEY_LEFT <- KEY + 0x25;
KEY_UP <- KEY + 0x26;
KEY_RIGHT <- KEY + 0x27;
KEY_DOWN <- KEY + 0x28;
PAD_UP <- 0x8002;
PAD_LEFT <- 0x8003;
PAD_RIGHT <- 0x8004;
PAD_DOWN <- 0x8005;
PAD_BUTTON_0 <- 0x9001;

Screens <- {
  title = null,
  resort = null,
  dragStart = null,   // the cell where the gamepad's road drag began
  dragCell = null,    // the cell under the gamepad's cursor during its road drag
  dragging = false,   // the pointer drags a road (the terrain builder's draft)
  hoverCell = null,
  hoverPoint = null,  // the pointer, in window pixels
  padCell = null,     // the gamepad's cell cursor

  titleButtons = [
    { key = "Play", rect = Rect(412, 430, 200, 52) },
    { key = "Continue", rect = Rect(412, 494, 200, 52) },
    { key = "Quit", rect = Rect(412, 558, 200, 52) }
  ],

  function showTitle() {
    title = getComponent("ScriptedObject");
    loadFromScript(title, {
      hover = -1,
      function GetRenderLayer() { return 10; },
      function Render(g) { Screens.renderTitle(g, hover); },
      function OnPointerMoved(x, y) {
        local h = Screens.titleButtonAt(x, y);
        if (h != hover) enableCursor(101, h >= 0);
        hover = h;
        return true;
      },
      function OnPointerPressed(buttons, x, y) {
        local h = Screens.titleButtonAt(x, y);
        if (h < 0) return true;
        Audio.play("click");
        enableCursor(101, false);
        if (h == 0) Screens.startResort(false);
        else if (h == 1) Screens.startResort(true);
        else quit();
        return true;
      },
      function OnKeyPressed(key, data) {
        if (key == KEY + 0x0D) { Screens.startResort(false); return true; }
        return false;
      }
    });
    getComponent("System").RegisterObject("Title", title);
  }

  function titleButtonAt(x, y) {
    foreach (i, b in titleButtons) if (b.rect.IsPointIn(x, y)) return i;
    return -1;
  }

  function renderTitle(g, hover) {
    // Sky, sea and a beach at sunset, a sun on the horizon, the name in the big font.
    for (local i = 0; i < 94; ++i) {
      local t = i / 93.0;
      local r = (0x1E + (0xF2 - 0x1E) * t).tointeger(), gr = (0x3C + (0x9A - 0x3C) * t).tointeger(), b = (0x72 + (0x7A - 0x72) * t).tointeger();
      g.SetColor(0xFF000000 | (r << 16) | (gr << 8) | b);
      g.FillRect(0, i * 5, SCREEN_W, 5);
    }
    // The sun, setting: a disc of thin rows, with a softer halo.
    foreach (layer in [[110, 0x30FFD27A], [92, 0x40FFC060], [80, 0xFFFFD27A]]) {
      g.SetColor(layer[1]);
      for (local y = -layer[0]; y < 0; y += 2) {
        local half = sqrt(layer[0] * layer[0] - y * y);
        g.FillRect(512 - half, 470 + y, half * 2, 2);
      }
    }
    g.SetColor(0xFF1E5A86);
    g.FillRect(0, 470, SCREEN_W, 298);
    for (local i = 0; i < 12; ++i) {
      g.SetColor(0x60FFE2A0);
      g.FillRect(470 + (i % 3) * 14 - i * 2, 480 + i * 9, 60 + i * 4, 2);
    }
    g.SetColor(0xFFE6CF8F);
    g.FillRect(0, 690, SCREEN_W, 78);
    // The resort's silhouettes on the beach.
    local tiles = Game.tiles;
    g.SetColor(0xFFFFFFFF);
    tiles.Render(g, TileNumbers.palm, 80, 700, 0);
    tiles.Render(g, TileNumbers.hotel, 120, 640, 0);
    tiles.Render(g, TileNumbers.cafe, 200, 640, 0);
    tiles.Render(g, TileNumbers.palm, 300, 705, 0);
    tiles.Render(g, TileNumbers.shop, 760, 640, 0);
    tiles.Render(g, TileNumbers.palm, 860, 702, 0);
    tiles.Render(g, TileNumbers.warehouse, 890, 640, 0);
    tiles.Render(g, TileNumbers.truck_e, 700, 730, 0);
    Hud.centred(g, Game.titleFont, T("Title"), SCREEN_W / 2, 150, 0xFFFFF4D6);
    Hud.centred(g, Game.font, T("Subtitle"), SCREEN_W / 2, 240, 0xFFFFFFFF);
    foreach (i, b in titleButtons) {
      local r = b.rect;
      g.SetColor(i == hover ? 0xFFFFE27A : 0xFFF4C542);
      g.FillRect(r.X, r.Y, r.Width, r.Height);
      g.SetColor(i == hover ? 0xFF2E6A94 : 0xFF1A3A52);
      g.FillRect(r.X + 3, r.Y + 3, r.Width - 6, r.Height - 6);
      Hud.centred(g, Game.font, T(b.key), r.X + r.Width / 2, r.Y + 14, 0xFFFFFFFF);
    }
  }

  // Leaves the title for the resort: a new world, or the saved one.
  function startResort(fromSave) {
    if (resort != null) return;
    if (!fromSave || !Save.load()) World.create();
    resort = getComponent("ScriptedObject");
    loadFromScript(resort, {
      function GetUpdateLayer() { return UPDATE_LAYER_SYSTEM; },
      function GetRenderLayer() { return 10; },
      function Update(layer, ms) { Screens.update(ms); },
      function Render(g) { World.render(g); Hud.render(g); },
      function OnPointerPressed(buttons, x, y) { return Screens.pressed(buttons, x, y); },
      function OnPointerReleased(buttons, x, y) { return Screens.released(x, y); },
      function OnPointerMoved(x, y) { return Screens.moved(x, y); },
      function OnPointerWheel(dy, dx, x, y) { return Screens.wheel(dy); },
      function OnKeyPressed(key, data) { return Screens.key(key, true); },
      function OnKeyReleased(key, data) { return Screens.key(key, false); }
    });
    local system = getComponent("System");
    system.RegisterObject("Resort", resort);
    system.RegisterObject("Builders", Builders.scene); // after the resort: it sees the toolbar's clicks first
    Level.start();
    Overlay.start();
    Inset.start();
    if (title != null) {
      system.UnregisterObject("Title"); // from inside the title's own click
      title = null;
    }
    World.say(T("Hint"));
  }

  function update(ms) {
    World.update(ms);
    Inset.follow();
    Guests.update(ms);
    Effects.update(ms);
  }

  function pressed(buttons, x, y) {
    local b = Hud.buttonAt(x, y);
    if (b < 0 && Hud.tool == "road" && World.cellAt(x, y) != null && !dragging) {
      dragging = true; // the terrain builder drags the road; the cursor shows it
      enableCursor(104, true);
    }
    if (b >= 0) {
      Audio.play("click");
      local id = Tools[b].id;
      if (id == "save") Save.save();
      else if (id == "load") Save.load();
      else Hud.pickTool(id);
      return true;
    }
    // On the world the builders take the click, but for a building under the bulldozer: it is the game's.
    local picked = World.cellAt(x, y) != null ? Level.pick(x, y) : null;
    if (picked != null && Hud.tool == "remove") {
      World.remove(picked.x, picked.y);
      return true;
    }
    return false;
  }

  // What the current tool does on the gamepad's cell: roads start a drag, buildings are placed.
  function act(c) {
    local tool = Hud.tool;
    if (tool == "road") {
      dragStart = c;
      dragCell = c;
      enableCursor(104, true);
    } else if (tool == "remove") {
      World.remove(c[0], c[1]);
    } else if (tool in BuildingKinds) {
      World.place(tool, c[0], c[1]);
    }
  }

  // Releases and moves go on to the builders too: they drag roads and move the building preview.
  function released(x, y) {
    if (dragging) enableCursor(104, false);
    dragging = false;
    return false;
  }

  function moved(x, y) {
    local b = Hud.buttonAt(x, y);
    if (b != Hud.hover) enableCursor(101, b >= 0);
    Hud.hover = b;
    hoverCell = World.cellAt(x, y);
    hoverPoint = [x, y];
    padCell = null; // the pointer is back: the gamepad's cursor goes
    return false;
  }

  function wheel(dy) {
    World.zoom = dy > 0 ? (World.zoom < 2.0 ? World.zoom * 1.25 : 2.0) : (World.zoom > 1.0 ? World.zoom / 1.25 : 1.0);
    if (World.zoom < 1.01) World.zoom = 1.0;
    Builders.zoomChanged();
    return true;
  }

  function key(index, down) {
    if (!down) return index >= PAD_UP && index <= PAD_BUTTON_0 + 31;
    if (index == KEY_F5) { Save.save(); return true; }
    if (index == KEY_F9) { Save.load(); return true; }
    if (index == KEY_SPACE) { Game.setPaused(!Game.paused); return true; }
    if (index == KEY_PLUS || index == KEY_MINUS) {
      World.speed = index == KEY_PLUS ? (World.speed < 8 ? World.speed * 2 : 8.0) : (World.speed > 1 ? World.speed / 2 : 1.0);
      if (!Game.paused) getComponent("System").SetUpdateSpeed(World.speed);
      return true;
    }
    if (index == KEY + 0x54) { Inset.follow(true); return true; } // T: the inset follows the next truck
    if (index == KEY + 0x4F) { Overlay.next(); return true; } // O: the overlay shows the next kind of building
    if (index >= KEY + 0x31 && index <= KEY + 0x37) { Hud.pickTool(Tools[index - KEY - 0x31].id); return true; }
    // The gamepad: the hat moves a cell cursor, button 0 uses the tool there, button 1 picks the next tool.
    local pad = [[PAD_LEFT, -1, 0], [PAD_RIGHT, 1, 0], [PAD_UP, 0, -1], [PAD_DOWN, 0, 1]];
    foreach (p in pad) {
      if (index == p[0]) {
        if (padCell == null) padCell = [COLS / 2, ROWS / 2];
        padCell = [clampInt(padCell[0] + p[1], 0, COLS - 1), clampInt(padCell[1] + p[2], 0, ROWS - 1)];
        if (dragStart != null) dragCell = padCell;
        return true;
      }
    }
    if (index == PAD_BUTTON_0 && padCell != null) {
      if (dragStart != null) {
        World.buildRoad(World.draftCells(dragStart, dragCell));
        dragStart = null;
      } else act(padCell);
      return true;
    }
    if (index == PAD_BUTTON_0 + 1) {
      local next = Tools[0].id;
      foreach (i, t in Tools) if (t.id == Hud.tool) next = Tools[(i + 1) % 7].id;
      Hud.setTool(next);
      return true;
    }
    return false;
  }

  // The gamepad's road draft, green where it can go and red where it can't, and the building under its
  // cursor; the pointer's drafts and previews are the builders'.
  function renderDraft(g) {
    Builders.renderDraftCost(g);
    if (dragStart != null && dragCell != null) {
      local cells = World.draftCells(dragStart, dragCell);
      local cost = World.roadCost(cells);
      local ok = cost >= 0 && cost <= World.money;
      g.SetColor(ok ? 0x8060E060 : 0x90E04040);
      foreach (c in cells) g.FillRect(c[0] * CELL + 3, TOP + c[1] * CELL + 3, CELL - 6, CELL - 6);
      if (cost > 0) Hud.shadowText(g, Game.smallFont, moneyText(cost), dragCell[0] * CELL + 6, TOP + dragCell[1] * CELL - 16, ok ? 0xFFFFFFFF : 0xFFFF9090);
    }
    local c = padCell;
    if (c != null && (Hud.tool in BuildingKinds)) {
      local ok = World.canPlace(Hud.tool, c[0], c[1]);
      g.SetColor(ok ? 0x8060E060 : 0x90E04040);
      g.FillRect(c[0] * CELL, TOP + c[1] * CELL, 2 * CELL, 2 * CELL);
    }
    if (padCell != null) {
      g.SetColor(0xFFFFFFFF);
      g.DrawRect(padCell[0] * CELL, TOP + padCell[1] * CELL, CELL, CELL);
    }
  }
}
