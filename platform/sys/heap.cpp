// platform/sys/heap.cpp: private heaps as intrusive lists of malloc'd blocks.
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>

#include "platform/sys/sys.h"

namespace platform::sys {

namespace {

// Every block starts with this header; the caller's bytes follow it, 16-byte aligned.
struct alignas(16) BlockHeader {
    Heap* owner;
    BlockHeader* prev;
    BlockHeader* next;
    std::size_t bytes;
};

std::atomic<bool (*)(std::size_t)> g_failHook{nullptr};

bool InjectedFailure(std::size_t bytes) {
    auto hook = g_failHook.load(std::memory_order_acquire);
    return hook != nullptr && hook(bytes);
}

BlockHeader* HeaderOf(const void* block) {
    return const_cast<BlockHeader*>(static_cast<const BlockHeader*>(block) - 1);
}

}  // namespace

struct Heap {
    std::mutex lock;
    BlockHeader* head = nullptr;
    std::size_t count = 0;

    void Link(BlockHeader* h) {
        h->owner = this;
        h->prev = nullptr;
        h->next = head;
        if (head) head->prev = h;
        head = h;
        ++count;
    }
    void Unlink(BlockHeader* h) {
        if (h->prev) h->prev->next = h->next; else head = h->next;
        if (h->next) h->next->prev = h->prev;
        h->owner = nullptr;
        --count;
    }
    // A block belongs to this heap only if its header names it; the caller holds the lock.
    bool Owns(const void* block) const { return block && HeaderOf(block)->owner == this; }
};

Heap* HeapCreate(std::size_t /*initial_bytes*/) { return new (std::nothrow) Heap; }

void HeapDestroy(Heap* heap) {
    if (!heap) return;
    {
        std::lock_guard<std::mutex> guard(heap->lock);
        BlockHeader* h = heap->head;
        while (h) {
            BlockHeader* next = h->next;
            h->owner = nullptr;
            std::free(h);
            h = next;
        }
        heap->head = nullptr;
        heap->count = 0;
    }
    delete heap;
}

void* HeapAlloc(Heap* heap, std::size_t bytes) {
    if (!heap || bytes > SIZE_MAX - sizeof(BlockHeader) || InjectedFailure(bytes)) return nullptr;
    auto* h = static_cast<BlockHeader*>(std::calloc(1, sizeof(BlockHeader) + bytes));
    if (!h) return nullptr;
    h->bytes = bytes;
    std::lock_guard<std::mutex> guard(heap->lock);
    heap->Link(h);
    return h + 1;
}

void* HeapReAlloc(Heap* heap, void* block, std::size_t bytes) {
    if (!block) return HeapAlloc(heap, bytes);
    if (!heap || bytes > SIZE_MAX - sizeof(BlockHeader) || InjectedFailure(bytes)) return nullptr;
    std::lock_guard<std::mutex> guard(heap->lock);
    if (!heap->Owns(block)) return nullptr;
    BlockHeader* old = HeaderOf(block);
    const std::size_t oldBytes = old->bytes;
    auto* h = static_cast<BlockHeader*>(std::malloc(sizeof(BlockHeader) + bytes));
    if (!h) return nullptr;
    std::memcpy(h + 1, block, oldBytes < bytes ? oldBytes : bytes);
    if (bytes > oldBytes) std::memset(reinterpret_cast<char*>(h + 1) + oldBytes, 0, bytes - oldBytes);
    h->bytes = bytes;
    heap->Unlink(old);
    std::free(old);
    heap->Link(h);
    return h + 1;
}

bool HeapFree(Heap* heap, void* block) {
    if (!heap || !block) return false;
    std::lock_guard<std::mutex> guard(heap->lock);
    if (!heap->Owns(block)) return false;
    BlockHeader* h = HeaderOf(block);
    heap->Unlink(h);
    std::free(h);
    return true;
}

std::size_t HeapSize(Heap* heap, const void* block) {
    if (!heap || !block) return 0;
    std::lock_guard<std::mutex> guard(heap->lock);
    return heap->Owns(block) ? HeaderOf(block)->bytes : 0;
}

std::size_t HeapBlockCount(Heap* heap) {
    if (!heap) return 0;
    std::lock_guard<std::mutex> guard(heap->lock);
    return heap->count;
}

void SetAllocationFailureHook(bool (*fail)(std::size_t)) {
    g_failHook.store(fail, std::memory_order_release);
}

}  // namespace platform::sys
