// platform/capture/frame_clock.h: a time that passes one frame period per finished frame.
//
// Installed as the system layer's time source, it is what every clock reads and every sleep
// waits on. Time stands still until the driving thread (the one that installed it) finishes
// a frame or sleeps; then it moves by exactly that much, and the threads whose sleeps have
// run out are woken and waited for until each sleeps again or ends, so they run in lockstep
// with the frames and nothing depends on real time.
//
// Time is counted in units of 1 / (fps * 1000) s: a frame period is 1000 units and a
// millisecond fps units, so both are exact and nothing drifts over a long run.
//
// Threads: Install, Uninstall and AdvanceFrame on the driving thread; the TimeSource calls on
// any thread.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "platform/sys/sys.h"

namespace platform::capture {

class FrameClock final : public sys::TimeSource {
public:
    // Called on the driving thread each time the time has moved, with the new time in units.
    using AdvanceListener = void (*)(void* user, std::int64_t units);

    // "fps" frames per second (1-1000). The clock starts at one second of interrupt time and
    // at the local time 2000-01-01 00:00:00.000, the same on every run.
    explicit FrameClock(int fps);
    ~FrameClock() override;

    void Install();
    void Uninstall();
    void SetAdvanceListener(AdvanceListener listener, void* user);

    // One frame period passes.
    void AdvanceFrame() { Advance(kUnitsPerFrame); }

    int fps() const { return fps_; }
    std::int64_t units() const;
    std::int64_t UnitsPerSecond() const { return std::int64_t{fps_} * kUnitsPerFrame; }
    static constexpr std::int64_t kUnitsPerFrame = 1000;

    std::int64_t Now() override;
    sys::LocalTime Local() override;
    void Sleep(std::uint32_t ms) override;
    void ThreadCreated(void* token) override;
    void ThreadNotCreated(void* token) override;
    void ThreadBegins(void* token) override;
    void ThreadEnds() override;

private:
    struct Sleeper {
        std::thread::id thread;
        std::int64_t deadline;
        bool woken;
    };

    void Advance(std::int64_t units);
    bool OnDriver() const { return std::this_thread::get_id() == driver_; }

    const int fps_;
    std::thread::id driver_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::int64_t units_ = 0;
    std::vector<Sleeper> sleepers_;
    // Threads the driver waits for: made and not yet asleep, or woken and not yet asleep.
    std::set<void*> starting_;             // made, not yet running (by start token)
    std::set<std::thread::id> running_;    // woken or started, not yet asleep again
    AdvanceListener listener_ = nullptr;
    void* listenerUser_ = nullptr;
};

}  // namespace platform::capture
