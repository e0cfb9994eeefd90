// Does the VM run faster on the engine's block pools than on the general heap?
//
// Two views of the same question:
// - Script/<workload>/<allocator>: the allocation-heavy scripts of vm_scripts/ plus a game-like frame
//   (small tables, vectors as arrays, strings, closures, instances) run to completion on a VM whose
//   allocator is the pools or the heap. This is what the game feels.
// - Replay/<allocator>: the allocation trace a game-like frame produces (recorded once through a counting
//   allocator) replayed against each allocator alone, so the allocator's own cost is visible without the
//   interpreter around it.
#include "script/vm_block_pools.h"
#include "squirrel/sqstdlib.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

void printNothing(HSQUIRRELVM, const SQChar*, ...) {}

// A frame of game-like script work: short-lived tables and arrays, string keys and texts, closures and
// class instances, the mix the scripts of a tile game allocate per tick.
const char kGameFrame[] = R"(
class Vehicle {
  x = 0; y = 0; route = null; name = null;
  constructor(i) { x = i; y = i * 2; route = [i, i + 1, i + 2]; name = "car" + i; }
  function step(dt) { x += dt; y -= dt; return { cell = [x / 32, y / 32], label = name + ":" + x }; }
}
local total = 0;
for (local frame = 0; frame < 200; ++frame) {
  local vehicles = [];
  for (local i = 0; i < 50; ++i) vehicles.append(Vehicle(i));
  foreach (v in vehicles) {
    local r = v.step(16);
    total += r.cell[0] + r.label.len();
  }
  local handlers = {};
  for (local i = 0; i < 20; ++i) handlers["on" + i] <- function(a):(i) { return a + i; };
  foreach (k, f in handlers) total += f(1);
}
return total;
)";

enum class Allocator { Heap, Pools };

class Vm {
public:
    Vm(Allocator allocator, const std::string& source) {
        if (allocator == Allocator::Pools) {
            m_pools = new VmBlockPools();
            sq_setallocator(VmBlockPools::vmAllocate, m_pools);
        } else {
            sq_setallocator(nullptr, nullptr);
        }
        m_vm = sq_open(1024);
        sq_setprintfunc(m_vm, printNothing);
        sq_pushroottable(m_vm);
        sqstd_register_mathlib(m_vm);
        sqstd_register_stringlib(m_vm);
        sqstd_seterrorhandlers(m_vm);
        sq_pop(m_vm, 1);
        m_ok = SQ_SUCCEEDED(sq_compilebuffer(m_vm, source.data(), (SQInteger)source.size(), "bench", SQTrue));
    }
    ~Vm() {
        sq_close(m_vm);
        sq_setallocator(nullptr, nullptr);
        delete m_pools;
    }
    Vm(const Vm&) = delete;
    Vm& operator=(const Vm&) = delete;

    bool ok() const { return m_ok; }
    bool run() {
        sq_push(m_vm, -1);
        sq_pushroottable(m_vm);
        bool ok = SQ_SUCCEEDED(sq_call(m_vm, 1, SQTrue, SQTrue));
        if (ok) sq_pop(m_vm, 1);
        sq_pop(m_vm, 1);
        return ok;
    }

private:
    VmBlockPools* m_pools = nullptr;
    HSQUIRRELVM m_vm = nullptr;
    bool m_ok = false;
};

std::string readScript(const char* name) {
    std::ifstream in(std::string(VM_BENCH_SCRIPTS) + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void runWorkload(benchmark::State& state, const std::string& source, Allocator allocator) {
    Vm vm(allocator, source);
    if (!vm.ok()) {
        state.SkipWithError("compile error");
        return;
    }
    for (auto _ : state) {
        if (!vm.run()) {
            state.SkipWithError("script error");
            return;
        }
    }
}

// ---- allocation trace ----

struct TraceStep {
    std::uint32_t slot;    // which live block (index into the replay's block table)
    std::uint32_t oldSize; // 0 for a new block
    std::uint32_t newSize; // 0 for a release
};

struct Recorder {
    std::unordered_map<void*, std::uint32_t> slots;
    std::vector<std::uint32_t> freeSlots;
    std::uint32_t nextSlot = 0;
    std::vector<TraceStep> steps;

    static void* hook(void* self, void* block, unsigned oldSize, unsigned newSize) {
        auto* r = static_cast<Recorder*>(self);
        std::uint32_t slot;
        if (block) {
            slot = r->slots.at(block);
            r->slots.erase(block);
        } else if (!r->freeSlots.empty()) {
            slot = r->freeSlots.back();
            r->freeSlots.pop_back();
        } else {
            slot = r->nextSlot++;
        }
        r->steps.push_back({slot, block ? oldSize : 0, newSize});
        if (newSize == 0) {
            std::free(block);
            r->freeSlots.push_back(slot);
            return nullptr;
        }
        void* moved = std::realloc(block, newSize);
        r->slots[moved] = slot;
        return moved;
    }
};

const Recorder& gameFrameTrace() {
    static Recorder recorder = [] {
        Recorder r;
        sq_setallocator(Recorder::hook, &r);
        HSQUIRRELVM v = sq_open(1024);
        sq_setprintfunc(v, printNothing);
        std::string source = kGameFrame;
        if (SQ_SUCCEEDED(sq_compilebuffer(v, source.data(), (SQInteger)source.size(), "trace", SQTrue))) {
            sq_pushroottable(v);
            sq_call(v, 1, SQFalse, SQTrue);
        }
        sq_close(v);
        sq_setallocator(nullptr, nullptr);
        return r;
    }();
    return recorder;
}

template <class Realloc> void replay(benchmark::State& state, Realloc realloc) {
    const Recorder& trace = gameFrameTrace();
    std::vector<void*> blocks(trace.nextSlot, nullptr);
    for (auto _ : state) {
        for (const TraceStep& step : trace.steps) {
            blocks[step.slot] =
                realloc(step.oldSize ? blocks[step.slot] : nullptr, step.oldSize, step.newSize);
        }
        benchmark::DoNotOptimize(blocks.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(trace.steps.size()));
}

void replayHeap(benchmark::State& state) {
    replay(state, [](void* block, unsigned, unsigned newSize) -> void* {
        if (newSize == 0) {
            std::free(block);
            return nullptr;
        }
        return std::realloc(block, newSize);
    });
}

void replayPools(benchmark::State& state) {
    VmBlockPools pools;
    replay(state, [&pools](void* block, unsigned oldSize, unsigned newSize) {
        return pools.reallocate(block, oldSize, newSize);
    });
}

void registerAll() {
    for (const char* name : {"strings.nut", "table.nut", "closures.nut", "methods.nut", "array.nut"}) {
        std::string source = readScript(name);
        for (Allocator allocator : {Allocator::Heap, Allocator::Pools}) {
            std::string label =
                std::string("Script/") + name + (allocator == Allocator::Heap ? "/heap" : "/pools");
            benchmark::RegisterBenchmark(label.c_str(), [source, allocator](benchmark::State& state) {
                runWorkload(state, source, allocator);
            })->Unit(benchmark::kMillisecond);
        }
    }
    for (Allocator allocator : {Allocator::Heap, Allocator::Pools}) {
        std::string label =
            std::string("Script/game_frame/") + (allocator == Allocator::Heap ? "heap" : "pools");
        benchmark::RegisterBenchmark(label.c_str(), [allocator](benchmark::State& state) {
            runWorkload(state, kGameFrame, allocator);
        })->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark("Replay/game_frame/heap", replayHeap)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("Replay/game_frame/pools", replayPools)->Unit(benchmark::kMicrosecond);
}

} // namespace

int main(int argc, char** argv) {
    registerAll();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
