// tests/runtime/block_pool_test.cpp: block pools, chunk growth and the shared-pool registry.
#include <cstdint>
#include <cstring>
#include <set>
#include <thread>
#include <vector>

#include "platform/sys/sys.h"
#include "platform/sys/sys_testing.h"
#include "runtime/block_pool.h"
#include "runtime/block_pool_internal.h"
#include "runtime_fixture.h"

using runtime::BlockPool;

namespace {

class BlockPoolTest : public RuntimeTest {};

std::int64_t g_failAbove = -1;  // allocations larger than this fail while >= 0

bool FailLargeAllocations(std::size_t bytes) {
    return g_failAbove >= 0 && bytes > static_cast<std::size_t>(g_failAbove);
}

}  // namespace

TEST_F(BlockPoolTest, FirstChunksHoldSixteenBlocksAndSizesGrowToTheLargest) {
    BlockPool* pool = runtime::CreateBlockPool(32, 16, 256, 0);
    ASSERT_NE(pool, nullptr);
    std::vector<void*> blocks;
    for (int i = 0; i < 16; ++i) blocks.push_back(runtime::TakeBlock(pool));
    auto stats = runtime::GetBlockPoolStats(pool);
    EXPECT_EQ(stats.chunkCount, 1);
    EXPECT_EQ(stats.totalBlocks, 16);
    EXPECT_EQ(stats.fullChunks, 1);

    blocks.push_back(runtime::TakeBlock(pool));
    stats = runtime::GetBlockPoolStats(pool);
    EXPECT_EQ(stats.chunkCount, 2);
    EXPECT_EQ(stats.lastChunkBlocks, 16);

    // Chunk sizes follow the total: never smaller than before, multiples of 16, capped at 256.
    std::int32_t previous = 16;
    std::int32_t largestSeen = 16;
    for (int i = 0; i < 20000; ++i) {
        blocks.push_back(runtime::TakeBlock(pool));
        stats = runtime::GetBlockPoolStats(pool);
        ASSERT_GE(stats.lastChunkBlocks, previous);
        ASSERT_EQ(stats.lastChunkBlocks % 16, 0);
        ASSERT_LE(stats.lastChunkBlocks, 256);
        previous = stats.lastChunkBlocks;
        largestSeen = std::max(largestSeen, previous);
    }
    EXPECT_EQ(largestSeen, 256);

    // Blocks are distinct, word-aligned and writable over their whole size.
    std::set<void*> distinct(blocks.begin(), blocks.end());
    EXPECT_EQ(distinct.size(), blocks.size());
    for (void* b : blocks) {
        ASSERT_EQ(reinterpret_cast<std::uintptr_t>(b) % sizeof(void*), 0u);
        std::memset(b, 0x5A, 32);
    }
    for (void* b : blocks) runtime::ReturnBlock(pool, b);
    stats = runtime::GetBlockPoolStats(pool);
    EXPECT_EQ(stats.chunkCount, 0);
    EXPECT_EQ(stats.totalBlocks, 0);
    runtime::DestroyBlockPool(pool);
}

TEST_F(BlockPoolTest, ChunkIsFreedWhenItsLastBlockReturns) {
    BlockPool* pool = runtime::CreateBlockPool(32, 16, 256, 0);
    std::vector<void*> first, second;
    for (int i = 0; i < 16; ++i) first.push_back(runtime::TakeBlock(pool));
    for (int i = 0; i < 3; ++i) second.push_back(runtime::TakeBlock(pool));
    for (void* b : first) runtime::ReturnBlock(pool, b);
    auto stats = runtime::GetBlockPoolStats(pool);
    EXPECT_EQ(stats.chunkCount, 1);
    EXPECT_EQ(stats.totalBlocks, 16);
    // The partly used second chunk serves returned blocks before fresh ones.
    runtime::ReturnBlock(pool, second[1]);
    EXPECT_EQ(runtime::TakeBlock(pool), second[1]);
    for (void* b : second) runtime::ReturnBlock(pool, b);
    EXPECT_EQ(runtime::GetBlockPoolStats(pool).chunkCount, 0);
    runtime::DestroyBlockPool(pool);
}

TEST_F(BlockPoolTest, FullChunkMovesBackWhenABlockReturns) {
    BlockPool* pool = runtime::CreateBlockPool(8, 4, 4, 0);
    std::vector<void*> blocks;
    for (int i = 0; i < 8; ++i) blocks.push_back(runtime::TakeBlock(pool));
    EXPECT_EQ(runtime::GetBlockPoolStats(pool).fullChunks, 2);
    runtime::ReturnBlock(pool, blocks[2]);
    EXPECT_EQ(runtime::GetBlockPoolStats(pool).fullChunks, 1);
    EXPECT_EQ(runtime::TakeBlock(pool), blocks[2]);
    EXPECT_EQ(runtime::GetBlockPoolStats(pool).fullChunks, 2);
    EXPECT_EQ(runtime::GetBlockPoolStats(pool).chunkCount, 2);
    runtime::DestroyBlockPool(pool);
}

TEST_F(BlockPoolTest, ReturningTwiceOrNullChangesNothing) {
    BlockPool* pool = runtime::CreateBlockPool(16, 16, 16, 0);
    void* a = runtime::TakeBlock(pool);
    void* b = runtime::TakeBlock(pool);
    runtime::ReturnBlock(pool, a);
    runtime::ReturnBlock(pool, a);
    runtime::ReturnBlock(pool, nullptr);
    // Had the second return counted, the chunk would be freed with b still handed out.
    EXPECT_EQ(runtime::GetBlockPoolStats(pool).chunkCount, 1);
    void* c = runtime::TakeBlock(pool);
    void* d = runtime::TakeBlock(pool);
    EXPECT_EQ(c, a);
    EXPECT_NE(d, a);
    EXPECT_NE(d, b);
    runtime::DestroyBlockPool(pool);
}

// A block returned again after its chunk went back to the heap must be refused from the pool's
// own records: the chunk's memory is gone (AddressSanitizer reports any read of it), and a
// pointer that is no block start, or belongs to another pool, is refused the same way.
TEST_F(BlockPoolTest, RefusesBlocksWhoseChunkIsFreedOrThatAreNotItsBlocks) {
    BlockPool* pool = runtime::CreateBlockPool(16, 16, 16, 0);
    BlockPool* other = runtime::CreateBlockPool(16, 16, 16, 0);
    void* a = runtime::TakeBlock(pool);
    void* b = runtime::TakeBlock(pool);
    runtime::ReturnBlock(pool, a);
    runtime::ReturnBlock(pool, b);
    ASSERT_EQ(runtime::GetBlockPoolStats(pool).chunkCount, 0);
    runtime::ReturnBlock(pool, a);
    runtime::ReturnBlock(pool, b);
    EXPECT_EQ(runtime::GetBlockPoolStats(pool).chunkCount, 0);

    void* c = runtime::TakeBlock(pool);
    void* d = runtime::TakeBlock(pool);
    void* foreign = runtime::TakeBlock(other);
    runtime::ReturnBlock(pool, static_cast<char*>(c) + 8);  // inside a block, not its start
    runtime::ReturnBlock(pool, foreign);
    runtime::ReturnBlock(pool, c);
    EXPECT_EQ(runtime::GetBlockPoolStats(pool).chunkCount, 1);  // d is still handed out
    EXPECT_EQ(runtime::GetBlockPoolStats(other).chunkCount, 1);
    EXPECT_EQ(runtime::TakeBlock(pool), c);
    EXPECT_NE(runtime::TakeBlock(pool), d);
    runtime::DestroyBlockPool(pool);
    runtime::DestroyBlockPool(other);
}

TEST_F(BlockPoolTest, FallsBackToOneBlockChunksAndFailsCleanly) {
    BlockPool* pool = runtime::CreateBlockPool(100, 16, 256, 0);
    g_failAbove = 300;  // a 16-block chunk cannot be made, a one-block chunk can
    platform::sys::InjectAllocationFailures(FailLargeAllocations);
    void* a = runtime::TakeBlock(pool);
    auto stats = runtime::GetBlockPoolStats(pool);
    EXPECT_NE(a, nullptr);
    EXPECT_EQ(stats.lastChunkBlocks, 1);
    EXPECT_EQ(stats.fullChunks, 1);
    g_failAbove = 0;  // nothing can be allocated
    EXPECT_EQ(runtime::TakeBlock(pool), nullptr);
    platform::sys::InjectAllocationFailures(nullptr);
    g_failAbove = -1;
    runtime::ReturnBlock(pool, a);
    EXPECT_EQ(runtime::GetBlockPoolStats(pool).chunkCount, 0);
    runtime::DestroyBlockPool(pool);
}

TEST_F(BlockPoolTest, SharedPoolsAreFoundByStrideAndFlagsAndCounted) {
    const int before = runtime::SharedBlockPoolCount();
    BlockPool* a = runtime::CreateBlockPool(40, 16, 65536, runtime::kBlockPoolShared);
    BlockPool* b = runtime::CreateBlockPool(40, 16, 65536, runtime::kBlockPoolShared);
    BlockPool* other = runtime::CreateBlockPool(48, 16, 65536, runtime::kBlockPoolShared);
    BlockPool* privatePool = runtime::CreateBlockPool(40, 16, 65536, 0);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, other);
    EXPECT_NE(a, privatePool);
    EXPECT_EQ(runtime::GetBlockPoolStats(a).references, 2);
    EXPECT_EQ(runtime::SharedBlockPoolCount(), before + 2);

    void* block = runtime::TakeBlock(a);
    runtime::DestroyBlockPool(b);  // drops a reference only
    std::memset(block, 1, 40);
    EXPECT_EQ(runtime::GetBlockPoolStats(a).references, 1);
    runtime::ReturnBlock(a, block);
    runtime::DestroyBlockPool(a);
    runtime::DestroyBlockPool(other);
    runtime::DestroyBlockPool(privatePool);
    EXPECT_EQ(runtime::SharedBlockPoolCount(), before);
}

TEST_F(BlockPoolTest, ClearFreesEveryChunk) {
    BlockPool* pool = runtime::CreateBlockPool(24, 16, 256, 0);
    for (int i = 0; i < 100; ++i) runtime::TakeBlock(pool);
    runtime::ClearBlockPool(pool);
    EXPECT_EQ(runtime::GetBlockPoolStats(pool).chunkCount, 0);
    EXPECT_EQ(runtime::GetBlockPoolStats(pool).totalBlocks, 0);
    EXPECT_NE(runtime::TakeBlock(pool), nullptr);
    runtime::DestroyBlockPool(pool);
}

TEST_F(BlockPoolTest, LockedPoolServesSeveralThreads) {
    BlockPool* pool = runtime::CreateBlockPool(32, 16, 256, runtime::kBlockPoolLocked);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([pool, t] {
            std::vector<void*> held;
            for (int round = 0; round < 2000; ++round) {
                void* b = runtime::TakeBlock(pool);
                std::memset(b, t, 32);
                held.push_back(b);
                if (held.size() > 50) {
                    runtime::ReturnBlock(pool, held.front());
                    held.erase(held.begin());
                }
            }
            for (void* b : held) runtime::ReturnBlock(pool, b);
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(runtime::GetBlockPoolStats(pool).chunkCount, 0);
    runtime::DestroyBlockPool(pool);
}

TEST_F(BlockPoolTest, RefusesNegativeSizesAndNullPools) {
    EXPECT_EQ(runtime::CreateBlockPool(-1, 16, 256, 0), nullptr);
    EXPECT_EQ(runtime::TakeBlock(nullptr), nullptr);
    runtime::ReturnBlock(nullptr, nullptr);
    runtime::ClearBlockPool(nullptr);
    runtime::DestroyBlockPool(nullptr);
    // Zero-sized blocks still get room of their own.
    BlockPool* pool = runtime::CreateBlockPool(0, 0, -3, 0);
    ASSERT_NE(pool, nullptr);
    EXPECT_NE(runtime::TakeBlock(pool), runtime::TakeBlock(pool));
    runtime::DestroyBlockPool(pool);
}
