// The script surface the game does not need in play, called once each so the end-to-end checks see the
// engine answer: every remaining class, global function and root value, one error path per group. Loaded
// by demo/checks.replay (dofile), never by the game itself. Each check prints "check <name>: ok" or
// "check <name>: FAILED ...".
Checks <- {
  passed = 0,
  failed = 0,

  function run(name, body) {
    local ok = false;
    try {
      ok = body() != false;
    } catch (e) {
      print("check " + name + ": FAILED with " + e + "\n");
      ++failed;
      return;
    }
    print("check " + name + ": " + (ok ? "ok" : "FAILED") + "\n");
    if (ok) ++passed; else ++failed;
  }

  // Root values the engine sets, and those it reads from the game.
  function rootValues() {
    run("root values", function() {
      return INFINITY > FLT_MAX && INT_MAX == 2147483647 && INT_MIN == -2147483647 - 1 && FLT_MIN > 0
        && UPDATE_LAYER_SYSTEM == 1 && UPDATE_LAYER_MOVEMENT == 2 && UPDATE_LAYER_DYNAMICS == 4
        && UPDATE_LAYER_EFFECTS == 64 && UPDATE_LAYER_MAX == 256 && IS_MAC == false && IsCheatsEnabled == false
        && ARGS.len() >= 1 && RAND_MAX == 32767 && fabs(DBPI - 2 * PI) < 0.00001 && fabs(HALFPI * 2 - PI) < 0.00001
        && INVDBPI > 0.15 && ("LAYER_PassMap" in getroottable()) && ("LAYER_Top" in getroottable());
    });
  }

  // The value classes, their operators and the error texts of bad construction.
  function values() {
    run("Color", function() {
      local c = Color(0x80, 0x10, 0x20, 0x30);
      local d = Color(0x80102030);
      c.SetValue(c.GetValue());
      return c.GetA() == 0x80 && c.GetR() == 0x10 && c.GetG() == 0x20 && c.GetB() == 0x30 && c.GetAlpha() > 0.5
        && c.GetRed() > 0 && c.GetGreen() > 0 && c.GetBlue() > 0 && c.GetValue() == d.GetValue() && !(c < d) && !(c > d)
        && Color.MakeARGB(1, 2, 3, 4) != 0
        && Color.AliceBlue != Color.YellowGreen && Color.Transparent == 0x00FFFFFF && Color.AlphaShift == 24
        && Color.RedMask != 0 && (Color() + "").len() > 0 && Color(1, 2, 3).GetB() == 3;
    });
    run("Vector2", function() {
      local a = Vector2(3, 4), b = Vector2(1, 0);
      local n = a.GetNormalized();
      a.Normalize();
      return (a + b - b).Equal(a) && !(b < b) && (b * 2).x == 2 && (b / 2).x == 0.5 && (-b).x == -1 && fabs(n.GetMagnitude() - 1) < 0.00001
        && a.GetSquareMagnitude() > 0 && a.IsValid() && a.Equal(n) && Vector2.GetDotProduct(b, b) == 1
        && fabs(Vector2.AngleBetween(b, Vector2(0, 1))) > 1.5 && Vector2.Lerp(b, Vector2(3, 0), 0.5).x == 2
        && Vector2.GetOrthogonal(b).y != 0 && (b + "").len() > 0;
    });
    run("Vector3 and Vector4", function() {
      local x = Vector3(1, 0, 0), y = Vector3(0, 1, 0);
      local z = Vector3.GetCrossProduct(x, y);
      local v = Vector4(1, 2, 3, 4);
      v.Normalize();
      return z.z == 1 && Vector3.GetDotProduct(x, y) == 0 && Vector3.Lerp(x, y, 0.5).x == 0.5 && (-x).x == -1
        && (x * 2 / 2 + y - y).x == 1 && x.GetNormalized().GetMagnitude() == 1 && x.GetSquareMagnitude() == 1
        && fabs(v.GetMagnitude() - 1) < 0.00001 && Vector4.GetDotProduct(v, v) > 0.99
        && typeof Vector4.GetCrossProduct(Vector4(1, 0, 0, 0), Vector4(0, 1, 0, 0)) == "Vector3"
        && Vector4.Lerp(v, v, 0.3).GetSquareMagnitude() > 0 && (x + "").len() > 0;
    });
    run("Matrix3 and Matrix4", function() {
      local m = Matrix3(Vector2(2, 0), Vector2(0, 2), Vector2(5, 6));
      local i = m.Inverse();
      local p = (m * i).MultVrt(Vector2(1, 1));
      m.SetOrigin(m.GetOrigin());
      m.SetXVec(m.GetXVec());
      m.SetYVec(m.GetYVec());
      local q = Matrix4.RotationZ(0.5), r = Matrix4.Rotation(0.1, 0.2, 0.3);
      q.SetZVec(q.GetZVec());
      return fabs(p.x - 1) < 0.0001 && m.MultVect(Vector2(1, 0)).x == 2 && m.MultInvVrt(Vector2(7, 8)) != null
        && m.MultInvVect(Vector2(2, 0)) != null && (m + m - m).GetOrigin().x == 5 && (-m) != null
        && (m / 1).GetOrigin().y == 6 && !(m < m)
        && m.GetNormalized().GetXVec().x == 1 && m.Transpose() != null && (m + "").len() > 0
        && (q * r).Inverse() != null && q.GetNormalized() != null;
    });
    run("Quaternion", function() {
      local a = Quaternion(), b = Quaternion();
      b.FromMatrix(Matrix4.RotationZ(1.0));
      local s = Quaternion();
      s.Slerp(a, b, 0.5);
      s.Normalize();
      return fabs(s.GetMagnitude() - 1) < 0.0001 && b.ToMatrix() != null && b.Inverse() != null
        && (a * b - a + a) != null && (-a) != null && s.GetSquareMagnitude() > 0.99 && s.GetNormalized() != null
        && (a / 1.0) != null && ("" + a).len() > 0;
    });
    run("Rect, RectF and IntegralF", function() {
      local r = Rect(0, 0, 10, 10), f = RectF(0.5, 0.5, 2, 2);
      local integral = IntegralF();
      integral.SetIntegralSize(4);
      integral.PushValue(2.0);
      integral.PushValue(4.0);
      local average = integral.GetAverageValue(), sum = integral.GetIntegralValue();
      integral.Clear();
      local inside = r.IsPointIn(5, 5) && !r.IsEmpty();
      r.Union(Rect(20, 20, 1, 1));
      local wide = r.Width == 21;
      r.Intersect(Rect(5, 5, 10, 10));
      f.Union(RectF(0, 0, 1, 1));
      f.Intersect(RectF(0, 0, 4, 4));
      return inside && wide && r.Width == 10 && f.IsPointIn(1.0, 1.0) && ("" + r).len() > 0 && ("" + f).len() > 0
        && average > 0 && sum >= 6.0;
    });
    run("value errors", function() {
      local refused = 0;
      try { Rect(1, 2, 3); } catch (e) { ++refused; } // "constructRect: invalid arguments"
      try { Matrix3().MultVrt("x"); } catch (e) { ++refused; } // "GetInstance: Invalid argument type"
      return refused >= 1;
    });
  }

  // No class has parts, saves itself or has a 3D position: each of these logs "can't cast to ..." and gives
  // its neutral result.
  function partsRefused(c) {
    ::partsProbe <- c;
    local neutral = 0;
    foreach (call in [function() { return getPartsQty(::partsProbe) == 0; }, function() { return getPart(::partsProbe, 0) == null; },
                      function() { return findPart(::partsProbe, "x") == null; }, function() { return getPartID(::partsProbe, 0) == null; },
                      function() { return getPartParent(::partsProbe, 0) == null; }, function() { return !saveToFile(::partsProbe, "data/x"); },
                      function() { return getPosition3D(::partsProbe) != null; },
                      function() { setPosition3D(::partsProbe, Matrix4()); return true; }]) {
      try { if (call()) ++neutral; } catch (e) { print("parts: " + e + "\n"); }
    }
    return neutral >= 6;
  }

  // Global functions of the engine group not used by the game itself.
  function globals() {
    run("components and parts", function() {
      local ids = getComponentIDs();
      local scene = getComponent("Scene");
      local layer = getComponent("TileObject");
      local copy = cloneComponent(getComponent("ResourceManager").GetTexture("res/tiles/resort.tga"));
      setIdentificator(layer, "probe");
      addClassificator(layer, 4);
      removeClassificator(layer, 4);
      addClassificator(layer, 2);
      return ids.len() > 30 && isIdentifiable(layer) && getIdentificator(layer) == "probe" && getClassificators(layer) == 2
        && checkMask(layer, 2, 0) && !checkMask(layer, 0, 2) && copy != null
        && partsRefused(scene);
    });
    run("logging", function() {
      logMessage("a plain line from the checks");
      logInfo("an info line from the checks");
      logWarning("a warning line from the checks");
      return true;
    });
    run("helpers", function() {
      local r = randNum(10), v = randVal(1.0, 2.0);
      local bytes = encodeUTF8([0x48, 0xE4, 0x20AC]);
      local codes = decodeUTF8(bytes);
      XPromoReportLink("checks");
      profilerReset();
      return r >= 0 && r < 10 && v >= 1 && v <= 2 && fabs(angleDelta(0.1, 6.2)) < 0.3 && fltsign(-2.0) == -1
        && getLocale() != null && codes.len() == 3 && codes[2] == 0x20AC && getSystemTime() > 0 && getTime() > 0
        && !systemExecute("");
    });
    run("files", function() {
      makeDir("data/checks");
      local file = getComponent("File");
      if (!file.Open("data/checks/bytes.bin", "wb")) return false;
      writeInt(file, -5); writeShort(file, -2); writeByte(file, 200); writeBool(file, true);
      writeString(file, "harbour"); writeChars(file, "ab", 2); writeBuffer(file, "cd", 2);
      file = getComponent("File");
      if (!file.Open("data/checks/bytes.bin", "rb")) return false;
      local ok = readInt(file) == -5 && readShort(file) == -2 && readUnsignedByte(file) == 200 && readBool(file)
        && readString(file) == "harbour" && readChars(file, 2) == "ab" && readChars(file, 2) == "cd";
      file = null;
      local gone = removeFile("data/checks/bytes.bin") && !fileExists("data/checks/bytes.bin");
      return ok && gone && removeDir("data/checks");
    });
    run("stream reads", function() {
      local blob = getComponent("Blob");
      blob.SetHeaderSize(2);
      writeShort(blob, 0x1234);
      writeByte(blob, 0xFF);
      local text = saveToScript(blob);
      local back = getComponent("Blob");
      loadFromScript(back, text);
      return text != null && readUnsignedShort(back) == 0x1234 && readByte(back) == -1;
    });
    run("cast failures", function() {
      // A component without the needed interface: "can't cast to ..." and the neutral result.
      local camera = getComponent("Camera");
      return getLifeTime(camera) == 0 && !isExpired(camera) && getBoundingRect(camera).IsEmpty()
        && !enableControl(camera, true) == !isControlEnabled(camera) && readInt(camera) == 0;
    });
  }

  // Components the game uses little or not at all.
  function components() {
    run("System", function() {
      local system = getComponent("System");
      local speed = system.GetUpdateSpeed();
      system.SetUpdateSpeed(speed);
      local before = system.GetTime();
      system.ResetTime();
      system.RegisterObject("Resort", getComponent("Layer")); // taken: "Object Resort already exists"
      local missing = system.UnregisterObject("NoSuchObject"); // "Object NoSuchObject not found"
      local camera = system.GetCamera();
      system.SetCamera(null);
      system.SetCamera(camera);
      return missing == null && system.GetObject("Resort") != null && before >= 0;
    });
    run("Display", function() {
      local display = getComponent("Display");
      display.ShowKeyboard(false);
      local target = display.CreateRenderTarget(64, 32);
      local g = beginRender(target, null);
      g.Clear(0xFF336699);
      g.SetColor(0xFFFFFFFF);
      g.DrawEllipse(4, 4, 20, 20);
      endRender(target);
      local texture = getRenderTargetTexture(target);
      TextureFilter_ColorMatrix(texture, Matrix4());
      return display.GetWidth() == 1024 && display.GetHeight() == 768 && texture.GetWidth() == 64
        && texture.GetHeight() == 32;
    });
    run("Graphics", function() {
      local target = getComponent("Display").CreateRenderTarget(32, 32);
      local g = beginRender(target, Game.camera);
      g.SetBlendMode(g.GetBlendMode());
      g.SetTexFilterMode(g.GetTexFilterMode());
      g.SetFont(Game.font);
      local font = g.GetFont();
      g.SetClip(g.GetClip());
      g.SetTransform(g.GetTransform());
      g.Translate(Vector2(1, 1));
      local shift = g.GetTranslate();
      local texture = getComponent("ResourceManager").GetTexture("res/tiles/resort.tga");
      g.DrawTexture(texture, RectF(0, 0, 32, 32), RectF(0, 0, 32, 32));
      g.DrawString("Hi", 0, 0);
      local camera = g.GetCamera();
      local colour = g.GetColor();
      endRender(target);
      return font != null && shift != null && camera != null && colour != null;
    });
    run("Font", function() {
      local font = Game.font;
      local lines = font.SplitString("a fairly long line of text to wrap", 80);
      return font.IsSymbolExists(0x41) && font.GetWidth("Hello") > 0 && font.GetHeight() > 0 && lines.len() >= 2;
    });
    run("ResourceManager", function() {
      local resources = getComponent("ResourceManager");
      local missing = resources.GetTexture("res/no/such.png"); // failed loads are retried next time
      local mesh = resources.GetMesh("res/any.mesh");          // never loadable
      local effect = resources.GetEffect("res/no/such.eff");
      resources.FreeResource("res/fonts/small.fnt");
      resources.FreeUnusedResources();
      return missing == null && mesh == null && effect == null;
    });
    run("Scene, groups and CompoundObject", function() {
      local scene = getComponent("Scene");
      local update = getComponent("UpdateGroup"), render = getComponent("RenderGroup"), input = getComponent("InputGroup");
      setIdentificator(render, "drawing");
      scene.AppendGroup(update);
      scene.AppendGroup(render);
      scene.AppendGroup(input);
      scene.EnableGroup("drawing", false);
      scene.EnableGroup("nothing", true); // "can't find group: nothing"
      scene.RegisterObject("layer", getComponent("Layer"));
      local found = scene.GetObject("layer");
      scene.UnregisterObject("layer");
      scene.RemoveGroup(input);
      updateComponent(update, 1, 16);
      local compound = getComponent("CompoundObject");
      local inner = getComponent("CompoundObject");
      inner.RegisterObject("leaf", getComponent("Layer"));
      compound.RegisterObject("inner", inner);
      compound.SetPositionProvider(getComponent("Camera"));
      setPosition(compound, Matrix3(Vector2(3, 4)));
      local rect = compound.GetBoundingRect();
      local leaf = compound.GetObject("inner").GetObject("leaf");
      compound.UnregisterObject("inner");
      return found != null && leaf != null && getPosition(compound).GetOrigin().x == 3 && rect != null
        && getIdentificator(render) == "drawing";
    });
    run("Camera", function() {
      local camera = getComponent("Camera");
      loadFromScript(camera, { ToScreen = Matrix3() });
      setPosition(camera, Matrix3(Vector2(100, 50)));
      local p = Vector2(10, 20);
      local back = camera.ScreenToWorld(camera.WorldToScreen(p));
      local ui = camera.UIToScreen(camera.ScreenToUI(p));
      local w = camera.UIToWorld(camera.WorldToUI(p));
      return fabs(back.x - 10) < 0.001 && fabs(ui.y - 20) < 0.001 && fabs(w.x - 10) < 0.001
        && camera.GetWorldToScreen() != null && camera.GetScreenToWorld() != null && camera.GetWorldToUI() != null
        && camera.GetUIToWorld() != null && camera.GetScreenToUI() != null && camera.GetUIToScreen() != null;
    });
    run("TileManager", function() {
      local tiles = Game.tiles;
      local rect = tiles.GetRect(TileNumbers.hotel, 0);
      local slot = tiles.GetTextureIndex(TileNumbers.hotel);
      tiles.SetTexture(slot, tiles.GetTexture(slot));
      tiles.ResetTextureUsage();
      local fragments = tiles.GetFragments(TileNumbers.hotel, 0);
      local joint = tiles.GetJointPosition(TileNumbers.hotel, 1);
      return rect.Width == 64 && tiles.HitTest(TileNumbers.hotel, 10, 10, 0) && fragments != null && slot == 0;
    });
    run("TileLayer and TileObject", function() {
      local layer = getComponent("TileLayer");
      layer.SetRenderLayer(layer.GetRenderLayer() + 1);
      local blob = getComponent("Blob");
      writeShort(blob, TileNumbers.grass); writeShort(blob, 0); writeShort(blob, 0);
      layer.ReadTiles(blob, 1);
      local object = getComponent("TileObject");
      object.SetTile(TileNumbers.coin);
      object.SetRenderLayer(3);
      object.SetColor(0xFFFFFFFF);
      object.EnableFloatCoords(true);
      object.SetClip(Rect(0, 0, 100, 100));
      setPositionable(object, getComponent("Camera"));
      layer.RegisterObject(object);
      local joint = object.GetJoint(0);
      local hit = object.HitTest(Vector2(0, 0), Game.camera, false);
      layer.UnregisterObject(object);
      layer.ClearObjects();
      return object.GetTile() == TileNumbers.coin && getBoundingRect(object) != null && hit != null;
    });
    run("PassMap, GridRouter and Route", function() {
      local map = World.map, router = World.router;
      local route = getComponent("Route");
      route.InitFromRouter(router, Vector2(2, 8), Vector2(28, 8), false);
      local length = route.GetLength();
      local copy = getComponent("Route");
      copy.AddPosition(Vector2(0, 0));
      copy.AddPosition(Vector2(3, 4));
      copy.Transform(Matrix3());
      copy.RemovePoint(0);
      copy.Clear();
      map.AddRenderer(copy);
      map.RemoveRenderer(copy);
      return map.GetWidth() == COLS && map.GetHeight() == ROWS && router.FindPath(Vector2(2, 8), Vector2(28, 8), false) > 0
        && router.GetPoint(0) != null && length > 0 && route.GetPointCount() > 0 && route.GetPointPosition(0) != null
        && route.GetPointDirection(0) != null && route.GetPointDistance(0) == 0 && route.GetProgressPosition(1.0) != null
        && route.GetProgressDirection(1.0) != null && copy.IsEmpty();
    });
    run("TransportMover and TSPSolver", function() {
      local mover = World.mover;
      local solver = getComponent("TSPSolver");
      solver.Solve([[0, 3, 4], [3, 0, 5], [4, 5, 0]], 0);
      local car = getComponent("ScriptedObject");
      car.SetPositionProvider(getComponent("Camera"));
      mover.AddTransport(car);
      local route = mover.FindPathToArea(Vector2(2, 8), Vector2(28, 8), Rect(28, 9, 1, 1));
      local started = route != null && mover.InitMoving(car, route);
      mover.InitPosition(car);
      local can = mover.CanStartMoving(car);
      mover.SetMoving(car, true);
      mover.PauseMoving(car, true);
      mover.PauseMoving(car, false);
      mover.StopMoving(car);
      mover.MoveToRoadsite(car);
      mover.CreateOptimalRouteFromPosition([Vector2(28, 8)], [Rect(28, 9, 1, 1)], 0, Vector2(2, 8));
      local unreachable = mover.GetOptimalRouteIndexesUnreachable();
      setVisible(mover, true);
      setVisible(mover, false);
      mover.RemoveTransport(car);
      return solver.GetResultID(0) == 0 && started && mover.GetRouteLength(car) >= 0 && unreachable != null;
    });
    run("SoundDriver, Sound and Music", function() {
      local driver = getComponent("System").GetObject("SoundDriver");
      if (driver == null) return getComponent("System").GetObject("Resort") != null; // silent machine
      local volume = driver.GetVolume();
      driver.Pause();
      driver.Start();
      driver.SetVolume(volume);
      local sound = getComponent("ResourceManager").GetSound("res/sounds/click.wav");
      local channel = sound.Play(true);
      sound.SetVolume(80, 0);
      sound.SetChannelVolume(channel, 50, 100);
      sound.SetChannelPan(channel, -50, 0);
      sound.SetLoop(false);
      sound.Pause();
      local paused = sound.IsPaused();
      sound.Resume();
      local sliding = sound.IsSliding();
      sound.StopChannel(channel);
      sound.Stop();
      local music = Audio.music;
      if (music != null) {
        music.SetPosition(1.0);
        local at = music.GetPosition();
        music.Pause();
        local musicPaused = music.IsPaused();
        music.Resume();
        if (!music.IsActive() || !musicPaused) return false;
      }
      return channel > 0 && !sound.IsActive() && paused != null && sliding != null;
    });
    run("Console", function() {
      // In control, the console takes every input event: given back afterwards.
      local hadControl = isControlEnabled(console);
      enableControl(console, true);
      local took = isControlEnabled(console);
      enableControl(console, hadControl);
      local wasVisible = isVisible(console);
      setVisible(console, true);
      writeString(console, "a line written by the checks\n");
      setVisible(console, wasVisible);
      return took && getTime() > 0;
    });
  }

  // The world and construction classes that landed late: made by name and called once each.
  function lateClasses() {
    run("GameLevel and GameObject", function() {
      local level = getComponent("GameLevel");
      level.RegisterObject("Camera", getComponent("Camera"));
      local thing = getComponent("GameObject");
      thing.SetPositionProvider(getComponent("Camera"));
      setPosition(thing, Matrix3(Vector2(100, 100)));
      loadFromScript(thing, { function HitTest(point) { return true; } });
      addClassificator(thing, 1);
      level.RegisterObject("thing", thing);
      level.SetDynamicLayer("no such layer"); // "can't find group: no such layer"
      local found = level.FindObjectsByMask(1, 0);
      local picked = level.GetObjectAt(Vector2(100, 100), 1, 0);
      level.UnregisterObject("thing");
      return found != null && level.GetObject("Camera") != null;
    });
    run("overlay renderers", function() {
      local rects = getComponent("GridRectRenderer");
      local pieces = [];
      for (local mask = 0; mask < 16; ++mask) pieces.append(TileNumbers["roadc" + mask]);
      rects.SetCellTiles(pieces);
      rects.SetGridMap(World.map);
      rects.AddRect(Rect(1, 1, 2, 2));
      rects.SetRect(0, Rect(2, 2, 3, 3));
      rects.ClearRects();
      local group = getComponent("GroupRenderer");
      local added = group.RegisterObject(getComponent("Layer"));
      setVisible(group, false);
      local cells = getComponent("RoadCellsRenderer");
      cells.SetRoadRenderer(World.roads);
      cells.SetCells([Vector2(2, 8)]);
      cells.ClearCells();
      cells.SetRenderLayer(3);
      World.roads.HighlightRoadCells([Vector2(2, 8)], true);
      World.roads.HighlightRoadCells([Vector2(2, 8)], false);
      World.roads.SetRouteMarkTile(TileNumbers.spark);
      World.roads.SetRenderLayer(LAYER_PassMap);
      local filtered = getComponent("ClassificatedRenderer");
      return added && filtered != null;
    });
    run("BuildingBuilder", function() {
      local builder = getComponent("BuildingBuilder");
      builder.SetGridMap(World.map);
      builder.SetCamera(Game.camera);
      builder.AddBuildZone(Rect(0, 0, COLS, ROWS));
      builder.AddMarginRect(Rect(0, 0, 1, 1));
      builder.SetEnabled(false);
      local enabled = builder.IsEnabled();
      builder.ClearBuildZones();
      return !enabled && !builder.IsMassBuildEnabled();
    });
    run("TerrainBuilder", function() {
      local builder = World.builder;
      local roadsBefore = builder.GetCellCount(CellValues.CELL_VALUE_Road);
      builder.SetMode(0);
      return roadsBefore == World.roadCells.len();
    });
  }
}
