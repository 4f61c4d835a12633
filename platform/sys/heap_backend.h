// platform/sys/heap_backend.h: where the private heaps (heap.cpp) take their memory from.
//
// heap.cpp keeps the bookkeeping every platform shares (the owner check, the block list and
// count, the failure hook); a backend only hands out and takes back raw zero-filled memory.
#pragma once

#include <cstddef>

namespace platform::sys::backend {

// The memory source of one heap.
struct RawHeap;

// Null when the system cannot create one.
RawHeap* RawHeapCreate(std::size_t initial_bytes);
// Releases the source; blocks still allocated from it are freed too when
// kRawHeapDestroyFreesBlocks is true, and must be freed first otherwise.
void RawHeapDestroy(RawHeap* raw);
extern const bool kRawHeapDestroyFreesBlocks;

// "bytes" zero-filled bytes at the system allocator's alignment; null when memory is exhausted.
void* RawAlloc(RawHeap* raw, std::size_t bytes);
void RawFree(RawHeap* raw, void* block);

}  // namespace platform::sys::backend
