#include "LanProtocol.h"

#include "common/strutil.h"

namespace lan {

std::string HexBytes(const std::uint8_t* p, std::size_t n, std::size_t max) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    if (n > max) n = max;
    out.reserve(n * 3);
    for (std::size_t i = 0; i < n; ++i) {
        out += kDigits[p[i] >> 4];
        out += kDigits[p[i] & 0x0F];
        out += ' ';
    }
    return out;
}

std::string MaskedBytes(std::size_t n, std::size_t max) {
    std::string out;
    if (n > max) n = max;
    for (std::size_t i = 0; i < n; ++i) out += "** ";
    return out;
}

std::string CleanText(std::string_view raw, unsigned char lowest) {
    auto inRange = [lowest](unsigned char c) { return c >= lowest && c <= 0x7E; };
    std::size_t b = 0;
    while (b < raw.size()) {
        const unsigned char c = static_cast<unsigned char>(raw[b]);
        if (c == 0 || inRange(c)) break;
        ++b;
    }
    std::size_t e = b;
    while (e < raw.size() && inRange(static_cast<unsigned char>(raw[e]))) ++e;
    return std::string(raw.substr(b, e - b));
}

std::string PromptWord(std::string_view raw) {
    return CleanText(CleanText(raw, 0x20), 0x21);
}

bool StartsWithNoCase(std::string_view word, std::string_view prefix) {
    if (word.size() < prefix.size()) return false;
    return cmn::EqualsNoCase(word.substr(0, prefix.size()), prefix);
}

bool ParseInterface(std::string_view text, InterfaceSpec& out) {
    std::string upper(text);
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (upper.compare(0, 3, "LAN") != 0) return false;
    InterfaceSpec spec;
    const std::size_t colon = upper.find(':');
    if (colon == std::string::npos || colon < 4) {
        spec.host = upper.substr(3);
    } else {
        spec.host = upper.substr(3, colon - 3);
        const int port = cmn::DecimalToInt(std::string_view(upper).substr(colon + 1));
        if (port > 0 && port <= 65535) spec.port = port;
    }
    out = std::move(spec);
    return true;
}

OpenFlags DecodeOpenFlags(std::uint32_t flags) {
    OpenFlags f;
    f.b = (flags & 0x20000000u) != 0;
    f.c = (flags & 0x10000000u) != 0;
    f.a = (flags & 0x40000000u) == 0;
    f.id = f.b ? 0 : static_cast<int>(flags & 0xFF);
    f.retry = static_cast<int>((flags >> 8) & 0xFF);
    f.timeout = static_cast<int>((flags >> 16) & 0xFF);
    return f;
}

}  // namespace lan
