// The construction tools on a 256 x 256 pass map (65,536 cells of 4 pixels, the whole map in a 1024 x 1024
// view), run headless with SDL_VIDEODRIVER=offscreen:
//
// BuildingOverlayFrame/<view>: the map's overlays with an enabled BuildingBuilder, which shades every blocked
// cell (outside its zone, under margins, occupied): one frame, processor side (submission to the GPU off).
// View 1 shows the whole map, view 4 a quarter of it across (64 x 64 cells, the camera zoomed in).
// TerrainOverlayFrame/<mode>/<view>: the same with a TerrainBuilder in build-road (1) or build-forest (2)
// mode.
//
// RoadDraftDrag: one pointer move of a road drag from (0, 0) whose end jumps between (96, 80) and (80, 96) on
// the road grid, so each move routes a new draft of 177 cells through the GridRouter (whose search stops at
// 199 steps) and hands it to the RoadRenderer.
//
// Counters: allocations_per_frame, which must stay 0; allocations_per_move, where the builder adds none (the
// RoadRenderer's SetDraft builds two working lists per draft); draft_cells per move.
#include <benchmark/benchmark.h>

#include <vector>

#include "bench/allocation_counter.h"
#include "bench/bench_offscreen.h"
#include "binding/global_functions.h"
#include "component/component_registry.h"
#include "construction/building_builder.h"
#include "construction/construction_classes.h"
#include "construction/terrain_builder.h"
#include "graphics/display.h"
#include "graphics/graphics_classes.h"
#include "graphics/renderer.h"
#include "navigation/grid_router.h"
#include "navigation/navigation_classes.h"
#include "navigation/pass_map.h"
#include "objects/camera.h"
#include "objects/system.h"
#include "script/script_api.h"
#include "script/script_host.h"
#include "world/road_renderer.h"
#include "world/world_classes.h"

namespace {

constexpr int kSide = 256;
constexpr int kView = 1024;

// Cell codes: 0 clean, 1 occupied, 3 plant, 5 road, 10 ... 13 forest.
const char* const kCodes =
    "::codes <- ({ CELL_VALUE_Clean = 0, CELL_VALUE_Occupied = 1, CELL_VALUE_Plant = 3,"
    " CELL_VALUE_Road = 5, CELL_VALUE_ForestMin = 10, CELL_VALUE_ForestMax = 13,"
    " MODE_Default = 0, MODE_BuildRoad = 1, MODE_BuildForest = 2, MODE_Destroy = 3 })\n";

struct Bench {
    Display* display = nullptr;
    ComponentRef<PassMap> map;
    ComponentRef<Camera> camera;
    ComponentRef<BuildingBuilder> building;
    ComponentRef<TerrainBuilder> terrain;
    ComponentRef<GridRouter> router;
    ComponentRef<RoadRenderer> roads;
    bool ok = false;

    Bench() {
        display = bench::startOffscreen("hh-bench-construction", kView, kView);
        if (display == nullptr) {
            return;
        }
        ComponentRegistry& registry = ComponentRegistry::instance();
        registerObjectModelClasses(registry);
        registerGraphicsClasses(registry);
        registerWorldClasses(registry);
        registerNavigationClasses(registry);
        registerConstructionClasses(registry);
        registerBindingScriptApi(ScriptApi::instance());
        const char* arguments[] = {"bench"};
        ScriptHost::create(1, arguments);
        ScriptHost::callClosure(ScriptHost::compileBuffer(kCodes));
        const ScriptValue codes = ScriptHost::getSlot(ScriptHost::root(), "codes");

        // Clean ground with scattered forest, plants and houses, and a road network every 16 cells.
        std::vector<std::uint8_t> cells(kSide * kSide, 0);
        unsigned seed = 12345;
        for (int y = 0; y < kSide; ++y) {
            for (int x = 0; x < kSide; ++x) {
                seed = seed * 1103515245u + 12345u;
                const unsigned r = (seed >> 16) % 100;
                std::uint8_t& c = cells[std::size_t(y * kSide + x)];
                c = x % 16 == 0 || y % 16 == 0 ? 5
                    : r < 15                   ? std::uint8_t(10 + r % 4)
                    : r < 20                   ? 3
                    : r < 25                   ? 1
                                               : 0;
            }
        }
        map = ComponentRef<PassMap>::adopt(new PassMap);
        map->LoadFromScript(codes);
        map->resize(kSide, kSide, cells.data());
        map->SetPosition(Matrix3(Vector2{4.0f, 0.0f}, Vector2{0.0f, 4.0f}, Vector2{0.0f, 0.0f}));
        camera = ComponentRef<Camera>::adopt(new Camera);
        camera->SetPosition(Matrix3(Vector2{kView / 2.0f, kView / 2.0f}));
        camera->Apply(nullptr, Rect(0, 0, kView, kView));

        building = ComponentRef<BuildingBuilder>::adopt(new BuildingBuilder);
        building->SetGridMap(map.get());
        building->SetCamera(camera.get());
        building->AddBuildZone(Rect(0, 0, kSide / 2, kSide));
        building->AddMarginRect(Rect(10, 10, 40, 40));

        router = ComponentRef<GridRouter>::adopt(new GridRouter);
        router->Initialize(map.get());
        roads = ComponentRef<RoadRenderer>::adopt(new RoadRenderer);
        terrain = ComponentRef<TerrainBuilder>::adopt(new TerrainBuilder);
        terrain->LoadFromScript(codes);
        terrain->SetGridMap(map.get());
        terrain->SetGridRouter(router.get());
        terrain->SetRenderer(roads.get());
        terrain->SetCamera(camera.get());
        ok = true;
    }
};

Bench& bench() {
    static Bench instance;
    return instance;
}

template <class Setup, class Teardown>
void overlayFrame(benchmark::State& state, std::int64_t view, Setup&& setup, Teardown&& teardown) {
    Bench& b = bench();
    if (!b.ok) {
        state.SkipWithError("no display");
        return;
    }
    setup(b);
    // Zoomed in about the map's middle: 1 / view of it across.
    const float zoom = 1.0f / static_cast<float>(view);
    auto camera = ComponentRef<Camera>::adopt(new Camera);
    camera->SetPosition(Matrix3({zoom, 0.0f}, {0.0f, zoom}, {kView / 2.0f, kView / 2.0f}));
    camera->Apply(nullptr, Rect(0, 0, kView, kView));
    Gfx_SetSubmitEnabled(false);
    IGraphics* g = b.display->Begin(camera.get());
    b.map->Render(g, ClassMask{}); // first frame: the renderer's buffers reach their size
    long allocations = 0;
    for (auto _ : state) {
        const long before = bench::allocations();
        b.map->Render(g, ClassMask{});
        allocations += bench::allocations() - before;
    }
    b.display->End();
    Gfx_SetSubmitEnabled(true);
    teardown(b);
    state.counters["allocations_per_frame"] = static_cast<double>(allocations) / double(state.iterations());
}

void BuildingOverlayFrame(benchmark::State& state) {
    overlayFrame(
        state, state.range(0), [](Bench& b) { b.building->SetEnabled(true); },
        [](Bench& b) { b.building->SetEnabled(false); });
}
BENCHMARK(BuildingOverlayFrame)->Arg(1)->Arg(4)->Unit(benchmark::kMicrosecond);

void TerrainOverlayFrame(benchmark::State& state) {
    const auto mode = static_cast<std::int32_t>(state.range(0));
    overlayFrame(
        state, state.range(1), [mode](Bench& b) { b.terrain->SetMode(mode); },
        [](Bench& b) { b.terrain->SetMode(0); });
}
BENCHMARK(TerrainOverlayFrame)
    ->Args({1, 1})
    ->Args({1, 4})
    ->Args({2, 1})
    ->Args({2, 4})
    ->Unit(benchmark::kMicrosecond);

KDEvent pointerAt(KDint32 index, KDint32 select, int cellX, int cellY) {
    KDEvent event{};
    event.type = KD_EVENT_INPUT_POINTER;
    event.data.inputpointer = {index, select, 4 * cellX + 2, 4 * cellY + 2};
    return event;
}

void RoadDraftDrag(benchmark::State& state) {
    Bench& b = bench();
    if (!b.ok) {
        state.SkipWithError("no display");
        return;
    }
    b.terrain->SetMode(1);
    b.terrain->HandlePointerEvent(pointerAt(KD_INPUT_POINTER_X, 0, 0, 0));
    b.terrain->HandlePointerEvent(pointerAt(KD_INPUT_POINTER_SELECT, 1, 0, 0));
    const KDEvent ends[2] = {pointerAt(KD_INPUT_POINTER_X, 0, 96, 80),
                             pointerAt(KD_INPUT_POINTER_X, 0, 80, 96)};
    b.terrain->HandlePointerEvent(ends[0]);
    b.terrain->HandlePointerEvent(ends[1]); // the buffers reach their size
    long allocations = 0;
    double cells = 0;
    int which = 0;
    for (auto _ : state) {
        const long before = bench::allocations();
        b.terrain->HandlePointerEvent(ends[which]);
        allocations += bench::allocations() - before;
        cells += static_cast<double>(b.terrain->draft().size());
        which ^= 1;
    }
    b.terrain->HandlePointerEvent(pointerAt(KD_INPUT_POINTER_SELECT, 0, 80, 96));
    b.terrain->SetMode(0);
    state.counters["draft_cells"] = cells / double(state.iterations());
    state.counters["allocations_per_move"] = static_cast<double>(allocations) / double(state.iterations());
}
BENCHMARK(RoadDraftDrag)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
