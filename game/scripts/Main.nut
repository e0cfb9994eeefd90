// Harbor Haven — the game's main script. The engine runs it once at start-up; the table it returns holds the
// settings the engine reads (DisplayWidth, DisplayHeight) and writes back (IsPointerWheel2DSupported,
// SoundEnabled).

print("Harbor Haven: main script, " + ARGS.len() + " argument(s)\n");

// Screen-independent game settings the scripts themselves use.
Settings <- {
  ClearColor = 0xFF1E4A6E // deep harbour blue
}

// The application lifecycle: the engine calls each of these when it is defined.
function initApp() {
  print("initApp\n");
}

function startApp() {
  print("startApp\n");
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
}

return {
  DisplayWidth = 1024,
  DisplayHeight = 768,
  SoundEnabled = true
}
