// The program's allocation counter, for benchmarks that show their measured loop allocates nothing: it
// replaces operator new and delete (over malloc and free), so include it in one source file of a program
// only.
#pragma once

#include <atomic>
#include <cstdlib>
#include <new>

namespace bench {

inline std::atomic<long> g_allocations{0};

// Allocations of the whole program so far.
inline long allocations() {
    return g_allocations.load(std::memory_order_relaxed);
}

} // namespace bench

// The replaced operator pair allocates with malloc and frees with free, which the compiler cannot see.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
    bench::g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* block = std::malloc(size != 0 ? size : 1)) {
        return block;
    }
    throw std::bad_alloc();
}
void operator delete(void* block) noexcept {
    std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}
