// Joystick 1 through SDL's virtual joysticks: button and hat changes become input events of the main window,
// gamepads keep the classic button numbers, and unplugging releases what was held.
#include "test_window_support.h"

#include <utility>

namespace platform::test {
namespace {

using Change = std::pair<KDint32, KDint32>; // input index, value

class JoystickTest : public VideoTest {
protected:
    void TearDown() override {
        detach();
        VideoTest::TearDown();
    }

    // Attaches a virtual device and pumps once so that the engine opens it.
    void attach(SDL_JoystickType type, int buttons, int hats, int axes) {
        SDL_VirtualJoystickDesc desc{};
        desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        desc.type = static_cast<Uint16>(type);
        desc.nbuttons = static_cast<Uint16>(buttons);
        desc.nhats = static_cast<Uint16>(hats);
        desc.naxes = static_cast<Uint16>(axes);
        desc.name = "test joystick";
        m_device = SDL_JoystickAttachVirtualEx(&desc);
        ASSERT_GE(m_device, 0) << SDL_GetError();
        m_joystick = SDL_JoystickOpen(m_device);
        ASSERT_NE(nullptr, m_joystick) << SDL_GetError();
        EXPECT_TRUE(pump().empty());
    }
    void detach() {
        if (m_joystick != nullptr) {
            SDL_JoystickClose(m_joystick);
            SDL_JoystickDetachVirtual(m_device);
            m_joystick = nullptr;
        }
    }

    std::vector<Change> changes() {
        std::vector<Change> result;
        for (const Recorded& e : pump()) {
            EXPECT_EQ(KD_EVENT_INPUT, e.type);
            EXPECT_EQ(m_window, e.userptr);
            result.emplace_back(e.index(), static_cast<KDint32>(e.value()));
        }
        return result;
    }

    int m_device = -1;
    SDL_Joystick* m_joystick = nullptr;
};

TEST_F(JoystickTest, ButtonsPostTheirChangesInBitOrder) {
    attach(SDL_JOYSTICK_TYPE_UNKNOWN, 32, 1, 0);
    SDL_JoystickSetVirtualButton(m_joystick, 31, SDL_PRESSED);
    SDL_JoystickSetVirtualButton(m_joystick, 0, SDL_PRESSED);
    SDL_JoystickSetVirtualButton(m_joystick, 5, SDL_PRESSED);
    EXPECT_EQ((std::vector<Change>{{0x9001, 1}, {0x9006, 1}, {0x9020, 1}}), changes());
    EXPECT_TRUE(changes().empty());
    SDL_JoystickSetVirtualButton(m_joystick, 5, SDL_RELEASED);
    EXPECT_EQ((std::vector<Change>{{0x9006, 0}}), changes());
}

TEST_F(JoystickTest, HatAnglesGiveTheFourDirections) {
    attach(SDL_JOYSTICK_TYPE_UNKNOWN, 4, 1, 0);
    const struct {
        Uint8 hat;
        std::vector<Change> expected;
    } steps[] = {
        {SDL_HAT_UP, {{0x8002, 1}}}, // exactly up is not "right" (0 < angle)
        {SDL_HAT_RIGHTUP, {{0x8004, 1}}},
        {SDL_HAT_RIGHT, {{0x8002, 0}}},
        {SDL_HAT_RIGHTDOWN, {{0x8005, 1}}},
        {SDL_HAT_DOWN, {{0x8004, 0}}},
        {SDL_HAT_LEFTDOWN, {{0x8003, 1}}},
        {SDL_HAT_LEFT, {{0x8005, 0}}},
        {SDL_HAT_LEFTUP, {{0x8002, 1}}},
        {SDL_HAT_CENTERED, {{0x8002, 0}, {0x8003, 0}}},
        {SDL_HAT_RIGHTDOWN, {{0x8004, 1}, {0x8005, 1}}},
        {SDL_HAT_LEFTUP, {{0x8002, 1}, {0x8003, 1}, {0x8004, 0}, {0x8005, 0}}},
        {SDL_HAT_CENTERED, {{0x8002, 0}, {0x8003, 0}}},
    };
    int n = 0;
    for (const auto& step : steps) {
        SCOPED_TRACE(n++);
        SDL_JoystickSetVirtualHat(m_joystick, 0, step.hat);
        EXPECT_EQ(step.expected, changes());
    }
}

TEST_F(JoystickTest, GamepadButtonsKeepTheClassicNumbersAndTheDpadIsTheHat) {
    attach(SDL_JOYSTICK_TYPE_GAMECONTROLLER, SDL_CONTROLLER_BUTTON_MAX, 0, SDL_CONTROLLER_AXIS_MAX);
    ASSERT_TRUE(SDL_IsGameController(m_device));
    const struct {
        SDL_GameControllerButton button;
        KDint32 index;
    } cases[] = {
        {SDL_CONTROLLER_BUTTON_A, 0x9001},
        {SDL_CONTROLLER_BUTTON_B, 0x9002},
        {SDL_CONTROLLER_BUTTON_X, 0x9003},
        {SDL_CONTROLLER_BUTTON_Y, 0x9004},
        {SDL_CONTROLLER_BUTTON_LEFTSHOULDER, 0x9005},
        {SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, 0x9006},
        {SDL_CONTROLLER_BUTTON_BACK, 0x9007},
        {SDL_CONTROLLER_BUTTON_START, 0x9008},
        {SDL_CONTROLLER_BUTTON_LEFTSTICK, 0x9009},
        {SDL_CONTROLLER_BUTTON_RIGHTSTICK, 0x900A},
        {SDL_CONTROLLER_BUTTON_GUIDE, 0x900B},
        {SDL_CONTROLLER_BUTTON_DPAD_UP, 0x8002},
        {SDL_CONTROLLER_BUTTON_DPAD_LEFT, 0x8003},
        {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, 0x8004},
        {SDL_CONTROLLER_BUTTON_DPAD_DOWN, 0x8005},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.index);
        // The virtual gamepad's own buttons are numbered in the game-controller order.
        SDL_JoystickSetVirtualButton(m_joystick, c.button, SDL_PRESSED);
        EXPECT_EQ((std::vector<Change>{{c.index, 1}}), changes());
        SDL_JoystickSetVirtualButton(m_joystick, c.button, SDL_RELEASED);
        EXPECT_EQ((std::vector<Change>{{c.index, 0}}), changes());
    }
}

TEST_F(JoystickTest, UnplugReleasesWhatWasHeldAndAnotherDeviceTakesOver) {
    attach(SDL_JOYSTICK_TYPE_UNKNOWN, 8, 1, 0);
    SDL_JoystickSetVirtualButton(m_joystick, 2, SDL_PRESSED);
    SDL_JoystickSetVirtualHat(m_joystick, 0, SDL_HAT_LEFT);
    EXPECT_EQ((std::vector<Change>{{0x9003, 1}, {0x8003, 1}}), changes());
    detach();
    EXPECT_EQ((std::vector<Change>{{0x9003, 0}, {0x8003, 0}}), changes());
    EXPECT_TRUE(changes().empty());

    attach(SDL_JOYSTICK_TYPE_UNKNOWN, 8, 1, 0);
    SDL_JoystickSetVirtualButton(m_joystick, 7, SDL_PRESSED);
    EXPECT_EQ((std::vector<Change>{{0x9008, 1}}), changes());
}

class JoystickWithoutWindowTest : public JoystickTest {
protected:
    bool createsWindow() const override { return false; }
};

TEST_F(JoystickWithoutWindowTest, EventsCarryNoUserPointerWithoutAWindow) {
    attach(SDL_JOYSTICK_TYPE_UNKNOWN, 2, 0, 0);
    SDL_JoystickSetVirtualButton(m_joystick, 1, SDL_PRESSED);
    EXPECT_EQ((std::vector<Change>{{0x9002, 1}}), changes());
}

} // namespace
} // namespace platform::test
