// The drawing layer's global functions: cursor requests, nine-part frames and tiled fills drawn with a small
// stand-in tile set, and decodeUTF8.
#include "binding/component_class.h"
#include "binding/value_binding.h"
#include "component/class_names.h"
#include "component/component_factory.h"
#include "component/component_registry.h"
#include "graphics/graphics_classes.h"
#include "graphics/graphics_functions.h"
#include "graphics/tests/gl_test_support.h"
#include "platform/kd_window.h"
#include "script/script_host.h"

namespace {

using namespace graphics::test;

// Tiles 0...8 are 8 x 8 squares of distinct colours drawn with a dark edge on their left column, authored as
// a frame's parts are: edges and corners lie outside the point they are drawn at (negative offsets on the
// top and left). Tile 20 has no size; anything else is no tile. Counts what it draws.
class StandInTiles final : public ITileManager {
public:
    void* QueryInterface(InterfaceId id) override { return queryAmong<ITileManager>(this, id); }
    Rect GetRect(std::int32_t tile, std::int32_t) override {
        static const std::int32_t offsets[9][2] = {{-8, -8}, {0, -8}, {0, -8}, {-8, 0}, {0, 0},
                                                   {0, 0},   {-8, 0}, {0, 0},  {0, 0}};
        if (tile >= 0 && tile <= 8) return Rect(offsets[tile][0], offsets[tile][1], 8, 8);
        return Rect(0, 0, 0, 0);
    }
    bool FindMarker(std::int32_t, std::int32_t, Vector2&, std::int32_t) override { return false; }
    void Render(IGraphics* g, std::int32_t tile, float x, float y, std::int32_t) override {
        ++s_rendered;
        if (tile < 0 || tile > 8) return;
        static const std::uint32_t colours[9] = {0xFFE04040, 0xFFE0A040, 0xFFE0E040, 0xFF40E040, 0xFF40A0A0,
                                                 0xFF4040E0, 0xFFA040E0, 0xFFE040A0, 0xFFFFFFFF};
        const Rect r = GetRect(tile, 0);
        const std::uint32_t saved = g->GetColor();
        g->SetColor(colours[tile]);
        g->FillRect(x + r.X, y + r.Y, 8, 8);
        g->SetColor(0xFF202020);
        g->FillRect(x + r.X, y + r.Y, 1, 8);
        g->SetColor(saved);
    }
    bool HitTest(std::int32_t, std::int32_t, std::int32_t, std::int32_t) override { return false; }
    std::int32_t GetTextureIndex(std::int32_t) override { return -1; }
    std::vector<TileFragment> GetFragments(std::int32_t, std::int32_t) override { return {}; }
    ITexture* GetTexture(std::int32_t) override { return nullptr; }
    void SetTexture(std::int32_t, ITexture*) override {}

    static inline int s_rendered = 0;
};

class GraphicsFunctionsTest : public GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        registerGraphicsClasses(ComponentRegistry::instance()); // setCursor finds the display by class name
        ComponentRegistry::instance().provideFactory(classId(ClassName::TileManager),
                                                     &createComponent<StandInTiles>);
        StandInTiles::s_rendered = 0;
        const char* arguments[] = {"harborhaven"};
        ScriptHost::create(1, arguments);
        if (ScriptHost::getSlot(ScriptHost::root(), "Component").isNull()) {
            ASSERT_TRUE(registerComponentClass(ScriptHost::vm()));
            ASSERT_TRUE(registerValueClasses(ScriptHost::vm()));
        }
        registerGraphicsFunctions(ScriptHost::vm());
        resetCursorRequests();
    }
    void TearDown() override {
        ScriptHost::destroy();
        GlTest::TearDown();
    }
    bool holds(const std::string& expression) {
        ScriptValue value =
            ScriptHost::callClosure(ScriptHost::compileBuffer(("return " + expression).c_str()));
        return value.type() == OT_BOOL &&
               ScriptHost::getInt(ScriptHost::callClosure(ScriptHost::compileBuffer(
                                      ("return { v = (" + expression + ") ? 1 : 0 };").c_str())),
                                  "v") == 1;
    }
    // Runs `script` with ::g the drawing context of a fresh 48 x 40 frame cleared to black.
    std::vector<std::uint32_t> draw(const std::string& script, int width = 48, int height = 40) {
        auto out = target(width, height);
        IGraphics* g = out->Begin(nullptr);
        g->Clear(0xFF000000u);
        pushComponent(ScriptHost::vm(), g);
        ScriptHost::setValue(ScriptHost::root(), "g", ScriptValue::fromStack(-1));
        sq_pop(ScriptHost::vm(), 1);
        ScriptHost::callClosure(ScriptHost::compileBuffer(script.c_str()));
        ScriptHost::callClosure(ScriptHost::compileBuffer("delete ::g;"));
        out->End();
        return pixels(*out);
    }
    static std::int32_t windowCursor() {
        KDint32 id = -1;
        kdGetWindowPropertyiv(s_display->GetWindow(), KD_WINDOWPROPERTY_CURSOR, &id);
        return id;
    }
};

TEST_F(GraphicsFunctionsTest, TheHighestEnabledCursorWins) {
    holds("enableCursor(101, true) == null");
    EXPECT_EQ(101, windowCursor());
    holds("enableCursor(104, true) == null");
    EXPECT_EQ(104, windowCursor());
    holds("enableCursor(104, false) == null");
    EXPECT_EQ(101, windowCursor());
    holds("enableCursor(101, false) == null");
    EXPECT_EQ(-1, enabledCursor());
    EXPECT_EQ(101, windowCursor());   // none enabled: left as it is
    holds("setCursor(9999) == null"); // no picture: the system arrow, the id remembered
    EXPECT_EQ(9999, windowCursor());
}

TEST_F(GraphicsFunctionsTest, RenderFrameGolden) {
    const auto px = draw("renderFrame(g, Rect(4, 4, 41, 31), [0, 1, 2, 3, 4, 5, 6, 7, 8], 0xFFFFFFFF);");
    expectGolden("render_frame", px, 48, 40);
    // The same with the nine tiles given one by one.
    EXPECT_EQ(px, draw("renderFrame(g, Rect(4, 4, 41, 31), 0, 1, 2, 3, 4, 5, 6, 7, 8, 0xFFFFFFFF);"));
}

TEST_F(GraphicsFunctionsTest, RenderFrameEdgeCases) {
    // Exactly as wide as the two side edges: no centre and no top or bottom edge tiles.
    draw("renderFrame(g, Rect(0, 0, 16, 24), [0, 1, 2, 3, 4, 5, 6, 7, 8], 0xFFFFFFFF);");
    EXPECT_EQ(4 + 2, StandInTiles::s_rendered); // four corners and one left, one right edge tile
    // Tiles of no size, too few tiles, or no drawing context: nothing loops, nothing breaks.
    StandInTiles::s_rendered = 0;
    draw("renderFrame(g, Rect(0, 0, 40, 30), [20, 20, 20, 20, 20, 20, 20, 20, 20], 0xFFFFFFFF);"
         "renderFrame(g, Rect(0, 0, 40, 30), [0, 1, 2], 0xFFFFFFFF);"
         "renderFrame(null, Rect(0, 0, 40, 30), [0, 1, 2, 3, 4, 5, 6, 7, 8], 0xFFFFFFFF);");
    EXPECT_EQ(4, StandInTiles::s_rendered); // the zero-size frame's corners only
}

TEST_F(GraphicsFunctionsTest, FillRectByTileFollowsItsOffset) {
    const auto plain = draw("fillRectByTile(g, Rect(0, 0, 48, 40), 1, 2, Vector2(0, 0), false);");
    expectGolden("fill_rect_by_tile", plain, 48, 40);
    // A whole step (tile 8 + spacing 2) gives the same picture; -5 shifts the pattern 5 pixels right.
    EXPECT_EQ(plain, draw("fillRectByTile(g, Rect(0, 0, 48, 40), 1, 2, Vector2(10, -20), false);"));
    const auto shifted = draw("fillRectByTile(g, Rect(0, 0, 48, 40), 1, 2, Vector2(-5, 0), false);");
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x + 5 < 48; ++x) {
            ASSERT_EQ(at(plain, 48, x, y), at(shifted, 48, x + 5, y)) << x << "," << y;
        }
    }
    // Under a transform the tiles are culled where they land, not where they are given: moved right by 40 px,
    // the fill of x -40 ... 56 covers the whole frame, and the six columns that land right of it are culled.
    StandInTiles::s_rendered = 0;
    const auto moved = draw("g.SetTransform(Matrix3(Vector2(1, 0), Vector2(0, 1), Vector2(40, 0)));"
                            "fillRectByTile(g, Rect(-40, 0, 96, 40), 4, 0, Vector2(0, 0), false);");
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 48; ++x) {
            ASSERT_NE(at(moved, 48, x, y), 0xFF000000u) << x << "," << y;
        }
    }
    EXPECT_EQ(StandInTiles::s_rendered, 6 * 5) << "the tiles right of the frame are culled";
    // No step, or camera-relative without a camera: nothing drawn.
    StandInTiles::s_rendered = 0;
    draw("fillRectByTile(g, Rect(0, 0, 48, 40), 20, 0, Vector2(0, 0), false);"
         "fillRectByTile(g, Rect(0, 0, 48, 40), 1, -8, Vector2(0, 0), false);"
         "fillRectByTile(g, Rect(0, 0, 48, 40), 1, 0, Vector2(0, 0), true);");
    EXPECT_EQ(0, StandInTiles::s_rendered);
}

TEST_F(GraphicsFunctionsTest, DecodeUtf8ReadsTextAsFontsDo) {
    EXPECT_TRUE(
        holds("(function() { local a = decodeUTF8(\"H\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\");"
              " return a.len() == 4 && a[0] == 72 && a[1] == 233 && a[2] == 8364 && a[3] == 0x1F600; })()"));
    EXPECT_TRUE(holds("decodeUTF8(\"\").len() == 0"));
    // A sequence cut short by the end gives its partial value; a 0xFF lead accumulates without overflow.
    EXPECT_TRUE(holds(
        "(function() { local a = decodeUTF8(\"A\\xE2\\x82\"); return a.len() == 2 && a[1] == 0x82; })()"));
    EXPECT_TRUE(holds("decodeUTF8(\"\\xFF\\xBF\\xBF\\xBF\\xBF\\xBF\\xBF\\xBF\").len() == 1"));
}

} // namespace
