#include "script/vm_block_pools.h"

#include <cstdlib>
#include <cstring>

VmBlockPools::~VmBlockPools() {
    while (m_chunks) {
        Chunk* next = m_chunks->next;
        std::free(m_chunks);
        m_chunks = next;
    }
}

std::size_t VmBlockPools::blockStride(std::size_t index) {
    // Blocks keep malloc's alignment guarantee: the VM lays out objects with 16-byte alignment (user data
    // payloads), so anything that can hold such an object is a multiple of 16. The smallest classes hold at
    // most a pointer and stay at 8, which still fits a free block's link.
    std::size_t size = index * 4;
    return size <= 8 ? 8 : (size + 15) & ~std::size_t(15);
}

bool VmBlockPools::grow(std::size_t index) {
    const std::size_t stride = blockStride(index);
    // The chunk header is padded to 16 bytes so the blocks keep malloc's alignment.
    constexpr std::size_t header = 16;
    static_assert(sizeof(Chunk) <= header);
    auto* raw = static_cast<unsigned char*>(std::malloc(header + stride * kBlocksPerChunk));
    if (!raw) return false;
    auto* chunk = reinterpret_cast<Chunk*>(raw);
    chunk->next = m_chunks;
    m_chunks = chunk;
    ++m_chunkCount;
    unsigned char* blocks = raw + header;
    // Thread the new blocks in address order, in front of whatever is free.
    for (std::size_t i = kBlocksPerChunk; i-- > 0;) {
        auto* block = reinterpret_cast<FreeBlock*>(blocks + i * stride);
        block->next = m_free[index];
        m_free[index] = block;
    }
    return true;
}

void* VmBlockPools::allocate(std::size_t size) {
    if (size > kLargestPooled) return std::malloc(size);
    const std::size_t index = poolIndex(size);
    if (!m_free[index] && !grow(index)) return nullptr;
    FreeBlock* block = m_free[index];
    m_free[index] = block->next;
    return block;
}

void VmBlockPools::release(void* block, std::size_t size) {
    if (!block) return;
    if (size > kLargestPooled) {
        std::free(block);
        return;
    }
    const std::size_t index = poolIndex(size);
    auto* freed = static_cast<FreeBlock*>(block);
    freed->next = m_free[index];
    m_free[index] = freed;
}

void* VmBlockPools::reallocate(void* block, std::size_t oldSize, std::size_t newSize) {
    if (newSize == 0) {
        release(block, oldSize);
        return nullptr;
    }
    if (!block) return allocate(newSize);
    const bool oldPooled = oldSize <= kLargestPooled, newPooled = newSize <= kLargestPooled;
    if (oldPooled && newPooled && poolIndex(oldSize) == poolIndex(newSize)) return block;
    if (!oldPooled && !newPooled) return std::realloc(block, newSize);
    void* moved = allocate(newSize);
    if (!moved) return nullptr;
    std::memcpy(moved, block, oldSize < newSize ? oldSize : newSize);
    release(block, oldSize);
    return moved;
}

void* VmBlockPools::vmAllocate(void* pools, void* block, unsigned oldSize, unsigned newSize) {
    return static_cast<VmBlockPools*>(pools)->reallocate(block, oldSize, newSize);
}
