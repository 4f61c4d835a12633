// platform/sys/win32/heap_win32.cpp: every private heap is a Win32 heap of its own, so that
// destroying it returns all of its blocks to the system in one call.
#include <windows.h>

#include "platform/sys/heap_backend.h"

namespace platform::sys::backend {

struct RawHeap;  // a HANDLE from ::HeapCreate, never dereferenced

const bool kRawHeapDestroyFreesBlocks = true;

RawHeap* RawHeapCreate(std::size_t initial_bytes) {
    // Growable (maximum 0); heap.cpp serialises its own operations, but the system heap keeps
    // its lock so that a block freed on another thread stays safe.
    return reinterpret_cast<RawHeap*>(::HeapCreate(0, initial_bytes, 0));
}

void RawHeapDestroy(RawHeap* raw) {
    if (raw) ::HeapDestroy(reinterpret_cast<HANDLE>(raw));
}

void* RawAlloc(RawHeap* raw, std::size_t bytes) {
    // Blocks are 8-byte aligned on 32-bit systems, the alignment heap.cpp's header keeps.
    return ::HeapAlloc(reinterpret_cast<HANDLE>(raw), HEAP_ZERO_MEMORY, bytes);
}

void RawFree(RawHeap* raw, void* block) { ::HeapFree(reinterpret_cast<HANDLE>(raw), 0, block); }

}  // namespace platform::sys::backend
