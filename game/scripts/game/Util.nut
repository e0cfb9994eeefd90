// Shared helpers: texts, the game's own random numbers, the screen layout and the Game table that starts and
// stops everything.

// Screen layout: a bar at the top, the world of COLS x ROWS cells, the toolbar below it.
COLS <- 32;
ROWS <- 21;
CELL <- 32;
TOP <- 36;
TOOLBAR_Y <- TOP + ROWS * CELL;
SCREEN_W <- 1024;
SCREEN_H <- 768;

// Texts by key, from res/lang/strings.nut (res_de/lang/strings.nut with KD_LOCALE=de).
Strings <- {};
function T(key) {
  return key in Strings ? Strings[key] : key;
}

// A small generator of our own, so a game plays the same on every machine and every run.
Random <- {
  seed = 12345,
  function next() {
    seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF;
    return seed >> 8;
  }
  // 0 ... n - 1
  function below(n) {
    return next() % n;
  }
}

function clampInt(v, lo, hi) {
  return v < lo ? lo : v > hi ? hi : v;
}

// Money as text: 12500 -> "$12,500".
function moneyText(amount) {
  local negative = amount < 0;
  local digits = (negative ? -amount : amount).tostring();
  local out = "";
  local n = digits.len();
  for (local i = 0; i < n; ++i) {
    if (i > 0 && (n - i) % 3 == 0) out += ",";
    out += digits.slice(i, i + 1);
  }
  return (negative ? "-$" : "$") + out;
}

Game <- {
  tiles = null,
  font = null,
  smallFont = null,
  titleFont = null,
  camera = null,
  paused = false,
  started = false,

  function start() {
    ::Strings = dofile("res/lang/strings.nut");
    print("language: " + T("Language") + " (locale '" + getLocale() + "')\n");
    loadfile("res/tiles/resort.nut").call(getroottable()); // TileNumbers and TileTextures, in the root table
    tiles = getComponent("TileManager");
    loadFromScript(tiles, {
      function LoadTexture(slot) {
        return slot < TileTextures.len() && TileTextures[slot] != null
          ? getComponent("ResourceManager").GetTexture(TileTextures[slot]) : null;
      }
    });
    if (!loadFromFile(tiles, "res/tiles/resort.tileset")) logError("the resort's tile set is missing");
    local resources = getComponent("ResourceManager");
    font = resources.GetFont("res/fonts/ui.fnt");
    smallFont = resources.GetFont("res/fonts/small.fnt");
    titleFont = resources.GetFont("res/fonts/title.fnt");
    // Screen coordinates are the display's pixels: the camera looks at the middle of the display.
    camera = getComponent("Camera");
    setPosition(camera, Matrix3(Vector2(SCREEN_W / 2, SCREEN_H / 2)));
    getComponent("System").SetCamera(camera);

    // The debug console: '`' opens it; with KD_ENABLE_STDIO set it also runs lines typed into standard input.
    ::console <- getComponent("Console");
    getComponent("System").RegisterObject("Console", console);
    enableCursor(100, true);
    ::windowedAtStart <- getComponent("Display").IsWindowed();
    Audio.start();
    Effects.load();
    Screens.showTitle();
    started = true;
  }

  function stop() {
    if (!started) return;
    started = false;
    Audio.stop();
    World.shutdownObjects(); // the map and its zone overlay hold each other: shut down, they let go
    Level.stop();
    Overlay.stop();
  }

  // Focus lost or found: game time stops while the window is in the background.
  function setPaused(on) {
    if (paused == on) return;
    paused = on;
    getComponent("System").SetUpdateSpeed(on ? 0.0 : World.speed);
    Audio.pause(on);
  }
}
