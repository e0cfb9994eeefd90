// Script micro-benchmarks: each script in vm_scripts/ and vm_scripts2/ is compiled once and its main function
// run per iteration on a VM set up as `sq` sets it up. The same files run unchanged under `sq` (see
// vm_compare.sh) for side-by-side timing with other interpreters.
#include "squirrel/sqstdlib.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

void printNothing(HSQUIRRELVM, const SQChar*, ...) {}

class ScriptBench {
public:
    explicit ScriptBench(const std::string& source, const std::string& name) {
        m_vm = sq_open(1024);
        sq_setprintfunc(m_vm, printNothing);
        sq_pushroottable(m_vm);
        sqstd_register_mathlib(m_vm);
        sqstd_register_stringlib(m_vm);
        sqstd_seterrorhandlers(m_vm);
        sq_pop(m_vm, 1);
        m_ok = SQ_SUCCEEDED(
            sq_compilebuffer(m_vm, source.data(), (SQInteger)source.size(), name.c_str(), SQTrue));
    }
    ~ScriptBench() { sq_close(m_vm); }
    ScriptBench(const ScriptBench&) = delete;
    ScriptBench& operator=(const ScriptBench&) = delete;

    bool ok() const { return m_ok; }
    // Runs the compiled script once; false on a script error.
    bool run() {
        sq_push(m_vm, -1);
        sq_pushroottable(m_vm);
        bool ok = SQ_SUCCEEDED(sq_call(m_vm, 1, SQTrue, SQTrue));
        if (ok) sq_pop(m_vm, 1); // the result
        sq_pop(m_vm, 1);         // the copy of the closure
        return ok;
    }

private:
    HSQUIRRELVM m_vm;
    bool m_ok = false;
};

void runScript(benchmark::State& state, const std::string& source, const std::string& name) {
    ScriptBench bench(source, name);
    if (!bench.ok()) {
        state.SkipWithError("compile error");
        return;
    }
    for (auto _ : state) {
        if (!bench.run()) {
            state.SkipWithError("script error");
            return;
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    for (const char* folder : {VM_BENCH_SCRIPTS, VM_BENCH_SCRIPTS2}) {
        const std::string set = std::filesystem::path(folder).filename().string();
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            if (entry.path().extension() != ".nut") continue;
            std::ifstream in(entry.path(), std::ios::binary);
            std::string source((std::istreambuf_iterator<char>(in)), {});
            std::string name = entry.path().stem().string();
            benchmark::RegisterBenchmark((set + "/" + name).c_str(), runScript, source, name)
                ->Unit(benchmark::kMillisecond);
        }
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
