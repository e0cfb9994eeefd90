// BuildingBuilder through real scripts and real input: pointer and key events are posted to the platform
// queue for the display's window, which hands them to the System's input group, where the builder sits
// among other handlers.
#include "construction_fixture.h"

#include "construction/building_builder.h"

namespace construction::test {
namespace {

// The builder's answers as text, and a handler behind it in the input group that records what it is offered.
const char* const kBuilderScript =
    "calls <- []; behind <- [];"
    "function joined(list) { local s = \"\"; foreach (i, e in list) s += (i > 0 ? \"; \" : \"\") + e; return "
    "s; }"
    "function count(list, what) { local n = 0; foreach (e in list) if (e == what) ++n; return n; }"
    "builderScript <- ({"
    " function OnBoundsChange(r) { ::calls.append(\"bounds \" + r.X + \",\" + r.Y + \",\" + r.Width + \",\" "
    "+ "
    "r.Height); }"
    " function OnBuild(p) { ::calls.append(\"build \" + p.x + \",\" + p.y); }"
    " function OnClearAndBuild(p) { ::calls.append(\"clear \" + p.x + \",\" + p.y); }"
    " function OnRefuseBuild() { ::calls.append(\"refuse\"); }"
    "});"
    "data <- getComponent(\"TileAnimationData\");"
    "loadFromScript(data, { Draft = { Time = 100, Channels = [[2, 3]] }, Other = { Time = 1, Channels = [[]] "
    "} });"
    "listener <- getComponent(\"ScriptedObject\");"
    "loadFromScript(listener, {"
    " function OnPointerMoved(x, y) { ::behind.append(\"move\"); return true; }"
    " function OnPointerPressed(b, x, y) { ::behind.append(\"press\"); return true; }"
    " function OnKeyPressed(k, d) { ::behind.append(\"key\"); return true; }"
    "});"
    "builder <- getComponent(\"BuildingBuilder\"); loadFromScript(builder, builderScript);"
    "builder.SetGridMap(map); builder.SetCamera(camera);"
    "system.RegisterObject(\"builder\", builder); system.RegisterObject(\"listener\", listener);";

class BuildingBuilderTest : public ConstructionTest {
protected:
    BuildingBuilder* setUpBuilder(const std::vector<std::string>& rows) {
        m_map = makeMap(rows);
        run(kBuilderScript);
        return dynamic_cast<BuildingBuilder*>(component("builder"));
    }
    std::string calls() {
        std::string out = text("joined(calls)");
        run("calls.clear();");
        return out;
    }
    IGridMap* m_map = nullptr;
};

TEST_F(BuildingBuilderTest, SnapsTheFootprintByItsSizeAndReportsOnlyMovesToOtherCells) {
    BuildingBuilder* builder = setUpBuilder(std::vector<std::string>(10, std::string(12, '.')));
    ASSERT_NE(nullptr, builder);
    run("builder.SetEnabled(true);");
    struct Case {
        int width, height;
        float px, py; // pointer in cell coordinates
        Rect footprint;
        Vector2 anchor; // in cells
    };
    const Case cases[] = {
        {2, 2, 5.7f, 3.2f, Rect(5, 2, 2, 2), {6.0f, 3.0f}},  // even: a cell corner
        {3, 3, 5.7f, 3.2f, Rect(4, 2, 3, 3), {5.5f, 3.5f}},  // odd: the centre of the cell under the pointer
        {1, 1, 0.2f, 0.9f, Rect(0, 0, 1, 1), {0.5f, 0.5f}},  // at the corner of the map
        {2, 1, 0.4f, 0.4f, Rect(-1, 0, 2, 1), {0.0f, 0.5f}}, // reaching past the map's edge
        {1, 1, -0.3f, 2.5f, Rect(-1, 2, 1, 1), {-0.5f, 2.5f}}, // left of the map: the cell under the anchor
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " at " << c.px << "," << c.py);
        run("builder.SetBuildingData(data, " + std::to_string(c.width) + ", " + std::to_string(c.height) +
            ");");
        calls();
        pointer(KD_INPUT_POINTER_X, 0, static_cast<int>(std::lround(16 * c.px)),
                static_cast<int>(std::lround(16 * c.py)));
        const Rect& f = builder->footprint();
        EXPECT_EQ(f.X, c.footprint.X);
        EXPECT_EQ(f.Y, c.footprint.Y);
        EXPECT_EQ(f.Width, c.footprint.Width);
        EXPECT_EQ(f.Height, c.footprint.Height);
        EXPECT_EQ(builder->GetPosition().GetOrigin().x, 16 * c.anchor.x);
        EXPECT_EQ(builder->GetPosition().GetOrigin().y, 16 * c.anchor.y);
        EXPECT_EQ(calls(), "bounds " + std::to_string(f.X) + "," + std::to_string(f.Y) + "," +
                               std::to_string(f.Width) + "," + std::to_string(f.Height));
    }
    // Within the same cells nothing is reported again; the move is left to the handler behind.
    run("builder.SetBuildingData(data, 2, 2); behind.clear();");
    pointer(KD_INPUT_POINTER_X, 0, 16 * 5 + 10, 16 * 3 + 2); // (5.6, 3.1): corner (6, 3) as before
    calls();
    pointer(KD_INPUT_POINTER_X, 0, 16 * 5 + 13, 16 * 3 + 6);
    pointer(16386, 0, 16 * 5 + 14, 16 * 3 + 6); // the index between move and buttons counts as a move
    EXPECT_EQ(calls(), "");
    EXPECT_EQ(text("behind.len()"), "2") << "the listener has no callback for index 16386";
    // The preview follows the anchor and shows the draft's first tile, in front and translucent.
    run("tile <- builder.GetObject(\"Tile\");");
    EXPECT_EQ(text("tile.GetTile()"), "2");
    auto* tile = queryInterface<IRenderable>(component("tile"));
    ASSERT_NE(nullptr, tile);
    EXPECT_EQ(tile->GetRenderLayer(), 900);
    EXPECT_EQ(builder->GetRenderLayer(), 900);
    EXPECT_EQ(takeLog(), "");
}

TEST_F(BuildingBuilderTest, ClickAnswersByWhatTheFootprintCovers) {
    // Zone: columns 1..8, rows 1..6. Forest at (3, 2), occupied at (6, 2), a plant at (3, 5).
    setUpBuilder({"..........", "..........", "...2..#...", "..........", "..........", "...p......",
                  "..........", ".........."});
    struct Case {
        const char* setUp; // script run before the click
        int x, y;          // the clicked cell (1 x 1 building unless set up otherwise)
        const char* answer;
    };
    const Case cases[] = {
        {"", 2, 2, "refuse"}, // no build zone: nothing can be built
        {"builder.AddBuildZone(Rect(1, 1, 8, 6));", 2, 2, "build 40,40"},
        {"", 3, 2, "clear 56,40"},
        {"", 6, 2, "refuse"},
        {"", 3, 5, "refuse"},
        {"", 0, 0, "refuse"}, // outside every zone
        // 2 x 2: the pointer over cell (x, y) puts the footprint on (x .. x + 1, y .. y + 1).
        {"builder.SetBuildingData(data, 2, 2);", 3, 2, "clear 64,48"}, // one forest cell, the rest clean
        {"", 5, 2, "refuse"},                                          // the occupied cell (6, 2)
        {"", 8, 3, "refuse"},                                          // column 9 lies in no zone
        {"builder.AddMarginRect(Rect(4, 3, 1, 1));", 4, 3, "refuse"},  // a margin inside the zone
        {"builder.SetBuildingData(data, 2, 2);", 4, 3, "build 80,64"}, // new building data: margins gone
        {"builder.AddMarginRect(Rect(-100, -100, 104, 104));", 4, 4, "build 80,80"}, // clipped to x, y < 4
        {"", 3, 3, "refuse"},                                                        // covers (3, 3)
        {"builder.ClearBuildZones();", 4, 4, "refuse"},
    };
    run("builder.SetBuildingData(data, 1, 1); builder.SetEnabled(true); behind.clear();");
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.setUp << " click at " << c.x << "," << c.y);
        run(c.setUp);
        calls();
        moveTo(c.x, c.y);
        calls();
        press(c.x, c.y);
        release(c.x, c.y);
        EXPECT_EQ(calls(), c.answer);
    }
    EXPECT_EQ(text("count(behind, \"press\")"), "0") << "a click is consumed by the builder";
    EXPECT_EQ(takeLog(), "");
}

TEST_F(BuildingBuilderTest, CheckPlacementMatchesTheClickAndRefusesAnEmptyFootprint) {
    setUpBuilder({"....", "..k.", "....", "...."});
    run("builder.AddBuildZone(Rect(0, 0, 4, 4)); builder.SetEnabled(true);");
    moveTo(1, 1);
    EXPECT_EQ(text("builder.CheckPlacement()"), "2") << "no building data: a footprint of no cells";
    press(1, 1);
    EXPECT_EQ(calls(), "bounds 2,2,0,0; refuse");
    run("builder.SetBuildingData(data, 2, 2);");
    moveTo(0, 0); // cells (0..1, 0..1)
    EXPECT_EQ(text("builder.CheckPlacement()"), "0");
    moveTo(1, 1); // cells (1..2, 1..2): the cut forest at (2, 1)
    EXPECT_EQ(text("builder.CheckPlacement()"), "1");
    moveTo(3, 3); // cells (3..4, 3..4): past the map
    EXPECT_EQ(text("builder.CheckPlacement()"), "2");
}

TEST_F(BuildingBuilderTest, ReactsToThePointerOnlyWhileEnabledAndFollowsShiftAlways) {
    setUpBuilder({"....", "....", "....", "...."});
    run("builder.AddBuildZone(Rect(0, 0, 4, 4)); builder.SetBuildingData(data, 1, 1);");
    press(1, 1);
    release(1, 1);
    EXPECT_EQ(calls(), "") << "disabled: no footprint, no answer";
    EXPECT_EQ(text("joined(behind)"), "press") << "the click went on to the next handler";
    run("behind.clear(); builder.SetEnabled(true);");
    EXPECT_EQ(text("builder.IsEnabled()"), "true");

    const KDint32 shift = KDint32{KD_INPUT_KEY_BASE} + KDint32{KD_KEY_SHIFT};
    struct Step {
        KDint32 index;
        bool down;
        const char* massBuild;
    };
    const Step steps[] = {{shift, true, "true"},
                          {KDint32{KD_INPUT_KEY_BASE} + 'A', true, "true"},
                          {KDint32{KD_INPUT_KEY_BASE} + 'A', false, "true"},
                          {shift, false, "false"}};
    for (const Step& s : steps) {
        key(s.index, s.down);
        EXPECT_EQ(text("builder.IsMassBuildEnabled()"), s.massBuild) << std::hex << s.index << " " << s.down;
    }
    EXPECT_EQ(text("behind.len()"), "2") << "key events are never consumed (the listener answers presses)";
    // Mass build: the builder stays on, and each click answers again.
    key(shift, true);
    press(1, 1);
    press(2, 1);
    EXPECT_EQ(calls(), "bounds 1,1,1,1; build 24,24; bounds 2,1,1,1; build 40,24");
    run("builder.SetEnabled(false);");
    key(shift, false);
    EXPECT_EQ(text("builder.IsMassBuildEnabled()"), "false") << "Shift is followed while disabled too";
    EXPECT_EQ(text("builder.IsEnabled()"), "false");
}

TEST_F(BuildingBuilderTest, BuildingDataWithoutADraftChangesNothing) {
    BuildingBuilder* builder = setUpBuilder({"...", "...", "..."});
    run("builder.SetBuildingData(data, 3, 2);");
    EXPECT_EQ(takeLog(), "");
    const char* const bad[] = {
        "builder.SetBuildingData(getComponent(\"TileAnimationData\"), 1, 1);", // no "Draft"
        "loadFromScript(data, { Draft = { Time = 1, Channels = [] } }); builder.SetBuildingData(data, 1, 1);",
        "loadFromScript(data, { Draft = { Time = 1, Channels = [[]] } }); builder.SetBuildingData(data, 1, "
        "1);",
        "builder.SetBuildingData(map, 1, 1);", // not animation data at all
    };
    for (const char* script : bad) {
        run(script);
        EXPECT_EQ(takeLog(), "[BuildingBuilder] error: Can't find building animation\n") << script;
        EXPECT_EQ(builder->footprint().Width, 3);
        EXPECT_EQ(builder->footprint().Height, 2);
        EXPECT_EQ(text("builder.GetObject(\"Tile\").GetTile()"), "2");
    }
}

TEST_F(BuildingBuilderTest, AMapReadAgainWithAnotherSizeStartsWithoutMargins) {
    setUpBuilder({"...", "...", "..."});
    run("builder.AddBuildZone(Rect(0, 0, 100, 100)); builder.SetBuildingData(data, 1, 1);"
        "builder.AddMarginRect(Rect(0, 0, 3, 3)); builder.SetEnabled(true);");
    moveTo(1, 1);
    EXPECT_EQ(text("builder.CheckPlacement()"), "2");
    dynamic_cast<PassMap*>(m_map)->resize(6, 6);
    EXPECT_EQ(text("builder.CheckPlacement()"), "0");
    run("builder.AddMarginRect(Rect(5, 5, 9, 9));");
    moveTo(5, 5);
    EXPECT_EQ(text("builder.CheckPlacement()"), "2");
    moveTo(4, 5);
    EXPECT_EQ(text("builder.CheckPlacement()"), "0");
}

TEST_F(BuildingBuilderTest, DrawsBlockedCellsOverTheMapAndTakenCellsUnderThePreview) {
    // Zone: columns 1..7, rows 1..5, with a margin over (6..7, 4..5); forest, occupied and burnt cells.
    m_map = makeMap({"..........", "..........", "..3.......", "...#......", "......x...", "..........",
                     "..........", ".........."});
    run(kBuilderScript);
    run("builder.AddBuildZone(Rect(1, 1, 7, 5)); builder.SetBuildingData(data, 3, 2);"
        "builder.AddMarginRect(Rect(6, 4, 2, 2)); builder.SetEnabled(true); tile <- "
        "builder.GetObject(\"Tile\");");
    moveTo(3, 2); // footprint (2..4, 2..3) over the forest and the occupied cell; anchor (3.5, 3)
    EXPECT_EQ(calls(), "bounds 2,2,3,2");
    auto view = ComponentRef<Camera>::adopt(new Camera);
    view->SetPosition(Matrix3(Vector2{80.0f, 64.0f}));
    // As a render group draws them: the map with its overlays, then the builder and its preview at LAYER_Top.
    const auto scene = [this](IGraphics& g) {
        g.SetColor(kGrass);
        g.FillRect(0, 0, 160, 128);
        for (const char* name : {"map", "builder", "tile"}) {
            queryInterface<IRenderable>(component(name))->Render(&g);
        }
    };
    const auto picture = draw(160, 128, view.get(), scene);
    expectGolden("building_builder_overlay", picture, 160, 128);
    // Spot checks: blocked shading outside the zone, nothing on free cells in or out of the footprint, red
    // over the shading of the occupied footprint cell (3, 3) below the preview (which covers y 36 ... 59).
    EXPECT_NE(at(picture, 160, 8, 8), kGrass);
    EXPECT_EQ(at(picture, 160, 16 + 8, 16 + 8), kGrass);
    EXPECT_EQ(at(picture, 160, 70, 62), kGrass);
    const std::uint32_t taken = at(picture, 160, 52, 62);
    EXPECT_GT((taken >> 16) & 0xFF, (taken >> 8) & 0xFF);

    // The overlay walks only the cells that can show: zoomed in twice about (80, 64), and through a clip,
    // every cell centre still shows what the whole picture shows there.
    const auto mapOnly = [this](IGraphics& g) {
        g.SetColor(kGrass);
        g.FillRect(-1000, -1000, 2000, 2000);
        queryInterface<IRenderable>(component("map"))->Render(&g);
    };
    const auto whole = draw(160, 128, view.get(), mapOnly);
    auto zoomed = ComponentRef<Camera>::adopt(new Camera);
    zoomed->SetPosition(Matrix3({0.5f, 0.0f}, {0.0f, 0.5f}, {80.0f, 64.0f}));
    const auto near = draw(160, 128, zoomed.get(), mapOnly);
    const auto clipped = draw(160, 128, view.get(), [&](IGraphics& g) {
        g.SetClip(Rect(40, 24, 50, 40));
        mapOnly(g);
    });
    int compared = 0;
    for (int y = 8; y < 128; y += 16) {
        for (int x = 8; x < 160; x += 16) {
            const int nearX = 2 * (x - 80) + 80, nearY = 2 * (y - 64) + 64;
            if (nearX >= 0 && nearX < 160 && nearY >= 0 && nearY < 128) {
                EXPECT_EQ(at(whole, 160, x, y), at(near, 160, nearX, nearY))
                    << "zoomed, cell at " << x << ", " << y;
                ++compared;
            }
            if (x >= 40 && x < 90 && y >= 24 && y < 64) {
                EXPECT_EQ(at(whole, 160, x, y), at(clipped, 160, x, y))
                    << "clipped, cell at " << x << ", " << y;
            }
        }
    }
    EXPECT_EQ(20, compared);

    run("builder.SetEnabled(false);");
    const auto off = draw(160, 128, view.get(), scene);
    EXPECT_TRUE(std::all_of(off.begin(), off.end(), [](std::uint32_t p) { return p == kGrass; }))
        << "disabled: no shading and no preview";
}

TEST_F(BuildingBuilderTest, ItsOwnScriptCallbacksGetOnlyWhatTheBuilderLeaves) {
    BuildingBuilder* builder = setUpBuilder({"....", "....", "....", "...."});
    ASSERT_NE(nullptr, builder);
    run("loadFromScript(builder, {"
        " function OnPointerMoved(x, y) { ::calls.append(\"own move\"); return true; }"
        " function OnPointerPressed(b, x, y) { ::calls.append(\"own press\"); return true; }"
        " function OnBuild(p) { ::calls.append(\"build \" + p.x + \",\" + p.y); } });"
        "builder.AddBuildZone(Rect(0, 0, 4, 4)); builder.SetBuildingData(data, 1, 1); "
        "builder.SetEnabled(true);");
    moveTo(1, 1); // the builder follows the move, then its script takes it
    press(1, 1);  // the builder's own: a build
    EXPECT_EQ(calls(), "own move; build 24,24");
    EXPECT_EQ(builder->footprint().X, 1);
    EXPECT_EQ(text("behind.len()"), "0");
    run("builder.SetEnabled(false);");
    press(2, 2);
    EXPECT_EQ(calls(), "own press") << "disabled, the builder leaves the click to its script";
}

} // namespace
} // namespace construction::test
