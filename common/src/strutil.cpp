#include "common/strutil.h"

#include <cstdarg>
#include <cstdio>
#include <limits>

namespace cmn {

namespace {

bool IsBlank(char32_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

template <typename Char>
std::basic_string_view<Char> TrimT(std::basic_string_view<Char> s) {
    std::size_t b = 0, e = s.size();
    while (b < e && IsBlank(static_cast<char32_t>(s[b]))) ++b;
    while (e > b && IsBlank(static_cast<char32_t>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

template <typename Char>
bool EqualsNoCaseT(std::basic_string_view<Char> a, std::basic_string_view<Char> b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto x = static_cast<char32_t>(static_cast<std::make_unsigned_t<Char>>(a[i]));
        auto y = static_cast<char32_t>(static_cast<std::make_unsigned_t<Char>>(b[i]));
        if (x >= 'A' && x <= 'Z') x += 'a' - 'A';
        if (y >= 'A' && y <= 'Z') y += 'a' - 'A';
        if (x != y) return false;
    }
    return true;
}

}  // namespace

std::int64_t DecimalToInt64(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Accumulate as a negative number so that INT64_MIN is representable.
    constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
    std::int64_t value = 0;
    bool saturated = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (saturated) continue;
        int digit = text[i] - '0';
        if (value < (kMin + digit) / 10) {
            saturated = true;
            continue;
        }
        value = value * 10 - digit;
    }
    if (saturated) return negative ? kMin : std::numeric_limits<std::int64_t>::max();
    if (negative) return value;
    if (value == kMin) return std::numeric_limits<std::int64_t>::max();
    return -value;
}

int DecimalToInt(std::string_view text) {
    std::int64_t v = DecimalToInt64(text);
    if (v > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
    if (v < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
    return static_cast<int>(v);
}

void AppendDecimal(std::string& out, long long value, int width) {
    // Digits of the magnitude (without negating LLONG_MIN), filled from the end.
    char digits[20];
    char* const end = digits + sizeof digits;
    char* p = end;
    unsigned long long magnitude =
        value < 0 ? 0ull - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
    do {
        *--p = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    const long long zeros = static_cast<long long>(width) - (value < 0 ? 1 : 0) - (end - p);
    if (value < 0) out.push_back('-');
    if (zeros > 0) out.append(static_cast<std::size_t>(zeros), '0');
    out.append(p, end);
}

std::string_view Trim(std::string_view text) { return TrimT(text); }
std::u16string_view Trim(std::u16string_view text) { return TrimT(text); }

bool EqualsNoCase(std::string_view a, std::string_view b) { return EqualsNoCaseT(a, b); }
bool EqualsNoCase(std::u16string_view a, std::u16string_view b) { return EqualsNoCaseT(a, b); }

std::string EscapeNonPrintable(std::string_view text) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out.push_back(ch);
            continue;
        }
        out += "\\x";
        out.push_back(digits[c >> 4]);
        out.push_back(digits[c & 0x0F]);
    }
    return out;
}

std::string StrPrintf(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    va_list ap2;
    va_copy(ap2, ap);
    int n = std::vsnprintf(nullptr, 0, fmt, ap);
    va_end(ap);
    std::string out;
    if (n > 0) {
        out.resize(static_cast<std::size_t>(n) + 1);
        std::vsnprintf(out.data(), out.size(), fmt, ap2);
        out.resize(static_cast<std::size_t>(n));
    }
    va_end(ap2);
    return out;
}

bool LineReader::Next(std::string_view& line) {
    if (m_rest.empty()) return false;
    const std::size_t end = m_rest.find('\n');
    line = m_rest.substr(0, end);
    m_rest = end == std::string_view::npos ? std::string_view{} : m_rest.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    ++m_number;
    return true;
}

}  // namespace cmn
