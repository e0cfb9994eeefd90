// The road network of a 256 x 256 grid of 32 x 16 cells: a street every fourth row and column (28,672 road
// cells, every 16th one broken), seen through a 1024 x 768 view at zoom 1 and 4. Run headless with
// SDL_VIDEODRIVER=offscreen.
//
// RoadFrame/<zoom>: the processor side of one frame (the cells walked in index order, the road tiles turned
// into batch vertices; submission to the GPU off). Counter: allocations_per_frame, which must stay 0.
// RoadStreamRead: reading the whole network back from its stream (checks included).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "bench/allocation_counter.h"
#include "bench/bench_offscreen.h"
#include "component/component_registry.h"
#include "graphics/display.h"
#include "graphics/graphics_classes.h"
#include "graphics/renderer.h"
#include "graphics/tile_manager.h"
#include "graphics/tile_set.h"
#include "objects/camera.h"
#include "world/road_renderer.h"
#include "world/world_classes.h"

namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 768;
constexpr int kSide = 256;

class Grid final : public IGridMap {
public:
    void* QueryInterface(InterfaceId id) override { return queryAmong<IGridMap, IPositionable>(this, id); }
    void SetPosition(const Matrix3&) override {}
    Matrix3 GetPosition() override { return Matrix3({32.0f, 0.0f}, {0.0f, 16.0f}, {0.0f, 0.0f}); }
    std::int32_t GetWidth() override { return kSide; }
    std::int32_t GetHeight() override { return kSide; }
    std::int32_t GetCellValue(std::int32_t, std::int32_t) override { return 0; }
    void SetCellValue(std::int32_t, std::int32_t, std::int32_t) override {}
    void AddRenderer(const ComponentRef<IGridRenderer>&) override {}
    void RemoveRenderer(const ComponentRef<IGridRenderer>&) override {}
    const CellValueCodes& GetCellValueCodes() override { return m_codes; }
    const std::uint8_t* GetCells() override { return nullptr; }
    std::uint32_t GetRevision() override { return 0; }

private:
    CellValueCodes m_codes;
};

class Bytes final : public IInputStream, public IOutputStream {
public:
    void* QueryInterface(InterfaceId id) override {
        return queryAmong<IInputStream, IOutputStream>(this, id);
    }
    std::int32_t Read(void* buffer, std::int32_t count) override {
        const std::size_t n = std::min<std::size_t>(std::size_t(count), bytes.size() - at);
        std::memcpy(buffer, bytes.data() + at, n);
        at += n;
        return static_cast<std::int32_t>(n);
    }
    std::int64_t Available() override { return static_cast<std::int64_t>(bytes.size() - at); }
    std::int32_t Write(const void* buffer, std::int32_t count) override {
        const auto* p = static_cast<const std::uint8_t*>(buffer);
        bytes.insert(bytes.end(), p, p + count);
        return count;
    }
    std::vector<std::uint8_t> bytes;
    std::size_t at = 0;
};

struct World {
    Display* display = nullptr;
    TileManager* tiles = nullptr;
    Grid* grid = nullptr;
    RoadRenderer* roads = nullptr;
    std::vector<std::uint8_t> saved;
    bool ok = false;

    World() {
        display = bench::startOffscreen("hh-bench-roads", kWidth, kHeight);
        if (display == nullptr) {
            return;
        }
        registerGraphicsClasses(ComponentRegistry::instance());
        registerWorldClasses(ComponentRegistry::instance());
        // 33 tiles of 32 x 16, each one sprite.
        std::vector<std::uint8_t> file = {33, 0};
        for (int t = 0; t < 33; ++t) {
            const std::uint32_t end = 3u * std::uint32_t(t + 1);
            for (int v : {-16, -8, 32, 16}) {
                file.push_back(static_cast<std::uint8_t>(v));
                file.push_back(static_cast<std::uint8_t>(v >> 8));
            }
            for (int k = 0; k < 4; ++k) {
                file.push_back(static_cast<std::uint8_t>(end >> (8 * k)));
            }
        }
        for (int t = 0; t < 33; ++t) {
            for (std::uint16_t w : {tileSpriteWord(0), std::uint16_t((t % 2) * 32), std::uint16_t(0)}) {
                file.push_back(static_cast<std::uint8_t>(w));
                file.push_back(static_cast<std::uint8_t>(w >> 8));
            }
        }
        tiles = bench::loadTileSet(file);
        if (tiles == nullptr) {
            return;
        }
        tiles->SetTexture(0, bench::noiseTexture(display, 64, 16).get());

        grid = new Grid;
        roads = new RoadRenderer;
        roads->SetGridMap(grid);
        std::vector<std::int32_t> road, broken;
        for (int m = 0; m < 16; ++m) {
            road.push_back(m);
            broken.push_back(16 + m);
        }
        roads->SetRoadTiles(road);
        roads->SetRoadBrokenTiles(broken);
        roads->SetRouteMarkTile(32);
        int n = 0;
        for (int y = 0; y < kSide; ++y) {
            for (int x = 0; x < kSide; ++x) {
                if (x % 4 == 0 || y % 4 == 0) {
                    roads->AddRoadCell(x, y, 1, false);
                    if (++n % 16 == 0) {
                        roads->BreakRoadCell(x, y);
                    }
                }
            }
        }
        Bytes out;
        if (!roads->WriteTo(&out)) {
            return;
        }
        saved = std::move(out.bytes);
        ok = true;
    }
};

World& world() {
    static World instance;
    return instance;
}

void RoadFrame(benchmark::State& state) {
    World& w = world();
    if (!w.ok) {
        state.SkipWithError("no display or tile set");
        return;
    }
    const auto zoom = static_cast<float>(state.range(0));
    auto camera = ComponentRef<Camera>::adopt(new Camera);
    camera->SetPosition(Matrix3({zoom, 0.0f}, {0.0f, zoom}, {kSide * 16.0f, kSide * 8.0f}));
    Gfx_SetSubmitEnabled(false);
    long allocations = 0;
    IGraphics* g = w.display->Begin(camera.get());
    w.roads->Render(g);
    for (auto _ : state) {
        const long before = bench::allocations();
        w.roads->Render(g);
        allocations += bench::allocations() - before;
    }
    w.display->End();
    Gfx_SetSubmitEnabled(true);
    state.counters["allocations_per_frame"] =
        static_cast<double>(allocations) / static_cast<double>(state.iterations());
}
BENCHMARK(RoadFrame)->Arg(1)->Arg(4)->Unit(benchmark::kMicrosecond);

void RoadStreamRead(benchmark::State& state) {
    World& w = world();
    if (!w.ok) {
        state.SkipWithError("no display or tile set");
        return;
    }
    auto* copy = new RoadRenderer;
    copy->SetGridMap(w.grid);
    for (auto _ : state) {
        Bytes in;
        in.bytes = w.saved;
        benchmark::DoNotOptimize(copy->ReadFrom(&in));
    }
    state.counters["cells"] = static_cast<double>((w.saved.size() - 4) / 10);
    copy->Release();
}
BENCHMARK(RoadStreamRead)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
