// The event pump's steady state: a timer that fires on every pump and a few input events posted and consumed
// by callbacks, as in a frame of the game. The rule it checks: no heap allocation per pump (the 16-record
// pool serves it); "allocs/pump" must stay 0.
#include "platform/kd.h"
#include "platform/kd_start.h"

#include <atomic>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <new>

namespace {

std::atomic<long> g_allocations{0};

void consume(const KDEvent* event) {
    benchmark::DoNotOptimize(event->data.words[0]);
}

void BM_PumpFrame(benchmark::State& state) {
    const int inputsPerPump = static_cast<int>(state.range(0));
    int windowToken = 0;
    kdInstallCallback(consume, KD_EVENT_TIMER, nullptr);
    kdInstallCallback(consume, 0, &windowToken);
    KDTimer* timer = kdSetTimer(0, nullptr);
    kdPumpEvents(); // warm up
    long before = g_allocations.load();
    for (auto _ : state) {
        for (int i = 0; i < inputsPerPump; ++i) {
            KDEvent* event = kdCreateEvent();
            event->type = KD_EVENT_INPUT_POINTER;
            event->userptr = &windowToken;
            event->data.inputpointer.index = KD_INPUT_POINTER_X;
            kdPostEvent(event);
        }
        kdPumpEvents();
    }
    state.counters["allocs/pump"] = benchmark::Counter(static_cast<double>(g_allocations.load() - before),
                                                       benchmark::Counter::kAvgIterations);
    kdCancelTimer(timer);
    platform::stopEventSystem();
}
BENCHMARK(BM_PumpFrame)->Arg(0)->Arg(4)->Arg(15);

} // namespace

// Counts every heap allocation of the process. Kept out of line so the compiler does not pair the malloc and
// free inside them with the new and delete expressions of the benchmark library.
__attribute__((noinline)) void* operator new(std::size_t size) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
__attribute__((noinline)) void operator delete(void* p) noexcept {
    std::free(p);
}
__attribute__((noinline)) void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

BENCHMARK_MAIN();
