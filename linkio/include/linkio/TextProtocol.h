#pragma once
// The display's text command port, without I/O: command texts, the reply
// line scanner and the value conversions.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace linkio {

constexpr std::size_t kMaxCommandText = 64;
// Longest reply line kept; the rest of a longer line is dropped.
constexpr std::size_t kMaxReplyLine = 4096;

// 0 to 64 printable ASCII characters (0x20..0x7E).
bool IsValidCommandText(std::string_view text);

// "Command:" (any case) in front of a query names its kind; the wire carries
// the text after it. A text without the prefix is returned as it is.
std::string_view StripCommandPrefix(std::string_view query);

// "IDSL" + ID: selects a display of a daisy chain for the rest of a connection.
bool IsDisplaySelection(std::string_view command);

// Ends whatever request text the display holds with a line it refuses (a
// control character is never part of a command), so the start of a request
// cut short on the wire is neither run nor glued to the next command.
constexpr std::string_view kRefusedLine = "\x18\r";

struct TextReply {
    enum Kind { kOk, kRefused, kValue } kind = kRefused;
    std::string value;  // kValue: the text after "="
};

// Splits received bytes into reply lines ended by CR. LF bytes are ignored
// (the login's "OK" CR LF leaves one behind); a line that is none of "OK", "NG"
// or "=" text is skipped.
class ReplyScanner {
public:
    // Feeds one byte; returns a reply when it completes one.
    std::optional<TextReply> Feed(std::uint8_t b);
    void Reset() {
        m_line.clear();
        m_skippedLines = 0;
    }
    // Lines skipped since the last Reset (not one of the three forms).
    int SkippedLines() const { return m_skippedLines; }
    // The bytes of the line not yet ended by CR (a login prompt has no CR).
    const std::string& PendingLine() const { return m_line; }

private:
    std::string m_line;
    int m_skippedLines = 0;
};

// A whole decimal integer: optional sign and 1 or more digits, nothing else,
// within the int range.
std::optional<int> ParseDecimalValue(std::string_view text);

// Login prompts: the display's text is compared after leading blanks and line
// ends; `word` is "Login:" or "Password:".
enum class PromptMatch { kIncomplete, kMatch, kMismatch };
PromptMatch MatchPrompt(std::string_view received, std::string_view word);

}  // namespace linkio
