// saveScreenshot(target, path): the contents of a render target written as an 8-bit RGBA PNG when the path
// ends in ".png", else as an uncompressed 32-bit TGA file, through the engine's file layer (so "data/..."
// lands in the user data folder). Lets headless runs and end-to-end checks see what a frame really drew.
#pragma once

#include "squirrel/squirrel.h"

// Installs saveScreenshot in the root table.
void registerScreenshotFunction(HSQUIRRELVM vm);
