// The window in a real X server (run under xvfb-run with SDL_VIDEODRIVER=x11; skipped elsewhere): the X
// window takes the full-screen and windowed styles, shows the caption, reports a close request, follows the
// cursor outside the window, and embeds into a host's window.
#include "test_window_support.h"

#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <chrono>
#include <cstring>
#include <thread>

namespace platform::test {
namespace {

bool underX11() {
    const char* driver = std::getenv("SDL_VIDEODRIVER");
    return driver != nullptr && std::strcmp(driver, "x11") == 0 && std::getenv("DISPLAY") != nullptr;
}

class X11WindowTest : public VideoTest {
protected:
    void SetUp() override {
        if (!underX11()) {
            GTEST_SKIP() << "needs an X server (run under xvfb-run with SDL_VIDEODRIVER=x11)";
        }
        VideoTest::SetUp();
    }

    ::Window xWindow(SDL_Window* window) const {
        SDL_SysWMinfo info;
        SDL_VERSION(&info.version);
        EXPECT_EQ(SDL_TRUE, SDL_GetWindowWMInfo(window, &info)) << SDL_GetError();
        return info.info.x11.window;
    }
    ::Display* xDisplay() const {
        SDL_SysWMinfo info;
        SDL_VERSION(&info.version);
        SDL_GetWindowWMInfo(m_sdl, &info);
        return info.info.x11.display;
    }

    // Pumps until an event matching the predicate comes, for at most a few seconds of wall time.
    template <typename Predicate> bool pumpUntil(Predicate predicate) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < end) {
            for (const Recorded& e : pump()) {
                if (predicate(e)) {
                    return true;
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

    KDint setSize(KDint32 width, KDint32 height) {
        const KDint32 size[2] = {width, height};
        return kdSetWindowPropertyiv(m_window, KD_WINDOWPROPERTY_SIZE, size);
    }
};

TEST_F(X11WindowTest, SizeSwitchesStylesAndTheCaptionReachesTheServer) {
    ASSERT_EQ(0, kdRealizeWindow(m_window));
    ASSERT_EQ(0, setSize(kdGetScreenWidth(), kdGetScreenHeight()));
    EXPECT_NE(0u, SDL_GetWindowFlags(m_sdl) & SDL_WINDOW_BORDERLESS);
    int x = -1;
    int y = -1;
    SDL_GetWindowPosition(m_sdl, &x, &y);
    EXPECT_EQ(0, x);
    EXPECT_EQ(0, y);

    ASSERT_EQ(0, setSize(640, 480));
    EXPECT_EQ(0u, SDL_GetWindowFlags(m_sdl) & SDL_WINDOW_BORDERLESS);
    SDL_Rect usable;
    ASSERT_EQ(0, SDL_GetDisplayUsableBounds(0, &usable));
    SDL_GetWindowPosition(m_sdl, &x, &y);
    EXPECT_EQ((2 * usable.x + usable.w - 640) / 2, x);
    EXPECT_EQ((2 * usable.y + usable.h - 480) / 2, y);

    ASSERT_EQ(0, kdSetWindowPropertycv(m_window, KD_WINDOWPROPERTY_CAPTION, "Harbor Haven"));
    XSync(xDisplay(), False);
    char* name = nullptr;
    ASSERT_NE(0, XFetchName(xDisplay(), xWindow(m_sdl), &name));
    EXPECT_STREQ("Harbor Haven", name);
    XFree(name);
}

TEST_F(X11WindowTest, CloseRequestOfTheWindowManagerBecomesACloseEvent) {
    ASSERT_EQ(0, kdRealizeWindow(m_window));
    ::Display* display = xDisplay();
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = xWindow(m_sdl);
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, event.xclient.window, False, NoEventMask, &event);
    XFlush(display);
    EXPECT_TRUE(pumpUntil(
        [&](const Recorded& e) { return e.type == KD_EVENT_WINDOW_CLOSE && e.userptr == m_window; }));
}

TEST_F(X11WindowTest, CursorIsReportedOutsideTheWindowWhileActive) {
    ASSERT_EQ(0, kdRealizeWindow(m_window));
    const KDint32 position[2] = {200, 150};
    ASSERT_EQ(0, kdSetWindowPropertyiv(m_window, KD_WINDOWPROPERTY_POSITION, position));
    pushWindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
    SDL_WarpMouseGlobal(20, 30);
    int left = 0;
    int top = 0;
    SDL_GetWindowPosition(m_sdl, &left, &top);
    EXPECT_TRUE(pumpUntil([&](const Recorded& e) {
        return e.type == KD_EVENT_INPUT_POINTER && e.data.inputpointer.index == KD_INPUT_POINTER_X &&
               e.data.inputpointer.select == 0 && e.data.inputpointer.x == 20 - left &&
               e.data.inputpointer.y == 30 - top;
    }));
}

class X11EmbedTest : public X11WindowTest {
protected:
    bool createsWindow() const override { return false; }
};

TEST_F(X11EmbedTest, GameRunsInsideTheParentWindowAndGetsItsInput) {
    ::Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(nullptr, display);
    const ::Window parent = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 320, 240, 0, 0, 0);
    // The host takes the parent's clicks itself, as a toolkit would.
    XSelectInput(display, parent, ButtonPressMask | ButtonReleaseMask);
    XMapWindow(display, parent);
    XSync(display, False);
    char handle[32];
    std::snprintf(handle, sizeof handle, "%lx", parent);
    setenv("KD_PARENT_WINDOW", handle, 1);

    KDWindow* window = kdCreateWindow();
    unsetenv("KD_PARENT_WINDOW");
    ASSERT_NE(nullptr, window);
    auto* sdl = static_cast<SDL_Window*>(kdGetNativeWindow(window));
    EXPECT_NE(0u, SDL_GetWindowFlags(sdl) & SDL_WINDOW_FOREIGN);
    EXPECT_EQ(parent, xWindow(sdl));
    KDint32 size[2] = {0, 0};
    ASSERT_EQ(0, kdGetWindowPropertyiv(window, KD_WINDOWPROPERTY_SIZE, size));
    EXPECT_EQ(320, size[0]);
    EXPECT_EQ(240, size[1]);
    SDL_GLContext context = SDL_GL_CreateContext(sdl);
    EXPECT_NE(nullptr, context) << SDL_GetError();
    if (context != nullptr) {
        SDL_GL_DeleteContext(context);
    }

    // A key typed into the host's window reaches the game.
    XEvent key{};
    key.xkey.type = KeyPress;
    key.xkey.display = display;
    key.xkey.window = parent;
    key.xkey.root = DefaultRootWindow(display);
    key.xkey.same_screen = True;
    key.xkey.keycode = XKeysymToKeycode(display, XK_a);
    XSendEvent(display, parent, True, KeyPressMask, &key);
    XFlush(display);
    EXPECT_TRUE(pumpUntil([&](const Recorded& e) {
        return e.type == KD_EVENT_INPUT && e.index() == KD_INPUT_KEY_BASE + 'A' && e.userptr == window;
    }));
    EXPECT_EQ(0, kdDestroyWindow(window));

    // The host's window outlives the game.
    XWindowAttributes attributes;
    EXPECT_NE(0, XGetWindowAttributes(display, parent, &attributes));
    XDestroyWindow(display, parent);
    XCloseDisplay(display);
}

} // namespace
} // namespace platform::test
