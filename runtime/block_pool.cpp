// runtime/block_pool.cpp: fixed-size blocks from growing chunks, and the shared-pool registry.
#include "runtime/block_pool.h"

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <new>

#include "runtime/block_pool_internal.h"
#include "runtime/heap.h"

namespace runtime {

namespace {

constexpr std::size_t kWord = sizeof(void*);

// A chunk's header; its blocks follow it. Each block starts with a header word holding the
// chunk's address, with bit 0 set while the block sits on the free list (so a second return
// of the same block is recognised).
struct Chunk {
    Chunk* next;
    Chunk* previous;
    void* freeList;       // returned blocks (the link is the first word of the block's data)
    BlockPool* owner;
    std::int32_t capacity;   // blocks
    std::int32_t freshUsed;  // blocks handed out from the never-used area so far
    std::int32_t freeCount;  // blocks on the free list
    bool full;               // filed among the full chunks
};
static_assert(sizeof(Chunk) % kWord == 0);

struct ChunkList {
    Chunk* head = nullptr;
    void Push(Chunk* c) {
        c->previous = nullptr;
        c->next = head;
        if (head) head->previous = c;
        head = c;
    }
    void Remove(Chunk* c) {
        if (c->previous) c->previous->next = c->next; else head = c->next;
        if (c->next) c->next->previous = c->previous;
        c->next = c->previous = nullptr;
    }
};

}  // namespace

struct BlockPool {
    ChunkList fullChunks;
    ChunkList freeChunks;   // chunks with blocks left to hand out
    BlockPool* nextShared;  // registry link (shared pools only)
    std::int32_t references;
    std::int64_t totalBlocks;
    std::int32_t stride;
    std::int32_t smallestChunk;
    std::int32_t largestChunk;
    std::uint32_t flags;
    bool locked;
    std::int32_t chunkCount;
    std::int32_t lastChunkBlocks;
    // The live chunks sorted by address, so a returned pointer is matched to its chunk before
    // anything at that pointer is read: a block whose chunk is gone is then refused without
    // touching freed memory.
    Chunk** index;
    std::int32_t indexCapacity;
    std::mutex lock;
};

namespace {

// The registry of shared pools. std::mutex has a constant initialiser, so the lock is ready
// before any code runs.
std::mutex g_registryLock;
BlockPool* g_sharedPools = nullptr;

// Holds the pool's lock for a scope when the pool is locked.
class PoolGuard {
public:
    explicit PoolGuard(BlockPool* pool) : pool_(pool->locked ? pool : nullptr) {
        if (pool_) pool_->lock.lock();
    }
    ~PoolGuard() {
        if (pool_) pool_->lock.unlock();
    }
    PoolGuard(const PoolGuard&) = delete;
    PoolGuard& operator=(const PoolGuard&) = delete;

private:
    BlockPool* pool_;
};

std::uintptr_t* HeaderOf(void* block) { return static_cast<std::uintptr_t*>(block) - 1; }

char* BlockArea(Chunk* c) { return reinterpret_cast<char*>(c + 1); }

// Position of the first indexed chunk at an address above `address`.
std::int32_t IndexUpperBound(const BlockPool* pool, std::uintptr_t address) {
    const auto begin = pool->index, end = pool->index + pool->chunkCount;
    return static_cast<std::int32_t>(std::upper_bound(begin, end, address, [](std::uintptr_t a, Chunk* c) {
        return a < reinterpret_cast<std::uintptr_t>(c);
    }) - begin);
}

// Files a new chunk in the index (chunkCount not yet counting it); false without memory.
bool IndexChunk(BlockPool* pool, Chunk* chunk) {
    if (pool->chunkCount == pool->indexCapacity) {
        const std::int32_t capacity = std::max(16, pool->indexCapacity * 2);
        auto* grown = static_cast<Chunk**>(RuntimeAlloc(sizeof(Chunk*) * static_cast<std::size_t>(capacity)));
        if (!grown) return false;
        std::copy(pool->index, pool->index + pool->chunkCount, grown);
        RuntimeFree(pool->index);
        pool->index = grown;
        pool->indexCapacity = capacity;
    }
    const std::int32_t at = IndexUpperBound(pool, reinterpret_cast<std::uintptr_t>(chunk));
    std::copy_backward(pool->index + at, pool->index + pool->chunkCount, pool->index + pool->chunkCount + 1);
    pool->index[at] = chunk;
    return true;
}

void UnindexChunk(BlockPool* pool, Chunk* chunk) {
    const std::int32_t at = IndexUpperBound(pool, reinterpret_cast<std::uintptr_t>(chunk)) - 1;
    if (at < 0 || pool->index[at] != chunk) return;
    std::copy(pool->index + at + 1, pool->index + pool->chunkCount, pool->index + at);
}

// The live chunk whose block area holds a block starting exactly at `block`, or null.
Chunk* ChunkOf(const BlockPool* pool, const void* block) {
    const auto address = reinterpret_cast<std::uintptr_t>(block);
    const std::int32_t at = IndexUpperBound(pool, address) - 1;
    if (at < 0) return nullptr;
    Chunk* chunk = pool->index[at];
    const auto area = reinterpret_cast<std::uintptr_t>(BlockArea(chunk));
    if (address < area + kWord) return nullptr;
    const std::uintptr_t offset = address - area - kWord;
    const auto stride = static_cast<std::uintptr_t>(pool->stride);
    if (offset % stride != 0 || offset / stride >= static_cast<std::uintptr_t>(chunk->freshUsed)) return nullptr;
    return chunk;
}

// Makes a chunk sized for the pool's current total, or a one-block chunk when that fails.
Chunk* MakeChunk(BlockPool* pool) {
    std::int64_t blocks = (pool->totalBlocks / 16) / 16 * 16;
    blocks = std::clamp<std::int64_t>(blocks, pool->smallestChunk, pool->largestChunk);
    const auto bytesFor = [pool](std::int64_t n) {
        return sizeof(Chunk) + static_cast<std::size_t>(n) * static_cast<std::size_t>(pool->stride);
    };
    auto* chunk = static_cast<Chunk*>(RuntimeAlloc(bytesFor(blocks)));
    if (!chunk && blocks > 1) {
        blocks = 1;
        chunk = static_cast<Chunk*>(RuntimeAlloc(bytesFor(1)));
    }
    if (!chunk) return nullptr;
    if (!IndexChunk(pool, chunk)) {
        RuntimeFree(chunk);
        return nullptr;
    }
    chunk->owner = pool;
    chunk->capacity = static_cast<std::int32_t>(blocks);
    pool->totalBlocks += blocks;
    ++pool->chunkCount;
    pool->lastChunkBlocks = chunk->capacity;
    return chunk;
}

void FreeChunk(BlockPool* pool, Chunk* chunk) {
    (chunk->full ? pool->fullChunks : pool->freeChunks).Remove(chunk);
    pool->totalBlocks -= chunk->capacity;
    UnindexChunk(pool, chunk);
    --pool->chunkCount;
    RuntimeFree(chunk);
}

void FreeAllChunks(BlockPool* pool) {
    for (ChunkList* list : {&pool->fullChunks, &pool->freeChunks}) {
        while (Chunk* c = list->head) {
            list->Remove(c);
            RuntimeFree(c);
        }
    }
    pool->totalBlocks = 0;
    pool->chunkCount = 0;
}

void FreePool(BlockPool* pool) {
    FreeAllChunks(pool);
    RuntimeFree(pool->index);
    pool->~BlockPool();
    RuntimeFree(pool);
}

}  // namespace

BlockPool* CreateBlockPool(std::int32_t blockBytes, std::int32_t smallestChunk,
                           std::int32_t largestChunk, std::uint32_t flags) {
    if (blockBytes < 0 || static_cast<std::size_t>(blockBytes) > INT32_MAX - 2 * kWord) return nullptr;
    // Room for at least the free-list link, rounded to whole words, plus the header word.
    const std::size_t data = std::max<std::size_t>(kWord, (static_cast<std::size_t>(blockBytes) + kWord - 1) / kWord * kWord);
    const auto stride = static_cast<std::int32_t>(data + kWord);
    smallestChunk = std::max(smallestChunk, 1);
    largestChunk = std::max(largestChunk, smallestChunk);
    const bool shared = (flags & kBlockPoolShared) != 0;

    std::unique_lock<std::mutex> registry(g_registryLock, std::defer_lock);
    if (shared) {
        registry.lock();
        for (BlockPool* p = g_sharedPools; p; p = p->nextShared) {
            if (p->stride == stride && p->flags == flags) {
                ++p->references;
                return p;
            }
        }
    }
    void* memory = RuntimeAlloc(sizeof(BlockPool));
    if (!memory) return nullptr;
    auto* pool = new (memory) BlockPool{};
    pool->references = 1;
    pool->stride = stride;
    pool->smallestChunk = smallestChunk;
    pool->largestChunk = largestChunk;
    pool->flags = flags;
    pool->locked = (flags & 3u) == kBlockPoolLocked;
    if (shared) {
        pool->nextShared = g_sharedPools;
        g_sharedPools = pool;
    }
    return pool;
}

void* TakeBlock(BlockPool* pool) {
    if (!pool) return nullptr;
    PoolGuard guard(pool);
    Chunk* chunk = pool->freeChunks.head;
    if (!chunk) {
        chunk = MakeChunk(pool);
        if (!chunk) return nullptr;
        pool->freeChunks.Push(chunk);
    }
    void* block;
    if (chunk->freeList) {
        block = chunk->freeList;
        chunk->freeList = *static_cast<void**>(block);
        --chunk->freeCount;
    } else {
        block = BlockArea(chunk) + static_cast<std::size_t>(chunk->freshUsed) * static_cast<std::size_t>(pool->stride) + kWord;
        ++chunk->freshUsed;
    }
    *HeaderOf(block) = reinterpret_cast<std::uintptr_t>(chunk);
    if (!chunk->freeList && chunk->freshUsed == chunk->capacity) {
        pool->freeChunks.Remove(chunk);
        pool->fullChunks.Push(chunk);
        chunk->full = true;
    }
    return block;
}

void ReturnBlock(BlockPool* pool, void* block) {
    if (!pool || !block) return;
    PoolGuard guard(pool);
    Chunk* chunk = ChunkOf(pool, block);
    if (!chunk) return;  // not a block of this pool's live chunks (its chunk may be freed)
    const std::uintptr_t header = *HeaderOf(block);
    if (header & 1u) return;  // already returned
    if (reinterpret_cast<Chunk*>(header) != chunk) return;  // not a block's start
    *static_cast<void**>(block) = chunk->freeList;
    chunk->freeList = block;
    *HeaderOf(block) = header | 1u;
    ++chunk->freeCount;
    if (chunk->freeCount == chunk->freshUsed) {
        FreeChunk(pool, chunk);
    } else if (chunk->full) {
        pool->fullChunks.Remove(chunk);
        pool->freeChunks.Push(chunk);
        chunk->full = false;
    }
}

void ClearBlockPool(BlockPool* pool) {
    if (!pool) return;
    PoolGuard guard(pool);
    FreeAllChunks(pool);
}

void DestroyBlockPool(BlockPool* pool) {
    if (!pool) return;
    if (pool->flags & kBlockPoolShared) {
        std::lock_guard<std::mutex> registry(g_registryLock);
        if (--pool->references > 0) return;
        for (BlockPool** link = &g_sharedPools; *link; link = &(*link)->nextShared) {
            if (*link == pool) {
                *link = pool->nextShared;
                break;
            }
        }
    }
    FreePool(pool);
}

BlockPoolStats GetBlockPoolStats(const BlockPool* pool) {
    BlockPoolStats stats{};
    if (!pool) return stats;
    stats.totalBlocks = pool->totalBlocks;
    stats.chunkCount = pool->chunkCount;
    for (const Chunk* c = pool->fullChunks.head; c; c = c->next) ++stats.fullChunks;
    stats.lastChunkBlocks = pool->lastChunkBlocks;
    stats.stride = pool->stride;
    stats.references = pool->references;
    return stats;
}

void ForgetSharedBlockPools() {
    std::lock_guard<std::mutex> registry(g_registryLock);
    g_sharedPools = nullptr;
}

int SharedBlockPoolCount() {
    std::lock_guard<std::mutex> registry(g_registryLock);
    int n = 0;
    for (const BlockPool* p = g_sharedPools; p; p = p->nextShared) ++n;
    return n;
}

}  // namespace runtime
