// platform/gfx/gl/present_pacing.h: the schedule of a present that paces itself to the refresh
// rate, and the watch that finds out whether the platform's swap waits for the retrace.
//
// Both work on a clock given by the caller (nanoseconds), so they hold no platform calls.
#pragma once

#include <array>
#include <cstdint>

namespace platform::gfx::gl {

// Slots one refresh period apart. A frame ready before its slot waits for it. A frame that
// misses its slot is shown at once: within a quarter period the slots keep their phase (the
// next frame still has most of a period), beyond that they count again from the late frame,
// so that one late frame does not leave the next one too short a slot to make.
class PresentSchedule {
public:
    explicit PresentSchedule(std::int64_t period_ns) : period_(period_ns > 0 ? period_ns : 1) {}

    // The moment to show the frame that is ready at "now" (never before "now").
    std::int64_t SlotFor(std::int64_t now) {
        if (next_ == 0 || now - next_ > period_ / 4) next_ = now;
        const std::int64_t slot = next_;
        next_ += period_;
        return slot > now ? slot : now;
    }
    // Forgets the slots: the next frame is shown as soon as it is ready.
    void Restart() { next_ = 0; }
    std::int64_t period() const { return period_; }

private:
    std::int64_t period_;
    std::int64_t next_ = 0;
};

// Watches the moments of swaps made with a swap interval the platform accepted. Some drivers
// accept the interval and still return from every swap at once (Wine on a virtual X server
// does); then frames come faster than the refresh rate whenever the renderer can, and the
// caller has to pace them itself. Two spans of the last swaps are compared with as many
// refresh periods:
// - the last kQuickSwaps intervals took less than nine tenths of as many periods: a renderer
//   far faster than the display is caught within half a second;
// - the last kSwaps intervals took less than 98 % of as many periods: a renderer only a little
//   faster (61 to 66 frames a second at 60 Hz) is caught within two seconds. Swaps that do wait
//   cannot come that fast even on a display whose rate is reported rounded down (59.94 Hz as
//   59 is 1.6 % faster), and one quick swap among waiting ones moves a span of kSwaps by less
//   than one period.
// A renderer slower than the refresh rate is never mistaken for it.
class SwapWatch {
public:
    static constexpr int kQuickSwaps = 30;
    static constexpr int kSwaps = 120;

    explicit SwapWatch(std::int64_t period_ns) : period_(period_ns > 0 ? period_ns : 1) {}

    // Records a swap that returned at "now"; true when swaps evidently do not wait.
    bool NoteSwap(std::int64_t now) {
        times_[next_] = now;
        next_ = (next_ + 1) % times_.size();
        if (seen_ < times_.size()) ++seen_;
        const std::size_t n = times_.size();
        const auto spanOf = [&](int swaps) { return now - times_[(next_ + n - 1 - swaps) % n]; };
        if (seen_ > static_cast<std::size_t>(kQuickSwaps) &&
            spanOf(kQuickSwaps) * 10 < static_cast<std::int64_t>(kQuickSwaps) * period_ * 9)
            return true;
        return seen_ == times_.size() &&
               spanOf(kSwaps) * 50 < static_cast<std::int64_t>(kSwaps) * period_ * 49;
    }

private:
    std::int64_t period_;
    std::array<std::int64_t, kSwaps + 1> times_{};  // the last kSwaps + 1 swaps, ring
    std::size_t next_ = 0;                          // where the next swap goes
    std::size_t seen_ = 0;
};

}  // namespace platform::gfx::gl
