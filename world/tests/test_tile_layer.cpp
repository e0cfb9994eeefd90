// Tile layers: the stream format and its limits, the bucket grid, depth order of objects among tiles, the
// parallax back tile, and drawing through real scripts.
#include <cmath>
#include <cstring>

#include "world/tests/world_fixture.h"
#include "world/tile_layer.h"
#include "world/tile_object.h"

namespace {

using namespace world::test;

class TileLayerTest : public WorldTest {};

TEST_F(TileLayerTest, StreamBytesRoundTripAndLimits) {
    auto layer = make<TileLayer>();
    layer->AppendTile({-2, 10, 7});
    auto one = memory();
    ASSERT_TRUE(layer->WriteTo(one.get()));
    EXPECT_EQ((std::vector<std::uint8_t>{0x01, 0x00, 0x07, 0x00, 0xFE, 0xFF, 0x0A, 0x00}), one->bytes());

    // Order and values survive, negative coordinates included.
    auto many = make<TileLayer>();
    for (int i = 0; i < 300; ++i) {
        many->AppendTile({std::int16_t(i * 7 - 1000), std::int16_t(-i), std::int16_t(i % 5)});
    }
    auto saved = memory();
    ASSERT_TRUE(many->WriteTo(saved.get()));
    EXPECT_EQ(2u + 6 * 300, saved->bytes().size());
    auto copy = make<TileLayer>();
    auto in = memory(saved->bytes());
    ASSERT_TRUE(copy->ReadFrom(in.get()));
    ASSERT_EQ(300u, copy->GetTiles().size());
    for (std::size_t i = 0; i < 300; ++i) {
        EXPECT_EQ(many->GetTiles()[i].x, copy->GetTiles()[i].x);
        EXPECT_EQ(many->GetTiles()[i].y, copy->GetTiles()[i].y);
        EXPECT_EQ(many->GetTiles()[i].tile, copy->GetTiles()[i].tile);
    }

    // 32767 tiles are written; one more would read back as a negative count, so nothing is written.
    std::vector<std::uint8_t> most = {0xFF, 0x7F};
    most.resize(2 + 6 * std::size_t(TileLayer::MaxStreamTiles), 0);
    auto full = make<TileLayer>();
    auto mostIn = memory(most);
    ASSERT_TRUE(full->ReadFrom(mostIn.get()));
    auto fits = memory();
    EXPECT_TRUE(full->WriteTo(fits.get()));
    EXPECT_EQ(most, fits->bytes());
    full->AppendTile({0, 0, 0});
    auto tooMany = memory();
    EXPECT_FALSE(full->WriteTo(tooMany.get()));
    EXPECT_TRUE(tooMany->bytes().empty());
    EXPECT_NE(std::string::npos, takeLog().find("32768 tiles can't be written"));
}

TEST_F(TileLayerTest, HostileCountsAndShortReads) {
    auto layer = make<TileLayer>();
    layer->AppendTile({5, 5, kGround});
    const struct {
        const char* name;
        std::vector<std::uint8_t> bytes;
        bool tellsLength;
    } refused[] = {
        {"negative count", {0x00, 0x80}, true},
        {"count past the bytes", {0x10, 0x00, 1, 0, 2, 0, 3, 0}, true},
        {"no count", {0x01}, true},
    };
    for (const auto& c : refused) {
        auto in = memory(c.bytes, c.tellsLength);
        EXPECT_FALSE(layer->ReadFrom(in.get())) << c.name;
        ASSERT_EQ(1u, layer->GetTiles().size()) << c.name << ": the tiles are untouched";
    }
    auto none = memory({}, true);
    EXPECT_FALSE(layer->ReadTiles(none.get(), -1));
    EXPECT_EQ(1u, layer->GetTiles().size());

    // A stream that cannot tell its length runs short: the array keeps its new size, the grid follows it, so
    // drawing afterwards reads only what exists.
    auto shortRead = memory({0x03, 0x00, kGround, 0, 20, 0, 20, 0}, false);
    EXPECT_FALSE(layer->ReadFrom(shortRead.get()));
    ASSERT_EQ(3u, layer->GetTiles().size());
    EXPECT_EQ(20, layer->GetTiles()[0].x);
    for (std::int32_t index : layer->visibleTiles(-1000, -1000, 1000, 1000)) {
        EXPECT_LT(std::size_t(index), layer->GetTiles().size());
    }
    auto view = camera(160, 120);
    draw(320, 240, view.get(), [&](IGraphics& g) { layer->Render(&g); });
}

TEST_F(TileLayerTest, BucketGridVisitsOnlyWhatIsVisible) {
    auto layer = make<TileLayer>();
    // A 40 x 40 field of ground tiles 16 apart, and a bar across several buckets.
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 40; ++x) {
            layer->AppendTile({std::int16_t(x * 16), std::int16_t(y * 16), kGround});
        }
    }
    layer->AppendTile({0, 300, kWide});
    EXPECT_EQ(5, layer->bucketColumns()); // bounds -8 ... 632: 640 wide
    EXPECT_EQ(5, layer->bucketRows());

    const auto& all = layer->visibleTiles(-8, -8, 632, 632);
    EXPECT_EQ(1601u, all.size()); // every tile once, the bar included
    EXPECT_TRUE(std::is_sorted(all.begin(), all.end()));
    EXPECT_EQ(25, layer->lastBucketsVisited());

    const auto& corner = layer->visibleTiles(0, 0, 100, 100);
    EXPECT_EQ(1, layer->lastBucketsVisited());
    EXPECT_EQ(8u * 8u + 0u, std::size_t(std::count_if(corner.begin(), corner.end(), [&](std::int32_t i) {
                  return layer->GetTiles()[std::size_t(i)].x <= 112 &&
                         layer->GetTiles()[std::size_t(i)].y <= 112;
              })));
    const auto& bar = layer->visibleTiles(200, 296, 201, 297);
    EXPECT_EQ(1, std::count(bar.begin(), bar.end(), 1600)); // the bar, once

    // Narrowing the drawing clip narrows the buckets visited.
    auto view = camera(160, 120);
    draw(320, 240, view.get(), [&](IGraphics& g) { layer->Render(&g); });
    const std::int32_t wide = layer->lastBucketsVisited();
    draw(320, 240, view.get(), [&](IGraphics& g) {
        g.SetClip(Rect(0, 0, 60, 60));
        layer->Render(&g);
    });
    EXPECT_LT(layer->lastBucketsVisited(), wide);
    EXPECT_EQ(1, layer->lastBucketsVisited());
}

TEST_F(TileLayerTest, TilesFarApartKeepTheGridSmall) {
    // Two tiles at the ends of the coordinate range would make a grid of 513 x 513 base buckets.
    auto layer = make<TileLayer>();
    layer->AppendTile({-32768, -32768, kGround});
    layer->AppendTile({32767, 32767, kGround});
    EXPECT_GT(layer->bucketSize(), TileLayer::BucketSize);
    EXPECT_LE(layer->bucketColumns() * layer->bucketRows(), 4096);

    const auto& all = layer->visibleTiles(-40000, -40000, 40000, 40000);
    EXPECT_EQ((std::vector<std::int32_t>{0, 1}), all);
    EXPECT_LE(layer->lastBucketsVisited(), 4096);
    const auto& corner = layer->visibleTiles(-32776, -32776, -32700, -32700);
    EXPECT_EQ((std::vector<std::int32_t>{0}), corner);
    EXPECT_EQ(1, layer->lastBucketsVisited());

    // Back together, the base size returns.
    layer->RemoveTile(1);
    EXPECT_EQ(TileLayer::BucketSize, layer->bucketSize());
    EXPECT_EQ(1, layer->bucketColumns() * layer->bucketRows());
}

TEST_F(TileLayerTest, EditsKeepOrderAndIgnoreBadIndices) {
    auto layer = make<TileLayer>();
    layer->AppendTile({0, 10, kGround});
    layer->AppendTile({0, 30, kGround});
    layer->InsertTile({1, 20, kTree});
    layer->InsertTile({2, 30, kTree}); // before the first record whose y is not below 30
    ASSERT_EQ(4u, layer->GetTiles().size());
    EXPECT_EQ(1, layer->GetTiles()[1].x);
    EXPECT_EQ(2, layer->GetTiles()[2].x);
    layer->RemoveTile(-1);
    layer->RemoveTile(4);
    layer->SetTileNumber(99, kTree);
    EXPECT_EQ(4u, layer->GetTiles().size());
    layer->RemoveTile(0);
    layer->SetTileNumber(0, kPerson);
    EXPECT_EQ(kPerson, layer->GetTiles()[0].tile);
    EXPECT_EQ(3u, layer->visibleTiles(-100, -100, 100, 100).size());
}

// A scene: a parallax background, a row of trees and two people, one in front of the trees and one behind.
TEST_F(TileLayerTest, DrawsBackTileTilesAndObjectsInDepthOrder) {
    auto layer = make<TileLayer>();
    layer->SetBackTile(kBack);
    layer->SetBackParallax(1);
    for (int x = 0; x < 8; ++x) {
        layer->AppendTile({std::int16_t(20 + x * 12), 60, kTree});
    }
    auto front = make<TileObject>();
    auto behind = make<TileObject>();
    auto frontAt = make<Camera>(); // positionables
    auto behindAt = make<Camera>();
    frontAt->SetPosition(Matrix3(Vector2{50, 64}));
    behindAt->SetPosition(Matrix3(Vector2{74, 56}));
    front->SetPositionable(frontAt.get());
    behind->SetPositionable(behindAt.get());
    front->SetTile(kPerson);
    behind->SetTile(kPerson);
    behind->SetHighlighted(true);
    m_tiles->SetHighlightBlendMode(BLEND_COLORADD | BLEND_ALPHABLEND);
    m_tiles->SetHighlightColor(0xFF303030u);
    EXPECT_TRUE(layer->Add(front.get()));
    EXPECT_TRUE(layer->Add(behind.get()));
    EXPECT_FALSE(layer->Add(layer.get())); // not a tile object
    auto elsewhere = make<TileObject>();
    elsewhere->SetRenderLayer(3);
    elsewhere->SetTile(kTree);
    elsewhere->SetPositionable(frontAt.get());
    EXPECT_TRUE(layer->Add(elsewhere.get())); // accepted, not kept

    auto view = camera(60, 40);
    const auto out = draw(120, 80, view.get(), [&](IGraphics& g) { layer->Render(&g); });
    expectGolden("tile_layer_depth", out, 120, 80);
    // Screen = world - (0, 0) + (60, 40) - (60, 40): the view is the identity here.
    EXPECT_EQ(kRed, at(out, 120, 50, 58));        // in front: over the trees
    EXPECT_EQ(kYellow, at(out, 120, 74, 50));     // behind: covered by the tree row
    EXPECT_EQ(0xFFFF5050u, at(out, 120, 74, 42)); // its top shows, highlighted
    EXPECT_EQ(kWhite, at(out, 120, 1, 1));        // back tile: stripe at the left edge
    EXPECT_EQ(kBlue, at(out, 120, 8, 1));

    // Objects only, for a mask the layer does not match.
    layer->AddClassificator(1);
    const auto objects = draw(120, 80, view.get(), [&](IGraphics& g) { layer->Render(&g, ClassMask{2, 0}); });
    EXPECT_EQ(kClear, at(objects, 120, 8, 1));
    EXPECT_EQ(kClear, at(objects, 120, 74, 50)); // the objects do not match either
    front->AddClassificator(2);
    const auto one = draw(120, 80, view.get(), [&](IGraphics& g) { layer->Render(&g, ClassMask{2, 0}); });
    EXPECT_EQ(kRed, at(one, 120, 50, 58));

    // Without a camera nothing is drawn.
    const auto blind = draw(120, 80, nullptr, [&](IGraphics& g) { layer->Render(&g); });
    EXPECT_EQ(kClear, at(blind, 120, 50, 58));
    EXPECT_EQ(kClear, at(blind, 120, 1, 1));

    layer->Remove(front.get());
    layer->SetBackTile(-1);
    const auto after = draw(120, 80, view.get(), [&](IGraphics& g) { layer->Render(&g); });
    EXPECT_EQ(kClear, at(after, 120, 1, 1));
    EXPECT_EQ(kYellow, at(after, 120, 50, 58));
}

TEST_F(TileLayerTest, ObjectsOutsideTheViewAreLeftOutAndTheRestKeepTheirOrder) {
    auto layer = make<TileLayer>();
    struct Placed {
        ComponentRef<TileObject> object;
        ComponentRef<Camera> at;
    };
    const auto place = [&](float x, float y, int tile) {
        Placed p{make<TileObject>(), make<Camera>()};
        p.at->SetPosition(Matrix3(Vector2{x, y}));
        p.object->SetPositionable(p.at.get());
        p.object->SetTile(tile);
        EXPECT_TRUE(layer->Add(p.object.get()));
        return p;
    };
    const Placed edge = place(2, 40, kGround);    // its square reaches into the view's left edge
    const Placed far = place(200, 40, kGround);   // right of the view
    const Placed lost = place(NAN, 40, kGround);  // a position that is not a number
    const Placed hidden = place(30, 40, kGround); // in view, but hidden
    const Placed under = place(60, 40, kGround);  // same depth key as the next: registration order
    const Placed over = place(60, 40, kPerson);
    hidden.object->SetVisible(false);
    auto view = camera(60, 40);

    const auto out = draw(120, 80, view.get(), [&](IGraphics& g) { layer->Render(&g); });
    EXPECT_EQ(3, layer->lastObjectsDrawn());
    EXPECT_EQ(kGreen, at(out, 120, 1, 40));
    EXPECT_EQ(kClear, at(out, 120, 30, 40));
    EXPECT_EQ(kRed, at(out, 120, 60, 33)); // the later one of equal keys on top
    EXPECT_EQ(kGreen, at(out, 120, 60, 45));

    // Culling reads positions afresh every frame: an object moved into view is drawn at once, and the
    // objects-only path culls as well.
    far.at->SetPosition(Matrix3(Vector2{100, 40}));
    layer->AddClassificator(1);
    const auto moved = draw(120, 80, view.get(), [&](IGraphics& g) { layer->Render(&g, ClassMask{0, 1}); });
    EXPECT_EQ(4, layer->lastObjectsDrawn());
    EXPECT_EQ(kGreen, at(moved, 120, 100, 40));
    (void)lost;
}

TEST_F(TileLayerTest, ParallaxMovesTheBackgroundAtAFractionOfTheView) {
    auto layer = make<TileLayer>();
    layer->SetBackTile(kBack); // 32 wide, white stripe at columns 0 ... 3
    layer->SetBackParallax(1);
    layer->AppendTile({40, 100, kGround}); // out of sight
    auto stripes = [&](float cameraX) {
        auto view = camera(cameraX, 30);
        const auto out = draw(64, 8, view.get(), [&](IGraphics& g) { layer->Render(&g); });
        std::vector<int> columns;
        for (int x = 0; x < 64; ++x) {
            if (at(out, 64, x, 0) == kWhite && (x == 0 || at(out, 64, x - 1, 0) != kWhite)) {
                columns.push_back(x);
            }
        }
        return columns;
    };
    EXPECT_EQ((std::vector<int>{0, 32}), stripes(32));
    // The view moves 16 to the right: the tiles move 16 to the left, the pattern 8.
    EXPECT_EQ((std::vector<int>{24, 56}), stripes(48));
    layer->SetBackParallax(0);
    EXPECT_EQ((std::vector<int>{16, 48}), stripes(48));
    layer->SetBackParallax(99); // clamped, never undefined
    layer->SetBackParallax(-5);
    EXPECT_EQ((std::vector<int>{16, 48}), stripes(48));
}

TEST_F(TileLayerTest, ZeroSizedBackTileDrawsNoBackground) {
    ASSERT_TRUE(loadTiles({{0, 0, 0, 16, {}}, {0, 0, 16, 0, {}}}));
    auto layer = make<TileLayer>();
    auto view = camera(32, 32);
    for (int back : {0, 1, 5000}) {
        layer->SetBackTile(back);
        const auto out = draw(8, 8, view.get(), [&](IGraphics& g) { layer->Render(&g); });
        EXPECT_EQ(kClear, at(out, 8, 4, 4));
    }
}

// A clip far beyond the target, or a view zoomed out to absurdity over a 1 x 1 back tile, stays a bounded
// amount of drawing.
TEST_F(TileLayerTest, OversizedClipsAndViewsStayBounded) {
    ASSERT_TRUE(loadTiles({{0, 0, 1, 1, {TILEOP_FillRect, 1, 1}}}));
    auto layer = make<TileLayer>();
    layer->SetBackTile(0);
    auto view = camera(16, 16);
    Gfx_ResetDrawCallCount();
    draw(32, 32, view.get(), [&](IGraphics& g) {
        g.SetClip(Rect(-1000000000, -1000000000, 2000000000, 2000000000));
        layer->Render(&g);
    });
    EXPECT_LE(Gfx_PrimitiveCount(), 33u * 33u);
    auto far = camera(16, 16, 100000.0f);
    draw(32, 32, far.get(), [&](IGraphics& g) { layer->Render(&g); });
    EXPECT_NE(std::string::npos, takeLog().find("Back tile 0 skipped"));
}

// Huge tiles stay out of the grid: thousands of them cost no more than their count, and they are still found.
TEST_F(TileLayerTest, HugeTilesStayOutOfTheGrid) {
    ASSERT_TRUE(loadTiles({{-16000, -16000, 32000, 32000, {}}, {0, 0, 16, 16, {}}}));
    auto layer = make<TileLayer>();
    std::vector<std::uint8_t> bytes = {0x88, 0x13}; // 5000 records: huge tiles and small ones
    for (int i = 0; i < 5000; ++i) {
        for (int v : {i % 2, (i * 37) % 3000, i / 2}) {
            bytes.push_back(std::uint8_t(v));
            bytes.push_back(std::uint8_t(v >> 8));
        }
    }
    auto in = memory(bytes);
    ASSERT_TRUE(layer->ReadFrom(in.get()));
    const auto& some = layer->visibleTiles(100, 100, 101, 101);
    EXPECT_EQ(2500u, std::size_t(std::count_if(some.begin(), some.end(), [&](std::int32_t t) {
                  return layer->GetTiles()[std::size_t(t)].tile == 0;
              })));
    EXPECT_TRUE(std::is_sorted(some.begin(), some.end()));
}

// The grid follows the tile set: tiles read before the set is loaded are found once it is.
TEST_F(TileLayerTest, GridFollowsAReloadedTileSet) {
    m_tiles->Shutdown();
    auto layer = make<TileLayer>();
    layer->AppendTile({10, 10, kGround});
    EXPECT_TRUE(layer->visibleTiles(0, 0, 100, 100).empty());
    ASSERT_TRUE(loadTiles(worldTiles()));
    m_tiles->SetTexture(0, m_texture.get());
    auto view = camera(16, 16);
    const auto out = draw(32, 32, view.get(), [&](IGraphics& g) { layer->Render(&g); });
    EXPECT_EQ(kGreen, at(out, 32, 10, 10));
}

TEST_F(TileLayerTest, WorksFromScripts) {
    run("layer <- getComponent(\"TileLayer\");"
        "person <- getComponent(\"TileObject\");"
        "person.SetTile(2);"
        "layer.SetRenderLayer(0);"
        "::registered <- layer.RegisterObject(person);"
        "::refused <- layer.RegisterObject(layer);"
        "layer.SetBackTile(-1);"
        "layer.SetBackParallax(2);");
    EXPECT_EQ("TileLayer", text("typeof layer"));
    EXPECT_EQ("true", text("registered"));
    EXPECT_EQ("false", text("refused"));
    EXPECT_EQ("0", text("layer.GetRenderLayer()"));
    auto* layer = dynamic_cast<TileLayer*>(component("layer"));
    ASSERT_NE(nullptr, layer);
    auto bytes = memory({7, 0, 0xFE, 0xFF, 10, 0});
    share("stream", bytes.get());
    EXPECT_EQ("true", text("layer.ReadTiles(stream, 1)"));
    EXPECT_EQ("false", text("layer.ReadTiles(stream, 1)"));
    EXPECT_EQ("false", text("layer.ReadTiles(stream, -3)"));
    run("delete ::stream; layer.UnregisterObject(person); layer.ClearObjects();");
    EXPECT_EQ(1u, layer->GetTiles().size());
    run("delete ::layer; delete ::person;");
}

} // namespace
