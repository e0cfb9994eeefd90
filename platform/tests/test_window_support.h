// Shared fixture of the window, input and joystick tests: the video layer on SDL's offscreen driver (unless
// the environment chose another), one game window, and a callback that records every event a pump dispatches.
#pragma once

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/kd.h"
#include "platform/kd_libraries.h"
#include "platform/platform_hooks.h"
#include "platform/src/event_system.h"

namespace platform::test {

struct Recorded {
    KDint32 type;
    void* userptr;
    KDEventData data;

    KDint32 index() const { return data.input.index; }
    KDint64 value() const { return data.input.value; }
    KDuint32 state() const { return static_cast<KDuint32>(static_cast<KDuint64>(data.input.value)); }
    KDuint32 keyData() const { return static_cast<KDuint32>(static_cast<KDuint64>(data.input.value) >> 32); }
};

inline std::vector<Recorded>& recordedEvents() {
    static std::vector<Recorded> events;
    return events;
}

inline void recordEvent(const KDEvent* event) {
    recordedEvents().push_back(Recorded{event->type, event->userptr, event->data});
}

// The OpenGL stack is unloaded when the video layer stops, and what it allocated then looks leaked to the
// leak checker. Loading it once through an OpenGL window and pinning every library then loaded keeps its
// memory reachable until the process ends.
inline void keepGraphicsLibrariesLoaded() {
    SDL_Window* window = SDL_CreateWindow("", 0, 0, 8, 8, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    platform::keepLoadedLibraries();
    if (window != nullptr) {
        SDL_DestroyWindow(window);
    }
}

class VideoTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        startVideo();
        keepGraphicsLibrariesLoaded();
    }
    static void TearDownTestSuite() {
        stopEventSystem();
        stopVideo();
    }

    void SetUp() override {
        ASSERT_EQ(0, kdInstallCallback(&recordEvent, 0, nullptr));
        if (createsWindow()) {
            m_window = kdCreateWindow();
            ASSERT_NE(nullptr, m_window);
            m_sdl = static_cast<SDL_Window*>(kdGetNativeWindow(m_window));
        }
        pump();
    }
    void TearDown() override {
        if (m_window != nullptr) {
            kdDestroyWindow(m_window);
        }
        pump();
        stopEventSystem();
    }

    virtual bool createsWindow() const { return true; }

    // Runs one pump and answers the events it dispatched, in order.
    std::vector<Recorded> pump() {
        recordedEvents().clear();
        kdPumpEvents();
        std::vector<Recorded> events = recordedEvents();
        recordedEvents().clear();
        return events;
    }

    Uint32 windowId() const { return m_sdl != nullptr ? SDL_GetWindowID(m_sdl) : 0; }

    void push(SDL_Event event) { ASSERT_EQ(1, SDL_PushEvent(&event)); }

    void pushKey(bool down, SDL_Scancode scancode, SDL_Keycode symbol, Uint16 mod = KMOD_NONE,
                 Uint8 repeat = 0) {
        SDL_Event event{};
        event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        event.key.windowID = windowId();
        event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
        event.key.repeat = repeat;
        event.key.keysym.scancode = scancode;
        event.key.keysym.sym = symbol;
        event.key.keysym.mod = mod;
        push(event);
    }

    void pushText(const char* text) {
        SDL_Event event{};
        event.type = SDL_TEXTINPUT;
        event.text.windowID = windowId();
        SDL_strlcpy(event.text.text, text, sizeof event.text.text);
        push(event);
    }

    void pushWindowEvent(Uint8 what) {
        SDL_Event event{};
        event.type = SDL_WINDOWEVENT;
        event.window.windowID = windowId();
        event.window.event = what;
        push(event);
    }

    KDWindow* m_window = nullptr;
    SDL_Window* m_sdl = nullptr;
};

} // namespace platform::test
