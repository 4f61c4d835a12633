// runtime/date.cpp: wall-clock dates, the millisecond counter, the timer period and rounding.
#include "runtime/date.h"

#include <cmath>
#include <ctime>

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

std::int64_t g_countsPerMs = 0;

}  // namespace

DateValue DateFromFields(int year, int month, int day, int hour, int minute, int second) {
    if (!FieldsValid(year, month, day, hour, minute, second)) return kInvalidDate;
    if (year == 1970 && month == 1 && day == 1) return (hour * 60 + minute) * 60 + second;

    // The local reading of the epoch gives the zone's offset at that moment; mktime with the
    // epoch's daylight flag then applies the same offset, so the sum is the wall-clock reading.
    const std::time_t epoch = 0;
    std::tm e{};
    if (!localtime_r(&epoch, &e)) return kInvalidDate;
    int offsetHours = e.tm_hour;
    if (offsetHours > 11 && e.tm_mday == 31) offsetHours -= 24;

    std::tm fields{};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    fields.tm_isdst = e.tm_isdst;
    const std::time_t local = std::mktime(&fields);
    if (local == static_cast<std::time_t>(-1)) return kInvalidDate;
    const std::int64_t value =
        (static_cast<std::int64_t>(offsetHours) * 60 + e.tm_min) * 60 + static_cast<std::int64_t>(local);
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
    const std::time_t t = date;
    std::tm f{};
    if (!gmtime_r(&t, &f)) return date;
    const std::int64_t monthIndex = static_cast<std::int64_t>(f.tm_mon) + months;
    std::int64_t year = f.tm_year + 1900 + monthIndex / 12;
    std::int64_t month = monthIndex % 12;
    if (month < 0) {
        month += 12;
        --year;
    }
    if (year < 1970 || year > 2038) return kInvalidDate;
    // Clip the day to the end of the target month, never below the 28th.
    for (int day = f.tm_mday;; --day) {
        const DateValue result = DateFromFields(static_cast<int>(year), static_cast<int>(month) + 1,
                                                day, f.tm_hour, f.tm_min, f.tm_sec);
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
