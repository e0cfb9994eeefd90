// Test support for the tile world's tests and those of the folders above it (not part of the engine): a
// GoogleTest fixture base with one real OpenGL display through SDL's offscreen driver (320 x 240), a scratch
// working folder per test, a script host, a tile set written by the test, drawing into a render target that
// is read back, golden images, and script helpers. Header only: link the `world_testing` target.
//
// A fixture derives from SceneTest, registers its classes in SetUp between enterScratchFolder() and
// startScripts(), loads its tiles with loadTiles(), and calls finishScene() last in TearDown. Golden images
// compare with <goldenFolder()>/<name>.png; a mismatch writes <name>.actual.png into the folder the test was
// started from, and HH_UPDATE_GOLDEN=1 rewrites the references.
#pragma once

#include <SDL.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "binding/binding.h"
#include "component/component_registry.h"
#include "graphics/display.h"
#include "graphics/image_record.h"
#include "graphics/render_target.h"
#include "graphics/renderer.h"
#include "graphics/tile_manager.h"
#include "objects/system.h"
#include "platform/kd.h"
#include "platform/kd_libraries.h"
#include "platform/kd_start.h"
#include "script/script_host.h"

namespace world::test_support {

// What SceneTest::draw clears the target to.
inline constexpr std::uint32_t kBackground = 0xFF202020u;

// One tile of a tile set written by a test: its rectangle around the anchor and its program words.
struct TileDef {
    std::int16_t x, y, w, h;
    std::vector<std::uint16_t> words;
};

// The tile-set file of `tiles`.
inline std::vector<std::uint8_t> encodeTiles(const std::vector<TileDef>& tiles) {
    std::vector<std::uint8_t> out;
    auto put16 = [&](std::uint32_t v) {
        out.push_back(static_cast<std::uint8_t>(v));
        out.push_back(static_cast<std::uint8_t>(v >> 8));
    };
    put16(static_cast<std::uint32_t>(tiles.size()));
    std::uint32_t end = 0;
    for (const TileDef& t : tiles) {
        for (std::int16_t v : {t.x, t.y, t.w, t.h}) {
            put16(static_cast<std::uint16_t>(v));
        }
        end += static_cast<std::uint32_t>(t.words.size());
        put16(end & 0xFFFF);
        put16(end >> 16);
    }
    for (const TileDef& t : tiles) {
        for (std::uint16_t word : t.words) {
            put16(word);
        }
    }
    return out;
}

// ARGB pixels, row by row, as an RGBA PNG file.
inline std::vector<std::uint8_t> pngOf(const std::vector<std::uint32_t>& argb, int width, int height) {
    std::vector<std::uint8_t> raw;
    for (int y = 0; y < height; ++y) {
        raw.push_back(0);
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p = argb[static_cast<std::size_t>(y * width + x)];
            raw.insert(raw.end(),
                       {std::uint8_t(p >> 16), std::uint8_t(p >> 8), std::uint8_t(p), std::uint8_t(p >> 24)});
        }
    }
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    std::vector<std::uint8_t> packed(size);
    compress(packed.data(), &size, raw.data(), static_cast<uLong>(raw.size()));
    packed.resize(size);
    std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    auto be32 = [&png](std::uint32_t n) {
        png.insert(png.end(),
                   {std::uint8_t(n >> 24), std::uint8_t(n >> 16), std::uint8_t(n >> 8), std::uint8_t(n)});
    };
    auto chunk = [&](const char* type, const std::vector<std::uint8_t>& data) {
        be32(static_cast<std::uint32_t>(data.size()));
        std::vector<std::uint8_t> body(type, type + 4);
        body.insert(body.end(), data.begin(), data.end());
        png.insert(png.end(), body.begin(), body.end());
        be32(static_cast<std::uint32_t>(crc32(0, body.data(), static_cast<uInt>(body.size()))));
    };
    const auto w = static_cast<std::uint32_t>(width), h = static_cast<std::uint32_t>(height);
    chunk("IHDR", {std::uint8_t(w >> 24), std::uint8_t(w >> 16), std::uint8_t(w >> 8), std::uint8_t(w),
                   std::uint8_t(h >> 24), std::uint8_t(h >> 16), std::uint8_t(h >> 8), std::uint8_t(h), 8, 6,
                   0, 0, 0});
    chunk("IDAT", packed);
    chunk("IEND", {});
    return png;
}

class SceneTest : public ::testing::Test {
protected:
    static constexpr int kWidth = 320;
    static constexpr int kHeight = 240;

    static void SetUpTestSuite() {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        ASSERT_EQ(0, SDL_InitSubSystem(SDL_INIT_VIDEO)) << SDL_GetError();
        s_display = dynamic_cast<Display*>(createSingleInstance<Display>());
        ASSERT_NE(nullptr, s_display);
        ASSERT_TRUE(s_display->Init(kWidth, kHeight));
        // The OpenGL driver's memory must stay reachable for the leak checker once the video layer stops.
        platform::keepLoadedLibraries();
    }
    static void TearDownTestSuite() {
        s_display->Shutdown();
        s_display->Release();
        s_display = nullptr;
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }

    // Where the reference images are.
    virtual std::string goldenFolder() const = 0;

    // ---- the scene's life
    // A new scratch folder /tmp/<prefix>-XXXXXX as the working folder, and the file systems started.
    void enterScratchFolder(const char* prefix) {
        m_previous = std::filesystem::current_path();
        std::string pattern = std::string("/tmp/") + prefix + "-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(pattern.data()));
        m_root = pattern;
        std::filesystem::current_path(m_root);
        platform::startFileSystems();
    }
    // The script host (after the classes and script APIs are registered), with the log captured.
    void startScripts() {
        const char* arguments[] = {"harborhaven"};
        ScriptHost::create(1, arguments);
        ASSERT_NE(nullptr, ScriptHost::vm());
        kdSetLogHook(&SceneTest::capture, this);
    }
    // The tile manager (made on the first call) loaded with `tiles`, written to tiles.bin.
    bool loadTiles(const std::vector<TileDef>& tiles) {
        if (!m_tiles) {
            m_tiles = ComponentRef<TileManager>::adopt(
                dynamic_cast<TileManager*>(createSingleInstance<TileManager>()));
            if (!m_tiles) {
                return false;
            }
        }
        const auto bytes = encodeTiles(tiles);
        std::ofstream("tiles.bin", std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return m_tiles->LoadFromFile("tiles.bin");
    }
    // `texture` as the tile set's page 0, held for the test.
    void useTexture(ComponentRef<ITexture> texture) {
        m_texture = std::move(texture);
        if (m_tiles) {
            m_tiles->SetTexture(0, m_texture.get());
        }
    }
    // The live System, the tile set, the script host and the scratch folder go, in that order.
    void finishScene() {
        kdSetLogHook(nullptr, nullptr);
        if (System* system = System::live()) {
            system->Shutdown();
        }
        if (m_tiles) {
            m_tiles->Shutdown();
        }
        m_tiles.reset();
        m_texture.reset();
        ScriptHost::destroy();
        kdUnmountAll();
        if (!m_previous.empty()) {
            std::filesystem::current_path(m_previous);
        }
        std::error_code ignored;
        if (!m_root.empty()) {
            std::filesystem::remove_all(m_root, ignored);
        }
    }

    // ---- drawing
    // Draws `body` into a target cleared to kBackground seen through `view`, and reads it back.
    template <class F> std::vector<std::uint32_t> draw(int width, int height, ICamera* view, F&& body) {
        auto target = s_display->CreateRenderTarget(width, height);
        IGraphics* g = target->Begin(view);
        EXPECT_NE(nullptr, g);
        if (g == nullptr) {
            return {};
        }
        g->Clear(kBackground);
        body(*g);
        target->End();
        auto* rt = static_cast<RenderTarget*>(target.get());
        std::vector<std::uint32_t> out(static_cast<std::size_t>(width * height));
        EXPECT_TRUE(Gfx_ReadPixels(rt->deviceTarget(), 0, 0, width, height, out.data()));
        return out;
    }
    static std::uint32_t at(const std::vector<std::uint32_t>& p, int width, int x, int y) {
        return p[static_cast<std::size_t>(y * width + x)];
    }
    // Compares with the reference image `name` (each channel within 2).
    void expectGolden(const std::string& name, const std::vector<std::uint32_t>& argb, int width,
                      int height) {
        const std::string path = goldenFolder() + "/" + name + ".png";
        const auto png = pngOf(argb, width, height);
        auto write = [](const std::string& file, const std::vector<std::uint8_t>& bytes) {
            std::ofstream(file, std::ios::binary)
                .write(reinterpret_cast<const char*>(bytes.data()),
                       static_cast<std::streamsize>(bytes.size()));
        };
        if (const char* update = std::getenv("HH_UPDATE_GOLDEN"); update != nullptr && update[0] == '1') {
            std::filesystem::create_directories(std::filesystem::path(path).parent_path());
            write(path, png);
            return;
        }
        std::ifstream in(path, std::ios::binary);
        const std::vector<std::uint8_t> expected((std::istreambuf_iterator<char>(in)),
                                                 std::istreambuf_iterator<char>());
        ImageRecord* image = ReadImageFromMemory(expected.data(), expected.size());
        bool same = image != nullptr && image->width == width && image->height == height &&
                    image->format == IMAGE_FORMAT_RGBA8;
        int worst = 0;
        for (std::size_t i = 0; same && i < argb.size(); ++i) {
            const std::uint32_t p = argb[i];
            const std::uint8_t actual[4] = {std::uint8_t(p >> 16), std::uint8_t(p >> 8), std::uint8_t(p),
                                            std::uint8_t(p >> 24)};
            for (int c = 0; c < 4; ++c) {
                worst = std::max(worst, std::abs(int(actual[c]) - int(image->pixels[i * 4 + c])));
            }
        }
        same = same && worst <= 2;
        FreeImage(image);
        if (!same) {
            write((m_previous / (name + ".actual.png")).string(), png);
        }
        EXPECT_TRUE(same) << name << " differs from " << path << " (largest difference " << worst << ")";
    }

    // ---- scripts
    ScriptValue run(const std::string& text) {
        return ScriptHost::callClosure(ScriptHost::compileBuffer(text.c_str()));
    }
    // The value of a script expression as text ("<error>" when it fails).
    std::string text(const std::string& expression) {
        run("::textResult <- \"\" + (" + expression + ");");
        const char* result = ScriptHost::getString(ScriptHost::root(), "textResult");
        return result != nullptr ? result : "<error>";
    }
    // `component` as the root slot `name`.
    void share(const char* name, IAbstract* component) {
        pushComponent(ScriptHost::vm(), component);
        ScriptHost::setValue(ScriptHost::root(), name, ScriptValue::fromStack(-1));
        sq_pop(ScriptHost::vm(), 1);
    }
    // The component in the root slot `name`, or null.
    IAbstract* component(const char* name) {
        HSQUIRRELVM v = ScriptHost::vm();
        const SQInteger top = sq_gettop(v);
        ScriptHost::getSlot(ScriptHost::root(), name).push();
        IAbstract* result = componentArgument(v, -1);
        sq_settop(v, top);
        return result;
    }
    // The log lines written since the last call.
    std::string takeLog() { return std::exchange(m_log, std::string()); }

    static inline Display* s_display = nullptr;
    std::filesystem::path m_previous;
    std::filesystem::path m_root;
    ComponentRef<TileManager> m_tiles;
    ComponentRef<ITexture> m_texture;
    std::string m_log;

private:
    static void capture(const KDchar* line, void* self) { static_cast<SceneTest*>(self)->m_log += line; }
};

} // namespace world::test_support
