#include "Frame.h"

#include <cstdio>

#include "common/strutil.h"

namespace lan {

bool BuildRequest(std::uint8_t command, const std::uint8_t* params, std::size_t count,
                  std::vector<std::uint8_t>& out) {
    if (count > static_cast<std::size_t>(kMaxRequestParams) || (count > 0 && params == nullptr)) return false;
    std::vector<std::uint8_t> frame;
    frame.reserve(count + 5);
    frame.push_back(kFrameStart);
    frame.push_back(command);
    frame.push_back(static_cast<std::uint8_t>(count & 0xFF));
    frame.push_back(static_cast<std::uint8_t>((count >> 8) & 0xFF));
    if (count > 0) frame.insert(frame.end(), params, params + count);
    std::uint8_t sum = 0xFF;
    for (std::uint8_t b : frame) sum = static_cast<std::uint8_t>(sum - b);
    frame.push_back(sum);
    out.swap(frame);
    return true;
}

void ReplyParser::Reset(std::uint8_t command) {
    m_command = command;
    m_length = 0;
    m_stored = 0;
    StartOver();
}

int ReplyParser::Feed(std::uint8_t b) {
    switch (m_state) {
    case kWaitStart:
        if (b == kFrameStart) {
            m_sum = static_cast<std::uint8_t>(0xFF - kFrameStart);
            m_state = kWaitCommand;
        }
        break;
    case kWaitCommand:
        if (b == m_command) {
            m_sum = static_cast<std::uint8_t>(m_sum - b);
            m_state = kLengthLow;
        } else if (b == kFrameStart) {
            // A stray 0xAA before the real frame: this one may be its start.
            m_sum = static_cast<std::uint8_t>(0xFF - kFrameStart);
        } else {
            StartOver();
        }
        break;
    case kLengthLow:
        m_sum = static_cast<std::uint8_t>(m_sum - b);
        m_length = b;
        m_state = kLengthHigh;
        break;
    case kLengthHigh: {
        m_sum = static_cast<std::uint8_t>(m_sum - b);
        const int field = m_length + 256 * b;
        if (field == 0 || field - 1 > kMaxReplyData) {
            // Not a frame this parser can hold: look for the next one.
            StartOver();
            break;
        }
        m_length = field - 1;
        m_stored = 0;
        m_state = kStatus;
        break;
    }
    case kStatus:
        if (b == kStatusRefused) {
            m_state = kRefused;
        } else {
            m_sum = static_cast<std::uint8_t>(m_sum - b);
            m_state = m_length == 0 ? kChecksum : kData;
        }
        break;
    case kData:
        m_sum = static_cast<std::uint8_t>(m_sum - b);
        m_data[m_stored++] = b;
        if (m_stored >= m_length) m_state = kChecksum;
        break;
    case kChecksum:
        if (b == m_sum) {
            m_state = kComplete;
        } else {
            // A damaged frame; the byte may already start the next one.
            StartOver();
            m_stored = 0;
            Feed(b);
        }
        break;
    default:  // kComplete, kRefused: the reply is decided
        break;
    }
    return m_state;
}

std::size_t ReplyParser::FeedAll(const std::uint8_t* p, std::size_t n) {
    std::size_t i = 0;
    while (i < n && !Finished()) Feed(p[i++]);
    return i;
}

std::string HexBytes(const std::uint8_t* p, std::size_t n, std::size_t max) {
    std::string out;
    if (n > max) n = max;
    out.reserve(n * 3);
    char buf[4];
    for (std::size_t i = 0; i < n; ++i) {
        std::snprintf(buf, sizeof buf, "%02X ", p[i]);
        out += buf;
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

std::string PromptWord(std::string_view raw) { return CleanText(CleanText(raw, 0x20), 0x21); }

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
