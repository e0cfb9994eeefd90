// Running inside a host program's window (KD_PARENT_WINDOW: its X11 window id in hexadecimal). The host's
// window becomes the game's; SDL selects no input on a window it did not create, so the game asks for the
// events its own windows get.
#include <SDL.h>
#include <SDL_syswm.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>

#if HH_HAVE_X11
#include <X11/Xlib.h>
#endif

#include "window_internal.h"

namespace platform {
namespace {

constexpr const char* kTag = "Window";

// The window id in KD_PARENT_WINDOW; 0 when absent or not a number.
std::uintptr_t parentWindowHandle() {
    const KDchar* text = kdGetEnv("KD_PARENT_WINDOW");
    if (text == nullptr || *text == '\0') {
        return 0;
    }
    char* end = nullptr;
    errno = 0;
    const unsigned long long value = std::strtoull(text, &end, 16);
    if (end == text || *end != '\0' || errno != 0) {
        logWarning(kTag, "KD_PARENT_WINDOW \"%s\" is not a window id", text);
        return 0;
    }
    return static_cast<std::uintptr_t>(value);
}

#if HH_HAVE_X11
bool g_selectRefused = false;

int noteRefusal(Display*, XErrorEvent* error) {
    g_selectRefused = error->error_code == BadAccess;
    return 0;
}

void selectInput(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11) {
        return;
    }
    Display* display = info.info.x11.display;
    const ::Window handle = info.info.x11.window;
    XWindowAttributes attributes;
    if (XGetWindowAttributes(display, handle, &attributes) == 0) {
        return;
    }
    const long shared = FocusChangeMask | EnterWindowMask | LeaveWindowMask | ExposureMask |
                        PointerMotionMask | KeyPressMask | KeyReleaseMask | PropertyChangeMask |
                        StructureNotifyMask | KeymapStateMask;
    XSelectInput(display, handle, attributes.your_event_mask | shared);
    // Only one client may take the button presses of a window; the host may hold them already.
    XSync(display, False);
    g_selectRefused = false;
    auto* previous = XSetErrorHandler(&noteRefusal);
    XSelectInput(display, handle, attributes.your_event_mask | shared | ButtonPressMask | ButtonReleaseMask);
    XSync(display, False);
    XSetErrorHandler(previous);
    if (g_selectRefused) {
        logWarning(kTag, "the parent window's mouse buttons belong to its owner; the game sees no clicks");
        XSelectInput(display, handle, attributes.your_event_mask | shared);
    }
}
#else
void selectInput(SDL_Window*) {}
#endif

} // namespace

SDL_Window* createEmbeddedWindow() {
    const std::uintptr_t handle = parentWindowHandle();
    if (handle == 0) {
        return nullptr;
    }
    // The host's window must accept an OpenGL context like the game's own windows do.
    SDL_SetHint(SDL_HINT_VIDEO_FOREIGN_WINDOW_OPENGL, "1");
    SDL_Window* window = SDL_CreateWindowFrom(reinterpret_cast<const void*>(handle));
    if (window == nullptr) {
        logWarning(kTag, "embedding into window 0x%llx is not available (%s), running in a window of its own",
                   static_cast<unsigned long long>(handle), SDL_GetError());
        return nullptr;
    }
    selectInput(window);
    return window;
}

} // namespace platform
