#include "report/HtmlPieces.h"

#include <array>
#include <cstdint>

namespace {

// What AppendHtmlEscaped does with each byte: 0 nothing, 1 an entity, 2 CR
// LF when asked for.
constexpr std::array<std::uint8_t, 256> EscapeClasses() {
    std::array<std::uint8_t, 256> classes{};
    for (const char c : {'&', '<', '>', '"'}) classes[static_cast<unsigned char>(c)] = 1;
    classes['\n'] = 2;
    return classes;
}
constexpr std::array<std::uint8_t, 256> kEscapeClass = EscapeClasses();

std::string_view Entity(char c) {
    switch (c) {
        case '&': return "&amp;";
        case '<': return "&lt;";
        case '>': return "&gt;";
        case '"': return "&quot;";
        default: return "\r\n";
    }
}

}  // namespace

void AppendHtmlEscaped(std::string& out, std::string_view text, bool crLf) {
    // Runs of bytes that stay as they are go out in one append.
    const std::uint8_t replaced = crLf ? 2 : 1;
    std::size_t plain = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::uint8_t cls = kEscapeClass[static_cast<unsigned char>(text[i])];
        if (cls == 0 || cls > replaced) continue;
        out.append(text.data() + plain, i - plain);
        out.append(Entity(text[i]));
        plain = i + 1;
    }
    out.append(text.data() + plain, text.size() - plain);
}

std::string HtmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    AppendHtmlEscaped(out, text);
    return out;
}
