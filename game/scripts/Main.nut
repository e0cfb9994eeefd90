// Harbor Haven — the game's main script. The engine runs it once at start-up; the table it returns holds the
// settings the engine reads (DisplayWidth, DisplayHeight) and writes back (IsPointerWheel2DSupported,
// SoundEnabled).

print("Harbor Haven: main script, " + ARGS.len() + " argument(s)\n");

// Screen-independent game settings the scripts themselves use.
Settings <- {
  ClearColor = 0xFF1E4A6E // deep harbour blue
}

// "--frames=N" ends the run after N drawn frames; "--screenshot" saves the last frame to
// data/screenshot.tga. A headless run (SDL's offscreen driver) stops after 3 frames with a screenshot,
// since nobody can close its window.
QuitAfterFrames <- 0;
SaveScreenshot <- false;
if (getenv("SDL_VIDEODRIVER") == "offscreen") {
  QuitAfterFrames = 3;
  SaveScreenshot = true;
}
foreach (argument in ARGS) {
  if (argument.len() > 9 && argument.slice(0, 9) == "--frames=") {
    try {
      QuitAfterFrames = argument.slice(9).tointeger();
    } catch (e) {
      print("--frames needs a number, not " + argument.slice(9) + "\n");
    }
  } else if (argument == "--screenshot") SaveScreenshot = true;
}

// The first frame: a harbour of water, a quay, a pier and a few huts.
function drawHarbour(g, width, height) {
  g.SetColor(0xFF2E6A94); // open water
  g.FillRect(0, height / 2, width, height / 2);
  g.SetColor(0xFFC8B27A); // the quay
  g.FillRect(0, height / 2 - 40, width, 40);
  g.SetColor(0xFF6B4A2B); // the pier
  g.FillRect(width / 2 - 15, height / 2, 30, height / 4);
  local hutColours = [0xFFD04A3A, 0xFFE8D9B5, 0xFF3A8F5A];
  for (local i = 0; i < 3; ++i) {
    local x = 80 + i * 140;
    g.SetColor(hutColours[i]);
    g.FillRect(x, height / 2 - 110, 90, 70);
    g.SetColor(0xFF000000);
    g.DrawRect(x, height / 2 - 110, 90, 70);
  }
  g.SetColor(0xFFFFFFFF); // the horizon line
  g.DrawLine(0, height / 2 + 60, width, height / 2 + 60);
}

// The beach: a tile world drawn from the tile set that tools/tileset_builder makes from game/tiles/harbour.tiles
// (res/tiles/). A tile layer of sand and palms over a parallax sea, walkers animated by heading, a gull
// flapping by the game time and a hut, all clipped to a window at the lower right. Without the built tile set
// the harbour is drawn alone.
BeachWindow <- Rect(600, 430, 400, 300);
::beach <- null;

function startBeach() {
  if (!fileExists("res/tiles/harbour.tileset")) {
    print("no tile set: the harbour is drawn without its beach\n");
    return;
  }
  dofile("res/tiles/harbour.nut");
  local tiles = getComponent("TileManager");
  loadFromScript(tiles, {
    function LoadTexture(slot) {
      return slot < TileTextures.len() && TileTextures[slot] != null
        ? getComponent("ResourceManager").GetTexture(TileTextures[slot]) : null;
    }
  });
  if (!loadFromFile(tiles, "res/tiles/harbour.tileset")) return;
  tiles.SetHighlightBlendMode(3); // added over the sprite
  tiles.SetHighlightColor(0xFF303030);

  // Screen coordinates are the display's pixels: the camera looks at the middle of the display.
  ::worldCamera <- getComponent("Camera");
  setPosition(worldCamera, Matrix3(Vector2(512, 384)));
  getComponent("System").SetCamera(worldCamera);

  local layer = getComponent("TileLayer");
  layer.SetBackTile(TileNumbers.waves);
  layer.SetBackParallax(1);
  // Rows of sand diamonds (y ascending, as a layer keeps them), grass at the back, written in the layer's
  // stream format (count, then tile, x, y) and read back as a saved level would be.
  local file = getComponent("File");
  if (!file.Open("data/beach.layer", "wb")) return;
  writeShort(file, 63);
  for (local row = 0; row < 9; ++row) {
    for (local column = 0; column < 7; ++column) {
      writeShort(file, row < 2 ? TileNumbers.grass : TileNumbers.sand);
      writeShort(file, BeachWindow.X + 40 + column * 64 + (row % 2) * 32);
      writeShort(file, BeachWindow.Y + 60 + row * 16);
    }
  }
  file = getComponent("File"); // the first one closes as it goes
  if (!file.Open("data/beach.layer", "rb") || !readComponent(file, layer)) return;
  foreach (i, x in [640, 760, 910]) {
    local y = BeachWindow.Y + 120 + i * 40;
    local palm = getComponent("TileObject");
    palm.SetTile(i == 1 ? TileNumbers.palm_mirrored : TileNumbers.palm);
    palm.SetHighlighted(i == 1); // the mirrored palm glows a little
    local place = newPlace();
    setPosition(place, Matrix3(Vector2(x, y)));
    setPositionable(palm, place);
    layer.RegisterObject(palm);
  }
  local hut = getComponent("TileObject");
  hut.SetTile(TileNumbers.hut);
  local hutPlace = newPlace();
  setPosition(hutPlace, Matrix3(Vector2(850, 560)));
  setPositionable(hut, hutPlace);
  layer.RegisterObject(hut);

  // Walkers go round the hut; their animation picks the frames for their heading.
  local walking = getComponent("TileAnimationData");
  loadFromScript(walking, {
    Walk = { Time = 600, Channels = [
      [TileNumbers.walker_e0, TileNumbers.walker_e1], [TileNumbers.walker_s0, TileNumbers.walker_s1],
      [TileNumbers.walker_w0, TileNumbers.walker_w1], [TileNumbers.walker_n0, TileNumbers.walker_n1]] }
  });
  ::walkers <- [];
  for (local i = 0; i < 3; ++i) {
    local walker = getComponent("TileObject");
    local place = newPlace();
    setPositionable(walker, place);
    local animation = getComponent("TileAnimation");
    animation.SetAnimationData(walking);
    setSlaveObject(animation, walker);
    setPositionable(animation, place);
    setAnimation(animation, "Walk", i / 3.0);
    getComponent("System").RegisterObject("Walker" + i, animation);
    layer.RegisterObject(walker);
    walkers.append({ place = place, phase = i * 2.1 });
  }
  ::gull <- getComponent("TileObject");
  gull.SetTile(TileNumbers.gull);
  ::gullPlace <- newPlace();
  setPositionable(gull, gullPlace);
  layer.RegisterObject(gull);
  moveBeach(0);
  ::beach = layer;
}

// A movable transform for a tile object: a Camera keeps the position it is given (game objects, which will
// own their tile objects, are not here yet).
function newPlace() {
  return getComponent("Camera");
}

// Places the walkers on their round and the gull on its way at game time `time` (ms).
function moveBeach(time) {
  foreach (w in walkers) {
    local a = w.phase + time / 2000.0;
    local x = 850 + 110 * cos(a), y = 590 + 60 * sin(a);
    // The X axis of a walker's transform is its heading: the direction it moves in.
    setPosition(w.place, Matrix3(Vector2(-sin(a), cos(a) * 0.55), Vector2(x, y)));
  }
  setPosition(gullPlace, Matrix3(Vector2(620 + (time / 10) % 380, 450 + 8 * sin(time / 300.0))));
}

function drawBeach(g) {
  if (beach == null) return;
  moveBeach(getTime());
  local clip = g.GetClip();
  g.SetClip(BeachWindow);
  renderComponent(beach, g);
  g.SetClip(clip);
  g.SetColor(0xFF000000);
  g.DrawRect(BeachWindow.X, BeachWindow.Y, BeachWindow.Width, BeachWindow.Height);
}

// Saves the harbour drawn into an offscreen target of the display's size.
function saveScreenshot_() {
  local display = getComponent("Display");
  local target = display.CreateRenderTarget(display.GetWidth(), display.GetHeight());
  local g = beginRender(target, beach != null ? worldCamera : null);
  if (g == null) return;
  g.Clear(Settings.ClearColor);
  drawHarbour(g, display.GetWidth(), display.GetHeight());
  drawBeach(g);
  if ("caption" in getroottable()) renderComponent(caption, g);
  endRender(target);
  if (saveScreenshot(target, "data/screenshot.tga")) print("screenshot saved to data/screenshot.tga\n");
}

// The application lifecycle: the engine calls each of these when it is defined.
function initApp() {
  print("initApp\n");
}

function startApp() {
  print("startApp\n");
  // The debug console: '`' opens it; with KD_ENABLE_STDIO set it also runs lines typed into standard input.
  ::console <- getComponent("Console");
  getComponent("System").RegisterObject("Console", console);
  startBeach();
  // The game's own cursor, and its name in the corner: drawn once into a layer that replays every frame.
  enableCursor(100, true);
  ::caption <- getComponent("Layer");
  caption.SetFont(getComponent("ResourceManager").GetFont("res/fonts/ui.fnt"));
  caption.SetColor(0x80000000);
  caption.DrawString("Harbor Haven", 26, 22);
  caption.SetColor(0xFFFFF4D6);
  caption.DrawString("Harbor Haven", 24, 20);
  getComponent("System").RegisterObject("Caption", caption);
  ::harbour <- getComponent("ScriptedObject");
  loadFromScript(harbour, {
    frames = 0,
    function Render(g) {
      local display = getComponent("Display");
      drawHarbour(g, display.GetWidth(), display.GetHeight());
      drawBeach(g);
      ++frames;
      if (QuitAfterFrames > 0 && frames == QuitAfterFrames) {
        print("drew " + frames + " frame(s)\n");
        quit(); // the screenshot waits for destroyApp: no offscreen frame can start inside this one

      }
    }
  });
  getComponent("System").RegisterObject("Harbour", harbour);
}

function pauseApp() {
  print("pauseApp\n");
}

function resumeApp() {
  print("resumeApp\n");
}

function resizeApp() {
  print("resizeApp\n");
}

function closeApp() {
  // Closing the window ends the game.
  print("closeApp\n");
  quit();
}

function destroyApp() {
  print("destroyApp\n");
  if (SaveScreenshot && ("harbour" in getroottable()) && harbour.frames == QuitAfterFrames) saveScreenshot_();
}

return {
  DisplayWidth = 1024,
  DisplayHeight = 768,
  SoundEnabled = true
}
