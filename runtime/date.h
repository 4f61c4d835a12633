// runtime/date.h: dates as whole seconds of local wall-clock time, the millisecond counter,
// the timer-resolution request and rounding.
//
// A date value counts seconds from 1970-01-01 00:00:00 to the moment, both read as local
// wall-clock time: no zone or daylight-saving shift lives inside the value. Valid range:
// 1970-01-01 00:00:00 to 2038-01-19 03:14:07. The value -1 marks an invalid date.
//
// Threads: main thread (the millisecond state is process-wide and unlocked).
#pragma once

#include <cstdint>

namespace runtime {

using DateValue = std::int32_t;

inline constexpr DateValue kInvalidDate = -1;

// Units of AddToDate.
enum DateUnit : std::int32_t {
    kDateYear = 0, kDateMonth = 1, kDateWeek = 2, kDateDay = 3,
    kDateHour = 4, kDateMinute = 5, kDateSecond = 6,
};

// The date of the fields (month 1-12, day 1-31), or -1 when a field is out of range, the day
// does not exist in that month, or the moment lies outside the valid range.
DateValue DateFromFields(int year, int month, int day, int hour, int minute, int second);

// The local wall-clock time now, milliseconds dropped.
DateValue CurrentDate();

// "date" moved by "amount" units. -1 stays -1; a unit outside 0-6 returns the date unchanged.
// Weeks to seconds add in wrapping 32-bit arithmetic. Months and years keep the time of day and
// clip the day to the end of the target month (31 January + 1 month = 28 or 29 February).
DateValue AddToDate(DateValue date, std::int32_t unit, std::int32_t amount);

// Milliseconds since an arbitrary fixed origin (callers may keep the low 32 bits).
std::int64_t MillisecondCounter();

// Requests the system timer period "resolution" in 100-ns units (clamped to what the system
// allows), or releases this process's request with 0. Returns the period in force afterwards,
// or 0 when the request was refused or the system cannot tell.
std::uint32_t SetTimerResolution(std::uint32_t resolution);

// Mode 1: ceiling; mode 2: nearest with halves away from zero; any other mode: floor.
float RoundNumber(float value, std::int32_t mode);

}  // namespace runtime
