// Shared fixture of the renderer tests: SDL's offscreen video driver (real OpenGL through Mesa), one
// started Display, and golden-image comparison against reference PNGs in tests/data/golden.
//
// A failed comparison writes "<name>.actual.png" and "<name>.expected.png" into the working folder. Running
// a test with HH_UPDATE_GOLDEN=1 writes the references instead (look at them before committing).
#pragma once

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "component/component_ref.h"
#include "graphics/display.h"
#include "graphics/graphics.h"
#include "graphics/image_record.h"
#include "graphics/render_target.h"
#include "graphics/renderer.h"
#include "graphics/tests/image_fixtures.h"
#include "platform/kd.h"
#include "platform/kd_libraries.h"

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

} // namespace graphics::test
