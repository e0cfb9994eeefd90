// TerrainBuilder through real scripts and real input: pointer events are posted to the platform queue for the
// display's window, which hands them to the System's input group, where the builder sits before a listener
// that records what it is offered. The builder routes with a real GridRouter, draws through a real
// RoadRenderer and plants into real TileLayers.
#include "construction_fixture.h"

#include "construction/terrain_builder.h"
#include "script/engine_random.h"
#include "world/road_renderer.h"

namespace construction::test {
namespace {

const char* const kSetUp =
    "calls <- []; behind <- []; hovers <- [];"
    "answers <- ({ CanBuildRoad = true, build = false, plant = true, destroy = true });"
    "function joined(list) { local s = \"\"; foreach (i, e in list) s += (i > 0 ? \"; \" : \"\") + e; return "
    "s; }"
    "function cellsText(cells) { local s = \"\"; foreach (i, c in cells) s += (i > 0 ? \" \" : \"\") + c.x + "
    "\",\" "
    "+ c.y; return s; }"
    "function record(what, c) { ::calls.append(what + \" \" + c.x + \",\" + c.y); return ::answers.destroy; }"
    "terrainScript <- ({ MODE_Default = 0, MODE_BuildRoad = 1, MODE_BuildForest = 2, MODE_Destroy = 3,"
    " function CanBuildRoad(cells) { ::calls.append(\"can \" + ::cellsText(cells)); return "
    "::answers.CanBuildRoad; }"
    " function OnBuildRoad(cells) {"
    "  ::calls.append(\"build \" + ::cellsText(cells)); if (::answers.build) this.BuildRoadCells(cells); }"
    " function OnCellHovered(c) { ::hovers.append(c.x + \",\" + c.y); }"
    " function OnBuildForest(c, level) {"
    "  ::calls.append(\"plant \" + c.x + \",\" + c.y + \" \" + level); return ::answers.plant; }"
    " function OnDestroyRoad(c) { return ::record(\"road\", c); }"
    " function OnDestroyRoadBroken(c) { return ::record(\"broken\", c); }"
    " function OnDestroyForest(c, level) { return ::record(\"forest\" + level, c); }"
    " function OnDestroyForestBurnt(c) { return ::record(\"burnt\", c); }"
    " function OnDestroyForestCutted(c) { return ::record(\"cut\", c); }"
    " function OnDestroyWaste(c) { return ::record(\"waste\", c); }"
    " function OnChangeRoads() { ::calls.append(\"roads changed\"); }"
    "});"
    "listener <- getComponent(\"ScriptedObject\");"
    "loadFromScript(listener, { function OnPointerMoved(x, y) { ::behind.append(\"move\"); return true; }"
    " function OnPointerPressed(b, x, y) { ::behind.append(\"press\"); return true; } });"
    "router <- getComponent(\"GridRouter\"); router.Initialize(map);"
    "roads <- getComponent(\"RoadRenderer\");"
    "roads.SetRoadTiles([5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20]);"
    "roads.SetRoadBrokenTiles([21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36]);"
    "forest <- getComponent(\"TileLayer\"); waste <- getComponent(\"TileLayer\");"
    "builder <- getComponent(\"TerrainBuilder\"); loadFromScript(builder, terrainScript);"
    "builder.SetGridMap(map); builder.SetGridRouter(router); builder.SetRenderer(roads); "
    "builder.SetCamera(camera);"
    "builder.SetForestLayer(forest); builder.SetWasteLayer(waste);"
    "builder.SetForestTiles([0]); builder.SetForestCuttedTiles([1]); builder.SetForestBurntTiles([3]);"
    "builder.SetWasteTiles([4]);"
    "system.RegisterObject(\"builder\", builder); system.RegisterObject(\"listener\", listener);";

class TerrainBuilderTest : public ConstructionTest {
protected:
    TerrainBuilder* setUpBuilder(const std::vector<std::string>& rows) {
        m_map = makeMap(rows);
        run(kSetUp);
        m_roads = dynamic_cast<RoadRenderer*>(component("roads"));
        m_forest = queryInterface<ITileLayer>(component("forest"));
        m_waste = queryInterface<ITileLayer>(component("waste"));
        return dynamic_cast<TerrainBuilder*>(component("builder"));
    }
    std::string calls() {
        std::string out = text("joined(calls)");
        run("calls.clear();");
        return out;
    }
    std::string draftText(TerrainBuilder* builder) {
        std::string out;
        for (const CellPosition& c : builder->draft()) {
            out += (out.empty() ? "" : " ") + std::to_string(c.x) + "," + std::to_string(c.y);
        }
        return out;
    }
    // The tiles of a layer as "tile@cell" (cells of 16 screen pixels), in layer order or sorted.
    static std::string tilesText(ITileLayer* layer, bool sorted = false) {
        std::vector<std::string> entries;
        for (const TileRecord& t : layer->GetTiles()) {
            entries.push_back(std::to_string(t.tile) + "@" + std::to_string(t.x / 16) + "," +
                              std::to_string(t.y / 16));
        }
        if (sorted) {
            std::sort(entries.begin(), entries.end());
        }
        std::string out;
        for (const std::string& e : entries) {
            out += (out.empty() ? "" : " ") + e;
        }
        return out;
    }
    // A tile at the centre of the bottom of cell (x, y), as a forest tile sits.
    static void place(ITileLayer* layer, int tile, int x, int y) {
        layer->AppendTile({static_cast<std::int16_t>(16 * x + 8), static_cast<std::int16_t>(16 * y + 12),
                           static_cast<std::int16_t>(tile)});
    }
    void click(int x, int y) {
        moveTo(x, y);
        press(x, y);
        release(x, y);
    }

    IGridMap* m_map = nullptr;
    RoadRenderer* m_roads = nullptr;
    ITileLayer* m_forest = nullptr;
    ITileLayer* m_waste = nullptr;
};

// Plants in column 2, forest (level 2) at (4, 2), a transport at (6, 3), a road with an indestructible and a
// broken cell in row 4, an occupied cell and an invisible road in row 5.
const std::vector<std::string> kRoadMap = {"..p.....", //
                                           "..p.....", //
                                           "..p.2...", //
                                           "......T.", //
                                           "rrrrRrb.", //
                                           "...#...i"};

TEST_F(TerrainBuilderTest, DragsRouteTheDraftOverWhatARoadMayCross) {
    TerrainBuilder* builder = setUpBuilder(kRoadMap);
    ASSERT_NE(nullptr, builder);
    run("builder.SetMode(1);");
    struct Case {
        int fromX, fromY, toX, toY;
        const char* draft; // what the router found
        const char* judge; // the cells CanBuildRoad gets: not road yet
        const char* build; // the cells OnBuildRoad gets: and those a transport stands on
    };
    const Case cases[] = {
        {0, 3, 3, 3, "0,3 1,3 2,3 3,3", "0,3 1,3 2,3 3,3", "0,3 1,3 2,3 3,3"},
        // Around the plants: down column 1, along row 3 and up column 3.
        {1, 1, 3, 1, "1,1 1,2 1,3 2,3 3,3 3,2 3,1", "1,1 1,2 1,3 2,3 3,3 3,2 3,1",
         "1,1 1,2 1,3 2,3 3,3 3,2 3,1"},
        {4, 3, 4, 5, "4,3 4,4 4,5", "4,3 4,5", "4,3 4,5"},         // across an indestructible road
        {0, 5, 0, 3, "0,5 0,4 0,3", "0,5 0,3", "0,5 0,3"},         // across a road
        {3, 2, 5, 2, "3,2 4,2 5,2", "3,2 4,2 5,2", "3,2 4,2 5,2"}, // through forest
        {7, 3, 5, 3, "7,3 6,3 5,3", "7,3 5,3", "7,3 6,3 5,3"},     // past a transport
        {6, 5, 6, 3, "6,5 6,4 6,3", "6,5 6,4", "6,5 6,4 6,3"},     // broken road, transport
        {0, 3, 3, 5, "", "", ""},                                  // to an occupied cell: no route
        {7, 4, 7, 5, "", "", ""},                                  // to an invisible road: no route
        {1, 1, 1, 0, "1,1 1,0", "1,1 1,0", "1,1 1,0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "from " << c.fromX << "," << c.fromY << " to " << c.toX << "," << c.toY);
        moveTo(c.fromX, c.fromY);
        press(c.fromX, c.fromY);
        calls();
        run("behind.clear();");
        moveTo(c.toX, c.toY);
        EXPECT_EQ(draftText(builder), c.draft);
        EXPECT_EQ(calls(), std::string("can ") + c.judge);
        EXPECT_EQ(m_roads->draft().size(), builder->draft().size());
        release(c.toX, c.toY);
        EXPECT_EQ(calls(), std::string("build ") + c.build);
        EXPECT_EQ(text("behind.len()"), "0") << "moves while dragging are the builder's";
    }
    EXPECT_EQ(rowsOf(m_map), "..p.....\n..p.....\n..p.2...\n......T.\nrrrrRrb.\n...#...i\n")
        << "only the script builds";

    // Moving without a button starts a new draft at the hovered cell (a one-cell draft where a road may go)
    // and leaves the move to the handlers behind.
    run("behind.clear(); answers.CanBuildRoad = false;");
    moveTo(0, 0);
    EXPECT_EQ(draftText(builder), "0,0");
    EXPECT_EQ(calls(), "can 0,0");
    ASSERT_EQ(m_roads->draft().size(), 1u);
    EXPECT_EQ(m_roads->draft()[0].colour, RoadRenderer::InvalidDraftColour);
    moveTo(2, 0);
    EXPECT_EQ(draftText(builder), "");
    EXPECT_EQ(calls(), "can ");
    EXPECT_EQ(text("behind.len()"), "2");
    EXPECT_EQ(text("hovers.top()"), "2,0");
    // A pointer off the map hovers no cell: no callback, and a drag there drafts nothing.
    run("hovers.clear(); answers.CanBuildRoad = true;");
    moveTo(1, 0);
    press(1, 0);
    pointer(KD_INPUT_POINTER_X, 0, -20, 8);
    EXPECT_EQ(draftText(builder), "");
    EXPECT_EQ(builder->hoveredCell().x, TerrainBuilder::kNoCell);
    moveTo(0, 0);
    EXPECT_EQ(draftText(builder), "1,0 0,0");
    ASSERT_EQ(m_roads->draft().size(), 2u);
    EXPECT_EQ(m_roads->draft()[0].colour, RoadRenderer::ValidDraftColour);
    EXPECT_EQ(text("joined(hovers)"), "1,0; 0,0");
    release(0, 0);
    // A press with no move before it (a touch) starts the draft where it lands.
    press(0, 3);
    moveTo(2, 3);
    EXPECT_EQ(draftText(builder), "0,3 1,3 2,3");
    release(2, 3);
    // Leaving the mode drops the draft, also from the renderer.
    run("builder.SetMode(3);");
    EXPECT_TRUE(builder->draft().empty());
    EXPECT_TRUE(m_roads->draft().empty());
    EXPECT_EQ(takeLog(), "");
}

TEST_F(TerrainBuilderTest, BuildRoadCellsClearsRepairsAndMarksTheMap) {
    TerrainBuilder* builder = setUpBuilder(kRoadMap);
    ASSERT_NE(nullptr, builder);
    run("builder.SetMode(1); answers.build = true;");
    struct Case {
        int fromX, fromY, toX, toY;
        const char* calls;
    };
    const Case cases[] = {
        {3, 2, 5, 2, "build 3,2 4,2 5,2; forest2 4,2"}, // the forest is cleared first (the script agrees)
        {6, 5, 6, 3, "build 6,5 6,4 6,3"},              // broken road repaired; the transport's cell paved
        {7, 2, 7, 0, "build 7,2 7,1 7,0"},
    };
    for (const Case& c : cases) {
        moveTo(c.fromX, c.fromY);
        press(c.fromX, c.fromY);
        moveTo(c.toX, c.toY);
        calls();
        release(c.toX, c.toY);
        EXPECT_EQ(calls(), c.calls);
    }
    EXPECT_EQ(rowsOf(m_map), "..p....r\n..p....r\n..prrr.r\n......r.\nrrrrRrr.\n...#..ri\n");
    for (auto [x, y] : {std::pair{4, 2}, {6, 4}, {6, 3}, {7, 0}}) {
        const RoadCellRecord* road = m_roads->cell(x, y);
        ASSERT_NE(nullptr, road) << x << "," << y;
        EXPECT_EQ(road->kind, 1);
        EXPECT_EQ(road->broken, 0);
    }
    // The map's roads reached the renderer when both were connected: invisible roads as kind 0.
    ASSERT_NE(nullptr, m_roads->cell(7, 5));
    EXPECT_EQ(m_roads->cell(7, 5)->kind, 0);
    ASSERT_NE(nullptr, m_roads->cell(4, 4));
    EXPECT_EQ(m_roads->cell(4, 4)->kind, 1);

    run("builder.BreakRoadCell(5, 4);");
    EXPECT_EQ(calls(), "roads changed");
    EXPECT_EQ(m_map->GetCellValue(5, 4), RoadBroken);
    ASSERT_NE(nullptr, m_roads->cell(5, 4));
    EXPECT_EQ(m_roads->cell(5, 4)->broken, 1);
    EXPECT_EQ(text("builder.GetCellCount(5)"), "13");
    EXPECT_EQ(text("builder.GetCellCount(4)"), "1");
    EXPECT_EQ(takeLog(), "");
    // Cells off the map change nothing, in the map or in the renderer (which says so): not even (8, 0), which
    // both would take as the cell (0, 1).
    const std::string before = rowsOf(m_map);
    run("builder.BuildRoadCells([Vector2(-1, 0), Vector2(8, 0), Vector2(8, 6), Vector2(40000, 3)]);"
        "builder.AddRoadCell(-5, -5, 1, false); builder.RemoveRoadCell(9999, 9999); builder.ClearCell(-1, "
        "-1);");
    EXPECT_EQ(rowsOf(m_map), before);
    EXPECT_EQ(calls(), "");
    EXPECT_NE(takeLog().find("[RoadRenderer]"), std::string::npos);
}

TEST_F(TerrainBuilderTest, PlantingRaisesTheForestLevelAndAddsOneTreePerLevel) {
    TerrainBuilder* builder = setUpBuilder({"k.34", "#..."});
    ASSERT_NE(nullptr, builder);
    place(m_forest, kStump, 0, 0);
    run("builder.SetMode(2);");
    struct Case {
        int x, y;
        bool yes;
        const char* calls;
        const char* rows;
        const char* tiles;
    };
    const Case cases[] = {
        {1, 0, true, "plant 1,0 0", "k134\n#...\n", "0@1,0 1@0,0"},
        {1, 0, true, "plant 1,0 1", "k234\n#...\n", "0@1,0 0@1,0 1@0,0"},
        {0, 0, true, "plant 0,0 0", "1234\n#...\n", "0@0,0 0@1,0 0@1,0"},  // the stump gives way to a tree
        {2, 0, false, "plant 2,0 3", "1234\n#...\n", "0@0,0 0@1,0 0@1,0"}, // the script refuses
        {3, 0, true, "", "1234\n#...\n", "0@0,0 0@1,0 0@1,0"},             // the highest level takes no more
        {0, 1, true, "", "1234\n#...\n", "0@0,0 0@1,0 0@1,0"},             // occupied
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "plant at " << c.x << "," << c.y);
        run(std::string("answers.plant = ") + (c.yes ? "true" : "false") + ";");
        click(c.x, c.y);
        EXPECT_EQ(calls(), c.calls);
        EXPECT_EQ(rowsOf(m_map), c.rows);
        EXPECT_EQ(tilesText(m_forest, true), c.tiles);
    }
    EXPECT_EQ(text("builder.GetForestLevel()"), "10"); // 1 + 2 + 3 + 4

    // The tree's place comes from the engine generator that the script's srand seeds: two draws for the
    // spot (the second across, the first down), one for the tile.
    engineSeedRandom(77);
    const float r1 = static_cast<float>(engineRandom()) / 32767.0f;
    const float r2 = static_cast<float>(engineRandom()) / 32767.0f;
    run("answers.plant = true; srand(77);");
    click(1, 1);
    EXPECT_EQ(calls(), "plant 1,1 0");
    const auto& tiles = m_forest->GetTiles();
    const auto planted =
        std::find_if(tiles.begin(), tiles.end(), [](const TileRecord& t) { return t.y >= 16; });
    ASSERT_NE(planted, tiles.end());
    EXPECT_EQ(planted->x, static_cast<std::int16_t>(16.0f * (1.0f + 0.04f + 0.92f * r2)));
    EXPECT_EQ(planted->y, static_cast<std::int16_t>(16.0f * (1.0f + 0.04f + 0.92f * r1)));
    EXPECT_EQ(tiles.size(), 4u);

    // Without tree tiles the level still rises; no tile is invented.
    run("builder.SetForestTiles([]);");
    click(2, 1);
    EXPECT_EQ(calls(), "plant 2,1 0");
    EXPECT_EQ(m_map->GetCellValue(2, 1), ForestMin);
    EXPECT_EQ(tiles.size(), 4u);
    EXPECT_EQ(takeLog().rfind("[TerrainBuilder] warning: no tiles to choose from: nothing added at (", 0),
              0u);
}

TEST_F(TerrainBuilderTest, DestroyClearsWhatTheScriptAgreesToAndNeverAnIndestructibleRoad) {
    TerrainBuilder* builder = setUpBuilder({"rbR3xkw.", "wwww...."});
    ASSERT_NE(nullptr, builder);
    place(m_forest, kTree, 3, 0);
    place(m_forest, kTree, 3, 0);
    place(m_forest, kStump, 3, 0);
    place(m_forest, kBurnt, 4, 0);
    place(m_forest, kStump, 5, 0);
    place(m_forest, kTree, 7, 0);
    for (int x = 0; x < 4; ++x) {
        place(m_waste, kWaste, x, 1);
    }
    place(m_waste, kWaste, 6, 0);
    run("builder.SetMode(3);");
    struct Case {
        int x;
        bool yes;
        const char* calls;
        const char* row;
        const char* forest;
    };
    const Case cases[] = {
        {2, true, "", "rbR3xkw.", "0@3,0 0@3,0 0@7,0 1@3,0 1@5,0 3@4,0"}, // indestructible: nothing asked
        {0, false, "road 0,0", "rbR3xkw.", "0@3,0 0@3,0 0@7,0 1@3,0 1@5,0 3@4,0"},
        {0, true, "road 0,0", ".bR3xkw.", "0@3,0 0@3,0 0@7,0 1@3,0 1@5,0 3@4,0"},
        {1, true, "broken 1,0", "..R3xkw.", "0@3,0 0@3,0 0@7,0 1@3,0 1@5,0 3@4,0"},
        {3, true, "forest3 3,0", "..R.xkw.", "0@7,0 1@5,0 3@4,0"}, // trees and stumps of the cell
        {4, true, "burnt 4,0", "..R..kw.", "0@7,0 1@5,0"},
        {5, true, "cut 5,0", "..R...w.", "0@7,0"},
        {6, true, "waste 6,0", "..R.....", "0@7,0"},
        {7, true, "", "..R.....", "0@7,0"}, // clean ground
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "click at " << c.x << ",0");
        run(std::string("answers.destroy = ") + (c.yes ? "true" : "false") + ";");
        click(c.x, 0);
        EXPECT_EQ(calls(), c.calls);
        EXPECT_EQ(rowsOf(m_map).substr(0, 8), c.row);
        EXPECT_EQ(tilesText(m_forest, true), c.forest);
    }
    EXPECT_EQ(m_roads->cell(0, 0), nullptr);
    EXPECT_EQ(m_roads->cell(1, 0), nullptr);
    ASSERT_NE(m_roads->cell(2, 0), nullptr);

    // A drag clears every cell it passes until the button is released.
    run("behind.clear();");
    moveTo(0, 1);
    press(0, 1);
    moveTo(1, 1);
    moveTo(2, 1);
    release(2, 1);
    moveTo(3, 1);
    EXPECT_EQ(calls(), "waste 0,1; waste 1,1; waste 2,1");
    EXPECT_EQ(rowsOf(m_map).substr(9), "...w....\n");
    EXPECT_EQ(tilesText(m_waste), "4@3,1");
    EXPECT_EQ(text("joined(behind)"), "move; move") << "moves without a drag, and the first move, go on";
    EXPECT_EQ(takeLog(), "");
}

TEST_F(TerrainBuilderTest, ModesRegisterTheOverlayAndDefaultLeavesTheMap) {
    TerrainBuilder* builder = setUpBuilder({"r...", "...."});
    ASSERT_NE(nullptr, builder);
    auto view = ComponentRef<Camera>::adopt(new Camera);
    view->SetPosition(Matrix3(Vector2{32.0f, 16.0f}));
    auto* map = queryInterface<IRenderable>(m_map);
    const auto shaded = [&]() {
        const auto p = draw(64, 32, view.get(), [&](IGraphics& g) { map->Render(&g); });
        return at(p, 64, 8, 8);
    };
    EXPECT_EQ(shaded(), kBackground) << "the default mode draws nothing";
    click(0, 0);
    EXPECT_EQ(calls(), "") << "the default mode takes no input";
    EXPECT_EQ(text("joined(behind)"), "move; press");

    run("builder.SetMode(1);");
    run("builder.SetMode(3);");
    moveTo(0, 0);
    const std::uint32_t twice = shaded(); // registered by both modes: drawn twice
    run("builder.SetMode(0);");
    EXPECT_EQ(shaded(), kBackground);
    run("builder.SetMode(3);");
    moveTo(0, 0);
    const std::uint32_t once = shaded();
    EXPECT_NE(once, kBackground);
    EXPECT_GT(twice & 0xFF, once & 0xFF);
    run("builder.SetMode(0);");
    EXPECT_EQ(shaded(), kBackground);
    (void)builder;
}

TEST_F(TerrainBuilderTest, TileOperationsKeepToTheirListsAndCells) {
    setUpBuilder({"....", "...."});
    place(m_forest, kTree, 1, 1);
    place(m_forest, kTree, 1, 1);
    place(m_forest, kStump, 1, 1);
    place(m_forest, kTree, 1, 1);
    place(m_forest, kTree, 2, 1);
    struct Step {
        const char* script;
        const char* tiles;
    };
    const Step steps[] = {
        {"builder.RemoveTiles(1, 1, forest, [0], 1);", "0@1,1 1@1,1 0@1,1 0@2,1"},
        {"builder.ReplaceTiles(1, 1, forest, [0, 1], [3]);", "3@1,1 1@1,1 3@1,1 0@2,1"},
        {"builder.RemoveTiles(1, 1, forest, [3, 1], 0);", "0@2,1"}, // neighbours in the list both go
        {"builder.AddTerrainTile(Vector2(40.7, 10.2), forest, [4], true);", "0@2,1 4@2,0"},
        {"builder.AddTerrainTile(Vector2(3, 3), forest, [4], false);", "4@0,0 0@2,1 4@2,0"},
        {"builder.AddTerrainTile(Vector2(3, 3), forest, [], false);", "4@0,0 0@2,1 4@2,0"},
        {"builder.AddTerrainTile(Vector2(3, 3), null, [4], false);", "4@0,0 0@2,1 4@2,0"},
    };
    for (const Step& s : steps) {
        run(s.script);
        EXPECT_EQ(tilesText(m_forest), s.tiles) << s.script;
    }
    EXPECT_EQ(takeLog(), "[TerrainBuilder] warning: no tiles to choose from: nothing added at (3, 3)\n");
    // Without a road renderer the tile operations do nothing.
    run("other <- getComponent(\"TerrainBuilder\"); other.SetGridMap(map); other.SetCamera(camera);"
        "other.AddTerrainTile(Vector2(3, 3), forest, [4], false); other.RemoveTiles(2, 1, forest, [0], 0);");
    EXPECT_EQ(tilesText(m_forest), "4@0,0 0@2,1 4@2,0");
}

TEST_F(TerrainBuilderTest, DraftsAndOverlaysLookRight) {
    // A road along row 4 with a broken cell, plants and an occupied cell the road mode shades, forest.
    setUpBuilder({"..p.....", //
                  "..p..#..", //
                  "..p.2...", //
                  "........", //
                  "rrrrrrb.", //
                  "...#...."});
    auto view = ComponentRef<Camera>::adopt(new Camera);
    view->SetPosition(Matrix3(Vector2{64.0f, 48.0f}));
    const auto panel = [&]() {
        return draw(128, 96, view.get(), [&](IGraphics& g) {
            g.SetColor(kGrass);
            g.FillRect(0, 0, 128, 96);
            queryInterface<IRenderable>(component("roads"))->Render(&g);
            queryInterface<IRenderable>(m_map)->Render(&g);
        });
    };
    std::vector<std::vector<std::uint32_t>> panels;
    // 1: a valid draft from (1, 1) around the plants to (3, 0), joining nothing.
    run("builder.SetMode(1);");
    moveTo(1, 1);
    press(1, 1);
    moveTo(3, 0);
    panels.push_back(panel());
    release(3, 0);
    // 2: the same kind of drag refused by the script, down onto the road: drawn red.
    run("answers.CanBuildRoad = false;");
    moveTo(7, 2);
    press(7, 2);
    moveTo(7, 4);
    panels.push_back(panel());
    release(7, 4);
    // 3: forest mode, the pointer over a clean cell: green there, shading where nothing can grow.
    run("builder.SetMode(2);");
    moveTo(5, 3);
    panels.push_back(panel());
    // 4: destroy mode over the broken road: white.
    run("builder.SetMode(3);");
    moveTo(6, 4);
    panels.push_back(panel());

    std::vector<std::uint32_t> sheet(256 * 192);
    for (int i = 0; i < 4; ++i) {
        for (int y = 0; y < 96; ++y) {
            for (int x = 0; x < 128; ++x) {
                sheet[std::size_t((i / 2 * 96 + y) * 256 + i % 2 * 128 + x)] =
                    at(panels[std::size_t(i)], 128, x, y);
            }
        }
    }
    expectGolden("terrain_builder_modes", sheet, 256, 192);
    // Spot checks: the valid draft in near white over grass, the refused one red, the plantable cell
    // green, the broken road under the destroy mark lighter than without it.
    const std::uint32_t valid = at(panels[0], 128, 16 + 8, 16 + 8);
    EXPECT_GT(valid & 0xFF, 0xB0u);
    const std::uint32_t refused = at(panels[1], 128, 16 * 7 + 8, 16 * 3 + 8);
    EXPECT_GT((refused >> 16) & 0xFF, 0xC0u);
    EXPECT_LT((refused >> 8) & 0xFF, 0x40u);
    const std::uint32_t plantable = at(panels[2], 128, 16 * 5 + 2, 16 * 3 + 2);
    EXPECT_GT((plantable >> 8) & 0xFF, (kGrass >> 8) & 0xFF);
    EXPECT_EQ(at(panels[2], 128, 16 * 4 + 2, 16 * 3 + 2), kGrass);
    EXPECT_NE(at(panels[2], 128, 16 * 2 + 2, 16 * 0 + 2), kGrass) << "a plant: no forest here";
    EXPECT_EQ(takeLog(), "");
}

} // namespace
} // namespace construction::test
