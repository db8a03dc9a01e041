#pragma once
// Small string helpers shared by every piece.

#include <cstdint>
#include <string>
#include <string_view>

namespace cmn {

// Decimal conversion in the manner of atoi: leading blanks (space, tab, CR, LF,
// VT, FF), an optional sign, then the leading digits; no digits give 0. Unlike
// atoi the result saturates at INT_MIN / INT_MAX instead of overflowing.
int DecimalToInt(std::string_view text);
// The same with a 64-bit result (saturating at the int64 limits).
std::int64_t DecimalToInt64(std::string_view text);

// Trims blanks (space, tab, CR, LF, VT, FF) at both ends.
std::string_view Trim(std::string_view text);
std::u16string_view Trim(std::u16string_view text);

// ASCII-only case-insensitive comparison (bytes >= 0x80 compare as they are).
bool EqualsNoCase(std::string_view a, std::string_view b);
bool EqualsNoCase(std::u16string_view a, std::u16string_view b);

// Text that is safe to print on a terminal: every byte outside printable
// ASCII (control bytes, DEL, bytes of 0x80 and above) and the backslash itself
// become "\xNN" with two uppercase hexadecimal digits, so a text from outside
// cannot move the cursor, change colours or pass for another message.
std::string EscapeNonPrintable(std::string_view text);

// Appends `value` in decimal as printf's "%0*lld" does with `width`: zeros
// after the sign up to `width` characters in all ("%03d" of 7 is "007", of -7
// "-07"); 0 pads nothing. Far cheaper than StrPrintf for the many numbers of
// a report.
void AppendDecimal(std::string& out, long long value, int width = 0);

// The lines of a text, one at a time, without their LF or CR LF ends; a
// last line without an end is a line too, an end at the very end of the text
// starts none. Not thread-safe (one reader per thread).
class LineReader {
public:
    explicit LineReader(std::string_view text) : m_rest(text) {}
    // The next line in `line`; false after the last.
    bool Next(std::string_view& line);
    // The number of the line Next gave last, counted from 1.
    int Number() const { return m_number; }

private:
    std::string_view m_rest;
    int m_number = 0;
};

// printf into a std::string (for formats that are compile-time constants).
std::string StrPrintf(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

}  // namespace cmn
