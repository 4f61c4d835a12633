// platform/capture/frame_clock.cpp: a time that passes one frame period per finished frame.
#include "platform/capture/frame_clock.h"

#include <algorithm>

namespace platform::capture {

namespace {

constexpr std::int64_t kStartInterruptTime = 10000000;  // one second, in 100-ns units

// Days from 1970-01-01 to 2000-01-01, a Saturday.
constexpr std::int64_t kStartDay = 10957;

// The calendar fields of a day counted from 1970-01-01 (the proleptic Gregorian calendar).
void CivilFromDays(std::int64_t z, int* year, int* month, int* day) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const std::int64_t d = doy - (153 * mp + 2) / 5 + 1;
    const std::int64_t m = mp < 10 ? mp + 3 : mp - 9;
    *year = static_cast<int>(yoe + era * 400 + (m <= 2 ? 1 : 0));
    *month = static_cast<int>(m);
    *day = static_cast<int>(d);
}

}  // namespace

FrameClock::FrameClock(int fps) : fps_(std::clamp(fps, 1, 1000)) {}

FrameClock::~FrameClock() { Uninstall(); }

void FrameClock::Install() {
    driver_ = std::this_thread::get_id();
    sys::SetTimeSource(this);
}

void FrameClock::Uninstall() {
    sys::SetTimeSource(nullptr);
    std::lock_guard<std::mutex> guard(mutex_);
    // Sleepers left behind wake now; with the system's time back they would never be woken.
    for (Sleeper& s : sleepers_) s.woken = true;
    changed_.notify_all();
}

void FrameClock::SetAdvanceListener(AdvanceListener listener, void* user) {
    listener_ = listener;
    listenerUser_ = user;
}

std::int64_t FrameClock::units() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return units_;
}

std::int64_t FrameClock::Now() {
    const std::int64_t u = units();
    const std::int64_t perSecond = UnitsPerSecond();
    return kStartInterruptTime + u / perSecond * 10000000 + u % perSecond * 10000000 / perSecond;
}

sys::LocalTime FrameClock::Local() {
    const std::int64_t u = units();
    const std::int64_t perSecond = UnitsPerSecond();
    const std::int64_t seconds = u / perSecond;
    const std::int64_t days = kStartDay + seconds / 86400;
    const std::int64_t inDay = seconds % 86400;
    sys::LocalTime t{};
    CivilFromDays(days, &t.year, &t.month, &t.day);
    t.day_of_week = static_cast<int>((days + 4) % 7);  // 1970-01-01 was a Thursday
    t.hour = static_cast<int>(inDay / 3600);
    t.minute = static_cast<int>(inDay / 60 % 60);
    t.second = static_cast<int>(inDay % 60);
    t.milliseconds = static_cast<int>(u % perSecond * 1000 / perSecond);
    return t;
}

void FrameClock::Advance(std::int64_t units) {
    std::int64_t now;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        // Lockstep: threads still starting or still running from the last step first reach
        // their next sleep at the time they started at; then the time moves, and the threads
        // whose sleeps ran out run until each sleeps again or ends.
        const auto settled = [&] { return running_.empty() && starting_.empty(); };
        changed_.wait(lock, settled);
        units_ += units;
        now = units_;
        for (Sleeper& s : sleepers_) {
            if (!s.woken && s.deadline <= now) {
                s.woken = true;
                running_.insert(s.thread);
            }
        }
        changed_.notify_all();
        changed_.wait(lock, settled);
    }
    if (listener_) listener_(listenerUser_, now);
}

void FrameClock::Sleep(std::uint32_t ms) {
    if (ms == 0) {
        std::this_thread::yield();
        return;
    }
    // The driver's own sleep is time passing.
    if (OnDriver()) {
        Advance(std::int64_t{ms} * fps_);
        return;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    const std::thread::id self = std::this_thread::get_id();
    sleepers_.push_back(Sleeper{self, units_ + std::int64_t{ms} * fps_, false});
    running_.erase(self);
    changed_.notify_all();
    changed_.wait(lock, [&] {
        return std::find_if(sleepers_.begin(), sleepers_.end(), [&](const Sleeper& s) {
                   return s.thread == self && s.woken;
               }) != sleepers_.end();
    });
    sleepers_.erase(std::remove_if(sleepers_.begin(), sleepers_.end(),
                                   [&](const Sleeper& s) { return s.thread == self; }),
                    sleepers_.end());
}

void FrameClock::ThreadCreated(void* token) {
    std::lock_guard<std::mutex> guard(mutex_);
    starting_.insert(token);
}

void FrameClock::ThreadBegins(void* token) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (starting_.erase(token) != 0) running_.insert(std::this_thread::get_id());
}

void FrameClock::ThreadNotCreated(void* token) {
    std::lock_guard<std::mutex> guard(mutex_);
    starting_.erase(token);
    changed_.notify_all();
}

void FrameClock::ThreadEnds() {
    std::lock_guard<std::mutex> guard(mutex_);
    running_.erase(std::this_thread::get_id());
    changed_.notify_all();
}

}  // namespace platform::capture
