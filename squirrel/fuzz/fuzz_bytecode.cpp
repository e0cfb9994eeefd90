// libFuzzer target for the compiled-script reader: any byte string either loads as a closure or is refused
// with an error. A loaded closure must be written back byte for byte, and must then run (under a step budget
// and a memory budget) to its end or to a script error: the reader's verification is what makes that safe.
#include "squirrel/squirrel.h"
#include "squirrel/src/collector.h"
#include "squirrel/src/vm.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr size_t kMemoryBudget = 64u << 20;
constexpr long long kStepBudget = 20000;

size_t g_allocated = 0;

// Fails allocations beyond the budget, so a loaded program that builds huge arrays meets "out of memory".
void* budgetRealloc(SQUserPointer, void* p, SQUnsignedInteger oldsize, SQUnsignedInteger newsize) {
    if (newsize == 0) {
        g_allocated -= oldsize;
        std::free(p);
        return nullptr;
    }
    if (g_allocated - oldsize + newsize > kMemoryBudget) return nullptr;
    void* np = std::realloc(p, newsize);
    if (np) g_allocated = g_allocated - oldsize + newsize;
    return np;
}

void silentPrint(HSQUIRRELVM, const SQChar*, ...) {}

struct Input {
    const uint8_t* data;
    size_t size;
    size_t pos;
};

SQInteger readInput(SQUserPointer up, SQUserPointer p, SQInteger size) {
    auto* in = static_cast<Input*>(up);
    size_t n = std::min((size_t)size, in->size - in->pos);
    std::memcpy(p, in->data + in->pos, n);
    in->pos += n;
    return (SQInteger)n;
}

SQInteger appendOutput(SQUserPointer up, SQUserPointer p, SQInteger size) {
    static_cast<std::string*>(up)->append(static_cast<const char*>(p), (size_t)size);
    return size;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    sq_setallocator(budgetRealloc, nullptr);
    HSQUIRRELVM v = sq_open(256);
    if (!v) return 0;
    sq_setprintfunc(v, silentPrint);
    Input in{data, size, 0};
    if (SQ_SUCCEEDED(sq_readclosure(v, readInput, &in))) {
        std::string out;
        if (SQ_FAILED(sq_writeclosure(v, appendOutput, &out))) std::abort();
        if (out.size() != in.pos || std::memcmp(out.data(), data, in.pos) != 0) std::abort();
        v->_stepbudget = kStepBudget;
        sq_pushroottable(v);
        sq_call(v, 1, SQFalse, SQFalse);
        sq_collectgarbage(v);
        if (sqValidateHeap(v) != 0) std::abort();
    }
    sq_close(v);
    sq_setallocator(nullptr, nullptr);
    if (g_allocated != 0) std::abort(); // everything the VM allocated went back
    return 0;
}
