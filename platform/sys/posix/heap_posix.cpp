// platform/sys/posix/heap_posix.cpp: private heaps take their blocks from the C library.
#include <cstdlib>
#include <new>

#include "platform/sys/heap_backend.h"

namespace platform::sys::backend {

// The C library has one heap for everything; the handle only marks that a heap exists.
struct RawHeap {};

const bool kRawHeapDestroyFreesBlocks = false;

RawHeap* RawHeapCreate(std::size_t /*initial_bytes*/) { return new (std::nothrow) RawHeap; }
void RawHeapDestroy(RawHeap* raw) { delete raw; }
void* RawAlloc(RawHeap* /*raw*/, std::size_t bytes) { return std::calloc(1, bytes); }
void RawFree(RawHeap* /*raw*/, void* block) { std::free(block); }

}  // namespace platform::sys::backend
