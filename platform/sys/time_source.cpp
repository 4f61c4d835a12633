// platform/sys/time_source.cpp: the installed time source.
#include "platform/sys/time_source.h"

#include <atomic>

namespace platform::sys {

namespace {

std::atomic<TimeSource*> g_source{nullptr};

}  // namespace

void SetTimeSource(TimeSource* source) { g_source.store(source); }

namespace internal {

TimeSource* ActiveTimeSource() { return g_source.load(std::memory_order_acquire); }

}  // namespace internal

}  // namespace platform::sys
