// Keyboard, text, pointer, focus and close input: real SDL events pushed into SDL's queue come out of one
// pump as the window's events, field by field.
#include "test_window_support.h"

#include <csignal>

namespace platform::test {
namespace {

constexpr KDuint32 kAlt = 1u << 29;
constexpr KDuint32 kPrevious = 1u << 30;
constexpr KDuint32 kRelease = 1u << 31;

using InputTest = VideoTest;

// Only the key events (index 0x40000000 + code), dropping game keys and characters.
std::vector<Recorded> keyEvents(const std::vector<Recorded>& events) {
    std::vector<Recorded> keys;
    for (const Recorded& e : events) {
        if (e.type == KD_EVENT_INPUT && e.index() >= KD_INPUT_KEY_BASE && e.index() < KD_INPUT_CHAR_BASE) {
            keys.push_back(e);
        }
    }
    return keys;
}

struct KeyCase {
    const char* name;
    SDL_Scancode scancode;
    SDL_Keycode symbol;
    Uint16 mod;
    KDint32 code;
    KDuint32 keyData; // of the press
};

TEST_F(InputTest, KeysTranslateToKeyCodesWithScanCodeAndExtendedFlag) {
    const KeyCase cases[] = {
        {"letter", SDL_SCANCODE_A, SDLK_a, 0, 0x41, 0x001E0001},
        {"letter by layout (AZERTY A on Q)", SDL_SCANCODE_Q, SDLK_a, 0, 0x41, 0x00100001},
        {"non-Latin letter by position", SDL_SCANCODE_F, 0x0430, 0, 0x46, 0x00210001},
        {"digit row by position", SDL_SCANCODE_1, SDLK_AMPERSAND, 0, 0x31, 0x00020001},
        {"digit 0", SDL_SCANCODE_0, SDLK_0, 0, 0x30, 0x000B0001},
        {"enter", SDL_SCANCODE_RETURN, SDLK_RETURN, 0, 0x0D, 0x001C0001},
        {"keypad enter", SDL_SCANCODE_KP_ENTER, SDLK_KP_ENTER, 0, 0x0D, 0x011C0001},
        {"backspace", SDL_SCANCODE_BACKSPACE, SDLK_BACKSPACE, 0, 0x08, 0x000E0001},
        {"tab", SDL_SCANCODE_TAB, SDLK_TAB, 0, 0x09, 0x000F0001},
        {"escape", SDL_SCANCODE_ESCAPE, SDLK_ESCAPE, 0, 0x1B, 0x00010001},
        {"left shift", SDL_SCANCODE_LSHIFT, SDLK_LSHIFT, 0, 0x10, 0x002A0001},
        {"right shift", SDL_SCANCODE_RSHIFT, SDLK_RSHIFT, 0, 0x10, 0x00360001},
        {"left ctrl", SDL_SCANCODE_LCTRL, SDLK_LCTRL, 0, 0x11, 0x001D0001},
        {"right ctrl", SDL_SCANCODE_RCTRL, SDLK_RCTRL, 0, 0x11, 0x011D0001},
        {"right alt", SDL_SCANCODE_RALT, SDLK_RALT, 0, 0x12, 0x01380001 | kAlt},
        {"pause", SDL_SCANCODE_PAUSE, SDLK_PAUSE, 0, 0x13, 0x00450001},
        {"caps lock", SDL_SCANCODE_CAPSLOCK, SDLK_CAPSLOCK, 0, 0x14, 0x003A0001},
        {"page up", SDL_SCANCODE_PAGEUP, SDLK_PAGEUP, 0, 0x21, 0x01490001},
        {"page down", SDL_SCANCODE_PAGEDOWN, SDLK_PAGEDOWN, 0, 0x22, 0x01510001},
        {"end", SDL_SCANCODE_END, SDLK_END, 0, 0x23, 0x014F0001},
        {"home", SDL_SCANCODE_HOME, SDLK_HOME, 0, 0x24, 0x01470001},
        {"print screen", SDL_SCANCODE_PRINTSCREEN, SDLK_PRINTSCREEN, 0, 0x2C, 0x01370001},
        {"insert", SDL_SCANCODE_INSERT, SDLK_INSERT, 0, 0x2D, 0x01520001},
        {"delete", SDL_SCANCODE_DELETE, SDLK_DELETE, 0, 0x2E, 0x01530001},
        {"left gui", SDL_SCANCODE_LGUI, SDLK_LGUI, 0, 0x5B, 0x015B0001},
        {"menu", SDL_SCANCODE_APPLICATION, SDLK_APPLICATION, 0, 0x5D, 0x015D0001},
        {"keypad 8 with num lock", SDL_SCANCODE_KP_8, SDLK_KP_8, KMOD_NUM, 0x68, 0x00480001},
        {"keypad 0 with num lock", SDL_SCANCODE_KP_0, SDLK_KP_0, KMOD_NUM, 0x60, 0x00520001},
        {"keypad 9 without num lock", SDL_SCANCODE_KP_9, SDLK_KP_9, 0, 0x21, 0x00490001},
        {"keypad 5 without num lock", SDL_SCANCODE_KP_5, SDLK_KP_5, 0, 0x0C, 0x004C0001},
        {"keypad period with num lock", SDL_SCANCODE_KP_PERIOD, SDLK_KP_PERIOD, KMOD_NUM, 0x6E, 0x00530001},
        {"keypad period without num lock", SDL_SCANCODE_KP_PERIOD, SDLK_KP_PERIOD, 0, 0x2E, 0x00530001},
        {"keypad multiply", SDL_SCANCODE_KP_MULTIPLY, SDLK_KP_MULTIPLY, 0, 0x6A, 0x00370001},
        {"keypad plus", SDL_SCANCODE_KP_PLUS, SDLK_KP_PLUS, 0, 0x6B, 0x004E0001},
        {"keypad minus", SDL_SCANCODE_KP_MINUS, SDLK_KP_MINUS, 0, 0x6D, 0x004A0001},
        {"keypad divide", SDL_SCANCODE_KP_DIVIDE, SDLK_KP_DIVIDE, 0, 0x6F, 0x01350001},
        {"F1", SDL_SCANCODE_F1, SDLK_F1, 0, 0x70, 0x003B0001},
        {"F10", SDL_SCANCODE_F10, SDLK_F10, 0, 0x79, 0x00440001},
        {"F12", SDL_SCANCODE_F12, SDLK_F12, 0, 0x7B, 0x00580001},
        {"F24", SDL_SCANCODE_F24, SDLK_F24, 0, 0x87, 0x00760001},
        {"num lock", SDL_SCANCODE_NUMLOCKCLEAR, SDLK_NUMLOCKCLEAR, 0, 0x90, 0x01450001},
        {"scroll lock", SDL_SCANCODE_SCROLLLOCK, SDLK_SCROLLLOCK, 0, 0x91, 0x00460001},
        {"semicolon", SDL_SCANCODE_SEMICOLON, SDLK_SEMICOLON, 0, 0xBA, 0x00270001},
        {"equals", SDL_SCANCODE_EQUALS, SDLK_EQUALS, 0, 0xBB, 0x000D0001},
        {"plus key of another layout", SDL_SCANCODE_MINUS, SDLK_PLUS, 0, 0xBB, 0x000C0001},
        {"comma", SDL_SCANCODE_COMMA, SDLK_COMMA, 0, 0xBC, 0x00330001},
        {"minus", SDL_SCANCODE_MINUS, SDLK_MINUS, 0, 0xBD, 0x000C0001},
        {"period", SDL_SCANCODE_PERIOD, SDLK_PERIOD, 0, 0xBE, 0x00340001},
        {"slash", SDL_SCANCODE_SLASH, SDLK_SLASH, 0, 0xBF, 0x00350001},
        {"grave", SDL_SCANCODE_GRAVE, SDLK_BACKQUOTE, 0, 0xC0, 0x00290001},
        {"left bracket", SDL_SCANCODE_LEFTBRACKET, SDLK_LEFTBRACKET, 0, 0xDB, 0x001A0001},
        {"backslash", SDL_SCANCODE_BACKSLASH, SDLK_BACKSLASH, 0, 0xDC, 0x002B0001},
        {"right bracket", SDL_SCANCODE_RIGHTBRACKET, SDLK_RIGHTBRACKET, 0, 0xDD, 0x001B0001},
        {"apostrophe", SDL_SCANCODE_APOSTROPHE, SDLK_QUOTE, 0, 0xDE, 0x00280001},
        {"ISO extra key", SDL_SCANCODE_NONUSBACKSLASH, SDLK_LESS, 0, 0xE2, 0x00560001},
        {"mute", SDL_SCANCODE_MUTE, SDLK_MUTE, 0, 0xAD, 0x01200001},
    };
    for (const KeyCase& c : cases) {
        SCOPED_TRACE(c.name);
        pushKey(true, c.scancode, c.symbol, c.mod);
        pushKey(false, c.scancode, c.symbol, c.mod);
        const std::vector<Recorded> keys = keyEvents(pump());
        ASSERT_EQ(2u, keys.size());
        EXPECT_EQ(KD_INPUT_KEY_BASE + c.code, keys[0].index());
        EXPECT_EQ(1u, keys[0].state());
        EXPECT_EQ(c.keyData, keys[0].keyData());
        EXPECT_EQ(KD_INPUT_KEY_BASE + c.code, keys[1].index());
        EXPECT_EQ(0u, keys[1].state());
        EXPECT_EQ((c.keyData & ~kAlt) | kPrevious | kRelease, keys[1].keyData());
        EXPECT_EQ(m_window, keys[0].userptr);
    }
}

TEST_F(InputTest, UnknownKeyPostsNothing) {
    pushKey(true, SDL_SCANCODE_UNKNOWN, SDLK_UNKNOWN);
    pushKey(true, SDL_SCANCODE_LANG5, SDLK_UNKNOWN);
    EXPECT_TRUE(pump().empty());
}

TEST_F(InputTest, TypingAGivesKeyDownCharacterKeyUp) {
    pushKey(true, SDL_SCANCODE_A, SDLK_a);
    pushText("a");
    pushKey(false, SDL_SCANCODE_A, SDLK_a);
    const std::vector<Recorded> events = pump();
    ASSERT_EQ(3u, events.size());
    for (const Recorded& e : events) {
        EXPECT_EQ(KD_EVENT_INPUT, e.type);
        EXPECT_EQ(m_window, e.userptr);
    }
    EXPECT_EQ(0x40000041, events[0].index());
    EXPECT_EQ(static_cast<KDint64>(0x001E000100000001), events[0].value());
    EXPECT_EQ(0x40000161, events[1].index());
    EXPECT_EQ(static_cast<KDint64>(0x001E000100000002), events[1].value());
    EXPECT_EQ(0x40000041, events[2].index());
    EXPECT_EQ(static_cast<KDint64>(0xC01E000100000000), events[2].value());
}

TEST_F(InputTest, GameKeyEventComesJustBeforeTheKeyEvent) {
    const struct {
        SDL_Scancode scancode;
        SDL_Keycode symbol;
        KDint32 gameKey;
        KDint32 code;
    } cases[] = {
        {SDL_SCANCODE_UP, SDLK_UP, 0x1001, 0x26},
        {SDL_SCANCODE_LEFT, SDLK_LEFT, 0x1002, 0x25},
        {SDL_SCANCODE_RIGHT, SDLK_RIGHT, 0x1003, 0x27},
        {SDL_SCANCODE_DOWN, SDLK_DOWN, 0x1004, 0x28},
        {SDL_SCANCODE_SPACE, SDLK_SPACE, 0x1005, 0x20},
        {SDL_SCANCODE_Z, SDLK_z, 0x1006, 0x5A},
        {SDL_SCANCODE_X, SDLK_x, 0x1007, 0x58},
        {SDL_SCANCODE_C, SDLK_c, 0x1008, 0x43},
        {SDL_SCANCODE_V, SDLK_v, 0x1009, 0x56},
        // German layout: Y and Z swap places, the game key follows the letter.
        {SDL_SCANCODE_Y, SDLK_z, 0x1006, 0x5A},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        pushKey(true, c.scancode, c.symbol);
        pushKey(false, c.scancode, c.symbol);
        const std::vector<Recorded> events = pump();
        ASSERT_EQ(4u, events.size());
        EXPECT_EQ(c.gameKey, events[0].index());
        EXPECT_EQ(KD_INPUT_KEY_BASE + c.code, events[1].index());
        EXPECT_EQ(c.gameKey, events[2].index());
        EXPECT_EQ(KD_INPUT_KEY_BASE + c.code, events[3].index());
        EXPECT_EQ(events[1].value(), events[0].value());
        EXPECT_EQ(events[3].value(), events[2].value());
        EXPECT_EQ(1u, events[0].state());
        EXPECT_EQ(0u, events[2].state());
    }
    pushKey(true, SDL_SCANCODE_B, SDLK_b);
    ASSERT_EQ(1u, pump().size());
}

TEST_F(InputTest, LeftArrowGivesGameKeyThenKeyWithExtendedKeyData) {
    pushKey(true, SDL_SCANCODE_LEFT, SDLK_LEFT);
    const std::vector<Recorded> events = pump();
    ASSERT_EQ(2u, events.size());
    EXPECT_EQ(0x1002, events[0].index());
    EXPECT_EQ(0x40000025, events[1].index());
    EXPECT_EQ(static_cast<KDint64>(0x014B000100000001), events[0].value());
    EXPECT_EQ(static_cast<KDint64>(0x014B000100000001), events[1].value());
}

TEST_F(InputTest, HeldKeyRepeatsKeyDownsWithPreviousStateThenOneKeyUp) {
    pushKey(true, SDL_SCANCODE_A, SDLK_a);
    pushKey(true, SDL_SCANCODE_A, SDLK_a, KMOD_NONE, 1);
    pushKey(true, SDL_SCANCODE_A, SDLK_a, KMOD_NONE, 1);
    pushKey(false, SDL_SCANCODE_A, SDLK_a);
    const std::vector<Recorded> events = pump();
    ASSERT_EQ(4u, events.size());
    const KDuint32 expected[] = {0x001E0001, 0x401E0001, 0x401E0001, 0xC01E0001};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(0x40000041, events[i].index());
        EXPECT_EQ(i < 3 ? 1u : 0u, events[i].state());
        EXPECT_EQ(expected[i], events[i].keyData());
    }
}

TEST_F(InputTest, AltHeldSetsBit29AndAltEnterTypesCarriageReturn) {
    pushKey(true, SDL_SCANCODE_LALT, SDLK_LALT, KMOD_LALT);
    pushKey(true, SDL_SCANCODE_RETURN, SDLK_RETURN, KMOD_LALT);
    pushKey(false, SDL_SCANCODE_RETURN, SDLK_RETURN, KMOD_LALT);
    pushKey(false, SDL_SCANCODE_LALT, SDLK_LALT, KMOD_NONE);
    // Alt known only from our own state: the event's modifiers say nothing.
    pushKey(true, SDL_SCANCODE_LALT, SDLK_LALT, KMOD_NONE);
    pushKey(true, SDL_SCANCODE_RETURN, SDLK_RETURN, KMOD_NONE);
    pushKey(false, SDL_SCANCODE_LALT, SDLK_LALT, KMOD_LALT); // stale modifier of the key being released
    const std::vector<Recorded> events = pump();
    ASSERT_EQ(9u, events.size());
    EXPECT_EQ(0x40000012, events[0].index());
    EXPECT_EQ(0x20380001u, events[0].keyData());
    EXPECT_EQ(0x4000000D, events[1].index());
    EXPECT_EQ(0x201C0001u, events[1].keyData());
    EXPECT_EQ(KD_INPUT_CHAR_BASE + 13, events[2].index());
    EXPECT_EQ(2u, events[2].state());
    EXPECT_EQ(0xE01C0001u, events[3].keyData());
    EXPECT_EQ(0xC0380001u, events[4].keyData());
    EXPECT_EQ(0x20380001u, events[5].keyData());
    EXPECT_EQ(0x201C0001u, events[6].keyData());
    EXPECT_EQ(KD_INPUT_CHAR_BASE + 13, events[7].index());
    EXPECT_EQ(0xC0380001u, events[8].keyData());
}

TEST_F(InputTest, KeysHeldWhenTheFocusWentAwayAreForgotten) {
    pushKey(true, SDL_SCANCODE_LALT, SDLK_LALT, KMOD_LALT);
    pushWindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
    pushWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST); // Alt+Tab: the release goes to another window
    pushWindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
    pushKey(true, SDL_SCANCODE_RETURN, SDLK_RETURN);
    const std::vector<Recorded> keys = keyEvents(pump());
    ASSERT_EQ(2u, keys.size());
    EXPECT_EQ(0x001C0001u, keys[1].keyData());
}

TEST_F(InputTest, AltF4PostsCloseAndNoKeyEvent) {
    pushKey(true, SDL_SCANCODE_LALT, SDLK_LALT, KMOD_LALT);
    pushKey(true, SDL_SCANCODE_F4, SDLK_F4, KMOD_LALT);
    pushKey(true, SDL_SCANCODE_F4, SDLK_F4, KMOD_LALT, 1);
    pushKey(false, SDL_SCANCODE_F4, SDLK_F4, KMOD_LALT);
    pushKey(false, SDL_SCANCODE_LALT, SDLK_LALT);
    std::vector<Recorded> events = pump();
    ASSERT_EQ(3u, events.size());
    EXPECT_EQ(0x40000012, events[0].index());
    EXPECT_EQ(KD_EVENT_WINDOW_CLOSE, events[1].type);
    EXPECT_EQ(m_window, events[1].userptr);
    EXPECT_EQ(0x40000012, events[2].index());
    EXPECT_EQ(0u, events[2].state());

    pushKey(true, SDL_SCANCODE_F4, SDLK_F4);
    events = pump();
    ASSERT_EQ(1u, events.size());
    EXPECT_EQ(0x40000073, events[0].index());
}

TEST_F(InputTest, ControlCharactersAreMadeFromKeyPresses) {
    const struct {
        const char* name;
        SDL_Scancode scancode;
        SDL_Keycode symbol;
        Uint16 mod;
        KDint32 character; // 0: none
    } cases[] = {
        {"backspace", SDL_SCANCODE_BACKSPACE, SDLK_BACKSPACE, 0, 8},
        {"ctrl+backspace", SDL_SCANCODE_BACKSPACE, SDLK_BACKSPACE, KMOD_LCTRL, 0x7F},
        {"tab", SDL_SCANCODE_TAB, SDLK_TAB, 0, 9},
        {"shift+tab", SDL_SCANCODE_TAB, SDLK_TAB, KMOD_LSHIFT, 9},
        {"enter", SDL_SCANCODE_RETURN, SDLK_RETURN, 0, 13},
        {"keypad enter", SDL_SCANCODE_KP_ENTER, SDLK_KP_ENTER, 0, 13},
        {"ctrl+enter", SDL_SCANCODE_RETURN, SDLK_RETURN, KMOD_RCTRL, 10},
        {"escape", SDL_SCANCODE_ESCAPE, SDLK_ESCAPE, 0, 27},
        {"ctrl+a", SDL_SCANCODE_A, SDLK_a, KMOD_LCTRL, 1},
        {"ctrl+z", SDL_SCANCODE_Z, SDLK_z, KMOD_LCTRL, 26},
        {"ctrl+alt+a (AltGr)", SDL_SCANCODE_A, SDLK_a, KMOD_LCTRL | KMOD_RALT, 0},
        {"plain a (the text input types it)", SDL_SCANCODE_A, SDLK_a, 0, 0},
        {"ctrl+1", SDL_SCANCODE_1, SDLK_1, KMOD_LCTRL, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        pushKey(true, c.scancode, c.symbol, c.mod);
        std::vector<Recorded> events = pump();
        if (!events.empty() && events[0].index() < KD_INPUT_KEY_BASE) {
            events.erase(events.begin()); // a game key
        }
        ASSERT_EQ(c.character != 0 ? 2u : 1u, events.size());
        if (c.character != 0) {
            EXPECT_EQ(KD_INPUT_CHAR_BASE + c.character, events[1].index());
            EXPECT_EQ(2u, events[1].state());
            EXPECT_EQ(events[0].keyData(), events[1].keyData());
        }
        pushKey(false, c.scancode, c.symbol, c.mod);
        pump();
    }
}

TEST_F(InputTest, TextBecomesUtf16CodeUnits) {
    pushText("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
    pushText("x\xFFy");
    const std::vector<Recorded> events = pump();
    const KDint32 expected[] = {0xE9, 0x20AC, 0xD83D, 0xDE00, 'x', 0xFFFD, 'y'};
    ASSERT_EQ(std::size(expected), events.size());
    for (std::size_t i = 0; i < events.size(); ++i) {
        EXPECT_EQ(KD_INPUT_CHAR_BASE + expected[i], events[i].index());
        EXPECT_EQ(2u, events[i].state());
    }
}

TEST_F(InputTest, EditingTextPostsNothing) {
    SDL_Event event{};
    event.type = SDL_TEXTEDITING;
    event.edit.windowID = windowId();
    SDL_strlcpy(event.edit.text, "\xC2\xB4", sizeof event.edit.text);
    push(event);
    EXPECT_TRUE(pump().empty());
}

class PointerTest : public VideoTest {
protected:
    void move(int x, int y) {
        SDL_Event event{};
        event.type = SDL_MOUSEMOTION;
        event.motion.windowID = windowId();
        event.motion.x = x;
        event.motion.y = y;
        push(event);
    }
    void button(bool down, Uint8 which, int x, int y) {
        SDL_Event event{};
        event.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
        event.button.windowID = windowId();
        event.button.button = which;
        event.button.state = down ? SDL_PRESSED : SDL_RELEASED;
        event.button.x = x;
        event.button.y = y;
        push(event);
    }
    void wheel(float y, float x, Uint32 direction, int mouseX, int mouseY) {
        SDL_Event event{};
        event.type = SDL_MOUSEWHEEL;
        event.wheel.windowID = windowId();
        event.wheel.preciseY = y;
        event.wheel.preciseX = x;
        event.wheel.y = static_cast<Sint32>(y);
        event.wheel.x = static_cast<Sint32>(x);
        event.wheel.direction = direction;
        event.wheel.mouseX = mouseX;
        event.wheel.mouseY = mouseY;
        push(event);
    }
    static void expectPointer(const Recorded& e, KDint32 index, KDint32 select, KDint32 x, KDint32 y) {
        EXPECT_EQ(KD_EVENT_INPUT_POINTER, e.type);
        EXPECT_EQ(index, e.data.inputpointer.index);
        EXPECT_EQ(select, e.data.inputpointer.select);
        EXPECT_EQ(x, e.data.inputpointer.x);
        EXPECT_EQ(y, e.data.inputpointer.y);
    }
};

TEST_F(PointerTest, MoveToTheSamePositionPostsOnce) {
    move(10, 20);
    move(10, 20);
    std::vector<Recorded> events = pump();
    ASSERT_EQ(1u, events.size());
    expectPointer(events[0], KD_INPUT_POINTER_X, 0, 10, 20);
    EXPECT_EQ(m_window, events[0].userptr);
    move(10, 20);
    EXPECT_TRUE(pump().empty());
    move(-5, 40000); // outside the window: signed 16-bit coordinates
    events = pump();
    ASSERT_EQ(1u, events.size());
    expectPointer(events[0], KD_INPUT_POINTER_X, 0, -5, 40000 - 65536);
}

TEST_F(PointerTest, FastMovesLeaveOnlyTheNewestMoveQueued) {
    move(1, 1);
    pushKey(true, SDL_SCANCODE_B, SDLK_b);
    move(2, 2);
    move(3, 3);
    move(4, 4);
    const std::vector<Recorded> events = pump();
    ASSERT_EQ(2u, events.size());
    EXPECT_EQ(KD_EVENT_INPUT, events[0].type);
    expectPointer(events[1], KD_INPUT_POINTER_X, 0, 4, 4);
}

TEST_F(PointerTest, ButtonsReportTheMaskAfterTheChange) {
    const struct {
        bool down;
        Uint8 button;
        KDint32 mask;
    } steps[] = {
        {true, SDL_BUTTON_LEFT, 1}, {true, SDL_BUTTON_RIGHT, 3},   {true, SDL_BUTTON_MIDDLE, 7},
        {true, SDL_BUTTON_X1, 15},  {true, SDL_BUTTON_X2, 31},     {false, SDL_BUTTON_LEFT, 30},
        {false, SDL_BUTTON_X1, 22}, {false, SDL_BUTTON_RIGHT, 20}, {false, SDL_BUTTON_MIDDLE, 16},
        {false, SDL_BUTTON_X2, 0},
    };
    int x = 0;
    for (const auto& step : steps) {
        SCOPED_TRACE(x);
        button(step.down, step.button, x, 7);
        const std::vector<Recorded> events = pump();
        ASSERT_EQ(1u, events.size());
        expectPointer(events[0], KD_INPUT_POINTER_SELECT, step.mask, x, 7);
        ++x;
    }
}

TEST_F(PointerTest, MovesCarryTheHeldButtons) {
    button(true, SDL_BUTTON_RIGHT, 5, 5);
    move(6, 5);
    std::vector<Recorded> events = pump();
    ASSERT_EQ(2u, events.size());
    expectPointer(events[1], KD_INPUT_POINTER_X, 2, 6, 5);
    button(false, SDL_BUTTON_RIGHT, 6, 5);
    move(7, 5);
    events = pump();
    ASSERT_EQ(2u, events.size());
    expectPointer(events[1], KD_INPUT_POINTER_X, 0, 7, 5);
}

TEST_F(PointerTest, WheelGives120PerNotchInTheHighWordAtScreenCoordinates) {
    SDL_SetWindowPosition(m_sdl, 100, 50);
    int left = 0;
    int top = 0;
    SDL_GetWindowPosition(m_sdl, &left, &top);
    const struct {
        float y;
        float x;
        Uint32 direction;
        KDint32 select;
    } cases[] = {
        {1.0f, 0.0f, SDL_MOUSEWHEEL_NORMAL, 120 << 16},
        {-1.0f, 0.0f, SDL_MOUSEWHEEL_NORMAL, static_cast<KDint32>(0xFF880000)},
        {2.0f, 0.0f, SDL_MOUSEWHEEL_NORMAL, 240 << 16},
        {0.5f, 0.0f, SDL_MOUSEWHEEL_NORMAL, 60 << 16},
        {1.0f, 0.0f, SDL_MOUSEWHEEL_FLIPPED, static_cast<KDint32>(0xFF880000)},
        {0.0f, 1.0f, SDL_MOUSEWHEEL_NORMAL, 120},
        {0.0f, -1.0f, SDL_MOUSEWHEEL_NORMAL, 0xFF88},
    };
    for (const auto& c : cases) {
        wheel(c.y, c.x, c.direction, 3, 4);
        const std::vector<Recorded> events = pump();
        ASSERT_EQ(1u, events.size());
        expectPointer(events[0], KD_INPUT_POINTER_WHEEL, c.select, left + 3, top + 4);
    }
    wheel(0.0f, 0.0f, SDL_MOUSEWHEEL_NORMAL, 3, 4);
    EXPECT_TRUE(pump().empty());
}

TEST_F(InputTest, FocusChangesPostFocusEventsOnce) {
    const struct {
        Uint8 what;
        int focus; // -1: no event
    } steps[] = {
        {SDL_WINDOWEVENT_FOCUS_GAINED, 1}, {SDL_WINDOWEVENT_FOCUS_GAINED, -1},
        {SDL_WINDOWEVENT_MINIMIZED, 0},    {SDL_WINDOWEVENT_RESTORED, 1},
        {SDL_WINDOWEVENT_FOCUS_LOST, 0},   {SDL_WINDOWEVENT_MINIMIZED, -1},
        {SDL_WINDOWEVENT_RESTORED, -1},    {SDL_WINDOWEVENT_MOVED, -1},
    };
    int n = 0;
    for (const auto& step : steps) {
        SCOPED_TRACE(n++);
        pushWindowEvent(step.what);
        const std::vector<Recorded> events = pump();
        if (step.focus < 0) {
            EXPECT_TRUE(events.empty());
            continue;
        }
        ASSERT_EQ(1u, events.size());
        EXPECT_EQ(KD_EVENT_WINDOW_FOCUS, events[0].type);
        EXPECT_EQ(step.focus, events[0].data.windowfocus.focusstate);
        EXPECT_EQ(m_window, events[0].userptr);
    }
    KDboolean focused = KD_TRUE;
    ASSERT_EQ(0, kdGetWindowPropertybv(m_window, KD_WINDOWPROPERTY_FOCUS, &focused));
    EXPECT_EQ(KD_FALSE, focused);
    pushWindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
    pump();
    ASSERT_EQ(0, kdGetWindowPropertybv(m_window, KD_WINDOWPROPERTY_FOCUS, &focused));
    EXPECT_EQ(KD_TRUE, focused);
}

TEST_F(InputTest, CloseRequestsBecomeWindowCloseEvents) {
    pushWindowEvent(SDL_WINDOWEVENT_CLOSE);
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    push(quit);
    const std::vector<Recorded> events = pump();
    ASSERT_EQ(2u, events.size());
    for (const Recorded& e : events) {
        EXPECT_EQ(KD_EVENT_WINDOW_CLOSE, e.type);
        EXPECT_EQ(m_window, e.userptr);
    }
}

TEST_F(InputTest, AfterOneTerminationRequestTheNextSignalEndsTheProcess) {
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    push(quit);
    pump();
    EXPECT_EXIT(std::raise(SIGTERM), ::testing::KilledBySignal(SIGTERM), "");
}

TEST_F(InputTest, EventsOfAnotherWindowAreIgnored) {
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.windowID = windowId() + 1000;
    event.key.state = SDL_PRESSED;
    event.key.keysym.scancode = SDL_SCANCODE_A;
    event.key.keysym.sym = SDLK_a;
    push(event);
    EXPECT_TRUE(pump().empty());
}

TEST_F(InputTest, DestroyingTheWindowPostsQuitAndDropsItsQueuedMove) {
    kdInstallCallback(nullptr, 0, nullptr); // let events queue up
    SDL_Event motion{};
    motion.type = SDL_MOUSEMOTION;
    motion.motion.windowID = windowId();
    motion.motion.x = 3;
    push(motion);
    kdPumpEvents();
    ASSERT_EQ(0, kdDestroyWindow(m_window));
    m_window = nullptr;
    const KDEvent* event = kdWaitEvent();
    ASSERT_NE(nullptr, event);
    EXPECT_EQ(KD_EVENT_QUIT, event->type);
    EXPECT_EQ(nullptr, event->userptr);
    kdInstallCallback(&recordEvent, 0, nullptr);
}

} // namespace
} // namespace platform::test
