// Path finding on a 256 x 256 road grid and tours by farthest insertion, each beside a textbook version
// written here, in one run.
//
// Search: roads every 16 cells in both directions; each query is a 150-step path through the middle of the
// map.
// - GridRouter/NewStart: every query starts from another cell than the one before (nothing kept helps);
// - GridRouter/SameStart: the queries share their start and alternate between two targets, as while a road
// end
//   is dragged or the border cells of an area are tried;
// - TextbookBfs: std::queue, distance and parent arrays made fresh for each query.
// The counter "allocs_per_query" counts operator new calls in the timed loop.
//
// Transports: one UPDATE_LAYER_MOVEMENT update (8 ms) of n vehicles on a 128 x 128 road grid (roads every 8
// cells, 16-unit cells, speed 60), each driving loops around its block, several to a block, so they queue.
//
// Transports in a town: the same update on a 256 x 256 map laid out like a town: avenues every 16 cells,
// side streets between them at uneven spacing, some cut into dead ends. Each vehicle drives delivery trips,
// router-found paths between random road cells; one that arrives gets its next trip outside the timed part.
// The counter "waiting" is the share of vehicles held up by another in front.
//
// Tours: n places at random points, costs 10 × their distance; TourSolver against farthest insertion that
// recomputes every place's distance to the tour at every step (O(n³)). The tours are checked equal first.
#include "bench/allocation_counter.h"
#include "bench/town_map.h"
#include "navigation/grid_router.h"
#include "navigation/pass_map.h"
#include "navigation/route.h"
#include "navigation/testing/plain_tour.h"
#include "navigation/tour_solver.h"
#include "navigation/transport_mover.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <queue>
#include <random>
#include <vector>

namespace {

constexpr std::int32_t kSize = 256;
constexpr std::int32_t kSpacing = 16;
constexpr std::uint8_t kRoad = 1;
constexpr std::uint64_t kRoadMask = std::uint64_t(1) << kRoad;

// Starts and targets 150 steps apart: (128, 128) → (208, 198), and (112, 128) → (192, 198).
const Vector2 kStartA(128, 128), kTargetA(208, 198);
const Vector2 kStartB(112, 128), kTargetB(192, 198);
const Vector2 kTargetC(198, 208);

std::vector<std::uint8_t> roadGrid() {
    std::vector<std::uint8_t> cells(kSize * kSize, 0);
    for (std::int32_t y = 0; y < kSize; ++y) {
        for (std::int32_t x = 0; x < kSize; ++x) {
            if (x % kSpacing == 0 || y % kSpacing == 0) cells[std::size_t(y * kSize + x)] = kRoad;
        }
    }
    return cells;
}

struct RouterFixture {
    ComponentRef<PassMap> map = ComponentRef<PassMap>::adopt(new PassMap());
    ComponentRef<GridRouter> router = ComponentRef<GridRouter>::adopt(new GridRouter());
    RouterFixture() {
        std::vector<std::uint8_t> cells = roadGrid();
        map->resize(kSize, kSize, cells.data());
        router->Initialize(map.get());
        router->SetPassMask(kRoadMask);
    }
};

// The textbook search: a queue, fresh arrays, the path read back through the parents.
std::int32_t textbookBfs(const std::vector<std::uint8_t>& cells, std::uint64_t mask, std::int32_t sx,
                         std::int32_t sy, std::int32_t tx, std::int32_t ty, std::vector<std::int32_t>& path) {
    std::vector<std::int32_t> distance(cells.size(), -1);
    std::vector<std::int32_t> parent(cells.size(), -1);
    std::queue<std::int32_t> queue;
    const std::int32_t start = sy * kSize + sx, target = ty * kSize + tx;
    const auto passable = [&](std::int32_t i) {
        return cells[std::size_t(i)] < 64 && (mask >> cells[std::size_t(i)] & 1);
    };
    if (!passable(start) || !passable(target)) return 0;
    distance[std::size_t(start)] = 0;
    queue.push(start);
    while (!queue.empty()) {
        std::int32_t i = queue.front();
        queue.pop();
        if (i == target) break;
        std::int32_t x = i % kSize, y = i / kSize;
        const std::int32_t next[4][2] = {{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}};
        for (const auto& n : next) {
            if (n[0] < 0 || n[0] >= kSize || n[1] < 0 || n[1] >= kSize) continue;
            std::int32_t j = n[1] * kSize + n[0];
            if (distance[std::size_t(j)] >= 0 || !passable(j)) continue;
            distance[std::size_t(j)] = distance[std::size_t(i)] + 1;
            parent[std::size_t(j)] = i;
            queue.push(j);
        }
    }
    if (distance[std::size_t(target)] < 0) return 0;
    path.clear();
    for (std::int32_t i = target; i >= 0; i = parent[std::size_t(i)]) path.push_back(i);
    return static_cast<std::int32_t>(path.size());
}

void BM_GridRouterNewStart(benchmark::State& state) {
    RouterFixture f;
    if (f.router->FindPath(kStartA, kTargetA, false) != 151 ||
        f.router->FindPath(kStartB, kTargetB, false) != 151) {
        state.SkipWithError("the fixture's paths are not 150 steps");
        return;
    }
    const long before = bench::allocations();
    bool odd = false;
    for (auto _ : state) {
        odd = !odd;
        benchmark::DoNotOptimize(odd ? f.router->FindPath(kStartA, kTargetA, false)
                                     : f.router->FindPath(kStartB, kTargetB, false));
    }
    state.counters["allocs_per_query"] = double(bench::allocations() - before) / double(state.iterations());
}
BENCHMARK(BM_GridRouterNewStart);

void BM_GridRouterSameStart(benchmark::State& state) {
    RouterFixture f;
    if (f.router->FindPath(kStartA, kTargetC, false) != 151) {
        state.SkipWithError("the fixture's paths are not 150 steps");
        return;
    }
    const long before = bench::allocations();
    bool odd = false;
    for (auto _ : state) {
        odd = !odd;
        benchmark::DoNotOptimize(f.router->FindPath(kStartA, odd ? kTargetA : kTargetC, false));
    }
    state.counters["allocs_per_query"] = double(bench::allocations() - before) / double(state.iterations());
}
BENCHMARK(BM_GridRouterSameStart);

void BM_TextbookBfs(benchmark::State& state) {
    std::vector<std::uint8_t> cells = roadGrid();
    std::vector<std::int32_t> path;
    path.reserve(1024);
    const long before = bench::allocations();
    bool odd = false;
    for (auto _ : state) {
        odd = !odd;
        benchmark::DoNotOptimize(odd ? textbookBfs(cells, kRoadMask, 128, 128, 208, 198, path)
                                     : textbookBfs(cells, kRoadMask, 112, 128, 192, 198, path));
    }
    state.counters["allocs_per_query"] = double(bench::allocations() - before) / double(state.iterations());
}
BENCHMARK(BM_TextbookBfs);

std::vector<std::int32_t> costMatrix(std::int32_t n) {
    std::mt19937 random(static_cast<std::uint32_t>(n));
    std::vector<float> x(static_cast<std::size_t>(n)), y(static_cast<std::size_t>(n));
    for (std::int32_t i = 0; i < n; ++i)
        x[std::size_t(i)] = float(random() % 1000), y[std::size_t(i)] = float(random() % 1000);
    std::vector<std::int32_t> m(std::size_t(n * n));
    for (std::int32_t a = 0; a < n; ++a)
        for (std::int32_t b = 0; b < n; ++b)
            m[std::size_t(a * n + b)] = std::int32_t(
                std::hypot(x[std::size_t(a)] - x[std::size_t(b)], y[std::size_t(a)] - y[std::size_t(b)]) *
                10.0f);
    return m;
}

void BM_TourSolver(benchmark::State& state) {
    auto n = static_cast<std::int32_t>(state.range(0));
    std::vector<std::int32_t> m = costMatrix(n), expected;
    TourSolver solver;
    navigation::test_support::plainTour(m, n, 0, expected);
    solver.solve(m.data(), n, 0);
    if (std::vector<std::int32_t>(solver.tour().begin(), solver.tour().end()) != expected) {
        state.SkipWithError("the tours differ");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(solver.solve(m.data(), n, 0));
    }
}
BENCHMARK(BM_TourSolver)->Arg(32)->Arg(128)->Arg(256);

void BM_TextbookFarthestInsertion(benchmark::State& state) {
    auto n = static_cast<std::int32_t>(state.range(0));
    std::vector<std::int32_t> m = costMatrix(n), tour;
    for (auto _ : state) {
        navigation::test_support::plainTour(m, n, 0, tour);
        benchmark::DoNotOptimize(tour.data());
    }
}
BENCHMARK(BM_TextbookFarthestInsertion)->Arg(32)->Arg(128)->Arg(256);

void BM_TransportUpdate(benchmark::State& state) {
    constexpr std::int16_t size = 128;
    constexpr std::int32_t spacing = 8;
    auto map = ComponentRef<PassMap>::adopt(new PassMap());
    std::vector<std::uint8_t> cells(size * size, 0);
    for (std::int32_t y = 0; y < size; ++y)
        for (std::int32_t x = 0; x < size; ++x)
            if (x % spacing == 0 || y % spacing == 0) cells[std::size_t(y * size + x)] = kRoad;
    map->resize(size, size, cells.data());
    Matrix3 transform;
    transform.m[0][0] = transform.m[1][1] = 16.0f;
    map->SetPosition(transform);
    auto mover = ComponentRef<TransportMover>::adopt(new TransportMover());
    mover->SetGridMap(map.get());
    mover->SetSpeed(60.0f);

    const auto count = static_cast<std::int32_t>(state.range(0));
    const std::int32_t blocks = (size / spacing - 1) * (size / spacing - 1);
    std::vector<ComponentRef<Vehicle>> vehicles;
    auto cellRoute = ComponentRef<Route>::adopt(new Route());
    for (std::int32_t i = 0; i < count; ++i) {
        // Clockwise around block b, starting (i / blocks) × 5 cells along its loop.
        std::int32_t b = i % blocks, bx = (b % (size / spacing - 1)) * spacing,
                     by = (b / (size / spacing - 1)) * spacing;
        std::vector<Vector2> loop;
        for (std::int32_t k = 0; k < spacing; ++k) loop.push_back(Vector2(float(bx + k), float(by)));
        for (std::int32_t k = 0; k < spacing; ++k)
            loop.push_back(Vector2(float(bx + spacing), float(by + k)));
        for (std::int32_t k = 0; k < spacing; ++k)
            loop.push_back(Vector2(float(bx + spacing - k), float(by + spacing)));
        for (std::int32_t k = 0; k < spacing; ++k)
            loop.push_back(Vector2(float(bx), float(by + spacing - k)));
        cellRoute->Clear();
        std::size_t offset = std::size_t((i / blocks) * 5) % loop.size();
        for (std::size_t k = 0; k < loop.size() * 8; ++k)
            cellRoute->AddPosition(loop[(offset + k) % loop.size()]);
        vehicles.push_back(ComponentRef<Vehicle>::adopt(new Vehicle()));
        mover->AddTransport(vehicles.back().get());
        mover->InitMoving(vehicles.back().get(), cellRoute.get());
        mover->InitPosition(vehicles.back().get());
        mover->SetMoving(vehicles.back().get(), true);
    }
    for (int warm = 0; warm < 50; ++warm) mover->Update(2, 8);
    const long before = bench::allocations();
    for (auto _ : state) {
        mover->Update(2, 8);
    }
    state.counters["allocs_per_update"] = double(bench::allocations() - before) / double(state.iterations());
}
BENCHMARK(BM_TransportUpdate)->Arg(250)->Arg(1000)->Arg(4000)->Unit(benchmark::kMicrosecond);

void BM_TransportTown(benchmark::State& state) {
    std::mt19937 random(7);
    auto map = ComponentRef<PassMap>::adopt(new PassMap());
    const std::vector<std::uint8_t> cells = townMap(random, kSize, kSpacing, kRoad);
    map->resize(kSize, kSize, cells.data());
    Matrix3 transform;
    transform.m[0][0] = transform.m[1][1] = 16.0f;
    map->SetPosition(transform);
    auto router = ComponentRef<GridRouter>::adopt(new GridRouter());
    router->Initialize(map.get());
    router->SetPassMask(kRoadMask);
    auto mover = ComponentRef<TransportMover>::adopt(new TransportMover());
    mover->SetGridMap(map.get());
    mover->SetSpeed(60.0f);

    std::vector<Vector2> roads;
    for (std::int32_t y = 0; y < kSize; ++y)
        for (std::int32_t x = 0; x < kSize; ++x)
            if (cells[std::size_t(y * kSize + x)] == kRoad) roads.push_back(Vector2(float(x), float(y)));
    std::uniform_int_distribution<std::size_t> pick(0, roads.size() - 1);
    // 64 trips per 1,000 vehicles, handed out in turn: trip k starts where trip k - 1 ended.
    const auto count = static_cast<std::int32_t>(state.range(0));
    const std::size_t tripCount = std::size_t(std::max(64, count / 16));
    std::vector<ComponentRef<Route>> trips;
    Vector2 from = roads[pick(random)];
    while (trips.size() < tripCount) {
        const Vector2 to = roads[pick(random)];
        auto trip = ComponentRef<Route>::adopt(new Route());
        if (router->FindPath(from, to, false) > 1) {
            trip->CopyFromRouter(router.get());
            trips.push_back(trip);
            from = to;
        }
    }
    const float step = 60.0f * 8.0f / 1000.0f;
    struct Driver {
        ComponentRef<Vehicle> vehicle;
        std::size_t trip = 0;
        std::int64_t updatesLeft = 0; // at full speed, before it can have arrived
    };
    std::vector<Driver> drivers(static_cast<std::size_t>(count));
    const auto start = [&](Driver& d) {
        mover->InitMoving(d.vehicle.get(), trips[d.trip].get());
        d.updatesLeft = static_cast<std::int64_t>(mover->GetRouteLength(d.vehicle.get()) / step);
    };
    for (std::size_t i = 0; i < drivers.size(); ++i) {
        Driver& d = drivers[i];
        d.vehicle = ComponentRef<Vehicle>::adopt(new Vehicle());
        d.trip = (i * 7) % trips.size();
        mover->AddTransport(d.vehicle.get());
        start(d);
        mover->InitPosition(d.vehicle.get());
        mover->SetMoving(d.vehicle.get(), true);
    }
    const auto nextTrips = [&] {
        for (Driver& d : drivers) {
            if (--d.updatesLeft > 0 || mover->GetRouteLength(d.vehicle.get()) > 0.0f) continue;
            d.trip = (d.trip + 1) % trips.size();
            start(d);
            mover->SetMoving(d.vehicle.get(), true);
        }
    };
    // Long enough for the queues at crossings to form.
    for (int warm = 0; warm < 500; ++warm) {
        mover->Update(2, 8);
        nextTrips();
    }
    std::uint64_t allocations = 0;
    std::int64_t waiting = 0;
    std::vector<Vector2> last(drivers.size());
    for (auto _ : state) {
        const long before = bench::allocations();
        mover->Update(2, 8);
        allocations += static_cast<std::uint64_t>(bench::allocations() - before);
        state.PauseTiming();
        for (std::size_t i = 0; i < drivers.size(); ++i) {
            const Vector2 p = drivers[i].vehicle->GetPosition().GetOrigin();
            waiting += p.Equal(last[i]) ? 1 : 0;
            last[i] = p;
        }
        nextTrips();
        state.ResumeTiming();
    }
    state.counters["allocs_per_update"] = double(allocations) / double(state.iterations());
    state.counters["waiting"] = double(waiting) / double(state.iterations()) / double(count);
}
BENCHMARK(BM_TransportTown)->Arg(250)->Arg(1000)->Arg(4000)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
