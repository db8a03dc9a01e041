#include "toravel/Text.h"

#include <common/ini.h>
#include <common/strutil.h>

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
