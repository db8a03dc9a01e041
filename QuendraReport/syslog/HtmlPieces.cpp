#include "syslog/HtmlPieces.h"

void AppendHtmlEscaped(std::string& out, std::string_view text) {
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c; break;
        }
    }
}

std::string HtmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    AppendHtmlEscaped(out, text);
    return out;
}

std::vector<std::pair<std::string, std::string>> SplitInfoEntries(std::string_view info) {
    std::vector<std::pair<std::string, std::string>> entries;
    if (info.empty()) return entries;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = info.find('\t', start);
        const std::string_view entry = info.substr(start, tab == std::string_view::npos ? info.npos : tab - start);
        const std::size_t comma = entry.find(',');
        if (comma == std::string_view::npos) {
            entries.emplace_back(std::string(entry), std::string());
        } else {
            entries.emplace_back(std::string(entry.substr(0, comma)), std::string(entry.substr(comma + 1)));
        }
        if (tab == std::string_view::npos) break;
        start = tab + 1;
    }
    return entries;
}
