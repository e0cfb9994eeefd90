#pragma once
// Keeping shared libraries loaded until the process ends.

namespace platform {

// Pins every shared library loaded by now, so none is unloaded before the process ends. The video
// layer unloads the OpenGL driver when it stops, just before exit; what the driver still held then
// looks leaked to a leak checker. A program that stops its display before it exits (the game, tests
// that open a window) calls this once the driver is loaded. Costs nothing at run time.
void keepLoadedLibraries();

} // namespace platform
