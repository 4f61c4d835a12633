// platform/sys/sys_testing.h: the system layer's test seams.
//
// Tests make the platform fail on purpose through Inject functions; null or false disarms.
#pragma once

#include <cstddef>

namespace platform::sys {

// While set, "fail(bytes)" is asked before every heap allocation and a true answer makes that
// allocation fail.
void InjectAllocationFailures(bool (*fail)(std::size_t bytes));

// While true, CreateDetachedThread fails without starting anything.
void InjectThreadCreationFailure(bool fail);

}  // namespace platform::sys
