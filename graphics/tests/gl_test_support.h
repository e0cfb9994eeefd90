// Shared fixture of the renderer tests: SDL's offscreen video driver (real OpenGL through Mesa), one
// started Display, and golden-image comparison against reference PNGs in tests/data/golden; FolderGlTest adds
// a temporary working folder and the collected log, SystemGlTest a running System over it.
//
// A failed comparison writes "<name>.actual.png" and "<name>.expected.png" into the working folder. Running
// a test with HH_UPDATE_GOLDEN=1 writes the references instead (look at them before committing).
#pragma once

#include <SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "component/class_names.h"
#include "component/component_ref.h"
#include "component/component_registry.h"
#include "component/engine_interfaces.h"
#include "graphics/display.h"
#include "graphics/graphics.h"
#include "graphics/graphics_classes.h"
#include "graphics/image_record.h"
#include "graphics/render_target.h"
#include "graphics/renderer.h"
#include "graphics/tests/image_fixtures.h"
#include "objects/system.h"
#include "platform/kd.h"
#include "platform/kd_libraries.h"
#include "platform/kd_start.h"

namespace graphics::test {

class GlTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        ASSERT_EQ(0, SDL_InitSubSystem(SDL_INIT_VIDEO)) << SDL_GetError();
        s_display = dynamic_cast<Display*>(createSingleInstance<Display>());
        ASSERT_NE(nullptr, s_display);
        ASSERT_TRUE(s_display->Init(320, 240));
        platform::keepLoadedLibraries();
    }
    static void TearDownTestSuite() {
        s_display->Shutdown();
        s_display->Release();
        s_display = nullptr;
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
    void SetUp() override { Gfx_SetTextureRules({}); }
    void TearDown() override { Gfx_SetTextureRules({}); }

    Display& display() { return *s_display; }

    ComponentRef<IRenderTarget> target(int width, int height) {
        return display().CreateRenderTarget(width, height);
    }

    // The target's pixels, ARGB, top row first.
    static std::vector<std::uint32_t> pixels(IRenderTarget& target) {
        auto* rt = static_cast<RenderTarget*>(&target);
        std::vector<std::uint32_t> out(static_cast<std::size_t>(rt->GetWidth()) * rt->GetHeight());
        EXPECT_TRUE(Gfx_ReadPixels(rt->deviceTarget(), 0, 0, rt->GetWidth(), rt->GetHeight(), out.data()));
        return out;
    }

    static inline Display* s_display = nullptr;
};

inline std::uint32_t at(const std::vector<std::uint32_t>& pixels, int width, int x, int y) {
    return pixels[static_cast<std::size_t>(y) * width + x];
}

inline Bytes toRgba(const std::vector<std::uint32_t>& argb) {
    Bytes out;
    out.reserve(argb.size() * 4);
    for (std::uint32_t p : argb) {
        out.insert(out.end(), {static_cast<std::uint8_t>(p >> 16), static_cast<std::uint8_t>(p >> 8),
                               static_cast<std::uint8_t>(p), static_cast<std::uint8_t>(p >> 24)});
    }
    return out;
}

// Compares with the reference PNG; each channel may differ by `tolerance`.
inline void expectGolden(const std::string& name, const std::vector<std::uint32_t>& argb, int width,
                         int height, int tolerance = 2) {
    const std::string path = std::string(GRAPHICS_TEST_DATA) + "/golden/" + name + ".png";
    const Bytes actualPng =
        makePngRgba(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height), toRgba(argb));
    if (const char* update = std::getenv("HH_UPDATE_GOLDEN"); update != nullptr && update[0] == '1') {
        ASSERT_TRUE(writeFile(path, actualPng)) << path;
        return;
    }
    const Bytes expectedPng = readFile(path);
    ImageRecord* expected = ReadImageFromMemory(expectedPng.data(), expectedPng.size());
    bool same = expected != nullptr && expected->width == width && expected->height == height &&
                expected->format == IMAGE_FORMAT_RGBA8;
    int worst = 0;
    if (same) {
        const Bytes actual = toRgba(argb);
        for (std::size_t i = 0; i < actual.size(); ++i) {
            worst = std::max(worst, std::abs(int(actual[i]) - int(expected->pixels[i])));
        }
        same = worst <= tolerance;
    }
    if (!same) {
        writeFile(name + ".actual.png", actualPng);
        writeFile(name + ".expected.png", expectedPng);
    }
    FreeImage(expected);
    EXPECT_TRUE(same) << name << ": differs from " << path << " (largest channel difference " << worst
                      << ", tolerance " << tolerance << "); wrote " << name
                      << ".actual.png and .expected.png";
}

// A GlTest working in a fresh temporary folder (removed afterwards) with the platform's file systems
// started and the log collected, for tests that read files through the platform.
class FolderGlTest : public GlTest {
protected:
    explicit FolderGlTest(const char* folderPrefix) : m_prefix(folderPrefix) {}

    void SetUp() override {
        GlTest::SetUp();
        m_previous = std::filesystem::current_path();
        std::string pattern = "/tmp/" + m_prefix + "-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(pattern.data()));
        m_root = pattern;
        std::filesystem::current_path(m_root);
        platform::startFileSystems();
        kdSetLogHook(&FolderGlTest::collect, this);
    }
    void TearDown() override {
        kdSetLogHook(nullptr, nullptr);
        kdUnmountAll();
        std::filesystem::current_path(m_previous);
        std::error_code ignored;
        std::filesystem::remove_all(m_root, ignored);
        GlTest::TearDown();
    }
    static void collect(const KDchar* text, void* self) {
        static_cast<FolderGlTest*>(self)->m_log.emplace_back(text);
    }
    // Whether a collected log line contains `text`.
    bool logged(const std::string& text) const {
        return std::any_of(m_log.begin(), m_log.end(),
                           [&](const std::string& line) { return line.find(text) != std::string::npos; });
    }

    std::string m_prefix;
    std::filesystem::path m_previous;
    std::filesystem::path m_root;
    std::vector<std::string> m_log;
};

// A FolderGlTest with a running System (its resource manager reads from the temporary folder), for tests that
// load resources through the engine.
class SystemGlTest : public FolderGlTest {
protected:
    explicit SystemGlTest(const char* folderPrefix) : FolderGlTest(folderPrefix) {}

    void SetUp() override {
        FolderGlTest::SetUp();
        if (HasFatalFailure()) return;
        ComponentRegistry& registry = ComponentRegistry::instance();
        registerObjectModelClasses(registry);
        registerGraphicsClasses(registry);
        m_system = registry.create(classId(ClassName::System)).query<ISystem>();
        ASSERT_TRUE(m_system);
        ASSERT_TRUE(m_system->Init(&display()));
    }
    void TearDown() override {
        if (m_system) m_system->Shutdown();
        m_system.reset();
        FolderGlTest::TearDown();
    }

    ComponentRef<ISystem> m_system;
};

} // namespace graphics::test
