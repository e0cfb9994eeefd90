// The game window: creation (own or embedded), destruction, and its properties (size with the full-screen
// switch, visibility, caption, position, cursor).
#include <SDL.h>

#include <algorithm>
#include <cstring>

#include "input_text.h"
#include "platform/platform_hooks.h"
#include "window_cursor.h"
#include "window_internal.h"

namespace platform {
namespace {

constexpr KDint kErrorInvalid = 17;
constexpr KDint kErrorNotSupported = 31;
constexpr std::size_t kCaptionUnits = 1023;
constexpr const char* kTag = "Window";
constexpr const char* kRecordKey = "KDWindow";

KDWindow* g_mainWindow = nullptr;
KDWindow* g_visibleWindow = nullptr;

// Border sizes of the windowed style. The window manager reports them only for a mapped, bordered window;
// until then the last known ones stay (zero at first, as on a display without a window manager).
void measureFrame(KDWindow* window) {
    if (window->m_fullScreen || window->m_embedded) {
        return;
    }
    int top = 0;
    int left = 0;
    int bottom = 0;
    int right = 0;
    if (SDL_GetWindowBordersSize(window->m_window, &top, &left, &bottom, &right) == 0) {
        window->m_frameLeft = left;
        window->m_frameTop = top;
        window->m_frameWidth = left + right;
        window->m_frameHeight = top + bottom;
    }
}

// Centres the window on its monitor: on the whole monitor in full screen, in the usable area otherwise.
void centreWindow(KDWindow* window) {
    int display = SDL_GetWindowDisplayIndex(window->m_window);
    if (display < 0) {
        display = 0;
    }
    SDL_Rect area{0, 0, kdGetScreenWidth(), kdGetScreenHeight()};
    const int got = window->m_fullScreen ? SDL_GetDisplayBounds(display, &area)
                                         : SDL_GetDisplayUsableBounds(display, &area);
    if (got != 0) {
        area = SDL_Rect{0, 0, kdGetScreenWidth(), kdGetScreenHeight()};
    }
    const bool framed = !window->m_fullScreen;
    const int outerWidth = window->m_clientWidth + (framed ? window->m_frameWidth : 0);
    const int outerHeight = window->m_clientHeight + (framed ? window->m_frameHeight : 0);
    const int outerX = (area.x + (area.x + area.w) - outerWidth) / 2;
    const int outerY = (area.y + (area.y + area.h) - outerHeight) / 2;
    window->m_clientLeft = outerX + (framed ? window->m_frameLeft : 0);
    window->m_clientTop = outerY + (framed ? window->m_frameTop : 0);
    SDL_SetWindowPosition(window->m_window, window->m_clientLeft, window->m_clientTop);
}

KDint setSize(KDWindow* window, KDint32 width, KDint32 height) {
    if (width <= 0 || height <= 0) {
        logWarning(kTag, "window size %dx%d refused", width, height);
        kdSetError(kErrorInvalid);
        return -1;
    }
    const bool full = width == kdGetScreenWidth() && height == kdGetScreenHeight();
    bool recentre = false;
    if (full != window->m_fullScreen) {
        measureFrame(window); // while the windowed style is still on, for the way back
        window->m_fullScreen = full;
        SDL_SetWindowBordered(window->m_window, full ? SDL_FALSE : SDL_TRUE);
        recentre = true;
    }
    window->m_clientWidth = width;
    window->m_clientHeight = height;
    // The game size is also the smallest size, so nothing shrinks the window below it.
    SDL_SetWindowMinimumSize(window->m_window, width, height);
    SDL_SetWindowSize(window->m_window, width, height);
    if (recentre) {
        centreWindow(window);
    }
    return 0;
}

KDint setVisibility(KDWindow* window, bool visible) {
    if (visible) {
        SDL_ShowWindow(window->m_window);
        if ((SDL_GetWindowFlags(window->m_window) & SDL_WINDOW_MINIMIZED) != 0) {
            SDL_RestoreWindow(window->m_window);
        }
        measureFrame(window);
    } else {
        SDL_HideWindow(window->m_window);
    }
    window->m_visible = visible;
    return 0;
}

KDint setPosition(KDWindow* window, KDint32 x, KDint32 y) {
    const bool framed = !window->m_fullScreen;
    window->m_clientLeft = x + (framed ? window->m_frameLeft : 0);
    window->m_clientTop = y + (framed ? window->m_frameTop : 0);
    SDL_SetWindowPosition(window->m_window, window->m_clientLeft, window->m_clientTop);
    return 0;
}

KDint invalid() {
    kdSetError(kErrorInvalid);
    return -1;
}

bool hasFocus(const KDWindow* window) {
    return window == g_mainWindow && inputHasFocus();
}

} // namespace

KDWindow* mainWindow() {
    return g_mainWindow;
}

KDWindow* windowFromId(Uint32 windowId) {
    if (windowId == 0) {
        return g_mainWindow;
    }
    SDL_Window* sdl = SDL_GetWindowFromID(windowId);
    return sdl != nullptr ? static_cast<KDWindow*>(SDL_GetWindowData(sdl, kRecordKey)) : nullptr;
}

void serveComeToFrontRequest() {
    if (!takeComeToFrontRequest()) {
        return;
    }
    KDWindow* window = g_visibleWindow != nullptr ? g_visibleWindow : g_mainWindow;
    if (window != nullptr) {
        SDL_ShowWindow(window->m_window);
        SDL_RestoreWindow(window->m_window);
        SDL_RaiseWindow(window->m_window);
    }
}

bool showCrashMessage(const KDchar* caption, const KDchar* text) {
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0 || !hasRealDisplay()) {
        return false; // no one could see a dialog: the text goes to stderr
    }
    SDL_Window* owner = g_mainWindow != nullptr ? g_mainWindow->m_window : nullptr;
    return SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption, text, owner) == 0;
}

} // namespace platform

using namespace platform;

KDWindow* kdCreateWindow() {
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0) {
        logError(kTag, "can't create the window: the video layer is not running");
        kdSetError(kErrorNotSupported);
        return nullptr;
    }
    SDL_Window* sdl = createEmbeddedWindow();
    const bool embedded = sdl != nullptr;
    if (!embedded) {
        sdl = SDL_CreateWindow("Window", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, 800, 600,
                               SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    }
    if (sdl == nullptr) {
        logError(kTag, "can't create the window: %s", SDL_GetError());
        kdSetError(kErrorNotSupported);
        return nullptr;
    }
    auto* window = new KDWindow;
    window->m_userptr = window;
    window->m_window = sdl;
    window->m_embedded = embedded;
    SDL_GetWindowPosition(sdl, &window->m_clientLeft, &window->m_clientTop);
    SDL_GetWindowSize(sdl, &window->m_clientWidth, &window->m_clientHeight);
    window->m_madeWidth = window->m_clientWidth;
    window->m_madeHeight = window->m_clientHeight;
    if (embedded) {
        window->m_visible = (SDL_GetWindowFlags(sdl) & SDL_WINDOW_SHOWN) != 0;
        const char* title = SDL_GetWindowTitle(sdl);
        window->m_caption = title != nullptr ? title : "";
    }
    measureFrame(window);
    SDL_SetWindowData(sdl, kRecordKey, window);
    SDL_StartTextInput();
    g_mainWindow = window;
    return window;
}

KDint kdDestroyWindow(KDWindow* window) {
    if (window == nullptr) {
        kdSetError(kErrorInvalid);
        return -1;
    }
    forgetWindowInput(window);
    purgePointerMoves(window->m_userptr);
    releaseWindowCursor(window);
    SDL_SetWindowData(window->m_window, kRecordKey, nullptr);
    SDL_DestroyWindow(window->m_window); // a host's window is only given back, not destroyed
    if (g_mainWindow == window) {
        g_mainWindow = nullptr;
    }
    if (g_visibleWindow == window) {
        g_visibleWindow = nullptr;
    }
    delete window;
    postWindowEvent(KD_EVENT_QUIT, nullptr, 0);
    return 0;
}

// SDL's offscreen driver gives a window its GL surface when the window is made and never resizes it, so a
// window sized before it is realised would draw into a surface of its first size and lose what lies beyond.
// On the first realise (before the display binds a GL context to it) such a window is made anew at its size,
// in its place, with its caption, style and smallest size.
void remakeOffscreenWindow(KDWindow* window) {
    const char* driver = SDL_GetCurrentVideoDriver();
    if (window->m_embedded || window->m_realised || driver == nullptr ||
        std::strcmp(driver, "offscreen") != 0 ||
        (window->m_clientWidth == window->m_madeWidth && window->m_clientHeight == window->m_madeHeight)) {
        return;
    }
    SDL_Window* old = window->m_window;
    int x = 0;
    int y = 0;
    SDL_GetWindowPosition(old, &x, &y);
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    if ((SDL_GetWindowFlags(old) & SDL_WINDOW_BORDERLESS) != 0) {
        flags |= SDL_WINDOW_BORDERLESS;
    }
    SDL_Window* fresh = SDL_CreateWindow(window->m_caption.c_str(), x, y, window->m_clientWidth,
                                         window->m_clientHeight, flags);
    if (fresh == nullptr) {
        logWarning(kTag, "can't make the offscreen window anew at %dx%d: %s", window->m_clientWidth,
                   window->m_clientHeight, SDL_GetError());
        return;
    }
    SDL_SetWindowMinimumSize(fresh, window->m_clientWidth, window->m_clientHeight);
    SDL_SetWindowData(old, kRecordKey, nullptr);
    SDL_DestroyWindow(old);
    SDL_SetWindowData(fresh, kRecordKey, window);
    window->m_window = fresh;
    window->m_madeWidth = window->m_clientWidth;
    window->m_madeHeight = window->m_clientHeight;
}

KDint kdRealizeWindow(KDWindow* window) {
    if (window == nullptr) {
        kdSetError(kErrorInvalid);
        return -1;
    }
    remakeOffscreenWindow(window);
    window->m_realised = true;
    setVisibility(window, true);
    g_visibleWindow = window;
    return 0;
}

KDint kdSetWindowPropertyiv(KDWindow* window, KDint pname, const KDint32* param) {
    if (window == nullptr || param == nullptr) {
        return invalid();
    }
    switch (pname) {
    case KD_WINDOWPROPERTY_SIZE:
        return setSize(window, param[0], param[1]);
    case KD_WINDOWPROPERTY_VISIBILITY:
        return setVisibility(window, param[0] != 0);
    case KD_WINDOWPROPERTY_POSITION:
        return setPosition(window, param[0], param[1]);
    case KD_WINDOWPROPERTY_CURSOR:
        return setWindowCursorId(window, param[0]);
    default:
        return invalid();
    }
}

KDint kdSetWindowPropertybv(KDWindow* window, KDint pname, const KDboolean* param) {
    if (window == nullptr || param == nullptr || pname != KD_WINDOWPROPERTY_VISIBILITY) {
        return invalid();
    }
    return setVisibility(window, *param != 0);
}

KDint kdSetWindowPropertycv(KDWindow* window, KDint pname, const KDchar* param) {
    if (window == nullptr || param == nullptr) {
        return invalid();
    }
    switch (pname) {
    case KD_WINDOWPROPERTY_CAPTION:
        window->m_caption = limitUtf16(param, kCaptionUnits);
        SDL_SetWindowTitle(window->m_window, window->m_caption.c_str());
        return 0;
    case KD_WINDOWPROPERTY_CURSOR:
        return setWindowCursorName(window, param);
    default:
        return invalid();
    }
}

KDint kdGetWindowPropertyiv(KDWindow* window, KDint pname, KDint32* param) {
    if (window == nullptr || param == nullptr) {
        return invalid();
    }
    switch (pname) {
    case KD_WINDOWPROPERTY_SIZE:
        param[0] = window->m_clientWidth;
        param[1] = window->m_clientHeight;
        return 0;
    case KD_WINDOWPROPERTY_VISIBILITY:
        param[0] = window->m_visible ? 1 : 0;
        return 0;
    case KD_WINDOWPROPERTY_FOCUS:
        param[0] = hasFocus(window) ? 1 : 0;
        return 0;
    case KD_WINDOWPROPERTY_POSITION: {
        const bool framed = !window->m_fullScreen;
        param[0] = window->m_clientLeft - (framed ? window->m_frameLeft : 0);
        param[1] = window->m_clientTop - (framed ? window->m_frameTop : 0);
        return 0;
    }
    case KD_WINDOWPROPERTY_CURSOR:
        param[0] = window->m_cursorId;
        return 0;
    default:
        return invalid();
    }
}

KDint kdGetWindowPropertybv(KDWindow* window, KDint pname, KDboolean* param) {
    if (window == nullptr || param == nullptr) {
        return invalid();
    }
    switch (pname) {
    case KD_WINDOWPROPERTY_VISIBILITY:
        *param = window->m_visible ? KD_TRUE : KD_FALSE;
        return 0;
    case KD_WINDOWPROPERTY_FOCUS:
        *param = hasFocus(window) ? KD_TRUE : KD_FALSE;
        return 0;
    default:
        return invalid();
    }
}

KDint kdGetWindowPropertycv(KDWindow* window, KDint pname, KDchar* param, KDsize* size) {
    if (window == nullptr || param == nullptr || size == nullptr || *size == 0 ||
        pname != KD_WINDOWPROPERTY_CAPTION) {
        return invalid();
    }
    const std::string& caption = window->m_caption;
    std::size_t length = std::min(caption.size(), *size - 1);
    while (length < caption.size() && length > 0 && (caption[length] & 0xC0) == 0x80) {
        --length; // never cut a character in two
    }
    std::memcpy(param, caption.data(), length);
    param[length] = '\0';
    *size = length;
    return 0;
}

void kdKeyboardShow(KDboolean flag) {
    kdLogMessage("kdKeyboardShow(%d)\n", flag);
}

void* kdGetNativeWindow(KDWindow* window) {
    return window != nullptr ? window->m_window : nullptr;
}
