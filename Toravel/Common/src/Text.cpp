#include "toravel/Text.h"

#include <common/codepage.h>
#include <common/ini.h>
#include <common/strutil.h>

#include <cstdio>

namespace toravel {

std::u16string CutToValueLimit(std::u16string_view text) {
    return std::u16string(text.substr(0, kMaxValueLength));
}

std::u16string ReadValue(const std::filesystem::path& file, std::u16string_view section, std::u16string_view key,
                         std::u16string_view def) {
    return CutToValueLimit(cmn::IniGetStringW(file, section, key, def));
}

int TextToInt(std::u16string_view text) {
    // Only ASCII takes part in a number; any other character ends it.
    std::string narrow;
    narrow.reserve(text.size());
    for (char16_t c : text) {
        if (c >= 0x80) break;
        narrow += static_cast<char>(c);
    }
    return cmn::DecimalToInt(narrow);
}

std::size_t FirstUnsendable(std::u16string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] < 0x20 || text[i] > 0x7E) return i;
    return std::u16string_view::npos;
}

std::string DescribeCharacter(std::u16string_view text, std::size_t at) {
    if (at >= text.size()) return {};
    const char16_t c = text[at];
    std::size_t length = 1;
    char32_t code = c;
    const bool pair = c >= 0xD800 && c <= 0xDBFF && at + 1 < text.size() && text[at + 1] >= 0xDC00 &&
                      text[at + 1] <= 0xDFFF;
    if (pair) {
        length = 2;
        code = 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (text[at + 1] - 0xDC00);
    }
    const bool visible = c >= 0x20 && c != 0x7F && !(c >= 0x80 && c < 0xA0);
    char point[16];
    std::snprintf(point, sizeof point, "U+%04X", static_cast<unsigned>(code));
    if (!visible) return point;
    return "\"" + cmn::Utf16ToUtf8(text.substr(at, length)) + "\" (" + point + ")";
}

std::vector<std::u16string_view> SplitPieces(std::u16string_view text, char16_t separator) {
    std::vector<std::u16string_view> pieces;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(separator, start);
        if (end == std::u16string_view::npos) end = text.size();
        if (end > start) pieces.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return pieces;
}

}  // namespace toravel
