// Joystick 1: the first device SDL offers. Polled once per pump; every change of its 32 buttons and of the
// hat's four directions becomes an input event of the main window. A device SDL knows as a gamepad is read
// through the game-controller layer and its mapping database, so a common pad's buttons keep the same numbers
// whatever its driver reports.
#include <SDL.h>

#include <array>

#include "window_internal.h"

namespace platform {
namespace {

constexpr int kButtonCount = 32;
constexpr int kHatCentred = 65535;

struct JoystickState {
    SDL_Joystick* joystick = nullptr;
    SDL_GameController* controller = nullptr; // set when the device is read as a gamepad
    SDL_JoystickID instance = -1;
    KDuint32 buttons = 0;
    std::array<bool, 4> directions{}; // up, left, right, down
};

JoystickState g_joystick;

// Gamepad buttons in the numbering pads have with the classic joystick interface.
constexpr SDL_GameControllerButton kPadButtons[] = {
    SDL_CONTROLLER_BUTTON_A,
    SDL_CONTROLLER_BUTTON_B,
    SDL_CONTROLLER_BUTTON_X,
    SDL_CONTROLLER_BUTTON_Y,
    SDL_CONTROLLER_BUTTON_LEFTSHOULDER,
    SDL_CONTROLLER_BUTTON_RIGHTSHOULDER,
    SDL_CONTROLLER_BUTTON_BACK,
    SDL_CONTROLLER_BUTTON_START,
    SDL_CONTROLLER_BUTTON_LEFTSTICK,
    SDL_CONTROLLER_BUTTON_RIGHTSTICK,
    SDL_CONTROLLER_BUTTON_GUIDE,
    SDL_CONTROLLER_BUTTON_MISC1,
    SDL_CONTROLLER_BUTTON_PADDLE1,
    SDL_CONTROLLER_BUTTON_PADDLE2,
    SDL_CONTROLLER_BUTTON_PADDLE3,
    SDL_CONTROLLER_BUTTON_PADDLE4,
    SDL_CONTROLLER_BUTTON_TOUCHPAD,
};

// The hat as an angle in hundredths of a degree, clockwise from up; 65535 when centred.
int hatAngle(Uint8 hat) {
    switch (hat) {
    case SDL_HAT_UP:
        return 0;
    case SDL_HAT_RIGHTUP:
        return 4500;
    case SDL_HAT_RIGHT:
        return 9000;
    case SDL_HAT_RIGHTDOWN:
        return 13500;
    case SDL_HAT_DOWN:
        return 18000;
    case SDL_HAT_LEFTDOWN:
        return 22500;
    case SDL_HAT_LEFT:
        return 27000;
    case SDL_HAT_LEFTUP:
        return 31500;
    default:
        return kHatCentred;
    }
}

// The four directions of an angle. The ranges overlap at the diagonals and leave exact up out of "right".
std::array<bool, 4> hatDirections(int angle) {
    if (angle == kHatCentred) {
        return {false, false, false, false};
    }
    return {angle < 9000 || angle > 27000, angle > 18000, angle > 0 && angle <= 17999,
            angle >= 9001 && angle <= 26999};
}

void readState(KDuint32* buttons, Uint8* hat) {
    *buttons = 0;
    *hat = SDL_HAT_CENTERED;
    if (g_joystick.controller != nullptr) {
        int bit = 0;
        for (SDL_GameControllerButton button : kPadButtons) {
            if (SDL_GameControllerGetButton(g_joystick.controller, button) != 0) {
                *buttons |= 1u << bit;
            }
            ++bit;
        }
        SDL_GameController* pad = g_joystick.controller;
        if (SDL_GameControllerGetButton(pad, SDL_CONTROLLER_BUTTON_DPAD_UP) != 0) *hat |= SDL_HAT_UP;
        if (SDL_GameControllerGetButton(pad, SDL_CONTROLLER_BUTTON_DPAD_DOWN) != 0) *hat |= SDL_HAT_DOWN;
        if (SDL_GameControllerGetButton(pad, SDL_CONTROLLER_BUTTON_DPAD_LEFT) != 0) *hat |= SDL_HAT_LEFT;
        if (SDL_GameControllerGetButton(pad, SDL_CONTROLLER_BUTTON_DPAD_RIGHT) != 0) *hat |= SDL_HAT_RIGHT;
        return;
    }
    const int count = SDL_JoystickNumButtons(g_joystick.joystick);
    for (int bit = 0; bit < count && bit < kButtonCount; ++bit) {
        if (SDL_JoystickGetButton(g_joystick.joystick, bit) != 0) {
            *buttons |= 1u << bit;
        }
    }
    if (SDL_JoystickNumHats(g_joystick.joystick) > 0) {
        *hat = SDL_JoystickGetHat(g_joystick.joystick, 0);
    }
}

// Posts an event for every button and direction that differs from the last poll, then remembers the new
// state.
void reportChanges(KDuint32 buttons, const std::array<bool, 4>& directions) {
    KDWindow* window = mainWindow();
    void* userptr = window != nullptr ? window->m_userptr : nullptr;
    const KDuint32 changed = buttons ^ g_joystick.buttons;
    for (int bit = 0; bit < kButtonCount; ++bit) {
        if ((changed & (1u << bit)) != 0) {
            postInputEvent(userptr, KD_INPUT_BUTTONS_0 + bit, (buttons >> bit) & 1);
        }
    }
    static constexpr KDint32 kDirectionIndex[4] = {KD_INPUT_DPAD_UP, KD_INPUT_DPAD_LEFT, KD_INPUT_DPAD_RIGHT,
                                                   KD_INPUT_DPAD_DOWN};
    for (int i = 0; i < 4; ++i) {
        if (directions[i] != g_joystick.directions[i]) {
            postInputEvent(userptr, kDirectionIndex[i], directions[i] ? 1 : 0);
        }
    }
    g_joystick.buttons = buttons;
    g_joystick.directions = directions;
}

void openDevice(int deviceIndex) {
    if (SDL_IsGameController(deviceIndex)) {
        g_joystick.controller = SDL_GameControllerOpen(deviceIndex);
        if (g_joystick.controller != nullptr) {
            g_joystick.joystick = SDL_GameControllerGetJoystick(g_joystick.controller);
        }
    }
    if (g_joystick.joystick == nullptr) {
        g_joystick.joystick = SDL_JoystickOpen(deviceIndex);
    }
    if (g_joystick.joystick == nullptr) {
        logWarning("Joystick", "can't open joystick %d: %s", deviceIndex, SDL_GetError());
        return;
    }
    g_joystick.instance = SDL_JoystickInstanceID(g_joystick.joystick);
}

void closeDevice() {
    if (g_joystick.controller != nullptr) {
        SDL_GameControllerClose(g_joystick.controller);
    } else if (g_joystick.joystick != nullptr) {
        SDL_JoystickClose(g_joystick.joystick);
    }
    g_joystick.controller = nullptr;
    g_joystick.joystick = nullptr;
    g_joystick.instance = -1;
}

} // namespace

void pollJoystick() {
    if (g_joystick.joystick == nullptr) {
        return;
    }
    KDuint32 buttons = 0;
    Uint8 hat = SDL_HAT_CENTERED;
    readState(&buttons, &hat);
    reportChanges(buttons, hatDirections(hatAngle(hat)));
}

void joystickDeviceAdded(int deviceIndex) {
    if (g_joystick.joystick == nullptr) {
        openDevice(deviceIndex);
    }
}

void joystickDeviceRemoved(SDL_JoystickID instance) {
    if (instance != g_joystick.instance) {
        return;
    }
    closeDevice();
    // Whatever was held on the unplugged device is released, so no button stays down in the game.
    reportChanges(0, {false, false, false, false});
    if (SDL_NumJoysticks() > 0) {
        openDevice(0);
    }
}

void closeJoystick() {
    closeDevice();
    g_joystick = JoystickState{};
}

} // namespace platform
