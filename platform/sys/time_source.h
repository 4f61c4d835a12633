// platform/sys/time_source.h: the installed time source, for the system layer's own files.
#pragma once

#include <cstdint>

#include "platform/sys/sys.h"

namespace platform::sys::internal {

// The source SetTimeSource installed, or null while the system's time is in force.
TimeSource* ActiveTimeSource();

// "time" (100-ns units) in counts of "frequency" per second, without overflow for any
// time a program runs.
inline std::int64_t CountsFrom100ns(std::int64_t time, std::int64_t frequency) {
    return time / 10000000LL * frequency + time % 10000000LL * frequency / 10000000LL;
}

}  // namespace platform::sys::internal
