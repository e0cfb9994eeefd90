// libFuzzer target for the compiler, and for compile-then-run: any byte string either compiles or yields a
// compile error; a compiled script then runs under a step budget and a memory budget and ends normally or
// with a script error. Never a crash, a hang or a leak.
#include "squirrel/squirrel.h"
#include "squirrel/src/collector.h"
#include "squirrel/src/vm.h"

#include <cstdint>
#include <cstdlib>

namespace {

size_t g_used = 0;
constexpr size_t kBudget = 64u << 20;

void* budgetAlloc(SQUserPointer, void* p, SQUnsignedInteger oldsize, SQUnsignedInteger newsize) {
    if (newsize == 0) {
        g_used -= oldsize;
        free(p);
        return nullptr;
    }
    if (g_used - oldsize + newsize > kBudget) return nullptr;
    void* np = realloc(p, newsize);
    if (np) g_used = g_used - oldsize + newsize;
    return np;
}

void quietPrint(HSQUIRRELVM, const SQChar*, ...) {}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    sq_setallocator(budgetAlloc, nullptr);
    HSQUIRRELVM v = sq_open(256);
    if (!v) return 0;
    sq_setprintfunc(v, quietPrint);
    // The first byte chooses: compile only, or compile and run.
    bool runIt = size > 0 && (data[0] & 1);
    if (SQ_SUCCEEDED(
            sq_compilebuffer(v, reinterpret_cast<const SQChar*>(data), (SQInteger)size, "fuzz", SQFalse)) &&
        runIt) {
        v->_stepbudget = 2000; // each step may copy a growing string: keep the product small
        sq_pushroottable(v);
        sq_call(v, 1, SQFalse, SQFalse);
        sq_collectgarbage(v);
        if (sqValidateHeap(v) != 0) abort();
    }
    sq_close(v);
    sq_setallocator(nullptr, nullptr);
    if (g_used != 0) abort(); // everything the VM allocated went back
    return 0;
}
