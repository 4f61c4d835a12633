// platform/sys/posix/thread_posix.cpp: detached threads, sleeping and unloading libraries on
// POSIX.
#if defined(__EMSCRIPTEN__)
#include <emscripten.h>
#include <emscripten/threading.h>
#endif
#include <dlfcn.h>
#include <pthread.h>
#include <sched.h>
#include <time.h>

#include <cerrno>

#include "platform/sys/sys.h"
#include "platform/sys/sys_testing.h"
#include "platform/sys/thread_start.h"
#include "platform/sys/time_source.h"

namespace platform::sys {

namespace {

void* Trampoline(void* p) {
    internal::RunThreadStart(p);
    return nullptr;
}

}  // namespace

bool CreateDetachedThread(ThreadMain entry, void* argument, std::size_t stack_bytes) {
    internal::ThreadStart* start = internal::NewThreadStart(entry, argument);
    if (!start) return false;
    pthread_attr_t attr;
    if (pthread_attr_init(&attr) != 0) {
        internal::DropThreadStart(start);
        return false;
    }
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    if (stack_bytes != 0) {
        if (stack_bytes < PTHREAD_STACK_MIN) stack_bytes = PTHREAD_STACK_MIN;
        pthread_attr_setstacksize(&attr, stack_bytes);
    }
    pthread_t thread;
    const int rc = pthread_create(&thread, &attr, Trampoline, start);
    pthread_attr_destroy(&attr);
    if (rc != 0) {
        internal::DropThreadStart(start);
        return false;
    }
    return true;
}

void InjectThreadCreationFailure(bool fail) { internal::g_failThreads.store(fail); }

// InterruptTime() counts CLOCK_BOOTTIME; a signal only interrupts the wait, it does not end it.
// An installed time source is waited on in whole milliseconds, rounded up.
void SleepUntil(std::int64_t deadline) {
    if (TimeSource* source = internal::ActiveTimeSource()) {
        const std::int64_t left = deadline - source->Now();
        if (left > 0) source->Sleep(static_cast<std::uint32_t>((left + 9999) / 10000));
        return;
    }
    if (deadline <= 0) return;
    const timespec at{static_cast<time_t>(deadline / 10000000),
                      static_cast<long>(deadline % 10000000) * 100L};
    while (clock_nanosleep(CLOCK_BOOTTIME, TIMER_ABSTIME, &at, nullptr) == EINTR) {
    }
}

void SleepMs(std::uint32_t ms) {
    if (TimeSource* source = internal::ActiveTimeSource()) {
        source->Sleep(ms);
        return;
    }
#if defined(__EMSCRIPTEN__)
    // A browser page's main thread must not block: the wait goes back to the browser, which
    // runs the page's events and frames meanwhile (the program is built with ASYNCIFY).
    if (emscripten_is_main_browser_thread()) {
        emscripten_sleep(ms);
        return;
    }
#endif
    if (ms == 0) {
        sched_yield();
        return;
    }
    timespec t{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&t, &t) != 0 && errno == EINTR) {
    }
}

void FreeDynamicLibrary(void* handle) {
    if (handle) dlclose(handle);
}

}  // namespace platform::sys
