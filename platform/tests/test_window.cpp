// The window record and its properties on SDL's offscreen driver: an OpenGL-capable window, the full-screen
// and windowed size rules with centring, caption limits, visibility, position, cursors, errors and the
// embedding fallback.
#include "test_window_support.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace platform::test {
namespace {

std::string& logText() {
    static std::string text;
    return text;
}

void captureLog(const KDchar* text, void*) {
    logText() += text;
}

class WindowTest : public VideoTest {
protected:
    void SetUp() override {
        logText().clear();
        kdSetLogHook(&captureLog, nullptr);
        VideoTest::SetUp();
    }
    void TearDown() override {
        VideoTest::TearDown();
        kdSetLogHook(nullptr, nullptr);
    }

    KDint setSize(KDint32 width, KDint32 height) {
        const KDint32 size[2] = {width, height};
        return kdSetWindowPropertyiv(m_window, KD_WINDOWPROPERTY_SIZE, size);
    }
    std::pair<int, int> sdlPosition() const {
        int x = 0;
        int y = 0;
        SDL_GetWindowPosition(m_sdl, &x, &y);
        return {x, y};
    }
    std::string caption() {
        char text[2048];
        KDsize size = sizeof text;
        EXPECT_EQ(0, kdGetWindowPropertycv(m_window, KD_WINDOWPROPERTY_CAPTION, text, &size));
        return std::string(text, size);
    }
};

TEST_F(WindowTest, NewWindowIsHiddenAndCarriesAnOpenGLContext) {
    const Uint32 flags = SDL_GetWindowFlags(m_sdl);
    EXPECT_NE(0u, flags & SDL_WINDOW_OPENGL);
    EXPECT_NE(0u, flags & SDL_WINDOW_HIDDEN);
    EXPECT_STREQ("Window", SDL_GetWindowTitle(m_sdl));
    EXPECT_EQ("Window", caption());
    KDint32 value = -1;
    ASSERT_EQ(0, kdGetWindowPropertyiv(m_window, KD_WINDOWPROPERTY_CURSOR, &value));
    EXPECT_EQ(100, value);
    ASSERT_EQ(0, kdGetWindowPropertyiv(m_window, KD_WINDOWPROPERTY_VISIBILITY, &value));
    EXPECT_EQ(0, value);

    SDL_GLContext context = SDL_GL_CreateContext(m_sdl);
    ASSERT_NE(nullptr, context) << SDL_GetError();
    SDL_GL_DeleteContext(context);
}

TEST_F(WindowTest, ScreenSizeIsTheDesktopMode) {
    SDL_DisplayMode mode;
    ASSERT_EQ(0, SDL_GetDesktopDisplayMode(0, &mode));
    EXPECT_GT(mode.w, 0);
    EXPECT_EQ(mode.w, kdGetScreenWidth());
    EXPECT_EQ(mode.h, kdGetScreenHeight());
}

TEST_F(WindowTest, ScreenSizeSwitchesToBorderlessFullScreenAndBackToCentredWindow) {
    const int screenWidth = kdGetScreenWidth();
    const int screenHeight = kdGetScreenHeight();
    SDL_Rect bounds;
    SDL_Rect usable;
    ASSERT_EQ(0, SDL_GetDisplayBounds(0, &bounds));
    ASSERT_EQ(0, SDL_GetDisplayUsableBounds(0, &usable));

    // The offscreen driver keeps no border state; the X window test checks the style itself.
    ASSERT_EQ(0, setSize(screenWidth, screenHeight));
    EXPECT_EQ(std::make_pair(bounds.x, bounds.y), sdlPosition());
    KDint32 size[2] = {0, 0};
    ASSERT_EQ(0, kdGetWindowPropertyiv(m_window, KD_WINDOWPROPERTY_SIZE, size));
    EXPECT_EQ(screenWidth, size[0]);
    EXPECT_EQ(screenHeight, size[1]);

    ASSERT_EQ(0, setSize(640, 480));
    // No window manager draws a frame here, so the outer size is the client size.
    EXPECT_EQ(std::make_pair((2 * usable.x + usable.w - 640) / 2, (2 * usable.y + usable.h - 480) / 2),
              sdlPosition());
    int minWidth = 0;
    int minHeight = 0;
    SDL_GetWindowMinimumSize(m_sdl, &minWidth, &minHeight);
    EXPECT_EQ(640, minWidth);
    EXPECT_EQ(480, minHeight);

    // Without a style change the window stays where it is.
    const KDint32 position[2] = {12, 34};
    ASSERT_EQ(0, kdSetWindowPropertyiv(m_window, KD_WINDOWPROPERTY_POSITION, position));
    ASSERT_EQ(0, setSize(320, 200));
    EXPECT_EQ(std::make_pair(12, 34), sdlPosition());
    ASSERT_EQ(0, kdGetWindowPropertyiv(m_window, KD_WINDOWPROPERTY_SIZE, size));
    EXPECT_EQ(320, size[0]);
    EXPECT_EQ(200, size[1]);
    int width = 0;
    int height = 0;
    SDL_GetWindowSize(m_sdl, &width, &height);
    EXPECT_EQ(320, width);
    EXPECT_EQ(200, height);
}

TEST_F(WindowTest, CaptionIsKeptToAtMost1023Utf16Units) {
    const std::string emoji = "\xF0\x9F\x98\x80"; // two UTF-16 units
    const struct {
        std::string text;
        std::string expected;
    } cases[] = {
        {"Harbor Haven", "Harbor Haven"},
        {std::string(2000, 'x'), std::string(1023, 'x')},
        {std::string(1021, 'x') + emoji, std::string(1021, 'x') + emoji},
        {std::string(1022, 'x') + emoji, std::string(1022, 'x')},
        {"a\xFF"
         "b",
         "a\xEF\xBF\xBD"
         "b"},
        {"", ""},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(0, kdSetWindowPropertycv(m_window, KD_WINDOWPROPERTY_CAPTION, c.text.c_str()));
        EXPECT_EQ(c.expected, SDL_GetWindowTitle(m_sdl));
        EXPECT_EQ(c.expected, caption());
    }
}

TEST_F(WindowTest, CaptionReadIntoASmallBufferIsCutAtACharacterBoundary) {
    ASSERT_EQ(0, kdSetWindowPropertycv(m_window, KD_WINDOWPROPERTY_CAPTION, "ab\xC3\xA9"));
    char text[4];
    KDsize size = sizeof text;
    ASSERT_EQ(0, kdGetWindowPropertycv(m_window, KD_WINDOWPROPERTY_CAPTION, text, &size));
    EXPECT_EQ(2u, size);
    EXPECT_STREQ("ab", text);
}

TEST_F(WindowTest, VisibilityAndRealize) {
    const KDint32 show = 1;
    ASSERT_EQ(0, kdSetWindowPropertyiv(m_window, KD_WINDOWPROPERTY_VISIBILITY, &show));
    EXPECT_NE(0u, SDL_GetWindowFlags(m_sdl) & SDL_WINDOW_SHOWN);
    const KDboolean hide = KD_FALSE;
    ASSERT_EQ(0, kdSetWindowPropertybv(m_window, KD_WINDOWPROPERTY_VISIBILITY, &hide));
    EXPECT_EQ(0u, SDL_GetWindowFlags(m_sdl) & SDL_WINDOW_SHOWN);
    KDboolean visible = KD_TRUE;
    ASSERT_EQ(0, kdGetWindowPropertybv(m_window, KD_WINDOWPROPERTY_VISIBILITY, &visible));
    EXPECT_EQ(KD_FALSE, visible);
    ASSERT_EQ(0, kdRealizeWindow(m_window));
    EXPECT_NE(0u, SDL_GetWindowFlags(m_sdl) & SDL_WINDOW_SHOWN);
}

TEST_F(WindowTest, PositionMovesTheWindow) {
    const KDint32 position[2] = {30, 40};
    ASSERT_EQ(0, kdSetWindowPropertyiv(m_window, KD_WINDOWPROPERTY_POSITION, position));
    EXPECT_EQ(std::make_pair(30, 40), sdlPosition());
    KDint32 read[2] = {0, 0};
    ASSERT_EQ(0, kdGetWindowPropertyiv(m_window, KD_WINDOWPROPERTY_POSITION, read));
    EXPECT_EQ(30, read[0]);
    EXPECT_EQ(40, read[1]);
}

TEST_F(WindowTest, BadRequestsFailWithInvalidArgument) {
    const KDint32 values[2] = {1, 1};
    const KDint32 zero[2] = {0, 10};
    KDint32 out[2];
    const struct {
        const char* name;
        KDint result;
    } cases[] = {
        {"unknown property", kdSetWindowPropertyiv(m_window, 12345, values)},
        {"caption as integers", kdSetWindowPropertyiv(m_window, KD_WINDOWPROPERTY_CAPTION, values)},
        {"zero width", kdSetWindowPropertyiv(m_window, KD_WINDOWPROPERTY_SIZE, zero)},
        {"null values", kdSetWindowPropertyiv(m_window, KD_WINDOWPROPERTY_SIZE, nullptr)},
        {"null window", kdSetWindowPropertyiv(nullptr, KD_WINDOWPROPERTY_SIZE, values)},
        {"size as text", kdSetWindowPropertycv(m_window, KD_WINDOWPROPERTY_SIZE, "1")},
        {"unknown get", kdGetWindowPropertyiv(m_window, 12345, out)},
        {"destroy null", kdDestroyWindow(nullptr)},
        {"realize null", kdRealizeWindow(nullptr)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(-1, c.result);
    }
    kdSetError(0);
    EXPECT_EQ(-1, kdSetWindowPropertyiv(m_window, 12345, values));
    EXPECT_EQ(17, kdGetError());
}

TEST_F(WindowTest, KeyboardShowOnlyLogs) {
    kdKeyboardShow(KD_TRUE);
    kdKeyboardShow(KD_FALSE);
    EXPECT_EQ("kdKeyboardShow(1)\nkdKeyboardShow(0)\n", logText());
}

TEST_F(WindowTest, CursorsComeFromResourceFilesWithTheArrowAsFallback) {
    namespace fs = std::filesystem;
    const fs::path previous = fs::current_path();
    const fs::path folder = fs::temp_directory_path() / ("hh_cursor_" + std::to_string(getpid()));
    fs::create_directories(folder / "res" / "cursors");
    {
        SDL_Surface* picture = SDL_CreateRGBSurfaceWithFormat(0, 16, 16, 32, SDL_PIXELFORMAT_ARGB8888);
        ASSERT_NE(nullptr, picture);
        SDL_FillRect(picture, nullptr, 0xFFFF0000);
        ASSERT_EQ(0, SDL_SaveBMP(picture, (folder / "res" / "cursors" / "101.bmp").c_str()));
        SDL_FreeSurface(picture);
        std::ofstream((folder / "res" / "cursors" / "102.bmp").string()) << "not a picture";
    }
    setenv("XDG_DATA_HOME", (folder / "data").c_str(), 1);
    fs::current_path(folder);
    mountFileSystems();

    const struct {
        KDint32 id;
        bool warns;
    } cases[] = {{101, false}, {102, true}, {105, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        logText().clear();
        ASSERT_EQ(0, kdSetWindowPropertyiv(m_window, KD_WINDOWPROPERTY_CURSOR, &c.id));
        EXPECT_EQ(c.warns, logText().find("can't read cursor res/cursors/") != std::string::npos)
            << logText();
        KDint32 id = 0;
        ASSERT_EQ(0, kdGetWindowPropertyiv(m_window, KD_WINDOWPROPERTY_CURSOR, &id));
        EXPECT_EQ(c.id, id);
    }
    EXPECT_EQ(0, kdSetWindowPropertycv(m_window, KD_WINDOWPROPERTY_CURSOR, "101"));
    EXPECT_EQ(0, kdSetWindowPropertycv(m_window, KD_WINDOWPROPERTY_CURSOR, "../../etc/passwd"));

    unmountFileSystems();
    fs::current_path(previous);
    fs::remove_all(folder);
}

class ParentWindowTest : public WindowTest {
protected:
    bool createsWindow() const override { return false; }
    void TearDown() override {
        unsetenv("KD_PARENT_WINDOW");
        WindowTest::TearDown();
    }
};

TEST_F(ParentWindowTest, EmbeddingThatCannotBeDoneFallsBackToAWindowOfItsOwn) {
    const struct {
        const char* value;
        const char* logLine;
    } cases[] = {
        {"0x1234", "embedding into window 0x1234 is not available"},
        {"abc", "embedding into window 0xabc is not available"},
        {"zz", "KD_PARENT_WINDOW \"zz\" is not a window id"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        logText().clear();
        setenv("KD_PARENT_WINDOW", c.value, 1);
        KDWindow* window = kdCreateWindow();
        ASSERT_NE(nullptr, window);
        EXPECT_NE(std::string::npos, logText().find(c.logLine)) << logText();
        auto* sdl = static_cast<SDL_Window*>(kdGetNativeWindow(window));
        EXPECT_EQ(0u, SDL_GetWindowFlags(sdl) & SDL_WINDOW_FOREIGN);
        EXPECT_NE(0u, SDL_GetWindowFlags(sdl) & SDL_WINDOW_OPENGL);
        EXPECT_EQ(0, kdDestroyWindow(window));
    }
}

} // namespace
} // namespace platform::test
