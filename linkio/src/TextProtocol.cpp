#include <linkio/TextProtocol.h>

#include <climits>

#include "common/strutil.h"

namespace linkio {

bool IsValidCommandText(std::string_view text) {
    if (text.size() > kMaxCommandText) return false;
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u > 0x7E) return false;
    }
    return true;
}

std::string_view StripCommandPrefix(std::string_view query) {
    constexpr std::string_view kPrefix = "Command:";
    if (query.size() >= kPrefix.size() && cmn::EqualsNoCase(query.substr(0, kPrefix.size()), kPrefix))
        return query.substr(kPrefix.size());
    return query;
}

bool IsDisplaySelection(std::string_view command) { return command.substr(0, 4) == "IDSL"; }

std::optional<TextReply> ReplyScanner::Feed(std::uint8_t b) {
    if (b == '\n') return std::nullopt;
    if (b != '\r') {
        if (m_line.size() < kMaxReplyLine) m_line.push_back(static_cast<char>(b));
        return std::nullopt;
    }
    std::string line;
    line.swap(m_line);
    if (line == "OK") return TextReply{TextReply::kOk, {}};
    if (line == "NG") return TextReply{TextReply::kRefused, {}};
    if (!line.empty() && line.front() == '=') return TextReply{TextReply::kValue, line.substr(1)};
    ++m_skippedLines;
    return std::nullopt;
}

std::optional<int> ParseDecimalValue(std::string_view text) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == text.size()) return std::nullopt;
    long long v = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        v = v * 10 + (text[i] - '0');
        if (v > static_cast<long long>(INT_MAX) + 1) return std::nullopt;
    }
    if (negative) v = -v;
    if (v < INT_MIN || v > INT_MAX) return std::nullopt;
    return static_cast<int>(v);
}

PromptMatch MatchPrompt(std::string_view received, std::string_view word) {
    std::size_t i = 0;
    while (i < received.size() &&
           (received[i] == ' ' || received[i] == '\r' || received[i] == '\n' || received[i] == '\0'))
        ++i;
    const std::string_view rest = received.substr(i);
    const std::size_t n = rest.size() < word.size() ? rest.size() : word.size();
    if (!cmn::EqualsNoCase(rest.substr(0, n), word.substr(0, n))) return PromptMatch::kMismatch;
    return n == word.size() ? PromptMatch::kMatch : PromptMatch::kIncomplete;
}

}  // namespace linkio
