// The application's run from the first script to the last shutdown, over a component registry, so that tests
// can drive it with components of their own. kdMain runs it with the engine's registry.
#pragma once

class ComponentRegistry;

// kdMain's results, which become the process exit code.
enum ApplicationExit : int {
    kExitNormal = 0,            // a quit event ended the loop
    kExitMainScriptFailed = -1, // scripts/Main.nut missing or not compilable
    kExitDisplayFailed = -2,    // the display could not be created or initialised
    kExitSystemFailed = -3,     // the system object could not be created or initialised
};

// Creates the script VM with the arguments, runs scripts/Main.nut, brings up "Display", "System" and
// "SoundDriver" from the registry with the lifecycle calls around them, runs the '+' arguments, loops on the
// event queue until a quit event, and takes everything down in order.
int runApplication(int argumentCount, const char* const* arguments, const ComponentRegistry& registry);
