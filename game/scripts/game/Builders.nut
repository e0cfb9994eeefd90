// The construction tools, driven by the pointer through the System object's input: the engine's
// TerrainBuilder drafts roads (routed through the grid router as the pointer drags), bulldozes roads and
// trees and plants trees; its BuildingBuilder shows the building under the pointer snapped to the grid and
// answers clicks. Their callbacks below judge, charge and build. The resort screen sees each event first and
// keeps the toolbar's; the builders sit in a scene of their own that only takes input, as the world draws
// their overlays and preview itself inside its zoom. The gamepad's cell cursor builds through World directly.
MODE_Default <- 0;
MODE_BuildRoad <- 1;
MODE_BuildForest <- 2;
MODE_Destroy <- 3;
TREE_COST <- 20;
LAND <- Rect(0, 0, COLS, ROWS - 3); // the build zone: everything above the sea (the bay is a margin)

Builders <- {
  scene = null,       // the Scene with the builders: input only
  terrain = null,     // the TerrainBuilder
  placer = null,      // the BuildingBuilder
  camera = null,      // turns pointer pixels into world pixels through the wheel's zoom
  kinds = null,       // building kind -> the TileAnimationData of its preview
  footprint = null,   // the cells under the building preview, as the placer last reported them
  draft = null,       // { cells, cost } of the road draft the terrain builder last asked about
  changed = false,    // cells were cleared: the world redraws its ground and roads at the next update

  // Makes both builders for a freshly read map and puts them into the input scene.
  function make(map, router, roads) {
    drop();
    if (scene == null) {
      scene = getComponent("Scene");
      setVisible(scene, false); // nothing of it is drawn by the System object
    }
    if (camera == null) camera = getComponent("Camera");
    zoomChanged();
    terrain = getComponent("TerrainBuilder");
    loadFromScript(terrain, {
      MODE_Default = MODE_Default, MODE_BuildRoad = MODE_BuildRoad, MODE_BuildForest = MODE_BuildForest,
      MODE_Destroy = MODE_Destroy,
      function CanBuildRoad(cells) { return Builders.judgeRoad(cells); },
      function OnBuildRoad(cells) { Builders.buildRoad(cells); },
      function OnCellHovered(cell) { Screens.hoverCell = [cell.x.tointeger(), cell.y.tointeger()]; },
      function OnBuildForest(cell, level) { return Builders.plant(cell, level); },
      function OnDestroyRoad(cell) { return Builders.cleared(cell, 0); },
      function OnDestroyRoadBroken(cell) { return Builders.cleared(cell, 0); },
      function OnDestroyForest(cell, level) { return Builders.cleared(cell, 0); },
      function OnDestroyForestBurnt(cell) { return Builders.cleared(cell, 0); },
      function OnDestroyForestCutted(cell) { return Builders.cleared(cell, 0); },
      function OnDestroyWaste(cell) { return false; } // the harbour stays
    });
    terrain.SetGridMap(map);
    terrain.SetGridRouter(router);
    terrain.SetRenderer(roads);
    terrain.SetCamera(camera);
    placer = getComponent("BuildingBuilder");
    loadFromScript(placer, {
      function OnBoundsChange(rect) { Builders.footprint = rect; },
      function OnBuild(position) { Builders.place(); },
      function OnClearAndBuild(position) { Builders.place(); },
      function OnRefuseBuild() { World.say(T("CantBuild")); Audio.play("click"); }
    });
    placer.SetGridMap(map);
    placer.SetCamera(camera);
    // Buildings go on land: everything above the sea, but not into the bay.
    placer.AddBuildZone(LAND);
    if (kinds == null) {
      kinds = {};
      foreach (kind, info in BuildingKinds) {
        local data = getComponent("TileAnimationData");
        loadFromScript(data, { Draft = { Time = 1000, Channels = [[TileNumbers[kind + "_draft"]]] } });
        kinds[kind] <- data;
      }
    }
    scene.RegisterObject("Terrain", terrain);
    scene.RegisterObject("Placer", placer);
    useTool(Hud.tool);
    return terrain;
  }

  function drop() {
    if (terrain == null) return;
    scene.UnregisterObject("Terrain");
    scene.UnregisterObject("Placer");
    shutdown(terrain);
    shutdown(placer);
    terrain = null;
    placer = null;
    footprint = null;
    draft = null;
  }

  // The builders follow the toolbar: roads, trees and the bulldozer are the terrain builder's modes, the
  // buildings the placer's; no tool leaves both idle.
  function useTool(tool) {
    if (terrain == null) return;
    draft = null;
    local mode = tool == "road" ? MODE_BuildRoad : tool == "trees" ? MODE_BuildForest : tool == "remove" ? MODE_Destroy : MODE_Default;
    terrain.SetMode(mode);
    local building = tool != null && (tool in BuildingKinds);
    World.zones.ClearRects();
    if (building) {
      placer.SetBuildingData(kinds[tool], 2, 2);
      placer.AddMarginRect(Rect(22, ROWS - 5, 6, 2)); // the bay (set again: new building data clears margins)
      World.zones.AddRect(LAND);
    }
    placer.SetEnabled(building);
  }

  // The pointer's pixels are the zoomed world's: the builders' camera maps them back through the zoom.
  function zoomChanged() {
    if (camera != null) loadFromScript(camera, { ToScreen = World.zoomMatrix() });
  }

  function cellsOf(vectors) {
    local cells = [];
    foreach (v in vectors) cells.append([v.x.tointeger(), v.y.tointeger()]);
    return cells;
  }

  // A road draft is good when every new cell can take a road (never the water) and the money is there.
  function judgeRoad(vectors) {
    local cells = cellsOf(vectors);
    local cost = 0, ok = true;
    foreach (c in cells) {
      if (!World.canBuildRoadOn(c[0], c[1])) ok = false;
      cost += ROAD_COST;
    }
    draft = { cells = cells, cost = cost };
    return ok && cost <= World.money;
  }

  function buildRoad(vectors) {
    draft = null;
    local cells = cellsOf(vectors);
    if (cells.len() > 0) World.buildRoad(cells);
  }

  function place() {
    if (footprint == null || !(Hud.tool in BuildingKinds)) return;
    if (World.place(Hud.tool, footprint.X, footprint.Y) != null && !placer.IsMassBuildEnabled()) {
      Hud.setTool(null); // one building per pick; hold Shift to place several
    }
  }

  // One tree a cell: the world draws a tree on every forest cell, whatever its level.
  function plant(cell, level) {
    if (level > 0) return false;
    if (TREE_COST > World.money) { World.say(T("NoMoney")); return false; }
    World.money -= TREE_COST;
    changed = true;
    Audio.play("build");
    return true;
  }

  // A road or tree bulldozed: the world catches up once the builder has cleared the cell.
  function cleared(cell, refund) {
    World.money += refund;
    changed = true;
    Audio.play("click");
    return true;
  }

  function update() {
    if (!changed) return;
    changed = false;
    World.rebuildGround();
    World.rebuildRoads();
    Vehicles.roadsChanged();
  }

  // The overlays and the preview, drawn by the world inside its zoom: the map's shading comes with the
  // map's own drawing; here the placer's footprint and its building.
  function render(g) {
    if (placer == null || !placer.IsEnabled()) return;
    renderComponent(placer, g);
    renderComponent(placer.GetObject("Tile"), g);
  }

  // The road draft's price by the pointer.
  function renderDraftCost(g) {
    if (draft == null || draft.cost <= 0 || Screens.hoverCell == null || terrain == null || Hud.tool != "road") return;
    local c = Screens.hoverCell, ok = draft.cost <= World.money;
    Hud.shadowText(g, Game.smallFont, moneyText(draft.cost), c[0] * CELL + 6, TOP + c[1] * CELL - 16, ok ? 0xFFFFFFFF : 0xFFFF9090);
  }
}
