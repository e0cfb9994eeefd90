// Road renderers: auto-tiling from the four-neighbour mask, the link rules of breaking, repairing and
// removing, drafts, highlights and route marks (golden images), cells outside the grid, the stream format and
// hostile streams, and the script surface.
#include <array>
#include <cmath>
#include <functional>

#include "world/road_renderer.h"
#include "world/tests/road_fixture.h"

namespace {

using namespace world::test;

class RoadRendererTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        ASSERT_TRUE(loadTiles(roadTiles()));
    }

    // A renderer over a width x height map of 16-pixel cells with the road tiles set.
    ComponentRef<RoadRenderer> roads(std::int32_t width, std::int32_t height) {
        auto map = make<TestGridMap>(width, height);
        auto r = make<RoadRenderer>();
        r->SetGridMap(map.get());
        std::vector<std::int32_t> road, broken;
        for (int m = 0; m < 16; ++m) {
            road.push_back(kRoad + m);
            broken.push_back(kBroken + m);
        }
        r->SetRoadTiles(road);
        r->SetRoadBrokenTiles(broken);
        r->SetRouteMarkTile(kMark);
        return r;
    }

    static std::int32_t maskAt(RoadRenderer& r, int x, int y) {
        const RoadCellRecord* c = r.cell(x, y);
        return c != nullptr ? c->mask : -1;
    }
};

// For each mask m, a road cell with roads on the sides of m, in a 3 x 3 block of its own (blocks one cell
// apart, so they never link to each other).
TEST_F(RoadRendererTest, AutoTilesEveryNeighbourMask) {
    auto r = roads(16, 16);
    const int dx[4] = {-1, 1, 0, 0}, dy[4] = {0, 0, -1, 1};
    for (int m = 0; m < 16; ++m) {
        const int cx = (m % 4) * 4 + 1, cy = (m / 4) * 4 + 1;
        r->AddRoadCell(cx, cy, 1, false);
        for (int side = 0; side < 4; ++side) {
            if (m & (1 << side)) {
                r->AddRoadCell(cx + dx[side], cy + dy[side], 1, false);
            }
        }
    }
    const int back[4] = {2, 1, 8, 4};
    for (int m = 0; m < 16; ++m) {
        const int cx = (m % 4) * 4 + 1, cy = (m / 4) * 4 + 1;
        EXPECT_EQ(m, maskAt(*r, cx, cy)) << "block " << m;
        for (int side = 0; side < 4; ++side) {
            if (m & (1 << side)) {
                EXPECT_EQ(back[side], maskAt(*r, cx + dx[side], cy + dy[side])) << "block " << m;
            }
        }
    }
    auto view = camera(128, 128);
    const auto out = draw(256, 256, view.get(), [&](IGraphics& g) { r->Render(&g); });
    expectGolden("road_masks", out, 256, 256);
    // Block 15 (cell (13, 13)): a cross; its centre pixel and all four arms are road, the corners are not.
    EXPECT_EQ(kWhite, at(out, 256, 13 * 16 + 8, 13 * 16 + 8));
    EXPECT_EQ(kWhite, at(out, 256, 13 * 16 + 1, 13 * 16 + 8));
    EXPECT_EQ(kClear, at(out, 256, 13 * 16 + 1, 13 * 16 + 1));
    // Block 0 (cell (1, 1)): a lone square with no arms.
    EXPECT_EQ(kWhite, at(out, 256, 16 + 8, 16 + 8));
    EXPECT_EQ(kClear, at(out, 256, 16 + 1, 16 + 8));
}

// The link rules, as masks (and broken states) of a 5 x 3 grid after each story.
TEST_F(RoadRendererTest, LinkRules) {
    struct Case {
        const char* name;
        std::function<void(RoadRenderer&)> story;
        std::vector<std::array<int, 4>> expected; // x, y, mask (-1: no road), broken
    };
    const auto run3 = [](RoadRenderer& r) {
        for (int x = 1; x <= 3; ++x) {
            r.AddRoadCell(x, 1, 1, true);
        }
    };
    const std::vector<Case> cases = {
        {"single cell", [](RoadRenderer& r) { r.AddRoadCell(2, 1, 1, true); }, {{2, 1, 0, 0}}},
        {"run of three", run3, {{1, 1, 2, 0}, {2, 1, 3, 0}, {3, 1, 1, 0}}},
        {"adding twice changes nothing",
         [&](RoadRenderer& r) {
             run3(r);
             r.AddRoadCell(2, 1, 0, true);
         },
         {{1, 1, 2, 0}, {2, 1, 3, 0}, {3, 1, 1, 0}}},
        {"breaking keeps links",
         [&](RoadRenderer& r) {
             run3(r);
             r.BreakRoadCell(2, 1);
         },
         {{1, 1, 2, 0}, {2, 1, 3, 1}, {3, 1, 1, 0}}},
        {"repair relinks with its neighbours",
         [&](RoadRenderer& r) {
             run3(r);
             r.BreakRoadCell(2, 1);
             r.RemoveRoadCell(1, 1);
             r.RepairRoadCell(2, 1);
         },
         {{1, 1, -1, 0}, {2, 1, 2, 0}, {3, 1, 1, 0}}},
        {"removing next to a broken road leaves its bit",
         [&](RoadRenderer& r) {
             run3(r);
             r.BreakRoadCell(1, 1);
             r.RemoveRoadCell(2, 1);
         },
         {{1, 1, 2, 1}, {2, 1, -1, 0}, {3, 1, 0, 0}}},
        {"same-state links skip a broken neighbour",
         [](RoadRenderer& r) {
             r.AddRoadCell(1, 1, 1, true);
             r.BreakRoadCell(1, 1);
             r.AddRoadCell(2, 1, 1, true);
             r.AddRoadCell(2, 0, 1, false);
         },
         {{1, 1, 0, 1}, {2, 1, 4, 0}, {2, 0, 8, 0}}},
        {"any-state links join a broken neighbour",
         [](RoadRenderer& r) {
             r.AddRoadCell(1, 1, 1, true);
             r.BreakRoadCell(1, 1);
             r.AddRoadCell(2, 1, 1, false);
         },
         {{1, 1, 2, 1}, {2, 1, 1, 0}}},
        {"a road of kind 0 is linked",
         [](RoadRenderer& r) {
             r.AddRoadCell(1, 1, 1, true);
             r.AddRoadCell(2, 1, 0, true);
         },
         {{1, 1, 2, 0}, {2, 1, 1, 0}}},
        {"edges of the grid hold no neighbours",
         [](RoadRenderer& r) {
             r.AddRoadCell(4, 0, 1, true);
             r.AddRoadCell(0, 1, 1, true);
             r.AddRoadCell(4, 2, 1, true);
         },
         {{4, 0, 0, 0}, {0, 1, 0, 0}, {4, 2, 0, 0}}},
        {"break, repair and remove of an empty cell change nothing",
         [](RoadRenderer& r) {
             r.BreakRoadCell(1, 1);
             r.RepairRoadCell(1, 1);
             r.RemoveRoadCell(1, 1);
         },
         {{1, 1, -1, 0}}},
    };
    for (const Case& c : cases) {
        auto r = roads(5, 3);
        c.story(*r);
        for (const auto& [x, y, mask, broken] : c.expected) {
            EXPECT_EQ(mask, maskAt(*r, x, y)) << c.name << " at " << x << "," << y;
            if (const RoadCellRecord* cell = r->cell(x, y)) {
                EXPECT_EQ(broken, cell->broken) << c.name << " at " << x << "," << y;
            }
        }
    }
    EXPECT_EQ("", takeLog());
}

// Cells are addressed through their index y * width + x, like the grid map: (width, 0) is (0, 1); every
// index outside the grid is ignored with a log line, and nothing else changes.
TEST_F(RoadRendererTest, CellsOutsideTheGridAreIgnored) {
    const std::pair<int, int> outside[] = {{-1, 0}, {0, -1},          {0, 3},
                                           {5, 2},  {-2147483647, 0}, {2147483647, 2147483647}};
    using Op = void (RoadRenderer::*)(std::int32_t, std::int32_t);
    const std::pair<const char*, Op> ops[] = {{"BreakRoadCell", &RoadRenderer::BreakRoadCell},
                                              {"RepairRoadCell", &RoadRenderer::RepairRoadCell},
                                              {"RemoveRoadCell", &RoadRenderer::RemoveRoadCell}};
    auto r = roads(5, 3);
    r->AddRoadCell(0, 0, 1, true);
    auto before = memory();
    ASSERT_TRUE(r->WriteTo(before.get()));
    for (const auto& [x, y] : outside) {
        r->AddRoadCell(x, y, 1, true);
        EXPECT_NE(std::string::npos, takeLog().find("AddRoadCell: cell")) << x << "," << y;
        for (const auto& [name, op] : ops) {
            ((*r).*op)(x, y);
            EXPECT_NE(std::string::npos, takeLog().find(std::string(name) + ": cell")) << x << "," << y;
        }
    }
    auto after = memory();
    ASSERT_TRUE(r->WriteTo(after.get()));
    EXPECT_EQ(before->bytes(), after->bytes());

    // The other operations skip such cells silently.
    r->HighlightRoadCells({{-1, 0}, {1e20f, 0}, {0, std::nanf("")}}, true);
    r->SetDraft({{5, 2}, {0, 9}}, true);
    EXPECT_TRUE(r->draft().empty());
    EXPECT_TRUE(r->GetRoadCells({{7, 7}, {65535, 65535}}).empty());
    EXPECT_EQ("", takeLog());

    // Aliasing as in the grid map.
    r->AddRoadCell(5, 0, 1, true);
    ASSERT_NE(nullptr, r->cell(0, 1));
    EXPECT_EQ(8, r->cell(0, 0)->mask);
    EXPECT_EQ(4, r->cell(0, 1)->mask);
    EXPECT_FLOAT_EQ(8.0f, r->cell(0, 1)->x);
    EXPECT_FLOAT_EQ(24.0f, r->cell(0, 1)->y);

    // Before a grid map every cell is outside.
    auto empty = make<RoadRenderer>();
    empty->AddRoadCell(0, 0, 1, true);
    EXPECT_NE(std::string::npos, takeLog().find("outside the 0 x 0 grid"));
}

TEST_F(RoadRendererTest, DraftMasksAndColours) {
    auto r = roads(6, 3);
    r->AddRoadCell(0, 1, 1, true); // unbroken road left of the draft
    r->AddRoadCell(5, 1, 1, true); // broken road right of it
    r->BreakRoadCell(5, 1);
    r->AddRoadCell(2, 2, 1, true); // unbroken road below its middle
    r->SetDraft({{1, 1}, {2, 1}, {3, 1}, {4, 1}}, true);
    const std::int32_t expected[] = {1 | 2, 1 | 2 | 8, 1 | 2, 1};
    ASSERT_EQ(4u, r->draft().size());
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(expected[i], r->draft()[std::size_t(i)].mask) << i;
        EXPECT_EQ(RoadRenderer::ValidDraftColour, r->draft()[std::size_t(i)].colour);
        EXPECT_FLOAT_EQ(float(i + 1) * 16 + 8, r->draft()[std::size_t(i)].x);
        EXPECT_FLOAT_EQ(24.0f, r->draft()[std::size_t(i)].y);
    }
    r->SetDraft({{3, 0}}, false);
    ASSERT_EQ(1u, r->draft().size());
    EXPECT_EQ(0, r->draft()[0].mask);
    EXPECT_EQ(RoadRenderer::InvalidDraftColour, r->draft()[0].colour);
    r->SetDraft({}, true);
    EXPECT_TRUE(r->draft().empty());
}

// Broken roads, a highlighted road, a road of kind 0, a removal next to a broken road, valid and invalid
// drafts and route marks in one picture.
TEST_F(RoadRendererTest, DrawsStatesDraftsAndMarks) {
    auto r = roads(10, 8);
    // Row 1: a run of five with the middle broken and the fourth highlighted.
    for (int x = 1; x <= 5; ++x) {
        r->AddRoadCell(x, 1, 1, true);
    }
    r->BreakRoadCell(3, 1);
    r->HighlightRoadCells({{4.7f, 1.2f}}, true);
    // Row 3: a road of kind 0 in the middle of a run: its neighbours point at it, it is not drawn.
    r->AddRoadCell(1, 3, 1, true);
    r->AddRoadCell(2, 3, 0, true);
    r->AddRoadCell(3, 3, 1, true);
    // Row 3 right: a broken road whose neighbour was removed still points at it.
    r->AddRoadCell(6, 3, 1, true);
    r->AddRoadCell(7, 3, 1, true);
    r->BreakRoadCell(6, 3);
    r->RemoveRoadCell(7, 3);
    // Row 5: a valid draft joining the road at (1, 5); row 6 would be the invalid one, so it is shown in a
    // second renderer sharing nothing with the first.
    r->AddRoadCell(1, 5, 1, true);
    r->SetDraft({{2, 5}, {3, 5}, {4, 5}}, true);
    auto invalid = roads(10, 8);
    invalid->SetDraft({{2, 6}, {3, 6}, {3, 7}}, false);
    // Route marks on the run of row 1 (cells without a road are skipped).
    auto marks = make<RoadCellsRenderer>();
    marks->SetRoadRenderer(r.get());
    marks->SetCells({{1, 1}, {2, 1}, {8, 1}, {2.9f, 3.5f}});
    EXPECT_EQ(3u, marks->cells().size());

    auto view = camera(80, 64);
    const auto out = draw(160, 128, view.get(), [&](IGraphics& g) {
        r->Render(&g);
        invalid->Render(&g);
        marks->Render(&g);
    });
    expectGolden("road_states", out, 160, 128);
    EXPECT_EQ(kWhite, at(out, 160, 5 * 16 + 8, 16 + 8)); // road
    EXPECT_EQ(kClear, at(out, 160, 3 * 16 + 8, 16 + 8)); // broken: an outlined centre
    EXPECT_EQ(kWhite, at(out, 160, 3 * 16 + 1, 16 + 8)); // and thin arms
    EXPECT_EQ(kClear, at(out, 160, 3 * 16 + 1, 16 + 5));
    EXPECT_EQ(kYellow, at(out, 160, 4 * 16 + 8, 16 + 8));     // highlight mark
    EXPECT_EQ(kYellow, at(out, 160, 1 * 16 + 8, 16 + 8));     // route marks
    EXPECT_EQ(kYellow, at(out, 160, 2 * 16 + 8, 3 * 16 + 8)); // (a road of kind 0 is marked too)
    EXPECT_EQ(kClear, at(out, 160, 2 * 16 + 2, 3 * 16 + 8));  // but not drawn
    EXPECT_EQ(kWhite, at(out, 160, 1 * 16 + 14, 3 * 16 + 8)); // while its neighbour points at it
    EXPECT_EQ(kWhite, at(out, 160, 6 * 16 + 14, 3 * 16 + 8)); // broken arm towards the removed road
    const std::uint32_t valid = at(out, 160, 3 * 16 + 8, 5 * 16 + 8);
    const std::uint32_t bad = at(out, 160, 3 * 16 + 8, 6 * 16 + 8);
    EXPECT_GT((valid >> 8) & 0xFF, 0xB0u); // light grey
    EXPECT_GT((bad >> 16) & 0xFF, 0xE0u);  // red
    EXPECT_LT((bad >> 8) & 0xFF, 0x40u);

    // The class filter, and nothing without a camera.
    r->AddClassificator(4);
    const auto filtered = draw(160, 128, view.get(), [&](IGraphics& g) { r->Render(&g, ClassMask{0, 4}); });
    EXPECT_EQ(kClear, at(filtered, 160, 2 * 16 + 8, 16 + 8));
    const auto blind = draw(160, 128, nullptr, [&](IGraphics& g) {
        r->Render(&g);
        marks->Render(&g);
    });
    EXPECT_EQ(kClear, at(blind, 160, 2 * 16 + 8, 16 + 8));
    EXPECT_EQ(kClear, at(blind, 160, 1 * 16 + 8, 16 + 8));

    // Cleared marks draw nothing; later roads are not marked until the cells are set again.
    marks->ClearCells();
    EXPECT_TRUE(marks->cells().empty());
}

// Only the cells whose tiles can reach the view are visited: for views scrolled, zoomed and turned, the
// picture equals one drawn by walking every cell.
TEST_F(RoadRendererTest, CullingKeepsEveryCellThatShows) {
    auto r = roads(40, 30);
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 40; ++x) {
            if (x % 3 == 0 || y % 4 == 1) {
                r->AddRoadCell(x, y, 1, true);
            }
        }
    }
    for (int i = 0; i < 40; i += 7) {
        r->BreakRoadCell(i, 1);
    }
    // Marks reach far beyond their cells: a 300-unit bar from the centre to the right.
    r->SetRouteMarkTile(kWide);
    r->HighlightRoadCells({{3, 5}, {9, 13}, {0, 0}, {24, 27}}, true);
    auto walkEverything = [&](IGraphics& g) {
        const Matrix3 toScreen = g.GetCamera()->GetWorldToScreen();
        for (int y = 0; y < 30; ++y) {
            for (int x = 0; x < 40; ++x) {
                const RoadCellRecord* c = r->cell(x, y);
                if (c == nullptr || c->kind == 0) {
                    continue;
                }
                const Vector2 p = toScreen.MultVrt(Vector2{c->x, c->y});
                g.SetColor(c->colour);
                m_tiles->Render(&g, r->tile((c->broken ? 16 : 0) + c->mask), p.x, p.y, 0);
                if (c->highlighted) {
                    m_tiles->Render(&g, r->tile(32), p.x, p.y, 0);
                }
            }
        }
    };
    struct View {
        const char* name;
        Matrix3 position;
    };
    const float c = std::cos(0.5f), s = std::sin(0.5f);
    const View views[] = {
        {"left edge between cell centres",
         Matrix3(Vector2{80 + 13, 64})}, // cell 0's centre is 5 units outside
        {"bottom right corner",
         Matrix3(Vector2{40 * 16 - 75, 30 * 16 - 61})}, // cell (24, 27)'s bar reaches in
        {"zoomed in", Matrix3({0.5f, 0}, {0, 0.5f}, {317, 229})},
        {"zoomed out past the grid", Matrix3({8, 0}, {0, 8}, {300, 200})},
        {"turned", Matrix3({c, s}, {-s, c}, {200, 150})},
        {"outside the grid", Matrix3(Vector2{-500, -500})},
    };
    for (const View& v : views) {
        auto view = make<Camera>();
        view->SetPosition(v.position);
        const auto culled = draw(160, 128, view.get(), [&](IGraphics& g) { r->Render(&g); });
        const auto everything = draw(160, 128, view.get(), walkEverything);
        EXPECT_EQ(everything, culled) << v.name;
    }
    // The first view shows the arm of cell 0, whose centre lies outside it.
    auto edge = make<Camera>();
    edge->SetPosition(views[0].position);
    const auto out = draw(160, 128, edge.get(), [&](IGraphics& g) { r->Render(&g); });
    EXPECT_EQ(kWhite, at(out, 160, 1, 1 * 16 + 8));
}

TEST_F(RoadRendererTest, StreamBytesAndRoundTrip) {
    // One road at (3, 2) on a 10-wide grid with mask 3, kind 1, not broken.
    const std::vector<std::uint8_t> one = {1, 0, 0, 0, 0x17, 0, 0, 0, 3, 0, 0, 0, 1, 0};
    auto r = roads(10, 4);
    auto in = memory(one);
    ASSERT_TRUE(r->ReadFrom(in.get()));
    ASSERT_NE(nullptr, r->cell(3, 2));
    EXPECT_EQ(3, r->cell(3, 2)->mask); // links come from the stream
    EXPECT_EQ(1, r->cell(3, 2)->kind);
    EXPECT_EQ(0xFFFFFFFFu, r->cell(3, 2)->colour);
    auto out = memory();
    ASSERT_TRUE(r->WriteTo(out.get()));
    EXPECT_EQ(one, out->bytes());

    // A network with every state survives a write and a read exactly.
    auto net = roads(10, 4);
    for (int x = 0; x < 10; ++x) {
        net->AddRoadCell(x, 1, x % 3 == 0 ? 0 : 1, true);
    }
    net->AddRoadCell(4, 0, 1, false);
    net->AddRoadCell(4, 2, 1, false);
    net->BreakRoadCell(4, 2);
    net->BreakRoadCell(7, 1);
    net->RemoveRoadCell(8, 1);
    net->HighlightRoadCells({{1, 1}}, true);
    auto saved = memory();
    ASSERT_TRUE(net->WriteTo(saved.get()));
    EXPECT_EQ(4u + 10u * 11u, saved->bytes().size());
    auto copy = roads(10, 4);
    copy->AddRoadCell(9, 3, 1, true); // dropped by the read
    auto back = memory(saved->bytes());
    ASSERT_TRUE(copy->ReadFrom(back.get()));
    EXPECT_EQ(nullptr, copy->cell(9, 3));
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 10; ++x) {
            const RoadCellRecord* a = net->cell(x, y);
            const RoadCellRecord* b = copy->cell(x, y);
            ASSERT_EQ(a == nullptr, b == nullptr) << x << "," << y;
            if (a != nullptr) {
                EXPECT_EQ(a->mask, b->mask) << x << "," << y;
                EXPECT_EQ(a->kind, b->kind) << x << "," << y;
                EXPECT_EQ(a->broken, b->broken) << x << "," << y;
                EXPECT_EQ(a->x, b->x);
                EXPECT_EQ(a->y, b->y);
                EXPECT_EQ(0, b->highlighted);
            }
        }
    }
    auto again = memory();
    ASSERT_TRUE(copy->WriteTo(again.get()));
    EXPECT_EQ(saved->bytes(), again->bytes());
}

// Every refused stream leaves the renderer exactly as it was.
TEST_F(RoadRendererTest, HostileStreamsAreRefusedWhole) {
    auto record = [](std::int32_t index, std::int32_t mask, std::uint8_t kind = 1, std::uint8_t broken = 0) {
        const auto i = static_cast<std::uint32_t>(index), m = static_cast<std::uint32_t>(mask);
        return std::vector<std::uint8_t>{std::uint8_t(i),
                                         std::uint8_t(i >> 8),
                                         std::uint8_t(i >> 16),
                                         std::uint8_t(i >> 24),
                                         std::uint8_t(m),
                                         std::uint8_t(m >> 8),
                                         std::uint8_t(m >> 16),
                                         std::uint8_t(m >> 24),
                                         kind,
                                         broken};
    };
    auto stream = [&](std::int32_t count, std::vector<std::vector<std::uint8_t>> records) {
        const auto n = static_cast<std::uint32_t>(count);
        std::vector<std::uint8_t> bytes = {std::uint8_t(n), std::uint8_t(n >> 8), std::uint8_t(n >> 16),
                                           std::uint8_t(n >> 24)};
        for (const auto& r : records) {
            bytes.insert(bytes.end(), r.begin(), r.end());
        }
        return bytes;
    };
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        bool tellsLength;
    };
    const std::vector<Case> cases = {
        {"empty", {}, true},
        {"cut count", {1, 0}, true},
        {"negative count", stream(-1, {record(0, 0)}), true},
        {"more records than cells", stream(13, {}), true},
        {"huge count", stream(0x7FFFFFFF, {}), false},
        {"count past the bytes", stream(3, {record(0, 0), record(1, 0)}), true},
        {"short read without a length", stream(3, {record(0, 0), record(1, 0)}), false},
        {"index past the grid", stream(2, {record(1, 0), record(12, 0)}), false},
        {"negative index", stream(1, {record(-1, 0)}), true},
        {"mask 16", stream(1, {record(2, 16)}), true},
        {"negative mask", stream(1, {record(2, -1)}), true},
    };
    for (const Case& c : cases) {
        auto r = roads(4, 3);
        r->AddRoadCell(1, 1, 1, true);
        r->AddRoadCell(2, 1, 1, true);
        r->BreakRoadCell(2, 1);
        auto before = memory();
        ASSERT_TRUE(r->WriteTo(before.get()));
        auto in = memory(c.bytes, c.tellsLength);
        EXPECT_FALSE(r->ReadFrom(in.get())) << c.name;
        EXPECT_NE("", takeLog()) << c.name;
        auto after = memory();
        ASSERT_TRUE(r->WriteTo(after.get()));
        EXPECT_EQ(before->bytes(), after->bytes()) << c.name;
    }
    // No grid yet: nothing can be read, not even an empty network; a null stream is refused too.
    auto bare = make<RoadRenderer>();
    auto zero = memory(stream(0, {}));
    EXPECT_FALSE(bare->ReadFrom(zero.get()));
    EXPECT_FALSE(bare->ReadFrom(nullptr));
    EXPECT_FALSE(bare->WriteTo(nullptr));
    takeLog();
}

TEST_F(RoadRendererTest, WorksFromScripts) {
    auto map = make<TestGridMap>(6, 4);
    run("roads <- getComponent(\"RoadRenderer\");"
        "marks <- getComponent(\"RoadCellsRenderer\");");
    EXPECT_EQ("RoadRenderer", text("typeof roads"));
    EXPECT_EQ("RoadCellsRenderer", text("typeof marks"));
    auto* r = dynamic_cast<RoadRenderer*>(component("roads"));
    auto* m = dynamic_cast<RoadCellsRenderer*>(component("marks"));
    ASSERT_NE(nullptr, r);
    ASSERT_NE(nullptr, m);
    r->SetGridMap(map.get());
    r->AddRoadCell(1, 1, 1, true);
    r->AddRoadCell(2, 1, 1, true);
    run("roads.SetRenderLayer(7);"
        "roads.SetRoadTiles([5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 99]);"
        "roads.SetRoadBrokenTiles([40, 41.9]);" // the rest keeps its tiles
        "roads.SetRouteMarkTile(37);"
        "roads.HighlightRoadCells([Vector2(1, 1), Vector2(3, 3), 12], true);"
        "marks.SetRenderLayer(8);"
        "marks.SetRoadRenderer(roads);"
        "marks.SetCells([Vector2(1.5, 1.5), Vector2(2, 1), Vector2(0, 0)]);");
    EXPECT_EQ(7, r->GetRenderLayer());
    EXPECT_EQ(8, m->GetRenderLayer());
    EXPECT_EQ(20, r->tile(15));
    EXPECT_EQ(40, r->tile(16));
    EXPECT_EQ(41, r->tile(17));
    EXPECT_EQ(0, r->tile(18));
    EXPECT_EQ(37, r->tile(32));
    EXPECT_EQ(1, r->cell(1, 1)->highlighted);
    EXPECT_EQ(0, r->cell(2, 1)->highlighted);
    EXPECT_EQ(2u, m->cells().size());
    run("marks.ClearCells(); roads.SetRoadTiles(null);");
    EXPECT_TRUE(m->cells().empty());
    EXPECT_NE(std::string::npos, takeLog().find("SetRoadTiles needs an array"));

    // Saved and restored through the script stream functions.
    auto saved = memory();
    share("saved", saved.get());
    EXPECT_EQ("true", text("writeComponent(saved, roads)"));
    auto back = memory(saved->bytes());
    share("back", back.get());
    run("copy <- getComponent(\"RoadRenderer\");");
    auto* copy = dynamic_cast<RoadRenderer*>(component("copy"));
    ASSERT_NE(nullptr, copy);
    copy->SetGridMap(map.get());
    EXPECT_EQ("true", text("readComponent(back, copy)"));
    ASSERT_NE(nullptr, copy->cell(2, 1));
    EXPECT_EQ(1, copy->cell(2, 1)->mask);
    EXPECT_EQ("false", text("readComponent(back, copy)")); // nothing left
    ASSERT_NE(nullptr, copy->cell(2, 1));
    takeLog();
    run("delete ::roads; delete ::marks; delete ::saved; delete ::back; delete ::copy;");
}

} // namespace
