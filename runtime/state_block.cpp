// runtime/state_block.cpp: zero-filled blocks of library state on the runtime heap.
#include "runtime/state_block.h"

#include "runtime/heap.h"

namespace runtime {

void* CreateStateBlock(std::size_t bytes, StateConstructor constructor) {
    void* block = RuntimeAlloc(bytes);
    if (block && constructor) constructor(block);
    return block;
}

}  // namespace runtime
