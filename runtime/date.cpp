// runtime/date.cpp: wall-clock dates, the millisecond counter, the timer period and rounding.
#include "runtime/date.h"

#include <cmath>
#include <chrono>

#include "platform/sys/sys.h"

namespace runtime {

namespace sys = platform::sys;

namespace {

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

bool FieldsValid(int year, int month, int day, int hour, int minute, int second) {
    if (second < 0 || second >= 60 || minute < 0 || minute >= 60 || hour < 0 || hour >= 24)
        return false;
    if (day < 1 || day > 31 || month < 1 || month > 12) return false;
    if (year < 1970 || year > 2038) return false;
    if (year == 2038) {
        if (month != 1 || day > 19) return false;
        if (day == 19 && (hour * 60 + minute) * 60 + second > (3 * 60 + 14) * 60 + 7) return false;
    }
    if (day == 31 && (month == 4 || month == 6 || month == 9 || month == 11)) return false;
    if (month == 2 && (day > 29 || (day == 29 && !IsLeapYear(year)))) return false;
    return true;
}

// Days from 1 January 1970 to 1 January of "year" (1970 or later).
std::int64_t DaysBeforeYear(int year) {
    const auto leapYearsUpTo = [](int y) { return y / 4 - y / 100 + y / 400; };
    return 365 * static_cast<std::int64_t>(year - 1970) + leapYearsUpTo(year - 1) - leapYearsUpTo(1969);
}

// Days of a common year before the first of each month.
constexpr int kDaysBeforeMonth[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};

std::int64_t g_countsPerMs = 0;

}  // namespace

// The value is the count of wall-clock seconds from the epoch to the fields, so it is pure
// calendar arithmetic: no zone enters it. (Converting through the C library's local time and
// adding the zone's offset at 1970 back is an hour off wherever that offset differs from the
// offset of the date itself, e.g. Europe/London, which kept GMT+1 all through 1970.)
DateValue DateFromFields(int year, int month, int day, int hour, int minute, int second) {
    if (!FieldsValid(year, month, day, hour, minute, second)) return kInvalidDate;
    const std::int64_t days = DaysBeforeYear(year) + kDaysBeforeMonth[month - 1] +
                              (month > 2 && IsLeapYear(year) ? 1 : 0) + (day - 1);
    const std::int64_t value = ((days * 24 + hour) * 60 + minute) * 60 + second;
    if (value < 0 || value > INT32_MAX) return kInvalidDate;
    return static_cast<DateValue>(value);
}

DateValue CurrentDate() {
    const sys::LocalTime now = sys::GetLocalTime();
    return DateFromFields(now.year, now.month, now.day, now.hour, now.minute, now.second);
}

DateValue AddToDate(DateValue date, std::int32_t unit, std::int32_t amount) {
    if (date == kInvalidDate) return kInvalidDate;
    static constexpr std::uint32_t kStepSeconds[] = {0, 0, 604800, 86400, 3600, 60, 1};
    if (unit >= kDateWeek && unit <= kDateSecond) {
        const std::uint32_t sum = static_cast<std::uint32_t>(date) +
                                  static_cast<std::uint32_t>(amount) * kStepSeconds[unit];
        return static_cast<DateValue>(sum);
    }
    if (unit != kDateYear && unit != kDateMonth) return date;

    const std::int64_t months = unit == kDateYear ? static_cast<std::int64_t>(amount) * 12 : amount;
    // The value counts wall-clock seconds, so breaking it down as universal time gives the
    // wall-clock fields.
    using namespace std::chrono;
    const sys_seconds at{seconds{date}};
    const sys_days dayStart = floor<days>(at);
    const year_month_day ymd{dayStart};
    const hh_mm_ss<seconds> clock{at - dayStart};
    const std::int64_t monthIndex = static_cast<std::int64_t>(static_cast<unsigned>(ymd.month())) -
                                    1 + months;
    std::int64_t year = static_cast<int>(ymd.year()) + monthIndex / 12;
    std::int64_t month = monthIndex % 12;
    if (month < 0) {
        month += 12;
        --year;
    }
    if (year < 1970 || year > 2038) return kInvalidDate;
    // Clip the day to the end of the target month, never below the 28th.
    for (int day = static_cast<int>(static_cast<unsigned>(ymd.day()));; --day) {
        const DateValue result = DateFromFields(
            static_cast<int>(year), static_cast<int>(month) + 1, day,
            static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
            static_cast<int>(clock.seconds().count()));
        if (result != kInvalidDate || day - 1 < 28) return result;
    }
}

std::int64_t MillisecondCounter() {
    if (g_countsPerMs == 0) {
        g_countsPerMs = sys::PerformanceFrequency() / 1000;
        if (g_countsPerMs == 0) return sys::TickCount();
    }
    return sys::PerformanceCounter() / g_countsPerMs;
}

std::uint32_t SetTimerResolution(std::uint32_t resolution) {
    std::uint32_t current = 0;
    if (resolution == 0) {
        if (!sys::RequestTimerResolution(0, false, &current)) return 0;
        return current;
    }
    sys::TimerResolution limits{};
    if (!sys::QueryTimerResolution(&limits)) return 0;
    if (resolution > limits.coarsest) resolution = limits.coarsest;
    if (resolution < limits.finest) resolution = limits.finest;
    if (!sys::RequestTimerResolution(resolution, true, &current)) return 0;
    return current;
}

float RoundNumber(float value, std::int32_t mode) {
    const double x = value;
    double r;
    if (mode == 1)
        r = std::ceil(x);
    else if (mode == 2)
        r = x <= 0 ? std::ceil(x - 0.5) : std::floor(x + 0.5);
    else
        r = std::floor(x);
    return static_cast<float>(r);
}

}  // namespace runtime
