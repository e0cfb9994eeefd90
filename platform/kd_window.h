// kd_window.h — the game window and its input devices.
// Included by kd.h; do not include directly.
//
// One game window carries the OpenGL surface and turns keyboard, character, mouse, focus and close input into
// events of the event queue (kd.h). The events are posted while kdPumpEvents drains the OS input, and carry
// the window's user pointer (the window record itself), so a callback installed for that pointer receives
// them all. Joystick 1 is polled on every pump. Everything here runs on the main thread.
#pragma once

struct KDWindow;

// ---------------------------------------------------------------------------------------------------------------
// Window properties

enum : KDint32 {
    // KD_WINDOWPROPERTY_SIZE (66) lives in kd.h: width, height of the client area in pixels. Full-screen
    // style (borderless, centred on the monitor) when the size equals the screen size, windowed otherwise.
    KD_WINDOWPROPERTY_VISIBILITY = 67, // 0 hides, any other value shows the window normally
    KD_WINDOWPROPERTY_FOCUS = 68,      // read only: 1 while the window has the keyboard focus
    KD_WINDOWPROPERTY_CAPTION = 69,    // the title, UTF-8 text (at most 1023 UTF-16 code units are kept)
    KD_WINDOWPROPERTY_POSITION = 100,  // x, y of the window's outer top-left corner, screen pixels
    // Cursor id (integer) or name (text): the picture res/cursors/<id or name>.bmp, hot spot top-left; the
    // system arrow when it is missing.
    KD_WINDOWPROPERTY_CURSOR = 101,
};

// ---------------------------------------------------------------------------------------------------------------
// Input indices of KD_EVENT_INPUT (56). The value's low 32 bits are the state: 1 pressed, 0 released, 2 a
// typed character. Its high 32 bits are the key data of the key message (zero for the joystick):
//   bits 0-15 repeat count (1), bits 16-23 PC scan code (set 1), bit 24 extended key, bit 29 Alt held,
//   bit 30 previous key state (1 for repeats and releases), bit 31 transition (1 for releases).

enum : KDint32 {
    KD_INPUT_KEY_BASE = 0x40000000, // + KD_KEY_* code: a key pressed (1, also on auto-repeat) or released (0)
    KD_INPUT_CHAR_BASE = 0x40000100, // + UTF-16 code unit: a character typed (value 2)

    // Game keys: an extra event posted just before the key event of these keys.
    KD_INPUT_GAMEKEYS_UP = 0x1001,    // Up arrow
    KD_INPUT_GAMEKEYS_LEFT = 0x1002,  // Left arrow
    KD_INPUT_GAMEKEYS_RIGHT = 0x1003, // Right arrow
    KD_INPUT_GAMEKEYS_DOWN = 0x1004,  // Down arrow
    KD_INPUT_GAMEKEYS_FIRE = 0x1005,  // Space
    KD_INPUT_GAMEKEYS_A = 0x1006,     // Z
    KD_INPUT_GAMEKEYS_B = 0x1007,     // X
    KD_INPUT_GAMEKEYS_C = 0x1008,     // C
    KD_INPUT_GAMEKEYS_D = 0x1009,     // V

    // Joystick 1: the hat as four directions (1 active, 0 inactive) and 32 buttons (1 pressed, 0 released).
    KD_INPUT_DPAD_UP = 0x8002,
    KD_INPUT_DPAD_LEFT = 0x8003,
    KD_INPUT_DPAD_RIGHT = 0x8004,
    KD_INPUT_DPAD_DOWN = 0x8005,
    KD_INPUT_BUTTONS_0 = 0x9001, // + button number 0..31
};

// Pointer button mask bits of KDEventInputPointer::select (the state after the change).
enum : KDint32 {
    KD_INPUT_POINTER_BUTTON_LEFT = 1,
    KD_INPUT_POINTER_BUTTON_RIGHT = 2,
    KD_INPUT_POINTER_BUTTON_MIDDLE = 4,
    KD_INPUT_POINTER_BUTTON_X1 = 8,
    KD_INPUT_POINTER_BUTTON_X2 = 16,
};
// Wheel events: select = vertical delta << 16 | (horizontal delta & 0xFFFF), 120 per notch, positive away
// from the user and to the right; x, y are the cursor's screen coordinates. Moves and buttons use client
// coordinates.

// Key codes (the low byte of a key index). Modifier keys have no left/right variants.
enum : KDint32 {
    KD_KEY_CANCEL = 0x03, // Ctrl+Break
    KD_KEY_BACKSPACE = 0x08,
    KD_KEY_TAB = 0x09,
    KD_KEY_CLEAR = 0x0C, // keypad 5 without Num Lock
    KD_KEY_ENTER = 0x0D, // main and keypad Enter
    KD_KEY_SHIFT = 0x10,
    KD_KEY_CONTROL = 0x11,
    KD_KEY_ALT = 0x12,
    KD_KEY_PAUSE = 0x13,
    KD_KEY_CAPSLOCK = 0x14,
    KD_KEY_ESCAPE = 0x1B,
    KD_KEY_SPACE = 0x20,
    KD_KEY_PAGEUP = 0x21,
    KD_KEY_PAGEDOWN = 0x22,
    KD_KEY_END = 0x23,
    KD_KEY_HOME = 0x24,
    KD_KEY_LEFT = 0x25,
    KD_KEY_UP = 0x26,
    KD_KEY_RIGHT = 0x27,
    KD_KEY_DOWN = 0x28,
    KD_KEY_SELECT = 0x29,
    KD_KEY_EXECUTE = 0x2B,
    KD_KEY_PRINTSCREEN = 0x2C,
    KD_KEY_INSERT = 0x2D,
    KD_KEY_DELETE = 0x2E,
    KD_KEY_HELP = 0x2F,
    KD_KEY_0 = 0x30, // digits '0'..'9' are 0x30..0x39 (the digit row, by position)
    KD_KEY_A = 0x41, // letters 'A'..'Z' are 0x41..0x5A (by the keyboard layout)
    KD_KEY_LEFTGUI = 0x5B,
    KD_KEY_RIGHTGUI = 0x5C,
    KD_KEY_MENU = 0x5D,
    KD_KEY_SLEEP = 0x5F,
    KD_KEY_KEYPAD_0 = 0x60, // keypad digits 0x60..0x69 (with Num Lock on)
    KD_KEY_KEYPAD_MULTIPLY = 0x6A,
    KD_KEY_KEYPAD_ADD = 0x6B,
    KD_KEY_KEYPAD_SEPARATOR = 0x6C,
    KD_KEY_KEYPAD_SUBTRACT = 0x6D,
    KD_KEY_KEYPAD_DECIMAL = 0x6E,
    KD_KEY_KEYPAD_DIVIDE = 0x6F,
    KD_KEY_F1 = 0x70, // F1..F24 are 0x70..0x87
    KD_KEY_NUMLOCK = 0x90,
    KD_KEY_SCROLLLOCK = 0x91,
    KD_KEY_KEYPAD_EQUALS = 0x92,
    KD_KEY_BROWSER_BACK = 0xA6,
    KD_KEY_BROWSER_FORWARD = 0xA7,
    KD_KEY_BROWSER_REFRESH = 0xA8,
    KD_KEY_BROWSER_STOP = 0xA9,
    KD_KEY_BROWSER_SEARCH = 0xAA,
    KD_KEY_BROWSER_FAVORITES = 0xAB,
    KD_KEY_BROWSER_HOME = 0xAC,
    KD_KEY_VOLUME_MUTE = 0xAD,
    KD_KEY_VOLUME_DOWN = 0xAE,
    KD_KEY_VOLUME_UP = 0xAF,
    KD_KEY_MEDIA_NEXT = 0xB0,
    KD_KEY_MEDIA_PREVIOUS = 0xB1,
    KD_KEY_MEDIA_STOP = 0xB2,
    KD_KEY_MEDIA_PLAY = 0xB3,
    KD_KEY_LAUNCH_MAIL = 0xB4,
    KD_KEY_LAUNCH_MEDIA = 0xB5,
    KD_KEY_LAUNCH_APP1 = 0xB6,
    KD_KEY_LAUNCH_APP2 = 0xB7,
    KD_KEY_SEMICOLON = 0xBA,      // ';' on a US layout
    KD_KEY_EQUALS = 0xBB,         // '=' (also '+' where that key stands alone)
    KD_KEY_COMMA = 0xBC,          // ','
    KD_KEY_MINUS = 0xBD,          // '-'
    KD_KEY_PERIOD = 0xBE,         // '.'
    KD_KEY_SLASH = 0xBF,          // '/'
    KD_KEY_GRAVE = 0xC0,          // '`'
    KD_KEY_LEFTBRACKET = 0xDB,    // '['
    KD_KEY_BACKSLASH = 0xDC,      // '\'
    KD_KEY_RIGHTBRACKET = 0xDD,   // ']'
    KD_KEY_APOSTROPHE = 0xDE,     // '\''
    KD_KEY_NONUSBACKSLASH = 0xE2, // the extra key beside left Shift on ISO keyboards
};

// ---------------------------------------------------------------------------------------------------------------
// Window operations. Functions returning KDint answer 0 on success and -1 on failure (last error set).

// Creates the game window (hidden, able to carry an OpenGL context) with the title "Window" and makes it the
// main window. When KD_PARENT_WINDOW holds a hexadecimal X11 window id, the game runs inside that window; if
// embedding is not possible it logs so and runs in a window of its own. Null with last error 31 (not
// supported) on failure.
KDWindow* kdCreateWindow();

// Destroys the window and its record, forgets it as the main window and posts KD_EVENT_QUIT. -1 for null.
KDint kdDestroyWindow(KDWindow* window);

// Shows the window normally and makes it the process's visible window.
KDint kdRealizeWindow(KDWindow* window);

// Property setters: iv takes KDint32 values (size: 2, visibility: 1, position: 2, cursor: 1), bv a KDboolean
// (visibility), cv text (caption, cursor name). An unknown property or a null argument: -1 (last error 17,
// invalid).
KDint kdSetWindowPropertyiv(KDWindow* window, KDint pname, const KDint32* param);
KDint kdSetWindowPropertybv(KDWindow* window, KDint pname, const KDboolean* param);
KDint kdSetWindowPropertycv(KDWindow* window, KDint pname, const KDchar* param);

// Property getters: iv answers size (client width, height), visibility, focus, position and cursor id; bv
// visibility and focus; cv the caption into param (size: in the buffer size, out the text length without the
// terminating zero; the text is cut to fit).
KDint kdGetWindowPropertyiv(KDWindow* window, KDint pname, KDint32* param);
KDint kdGetWindowPropertybv(KDWindow* window, KDint pname, KDboolean* param);
KDint kdGetWindowPropertycv(KDWindow* window, KDint pname, KDchar* param, KDsize* size);

// Logs "kdKeyboardShow(%d)\n"; there is no on-screen keyboard.
void kdKeyboardShow(KDboolean flag);

// The window's SDL_Window (as void*), for creating the OpenGL context; null for a null window.
void* kdGetNativeWindow(KDWindow* window);
