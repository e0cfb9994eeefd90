// A component method called from script, `p.Twice(i)` in a script loop: the `_get` metamethod of the handle,
// the component's member lookup (script extension, then the sorted method table) and the dispatcher that
// converts the argument, calls and pushes the result.
//
// Allocation check: after the host has made the VM, every later VM allocation goes through a counting hook
// (which serves it from block pools of its own; blocks the host's pools handed out before are returned to the
// new pools, which is safe because the host frees its pools only after closing the VM). The counter
// "vm_allocs_per_call" must be 0 for the method calls; the value-returning call shows what one new Vector2
// instance costs. "heap_allocs_per_call" counts C++ operator new calls of the native side (member lookup,
// dispatch) in the same loop.
#include "bench/allocation_counter.h"
#include "binding/binding_script_object.h"
#include "binding/component_class.h"
#include "binding/global_functions.h"
#include "binding/value_binding.h"
#include "component/script_interfaces.h"
#include "math/vector2.h"
#include "script/script_api.h"
#include "script/script_host.h"
#include "script/vm_block_pools.h"

#include <benchmark/benchmark.h>

#include <cstdint>

namespace {

class Probe final : public ScriptObjectBase<Probe>, public IScriptLoadable {
public:
    static constexpr char ScriptTypeName[] = "Probe";

    void* QueryInterface(InterfaceId id) override {
        return queryAmong<IScriptObject, IScriptLoadable>(this, id);
    }
    bool LoadFromScript(const ScriptValue& value) override { return scriptExtension().attach(this, value); }

    std::int32_t Twice(std::int32_t x) { return 2 * x; }
    float Scale(float x, float y) { return x * y; }
    Vector2 Offset(const Vector2& v) { return {v.x + 1.0f, v.y}; }

    static const MethodTable& scriptMethods() {
        // A table of a realistic size, so the binary search does some work.
        static const MethodTable table{
            scriptMethod<Probe>("Twice", &Probe::Twice),   scriptMethod<Probe>("Scale", &Probe::Scale),
            scriptMethod<Probe>("Offset", &Probe::Offset), scriptMethod<Probe>("AddA", &Probe::Twice),
            scriptMethod<Probe>("AddB", &Probe::Twice),    scriptMethod<Probe>("AddC", &Probe::Twice),
            scriptMethod<Probe>("GetX", &Probe::Twice),    scriptMethod<Probe>("GetY", &Probe::Twice),
            scriptMethod<Probe>("SetX", &Probe::Twice),    scriptMethod<Probe>("SetY", &Probe::Twice),
            scriptMethod<Probe>("Render", &Probe::Twice),  scriptMethod<Probe>("Update", &Probe::Twice),
        };
        return table;
    }
};

VmBlockPools* g_countingPools = nullptr;
std::uint64_t g_vmAllocations = 0;

void* countingAllocate(void*, void* block, SQUnsignedInteger oldSize, SQUnsignedInteger newSize) {
    if (newSize != 0) {
        ++g_vmAllocations;
    }
    return VmBlockPools::vmAllocate(g_countingPools, block, oldSize, newSize);
}

constexpr int kCallsPerRun = 1000;

// The host with the classes registered, the counting hook installed, and a probe shared as root `p`.
class CallBench {
public:
    explicit CallBench(bool withExtension) {
        registerBindingScriptApi(ScriptApi::instance());
        const char* arguments[] = {"bench"};
        ScriptHost::create(1, arguments);
        HSQUIRRELVM v = ScriptHost::vm();
        g_countingPools = new VmBlockPools();
        sq_setallocator(countingAllocate, nullptr);

        m_probe = ComponentRef<Probe>::adopt(new Probe());
        if (withExtension) {
            ScriptValue extension = ScriptHost::callClosure(
                ScriptHost::compileBuffer("return { Name = \"probe\", function Greet() { return 1; } };"));
            m_probe->LoadFromScript(extension);
        }
        pushComponent(v, m_probe.get());
        ScriptHost::setValue(ScriptHost::root(), "p", ScriptValue::fromStack(-1));
        sq_pop(v, 1);
    }
    ~CallBench() {
        m_probe->scriptExtension().shutdown();
        ScriptHost::destroy();
        delete g_countingPools;
        g_countingPools = nullptr;
    }
    CallBench(const CallBench&) = delete;
    CallBench& operator=(const CallBench&) = delete;

    // Compiles a function of (count) that makes `count` calls.
    bool compile(const char* text) {
        m_loop = ScriptHost::callClosure(ScriptHost::compileBuffer(text));
        return m_loop.isCallable();
    }
    bool run() {
        HSQUIRRELVM v = ScriptHost::vm();
        sq_pushobject(v, m_loop.object());
        sq_pushroottable(v);
        sq_pushinteger(v, kCallsPerRun);
        bool ok = SQ_SUCCEEDED(sq_call(v, 2, SQFalse, SQTrue));
        sq_pop(v, 1);
        return ok;
    }

private:
    ComponentRef<Probe> m_probe;
    ScriptValue m_loop;
};

void runCalls(benchmark::State& state, bool withExtension, const char* loop) {
    CallBench bench(withExtension);
    if (!bench.compile(loop) || !bench.run()) { // the first run also makes the method closures
        state.SkipWithError("script error");
        return;
    }
    g_vmAllocations = 0;
    const long heapBefore = bench::allocations();
    for (auto _ : state) {
        if (!bench.run()) {
            state.SkipWithError("script error");
            return;
        }
    }
    double calls = static_cast<double>(state.iterations()) * kCallsPerRun;
    state.SetItemsProcessed(static_cast<std::int64_t>(calls));
    state.counters["vm_allocs_per_call"] = static_cast<double>(g_vmAllocations) / calls;
    state.counters["heap_allocs_per_call"] = static_cast<double>(bench::allocations() - heapBefore) / calls;
}

constexpr char kIntegerCall[] = "return function(n) { for (local i = 0; i < n; ++i) p.Twice(i); }";
constexpr char kFloatCall[] = "return function(n) { for (local i = 0; i < n; ++i) p.Scale(i, 0.5); }";
constexpr char kEmptyLoop[] = "return function(n) { for (local i = 0; i < n; ++i) {} }";
constexpr char kValueCall[] = "return function(n) { local v = Vector2(1, 2); for (local i = 0; i < n; ++i) "
                              "p.Offset(v); }";

void BM_EmptyScriptLoop(benchmark::State& state) {
    runCalls(state, false, kEmptyLoop);
}
void BM_ComponentMethodCall(benchmark::State& state) {
    runCalls(state, false, kIntegerCall);
}
void BM_ComponentMethodCallFloatArguments(benchmark::State& state) {
    runCalls(state, false, kFloatCall);
}
void BM_ComponentMethodCallBehindScriptExtension(benchmark::State& state) {
    runCalls(state, true, kIntegerCall);
}
void BM_ComponentMethodReturningValueInstance(benchmark::State& state) {
    runCalls(state, false, kValueCall);
}

BENCHMARK(BM_EmptyScriptLoop);
BENCHMARK(BM_ComponentMethodCall);
BENCHMARK(BM_ComponentMethodCallFloatArguments);
BENCHMARK(BM_ComponentMethodCallBehindScriptExtension);
BENCHMARK(BM_ComponentMethodReturningValueInstance);

} // namespace

BENCHMARK_MAIN();
