// runtime/heap.cpp: the runtime, string and memory heaps.
#include "runtime/heap.h"

#include "runtime/block_pool_internal.h"

namespace runtime {

namespace sys = platform::sys;

namespace {

sys::Heap* g_runtimeHeap = nullptr;
sys::Heap* g_stringHeap = nullptr;
sys::Heap* g_memoryHeap = nullptr;

constexpr std::size_t kInitialHeapBytes = 4096;

bool CreateHeap(sys::Heap** heap) {
    if (!*heap) *heap = sys::HeapCreate(kInitialHeapBytes);
    return *heap != nullptr;
}

void DestroyHeap(sys::Heap** heap) {
    sys::HeapDestroy(*heap);
    *heap = nullptr;
}

}  // namespace

sys::Heap* RuntimeHeap() { return g_runtimeHeap; }
sys::Heap* StringHeap() { return g_stringHeap; }
sys::Heap* MemoryHeap() { return g_memoryHeap; }

bool CreateRuntimeHeap() { return CreateHeap(&g_runtimeHeap); }
bool CreateStringHeap() { return CreateHeap(&g_stringHeap); }
bool CreateMemoryHeap() { return CreateHeap(&g_memoryHeap); }

void DestroyRuntimeHeap() {
    // Shared pools live on this heap; the registry must not point into freed memory.
    ForgetSharedBlockPools();
    DestroyHeap(&g_runtimeHeap);
}
void DestroyStringHeap() { DestroyHeap(&g_stringHeap); }
void DestroyMemoryHeap() { DestroyHeap(&g_memoryHeap); }

void* RuntimeAlloc(std::size_t bytes) { return sys::HeapAlloc(g_runtimeHeap, bytes); }

void RuntimeFree(void* block) {
    if (block) sys::HeapFree(g_runtimeHeap, block);
}

}  // namespace runtime
