// The tile set: the checks on tile-set files, drawing tile programs (read back from a render target), hit
// tests on drawn and transparent pixels, frame conditions on the game time, searches, and the script side.
#include <filesystem>

#include "binding/binding.h"
#include "binding/component_class.h"
#include "binding/global_functions.h"
#include "binding/value_binding.h"
#include "graphics/tests/gl_test_support.h"
#include "graphics/tests/tile_set_fixtures.h"
#include "graphics/tile_manager.h"
#include "objects/system.h"
#include "platform/kd_start.h"
#include "script/script_api.h"
#include "script/script_host.h"

// Rectangles compare field by field (found by argument lookup, so outside the unnamed namespace).
inline bool operator==(const Rect& a, const Rect& b) {
    return a.X == b.X && a.Y == b.Y && a.Width == b.Width && a.Height == b.Height;
}

namespace {

using namespace graphics::test;
namespace stdfs = std::filesystem;

constexpr std::uint32_t kRed = 0xFFFF0000u;
constexpr std::uint32_t kGreen = 0xFF00FF00u;
constexpr std::uint32_t kBlue = 0xFF0000FFu;
constexpr std::uint32_t kGrey = 0xFF404040u;

// Tiles of the test set.
enum : int {
    kWhole,    // the 16 x 16 texture: red, green / blue, transparent quadrants
    kSmall,    // its red quadrant, 4 x 4
    kNested,   // small tile at (4, 4), then mirrored (flip) at (-4, 4) -> drawn at (-8, 4)
    kShapes,   // colour, filled rectangle, outline, line
    kAnimated, // four frames of 100 ms, one nested tile each
    kJointed,  // offset (3, -5), joint 7; nested kSmall whose own joint 9 sits at (1, 2)
    kNoFrames, // frame condition with a zero period: the nested tile never shows
    kTileCount
};

std::vector<TileSpec> testTiles() {
    std::vector<TileSpec> t(kTileCount);
    t[kWhole] = {0, 0, 16, 16, sprite(0, 0, 0)};
    t[kSmall] = {0, 0, 4, 4, ops({sprite(0, 0, 0), offset(1, 2), joint(9)})};
    t[kNested] = {0, 0, 12, 8, ops({offset(4, 4), nested(kSmall), flipX(), offset(4, 4), nested(kSmall)})};
    t[kShapes] = {0, 0, 16, 16,
                  ops({colour(0xFFFFFF00u), offset(1, 1), fill(5, 3), colour(0xFF00FFFFu), offset(8, 1),
                       outline(6, 6), colour(0xFFFFFFFFu), offset(1, 10), line(0, 12)})};
    t[kAnimated] = {0, 0, 4, 4,
                    ops({frame(0, 100, 4), nested(kSmall), frame(1, 100, 4), offset(4, 0), nested(kSmall),
                         frame(2, 100, 4), offset(8, 0), nested(kSmall), frame(3, 100, 4), offset(12, 0),
                         nested(kSmall)})};
    t[kJointed] = {0, 0, 4, 4, ops({offset(3, -5), joint(7), nested(kSmall)})};
    t[kNoFrames] = {0, 0, 4, 4, ops({frame(0, 0, 4), nested(kSmall), frame(0, 100, 0), nested(kSmall)})};
    return t;
}

class TileManagerTest : public GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        m_previous = stdfs::current_path();
        char pattern[] = "/tmp/hh-tiles-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(pattern));
        m_root = pattern;
        stdfs::current_path(m_root);
        platform::startFileSystems();
        m_manager =
            ComponentRef<TileManager>::adopt(dynamic_cast<TileManager*>(createSingleInstance<TileManager>()));
        ASSERT_TRUE(m_manager);
        ASSERT_TRUE(load(testTiles()));
        m_texture = quadrantTexture();
        m_manager->SetTexture(0, m_texture.get());
    }
    void TearDown() override {
        m_manager->Shutdown();
        m_manager.reset();
        m_texture.reset();
        kdUnmountAll();
        stdfs::current_path(m_previous);
        std::error_code ignored;
        stdfs::remove_all(m_root, ignored);
        GlTest::TearDown();
    }

    bool load(const std::vector<TileSpec>& tiles) {
        const auto bytes = encodeTileSet(tiles);
        writeFile("tiles.bin", Bytes(bytes.begin(), bytes.end()));
        return m_manager->LoadFromFile("tiles.bin");
    }

    ComponentRef<ITexture> quadrantTexture() {
        ComponentRef<ITexture> texture = display().CreateTexture();
        std::uint32_t* p = texture->Lock(0, 0, 16, 16, false);
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                p[y * 16 + x] = y < 8 ? (x < 8 ? kRed : kGreen) : (x < 8 ? kBlue : 0x00000000u);
            }
        }
        texture->Unlock();
        return texture;
    }

    // Draws into a cleared target and reads it back.
    template <class F> std::vector<std::uint32_t> draw(int width, int height, F&& body) {
        auto target = this->target(width, height);
        IGraphics* g = target->Begin(nullptr);
        EXPECT_NE(nullptr, g);
        if (g == nullptr) {
            return {};
        }
        g->Clear(kGrey);
        body(*g);
        target->End();
        return pixels(*target);
    }

    stdfs::path m_previous;
    stdfs::path m_root;
    ComponentRef<TileManager> m_manager;
    ComponentRef<ITexture> m_texture;
};

TEST_F(TileManagerTest, HostileFilesAreRefusedWithAReason) {
    auto raw = [](std::vector<std::uint8_t> bytes) { return bytes; };
    auto selfNested = testTiles();
    selfNested[kSmall].words = ops({nested(kSmall)});
    auto cycle = testTiles();
    cycle[kSmall].words = ops({nested(kNested)});
    std::vector<TileSpec> deep(20);
    for (int i = 0; i < 19; ++i) {
        deep[i] = {0, 0, 1, 1, nested(i + 1)};
    }
    deep[19] = {0, 0, 1, 1, flipX()};
    // Ten tiles, each drawing the next one 200 times: 200^9 words.
    std::vector<TileSpec> wide(10);
    for (int i = 0; i < 9; ++i) {
        for (int k = 0; k < 200; ++k) {
            wide[i].words.insert(wide[i].words.end(), {TILEOP_Tile, w(i + 1)});
        }
    }
    auto truncated = encodeTileSet(testTiles());
    truncated.resize(truncated.size() - 1);
    auto backwards = encodeTileSet(testTiles());
    backwards[2 + 12 * 1 + 8] = 0; // tile 1 ends before tile 0 does
    auto pastEnd = encodeTileSet(testTiles());
    pastEnd[2 + 12 * (kTileCount - 1) + 10] = 0x7F;

    const struct {
        const char* name;
        std::vector<std::uint8_t> bytes;
        const char* reason;
    } cases[] = {
        {"empty", raw({}), "tile count"},
        {"one byte", raw({1}), "tile count"},
        {"records past the end", raw({2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), "records"},
        {"program past the end", truncated, "past the end"},
        {"end goes backwards", backwards, "backwards"},
        {"huge end", pastEnd, "past the end"},
        {"tile inside itself", encodeTileSet(selfNested), "contains itself"},
        {"two tiles inside each other", encodeTileSet(cycle), "contains itself"},
        {"twenty levels", encodeTileSet(deep), "deeper"},
        {"exponential expansion", encodeTileSet(wide), "too many"},
    };
    for (const auto& c : cases) {
        TileSetData data;
        std::string why;
        EXPECT_FALSE(data.open(c.bytes.data(), c.bytes.size(), &why)) << c.name;
        EXPECT_NE(std::string::npos, why.find(c.reason)) << c.name << ": " << why;
        EXPECT_EQ(0, data.count()) << c.name;
    }
    // A refused file leaves nothing loaded; the sixteen-level limit itself is fine.
    writeFile("bad.bin", Bytes(cases[6].bytes.begin(), cases[6].bytes.end()));
    EXPECT_FALSE(m_manager->LoadFromFile("bad.bin"));
    EXPECT_EQ(0, m_manager->GetTileCount());
    EXPECT_FALSE(m_manager->LoadFromFile("missing.bin"));
    deep.resize(17);
    deep[16] = {0, 0, 1, 1, flipX()};
    const auto ok = encodeTileSet(deep);
    TileSetData data;
    EXPECT_TRUE(data.open(ok.data(), ok.size()));
    EXPECT_EQ(17, data.count());
}

TEST_F(TileManagerTest, TilesAndSlotsOutsideTheSetAreNoTile) {
    for (int tile : {-1, int(kTileCount), 32767, -32768}) {
        EXPECT_EQ(Rect(0, 0, 0, 0), m_manager->GetRect(tile, 0)) << tile;
        EXPECT_FALSE(m_manager->HitTest(tile, 0, 0, 0)) << tile;
        EXPECT_EQ(-1, m_manager->GetTextureIndex(tile)) << tile;
        EXPECT_TRUE(m_manager->GetFragments(tile, 0).empty()) << tile;
        EXPECT_EQ(0.0f, m_manager->GetJointPosition(tile, 7).x) << tile;
    }
    for (int slot : {-1, 1024, 70000}) {
        EXPECT_EQ(nullptr, m_manager->GetTexture(slot));
        m_manager->SetTexture(slot, m_texture.get()); // ignored
    }
    const auto out = draw(8, 8, [&](IGraphics& g) { m_manager->Render(&g, kTileCount + 3, 0, 0, 0); });
    EXPECT_EQ(kGrey, at(out, 8, 4, 4));
}

TEST_F(TileManagerTest, RectanglesUnderFlips) {
    ASSERT_TRUE(load({{2, 3, 10, 4, {}}}));
    EXPECT_EQ(Rect(2, 3, 10, 4), m_manager->GetRect(0, 0));
    EXPECT_EQ(Rect(-11, 3, 10, 4), m_manager->GetRect(0, TILEFLAG_FlipX));
    EXPECT_EQ(Rect(2, -6, 10, 4), m_manager->GetRect(0, TILEFLAG_FlipY));
    EXPECT_EQ(Rect(-11, -6, 10, 4), m_manager->GetRect(0, TILEFLAG_FlipX | TILEFLAG_FlipY));
}

// One picture: plain, mirrored, flipped, clipped and highlighted sprites, nested tiles and the shape
// operations.
TEST_F(TileManagerTest, DrawsProgramsFlippedClippedAndHighlighted) {
    const auto out = draw(64, 48, [&](IGraphics& g) {
        m_manager->Render(&g, kWhole, 2, 2, 0);
        m_manager->Render(&g, kWhole, 22, 2, TILEFLAG_FlipX);
        m_manager->Render(&g, kWhole, 42, 2, TILEFLAG_FlipY);
        const RectF clip(2, 26, 12, 6);
        m_manager->SetSpriteClip(&clip);
        m_manager->Render(&g, kWhole, 2, 22, 0);
        m_manager->SetSpriteClip(nullptr);
        m_manager->SetHighlightBlendMode(BLEND_COLORADD | BLEND_ALPHABLEND);
        m_manager->SetHighlightColor(0xFF606060u);
        m_manager->Render(&g, kWhole, 22, 22, TILEFLAG_Highlight);
        g.SetColor(0xFFFFFFFFu);
        m_manager->Render(&g, kNested, 50, 22, 0);
        m_manager->Render(&g, kShapes, 40, 30, 0);
    });
    expectGolden("tile_programs", out, 64, 48);
    // Plain: red top-left; mirrored: green top-left; flipped: blue top-left.
    EXPECT_EQ(kRed, at(out, 64, 3, 3));
    EXPECT_EQ(kGreen, at(out, 64, 23, 3));
    EXPECT_EQ(kBlue, at(out, 64, 43, 3));
    EXPECT_EQ(kGrey, at(out, 64, 45 + 8, 3)); // the transparent quadrant, flipped to the top right
    // Clipped to rows 26..31 and columns 2..13: the sprite keeps its place in the texture.
    EXPECT_EQ(kGrey, at(out, 64, 3, 25));
    EXPECT_EQ(kRed, at(out, 64, 3, 26));
    EXPECT_EQ(kBlue, at(out, 64, 3, 31));
    EXPECT_EQ(kGrey, at(out, 64, 3, 32));
    EXPECT_EQ(kGrey, at(out, 64, 14, 27));
    // Highlighted: the red quadrant brightened by the added highlight colour.
    EXPECT_EQ(0xFFFF6060u, at(out, 64, 23, 23));
    // Nested: the small tile at (54, 26) and mirrored at (46, 26).
    EXPECT_EQ(kRed, at(out, 64, 55, 27));
    EXPECT_EQ(kRed, at(out, 64, 47, 27));
    EXPECT_EQ(kGrey, at(out, 64, 51, 27));
    // Shapes: yellow fill, cyan outline, white line.
    EXPECT_EQ(0xFFFFFF00u, at(out, 64, 42, 32));
    EXPECT_TRUE(at(out, 64, 45, 39) == 0xFFFFFFFFu || at(out, 64, 45, 40) == 0xFFFFFFFFu);
}

TEST_F(TileManagerTest, CulledOutsideTheClipBeforeTheProgramRuns) {
    Gfx_ResetDrawCallCount();
    const auto out = draw(32, 32, [&](IGraphics& g) {
        g.SetClip(Rect(0, 0, 16, 16));
        for (int i = 0; i < 50; ++i) {
            m_manager->Render(&g, kWhole, 16, 0, 0); // right of the clip
            m_manager->Render(&g, kWhole, -16, 0, 0);
            m_manager->Render(&g, kWhole, 0, 16, 0);
        }
        m_manager->Render(&g, kWhole, 0, 0, 0);
    });
    EXPECT_EQ(1u, Gfx_PrimitiveCount());
    EXPECT_EQ(kRed, at(out, 32, 1, 1));
}

TEST_F(TileManagerTest, HitTestsReadTheDrawnPixel) {
    EXPECT_TRUE(m_manager->HitTest(kWhole, 1, 1, 0));    // red
    EXPECT_TRUE(m_manager->HitTest(kWhole, 3, 12, 0));   // blue
    EXPECT_FALSE(m_manager->HitTest(kWhole, 12, 12, 0)); // transparent
    EXPECT_FALSE(m_manager->HitTest(kWhole, 16, 1, 0));  // outside the rectangle
    EXPECT_FALSE(m_manager->HitTest(kWhole, -1, 1, 0));
    // While a frame is open no pixel can be read: the rectangle answers, quietly.
    auto screen = target(8, 8);
    ASSERT_NE(nullptr, screen->Begin(nullptr));
    EXPECT_TRUE(m_manager->HitTest(kWhole, 12, 12, 0));
    screen->End();
    EXPECT_FALSE(m_manager->HitTest(kWhole, 12, 12, 0));
}

TEST_F(TileManagerTest, FrameConditionsFollowTheGameTime) {
    ComponentRef<System> system =
        ComponentRef<System>::adopt(dynamic_cast<System*>(createSingleInstance<System>()));
    ASSERT_TRUE(system);
    system->resetTimeAt(0);
    for (int step = 0; step < 8; ++step) {
        const int time = system->GetTime();
        const auto out = draw(16, 4, [&](IGraphics& g) {
            g.SetColor(0xFFFFFFFFu);
            m_manager->Render(&g, kAnimated, 0, 0, 0);
            m_manager->Render(&g, kNoFrames, 0, 0, 0);
        });
        const int shown = (time / 100) % 4;
        for (int frame = 0; frame < 4; ++frame) {
            EXPECT_EQ(frame == shown ? kRed : kGrey, at(out, 16, frame * 4 + 1, 1))
                << "time " << time << " frame " << frame;
        }
        system->updateFrameAt(static_cast<KDust>(step + 1) * 60'000'000u);
    }
    system->Shutdown();
}

TEST_F(TileManagerTest, FragmentsJointsAndTextureIndex) {
    const auto fragments = m_manager->GetFragments(kNested, 0);
    ASSERT_EQ(2u, fragments.size());
    EXPECT_EQ(kSmall, fragments[0].tile);
    EXPECT_EQ(4, fragments[0].x);
    EXPECT_EQ(-4, fragments[1].x);
    EXPECT_EQ(4, fragments[1].y);
    const auto mirrored = m_manager->GetFragments(kNested, TILEFLAG_FlipX);
    EXPECT_EQ(-4, mirrored[0].x);
    EXPECT_EQ(4, mirrored[1].x);

    Vector2 at;
    EXPECT_TRUE(m_manager->FindMarker(kJointed, 7, at, 0));
    EXPECT_EQ(3.0f, at.x);
    EXPECT_EQ(-5.0f, at.y);
    EXPECT_TRUE(m_manager->FindMarker(kJointed, 7, at, TILEFLAG_FlipX | TILEFLAG_FlipY));
    EXPECT_EQ(-3.0f, at.x);
    EXPECT_EQ(5.0f, at.y);
    EXPECT_EQ(1.0f, m_manager->GetJointPosition(kJointed, 9).x); // found in the nested tile
    EXPECT_EQ(2.0f, m_manager->GetJointPosition(kJointed, 9).y);
    EXPECT_EQ(0.0f, m_manager->GetJointPosition(kJointed, 8).x);
    EXPECT_EQ(0.0f, m_manager->GetJointPosition(kJointed, 8).y);

    EXPECT_EQ(0, m_manager->GetTextureIndex(kWhole));
    EXPECT_EQ(0, m_manager->GetTextureIndex(kNested)); // through the nested tile
    EXPECT_EQ(-1, m_manager->GetTextureIndex(kShapes));
    ASSERT_TRUE(load({{0, 0, 1, 1, sprite(1023, 0, 0)}, {0, 0, 1, 1, sprite(300, 0, 0)}}));
    EXPECT_EQ(1023, m_manager->GetTextureIndex(0));
    EXPECT_EQ(300, m_manager->GetTextureIndex(1));
}

// Operands that run past a tile's end are not read: the walk stops.
TEST_F(TileManagerTest, ProgramsCutShortStopAtTheirEnd) {
    ASSERT_TRUE(load({{0, 0, 4, 4, {tileSpriteWord(0), 0}}, {0, 0, 4, 4, {TILEOP_Tile}}}));
    const auto out = draw(4, 4, [&](IGraphics& g) {
        m_manager->Render(&g, 0, 0, 0, 0);
        m_manager->Render(&g, 1, 0, 0, 0);
    });
    EXPECT_EQ(kGrey, at(out, 4, 1, 1));
    EXPECT_EQ(-1, m_manager->GetTextureIndex(0));
    EXPECT_TRUE(m_manager->GetFragments(1, 0).empty());
}

class TileManagerScriptTest : public TileManagerTest {
protected:
    void SetUp() override {
        TileManagerTest::SetUp();
        registerBindingScriptApi(ScriptApi::instance());
        const char* arguments[] = {"harborhaven"};
        ScriptHost::create(1, arguments);
        ASSERT_NE(nullptr, ScriptHost::vm());
    }
    void TearDown() override {
        m_manager->Shutdown();
        ScriptHost::destroy();
        TileManagerTest::TearDown();
    }
    void share(const char* name, IAbstract* component) {
        pushComponent(ScriptHost::vm(), component);
        ScriptHost::setValue(ScriptHost::root(), name, ScriptValue::fromStack(-1));
        sq_pop(ScriptHost::vm(), 1);
    }
    std::string eval(const std::string& expression) {
        ScriptValue result = ScriptHost::callClosure(ScriptHost::compileBuffer(
            ("local r = (" + expression + "); return r == null ? \"null\" : \"\" + r;").c_str()));
        if (result.type() != OT_STRING) {
            return "<error>";
        }
        const SQChar* text = nullptr;
        sq_pushobject(ScriptHost::vm(), result.object());
        sq_getstring(ScriptHost::vm(), -1, &text);
        std::string copy = text;
        sq_pop(ScriptHost::vm(), 1);
        return copy;
    }
};

TEST_F(TileManagerScriptTest, TexturesLoadLazilyThroughTheScriptAndMethodsAnswer) {
    m_manager->SetTexture(0, nullptr);
    share("tiles", m_manager.get());
    share("texture", m_texture.get());
    ScriptHost::callClosure(
        ScriptHost::compileBuffer("asked <- [];\n"
                                  "function join(a) {\n"
                                  "  local s = \"\";\n"
                                  "  foreach (i, x in a) s += (i > 0 ? \",\" : \"\") + x;\n"
                                  "  return s;\n"
                                  "}\n"));
    // The script object answers slot 0 with the texture and every other slot with nothing.
    ScriptValue object = ScriptHost::callClosure(
        ScriptHost::compileBuffer("return { function LoadTexture(slot) { ::asked.append(slot); return slot "
                                  "== 0 ? ::texture : null; } };"));
    ASSERT_TRUE(m_manager->LoadFromScript(object));
    EXPECT_EQ("0", eval("asked.len()"));
    EXPECT_EQ(m_texture.get(), m_manager->GetTexture(0));
    EXPECT_EQ(m_texture.get(), m_manager->GetTexture(0)); // kept: asked once
    EXPECT_EQ(nullptr, m_manager->GetTexture(5));
    EXPECT_EQ(nullptr, m_manager->GetTexture(5)); // nothing kept: asked again
    EXPECT_EQ("0,5,5", eval("join(asked)"));

    EXPECT_EQ("Rect(-15, 0, 16, 16)", eval("tiles.GetRect(" + std::to_string(kWhole) + ", 1)"));
    EXPECT_EQ("false", eval("tiles.HitTest(" + std::to_string(kWhole) + ", 12, 12, 0)"));
    EXPECT_EQ("true", eval("tiles.HitTest(" + std::to_string(kWhole) + ", 1, 1, 0)"));
    EXPECT_EQ("0", eval("tiles.GetTextureIndex(" + std::to_string(kNested) + ")"));
    EXPECT_EQ("1,4,4,1,-4,4", eval("join(tiles.GetFragments(" + std::to_string(kNested) + ", 0))"));
    EXPECT_EQ("Vector2(3.000000, -5.000000)",
              eval("tiles.GetJointPosition(" + std::to_string(kJointed) + ", 7)"));
    EXPECT_EQ("null", eval("tiles.GetTexture(4000)"));
    EXPECT_EQ("null", eval("tiles.ResetTextureUsage()"));
    EXPECT_EQ("null", eval("tiles.SetHighlightColor(0xFF00FF00)"));
    ScriptHost::callClosure(ScriptHost::compileBuffer("delete ::tiles; delete ::texture;"));
}

} // namespace
