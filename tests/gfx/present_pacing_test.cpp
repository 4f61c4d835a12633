// tests/gfx/present_pacing_test.cpp: the self-paced present's slots and the watch that finds
// swaps which do not wait for the retrace, on a clock the test drives.
#include <gtest/gtest.h>

#include "platform/gfx/gl/present_pacing.h"

namespace {

using platform::gfx::gl::PresentSchedule;
using platform::gfx::gl::SwapWatch;

constexpr std::int64_t kPeriod = 16666667;  // 60 Hz
constexpr std::int64_t kMs = 1000000;

TEST(PresentSchedule, EarlyFramesWaitForTheirSlotsAndLateOnesAreShownAtOnce) {
    PresentSchedule s(kPeriod);
    const std::int64_t t0 = 1000 * kMs;
    EXPECT_EQ(s.SlotFor(t0), t0);                         // the first frame anchors the slots
    EXPECT_EQ(s.SlotFor(t0 + 5 * kMs), t0 + kPeriod);     // early: waits
    // 3 ms late (within a quarter period): shown at once, the slots keep their phase.
    EXPECT_EQ(s.SlotFor(t0 + 2 * kPeriod + 3 * kMs), t0 + 2 * kPeriod + 3 * kMs);
    EXPECT_EQ(s.SlotFor(t0 + 2 * kPeriod + 10 * kMs), t0 + 3 * kPeriod);
    // 12 ms late: shown at once, and the next slot is a whole period after it, not the old
    // grid's slot 4.7 ms later that the next frame would miss as well.
    const std::int64_t late = t0 + 4 * kPeriod + 12 * kMs;
    EXPECT_EQ(s.SlotFor(late), late);
    EXPECT_EQ(s.SlotFor(late + 9 * kMs), late + kPeriod);
    // Restart forgets the slots.
    s.Restart();
    EXPECT_EQ(s.SlotFor(late + 20 * kMs), late + 20 * kMs);
}

TEST(SwapWatch, OnlySwapsFasterThanTheRefreshRateAreFlagged) {
    const auto flags = [](std::int64_t interval, int swaps) {
        SwapWatch w(kPeriod);
        bool flagged = false;
        for (int i = 0; i < swaps; ++i) flagged = w.NoteSwap(i * interval) || flagged;
        return flagged;
    };
    EXPECT_FALSE(flags(kPeriod, 200));          // swaps that wait for the retrace
    EXPECT_FALSE(flags(25 * kMs, 200));         // a renderer slower than the display
    EXPECT_FALSE(flags(12 * kMs, SwapWatch::kQuickSwaps));    // too few swaps to tell
    EXPECT_TRUE(flags(12 * kMs, SwapWatch::kQuickSwaps + 1));  // 83 frames per second
    // 62 frames per second: too close to the rate for the quick span, caught by the long one.
    EXPECT_FALSE(flags(16125000, SwapWatch::kSwaps));
    EXPECT_TRUE(flags(16125000, SwapWatch::kSwaps + 1));
    // Waiting swaps on a 59.94 Hz display whose rate is reported as 59 are not flagged.
    {
        SwapWatch w(1000000000LL / 59);
        bool flagged = false;
        for (int i = 0; i < 1000; ++i) flagged = w.NoteSwap(i * 16683350LL) || flagged;
        EXPECT_FALSE(flagged);
    }
    // One quick frame among waiting ones is not a platform that ignores the interval.
    SwapWatch w(kPeriod);
    std::int64_t t = 0;
    bool flagged = false;
    for (int i = 0; i < 120; ++i) {
        t += (i % 40 == 39) ? 2 * kMs : kPeriod;
        flagged = w.NoteSwap(t) || flagged;
    }
    EXPECT_FALSE(flagged);
}

}  // namespace
