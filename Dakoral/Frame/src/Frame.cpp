#include <dakoral/Frame.h>

#include <algorithm>
#include <cstring>

namespace dakoral {

namespace {

std::uint8_t Minus(std::uint8_t sum, std::uint8_t b) {
    return static_cast<std::uint8_t>(sum - b);
}

// AA command lengthLo lengthHi [status] bytes... checksum.
std::vector<std::uint8_t> MakeFrame(std::uint8_t command, std::size_t lengthField, const std::uint8_t* status,
                                    const std::uint8_t* bytes, std::size_t count) {
    std::vector<std::uint8_t> frame;
    frame.reserve(count + 6);
    frame.push_back(kFrameStart);
    frame.push_back(command);
    frame.push_back(static_cast<std::uint8_t>(lengthField & 0xFF));
    frame.push_back(static_cast<std::uint8_t>((lengthField >> 8) & 0xFF));
    if (status) frame.push_back(*status);
    if (count > 0) frame.insert(frame.end(), bytes, bytes + count);
    frame.push_back(Checksum(frame.data(), frame.size()));
    return frame;
}

}  // namespace

std::uint8_t Checksum(const std::uint8_t* bytes, std::size_t count) {
    std::uint8_t sum = 0xFF;
    for (std::size_t i = 0; i < count; ++i) sum = Minus(sum, bytes[i]);
    return sum;
}

bool BuildRequest(std::uint8_t command, const std::uint8_t* params, std::size_t count,
                  std::vector<std::uint8_t>& out) {
    if (count > static_cast<std::size_t>(kMaxRequestParams) || (count > 0 && params == nullptr)) return false;
    out = MakeFrame(command, count, nullptr, params, count);
    return true;
}

bool BuildReply(std::uint8_t command, std::uint8_t status, const std::uint8_t* data, std::size_t count,
                std::vector<std::uint8_t>& out) {
    if (count > static_cast<std::size_t>(kMaxReplyBlock) || (count > 0 && data == nullptr)) return false;
    out = MakeFrame(command, count + 1, &status, data, count);
    return true;
}

RequestParser::Event RequestParser::Feed(std::uint8_t b) {
    switch (m_state) {
        case State::kStart:
            if (b == kFrameStart) {
                m_sum = Minus(0xFF, b);
                m_params.clear();
                m_state = State::kCommand;
            } else if (m_logoutByte && b == kLogoutByte) {
                return Event::kLogout;
            }
            return Event::kNone;
        case State::kCommand:
            m_command = b;
            m_sum = Minus(m_sum, b);
            m_state = State::kLengthLow;
            return Event::kNone;
        case State::kLengthLow:
            m_length = b;
            m_sum = Minus(m_sum, b);
            m_state = State::kLengthHigh;
            return Event::kNone;
        case State::kLengthHigh:
            m_length |= static_cast<std::size_t>(b) << 8;
            m_sum = Minus(m_sum, b);
            if (m_length > m_maxParams) {
                m_discard = m_length + 1;  // the parameter bytes and the checksum
                m_state = State::kDiscard;
                return Event::kNone;
            }
            m_params.reserve(m_length);
            m_state = m_length > 0 ? State::kParams : State::kChecksum;
            return Event::kNone;
        case State::kParams:
            m_params.push_back(b);
            m_sum = Minus(m_sum, b);
            if (m_params.size() == m_length) m_state = State::kChecksum;
            return Event::kNone;
        case State::kChecksum:
            m_state = State::kStart;
            return b == m_sum ? Event::kFrame : Event::kBadChecksum;
        case State::kDiscard:
            if (--m_discard > 0) return Event::kNone;
            m_state = State::kStart;
            return Event::kOversize;
    }
    return Event::kNone;
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

std::size_t ReplyParser::FeedData(const std::uint8_t* p, std::size_t n) {
    if (m_state != kData) return 0;
    // A reply is mostly data: its bytes are copied in one run and taken off
    // the check value together, instead of passing the state machine each.
    const std::size_t run = std::min(n, static_cast<std::size_t>(m_length - m_stored));
    std::memcpy(m_data + m_stored, p, run);
    std::uint8_t taken = 0;
    for (std::size_t i = 0; i < run; ++i) taken = static_cast<std::uint8_t>(taken + p[i]);
    m_sum = Minus(m_sum, taken);
    m_stored += static_cast<int>(run);
    if (m_stored >= m_length) m_state = kChecksum;
    return run;
}

std::size_t ReplyParser::FeedAll(const std::uint8_t* p, std::size_t n) {
    std::size_t i = 0;
    while (i < n && !Finished()) {
        const std::size_t run = FeedData(p + i, n - i);
        if (run > 0) {
            i += run;
        } else {
            Feed(p[i++]);
        }
    }
    return i;
}

}  // namespace dakoral
