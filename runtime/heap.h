// runtime/heap.h: the runtime's three private heaps and the zero-filled state blocks.
//
// Every runtime record, table, pool chunk and block comes from the runtime heap; string texts
// come from the string heap; the memory library owns a third heap. Each is created by its
// start-up step (runtime/chain.h) and destroyed by its end step, which frees every block still
// in it. Before its step has run (or after its end step) a heap accessor returns null and the
// operations that would allocate from it fail cleanly (they return 0 or do nothing).
//
// Threads: the heaps themselves are safe on any thread; creating and destroying them is done by
// the chains on the main thread.
#pragma once

#include <cstddef>

#include "platform/sys/sys.h"

namespace runtime {

// The heaps, or null when their start-up step has not run.
platform::sys::Heap* RuntimeHeap();
platform::sys::Heap* StringHeap();
platform::sys::Heap* MemoryHeap();

// Creates the heap if it does not exist yet (initial size 4096). Returns false when it cannot
// be made. Called by the start-up chain; tests may call them directly.
bool CreateRuntimeHeap();
bool CreateStringHeap();
bool CreateMemoryHeap();

// Destroys the heap and every block still in it; the accessor returns null afterwards.
// DestroyRuntimeHeap also forgets the shared block pools (their memory went with the heap).
void DestroyRuntimeHeap();
void DestroyStringHeap();
void DestroyMemoryHeap();

// Allocates "bytes" zero-filled bytes on the runtime heap; null when there is no runtime heap
// or no memory. RuntimeFree ignores null and blocks of other heaps.
void* RuntimeAlloc(std::size_t bytes);
void RuntimeFree(void* block);

}  // namespace runtime
