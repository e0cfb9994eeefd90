// One frame of a 256 x 256 tile layer (65,536 ground tiles, 32 x 16 each) with 5,000 tile objects spread over
// it, seen through a 1024 x 768 view at zoom 1, 2 and 4 (each step shows four times the area). Run headless
// with SDL_VIDEODRIVER=offscreen.
//
// LayerFrame/<zoom>: the processor side of one frame (bucket culling, the depth sort of the objects, the tile
// programs turned into batch vertices; submission to the GPU off). Counters: visible_tiles,
// buckets_visited and objects_drawn per frame, and allocations_per_frame, which must stay 0.
// LayerObjects/<zoom>: the object part alone (the layer drawn with a mask that leaves its tiles out), so
// its cost can be set beside the objects in view; zoom 0 looks beside the map, so no object shows. Both parts
// grow with the visible area, not with the layer: what every registered object still costs is one read of its
// position.
#include <benchmark/benchmark.h>

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
#include "world/tile_layer.h"
#include "world/tile_object.h"
#include "world/world_classes.h"

namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 768;
constexpr int kSide = 256;
constexpr int kObjects = 5000;
// The layer's classificator: a mask excluding it draws the objects alone.
constexpr std::uint32_t kTilesBit = 1;

// A fixed place for an object.
class Spot final : public IPositionable {
public:
    explicit Spot(Vector2 at) : m_at(at) {}
    void* QueryInterface(InterfaceId id) override { return queryAmong<IPositionable>(this, id); }
    void SetPosition(const Matrix3& m) override { m_at = m.GetOrigin(); }
    Matrix3 GetPosition() override { return Matrix3(m_at); }

private:
    Vector2 m_at;
};

class Stream final : public IInputStream {
public:
    explicit Stream(std::vector<std::uint8_t> bytes) : m_bytes(std::move(bytes)) {}
    void* QueryInterface(InterfaceId id) override { return queryAmong<IInputStream>(this, id); }
    std::int32_t Read(void* buffer, std::int32_t count) override {
        const std::size_t n = std::min<std::size_t>(std::size_t(count), m_bytes.size() - m_at);
        std::copy_n(m_bytes.data() + m_at, n, static_cast<std::uint8_t*>(buffer));
        m_at += n;
        return static_cast<std::int32_t>(n);
    }

private:
    std::vector<std::uint8_t> m_bytes;
    std::size_t m_at = 0;
};

struct World {
    Display* display = nullptr;
    TileManager* tiles = nullptr;
    TileLayer* layer = nullptr;
    std::vector<ComponentRef<TileObject>> objects;
    bool ok = false;

    World() {
        display = bench::startOffscreen("hh-bench-tiles", kWidth, kHeight);
        if (display == nullptr) {
            return;
        }
        registerGraphicsClasses(ComponentRegistry::instance());
        registerWorldClasses(ComponentRegistry::instance());
        // Tile 0: ground 32 x 16 centred; tile 1: an object 16 x 24 standing on its anchor.
        const std::uint16_t words[] = {tileSpriteWord(0), 0, 0, tileSpriteWord(0), 32, 0};
        std::vector<std::uint8_t> file = {2, 0,    0xF0, 0xFF, 0xF8, 0xFF, 32, 0,  16, 0, 3, 0, 0,
                                          0, 0xF8, 0xFF, 0xE8, 0xFF, 16,   0,  24, 0,  6, 0, 0, 0};
        for (std::uint16_t w : words) {
            file.push_back(static_cast<std::uint8_t>(w));
            file.push_back(static_cast<std::uint8_t>(w >> 8));
        }
        tiles = bench::loadTileSet(file);
        if (tiles == nullptr) {
            return;
        }
        tiles->SetTexture(0, bench::noiseTexture(display, 64, 32).get());

        std::vector<std::uint8_t> records;
        for (int row = 0; row < kSide; ++row) {
            for (int column = 0; column < kSide; ++column) {
                for (int v : {0, column * 32, row * 16}) {
                    records.push_back(static_cast<std::uint8_t>(v));
                    records.push_back(static_cast<std::uint8_t>(v >> 8));
                }
            }
        }
        layer = new TileLayer;
        auto* stream = new Stream(std::move(records));
        const bool read = layer->ReadTiles(stream, kSide * kSide);
        stream->Release();
        if (!read) {
            return;
        }
        layer->AddClassificator(kTilesBit);
        unsigned seed = 12345;
        for (int i = 0; i < kObjects; ++i) {
            seed = seed * 1103515245u + 12345u;
            const float x = static_cast<float>((seed >> 8) % (kSide * 32));
            seed = seed * 1103515245u + 12345u;
            const float y = static_cast<float>((seed >> 8) % (kSide * 16));
            auto object = ComponentRef<TileObject>::adopt(new TileObject);
            auto* spot = new Spot({x, y});
            object->SetPositionable(spot);
            spot->Release();
            object->SetTile(1);
            layer->Add(object.get());
            objects.push_back(object);
        }
        ok = true;
    }
};

World& world() {
    static World instance;
    return instance;
}

void frame(benchmark::State& state, ClassMask mask) {
    World& w = world();
    if (!w.ok) {
        state.SkipWithError("no display or tile set");
        return;
    }
    // Zoom 0: a view at zoom 1 beside the map, where no object shows.
    const bool beside = state.range(0) == 0;
    const auto zoom = beside ? 1.0f : static_cast<float>(state.range(0));
    auto camera = ComponentRef<Camera>::adopt(new Camera);
    // The middle of the map.
    const Vector2 centre = beside ? Vector2{-100000.0f, -100000.0f} : Vector2{kSide * 16.0f, kSide * 8.0f};
    camera->SetPosition(Matrix3({zoom, 0.0f}, {0.0f, zoom}, centre));
    Gfx_SetSubmitEnabled(false);
    long allocations = 0;
    double visible = 0, buckets = 0, objects = 0;
    IGraphics* g = w.display->Begin(camera.get());
    w.layer->Render(g, mask); // first frame: the per-frame buffers reach their size
    for (auto _ : state) {
        const long before = bench::allocations();
        w.layer->Render(g, mask);
        allocations += bench::allocations() - before;
        buckets += w.layer->lastBucketsVisited();
        objects += w.layer->lastObjectsDrawn();
    }
    w.display->End();
    Gfx_SetSubmitEnabled(true);
    // The tiles the last frame walked.
    const Matrix3 toScreen = camera->GetUIToScreen();
    const Vector2 a = toScreen.MultVrt({0, 0});
    const Vector2 b = toScreen.MultVrt({float(kWidth), float(kHeight)});
    visible = static_cast<double>(w.layer->visibleTiles(int(a.x), int(a.y), int(b.x), int(b.y)).size());
    const double frames = static_cast<double>(state.iterations());
    if (mask.matches(kTilesBit)) {
        state.counters["visible_tiles"] = visible;
        state.counters["buckets_visited"] = buckets / frames;
    }
    state.counters["objects_drawn"] = objects / frames;
    state.counters["allocations_per_frame"] = static_cast<double>(allocations) / frames;
}

void LayerFrame(benchmark::State& state) {
    frame(state, ClassMask{});
}
BENCHMARK(LayerFrame)->Arg(1)->Arg(2)->Arg(4)->Unit(benchmark::kMicrosecond);

void LayerObjects(benchmark::State& state) {
    frame(state, ClassMask{0, kTilesBit});
}
BENCHMARK(LayerObjects)->Arg(0)->Arg(1)->Arg(2)->Arg(4)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
