// platform/sys/thread_start.h: what every thread backend shares: the start record handed to
// the new thread and the test hook that refuses thread creation.
#pragma once

#include <atomic>
#include <new>

#include "platform/sys/sys.h"
#include "platform/sys/time_source.h"

namespace platform::sys::internal {

inline std::atomic<bool> g_failThreads{false};

struct ThreadStart {
    ThreadMain entry;
    void* argument;
    TimeSource* time;  // the time source told of the thread, or null
};

// A start record for a new thread, or null when creation is refused or memory is exhausted.
// An installed time source is told that a thread is being made.
inline ThreadStart* NewThreadStart(ThreadMain entry, void* argument) {
    if (!entry || g_failThreads.load()) return nullptr;
    auto* start = new (std::nothrow) ThreadStart{entry, argument, ActiveTimeSource()};
    if (start && start->time) start->time->ThreadCreated(start);
    return start;
}

// On the creating thread, when the thread could not be made: frees the record.
inline void DropThreadStart(ThreadStart* start) {
    if (start->time) start->time->ThreadNotCreated(start);
    delete start;
}

// On the new thread: frees the record, then runs the entry.
inline void RunThreadStart(void* record) {
    const ThreadStart start = *static_cast<ThreadStart*>(record);
    if (start.time) start.time->ThreadBegins(record);
    delete static_cast<ThreadStart*>(record);
    start.entry(start.argument);
    if (start.time) start.time->ThreadEnds();
}

}  // namespace platform::sys::internal
