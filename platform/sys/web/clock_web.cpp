// platform/sys/web/clock_web.cpp: clocks, local time and the timer-period request in a browser
// page (WebAssembly).
//
// The page has one steady clock (its performance counter, behind CLOCK_MONOTONIC), which also
// serves as the time since start for the interrupt time and the tick count. Sleeps wake when
// the browser's timers say, so the timer-period request is only kept for callers to read back,
// within the original system's bounds (15.625 ms coarsest, 0.5 ms finest).
#include <time.h>

#include <algorithm>
#include <atomic>

#include "platform/sys/sys.h"
#include "platform/sys/time_source.h"

namespace platform::sys {

namespace {

std::int64_t MonotonicNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<std::int64_t>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

constexpr std::uint32_t kCoarsest = 156250;
constexpr std::uint32_t kFinest = 5000;
std::atomic<std::uint32_t> g_requested{0};

}  // namespace

// A time source in force (sys.h) is every clock's answer, as on the other systems.
std::int64_t InterruptTime() {
    if (TimeSource* source = internal::ActiveTimeSource()) return source->Now();
    return MonotonicNs() / 100;
}
std::int64_t PerformanceCounter() {
    if (TimeSource* source = internal::ActiveTimeSource()) return source->Now() * 100;
    return MonotonicNs();
}
std::int64_t PerformanceFrequency() { return 1000000000LL; }
std::uint32_t TickCount() {
    if (TimeSource* source = internal::ActiveTimeSource())
        return static_cast<std::uint32_t>(source->Now() / 10000);
    return static_cast<std::uint32_t>(MonotonicNs() / 1000000LL);
}

LocalTime GetLocalTime() {
    if (TimeSource* source = internal::ActiveTimeSource()) return source->Local();
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm fields{};
    localtime_r(&now.tv_sec, &fields);
    return LocalTime{fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_wday,      fields.tm_mday,
                     fields.tm_hour,        fields.tm_min,     fields.tm_sec % 60,
                     static_cast<int>(now.tv_nsec / 1000000)};
}

bool QueryTimerResolution(TimerResolution* out) {
    if (!out) return false;
    const std::uint32_t requested = g_requested.load();
    *out = TimerResolution{kCoarsest, kFinest, requested ? requested : kCoarsest};
    return true;
}

bool RequestTimerResolution(std::uint32_t period, bool set, std::uint32_t* current) {
    g_requested.store(set ? std::clamp(period, kFinest, kCoarsest) : 0);
    if (current) {
        const std::uint32_t requested = g_requested.load();
        *current = requested ? requested : kCoarsest;
    }
    return true;
}

}  // namespace platform::sys
