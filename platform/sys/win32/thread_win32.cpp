// platform/sys/win32/thread_win32.cpp: detached threads, sleeping and unloading libraries on
// Win32.
#include <windows.h>

#include "platform/sys/sys.h"
#include "platform/sys/sys_testing.h"
#include "platform/sys/thread_start.h"
#include "platform/sys/time_source.h"

namespace platform::sys {

namespace {

DWORD WINAPI Trampoline(void* p) {
    internal::RunThreadStart(p);
    return 0;
}

}  // namespace

bool CreateDetachedThread(ThreadMain entry, void* argument, std::size_t stack_bytes) {
    internal::ThreadStart* start = internal::NewThreadStart(entry, argument);
    if (!start) return false;
    // The size is the stack's reservation: the stack holds at least that much (taken as a
    // commit size it would only say how much is committed up front).
    HANDLE thread = ::CreateThread(nullptr, stack_bytes, Trampoline, start,
                                   stack_bytes != 0 ? STACK_SIZE_PARAM_IS_A_RESERVATION : 0,
                                   nullptr);
    if (!thread) {
        internal::DropThreadStart(start);
        return false;
    }
    ::CloseHandle(thread);  // detached: nobody waits for it
    return true;
}

void InjectThreadCreationFailure(bool fail) { internal::g_failThreads.store(fail); }

namespace {

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

// One waitable timer per thread that sleeps to deadlines: a high-resolution one where the system
// has them (Windows 10 1803 on), else one that fires on the system's timer period.
struct DeadlineTimer {
    HANDLE handle = nullptr;
    DeadlineTimer() {
        handle = ::CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                          TIMER_ALL_ACCESS);
        if (!handle) handle = ::CreateWaitableTimerW(nullptr, TRUE, nullptr);
    }
    ~DeadlineTimer() {
        if (handle) ::CloseHandle(handle);
    }
};

}  // namespace

// A timer may fire a little before the performance counter shows the deadline (the two clocks
// are read apart), so the wait is repeated until the deadline has passed. An installed time
// source is waited on in whole milliseconds, rounded up.
void SleepUntil(std::int64_t deadline) {
    if (TimeSource* source = internal::ActiveTimeSource()) {
        const std::int64_t left = deadline - source->Now();
        if (left > 0) source->Sleep(static_cast<std::uint32_t>((left + 9999) / 10000));
        return;
    }
    thread_local DeadlineTimer timer;
    for (;;) {
        const std::int64_t left = deadline - InterruptTime();
        if (left <= 0) return;
        LARGE_INTEGER due{};
        due.QuadPart = -left;  // relative, in 100-ns units
        if (!timer.handle || !::SetWaitableTimer(timer.handle, &due, 0, nullptr, nullptr, FALSE) ||
            ::WaitForSingleObject(timer.handle, INFINITE) != WAIT_OBJECT_0) {
            ::Sleep(static_cast<DWORD>(left / 10000) + 1);
        }
    }
}

void SleepMs(std::uint32_t ms) {
    if (TimeSource* source = internal::ActiveTimeSource()) {
        source->Sleep(ms);
        return;
    }
    if (ms == 0) {
        ::SwitchToThread();
        return;
    }
    ::Sleep(ms);
}

void FreeDynamicLibrary(void* handle) {
    if (handle) ::FreeLibrary(static_cast<HMODULE>(handle));
}

}  // namespace platform::sys
