// Harbor Haven — the game's main script. The engine runs it once at start-up; the table it returns holds the
// settings the engine reads (DisplayWidth, DisplayHeight) and writes back (IsPointerWheel2DSupported,
// SoundEnabled). The game itself lives in scripts/game/.

print("Harbor Haven: main script, " + ARGS.len() + " argument(s)\n");

// Read by the System object when it starts: the colour behind everything.
Settings <- {
  ClearColor = 0xFF14324A
}

// "--frames=N" ends the run after N drawn frames; "--screenshot" then saves the last frame as
// data/screenshot.tga. (The scripted demo uses the engine's demo mode instead: see game/demo/.)
QuitAfterFrames <- 0;
SaveScreenshot <- false;
foreach (argument in ARGS) {
  if (argument.len() > 9 && argument.slice(0, 9) == "--frames=") {
    try {
      QuitAfterFrames = argument.slice(9).tointeger();
    } catch (e) {
      print("--frames needs a number, not " + argument.slice(9) + "\n");
    }
  } else if (argument == "--screenshot") SaveScreenshot = true;
}

dofile("scripts/game/Util.nut");
dofile("scripts/game/Audio.nut");
dofile("scripts/game/World.nut");
dofile("scripts/game/Vehicles.nut");
dofile("scripts/game/Guests.nut");
dofile("scripts/game/Effects.nut");
dofile("scripts/game/Builders.nut");
dofile("scripts/game/Hud.nut");
dofile("scripts/game/Screens.nut");
dofile("scripts/game/Save.nut");
dofile("scripts/game/Demo.nut");

// The application lifecycle: the engine calls each of these when it is defined.
function initApp() {
  print("initApp\n");
}

function startApp() {
  print("startApp\n");
  Game.start();
  if (QuitAfterFrames > 0) {
    ::frameCounter <- getComponent("ScriptedObject");
    loadFromScript(frameCounter, {
      frames = 0,
      function GetRenderLayer() { return 1000; },
      function Render(g) {
        if (++frames == QuitAfterFrames) {
          print("drew " + frames + " frame(s)\n");
          quit(); // the screenshot waits for destroyApp: no offscreen frame can start inside this one
        }
      }
    });
    getComponent("System").RegisterObject("FrameCounter", frameCounter);
  }
}

function pauseApp() {
  // Focus lost: the world stops and the music with it, until the window comes back.
  print("pauseApp\n");
  Game.setPaused(true);
}

function resumeApp() {
  print("resumeApp\n");
  Game.setPaused(false);
}

function resizeApp() {
  local display = getComponent("Display");
  print("resizeApp: " + display.GetWidth() + " x " + display.GetHeight() + (display.IsWindowed() ? " windowed\n" : " full screen\n"));
}

function closeApp() {
  // Closing the window ends the game.
  print("closeApp\n");
  quit();
}

function destroyApp() {
  print("destroyApp\n");
  if (SaveScreenshot && shot("last", "data/screenshot.tga")) print("screenshot saved to data/screenshot.tga\n");
  Game.stop();
}

return {
  DisplayWidth = 1024,
  DisplayHeight = 768,
  SoundEnabled = true
}
