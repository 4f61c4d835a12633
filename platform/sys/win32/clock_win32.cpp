// platform/sys/win32/clock_win32.cpp: clocks, local time and the timer-period request on Win32.
#include <windows.h>
#include <mmsystem.h>

#include <atomic>
#include <mutex>

#include "platform/sys/sys.h"
#include "platform/sys/time_source.h"

namespace platform::sys {

namespace {

// The bounds the system reports for its timer period: the default tick (15.625 ms) and the
// finest period timeBeginPeriod grants (1 ms). timeBeginPeriod counts whole milliseconds, so
// a request is rounded up to the next millisecond when it is passed on.
constexpr std::uint32_t kCoarsest = 156250;
constexpr std::uint32_t kFinest = 10000;

std::mutex g_periodLock;
std::uint32_t g_requested = 0;    // 100-ns units; 0 = no request in force
UINT g_requestedMs = 0;           // what timeBeginPeriod was given for it

std::int64_t Frequency() {
    static const std::int64_t frequency = [] {
        LARGE_INTEGER f{};
        ::QueryPerformanceFrequency(&f);
        return static_cast<std::int64_t>(f.QuadPart);
    }();
    return frequency;
}

}  // namespace

// The performance counter runs on through suspension, as the interrupt time does.
std::int64_t InterruptTime() {
    if (TimeSource* source = internal::ActiveTimeSource()) return source->Now();
    const std::int64_t counts = PerformanceCounter();
    const std::int64_t f = Frequency();
    return counts / f * 10000000LL + counts % f * 10000000LL / f;
}

std::int64_t PerformanceCounter() {
    if (TimeSource* source = internal::ActiveTimeSource())
        return internal::CountsFrom100ns(source->Now(), Frequency());
    LARGE_INTEGER c{};
    ::QueryPerformanceCounter(&c);
    return static_cast<std::int64_t>(c.QuadPart);
}

std::int64_t PerformanceFrequency() { return Frequency(); }

std::uint32_t TickCount() {
    if (TimeSource* source = internal::ActiveTimeSource())
        return static_cast<std::uint32_t>(source->Now() / 10000);
    return static_cast<std::uint32_t>(::GetTickCount());
}

LocalTime GetLocalTime() {
    if (TimeSource* source = internal::ActiveTimeSource()) return source->Local();
    SYSTEMTIME t{};
    ::GetLocalTime(&t);
    return LocalTime{t.wYear, t.wMonth, t.wDayOfWeek, t.wDay, t.wHour, t.wMinute,
                     t.wSecond % 60, t.wMilliseconds};
}

bool QueryTimerResolution(TimerResolution* out) {
    if (!out) return false;
    std::lock_guard<std::mutex> guard(g_periodLock);
    *out = TimerResolution{kCoarsest, kFinest, g_requested ? g_requested : kCoarsest};
    return true;
}

bool RequestTimerResolution(std::uint32_t period, bool set, std::uint32_t* current) {
    std::lock_guard<std::mutex> guard(g_periodLock);
    // A new request replaces this process's previous one.
    if (g_requestedMs != 0) {
        ::timeEndPeriod(g_requestedMs);
        g_requestedMs = 0;
        g_requested = 0;
    }
    if (set) {
        if (period > kCoarsest) period = kCoarsest;
        if (period < kFinest) period = kFinest;
        const UINT ms = (period + 9999) / 10000;
        if (::timeBeginPeriod(ms) != TIMERR_NOERROR) return false;
        g_requested = period;
        g_requestedMs = ms;
    }
    if (current) *current = g_requested ? g_requested : kCoarsest;
    return true;
}

}  // namespace platform::sys
