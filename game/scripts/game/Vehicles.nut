// Delivery trucks: a warehouse sends a truck on a tour of the shops, cafés and hotels its roads reach, in the
// order the tour optimiser finds shortest; each stop is paid for. Back at its warehouse the truck despawns
// (it takes itself out of the mover in its own arrival callback).
Vehicles <- {
  trucks = [],   // { id, obj, depot, stops (building ids, in order), leg, home }
  nextId = 1,
  delivered = 0,
  despawned = 0,

  function clear() {
    foreach (t in trucks) if (World.mover != null) World.mover.RemoveTransport(t.obj);
    trucks = [];
  }

  function buildingById(id) {
    foreach (b in World.buildings) if (b.id == id) return b;
    return null;
  }

  function areaOf(b) {
    return Rect(b.x, b.y, 2, 2);
  }
  function entranceOf(b) {
    local e = World.entrances(b);
    return e.len() > 0 ? Vector2(e[0][0], e[0][1]) : Vector2(b.x, b.y + 2);
  }

  function busy(depot) {
    foreach (t in trucks) if (t.depot == depot.id) return true;
    return false;
  }

  // A new customer: the nearest idle warehouse sends a truck at once.
  function buildingAdded(b) {
    if (b.kind == "warehouse") { dispatch(b); return; }
    foreach (w in World.buildings) if (w.kind == "warehouse" && !busy(w)) { dispatch(w); return; }
  }
  function roadsChanged() {
    foreach (w in World.buildings) if (w.kind == "warehouse" && !busy(w)) dispatch(w);
  }
  function morningTours() {
    foreach (b in World.buildings) b.stock = b.stock > 0 ? b.stock - 1 : 0;
    foreach (w in World.buildings) if (w.kind == "warehouse" && !busy(w)) dispatch(w);
  }

  // Plans a tour from the warehouse over every customer that needs goods and sends a truck on it.
  function dispatch(depot) {
    local mover = World.mover;
    local customers = [];
    foreach (b in World.buildings) if (b.kind != "warehouse" && b.stock < 3) customers.append(b);
    if (customers.len() == 0) return null;
    local cells = [], areas = [];
    foreach (c in customers) { cells.append(entranceOf(c)); areas.append(areaOf(c)); }
    mover.CreateOptimalRouteFromArea(cells, areas, -1, entranceOf(depot), areaOf(depot));
    local order = mover.GetOptimalRouteIndexesReachable();
    if (order.len() == 0) return null;
    local stops = [];
    foreach (i in order) stops.append(customers[i].id);
    local truck = spawn(depot, stops, 0, false);
    if (!startLeg(truck, depot)) { despawn(truck); return null; }
    return truck;
  }

  function spawn(depot, stops, leg, home) {
    local truck = { id = nextId++, obj = getComponent("ScriptedObject"), depot = depot.id, stops = stops, leg = leg, home = home, route = null };
    loadFromScript(truck.obj, {
      truckId = truck.id,
      function OnMovingFinish() { Vehicles.arrived(truckId); },
      function OnCellChange(onRoad) {}
    });
    // A scripted object keeps no transform of its own: a camera holds the truck's.
    truck.obj.SetPositionProvider(getComponent("Camera"));
    World.mover.AddTransport(truck.obj);
    trucks.append(truck);
    return truck;
  }

  function despawn(truck) {
    ++despawned;
    World.mover.RemoveTransport(truck.obj);
    foreach (i, t in trucks) if (t == truck) { trucks.remove(i); break; }
  }

  // Drives from `from` (a building) to the truck's current stop, or home.
  function startLeg(truck, from) {
    local to = truck.home ? buildingById(truck.depot) : buildingById(truck.stops[truck.leg]);
    if (from == null || to == null) return false;
    local route = World.mover.FindPathBetweenAreas(entranceOf(from), areaOf(from), entranceOf(to), areaOf(to));
    if (route == null || route.IsEmpty()) return false;
    if (!World.mover.InitMoving(truck.obj, route)) return false;
    truck.route = route;
    World.mover.InitPosition(truck.obj);
    World.mover.SetMoving(truck.obj, true);
    return true;
  }

  function arrived(id) {
    local truck = null;
    foreach (t in trucks) if (t.id == id) truck = t;
    if (truck == null) return;
    if (truck.home) {
      despawn(truck); // back at the warehouse: the truck's work is done
      local depot = buildingById(truck.depot);
      if (depot != null) dispatch(depot); // and the next tour sets out when customers still need goods
      return;
    }
    local b = buildingById(truck.stops[truck.leg]);
    if (b != null) {
      b.stock += 1;
      ++delivered;
      World.earn(BuildingKinds[b.kind].income, b.x * CELL + CELL, TOP + b.y * CELL);
      Audio.playAt("coin", b.x * CELL);
      Effects.sparkle(b.x * CELL + CELL, TOP + b.y * CELL + 8, 900);
    }
    local from = b;
    // On to the next stop that still stands; home when none is left.
    do {
      ++truck.leg;
    } while (truck.leg < truck.stops.len() && buildingById(truck.stops[truck.leg]) == null);
    if (truck.leg >= truck.stops.len()) {
      truck.home = true;
      truck.leg = 0;
    }
    if (from == null || !startLeg(truck, from)) despawn(truck);
  }

  function render(g) {
    foreach (t in trucks) {
      local m = getPosition(t.obj);
      local p = m.GetOrigin(), d = m.GetXVec();
      local tile = fabs(d.x) >= fabs(d.y) ? (d.x >= 0 ? TileNumbers.truck_e : TileNumbers.truck_w)
                                         : (d.y >= 0 ? TileNumbers.truck_s : TileNumbers.truck_n);
      Game.tiles.Render(g, tile, p.x, p.y, 0);
    }
  }

  // Headlights at night.
  function renderLights(g, glow) {
    g.SetColor(((glow / 2) << 24) | 0x00FFF4C0);
    foreach (t in trucks) {
      local m = getPosition(t.obj);
      local p = m.GetOrigin(), d = m.GetXVec();
      g.FillRect(p.x + d.x * 16 - 4, p.y + d.y * 16 - 4, 8, 8);
    }
  }

  function hash() {
    local h = trucks.len();
    foreach (t in trucks) {
      h = (h * 31 + t.depot * 7 + t.leg * 3 + (t.home ? 1 : 0) + t.stops.len()) & 0x3FFFFFFF;
      h = (h * 31 + World.mover.GetRouteLength(t.obj).tointeger()) & 0x3FFFFFFF;
    }
    return h;
  }

  // Trucks in a stream: count, then each one's depot, stops and leg, then the mover's record of it.
  function write(file) {
    writeInt(file, trucks.len());
    foreach (t in trucks) {
      writeInt(file, t.depot);
      writeBool(file, t.home);
      writeInt(file, t.leg);
      writeInt(file, t.stops.len());
      foreach (s in t.stops) writeInt(file, s);
      if (!World.mover.WriteTransportToStream(file, t.obj)) return false;
    }
    return true;
  }

  function read(file) {
    clear();
    local count = readInt(file);
    if (count < 0 || count > 1000) return false;
    for (local i = 0; i < count; ++i) {
      local depot = readInt(file);
      local home = readBool(file);
      local leg = readInt(file);
      local n = readInt(file);
      if (n < 0 || n > 1000) return false;
      local stops = [];
      for (local k = 0; k < n; ++k) stops.append(readInt(file));
      local truck = spawn({ id = depot }, stops, leg, home);
      if (!World.mover.ReadTransportFromStream(file, truck.obj)) return false;
    }
    return true;
  }
}
