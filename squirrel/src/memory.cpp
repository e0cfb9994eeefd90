// The allocator hook and the test seam that makes one chosen allocation fail.
#include "squirrel/src/memory.h"

#include <cstdlib>

namespace {
SQREALLOCFUNC g_allocfunc = nullptr;
SQUserPointer g_allocud = nullptr;
unsigned long g_failat = 0; // 0: never fail
unsigned long g_allocs = 0; // allocations since the seam was last armed

void* hookRealloc(void* p, size_t oldsize, size_t newsize) {
    if (g_allocfunc) return g_allocfunc(g_allocud, p, (SQUnsignedInteger)oldsize, (SQUnsignedInteger)newsize);
    if (newsize == 0) {
        std::free(p);
        return nullptr;
    }
    return std::realloc(p, newsize);
}

bool injectFailure() {
    ++g_allocs;
    if (g_failat != 0 && g_allocs == g_failat) {
        g_failat = 0;
        return true;
    }
    return false;
}
} // namespace

void* sqAlloc(size_t size) {
    if (size == 0) size = 1;
    if (injectFailure()) throw SQOutOfMemory{};
    void* p = hookRealloc(nullptr, 0, size);
    if (!p) throw SQOutOfMemory{};
    return p;
}

void* sqRealloc(void* p, size_t oldsize, size_t newsize) {
    if (newsize == 0) newsize = 1;
    if (injectFailure()) throw SQOutOfMemory{};
    void* np = hookRealloc(p, oldsize, newsize);
    if (!np) throw SQOutOfMemory{};
    return np;
}

void sqFree(void* p, size_t size) {
    if (p) hookRealloc(p, size, 0);
}

unsigned long sqAllocFailAt(unsigned long n) {
    unsigned long made = g_allocs;
    g_allocs = 0;
    g_failat = n;
    return made;
}

extern "C" {
void sq_setallocator(SQREALLOCFUNC f, SQUserPointer ud) {
    g_allocfunc = f;
    g_allocud = ud;
}
void* sq_malloc(SQUnsignedInteger size) {
    if (injectFailure()) return nullptr;
    return hookRealloc(nullptr, 0, size ? size : 1);
}
void* sq_realloc(void* p, SQUnsignedInteger oldsize, SQUnsignedInteger newsize) {
    if (injectFailure()) return nullptr;
    return hookRealloc(p, oldsize, newsize ? newsize : 1);
}
void sq_free(void* p, SQUnsignedInteger size) {
    sqFree(p, size);
}
}
