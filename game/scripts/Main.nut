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

// Saves the harbour drawn into an offscreen target of the display's size.
function saveScreenshot_() {
  local display = getComponent("Display");
  local target = display.CreateRenderTarget(display.GetWidth(), display.GetHeight());
  local g = beginRender(target, null);
  if (g == null) return;
  g.Clear(Settings.ClearColor);
  drawHarbour(g, display.GetWidth(), display.GetHeight());
  endRender(target);
  if (saveScreenshot(target, "data/screenshot.tga")) print("screenshot saved to data/screenshot.tga\n");
}

// The application lifecycle: the engine calls each of these when it is defined.
function initApp() {
  print("initApp\n");
}

function startApp() {
  print("startApp\n");
  ::harbour <- getComponent("ScriptedObject");
  loadFromScript(harbour, {
    frames = 0,
    function Render(g) {
      local display = getComponent("Display");
      drawHarbour(g, display.GetWidth(), display.GetHeight());
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
