// Overlay and group renderers: the cell masks of grid rectangles (read back from the picture), rectangle
// edits, drawing only as a map's overlay, and the classificator and visibility rules of the scripted
// renderers, through real scripts.
#include "objects/render_group.h"
#include "world/overlay_renderers.h"
#include "world/tests/road_fixture.h"
#include "world/tile_object.h"

namespace {

using namespace world::test;

class OverlayTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        ASSERT_TRUE(loadTiles(roadTiles()));
    }

    // A rectangle renderer on `map` whose cell tiles are the road tiles: each cell shows arms towards the
    // neighbours its mask names.
    ComponentRef<GridRectRenderer> rects(TestGridMap* map) {
        auto r = make<GridRectRenderer>();
        std::vector<std::int32_t> tiles;
        for (int m = 0; m < 16; ++m) {
            tiles.push_back(kRoad + m);
        }
        r->SetCellTiles(tiles);
        r->SetGridMap(map);
        map->AddRenderer(ComponentRef<IGridRenderer>(r.get()));
        return r;
    }

    // The mask a road tile shows at cell (x, y) of 16-pixel cells, or -1 when the cell is empty.
    static int maskShown(const std::vector<std::uint32_t>& p, int width, int x, int y) {
        const int cx = x * 16 + 8, cy = y * 16 + 8;
        if (at(p, width, cx, cy) != kWhite) {
            return -1;
        }
        return (at(p, width, cx - 6, cy) == kWhite ? 1 : 0) | (at(p, width, cx + 6, cy) == kWhite ? 2 : 0) |
               (at(p, width, cx, cy - 6) == kWhite ? 4 : 0) | (at(p, width, cx, cy + 6) == kWhite ? 8 : 0);
    }
};

TEST_F(OverlayTest, GridRectanglesPickTheirCellTilesByInsideNeighbours) {
    struct Case {
        const char* name;
        Rect rect;
        std::vector<std::array<int, 3>> cells; // x, y, mask (-1: not drawn)
    };
    const std::vector<Case> cases = {
        {"1 x 1", {2, 2, 1, 1}, {{2, 2, 0}, {1, 2, -1}, {3, 2, -1}}},
        {"3 x 1", {1, 1, 3, 1}, {{1, 1, 2}, {2, 1, 3}, {3, 1, 1}, {4, 1, -1}}},
        {"1 x 3", {5, 0, 1, 3}, {{5, 0, 8}, {5, 1, 12}, {5, 2, 4}}},
        {"3 x 3",
         {1, 1, 3, 3},
         {{1, 1, 10}, {3, 1, 9}, {1, 3, 6}, {3, 3, 5}, {2, 2, 15}, {2, 1, 11}, {1, 2, 14}}},
        {"over the map's corner", {-1, -1, 3, 3}, {{0, 0, 15}, {1, 0, 13}, {0, 1, 7}, {1, 1, 5}}},
        {"empty", {2, 2, 0, 3}, {{2, 2, -1}}},
        {"negative size", {2, 2, -3, -3}, {{2, 2, -1}, {1, 1, -1}}},
        // Only the map's cells are visited, so this costs 48 cells and every one is an interior or edge cell.
        {"huge", {0, 0, 2147483647, 2147483647}, {{0, 0, 10}, {7, 5, 15}, {3, 0, 11}}},
    };
    auto view = camera(64, 48);
    for (const Case& c : cases) {
        auto map = make<TestGridMap>(8, 6);
        auto r = rects(map.get());
        r->AddRect(c.rect);
        const auto out = draw(128, 96, view.get(), [&](IGraphics& g) { map->renderOverlays(&g); });
        for (const auto& [x, y, mask] : c.cells) {
            EXPECT_EQ(mask, maskShown(out, 128, x, y)) << c.name << " at " << x << "," << y;
        }
        r->Shutdown(); // the map and its overlay hold each other
    }
}

TEST_F(OverlayTest, GridRectanglesPicture) {
    auto map = make<TestGridMap>(12, 8, 16.0f, Vector2{4, 2});
    auto r = rects(map.get());
    r->AddRect({1, 1, 4, 3});
    r->AddRect({6, 1, 3, 1});
    r->AddRect({10, 1, 1, 1});
    r->AddRect({6, 3, 1, 4});
    r->AddRect({8, 3, 3, 3});
    auto view = camera(96, 64);
    const auto out = draw(192, 128, view.get(), [&](IGraphics& g) { map->renderOverlays(&g); });
    expectGolden("grid_rects", out, 192, 128);
    // The map's transform moves the cells by (4, 2).
    EXPECT_EQ(kWhite, at(out, 192, 4 + 16 + 8, 2 + 16 + 8));
    EXPECT_EQ(kClear, at(out, 192, 16 + 8, 16 + 8 - 6));

    // Not among the map's renderers: never drawn, even when it has a map.
    map->RemoveRenderer(ComponentRef<IGridRenderer>(r.get()));
    const auto gone = draw(192, 128, view.get(), [&](IGraphics& g) { map->renderOverlays(&g); });
    EXPECT_EQ(kClear, at(gone, 192, 4 + 16 + 8, 2 + 16 + 8));
    // Without a camera, or without a map, it draws nothing.
    const auto blind = draw(192, 128, nullptr, [&](IGraphics& g) { r->Render(&g); });
    EXPECT_EQ(kClear, at(blind, 192, 4 + 16 + 8, 2 + 16 + 8));
    r->Shutdown();
    EXPECT_TRUE(r->rects().empty());
    r->AddRect({1, 1, 4, 3});
    const auto unmapped = draw(192, 128, view.get(), [&](IGraphics& g) { r->Render(&g); });
    EXPECT_EQ(kClear, at(unmapped, 192, 4 + 16 + 8, 2 + 16 + 8));
}

TEST_F(OverlayTest, GridRectRendererFromScripts) {
    auto map = make<TestGridMap>(8, 6);
    share("map", map.get());
    run("r <- getComponent(\"GridRectRenderer\");"
        "r.AddRect(Rect(1, 1, 3, 1));"
        "r.SetRect(1, Rect(0, 0, 8, 6));" // index equal to the count: nothing
        "r.SetRect(-1, Rect(0, 0, 8, 6));"
        "r.AddRect(Rect(5, 4, 1, 1));"
        "r.SetRect(1, Rect(6, 4, 2, 1));"
        "r.SetCellTiles([5, 6, 7]);"
        "r.SetGridMap(map);");
    EXPECT_EQ("GridRectRenderer", text("typeof r"));
    auto* r = dynamic_cast<GridRectRenderer*>(component("r"));
    ASSERT_NE(nullptr, r);
    ASSERT_EQ(2u, r->rects().size());
    EXPECT_EQ(1, r->rects()[0].X);
    EXPECT_EQ(3, r->rects()[0].Width);
    EXPECT_EQ(6, r->rects()[1].X);
    map->AddRenderer(ComponentRef<IGridRenderer>(r));
    auto view = camera(64, 48);
    // Tiles 5, 6, 7 are the road tiles of masks 0, 1, 2; the others are still tile 0 (the green ground).
    const auto out = draw(128, 96, view.get(), [&](IGraphics& g) { map->renderOverlays(&g); });
    EXPECT_EQ(2, maskShown(out, 128, 6, 4));
    EXPECT_EQ(1, maskShown(out, 128, 7, 4));
    EXPECT_EQ(kGreen, at(out, 128, 2 * 16 + 8, 16 + 8)); // mask 3
    run("r.ClearRects(); r.SetCellTiles(7);");
    EXPECT_TRUE(r->rects().empty());
    EXPECT_NE(std::string::npos, takeLog().find("SetCellTiles needs an array"));
    map->RemoveRenderer(ComponentRef<IGridRenderer>(r));
    run("delete ::r; delete ::map;");
}

// A group renderer draws its own picture, then its group; a classified renderer draws only for matching
// masks; hidden or filtered out, nothing of either is drawn.
TEST_F(OverlayTest, GroupAndClassifiedRenderers) {
    auto personAt = make<Camera>();
    personAt->SetPosition(Matrix3(Vector2{30, 40}));
    auto person = make<TileObject>();
    person->SetTile(kPerson);
    person->SetPositionable(personAt.get());
    share("person", person.get());
    run("group <- getComponent(\"GroupRenderer\");"
        "loadFromScript(group, { Render = function(g) { g.SetColor(0xFF2050A0); g.FillRect(4, 4, 52, 52); } "
        "});"
        "::kept <- group.RegisterObject(person);"
        "::refused <- group.RegisterObject(getComponent(\"Camera\"));"
        "marked <- getComponent(\"ClassificatedRenderer\");"
        "loadFromScript(marked, { Render = function(g) { g.SetColor(0xFFE0C020); g.FillRect(64, 4, 24, 52); "
        "} });"
        "addClassificator(marked, 2);"
        "plain <- getComponent(\"GroupRenderer\");"
        "::plainKept <- plain.RegisterObject(person);");
    EXPECT_EQ("GroupRenderer", text("typeof group"));
    EXPECT_EQ("ClassificatedRenderer", text("typeof marked"));
    EXPECT_EQ("true", text("kept"));
    EXPECT_EQ("false", text("refused"));
    EXPECT_EQ("true", text("plainKept"));
    auto* group = component("group");
    auto* marked = component("marked");
    auto* plain = component("plain");
    auto renderGroup = make<RenderGroup>();
    renderGroup->Add(group);
    renderGroup->Add(marked);
    auto view = camera(48, 32);
    auto frame = [&](ClassMask mask) {
        return draw(96, 64, view.get(), [&](IGraphics& g) { renderGroup->Render(&g, mask); });
    };
    const auto all = frame({});
    expectGolden("classified_overlays", all, 96, 64);
    EXPECT_EQ(kBlue, at(all, 96, 6, 6));     // the group renderer's own drawing
    EXPECT_EQ(kRed, at(all, 96, 30, 32));    // its group, over it
    EXPECT_EQ(kYellow, at(all, 96, 70, 30)); // the classified renderer

    const auto twos = frame({2, 0});
    EXPECT_EQ(kClear, at(twos, 96, 6, 6)); // the group renderer has no classificator 2
    EXPECT_EQ(kClear, at(twos, 96, 30, 32));
    EXPECT_EQ(kYellow, at(twos, 96, 70, 30));
    const auto notTwos = frame({0, 2});
    EXPECT_EQ(kBlue, at(notTwos, 96, 6, 6));
    EXPECT_EQ(kClear, at(notTwos, 96, 70, 30));

    run("setVisible(group, false); ::shown <- isVisible(group);");
    EXPECT_EQ("false", text("shown"));
    const auto hidden = frame({});
    EXPECT_EQ(kClear, at(hidden, 96, 6, 6));
    EXPECT_EQ(kClear, at(hidden, 96, 30, 32));
    EXPECT_EQ(kYellow, at(hidden, 96, 70, 30));

    // Without a script drawing of its own, a group renderer still draws its group.
    ASSERT_NE(nullptr, queryInterface<IRenderable>(plain));
    const auto groupOnly =
        draw(96, 64, view.get(), [&](IGraphics& g) { queryInterface<IRenderable>(plain)->Render(&g); });
    EXPECT_EQ(kRed, at(groupOnly, 96, 30, 32));
    EXPECT_EQ(kClear, at(groupOnly, 96, 6, 6));

    // Shut down, it has no group any more.
    run("shutdown(plain); ::after <- plain.RegisterObject(person);");
    EXPECT_EQ("false", text("after"));
    renderGroup->Clear();
    run("shutdown(group); shutdown(marked); delete ::group; delete ::marked; delete ::plain; delete "
        "::person;");
}

} // namespace
