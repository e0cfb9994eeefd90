// The tile world's test bench: real OpenGL through SDL's offscreen driver (one Display), a script host with
// the Component class, value classes and global functions (the stream functions included), the registry with
// the object-model, persistence, graphics and world classes, and a small tile set written by the test with
// its texture drawn in code:
//
//   0 ground  16 x 16 green square, anchor at its centre
//   1 tree    16 x 16 yellow square, anchor at its bottom middle
//   2 person  16 x 16 red disc on transparent pixels, anchor at its bottom middle; joint 1 at (0, -12)
//   3 back    32 x 32 blue with a white stripe at its left edge (the back tile)
//   4 wide    a 300 x 8 magenta bar, anchor at its left end (spans buckets)
//
// Golden images compare with tests/data/golden/<name>.png; a mismatch writes <name>.actual.png beside the
// test's working folder and HH_UPDATE_GOLDEN=1 rewrites the references.
#pragma once

#include <SDL.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "binding/binding.h"
#include "binding/component_class.h"
#include "binding/global_functions.h"
#include "binding/value_binding.h"
#include "component/component_registry.h"
#include "graphics/display.h"
#include "graphics/graphics_classes.h"
#include "graphics/image_record.h"
#include "graphics/render_target.h"
#include "graphics/renderer.h"
#include "graphics/tile_manager.h"
#include "graphics/tile_set.h"
#include "objects/camera.h"
#include "objects/system.h"
#include "persistence/persistence_classes.h"
#include "platform/kd.h"
#include "platform/kd_libraries.h"
#include "platform/kd_start.h"
#include "script/script_api.h"
#include "script/script_host.h"
#include "world/world_classes.h"

namespace world::test {

enum : int { kGround, kTree, kPerson, kBack, kWide, kTileCount };

constexpr std::uint32_t kGreen = 0xFF30A040u;
constexpr std::uint32_t kYellow = 0xFFE0C020u;
constexpr std::uint32_t kRed = 0xFFD02020u;
constexpr std::uint32_t kBlue = 0xFF2050A0u;
constexpr std::uint32_t kWhite = 0xFFFFFFFFu;
constexpr std::uint32_t kMagenta = 0xFFC040C0u;
constexpr std::uint32_t kClear = 0xFF202020u;

using Words = std::vector<std::uint16_t>;

struct TileDef {
    std::int16_t x, y, w, h;
    Words words;
};

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
        for (std::uint16_t w : t.words) {
            put16(w);
        }
    }
    return out;
}

inline std::vector<TileDef> worldTiles() {
    const auto s = [](int v) { return static_cast<std::uint16_t>(v); };
    return {
        {-8, -8, 16, 16, {tileSpriteWord(0), 0, 0}},
        {-8, -16, 16, 16, {tileSpriteWord(0), 16, 0}},
        {-8, -16, 16, 16, {tileSpriteWord(0), 32, 0, TILEOP_Offset, 0, s(-12), TILEOP_Joint, 1}},
        {0, 0, 32, 32, {tileSpriteWord(0), 0, 16}},
        {0,
         -4,
         300,
         8,
         {TILEOP_Color, s(int(kMagenta >> 16)), s(int(kMagenta & 0xFFFF)), TILEOP_Offset, 0, s(-4),
          TILEOP_FillRect, 300, 8}},
    };
}

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
    auto chunk = [&](const char* type, const std::vector<std::uint8_t>& data) {
        const std::uint32_t n = static_cast<std::uint32_t>(data.size());
        png.insert(png.end(),
                   {std::uint8_t(n >> 24), std::uint8_t(n >> 16), std::uint8_t(n >> 8), std::uint8_t(n)});
        std::vector<std::uint8_t> body(type, type + 4);
        body.insert(body.end(), data.begin(), data.end());
        png.insert(png.end(), body.begin(), body.end());
        const std::uint32_t crc =
            static_cast<std::uint32_t>(crc32(0, body.data(), static_cast<uInt>(body.size())));
        png.insert(png.end(), {std::uint8_t(crc >> 24), std::uint8_t(crc >> 16), std::uint8_t(crc >> 8),
                               std::uint8_t(crc)});
    };
    const auto w = static_cast<std::uint32_t>(width), h = static_cast<std::uint32_t>(height);
    chunk("IHDR", {std::uint8_t(w >> 24), std::uint8_t(w >> 16), std::uint8_t(w >> 8), std::uint8_t(w),
                   std::uint8_t(h >> 24), std::uint8_t(h >> 16), std::uint8_t(h >> 8), std::uint8_t(h), 8, 6,
                   0, 0, 0});
    chunk("IDAT", packed);
    chunk("IEND", {});
    return png;
}

class WorldTest : public ::testing::Test {
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

    void SetUp() override {
        m_previous = std::filesystem::current_path();
        char pattern[] = "/tmp/hh-world-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(pattern));
        m_root = pattern;
        std::filesystem::current_path(m_root);
        platform::startFileSystems();
        ComponentRegistry& registry = ComponentRegistry::instance();
        registerObjectModelClasses(registry);
        registerGraphicsClasses(registry);
        registerPersistenceClasses(registry);
        registerWorldClasses(registry);
        registerBindingScriptApi(ScriptApi::instance());
        registerObjectModelScriptApi(ScriptApi::instance());
        registerPersistenceScriptApi(ScriptApi::instance());
        const char* arguments[] = {"harborhaven"};
        ScriptHost::create(1, arguments);
        HSQUIRRELVM v = ScriptHost::vm();
        ASSERT_NE(nullptr, v);
        kdSetLogHook(&WorldTest::capture, this);

        m_tiles =
            ComponentRef<TileManager>::adopt(dynamic_cast<TileManager*>(createSingleInstance<TileManager>()));
        ASSERT_TRUE(m_tiles);
        ASSERT_TRUE(loadTiles(worldTiles()));
        m_texture = makeTexture();
        m_tiles->SetTexture(0, m_texture.get());
    }
    void TearDown() override {
        kdSetLogHook(nullptr, nullptr);
        if (System* system = System::live()) {
            system->Shutdown();
        }
        m_tiles->Shutdown();
        m_tiles.reset();
        m_texture.reset();
        ScriptHost::destroy();
        kdUnmountAll();
        std::filesystem::current_path(m_previous);
        std::error_code ignored;
        std::filesystem::remove_all(m_root, ignored);
    }

    bool loadTiles(const std::vector<TileDef>& tiles) {
        const auto bytes = encodeTiles(tiles);
        std::ofstream("tiles.bin", std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return m_tiles->LoadFromFile("tiles.bin");
    }

    static ComponentRef<ITexture> makeTexture() {
        ComponentRef<ITexture> texture = s_display->CreateTexture();
        std::uint32_t* p = texture->Lock(0, 0, 64, 48, false);
        for (int y = 0; y < 48; ++y) {
            for (int x = 0; x < 64; ++x) {
                std::uint32_t c = 0;
                if (y < 16 && x < 16) {
                    c = kGreen;
                } else if (y < 16 && x < 32) {
                    c = kYellow;
                } else if (y < 16 && x < 48) {
                    const int dx = 2 * (x - 40) + 1, dy = 2 * y - 15;
                    c = dx * dx + dy * dy <= 14 * 14 ? kRed : 0u;
                } else if (y >= 16 && x < 32) {
                    c = x < 4 ? kWhite : kBlue;
                }
                p[y * 64 + x] = c;
            }
        }
        texture->Unlock();
        return texture;
    }

    // A camera looking at `at` (world = screen here) with a zoom: 2 shows twice as much.
    ComponentRef<Camera> camera(float x, float y, float zoom = 1.0f) {
        auto c = ComponentRef<Camera>::adopt(new Camera);
        c->SetPosition(Matrix3({zoom, 0.0f}, {0.0f, zoom}, {x, y}));
        return c;
    }

    // Draws `body` into a cleared target seen through `view`, and reads it back.
    template <class F> std::vector<std::uint32_t> draw(int width, int height, ICamera* view, F&& body) {
        auto target = s_display->CreateRenderTarget(width, height);
        IGraphics* g = target->Begin(view);
        EXPECT_NE(nullptr, g);
        if (g == nullptr) {
            return {};
        }
        g->Clear(kClear);
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

    void expectGolden(const std::string& name, const std::vector<std::uint32_t>& argb, int width,
                      int height) {
        const std::string path = std::string(WORLD_TEST_DATA) + "/golden/" + name + ".png";
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

    // Scripts.
    ScriptValue run(const std::string& text) {
        return ScriptHost::callClosure(ScriptHost::compileBuffer(text.c_str()));
    }
    std::string text(const std::string& expression) {
        run("::textResult <- \"\" + (" + expression + ");");
        const char* result = ScriptHost::getString(ScriptHost::root(), "textResult");
        return result != nullptr ? result : "<error>";
    }
    void share(const char* name, IAbstract* component) {
        pushComponent(ScriptHost::vm(), component);
        ScriptHost::setValue(ScriptHost::root(), name, ScriptValue::fromStack(-1));
        sq_pop(ScriptHost::vm(), 1);
    }
    IAbstract* component(const char* name) {
        HSQUIRRELVM v = ScriptHost::vm();
        const SQInteger top = sq_gettop(v);
        ScriptHost::getSlot(ScriptHost::root(), name).push();
        IAbstract* result = componentArgument(v, -1);
        sq_settop(v, top);
        return result;
    }
    static void capture(const KDchar* line, void* self) { static_cast<WorldTest*>(self)->m_log += line; }
    std::string takeLog() { return std::exchange(m_log, std::string()); }

    static inline Display* s_display = nullptr;
    std::filesystem::path m_previous;
    std::filesystem::path m_root;
    ComponentRef<TileManager> m_tiles;
    ComponentRef<ITexture> m_texture;
    std::string m_log;
};

} // namespace world::test
