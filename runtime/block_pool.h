// runtime/block_pool.h: a fixed-size block allocator that grows in chunks.
//
// A pool hands out blocks of one size. Blocks come from chunks allocated on the runtime heap;
// a chunk is released as soon as every block handed out from it has come back. Each block is
// preceded by one header word pointing to its chunk, so the block stride is the requested size
// rounded up to a whole number of words, plus one word. Chunk sizes grow with the pool: a new
// chunk has (total blocks / 16) blocks rounded down to a multiple of 16, raised to the smallest
// and capped at the largest chunk size.
//
// Flags: kBlockPoolLocked (value 1 in the low two bits) guards every operation with a lock;
// kBlockPoolShared finds or creates a pool of the same stride and flags in a process-wide
// registry and counts references, so DestroyBlockPool only drops a reference until the last.
//
// Threads: an unlocked pool belongs to one thread; a locked pool may be shared. The shared-pool
// registry is guarded by its own lock.
#pragma once

#include <cstddef>
#include <cstdint>

namespace runtime {

struct BlockPool;

inline constexpr std::uint32_t kBlockPoolLocked = 1;
inline constexpr std::uint32_t kBlockPoolShared = 4;

// Creates a pool of blocks of "blockBytes" with chunks of "smallestChunk" up to "largestChunk"
// blocks. Returns null for a negative size or without a runtime heap / memory. Chunk limits
// below 1 count as 1; a largest below the smallest is raised to it.
BlockPool* CreateBlockPool(std::int32_t blockBytes, std::int32_t smallestChunk,
                           std::int32_t largestChunk, std::uint32_t flags);

// Hands out a block (contents unspecified), or null when not even a one-block chunk can be
// allocated or the pool is null.
void* TakeBlock(BlockPool* pool);

// Gives "block" back to its chunk; an emptied chunk is freed. Null and blocks already returned
// are ignored.
void ReturnBlock(BlockPool* pool, void* block);

// Frees every chunk at once; all blocks of the pool become invalid.
void ClearBlockPool(BlockPool* pool);

// Frees the pool and its chunks; for a shared pool, only drops one reference until the last.
void DestroyBlockPool(BlockPool* pool);

// Figures for tests and benchmarks.
struct BlockPoolStats {
    std::int64_t totalBlocks;   // capacity of all chunks
    std::int32_t chunkCount;    // chunks allocated
    std::int32_t fullChunks;    // chunks with no block left to hand out
    std::int32_t lastChunkBlocks;  // capacity of the most recently made chunk
    std::int32_t stride;        // bytes per block including its header word
    std::int32_t references;    // lists sharing the pool (1 for a private pool)
};
BlockPoolStats GetBlockPoolStats(const BlockPool* pool);

}  // namespace runtime
