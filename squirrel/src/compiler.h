// The single-pass compiler: source text to a main-function closure.
#ifndef SQUIRREL_SRC_COMPILER_H
#define SQUIRREL_SRC_COMPILER_H

#include "squirrel/src/object.h"

#include <cstddef>
#include <vector>

// std containers on the VM allocator, for the compiler's working state.
template <typename T> struct SQStdAllocator {
    using value_type = T;
    SQStdAllocator() = default;
    template <typename U> SQStdAllocator(const SQStdAllocator<U>&) {}
    T* allocate(size_t n) { return static_cast<T*>(sqAlloc(n * sizeof(T))); }
    void deallocate(T* p, size_t n) { sqFree(p, n * sizeof(T)); }
    template <typename U> bool operator==(const SQStdAllocator<U>&) const { return true; }
};
template <typename T> using SQStdVector = std::vector<T, SQStdAllocator<T>>;

// Compiles the source read through `rg`. On success `out` holds the main closure; on failure reports through
// the compiler error handler (when raiseerror) and leaves the message in v->_lasterror. May throw
// SQOutOfMemory.
bool sqCompile(SQVM* v, SQLEXREADFUNC rg, SQUserPointer up, const SQChar* sourcename, SQObjectPtr& out,
               bool raiseerror, bool lineinfo);

#endif
