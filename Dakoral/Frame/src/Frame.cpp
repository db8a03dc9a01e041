#include <dakoral/Frame.h>

namespace dakoral {

namespace {

std::uint8_t Minus(std::uint8_t sum, std::uint8_t b) {
    return static_cast<std::uint8_t>(sum - b);
}

}  // namespace

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
    for (std::uint8_t b : frame) sum = Minus(sum, b);
    frame.push_back(sum);
    out.swap(frame);
    return true;
}

void ReplyParser::Reset(std::uint8_t command) {
    m_command = command;
    m_damaged = 0;
    StartOver();
}

void ReplyParser::StartOver() {
    m_sum = 0xFF;
    m_length = 0;
    m_stored = 0;
    m_state = kWaitStart;
}

ReplyParser::State ReplyParser::Feed(std::uint8_t b) {
    switch (m_state) {
        case kWaitStart:
            if (b == kFrameStart) {
                m_sum = Minus(0xFF, b);
                m_state = kWaitCommand;
            }
            break;
        case kWaitCommand:
            if (b == m_command) {
                m_sum = Minus(m_sum, b);
                m_state = kLengthLow;
            } else if (b == kFrameStart) {
                m_sum = Minus(0xFF, b);  // a stray 0xAA: this one may start the frame
            } else {
                StartOver();
            }
            break;
        case kLengthLow:
            m_sum = Minus(m_sum, b);
            m_length = b;
            m_state = kLengthHigh;
            break;
        case kLengthHigh: {
            m_sum = Minus(m_sum, b);
            const int field = m_length + 256 * b;
            if (field == 0 || field - 1 > kMaxReplyData) {
                StartOver();  // not a frame this parser can hold: look for the next one
                break;
            }
            m_length = field - 1;
            m_state = kStatus;
            break;
        }
        case kStatus:
            if (b == kStatusRefused) {
                m_state = kRefused;
                break;
            }
            m_sum = Minus(m_sum, b);
            m_state = m_length == 0 ? kChecksum : kData;
            break;
        case kData:
            m_sum = Minus(m_sum, b);
            m_data[m_stored++] = b;
            if (m_stored >= m_length) m_state = kChecksum;
            break;
        case kChecksum:
            if (b == m_sum) {
                m_state = kComplete;
            } else {
                // A damaged frame; this byte may already start the next one.
                ++m_damaged;
                m_damagedGot = b;
                m_damagedWant = m_sum;
                StartOver();
                Feed(b);
            }
            break;
        case kComplete:
        case kRefused:
            break;
    }
    return m_state;
}

std::size_t ReplyParser::FeedAll(const std::uint8_t* p, std::size_t n) {
    std::size_t i = 0;
    while (i < n && !Finished()) Feed(p[i++]);
    return i;
}

}  // namespace dakoral
