// platform/sys/posix/heap_posix.cpp: private heaps take their blocks from the C library.
#include <cstdlib>
#include <new>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "platform/sys/heap_backend.h"

namespace platform::sys::backend {

// The C library has one heap for everything; the handle only marks that a heap exists.
struct RawHeap {};

const bool kRawHeapDestroyFreesBlocks = false;

#if defined(__GLIBC__)
// glibc serves large blocks straight from the system and gives them back when freed, but it
// raises that size threshold to the largest such block freed (up to 32 MB). Once start-up has
// freed its multi-megabyte image buffers, later megabyte blocks (the GL driver replaces its
// 1 MB upload buffer every half minute or so) come from the heap, and every new high-water
// mark of the heap stays resident for the rest of a long run. A fixed threshold keeps them
// going back to the system; the trim threshold keeps the top of the heap from being given
// back and grown again every frame (which a fixed threshold would otherwise leave at 128 KB).
const bool kLargeBlocksReturned = [] {
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
    mallopt(M_TRIM_THRESHOLD, 8 * 1024 * 1024);
    return true;
}();
#endif

RawHeap* RawHeapCreate(std::size_t /*initial_bytes*/) { return new (std::nothrow) RawHeap; }
void RawHeapDestroy(RawHeap* raw) { delete raw; }
void* RawAlloc(RawHeap* /*raw*/, std::size_t bytes) { return std::calloc(1, bytes); }
void RawFree(RawHeap* /*raw*/, void* block) { std::free(block); }

}  // namespace platform::sys::backend
