// platform/sys/sys.h: the kernel services the runtime and the libraries above it use.
//
// Stands in for the Win32 kernel calls of the original platform: private heaps, detached
// threads, sleeping, the interrupt-time clock, the timer-period request and the local time.
// No SDL, GL or POSIX type appears here, so another backend can implement the same contract.
//
// Units: sizes in bytes, sleeps in milliseconds, the interrupt time and timer periods in
// 100-nanosecond units, performance-counter values in counts of PerformanceFrequency().
//
// Threads: every call may be made from any thread. A Heap serialises its own operations.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform::sys {

// ---------------------------------------------------------------------------------------------
// Private heaps
// ---------------------------------------------------------------------------------------------

// A growable private heap. Every block remembers its heap; destroying the heap frees every
// block still in it at once.
struct Heap;

// Creates a heap. "initial_bytes" is a hint only. Returns null when memory is exhausted.
Heap* HeapCreate(std::size_t initial_bytes);

// Frees every block of "heap" and the heap itself. A null heap is ignored.
void HeapDestroy(Heap* heap);

// Allocates "bytes" zero-filled bytes (0 is allowed and gives a unique block). Returns null on
// a null heap, when the size overflows, or when memory is exhausted.
void* HeapAlloc(Heap* heap, std::size_t bytes);

// Resizes "block" (allocated from "heap") to "bytes"; bytes added at the end are zero-filled.
// A null block allocates. Returns the moved block, or null (the old block stays valid) when
// the block is not of this heap or memory is exhausted.
void* HeapReAlloc(Heap* heap, void* block, std::size_t bytes);

// Frees "block". Returns false, changing nothing, for null or a block of another heap.
bool HeapFree(Heap* heap, void* block);

// The requested size of "block", or 0 for null or a block of another heap.
std::size_t HeapSize(Heap* heap, const void* block);

// The number of live blocks of "heap" (for tests and leak checks).
std::size_t HeapBlockCount(Heap* heap);

// ---------------------------------------------------------------------------------------------
// Threads and sleeping
// ---------------------------------------------------------------------------------------------

using ThreadMain = void (*)(void* argument);

// Starts "entry(argument)" on a new detached thread whose stack holds at least "stack_bytes"
// (0 = the system default; small requests are raised to the system minimum). Returns false
// when the thread cannot be created; "entry" then never runs.
bool CreateDetachedThread(ThreadMain entry, void* argument, std::size_t stack_bytes);

// Suspends the calling thread for at least "ms" milliseconds; 0 yields the processor.
void SleepMs(std::uint32_t ms);
// Suspends the calling thread until InterruptTime() reaches "deadline" (100-ns units), waking
// within about a millisecond of it; returns at once when the deadline has passed. An
// installed time source (below) is waited on as SleepMs waits on it.
void SleepUntil(std::int64_t deadline);

// ---------------------------------------------------------------------------------------------
// Clocks
// ---------------------------------------------------------------------------------------------

// Time since boot in 100-ns units, counting time spent suspended; never goes backwards.
std::int64_t InterruptTime();

// A monotonic high-resolution counter and its counts per second.
std::int64_t PerformanceCounter();
std::int64_t PerformanceFrequency();

// Milliseconds since boot, wrapping at 2^32.
std::uint32_t TickCount();

// The local wall-clock time as fields: month 1-12, day 1-31, day_of_week 0 (Sunday) - 6.
struct LocalTime {
    int year, month, day_of_week, day, hour, minute, second, milliseconds;
};
LocalTime GetLocalTime();

// ---------------------------------------------------------------------------------------------
// Time source
// ---------------------------------------------------------------------------------------------

// A time of the program's own in place of the system's, for a program that decides how fast
// time passes (a frame-exact capture advances it one frame period per finished frame). While
// one is installed, every clock above reads it, SleepMs waits on it, and the threads made by
// CreateDetachedThread report their start and end to it.
struct TimeSource {
    virtual ~TimeSource() = default;
    // The interrupt time, in 100-ns units; never goes backwards. The performance counter and
    // the tick count are derived from it.
    virtual std::int64_t Now() = 0;
    // The local wall-clock time that goes with Now().
    virtual LocalTime Local() = 0;
    // Suspends the calling thread for "ms" milliseconds of this time (0 yields).
    virtual void Sleep(std::uint32_t ms) = 0;
    // On the creating thread, right before a thread is made ("token" names it until it
    // begins), and when it could not be made after all.
    virtual void ThreadCreated(void* token) { (void)token; }
    virtual void ThreadNotCreated(void* token) { (void)token; }
    // On the new thread, before its entry runs and after it has returned.
    virtual void ThreadBegins(void* token) { (void)token; }
    virtual void ThreadEnds() {}
};

// Installs "source" (not owned; it must outlive its use), or the system's time again for null.
// Install it before the threads and clocks that should follow it start.
void SetTimeSource(TimeSource* source);

// ---------------------------------------------------------------------------------------------
// Dynamic libraries
// ---------------------------------------------------------------------------------------------

// Unloads a library loaded by the system's loader ("handle" as the loader gave it). A null
// handle is ignored.
void FreeDynamicLibrary(void* handle);

// ---------------------------------------------------------------------------------------------
// Timer period
// ---------------------------------------------------------------------------------------------

// The system timer period in 100-ns units: "coarsest" is the largest value the system uses,
// "finest" the smallest it grants, "current" the one in force.
struct TimerResolution {
    std::uint32_t coarsest, finest, current;
};

// Reads the three values. Returns false when the system cannot tell.
bool QueryTimerResolution(TimerResolution* out);

// With "set" true, requests the period "period" (clamped to finest..coarsest); with "set"
// false, releases this process's request. "current" receives the period in force afterwards.
// Returns false when the request is refused.
bool RequestTimerResolution(std::uint32_t period, bool set, std::uint32_t* current);

}  // namespace platform::sys
