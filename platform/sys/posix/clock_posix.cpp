// platform/sys/posix/clock_posix.cpp: clocks, local time and the timer-period request on Linux
// and in a browser page (WebAssembly).
//
// A page has one steady clock (its performance counter, behind CLOCK_MONOTONIC), which then
// also serves as the time since start, and its sleeps wake when the browser's timers say, so
// there is no timer slack to narrow.
#include <time.h>
#ifndef __EMSCRIPTEN__
#include <sys/prctl.h>
#endif

#include <atomic>

#include "platform/sys/sys.h"
#include "platform/sys/time_source.h"

namespace platform::sys {

namespace {

#ifdef __EMSCRIPTEN__
constexpr clockid_t kSinceStart = CLOCK_MONOTONIC;
#else
constexpr clockid_t kSinceStart = CLOCK_BOOTTIME;  // counts while the machine sleeps
#endif

std::int64_t Nanoseconds(clockid_t id) {
    timespec t{};
    clock_gettime(id, &t);
    return static_cast<std::int64_t>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

// Linux high-resolution timers need no period change to sleep in 1 ms steps; the request is
// kept so that callers read back what they asked for, within the bounds the original system
// reported (15.625 ms coarsest, 0.5 ms finest). While a request is in force the process's
// timer slack is narrowed to it, so that wake-ups are no later than the requested period.
constexpr std::uint32_t kCoarsest = 156250;
constexpr std::uint32_t kFinest = 5000;
std::atomic<std::uint32_t> g_requested{0};

// Wake-ups may come this late (0: the system's default).
void SetTimerSlack(unsigned long ns) {
#ifdef __EMSCRIPTEN__
    (void)ns;
#else
    prctl(PR_SET_TIMERSLACK, ns, 0, 0, 0);
#endif
}

}  // namespace

std::int64_t InterruptTime() {
    if (TimeSource* source = internal::ActiveTimeSource()) return source->Now();
    return Nanoseconds(kSinceStart) / 100;
}
std::int64_t PerformanceCounter() {
    if (TimeSource* source = internal::ActiveTimeSource()) return source->Now() * 100;
    return Nanoseconds(CLOCK_MONOTONIC);
}
std::int64_t PerformanceFrequency() { return 1000000000LL; }
std::uint32_t TickCount() {
    if (TimeSource* source = internal::ActiveTimeSource())
        return static_cast<std::uint32_t>(source->Now() / 10000);
    return static_cast<std::uint32_t>(Nanoseconds(kSinceStart) / 1000000LL);
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
    if (set) {
        if (period > kCoarsest) period = kCoarsest;
        if (period < kFinest) period = kFinest;
        g_requested.store(period);
        SetTimerSlack(static_cast<unsigned long>(period) * 100UL / 20UL);
    } else {
        g_requested.store(0);
        SetTimerSlack(0);  // back to the default slack
    }
    if (current) {
        const std::uint32_t requested = g_requested.load();
        *current = requested ? requested : kCoarsest;
    }
    return true;
}

}  // namespace platform::sys
