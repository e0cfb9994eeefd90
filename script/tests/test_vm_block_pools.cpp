// The VM's block pools: size classes, reallocation rules, chunk growth and alignment.
#include "script/vm_block_pools.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <set>
#include <vector>

TEST(VmBlockPools, ReallocationKeepsTheBlockWithinItsSizeClass) {
    VmBlockPools pools;
    void* block = pools.allocate(13); // class of 16 bytes
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(pools.reallocate(block, 13, 16), block);
    EXPECT_EQ(pools.reallocate(block, 16, 14), block);

    std::memcpy(block, "0123456789abcde", 16);
    void* grown = pools.reallocate(block, 16, 40);
    ASSERT_NE(grown, block);
    EXPECT_EQ(std::memcmp(grown, "0123456789abcde", 16), 0);
    // The old block went back to its pool: the next request of its class gets it.
    EXPECT_EQ(pools.allocate(16), block);

    // Into and out of the general heap, keeping the contents.
    void* large = pools.reallocate(grown, 40, 1000);
    ASSERT_NE(large, nullptr);
    EXPECT_EQ(std::memcmp(large, "0123456789abcde", 16), 0);
    void* larger = pools.reallocate(large, 1000, 5000);
    ASSERT_NE(larger, nullptr);
    void* small = pools.reallocate(larger, 5000, 8);
    ASSERT_NE(small, nullptr);
    EXPECT_EQ(std::memcmp(small, "01234567", 8), 0);
    EXPECT_EQ(pools.reallocate(small, 8, 0), nullptr);
    pools.release(block, 16);
}

TEST(VmBlockPools, PoolsGrowByChunksOf32AlignedBlocks) {
    VmBlockPools pools;
    std::set<void*> seen;
    std::vector<void*> blocks;
    for (std::size_t i = 0; i < VmBlockPools::kBlocksPerChunk; ++i) {
        void* block = pools.allocate(12);
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % 8, 0u);
        EXPECT_TRUE(seen.insert(block).second);
        std::memset(block, 0xAB, 12);
        blocks.push_back(block);
    }
    EXPECT_EQ(pools.chunkCount(), 1u);
    blocks.push_back(pools.allocate(12));
    EXPECT_EQ(pools.chunkCount(), 2u);
    // Another size class takes its own chunk; sizes above 128 bytes take none.
    pools.allocate(128);
    EXPECT_EQ(pools.chunkCount(), 3u);
    void* large = pools.allocate(129);
    EXPECT_EQ(pools.chunkCount(), 3u);
    pools.release(large, 129);
    for (void* block : blocks) pools.release(block, 12);
    // Released blocks are reused before the pool grows again.
    for (std::size_t i = 0; i <= VmBlockPools::kBlocksPerChunk; ++i) pools.allocate(9);
    EXPECT_EQ(pools.chunkCount(), 3u);
}
