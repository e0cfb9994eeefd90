// Helpers for the scripted demo and the end-to-end tests (game/demo/*.replay drives them): named screenshots
// and the world's state hash.
// Draws everything registered with the System object into an offscreen target and saves it as
// data/screenshots/<name>.png (or at `path`).
function shot(name, path = null) {
  makeDir("data/screenshots");
  local display = getComponent("Display");
  local target = display.CreateRenderTarget(display.GetWidth(), display.GetHeight());
  local g = beginRender(target, Game.camera);
  if (g == null) return false;
  g.Clear(Settings.ClearColor);
  renderComponent(getComponent("System"), g);
  endRender(target);
  if (path == null) path = "data/screenshots/" + name + ".png";
  local ok = saveScreenshot(target, path);
  print((ok ? "screenshot: " : "screenshot failed: ") + path + "\n");
  return ok;
}

function printState(label) {
  print("state " + label + ": hash " + World.stateHash() + ", money " + World.money + ", buildings "
    + World.buildings.len() + ", trucks " + Vehicles.trucks.len() + ", deliveries " + Vehicles.delivered + "\n");
}
