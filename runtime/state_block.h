// runtime/state_block.h: one zero-filled block of process-wide state per library.
#pragma once

#include <cstddef>

namespace runtime {

using StateConstructor = void (*)(void* block);

// Allocates "bytes" zero-filled bytes on the runtime heap and runs "constructor" on them when
// it is not null. Returns the block, or null when there is no runtime heap or no memory (the
// constructor then does not run). The block lives until the runtime heap is destroyed.
void* CreateStateBlock(std::size_t bytes, StateConstructor constructor);

}  // namespace runtime
