#include "common/codepage.h"

#include <iconv.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstring>

namespace cmn {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// The UTF-16 encoding name matching the in-memory order of char16_t.
constexpr const char* kUtf16Native = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

// One iconv descriptor per direction and thread; an iconv_t must not be used by
// two threads at once, and opening one per call is needlessly slow.
class IconvHandle {
public:
    IconvHandle(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~IconvHandle() {
        if (Valid()) iconv_close(m_cd);
    }
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;

    bool Valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
    iconv_t Get() const { return m_cd; }
    void Reset() const {
        if (Valid()) iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
    }

private:
    iconv_t m_cd;
};

IconvHandle& FromCp932() {
    thread_local IconvHandle h(kUtf16Native, "CP932");
    return h;
}

IconvHandle& ToCp932() {
    thread_local IconvHandle h("CP932", kUtf16Native);
    return h;
}

bool IsCp932Lead(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}
bool IsCp932Trail(unsigned char b) {
    return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}

bool IsHighSurrogate(char32_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool IsLowSurrogate(char32_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

// Decodes one UTF-8 sequence at s[i]. On success returns its length and sets cp;
// on failure returns the length of the maximal invalid subpart (at least 1) and
// sets cp to 0xFFFFFFFF. Overlongs, surrogates and values above U+10FFFF are invalid.
std::size_t DecodeUtf8(std::string_view s, std::size_t i, char32_t& cp) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    cp = 0xFFFFFFFF;
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    std::size_t len;
    char32_t value;
    unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2;
        value = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3;
        value = b0 & 0x0F;
        if (b0 == 0xE0) lo = 0xA0;  // overlong
        if (b0 == 0xED) hi = 0x9F;  // surrogates
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4;
        value = b0 & 0x07;
        if (b0 == 0xF0) lo = 0x90;  // overlong
        if (b0 == 0xF4) hi = 0x8F;  // above U+10FFFF
    } else {
        return 1;
    }
    for (std::size_t k = 1; k < len; ++k) {
        if (i + k >= s.size()) return k;
        const auto b = static_cast<unsigned char>(s[i + k]);
        const unsigned char min = k == 1 ? lo : 0x80;
        const unsigned char max = k == 1 ? hi : 0xBF;
        if (b < min || b > max) return k;
        value = (value << 6) | (b & 0x3F);
    }
    cp = value;
    return len;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Converts `size` bytes at `bytes` through `h` into a string of Out's unit,
// with room for `expected` units at first. Where the converter stops at a
// sequence it cannot convert, one `replacement` unit stands for the input
// bytes that `invalidLength(position, bytes left)` counts, and the
// conversion goes on after them.
template <typename Out, typename InvalidLength>
Out ConvertAll(IconvHandle& h, const char* bytes, std::size_t size, std::size_t expected,
               typename Out::value_type replacement, InvalidLength invalidLength) {
    using Unit = typename Out::value_type;
    constexpr std::size_t kSlack = 8;  // units kept free before each call: room for any one character
    Out out(expected + kSlack, Unit{});
    h.Reset();
    char* in = const_cast<char*>(bytes);
    std::size_t inLeft = size;
    std::size_t used = 0;
    while (inLeft > 0) {
        if (out.size() - used < kSlack) out.resize(out.size() * 2 + kSlack);
        char* outPtr = reinterpret_cast<char*>(out.data() + used);
        std::size_t outLeft = (out.size() - used) * sizeof(Unit);
        const std::size_t before = outLeft;
        const std::size_t r = iconv(h.Get(), &in, &inLeft, &outPtr, &outLeft);
        used += (before - outLeft) / sizeof(Unit);
        if (r != static_cast<std::size_t>(-1)) continue;  // all of it converted
        if (errno == E2BIG) {
            if (before == outLeft) out.resize(out.size() * 2 + kSlack);
            continue;
        }
        // EILSEQ (no mapping) or EINVAL (a sequence cut off at the end).
        if (used == out.size()) out.resize(out.size() * 2 + kSlack);
        out[used++] = replacement;
        const std::size_t skip = std::min(invalidLength(in, inLeft), inLeft);
        in += skip;
        inLeft -= skip;
        h.Reset();
    }
    out.resize(used);
    return out;
}

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
    char32_t cp;
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t n = DecodeUtf8(bytes, i, cp);
        if (cp == 0xFFFFFFFF) return false;
        i += n;
    }
    return true;
}

std::u16string Utf8ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    char32_t cp;
    for (std::size_t i = 0; i < text.size();) {
        i += DecodeUtf8(text, i, cp);
        if (cp == 0xFFFFFFFF) {
            out += static_cast<char16_t>(kReplacement);
        } else if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t u = text[i];
        if (IsHighSurrogate(u) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            u = 0x10000 + ((u - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (IsHighSurrogate(u) || IsLowSurrogate(u)) {
            u = kReplacement;  // unpaired surrogate
        }
        AppendUtf8(out, u);
    }
    return out;
}

std::u16string Cp932ToUtf16(std::string_view bytes) {
    std::u16string out;
    if (bytes.empty()) return out;
    IconvHandle& h = FromCp932();
    if (!h.Valid()) {
        // No converter: keep ASCII, replace everything else.
        for (unsigned char b : bytes)
            out += b < 0x80 ? static_cast<char16_t>(b) : static_cast<char16_t>(kReplacement);
        return out;
    }
    // Every CP932 character (one or two bytes) becomes one UTF-16 unit. A byte
    // or pair without a mapping, or a lead byte cut off at the end, becomes one
    // replacement: for the pair when the lead byte is followed by a byte that
    // could be its trail byte.
    return ConvertAll<std::u16string>(
        h, bytes.data(), bytes.size(), bytes.size(), static_cast<char16_t>(kReplacement),
        [](const char* in, std::size_t left) -> std::size_t {
            const auto b0 = static_cast<unsigned char>(in[0]);
            return IsCp932Lead(b0) && left >= 2 && IsCp932Trail(static_cast<unsigned char>(in[1])) ? 2 : 1;
        });
}

std::string Utf16ToCp932(std::u16string_view text) {
    std::string out;
    if (text.empty()) return out;
    IconvHandle& h = ToCp932();
    if (!h.Valid()) {
        for (char16_t u : text) out += u < 0x80 ? static_cast<char>(u) : '?';
        return out;
    }
    // A character without a CP932 form or a broken surrogate: one '?' for the
    // whole character (both units of a valid pair).
    return ConvertAll<std::string>(
        h, reinterpret_cast<const char*>(text.data()), text.size() * sizeof(char16_t), text.size() * 2, '?',
        [](const char* in, std::size_t left) -> std::size_t {
            char16_t u0, u1 = 0;
            std::memcpy(&u0, in, sizeof u0);
            if (left >= 2 * sizeof(char16_t)) std::memcpy(&u1, in + sizeof(char16_t), sizeof u1);
            return IsHighSurrogate(u0) && IsLowSurrogate(u1) ? 2 * sizeof(char16_t) : sizeof(char16_t);
        });
}

std::string Cp932ToUtf8(std::string_view bytes) {
    return Utf16ToUtf8(Cp932ToUtf16(bytes));
}

std::string Utf8ToCp932(std::string_view text) {
    return Utf16ToCp932(Utf8ToUtf16(text));
}

}  // namespace cmn
