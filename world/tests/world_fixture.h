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
// Golden images compare with tests/data/golden/<name>.png (the display, drawing, golden images and script
// helpers come from world/testing/scene_test.h).
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "binding/binding.h"
#include "binding/component_class.h"
#include "binding/global_functions.h"
#include "binding/value_binding.h"
#include "component/component_registry.h"
#include "component/stream_interfaces.h"
#include "graphics/graphics_classes.h"
#include "graphics/tile_manager.h"
#include "graphics/tile_set.h"
#include "objects/camera.h"
#include "persistence/persistence_classes.h"
#include "script/script_api.h"
#include "world/testing/scene_test.h"
#include "world/world_classes.h"

namespace world::test {

enum : int { kGround, kTree, kPerson, kBack, kWide, kTileCount };

constexpr std::uint32_t kGreen = 0xFF30A040u;
constexpr std::uint32_t kYellow = 0xFFE0C020u;
constexpr std::uint32_t kRed = 0xFFD02020u;
constexpr std::uint32_t kBlue = 0xFF2050A0u;
constexpr std::uint32_t kWhite = 0xFFFFFFFFu;
constexpr std::uint32_t kMagenta = 0xFFC040C0u;
constexpr std::uint32_t kClear = world::test_support::kBackground;

using Words = std::vector<std::uint16_t>;
using world::test_support::TileDef;

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

// Bytes in memory as a stream; `tellsLength` says whether Available answers.
class MemoryStream final : public IInputStream, public IOutputStream {
public:
    explicit MemoryStream(std::vector<std::uint8_t> bytes = {}, bool tellsLength = true)
        : m_bytes(std::move(bytes)), m_tells(tellsLength) {}
    void* QueryInterface(InterfaceId id) override {
        return queryAmong<IInputStream, IOutputStream>(this, id);
    }
    std::int32_t Read(void* buffer, std::int32_t count) override {
        const auto n =
            static_cast<std::int32_t>(std::min<std::size_t>(std::size_t(count), m_bytes.size() - m_at));
        if (buffer != nullptr && n > 0) {
            std::memcpy(buffer, m_bytes.data() + m_at, static_cast<std::size_t>(n));
        }
        m_at += static_cast<std::size_t>(n);
        return n;
    }
    std::int64_t Available() override { return m_tells ? std::int64_t(m_bytes.size() - m_at) : -1; }
    std::int32_t Write(const void* buffer, std::int32_t count) override {
        const auto* p = static_cast<const std::uint8_t*>(buffer);
        m_bytes.insert(m_bytes.end(), p, p + count);
        return count;
    }
    const std::vector<std::uint8_t>& bytes() const { return m_bytes; }

private:
    std::vector<std::uint8_t> m_bytes;
    std::size_t m_at = 0;
    bool m_tells;
};

inline ComponentRef<MemoryStream> memory(std::vector<std::uint8_t> bytes = {}, bool tellsLength = true) {
    return ComponentRef<MemoryStream>::adopt(new MemoryStream(std::move(bytes), tellsLength));
}

template <class T, class... A> ComponentRef<T> make(A&&... a) {
    return ComponentRef<T>::adopt(new T(std::forward<A>(a)...));
}

class WorldTest : public world::test_support::SceneTest {
protected:
    void SetUp() override {
        enterScratchFolder("hh-world");
        ComponentRegistry& registry = ComponentRegistry::instance();
        registerObjectModelClasses(registry);
        registerGraphicsClasses(registry);
        registerPersistenceClasses(registry);
        registerWorldClasses(registry);
        registerBindingScriptApi(ScriptApi::instance());
        registerObjectModelScriptApi(ScriptApi::instance());
        registerPersistenceScriptApi(ScriptApi::instance());
        startScripts();
        ASSERT_TRUE(loadTiles(worldTiles()));
        useTexture(makeTexture());
    }
    void TearDown() override { finishScene(); }
    std::string goldenFolder() const override { return std::string(WORLD_TEST_DATA) + "/golden"; }

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
};

} // namespace world::test
