// Soak: an hour of game time at a high update speed with 500 vehicles driving delivery tours on a town map,
// through the engine's own objects (PassMap, GridRouter, Route, TransportMover, TSPSolver), with the
// process's memory sampled every game minute. Memory must stay flat: routes, tours and the mover's records
// are made and dropped all the time, and none of it may pile up.
//
// Each vehicle has a depot and four customers at random road cells; the tour optimiser orders them over the
// router's path lengths, and the vehicle drives the tour leg by leg (each leg a router path handed to
// InitMoving); back at the depot it gets a new tour. Game time runs as the System object runs it at update
// speed S: every 8 ms tick moves the transports by 8 × S ms, as fast as the processor allows.
//
//     build/bench/soak_transports [--vehicles=500] [--minutes=60] [--speed=8]
//
// Prints, per game minute, the resident set (VmRSS), the heap in use (mallinfo2), tours and legs driven;
// then the first and last samples and the largest one.
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "bench/town_map.h"
#include "navigation/grid_router.h"
#include "navigation/pass_map.h"
#include "navigation/route.h"
#include "navigation/transport_mover.h"
#include "navigation/tsp_solver.h"

namespace {

constexpr std::int32_t kSize = 256;
constexpr std::int32_t kSpacing = 16;
constexpr std::uint8_t kRoad = 1;
constexpr std::int32_t kStops = 5; // the depot and four customers
constexpr std::int32_t kTickMs = 8;

long residentKiB() {
    FILE* f = std::fopen("/proc/self/status", "r");
    if (f == nullptr) {
        return -1;
    }
    char line[256];
    long kib = -1;
    while (std::fgets(line, sizeof line, f) != nullptr) {
        if (std::strncmp(line, "VmRSS:", 6) == 0) {
            kib = std::strtol(line + 6, nullptr, 10);
        }
    }
    std::fclose(f);
    return kib;
}

long heapKiB() {
    return static_cast<long>(mallinfo2().uordblks / 1024);
}

struct Sample {
    std::int32_t minute;
    long rss, heap;
    std::int64_t tours, legs;
};

std::int32_t option(int argc, char** argv, const char* name, std::int32_t fallback) {
    const std::size_t n = std::strlen(name);
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], name, n) == 0 && argv[i][n] == '=') {
            return static_cast<std::int32_t>(std::strtol(argv[i] + n + 1, nullptr, 10));
        }
    }
    return fallback;
}

} // namespace

int main(int argc, char** argv) {
    const std::int32_t vehicleCount = std::max(1, option(argc, argv, "--vehicles", 500));
    const std::int32_t minutes = std::max(1, option(argc, argv, "--minutes", 60));
    const std::int32_t speed = std::max(1, option(argc, argv, "--speed", 8));

    std::mt19937 random(11);
    const std::vector<std::uint8_t> cells = townMap(random, kSize, kSpacing, kRoad);
    auto map = ComponentRef<PassMap>::adopt(new PassMap());
    map->resize(kSize, kSize, cells.data());
    Matrix3 transform;
    transform.m[0][0] = transform.m[1][1] = 16.0f;
    map->SetPosition(transform);
    auto router = ComponentRef<GridRouter>::adopt(new GridRouter());
    router->Initialize(map.get());
    router->SetPassMask(std::uint64_t(1) << kRoad);
    auto mover = ComponentRef<TransportMover>::adopt(new TransportMover());
    mover->SetGridMap(map.get());
    mover->SetGridRouter(router.get());
    mover->SetSpeed(60.0f);
    auto solver = ComponentRef<TSPSolver>::adopt(new TSPSolver());

    std::vector<Vector2> roads;
    for (std::int32_t y = 0; y < kSize; ++y)
        for (std::int32_t x = 0; x < kSize; ++x)
            if (cells[std::size_t(y * kSize + x)] == kRoad) roads.push_back(Vector2(float(x), float(y)));
    std::uniform_int_distribution<std::size_t> pick(0, roads.size() - 1);

    struct Driver {
        ComponentRef<Vehicle> vehicle;
        Vector2 stops[kStops];
        std::int32_t order[kStops];
        std::int32_t leg = 0;       // the leg being driven: from order[leg] to order[leg + 1]
        std::int64_t ticksLeft = 0; // ticks at full speed before it can have arrived
    };
    const float step = 60.0f * float(kTickMs * speed) / 1000.0f;
    std::int64_t tours = 0, legs = 0;

    // A new tour: random customers, ordered by the tour optimiser over path lengths from the router.
    const auto planTour = [&](Driver& d) {
        for (std::int32_t k = 1; k < kStops; ++k) d.stops[k] = roads[pick(random)];
        std::vector<std::vector<std::int32_t>> costs(kStops, std::vector<std::int32_t>(kStops, 0));
        for (std::int32_t a = 0; a < kStops; ++a)
            for (std::int32_t b = 0; b < kStops; ++b)
                if (a != b) {
                    const std::int32_t n = router->FindPath(d.stops[a], d.stops[b], false);
                    costs[std::size_t(a)][std::size_t(b)] = n > 0 ? n : 1 << 20;
                }
        solver->Solve(costs, 0);
        for (std::int32_t k = 0; k < kStops; ++k) d.order[k] = std::max(0, solver->GetResultID(k));
        d.leg = 0;
        ++tours;
    };
    // Drives the next leg; the last one leads back to the depot.
    const auto startLeg = [&](Driver& d) {
        for (;;) {
            const Vector2 from = d.stops[d.order[d.leg]];
            const Vector2 to = d.stops[d.leg + 1 < kStops ? d.order[d.leg + 1] : 0];
            auto route = ComponentRef<Route>::adopt(new Route());
            if (route->InitFromRouter(router.get(), from, to, false) > 1 &&
                mover->InitMoving(d.vehicle.get(), route.get())) {
                mover->SetMoving(d.vehicle.get(), true);
                d.ticksLeft = static_cast<std::int64_t>(mover->GetRouteLength(d.vehicle.get()) / step);
                ++legs;
                return;
            }
            // Same cell or no path: on to the next leg (a new tour after the last).
            if (++d.leg >= kStops) planTour(d);
        }
    };

    std::vector<Driver> drivers(static_cast<std::size_t>(vehicleCount));
    for (Driver& d : drivers) {
        d.vehicle = ComponentRef<Vehicle>::adopt(new Vehicle());
        d.stops[0] = roads[pick(random)];
        mover->AddTransport(d.vehicle.get());
        planTour(d);
        startLeg(d);
        mover->InitPosition(d.vehicle.get());
    }

    const std::int64_t ticksPerMinute = 60000 / (kTickMs * speed);
    std::vector<Sample> samples;
    samples.push_back({0, residentKiB(), heapKiB(), tours, legs});
    std::printf("minute 0: rss %ld KiB, heap %ld KiB\n", samples.back().rss, samples.back().heap);
    const auto began = std::chrono::steady_clock::now();
    for (std::int32_t minute = 1; minute <= minutes; ++minute) {
        for (std::int64_t t = 0; t < ticksPerMinute; ++t) {
            mover->Update(TransportMover::kUpdateLayer, kTickMs * speed);
            for (Driver& d : drivers) {
                if (--d.ticksLeft > 0 || mover->GetRouteLength(d.vehicle.get()) > 0.0f) continue;
                if (++d.leg >= kStops) planTour(d);
                startLeg(d);
            }
        }
        samples.push_back({minute, residentKiB(), heapKiB(), tours, legs});
        std::printf("minute %d: rss %ld KiB, heap %ld KiB, tours %lld, legs %lld\n", minute,
                    samples.back().rss, samples.back().heap, static_cast<long long>(tours),
                    static_cast<long long>(legs));
        std::fflush(stdout);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    const Sample& first = samples[1];
    const Sample& last = samples.back();
    const auto most = std::max_element(samples.begin() + 1, samples.end(),
                                       [](const Sample& a, const Sample& b) { return a.rss < b.rss; });
    std::printf("%d vehicles, %d game minutes at speed %d in %.1f s: %lld tours, %lld legs\n", vehicleCount,
                minutes, speed, seconds, static_cast<long long>(tours), static_cast<long long>(legs));
    std::printf("rss after minute 1: %ld KiB, after minute %d: %ld KiB (largest %ld KiB at minute %d)\n",
                first.rss, last.minute, last.rss, most->rss, most->minute);
    std::printf("heap after minute 1: %ld KiB, after minute %d: %ld KiB\n", first.heap, last.minute,
                last.heap);
    return 0;
}
