#pragma once
// `VmBlockPools`: the script VM's allocator.
//
// The VM makes very many small, short-lived allocations (strings, table nodes, closures, call frames).
// Requests of at most 128 bytes are rounded up to a multiple of 4 and served from one of 33 pools: pool i
// serves the requests of 4·i bytes, keeps a free list of released blocks and grows by chunks of 32 blocks
// taken from the general heap. Larger requests go to the general heap. A reallocation that keeps the rounded
// size returns the same block; one that changes the size class moves the contents (the smaller of the two
// sizes) to a new block and returns the old one to its pool or to the heap. Chunks go back to the heap only
// when the pools are destroyed, so every block must have been released (or be abandoned) by then.
//
// Blocks keep malloc's alignment: blocks of up to 8 bytes are 8-aligned, larger ones 16-aligned (their
// stride is rounded up to 16), since the VM places 16-byte-aligned objects. The free-list link lives in the
// block while it is free.
//
// Not thread-safe: the VM runs on the main thread.

#include <cstddef>

class VmBlockPools {
public:
    static constexpr std::size_t kPoolCount = 33;
    static constexpr std::size_t kBlocksPerChunk = 32;
    static constexpr std::size_t kLargestPooled = 128;

    VmBlockPools() = default;
    ~VmBlockPools();
    VmBlockPools(const VmBlockPools&) = delete;
    VmBlockPools& operator=(const VmBlockPools&) = delete;

    // A block of at least size bytes, or null when the heap is exhausted.
    void* allocate(std::size_t size);
    // Returns a block; size must be the size it was allocated (or last reallocated) with.
    void release(void* block, std::size_t size);
    // Resizes a block (null block: allocate; new size 0: release and return null). On failure the old block
    // stays valid and null is returned.
    void* reallocate(void* block, std::size_t oldSize, std::size_t newSize);

    // The VM's allocation hook (SQREALLOCFUNC) over the pools passed as user data.
    static void* vmAllocate(void* pools, void* block, unsigned oldSize, unsigned newSize);

    // Chunks taken from the heap so far (for tests and measurements).
    std::size_t chunkCount() const { return m_chunkCount; }

private:
    struct FreeBlock {
        FreeBlock* next;
    };
    struct Chunk {
        Chunk* next;
    };
    static std::size_t poolIndex(std::size_t size) { return (size + 3) / 4; }
    static std::size_t blockStride(std::size_t index);
    bool grow(std::size_t index);

    FreeBlock* m_free[kPoolCount] = {};
    Chunk* m_chunks = nullptr;
    std::size_t m_chunkCount = 0;
};
