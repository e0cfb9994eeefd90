// OS input to events: every pump drains SDL's queue and turns keyboard, text, mouse and window events into
// the window's KD_EVENT_INPUT, KD_EVENT_INPUT_POINTER, focus and close events. Key and button state is our
// own, kept from the events themselves: SDL's state tables do not see events that were pushed into its queue.
#include <SDL.h>

#include <array>
#include <cmath>
#include <csignal>
#include <cstring>

#include "input_text.h"
#include "keymap.h"
#include "platform/platform_hooks.h"
#include "window_internal.h"

namespace platform {
namespace {

constexpr KDust kCursorReportInterval = 100'000'000; // ns

// Key data flags (the high word of a key event's value).
constexpr KDuint32 kKeyDataExtended = 1u << 24;
constexpr KDuint32 kKeyDataAlt = 1u << 29;
constexpr KDuint32 kKeyDataPrevious = 1u << 30;
constexpr KDuint32 kKeyDataRelease = 1u << 31;

struct InputState {
    std::array<bool, SDL_NUM_SCANCODES> keyDown{};
    KDuint32 lastKeyData = 0;  // of the last key press: typed characters carry it
    bool closeKeyHeld = false; // F4 of an Alt+F4 is down: its release is not reported either
    KDint32 buttons = 0;       // pointer button mask
    bool captured = false;
    bool focused = false;
    bool minimized = false;
    bool active = false; // focused and not minimised: the cursor report runs
    KDust nextCursorReport = 0;
};

InputState g_input;

KDint64 keyValue(KDint32 state, KDuint32 keyData) {
    return static_cast<KDint64>((static_cast<KDuint64>(keyData) << 32) | static_cast<KDuint32>(state));
}

KDint32 gameKeyFor(KDint code) {
    switch (code) {
    case KD_KEY_UP:
        return KD_INPUT_GAMEKEYS_UP;
    case KD_KEY_LEFT:
        return KD_INPUT_GAMEKEYS_LEFT;
    case KD_KEY_RIGHT:
        return KD_INPUT_GAMEKEYS_RIGHT;
    case KD_KEY_DOWN:
        return KD_INPUT_GAMEKEYS_DOWN;
    case KD_KEY_SPACE:
        return KD_INPUT_GAMEKEYS_FIRE;
    case KD_KEY_A + ('Z' - 'A'):
        return KD_INPUT_GAMEKEYS_A;
    case KD_KEY_A + ('X' - 'A'):
        return KD_INPUT_GAMEKEYS_B;
    case KD_KEY_A + ('C' - 'A'):
        return KD_INPUT_GAMEKEYS_C;
    case KD_KEY_A + ('V' - 'A'):
        return KD_INPUT_GAMEKEYS_D;
    default:
        return 0;
    }
}

bool isAltKey(SDL_Scancode scancode) {
    return scancode == SDL_SCANCODE_LALT || scancode == SDL_SCANCODE_RALT;
}

bool isControlKey(SDL_Scancode scancode) {
    return scancode == SDL_SCANCODE_LCTRL || scancode == SDL_SCANCODE_RCTRL;
}

// A modifier is held when the event says so (keys pressed before the window had focus) or our own state does;
// for the modifier key itself only our state counts, since the event may still carry its old bit.
bool modifierHeld(const SDL_KeyboardEvent& key, SDL_Keymod mask, bool (*isModifier)(SDL_Scancode)) {
    const SDL_Scancode self = key.keysym.scancode;
    SDL_Keymod fromEvent = static_cast<SDL_Keymod>(key.keysym.mod & mask);
    if (isModifier(self)) {
        fromEvent = KMOD_NONE;
    }
    const auto& down = g_input.keyDown;
    const bool own = mask == KMOD_ALT ? down[SDL_SCANCODE_LALT] || down[SDL_SCANCODE_RALT]
                                      : down[SDL_SCANCODE_LCTRL] || down[SDL_SCANCODE_RCTRL];
    return fromEvent != KMOD_NONE || own;
}

// Characters the text input does not produce, made from the key press as the PC keyboard driver does.
KDint32 controlCharacterFor(KDint code, bool control, bool alt) {
    switch (code) {
    case KD_KEY_BACKSPACE:
        return control ? 0x7F : 0x08;
    case KD_KEY_TAB:
        return control ? 0 : 0x09;
    case KD_KEY_ENTER:
        return control ? 0x0A : 0x0D;
    case KD_KEY_ESCAPE:
        return 0x1B;
    default:
        break;
    }
    if (control && !alt && code >= KD_KEY_A && code <= KD_KEY_A + 25) {
        return code - KD_KEY_A + 1;
    }
    return 0;
}

void handleKey(KDWindow* window, const SDL_KeyboardEvent& key) {
    const SDL_Scancode scancode = key.keysym.scancode;
    if (scancode < 0 || scancode >= SDL_NUM_SCANCODES) {
        return;
    }
    const bool pressed = key.state == SDL_PRESSED;
    const bool wasDown = g_input.keyDown[scancode];
    g_input.keyDown[scancode] = pressed;

    const KDint code = keyCodeFor(key.keysym.sym, scancode, key.keysym.mod);
    if (code == 0) {
        return;
    }
    const bool alt = modifierHeld(key, KMOD_ALT, isAltKey);
    const bool control = modifierHeld(key, KMOD_CTRL, isControlKey);

    // Alt+F4 asks to close the window, as the window manager would; it is not a key for the game.
    if (code == KD_KEY_F1 + 3) {
        if (pressed && alt) {
            if (!wasDown && key.repeat == 0) {
                postWindowEvent(KD_EVENT_WINDOW_CLOSE, window->m_userptr, 0);
            }
            g_input.closeKeyHeld = true;
            return;
        }
        if (!pressed && g_input.closeKeyHeld) {
            g_input.closeKeyHeld = false;
            return;
        }
    }

    const KDuint32 scan = scanCodeFor(scancode);
    KDuint32 keyData = 1 | ((scan & 0xFF) << 16);
    if ((scan & 0x100) != 0) {
        keyData |= kKeyDataExtended;
    }
    if (alt) {
        keyData |= kKeyDataAlt;
    }
    if (!pressed || wasDown || key.repeat != 0) {
        keyData |= kKeyDataPrevious;
    }
    if (!pressed) {
        keyData |= kKeyDataRelease;
    }

    const KDint32 state = pressed ? 1 : 0;
    if (const KDint32 gameKey = gameKeyFor(code)) {
        postInputEvent(window->m_userptr, gameKey, keyValue(state, keyData));
    }
    postInputEvent(window->m_userptr, KD_INPUT_KEY_BASE + code, keyValue(state, keyData));
    if (pressed) {
        g_input.lastKeyData = keyData;
        if (const KDint32 character = controlCharacterFor(code, control, alt)) {
            postInputEvent(window->m_userptr, KD_INPUT_CHAR_BASE + character, keyValue(2, keyData));
        }
    }
}

void handleText(KDWindow* window, const SDL_TextInputEvent& text) {
    std::size_t length = strnlen(text.text, sizeof text.text);
    const char* at = text.text;
    while (length > 0) {
        char32_t codePoint;
        const std::size_t used = decodeUtf8(at, length, &codePoint);
        at += used;
        length -= used;
        char16_t units[2];
        const int count = utf16Units(codePoint, units);
        for (int i = 0; i < count; ++i) {
            postInputEvent(window->m_userptr, KD_INPUT_CHAR_BASE + units[i],
                           keyValue(2, g_input.lastKeyData));
        }
    }
}

KDint32 packPosition(KDint32 x, KDint32 y) {
    return static_cast<KDint32>((static_cast<KDuint32>(x) & 0xFFFF) | (static_cast<KDuint32>(y) << 16));
}

// Coordinates travel as signed 16-bit numbers, as the original messages carried them.
KDint32 signed16(int value) {
    return static_cast<KDint16>(static_cast<KDuint16>(value & 0xFFFF));
}

// A pointer position in client coordinates: nothing when it did not change; otherwise at most one move event
// of the window stays queued, the newest.
void pointerMoved(KDWindow* window, int clientX, int clientY, KDint32 buttons) {
    const KDint32 x = signed16(clientX);
    const KDint32 y = signed16(clientY);
    const KDint32 packed = packPosition(x, y);
    if (packed == window->m_lastPointer) {
        return;
    }
    window->m_lastPointer = packed;
    purgePointerMoves(window->m_userptr);
    postPointerEvent(window->m_userptr, KD_INPUT_POINTER_X, buttons, x, y);
}

KDint32 buttonBit(Uint8 button) {
    switch (button) {
    case SDL_BUTTON_LEFT:
        return KD_INPUT_POINTER_BUTTON_LEFT;
    case SDL_BUTTON_RIGHT:
        return KD_INPUT_POINTER_BUTTON_RIGHT;
    case SDL_BUTTON_MIDDLE:
        return KD_INPUT_POINTER_BUTTON_MIDDLE;
    case SDL_BUTTON_X1:
        return KD_INPUT_POINTER_BUTTON_X1;
    case SDL_BUTTON_X2:
        return KD_INPUT_POINTER_BUTTON_X2;
    default:
        return 0;
    }
}

void handleButton(KDWindow* window, const SDL_MouseButtonEvent& button) {
    const KDint32 bit = buttonBit(button.button);
    if (bit == 0) {
        return;
    }
    if (button.state == SDL_PRESSED) {
        g_input.buttons |= bit;
        // Keep receiving the pointer outside the window while a button is held (drags at the edges).
        SDL_CaptureMouse(SDL_TRUE);
        g_input.captured = true;
    } else {
        g_input.buttons &= ~bit;
        if (g_input.buttons == 0) {
            SDL_CaptureMouse(SDL_FALSE);
            g_input.captured = false;
        }
    }
    postPointerEvent(window->m_userptr, KD_INPUT_POINTER_SELECT, g_input.buttons, signed16(button.x),
                     signed16(button.y));
}

KDint32 wheelUnits(float delta) {
    const long units = std::lround(static_cast<double>(delta) * 120.0);
    return static_cast<KDint32>(units < -32768 ? -32768 : units > 32767 ? 32767 : units);
}

void handleWheel(KDWindow* window, const SDL_MouseWheelEvent& wheel) {
    float dy = wheel.preciseY;
    float dx = wheel.preciseX;
    if (dy == 0.0f && dx == 0.0f) {
        dy = static_cast<float>(wheel.y); // an event made without the precise fields
        dx = static_cast<float>(wheel.x);
    }
    if (wheel.direction == SDL_MOUSEWHEEL_FLIPPED) {
        dy = -dy;
        dx = -dx;
    }
    const KDint32 vertical = wheelUnits(dy);
    const KDint32 horizontal = wheelUnits(dx);
    if (vertical == 0 && horizontal == 0) {
        return;
    }
    const KDint32 select = static_cast<KDint32>((static_cast<KDuint32>(vertical) << 16) |
                                                (static_cast<KDuint32>(horizontal) & 0xFFFF));
    // The wheel reports the cursor in screen coordinates.
    int left = 0;
    int top = 0;
    SDL_GetWindowPosition(window->m_window, &left, &top);
    postPointerEvent(window->m_userptr, KD_INPUT_POINTER_WHEEL, select, signed16(left + wheel.mouseX),
                     signed16(top + wheel.mouseY));
}

void updateActive(KDWindow* window) {
    const bool active = g_input.focused && !g_input.minimized;
    if (active == g_input.active) {
        return;
    }
    g_input.active = active;
    if (active) {
        g_input.nextCursorReport = kdGetTimeUST() + kCursorReportInterval;
    }
    postWindowEvent(KD_EVENT_WINDOW_FOCUS, window->m_userptr, active ? 1 : 0);
}

void handleWindowEvent(KDWindow* window, const SDL_WindowEvent& event) {
    switch (event.event) {
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        g_input.focused = true;
        break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        // Keys let go in another window send us no release: forget them, or a stale Alt would mark every
        // later key as Alt-held (and Enter would switch the display mode).
        g_input.focused = false;
        g_input.keyDown.fill(false);
        g_input.closeKeyHeld = false;
        break;
    case SDL_WINDOWEVENT_MINIMIZED:
        g_input.minimized = true;
        break;
    case SDL_WINDOWEVENT_RESTORED:
    case SDL_WINDOWEVENT_MAXIMIZED:
        g_input.minimized = false;
        break;
    case SDL_WINDOWEVENT_CLOSE:
        postWindowEvent(KD_EVENT_WINDOW_CLOSE, window->m_userptr, 0);
        return;
    default:
        return;
    }
    updateActive(window);
}

// While the window is active and has not captured the mouse, the cursor is reported every 100 ms wherever it
// is, so the game can follow it beyond the window's edges.
void reportCursor() {
    KDWindow* window = mainWindow();
    if (window == nullptr || !g_input.active || g_input.captured || !hasRealDisplay()) {
        return;
    }
    const KDust now = kdGetTimeUST();
    if (now < g_input.nextCursorReport) {
        return;
    }
    g_input.nextCursorReport = now + kCursorReportInterval;
    int screenX = 0;
    int screenY = 0;
    SDL_GetGlobalMouseState(&screenX, &screenY);
    int left = 0;
    int top = 0;
    SDL_GetWindowPosition(window->m_window, &left, &top);
    pointerMoved(window, screenX - left, screenY - top, 0);
}

} // namespace

void postInputEvent(void* userptr, KDint32 index, KDint64 value) {
    KDEvent* event = kdCreateEvent();
    if (event == nullptr) {
        return;
    }
    event->type = KD_EVENT_INPUT;
    event->userptr = userptr;
    event->data.input.index = index;
    event->data.input.reserved = 0;
    event->data.input.value = value;
    kdPostEvent(event);
}

void postPointerEvent(void* userptr, KDint32 index, KDint32 select, KDint32 x, KDint32 y) {
    KDEvent* event = kdCreateEvent();
    if (event == nullptr) {
        return;
    }
    event->type = KD_EVENT_INPUT_POINTER;
    event->userptr = userptr;
    event->data.inputpointer.index = index;
    event->data.inputpointer.select = select;
    event->data.inputpointer.x = x;
    event->data.inputpointer.y = y;
    kdPostEvent(event);
}

void postWindowEvent(KDint32 type, void* userptr, KDint32 word0) {
    KDEvent* event = kdCreateEvent();
    if (event == nullptr) {
        return;
    }
    event->type = type;
    event->userptr = userptr;
    std::memset(&event->data, 0, sizeof event->data);
    event->data.words[0] = word0;
    kdPostEvent(event);
}

void translateSdlEvent(const SDL_Event& event) {
    switch (event.type) {
    case SDL_QUIT: {
        // A termination request (a signal): the game decides, as for closing the window. Should it not end,
        // the next such signal ends the process the ordinary way.
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGTERM, SIG_DFL);
        KDWindow* window = mainWindow();
        postWindowEvent(KD_EVENT_WINDOW_CLOSE, window != nullptr ? window->m_userptr : nullptr, 0);
        return;
    }
    case SDL_JOYDEVICEADDED:
        joystickDeviceAdded(event.jdevice.which);
        return;
    case SDL_JOYDEVICEREMOVED:
        joystickDeviceRemoved(event.jdevice.which);
        return;
    default:
        break;
    }
    KDWindow* window = nullptr;
    switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        if ((window = windowFromId(event.key.windowID)) != nullptr) {
            handleKey(window, event.key);
        }
        break;
    case SDL_TEXTINPUT:
        if ((window = windowFromId(event.text.windowID)) != nullptr) {
            handleText(window, event.text);
        }
        break;
    case SDL_MOUSEMOTION:
        if ((window = windowFromId(event.motion.windowID)) != nullptr) {
            pointerMoved(window, event.motion.x, event.motion.y, g_input.buttons);
        }
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        if ((window = windowFromId(event.button.windowID)) != nullptr) {
            handleButton(window, event.button);
        }
        break;
    case SDL_MOUSEWHEEL:
        if ((window = windowFromId(event.wheel.windowID)) != nullptr) {
            handleWheel(window, event.wheel);
        }
        break;
    case SDL_WINDOWEVENT:
        if ((window = windowFromId(event.window.windowID)) != nullptr) {
            handleWindowEvent(window, event.window);
        }
        break;
    default:
        break; // text editing (dead keys, input methods) and everything else: no event
    }
}

void pumpOsInput() {
    SDL_Event event;
    while (SDL_PollEvent(&event) != 0) {
        translateSdlEvent(event);
    }
    serveComeToFrontRequest();
    reportCursor();
}

void resetInputState() {
    if (g_input.captured) {
        SDL_CaptureMouse(SDL_FALSE);
    }
    g_input = InputState{};
}

void forgetWindowInput(KDWindow* window) {
    if (window == mainWindow()) {
        resetInputState();
    }
}

bool inputHasFocus() {
    return g_input.focused;
}

bool hasRealDisplay() {
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver != nullptr && std::strcmp(driver, "offscreen") != 0 && std::strcmp(driver, "dummy") != 0;
}

} // namespace platform
