#include "common/timeutil.h"

#include <cstdint>
#include <vector>

namespace cmn {

namespace {

std::time_t MakeLocal(int year, int month, int day, int hour, int minute, int second, int isdst) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = isdst;
    return std::mktime(&tm);
}

// Appends `tm` formatted by `fmt` without strftime when `fmt` holds nothing but
// plain bytes and %Y %y %m %d %H %M %S %%, the year has four digits and the
// text fits 64 bytes (the formats of every report); false for anything else,
// and strftime does it. The report of a long log formats thousands of times,
// and strftime is most of that work.
bool FormatPlainFields(const std::tm& tm, const char* fmt, std::string& out) {
    const int year = tm.tm_year + 1900;
    if (year < 1000 || year > 9999) return false;
    char text[64];
    std::size_t n = 0;
    // The fields are not negative (localtime_r's, and the year checked above).
    auto put = [&](int field, std::size_t digits) {
        auto value = static_cast<unsigned>(field);
        for (std::size_t i = digits; i-- > 0; value /= 10) text[n + i] = static_cast<char>('0' + value % 10);
        n += digits;
    };
    for (const char* p = fmt; *p != '\0'; ++p) {
        if (n + 4 > sizeof text) return false;
        if (*p != '%') {
            text[n++] = *p;
            continue;
        }
        switch (*++p) {
            case 'Y': put(year, 4); break;
            case 'y': put(year % 100, 2); break;
            case 'm': put(tm.tm_mon + 1, 2); break;
            case 'd': put(tm.tm_mday, 2); break;
            case 'H': put(tm.tm_hour, 2); break;
            case 'M': put(tm.tm_min, 2); break;
            case 'S': put(tm.tm_sec, 2); break;
            case '%': text[n++] = '%'; break;
            default: return false;  // also a lone '%' at the end
        }
    }
    out.append(text, n);
    return true;
}

}  // namespace

std::time_t LocalTime(int year, int month, int day, int hour, int minute, int second) {
    return MakeLocal(year, month, day, hour, minute, second, -1);
}

std::time_t LocalStandardTime(int year, int month, int day, int hour, int minute, int second) {
    return MakeLocal(year, month, day, hour, minute, second, 0);
}

bool SplitLocal(std::time_t t, LocalFields& out) {
    std::tm tm{};
    if (!localtime_r(&t, &tm)) return false;
    out = {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
    return true;
}

std::time_t DisplayEpoch() { return LocalTime(2000, 1, 1, 0, 0, 0); }

std::time_t DisplayToTime(std::uint32_t seconds) { return DisplayEpoch() + static_cast<std::time_t>(seconds); }

std::int64_t TimeToDisplay(std::time_t t) {
    return static_cast<std::int64_t>(t) - static_cast<std::int64_t>(DisplayEpoch());
}

void AppendLocal(std::string& out, std::time_t t, const char* fmt) {
    if (!fmt || !*fmt) return;
    std::tm tm{};
    if (!localtime_r(&t, &tm)) return;
    if (FormatPlainFields(tm, fmt, out)) return;
    std::vector<char> buf(128);
    // strftime gives 0 both for "too small" and for an empty result; grow a few
    // times and then accept the empty result.
    for (int i = 0; i < 8; ++i) {
        const std::size_t n = std::strftime(buf.data(), buf.size(), fmt, &tm);
        if (n > 0) {
            out.append(buf.data(), n);
            return;
        }
        buf.resize(buf.size() * 4);
    }
}

std::string FormatLocal(std::time_t t, const char* fmt) {
    std::string text;
    AppendLocal(text, t, fmt);
    return text;
}

std::string FormatSpan(std::int64_t seconds) {
    std::uint64_t s = seconds < 0 ? 0 - static_cast<std::uint64_t>(seconds) : static_cast<std::uint64_t>(seconds);
    const std::uint64_t days = s / 86400;
    const unsigned h = static_cast<unsigned>(s / 3600 % 24);
    const unsigned m = static_cast<unsigned>(s / 60 % 60);
    const unsigned sec = static_cast<unsigned>(s % 60);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s%lluday %02u:%02u:%02u", seconds < 0 ? "-" : "",
                  static_cast<unsigned long long>(days), h, m, sec);
    return buf;
}

std::string TimeToDigits12(std::time_t t) { return FormatLocal(t, "%y%m%d%H%M%S"); }

}  // namespace cmn
