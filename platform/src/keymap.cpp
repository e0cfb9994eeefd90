// Key codes and scan codes for SDL keys. The codes are those of the PC keyboard the game was written for: one
// code per key (modifiers without left/right variants), and the set-1 scan code with its extended-key flag.
#include "keymap.h"

#include <array>

namespace platform {
namespace {

struct KeyEntry {
    SDL_Scancode scancode;
    KDint code;    // key code by position
    KDuint32 scan; // set-1 scan code
    bool extended; // the scan code carries the E0 prefix
};

// clang-format off
constexpr KeyEntry kKeys[] = {
    {SDL_SCANCODE_A, 'A', 0x1E, false}, {SDL_SCANCODE_B, 'B', 0x30, false}, {SDL_SCANCODE_C, 'C', 0x2E, false},
    {SDL_SCANCODE_D, 'D', 0x20, false}, {SDL_SCANCODE_E, 'E', 0x12, false}, {SDL_SCANCODE_F, 'F', 0x21, false},
    {SDL_SCANCODE_G, 'G', 0x22, false}, {SDL_SCANCODE_H, 'H', 0x23, false}, {SDL_SCANCODE_I, 'I', 0x17, false},
    {SDL_SCANCODE_J, 'J', 0x24, false}, {SDL_SCANCODE_K, 'K', 0x25, false}, {SDL_SCANCODE_L, 'L', 0x26, false},
    {SDL_SCANCODE_M, 'M', 0x32, false}, {SDL_SCANCODE_N, 'N', 0x31, false}, {SDL_SCANCODE_O, 'O', 0x18, false},
    {SDL_SCANCODE_P, 'P', 0x19, false}, {SDL_SCANCODE_Q, 'Q', 0x10, false}, {SDL_SCANCODE_R, 'R', 0x13, false},
    {SDL_SCANCODE_S, 'S', 0x1F, false}, {SDL_SCANCODE_T, 'T', 0x14, false}, {SDL_SCANCODE_U, 'U', 0x16, false},
    {SDL_SCANCODE_V, 'V', 0x2F, false}, {SDL_SCANCODE_W, 'W', 0x11, false}, {SDL_SCANCODE_X, 'X', 0x2D, false},
    {SDL_SCANCODE_Y, 'Y', 0x15, false}, {SDL_SCANCODE_Z, 'Z', 0x2C, false},

    {SDL_SCANCODE_1, '1', 0x02, false}, {SDL_SCANCODE_2, '2', 0x03, false}, {SDL_SCANCODE_3, '3', 0x04, false},
    {SDL_SCANCODE_4, '4', 0x05, false}, {SDL_SCANCODE_5, '5', 0x06, false}, {SDL_SCANCODE_6, '6', 0x07, false},
    {SDL_SCANCODE_7, '7', 0x08, false}, {SDL_SCANCODE_8, '8', 0x09, false}, {SDL_SCANCODE_9, '9', 0x0A, false},
    {SDL_SCANCODE_0, '0', 0x0B, false},

    {SDL_SCANCODE_RETURN, 0x0D, 0x1C, false},    {SDL_SCANCODE_ESCAPE, 0x1B, 0x01, false},
    {SDL_SCANCODE_BACKSPACE, 0x08, 0x0E, false}, {SDL_SCANCODE_TAB, 0x09, 0x0F, false},
    {SDL_SCANCODE_SPACE, 0x20, 0x39, false},

    {SDL_SCANCODE_MINUS, 0xBD, 0x0C, false},        {SDL_SCANCODE_EQUALS, 0xBB, 0x0D, false},
    {SDL_SCANCODE_LEFTBRACKET, 0xDB, 0x1A, false},  {SDL_SCANCODE_RIGHTBRACKET, 0xDD, 0x1B, false},
    {SDL_SCANCODE_BACKSLASH, 0xDC, 0x2B, false},    {SDL_SCANCODE_NONUSHASH, 0xDC, 0x2B, false},
    {SDL_SCANCODE_SEMICOLON, 0xBA, 0x27, false},    {SDL_SCANCODE_APOSTROPHE, 0xDE, 0x28, false},
    {SDL_SCANCODE_GRAVE, 0xC0, 0x29, false},        {SDL_SCANCODE_COMMA, 0xBC, 0x33, false},
    {SDL_SCANCODE_PERIOD, 0xBE, 0x34, false},       {SDL_SCANCODE_SLASH, 0xBF, 0x35, false},
    {SDL_SCANCODE_NONUSBACKSLASH, 0xE2, 0x56, false},

    {SDL_SCANCODE_CAPSLOCK, 0x14, 0x3A, false},
    {SDL_SCANCODE_F1, 0x70, 0x3B, false},  {SDL_SCANCODE_F2, 0x71, 0x3C, false},  {SDL_SCANCODE_F3, 0x72, 0x3D, false},
    {SDL_SCANCODE_F4, 0x73, 0x3E, false},  {SDL_SCANCODE_F5, 0x74, 0x3F, false},  {SDL_SCANCODE_F6, 0x75, 0x40, false},
    {SDL_SCANCODE_F7, 0x76, 0x41, false},  {SDL_SCANCODE_F8, 0x77, 0x42, false},  {SDL_SCANCODE_F9, 0x78, 0x43, false},
    {SDL_SCANCODE_F10, 0x79, 0x44, false}, {SDL_SCANCODE_F11, 0x7A, 0x57, false}, {SDL_SCANCODE_F12, 0x7B, 0x58, false},
    {SDL_SCANCODE_F13, 0x7C, 0x64, false}, {SDL_SCANCODE_F14, 0x7D, 0x65, false}, {SDL_SCANCODE_F15, 0x7E, 0x66, false},
    {SDL_SCANCODE_F16, 0x7F, 0x67, false}, {SDL_SCANCODE_F17, 0x80, 0x68, false}, {SDL_SCANCODE_F18, 0x81, 0x69, false},
    {SDL_SCANCODE_F19, 0x82, 0x6A, false}, {SDL_SCANCODE_F20, 0x83, 0x6B, false}, {SDL_SCANCODE_F21, 0x84, 0x6C, false},
    {SDL_SCANCODE_F22, 0x85, 0x6D, false}, {SDL_SCANCODE_F23, 0x86, 0x6E, false}, {SDL_SCANCODE_F24, 0x87, 0x76, false},

    {SDL_SCANCODE_PRINTSCREEN, 0x2C, 0x37, true}, {SDL_SCANCODE_SCROLLLOCK, 0x91, 0x46, false},
    {SDL_SCANCODE_PAUSE, 0x13, 0x45, false},      {SDL_SCANCODE_INSERT, 0x2D, 0x52, true},
    {SDL_SCANCODE_HOME, 0x24, 0x47, true},        {SDL_SCANCODE_PAGEUP, 0x21, 0x49, true},
    {SDL_SCANCODE_DELETE, 0x2E, 0x53, true},      {SDL_SCANCODE_END, 0x23, 0x4F, true},
    {SDL_SCANCODE_PAGEDOWN, 0x22, 0x51, true},    {SDL_SCANCODE_RIGHT, 0x27, 0x4D, true},
    {SDL_SCANCODE_LEFT, 0x25, 0x4B, true},        {SDL_SCANCODE_DOWN, 0x28, 0x50, true},
    {SDL_SCANCODE_UP, 0x26, 0x48, true},

    {SDL_SCANCODE_NUMLOCKCLEAR, 0x90, 0x45, true}, {SDL_SCANCODE_KP_DIVIDE, 0x6F, 0x35, true},
    {SDL_SCANCODE_KP_MULTIPLY, 0x6A, 0x37, false}, {SDL_SCANCODE_KP_MINUS, 0x6D, 0x4A, false},
    {SDL_SCANCODE_KP_PLUS, 0x6B, 0x4E, false},     {SDL_SCANCODE_KP_ENTER, 0x0D, 0x1C, true},
    {SDL_SCANCODE_KP_1, 0x61, 0x4F, false}, {SDL_SCANCODE_KP_2, 0x62, 0x50, false}, {SDL_SCANCODE_KP_3, 0x63, 0x51, false},
    {SDL_SCANCODE_KP_4, 0x64, 0x4B, false}, {SDL_SCANCODE_KP_5, 0x65, 0x4C, false}, {SDL_SCANCODE_KP_6, 0x66, 0x4D, false},
    {SDL_SCANCODE_KP_7, 0x67, 0x47, false}, {SDL_SCANCODE_KP_8, 0x68, 0x48, false}, {SDL_SCANCODE_KP_9, 0x69, 0x49, false},
    {SDL_SCANCODE_KP_0, 0x60, 0x52, false}, {SDL_SCANCODE_KP_PERIOD, 0x6E, 0x53, false},
    {SDL_SCANCODE_KP_EQUALS, 0x92, 0x59, false},   {SDL_SCANCODE_KP_COMMA, 0x6C, 0x7E, false},
    {SDL_SCANCODE_SEPARATOR, 0x6C, 0x7E, false},   {SDL_SCANCODE_KP_CLEAR, 0x0C, 0x4C, false},

    {SDL_SCANCODE_APPLICATION, 0x5D, 0x5D, true}, {SDL_SCANCODE_MENU, 0x5D, 0x5D, true},
    {SDL_SCANCODE_HELP, 0x2F, 0x00, false},       {SDL_SCANCODE_SELECT, 0x29, 0x00, false},
    {SDL_SCANCODE_EXECUTE, 0x2B, 0x00, false},    {SDL_SCANCODE_CLEAR, 0x0C, 0x4C, false},
    {SDL_SCANCODE_CANCEL, 0x03, 0x46, true},      {SDL_SCANCODE_SLEEP, 0x5F, 0x5F, true},

    {SDL_SCANCODE_LCTRL, 0x11, 0x1D, false},  {SDL_SCANCODE_RCTRL, 0x11, 0x1D, true},
    {SDL_SCANCODE_LSHIFT, 0x10, 0x2A, false}, {SDL_SCANCODE_RSHIFT, 0x10, 0x36, false},
    {SDL_SCANCODE_LALT, 0x12, 0x38, false},   {SDL_SCANCODE_RALT, 0x12, 0x38, true},
    {SDL_SCANCODE_LGUI, 0x5B, 0x5B, true},    {SDL_SCANCODE_RGUI, 0x5C, 0x5C, true},

    {SDL_SCANCODE_MUTE, 0xAD, 0x20, true},        {SDL_SCANCODE_VOLUMEDOWN, 0xAE, 0x2E, true},
    {SDL_SCANCODE_VOLUMEUP, 0xAF, 0x30, true},    {SDL_SCANCODE_AUDIONEXT, 0xB0, 0x19, true},
    {SDL_SCANCODE_AUDIOPREV, 0xB1, 0x10, true},   {SDL_SCANCODE_AUDIOSTOP, 0xB2, 0x24, true},
    {SDL_SCANCODE_AUDIOPLAY, 0xB3, 0x22, true},   {SDL_SCANCODE_MAIL, 0xB4, 0x6C, true},
    {SDL_SCANCODE_MEDIASELECT, 0xB5, 0x6D, true}, {SDL_SCANCODE_COMPUTER, 0xB6, 0x6B, true},
    {SDL_SCANCODE_CALCULATOR, 0xB7, 0x21, true},  {SDL_SCANCODE_AC_SEARCH, 0xAA, 0x65, true},
    {SDL_SCANCODE_AC_HOME, 0xAC, 0x32, true},     {SDL_SCANCODE_AC_BACK, 0xA6, 0x6A, true},
    {SDL_SCANCODE_AC_FORWARD, 0xA7, 0x69, true},  {SDL_SCANCODE_AC_STOP, 0xA9, 0x68, true},
    {SDL_SCANCODE_AC_REFRESH, 0xA8, 0x67, true},  {SDL_SCANCODE_AC_BOOKMARKS, 0xAB, 0x66, true},
    {SDL_SCANCODE_WWW, 0xAC, 0x32, true},
};
// clang-format on

struct KeyTable {
    std::array<KDint, SDL_NUM_SCANCODES> code{};
    std::array<KDuint32, SDL_NUM_SCANCODES> scan{};
};

const KeyTable& keyTable() {
    static const KeyTable table = [] {
        KeyTable t;
        for (const KeyEntry& entry : kKeys) {
            t.code[entry.scancode] = entry.code;
            t.scan[entry.scancode] = entry.scan | (entry.extended ? 0x100u : 0u);
        }
        return t;
    }();
    return table;
}

// Without Num Lock the keypad is a second set of navigation keys.
KDint keypadNavigationCode(SDL_Scancode scancode) {
    switch (scancode) {
    case SDL_SCANCODE_KP_7:
        return 0x24; // Home
    case SDL_SCANCODE_KP_8:
        return 0x26; // Up
    case SDL_SCANCODE_KP_9:
        return 0x21; // Page Up
    case SDL_SCANCODE_KP_4:
        return 0x25; // Left
    case SDL_SCANCODE_KP_5:
        return 0x0C; // Clear
    case SDL_SCANCODE_KP_6:
        return 0x27; // Right
    case SDL_SCANCODE_KP_1:
        return 0x23; // End
    case SDL_SCANCODE_KP_2:
        return 0x28; // Down
    case SDL_SCANCODE_KP_3:
        return 0x22; // Page Down
    case SDL_SCANCODE_KP_0:
        return 0x2D; // Insert
    case SDL_SCANCODE_KP_PERIOD:
        return 0x2E; // Delete
    default:
        return 0;
    }
}

// Punctuation by the character the layout puts on the key.
KDint punctuationCode(SDL_Keycode symbol) {
    switch (symbol) {
    case ';':
        return 0xBA;
    case '=':
    case '+':
        return 0xBB;
    case ',':
        return 0xBC;
    case '-':
        return 0xBD;
    case '.':
        return 0xBE;
    case '/':
        return 0xBF;
    case '`':
        return 0xC0;
    case '[':
        return 0xDB;
    case '\\':
        return 0xDC;
    case ']':
        return 0xDD;
    case '\'':
        return 0xDE;
    default:
        return 0;
    }
}

bool isLayoutKey(SDL_Scancode scancode) {
    // The letter and punctuation positions, whose meaning the layout decides; the digit row is positional.
    if (scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z) {
        return true;
    }
    return (scancode >= SDL_SCANCODE_MINUS && scancode <= SDL_SCANCODE_SLASH) ||
           scancode == SDL_SCANCODE_NONUSBACKSLASH;
}

} // namespace

KDint keyCodeFor(SDL_Keycode symbol, SDL_Scancode scancode, Uint16 modifiers) {
    if (scancode < 0 || scancode >= SDL_NUM_SCANCODES) {
        return 0;
    }
    if ((modifiers & KMOD_NUM) == 0) {
        if (KDint code = keypadNavigationCode(scancode)) {
            return code;
        }
    }
    if (isLayoutKey(scancode)) {
        if (symbol >= 'a' && symbol <= 'z') {
            return static_cast<KDint>(symbol - 'a' + 'A');
        }
        if (KDint code = punctuationCode(symbol)) {
            return code;
        }
        // A layout character with no code of its own (an accented or non-Latin letter): the position decides.
    }
    return keyTable().code[scancode];
}

KDuint32 scanCodeFor(SDL_Scancode scancode) {
    if (scancode < 0 || scancode >= SDL_NUM_SCANCODES) {
        return 0;
    }
    return keyTable().scan[scancode];
}

} // namespace platform
