// tests/capture/frame_clock_test.cpp: the frame clock as the time of every clock and sleep.
#include "platform/capture/frame_clock.h"

#include <gtest/gtest.h>

#include <atomic>

#include "platform/sys/sys.h"

namespace {

namespace sys = platform::sys;
using platform::capture::FrameClock;

TEST(FrameClock, EveryClockReadsExactFramePeriods) {
    FrameClock clock(60);
    clock.Install();
    const std::int64_t counter0 = sys::PerformanceCounter();
    EXPECT_EQ(sys::InterruptTime(), 10000000);
    EXPECT_EQ(sys::TickCount(), 1000u);
    sys::LocalTime t = sys::GetLocalTime();
    EXPECT_EQ((t.year * 100 + t.month) * 100 + t.day, 20000101);
    EXPECT_EQ(t.day_of_week, 6);  // a Saturday
    for (int i = 0; i < 48; ++i) clock.AdvanceFrame();
    // 48 frames at 60 per second: 800 ms, with no rounding left over.
    EXPECT_EQ(sys::PerformanceCounter() - counter0, 800000000);
    EXPECT_EQ(sys::InterruptTime(), 18000000);
    // A day and a bit later the date has moved on by one, to the millisecond.
    for (int i = 0; i < 60 * 86401 + 3; ++i) clock.AdvanceFrame();
    t = sys::GetLocalTime();
    EXPECT_EQ((t.year * 100 + t.month) * 100 + t.day, 20000102);
    EXPECT_EQ(t.day_of_week, 0);
    EXPECT_EQ(t.hour * 3600 + t.minute * 60 + t.second, 1);
    EXPECT_EQ(t.milliseconds, 850);
    clock.Uninstall();
    EXPECT_GT(sys::InterruptTime(), 0);  // the system's time again
}

struct Poller {
    std::atomic<bool> run{true};
    std::atomic<int> polls{0};
    std::atomic<bool> ended{false};
    static void Main(void* p) {
        auto* self = static_cast<Poller*>(p);
        while (self->run.load()) {
            sys::SleepMs(10);
            self->polls.fetch_add(1);
        }
        self->ended.store(true);
    }
};

// A thread that polls every 10 ms runs exactly once per 16.7 ms frame, and each frame waits
// until it has: what it did is visible as soon as the frame returns.
TEST(FrameClock, SleepingThreadsRunInLockstepWithTheFrames) {
    FrameClock clock(60);
    std::int64_t heard = 0;
    clock.SetAdvanceListener([](void* user, std::int64_t units) { *static_cast<std::int64_t*>(user) = units; },
                             &heard);
    clock.Install();
    Poller poller;
    ASSERT_TRUE(sys::CreateDetachedThread(&Poller::Main, &poller, 0));
    for (int frame = 1; frame <= 100; ++frame) {
        clock.AdvanceFrame();
        ASSERT_EQ(poller.polls.load(), frame);
    }
    EXPECT_EQ(heard, 100 * FrameClock::kUnitsPerFrame);
    // The driver's own sleep lets time pass: the poller wakes, sees the stop and ends, and
    // the sleep returns only then.
    poller.run.store(false);
    const std::int64_t before = sys::InterruptTime();
    sys::SleepMs(10);
    EXPECT_TRUE(poller.ended.load());
    EXPECT_EQ(sys::InterruptTime() - before, 100000);
    clock.AdvanceFrame();  // nobody is left to wait for
    clock.Uninstall();
}

}  // namespace
