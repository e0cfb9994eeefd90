// The window record and the seams between the window, input and joystick sources of the platform layer.
#pragma once

#include <SDL_events.h>
#include <SDL_mouse.h>
#include <SDL_video.h>

#include <string>

#include "platform/kd.h"

struct KDWindow {
    void* m_userptr = nullptr; // put into every event of this window; the record itself
    SDL_Window* m_window = nullptr;
    KDint32 m_lastPointer = 0; // last reported move: x in the low 16 bits, y in the high 16 bits
    KDint32 m_cursorId = 100;  // the last cursor id set
    KDint32 m_clientLeft = 0;  // client area, screen pixels
    KDint32 m_clientTop = 0;
    KDint32 m_clientWidth = 0;
    KDint32 m_clientHeight = 0;
    KDint32 m_frameLeft = 0; // border widths of the windowed style, as the window manager reports them
    KDint32 m_frameTop = 0;
    KDint32 m_frameWidth = 0; // window size minus client size in the windowed style
    KDint32 m_frameHeight = 0;
    bool m_fullScreen = false;
    bool m_embedded = false; // runs inside the KD_PARENT_WINDOW window
    bool m_visible = false;
    bool m_realised = false;
    KDint32 m_madeWidth = 0; // the size the SDL window was made with
    KDint32 m_madeHeight = 0;
    std::string m_caption = "Window";
    SDL_Cursor* m_cursor = nullptr; // owned; null while the system arrow is shown
};

namespace platform {

// The main window (joystick events carry its userptr); null when there is none.
KDWindow* mainWindow();
// The window of an SDL event's window id (0: the main window); null for a window that is not ours.
KDWindow* windowFromId(Uint32 windowId);

// The host's window named by KD_PARENT_WINDOW, made the game's; null when there is none or embedding is not
// possible (logged).
SDL_Window* createEmbeddedWindow();
// Raises the visible window when a second copy of the game asked for it (called on every pump).
void serveComeToFrontRequest();
// The crash dialog, owned by the game window; false when there is no display to show it on.
bool showCrashMessage(const KDchar* caption, const KDchar* text);

// Input (input.cpp): the OS pump hook, one SDL event's translation, and per-window bookkeeping.
void pumpOsInput();
void translateSdlEvent(const SDL_Event& event);
void resetInputState();
void forgetWindowInput(KDWindow* window);
// True while the main window has the keyboard focus, as its focus events said.
bool inputHasFocus();
// True when the video driver shows things to a person, with a real pointer and dialogs (not offscreen or
// dummy).
bool hasRealDisplay();

// Joystick 1 (joystick.cpp): the poll hook, hot-plug handling and shutdown.
void pollJoystick();
void joystickDeviceAdded(int deviceIndex);
void joystickDeviceRemoved(SDL_JoystickID instance);
void closeJoystick();

// Post helpers shared by the input sources; they do nothing when no event record can be had.
void postInputEvent(void* userptr, KDint32 index, KDint64 value);
void postPointerEvent(void* userptr, KDint32 index, KDint32 select, KDint32 x, KDint32 y);
void postWindowEvent(KDint32 type, void* userptr, KDint32 word0);

} // namespace platform
