// platform/sys/heap.cpp: private heaps as intrusive lists of blocks from the platform's
// memory source (heap_backend.h).
#include <atomic>
#include <cstring>
#include <mutex>
#include <new>

#include "platform/sys/heap_backend.h"
#include "platform/sys/sys.h"
#include "platform/sys/sys_testing.h"

namespace platform::sys {

namespace {

using namespace backend;

// Every block starts with this header; the caller's bytes follow it at the alignment the
// system allocators give (two pointers: 8 bytes on 32-bit systems, 16 on 64-bit ones).
struct alignas(2 * sizeof(void*)) BlockHeader {
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
    RawHeap* raw = nullptr;
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

Heap* HeapCreate(std::size_t initial_bytes) {
    auto* heap = new (std::nothrow) Heap;
    if (!heap) return nullptr;
    heap->raw = RawHeapCreate(initial_bytes);
    if (!heap->raw) {
        delete heap;
        return nullptr;
    }
    return heap;
}

void HeapDestroy(Heap* heap) {
    if (!heap) return;
    {
        std::lock_guard<std::mutex> guard(heap->lock);
        BlockHeader* h = kRawHeapDestroyFreesBlocks ? nullptr : heap->head;
        while (h) {
            BlockHeader* next = h->next;
            h->owner = nullptr;
            RawFree(heap->raw, h);
            h = next;
        }
        RawHeapDestroy(heap->raw);
        heap->head = nullptr;
        heap->count = 0;
    }
    delete heap;
}

void* HeapAlloc(Heap* heap, std::size_t bytes) {
    if (!heap || bytes > SIZE_MAX - sizeof(BlockHeader) || InjectedFailure(bytes)) return nullptr;
    auto* h = static_cast<BlockHeader*>(RawAlloc(heap->raw, sizeof(BlockHeader) + bytes));
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
    auto* h = static_cast<BlockHeader*>(RawAlloc(heap->raw, sizeof(BlockHeader) + bytes));
    if (!h) return nullptr;
    std::memcpy(h + 1, block, oldBytes < bytes ? oldBytes : bytes);  // the tail is zero already
    h->bytes = bytes;
    heap->Unlink(old);
    RawFree(heap->raw, old);
    heap->Link(h);
    return h + 1;
}

bool HeapFree(Heap* heap, void* block) {
    if (!heap || !block) return false;
    std::lock_guard<std::mutex> guard(heap->lock);
    if (!heap->Owns(block)) return false;
    BlockHeader* h = HeaderOf(block);
    heap->Unlink(h);
    RawFree(heap->raw, h);
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

void InjectAllocationFailures(bool (*fail)(std::size_t)) {
    g_failHook.store(fail, std::memory_order_release);
}

}  // namespace platform::sys
