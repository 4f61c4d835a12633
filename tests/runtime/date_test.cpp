// tests/runtime/date_test.cpp: dates, the millisecond counter, the timer period and rounding.
#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <string>

#include "platform/sys/sys.h"
#include "runtime/date.h"
#include "tests/test_env.h"
#include <gtest/gtest.h>

using runtime::AddToDate;
using runtime::DateFromFields;

namespace {

// Runs the test body under a given time zone and restores the old one afterwards.
class ZoneScope {
public:
    explicit ZoneScope(const char* zone) {
        if (const char* old = std::getenv("TZ")) {
            had_ = true;
            old_ = old;
        }
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ZoneScope() {
        if (had_) setenv("TZ", old_.c_str(), 1); else unsetenv("TZ");
        tzset();
    }

private:
    bool had_ = false;
    std::string old_;
};

}  // namespace

TEST(Date, FieldsAtTheEdgesOfTheRange) {
    const struct { int y, mo, d, h, mi, s; std::int64_t expected; } rows[] = {
        {1970, 1, 1, 0, 0, 5, 5},
        {1970, 1, 1, 23, 59, 59, 86399},
        {1970, 1, 2, 0, 0, 0, 86400},
        {2038, 1, 19, 3, 14, 7, INT32_MAX},
        {2038, 1, 19, 3, 14, 8, -1},
        {2038, 1, 20, 0, 0, 0, -1},
        {2038, 2, 1, 0, 0, 0, -1},
        {2039, 1, 1, 0, 0, 0, -1},
        {1969, 12, 31, 23, 59, 59, -1},
        {2000, 2, 29, 0, 0, 0, 951782400},
        {2004, 2, 29, 12, 0, 0, 1078056000},
        {1900 + 101, 2, 29, 0, 0, 0, -1},
        {2100 - 100, 2, 30, 0, 0, 0, -1},
        {2001, 4, 31, 0, 0, 0, -1},
        {2001, 6, 31, 0, 0, 0, -1},
        {2001, 9, 31, 0, 0, 0, -1},
        {2001, 11, 31, 0, 0, 0, -1},
        {2001, 12, 31, 0, 0, 0, 1009756800},
        {2001, 0, 1, 0, 0, 0, -1},
        {2001, 13, 1, 0, 0, 0, -1},
        {2001, 1, 0, 0, 0, 0, -1},
        {2001, 1, 1, 24, 0, 0, -1},
        {2001, 1, 1, 0, 60, 0, -1},
        {2001, 1, 1, 0, 0, 60, -1},
        {2001, 1, 1, -1, 0, 0, -1},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::to_string(r.y) + "-" + std::to_string(r.mo) + "-" + std::to_string(r.d) + " " +
                     std::to_string(r.h) + ":" + std::to_string(r.mi) + ":" + std::to_string(r.s));
        EXPECT_EQ(DateFromFields(r.y, r.mo, r.d, r.h, r.mi, r.s), r.expected);
    }
}

// Zones given by rule strings keep one offset through the years; the named zones changed theirs
// since 1970 (London kept GMT+1 all through 1970, Kathmandu moved from +5:30 to +5:45) or use
// half-hour offsets with daylight saving (Adelaide, St John's).
constexpr const char* kZones[] = {
    "UTC0", "EST5EDT,M3.2.0,M11.1.0", "IST-5:30", "NST3:30NDT,M3.2.0,M11.1.0", "JST-9",
    "CET-1CEST,M3.5.0,M10.5.0/3", "Europe/London", "Asia/Kolkata", "Asia/Kathmandu",
    "Australia/Adelaide", "America/St_Johns"};

TEST(Date, ValueIsTheWallClockReadingInEveryZone) {
    for (const char* zone : kZones) {
        SCOPED_TRACE(zone);
        ZoneScope scope(zone);
        EXPECT_EQ(DateFromFields(2004, 7, 1, 12, 0, 0), 1088683200);  // summer
        EXPECT_EQ(DateFromFields(2004, 1, 15, 6, 30, 15), 1074148215);  // winter
        EXPECT_EQ(DateFromFields(1970, 1, 2, 0, 0, 0), 86400);
    }
}

TEST(Date, AddToDateByUnits) {
    const runtime::DateValue d = DateFromFields(2010, 5, 17, 8, 30, 0);
    EXPECT_EQ(AddToDate(d, runtime::kDateSecond, 4), d + 4);
    EXPECT_EQ(AddToDate(d, runtime::kDateMinute, -2), d - 120);
    EXPECT_EQ(AddToDate(d, runtime::kDateHour, 3), d + 3 * 3600);
    EXPECT_EQ(AddToDate(d, runtime::kDateDay, 10), d + 10 * 86400);
    EXPECT_EQ(AddToDate(d, runtime::kDateWeek, -1), d - 604800);
    EXPECT_EQ(AddToDate(d, 7, 1), d);
    EXPECT_EQ(AddToDate(d, -1, 1), d);
    EXPECT_EQ(AddToDate(-1, runtime::kDateSecond, 4), -1);
    EXPECT_EQ(AddToDate(-1, runtime::kDateMonth, 1), -1);
    // Seconds wrap in 32 bits instead of overflowing.
    EXPECT_EQ(AddToDate(INT32_MAX, runtime::kDateSecond, 1), INT32_MIN);
}

TEST(Date, MonthArithmeticClipsTheDayAndKeepsTheTime) {
    const struct { int y, mo, d; int unit, amount; int ey, emo, ed; } rows[] = {
        {2004, 1, 31, runtime::kDateMonth, 1, 2004, 2, 29},
        {2005, 1, 31, runtime::kDateMonth, 1, 2005, 2, 28},
        {2004, 3, 31, runtime::kDateMonth, -1, 2004, 2, 29},
        {2004, 3, 31, runtime::kDateMonth, 1, 2004, 4, 30},
        {2004, 12, 15, runtime::kDateMonth, 1, 2005, 1, 15},
        {2004, 1, 15, runtime::kDateMonth, -1, 2003, 12, 15},
        {2004, 1, 15, runtime::kDateMonth, -25, 2001, 12, 15},
        {2004, 2, 29, runtime::kDateYear, 1, 2005, 2, 28},
        {2004, 2, 29, runtime::kDateYear, 4, 2008, 2, 29},
        {2000, 6, 1, runtime::kDateYear, -30, 1970, 6, 1},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::to_string(r.y) + "-" + std::to_string(r.mo) + "-" + std::to_string(r.d) + " unit " +
                     std::to_string(r.unit) + " by " + std::to_string(r.amount));
        const runtime::DateValue from = DateFromFields(r.y, r.mo, r.d, 17, 45, 12);
        EXPECT_EQ(AddToDate(from, r.unit, r.amount), DateFromFields(r.ey, r.emo, r.ed, 17, 45, 12));
    }
    // Out of range either way gives -1.
    EXPECT_EQ(AddToDate(DateFromFields(1970, 1, 15, 0, 0, 0), runtime::kDateMonth, -1), -1);
    EXPECT_EQ(AddToDate(DateFromFields(2037, 12, 20, 0, 0, 0), runtime::kDateMonth, 1), -1);
    EXPECT_EQ(AddToDate(DateFromFields(2037, 12, 20, 0, 0, 0), runtime::kDateYear, INT32_MAX), -1);
    EXPECT_EQ(AddToDate(DateFromFields(2037, 12, 20, 0, 0, 0), runtime::kDateMonth, INT32_MIN), -1);
}

TEST(Date, MonthsAndYearsKeepTheTimeOfDayInEveryZone) {
    for (const char* zone : kZones) {
        SCOPED_TRACE(zone);
        ZoneScope scope(zone);
        // From winter to summer and back, across 1970 and the daylight-saving changes.
        const runtime::DateValue from = DateFromFields(1970, 1, 31, 0, 30, 0);
        int shifted = 0;
        for (int months = 0; months < 12 * 68; months += 5) {
            const runtime::DateValue d = AddToDate(from, runtime::kDateMonth, months);
            if (d == -1 || d % 86400 != 30 * 60) ++shifted;
        }
        EXPECT_EQ(shifted, 0) << "months after which 00:30 became another time of day";
        const runtime::DateValue noon = DateFromFields(2010, 3, 28, 12, 0, 0);
        EXPECT_EQ(AddToDate(noon, runtime::kDateYear, -40), DateFromFields(1970, 3, 28, 12, 0, 0));
        EXPECT_EQ(AddToDate(noon, runtime::kDateMonth, 7) - noon, 214 * 86400);
    }
}

TEST(Date, CurrentDateMatchesTheLocalClock) {
    const platform::sys::LocalTime before = platform::sys::GetLocalTime();
    const runtime::DateValue now = runtime::CurrentDate();
    const runtime::DateValue expected =
        DateFromFields(before.year, before.month, before.day, before.hour, before.minute, before.second);
    EXPECT_GE(now, expected);
    EXPECT_LE(now, expected + 2);
}

TEST(Timing, MillisecondCounterFollowsTheClock) {
    const std::int64_t a = runtime::MillisecondCounter();
    platform::sys::SleepMs(30);
    const std::int64_t b = runtime::MillisecondCounter();
    EXPECT_GE(b - a, 29);
    EXPECT_LT(b - a, 2000);
}

TEST(Timing, TimerResolutionIsClampedAndReleased) {
    platform::sys::TimerResolution limits{};
    if (!platform::sys::QueryTimerResolution(&limits)) GTEST_SKIP() << "no timer resolution on this system";
    EXPECT_EQ(runtime::SetTimerResolution(10000), std::clamp<std::uint32_t>(10000, limits.finest, limits.coarsest));
    EXPECT_EQ(runtime::SetTimerResolution(1), limits.finest);
    EXPECT_EQ(runtime::SetTimerResolution(0xFFFFFFFFu), limits.coarsest);
    runtime::SetTimerResolution(0);
}

TEST(Rounding, ModesAndHalves) {
    const struct { float x; int mode; float expected; } rows[] = {
        {2.5f, 2, 3.0f},  {-2.5f, 2, -3.0f}, {2.4f, 2, 2.0f},  {-2.4f, 2, -2.0f}, {0.0f, 2, 0.0f},
        {2.7f, 0, 2.0f},  {-2.2f, 0, -3.0f}, {2.2f, 1, 3.0f},  {-2.7f, 1, -2.0f}, {2.7f, 99, 2.0f},
        {5.0f, 1, 5.0f},  {5.0f, 0, 5.0f},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::to_string(r.x) + " mode " + std::to_string(r.mode));
        EXPECT_EQ(runtime::RoundNumber(r.x, r.mode), r.expected);
    }
}
