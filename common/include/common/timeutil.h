#pragma once
// Display times and text forms of times.
// The display counts seconds since 2000-01-01 00:00:00 local time; a time value
// here is a time_t (seconds since the epoch, UTC).

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

namespace cmn {

// Every conversion between time values and local calendar fields goes through
// these functions. They read the process's time zone (TZ): safe from any
// thread as long as no thread changes TZ meanwhile.

// mktime of a local date and time with the daylight-saving flag -1 (the C
// library decides whether daylight saving applies). Returns -1 when the
// fields do not form a representable time.
std::time_t LocalTime(int year, int month, int day, int hour, int minute, int second);
// The same date and time read as local standard time (daylight-saving flag 0).
std::time_t LocalStandardTime(int year, int month, int day, int hour, int minute, int second);

// Local calendar fields: the year in full, month 1..12, day 1..31.
struct LocalFields {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};
// The local calendar fields of t; false (fields untouched) when t cannot be converted.
bool SplitLocal(std::time_t t, LocalFields& out);

// 2000-01-01 00:00:00 local time.
std::time_t DisplayEpoch();
// Display seconds to a time value: DisplayEpoch() + seconds.
std::time_t DisplayToTime(std::uint32_t seconds);
// A time value to display seconds (the difference from DisplayEpoch()).
std::int64_t TimeToDisplay(std::time_t t);

// strftime of the local time t; an empty string when t cannot be converted.
std::string FormatLocal(std::time_t t, const char* fmt);
// The same, appended to `out` (nothing when t cannot be converted).
void AppendLocal(std::string& out, std::time_t t, const char* fmt);

// The span format "%Dday %H:%M:%S": days without padding, then two-digit hours,
// minutes and seconds ("1day 02:03:04"); a negative span is "-" followed by the
// absolute span in the same form.
std::string FormatSpan(std::int64_t seconds);

// The twelve-digit clock text "%y%m%d%H%M%S" of the local time t.
std::string TimeToDigits12(std::time_t t);

}  // namespace cmn
