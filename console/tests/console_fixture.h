// The console on real OpenGL: SDL's offscreen driver, a started Display and System, the script VM, and a
// temporary working folder holding the game's baked console font and its completion script. Golden images
// live in tests/data/golden (HH_UPDATE_GOLDEN=1 rewrites them; a failed comparison writes
// <name>.actual.png and <name>.expected.png into the working folder).
#pragma once

#include <SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "binding/component_class.h"
#include "binding/global_functions.h"
#include "binding/value_binding.h"
#include "component/class_names.h"
#include "component/component_registry.h"
#include "console/console.h"
#include "graphics/graphics_classes.h"
#include "graphics/image_record.h"
#include "graphics/render_target.h"
#include "graphics/renderer.h"
#include "objects/system.h"
#include "platform/kd.h"
#include "platform/kd_libraries.h"
#include "platform/kd_start.h"
#include "script/script_api.h"
#include "script/script_host.h"

namespace console_test {

namespace fs = std::filesystem;
using Pixels = std::vector<std::uint32_t>;

// An RGBA PNG of ARGB pixels, for golden files.
inline std::string encodePng(const Pixels& argb, int width, int height) {
    std::string raw;
    for (int y = 0; y < height; ++y) {
        raw += '\0';
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p = argb[std::size_t(y) * width + x];
            raw += char(p >> 16), raw += char(p >> 8), raw += char(p), raw += char(p >> 24);
        }
    }
    uLongf size = compressBound(uLong(raw.size()));
    std::string packed(size, '\0');
    compress(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(raw.data()),
             uLong(raw.size()));
    packed.resize(size);
    std::string out = "\x89PNG\r\n\x1A\n";
    auto be32 = [](std::uint32_t v) {
        return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    };
    auto chunk = [&](const char* type, const std::string& data) {
        const std::string typed = std::string(type, 4) + data;
        out +=
            be32(std::uint32_t(data.size())) + typed +
            be32(std::uint32_t(crc32(0, reinterpret_cast<const Bytef*>(typed.data()), uInt(typed.size()))));
    };
    chunk("IHDR",
          be32(std::uint32_t(width)) + be32(std::uint32_t(height)) + std::string("\x08\x06\0\0\0", 5));
    chunk("IDAT", packed);
    chunk("IEND", "");
    return out;
}

inline void expectGolden(const std::string& name, const Pixels& argb, int width, int height) {
    const std::string path = std::string(CONSOLE_TEST_DATA) + "/golden/" + name + ".png";
    const std::string png = encodePng(argb, width, height);
    if (const char* update = std::getenv("HH_UPDATE_GOLDEN"); update != nullptr && update[0] == '1') {
        fs::create_directories(fs::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << png;
        return;
    }
    std::ifstream in(path, std::ios::binary);
    const std::string expected((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ImageRecord* image = ReadImageFromMemory(expected.data(), expected.size());
    bool same = image != nullptr && image->width == width && image->height == height &&
                image->format == IMAGE_FORMAT_RGBA8;
    int worst = 0;
    for (std::size_t i = 0; same && i < argb.size(); ++i) {
        const std::uint8_t* e = image->pixels + i * 4;
        const std::uint32_t p = argb[i];
        const int d[4] = {int((p >> 16) & 255) - e[0], int((p >> 8) & 255) - e[1], int(p & 255) - e[2],
                          int(p >> 24) - e[3]};
        for (int k : d) worst = std::max(worst, std::abs(k));
    }
    same = same && worst <= 2;
    FreeImage(image);
    if (!same) {
        std::ofstream(name + ".actual.png", std::ios::binary) << png;
        std::ofstream(name + ".expected.png", std::ios::binary) << expected;
    }
    EXPECT_TRUE(same) << name << " differs from " << path << " (largest channel difference " << worst << ")";
}

class ConsoleTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        ASSERT_EQ(0, SDL_InitSubSystem(SDL_INIT_VIDEO)) << SDL_GetError();
        ComponentRegistry& registry = ComponentRegistry::instance();
        registerObjectModelClasses(registry);
        registerGraphicsClasses(registry);
        registerConsoleClass(registry);
        s_display = registry.create(classId(ClassName::Display)).query<IDisplay>();
        ASSERT_TRUE(s_display && s_display->Init(320, 240));
        platform::keepLoadedLibraries();
    }
    static void TearDownTestSuite() {
        if (auto shutdownable = s_display.query<IShutdownable>()) shutdownable->Shutdown();
        s_display.reset();
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
    void SetUp() override {
        m_previous = fs::current_path();
        char pattern[] = "/tmp/hh-console-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(pattern));
        m_root = pattern;
        fs::current_path(m_root);
        fs::create_directories("res/fonts");
        fs::create_directories("scripts/sys");
        if (m_withFont) {
            fs::copy_file(fs::path(GAME_FONTS) / "console.fnt", "res/fonts/console.fnt");
            fs::copy_file(fs::path(GAME_FONTS) / "console_0.png", "res/fonts/console_0.png");
        }
        fs::copy_file(fs::path(GAME_SCRIPTS) / "sys/Console.nut", "scripts/sys/Console.nut");
        platform::startFileSystems();
        registerBindingScriptApi(ScriptApi::instance());
        const char* arguments[] = {"harborhaven"};
        ScriptHost::create(1, arguments);
        m_system = ComponentRegistry::instance().create(classId(ClassName::System)).query<ISystem>();
        ASSERT_TRUE(m_system && m_system->Init(s_display.get()));
    }
    void TearDown() override {
        m_console.reset();
        m_system->Shutdown();
        m_system.reset();
        ScriptHost::destroy();
        kdUnmountAll();
        fs::current_path(m_previous);
        std::error_code ignored;
        fs::remove_all(m_root, ignored);
    }

    Console& console() {
        if (!m_console) {
            ComponentRef<> made = ComponentRegistry::instance().create(classId(ClassName::Console));
            m_console.reset(dynamic_cast<Console*>(made.get()));
            m_console->setClock(&ConsoleTest::fakeClock);
        }
        return *m_console;
    }
    static KDust fakeClock() { return s_now; }

    static KDEvent keyEvent(std::int32_t index, std::int64_t state) {
        KDEvent event{};
        event.type = KD_EVENT_INPUT;
        event.data.input.index = index;
        event.data.input.value = state;
        return event;
    }
    bool type(const std::string& text) {
        bool consumed = true;
        for (unsigned char c : text)
            consumed &= console().HandleKeyEvent(keyEvent(KD_INPUT_CHAR_BASE + c, 2));
        return consumed;
    }
    bool press(std::int32_t key) { return console().HandleKeyEvent(keyEvent(KD_INPUT_KEY_BASE + key, 1)); }

    // One frame of `width` x `height` on dark blue with the console drawn over it.
    Pixels frame(int width = 320, int height = 120) {
        ComponentRef<IRenderTarget> target = s_display->CreateRenderTarget(width, height);
        IGraphics* g = target->Begin(nullptr);
        g->Clear(0xFF203050u);
        console().Render(g);
        target->End();
        Pixels px(std::size_t(width) * height);
        EXPECT_TRUE(Gfx_ReadPixels(static_cast<RenderTarget*>(target.get())->deviceTarget(), 0, 0, width,
                                   height, px.data()));
        return px;
    }

    ScriptValue run(const std::string& text) {
        return ScriptHost::callClosure(ScriptHost::compileBuffer(text.c_str()));
    }

    static inline ComponentRef<IDisplay> s_display;
    static inline KDust s_now = 5'000'000'000;
    bool m_withFont = true;
    fs::path m_previous;
    fs::path m_root;
    ComponentRef<ISystem> m_system;
    ComponentRef<Console> m_console;
};

} // namespace console_test
