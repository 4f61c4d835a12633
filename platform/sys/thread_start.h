// platform/sys/thread_start.h: what every thread backend shares: the start record handed to
// the new thread and the test hook that refuses thread creation.
#pragma once

#include <atomic>
#include <new>

#include "platform/sys/sys.h"

namespace platform::sys::internal {

inline std::atomic<bool> g_failThreads{false};

struct ThreadStart {
    ThreadMain entry;
    void* argument;
};

// A start record for a new thread, or null when creation is refused or memory is exhausted.
inline ThreadStart* NewThreadStart(ThreadMain entry, void* argument) {
    if (!entry || g_failThreads.load()) return nullptr;
    return new (std::nothrow) ThreadStart{entry, argument};
}

// On the new thread: frees the record, then runs the entry.
inline void RunThreadStart(void* record) {
    const ThreadStart start = *static_cast<ThreadStart*>(record);
    delete static_cast<ThreadStart*>(record);
    start.entry(start.argument);
}

}  // namespace platform::sys::internal
