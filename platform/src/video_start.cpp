// Start and stop of the video layer: SDL video and joysticks, the primary screen size, and the input hooks of
// the event pump.
#include <SDL.h>

#include "platform/platform_hooks.h"
#include "window_internal.h"

namespace platform {
namespace {

bool g_videoStarted = false;
bool g_joystickStarted = false;

} // namespace

void startVideo() {
    if (g_videoStarted) {
        return;
    }
    // Joystick 1 is read whether or not the window has the focus.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    // Closing the window is the game's decision (a close event), never an implicit quit.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    // A borderless window at the screen size must stay up when another window takes the focus.
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        logError("Window", "can't start the video layer: %s", SDL_GetError());
    } else {
        g_videoStarted = true;
        SDL_DisplayMode mode;
        if (SDL_GetDesktopDisplayMode(0, &mode) == 0) {
            setScreenSize(mode.w, mode.h);
        } else {
            logError("Window", "can't read the desktop mode: %s", SDL_GetError());
        }
    }
    if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0) {
        g_joystickStarted = true;
    } else {
        logWarning("Joystick", "no joystick support: %s", SDL_GetError());
    }
    setOsPumpHook(&pumpOsInput);
    setJoystickPollHook(&pollJoystick);
    setCrashMessageHook(&showCrashMessage);
}

void stopVideo() {
    setOsPumpHook(nullptr);
    setJoystickPollHook(nullptr);
    setCrashMessageHook(nullptr);
    closeJoystick();
    resetInputState();
    if (g_joystickStarted) {
        SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
        g_joystickStarted = false;
    }
    if (g_videoStarted) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        g_videoStarted = false;
    }
    SDL_Quit();
}

} // namespace platform
