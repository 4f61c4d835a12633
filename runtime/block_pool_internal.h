// runtime/block_pool_internal.h: block-pool internals for the runtime heap and the tests.
#pragma once

namespace runtime {

// Empties the shared-pool registry without touching the pools (their heap is going away).
void ForgetSharedBlockPools();

// The number of pools in the shared registry.
int SharedBlockPoolCount();

}  // namespace runtime
