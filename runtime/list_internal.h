// runtime/list_internal.h: list internals for the runtime's tests.
#pragma once

#include <cstdint>

namespace runtime {

// How many links the last SeekListItem followed.
std::int32_t LastSeekSteps();

}  // namespace runtime
