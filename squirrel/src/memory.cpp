// The allocator hook and the test seam that makes one chosen allocation fail.
#include "squirrel/src/memory.h"

#include <cstdint>
#include <cstdlib>
#include <malloc.h>
#include <mutex>
#include <sys/mman.h>
#include <unistd.h>

// Sanitizer builds leave every block to malloc, so a use after free stays visible.
#if defined(__SANITIZE_ADDRESS__)
#define SQ_BLOCK_POOL 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer)
#define SQ_BLOCK_POOL 0
#endif
#endif
#ifndef SQ_BLOCK_POOL
#define SQ_BLOCK_POOL 1
#endif

namespace {
SQREALLOCFUNC g_allocfunc = nullptr;
SQUserPointer g_allocud = nullptr;
unsigned long g_failat = 0; // 0: never fail
unsigned long g_allocs = 0; // allocations since the seam was last armed

#if SQ_BLOCK_POOL
// Blocks of 2 MiB and more (a big table's nodes, a big array's slots) are mapped on their own, starting on a
// 2 MiB boundary and marked for transparent huge pages. Such a block is written whole as soon as it is made
// (a table rebuilt on growth fills every node) and each 2 MiB extent of it then costs one page fault instead
// of 512: a table growing to 100,000 integer keys took 2,626 faults, 837 this way. The tail below the last
// whole extent keeps small pages unless a whole extent adds at most a quarter to the block. Where the system
// gives no huge pages, the block is an ordinary mapping, as malloc would have made it. Only blocks listed
// here were mapped this way; any other block of a large size (a host's, or one made when the list was full)
// goes back to free().
constexpr size_t kLargeBlock = 2u << 20;
constexpr size_t kMaxLargeBlocks = 64;

struct LargeBlock {
    void* p;
    size_t len;
};
std::mutex g_largelock;
LargeBlock g_large[kMaxLargeBlocks];
size_t g_nlarge = 0;

__attribute__((noinline, cold)) void* largeAlloc(size_t size) {
    static const size_t page = (size_t)sysconf(_SC_PAGESIZE);
    size_t len = (size + page - 1) & ~(page - 1);
    size_t whole = (size + kLargeBlock - 1) & ~(kLargeBlock - 1);
    if (whole - len <= len / 4) len = whole; // the tail too gets a huge page when that costs little
    std::lock_guard<std::mutex> lock(g_largelock);
    if (g_nlarge == kMaxLargeBlocks) return std::malloc(size);
    // reserve room to start on the boundary, then give back what lies outside the block
    size_t reserve = len + kLargeBlock - page;
    void* m = mmap(nullptr, reserve, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (m == MAP_FAILED) return std::malloc(size);
    uintptr_t base = (uintptr_t)m, start = (base + kLargeBlock - 1) & ~(uintptr_t)(kLargeBlock - 1);
    if (start > base) munmap(m, start - base);
    if (base + reserve > start + len) munmap((void*)(start + len), base + reserve - (start + len));
    madvise((void*)start, len, MADV_HUGEPAGE); // a hint: without it the block simply keeps small pages
    g_large[g_nlarge++] = LargeBlock{(void*)start, len};
    return (void*)start;
}

// Unmaps `p` when it is a listed large block; false otherwise.
__attribute__((noinline, cold)) bool largeFree(void* p) {
    std::lock_guard<std::mutex> lock(g_largelock);
    for (size_t i = 0; i < g_nlarge; ++i) {
        if (g_large[i].p == p) {
            munmap(p, g_large[i].len);
            g_large[i] = g_large[--g_nlarge];
            return true;
        }
    }
    return false;
}

bool isLarge(void* p) {
    std::lock_guard<std::mutex> lock(g_largelock);
    for (size_t i = 0; i < g_nlarge; ++i)
        if (g_large[i].p == p) return true;
    return false;
}

// Small blocks freed through the default allocator wait in per-thread lists by size (16-byte classes) and
// are handed out again before malloc is asked: scripts make and drop closures, strings and tables by the
// million. A thread keeps at most kPoolMaxBytes this way and gives them back to malloc when it ends.
constexpr size_t kPoolGranule = 16;
constexpr size_t kPoolClasses = 32; // blocks up to 512 bytes
constexpr size_t kPoolMaxBytes = 1u << 20;

struct FreeBlock {
    FreeBlock* next;
};
struct BlockPool {
    FreeBlock* heads[kPoolClasses];
    size_t bytes;
    bool drainArmed;
};
thread_local BlockPool t_pool; // zero-initialised and trivially destructible: no guard on each access

void drainPool() {
    for (FreeBlock*& head : t_pool.heads) {
        while (head) {
            FreeBlock* b = head;
            head = b->next;
            std::free(b);
        }
    }
    t_pool.bytes = 0;
}
struct PoolDrain {
    ~PoolDrain() { drainPool(); }
};

// Class of a block of `size` bytes (1..512), whose blocks hold (class + 1) * kPoolGranule bytes.
inline size_t poolClass(size_t size) {
    return (size - 1) / kPoolGranule;
}

// A host allocator once installed may leave blocks of any size behind for the default one to free.
bool g_foreignblocks = false;

// What malloc is asked for when a block of `size` bytes may later rest in a class: the whole class, so a
// freed block never needs its real size looked up.
inline size_t poolRounded(size_t size) {
    return size <= kPoolClasses * kPoolGranule ? (poolClass(size) + 1) * kPoolGranule : size;
}

void* poolAlloc(size_t size) {
    if (size > kPoolClasses * kPoolGranule) return size >= kLargeBlock ? largeAlloc(size) : std::malloc(size);
    size_t c = poolClass(size);
    if (FreeBlock* b = t_pool.heads[c]) {
        t_pool.heads[c] = b->next;
        t_pool.bytes -= (c + 1) * kPoolGranule;
        return b;
    }
    return std::malloc((c + 1) * kPoolGranule);
}

void poolFree(void* p, size_t size) {
    if (size >= kLargeBlock && largeFree(p)) return;
    if (size == 0 || size > kPoolClasses * kPoolGranule || t_pool.bytes >= kPoolMaxBytes) {
        std::free(p);
        return;
    }
    size_t c = poolClass(size), bytes = (c + 1) * kPoolGranule;
    // A block a host's allocator made may be smaller than its class.
    if (g_foreignblocks && malloc_usable_size(p) < bytes) {
        std::free(p);
        return;
    }
    if (!t_pool.drainArmed) {
        t_pool.drainArmed = true;
        static thread_local PoolDrain drain; // gives the blocks back when the thread ends
        (void)drain;
    }
    FreeBlock* b = static_cast<FreeBlock*>(p);
    b->next = t_pool.heads[c];
    t_pool.heads[c] = b;
    t_pool.bytes += bytes;
}
#endif

void* hookRealloc(void* p, size_t oldsize, size_t newsize) {
    if (g_allocfunc) return g_allocfunc(g_allocud, p, (SQUnsignedInteger)oldsize, (SQUnsignedInteger)newsize);
    if (newsize == 0) {
        std::free(p);
        return nullptr;
    }
#if SQ_BLOCK_POOL
    newsize = poolRounded(newsize);
#endif
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
#if SQ_BLOCK_POOL
    void* p = g_allocfunc ? hookRealloc(nullptr, 0, size) : poolAlloc(size);
#else
    void* p = hookRealloc(nullptr, 0, size);
#endif
    if (!p) throw SQOutOfMemory{};
    return p;
}

void* sqAllocLines(size_t size) {
#if SQ_BLOCK_POOL
    constexpr size_t kLine = 64;
    if (size > kPoolClasses * kPoolGranule && size < kLargeBlock && !g_allocfunc) {
        if (injectFailure()) throw SQOutOfMemory{};
        void* p = std::aligned_alloc(kLine, (size + kLine - 1) & ~(kLine - 1));
        if (!p) throw SQOutOfMemory{};
        return p;
    }
#endif
    return sqAlloc(size);
}

void* sqRealloc(void* p, size_t oldsize, size_t newsize) {
    if (newsize == 0) newsize = 1;
    if (injectFailure()) throw SQOutOfMemory{};
#if SQ_BLOCK_POOL
    if (oldsize >= kLargeBlock && isLarge(p)) {
        // a mapped block is neither malloc's nor a host allocator's to resize
        void* np = g_allocfunc ? hookRealloc(nullptr, 0, newsize) : poolAlloc(newsize);
        if (!np) throw SQOutOfMemory{};
        std::memcpy(np, p, oldsize < newsize ? oldsize : newsize);
        largeFree(p);
        return np;
    }
#endif
    void* np = hookRealloc(p, oldsize, newsize);
    if (!np) throw SQOutOfMemory{};
    return np;
}

void sqFree(void* p, size_t size) {
    if (!p) return;
#if SQ_BLOCK_POOL
    if (!g_allocfunc) {
        poolFree(p, size);
        return;
    }
    // made before a host installed its allocator
    if (size >= kLargeBlock && largeFree(p)) return;
#endif
    hookRealloc(p, size, 0);
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
#if SQ_BLOCK_POOL
    if (f) g_foreignblocks = true;
#endif
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
