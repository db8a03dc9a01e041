#pragma once
// Binary frames of the display's transfer mode, without I/O.
//   request: AA cmd nLo nHi params... sum
//   reply:   AA cmd LLo LHi status data... sum   (L = 1 + data length;
//            status 0xFE is a refusal and ends the frame)
// sum is 0xFF minus the sum of the bytes before it, modulo 256.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace dakr {

constexpr std::uint8_t kFrameStart = 0xAA;
constexpr std::uint8_t kRefusal = 0xFE;
// Reply data a caller's buffer holds; a frame announcing more is not a reply.
constexpr int kMaxReplyData = 1152;
constexpr int kMaxParams = 65535;

// False (out untouched) above 65,535 parameter bytes or for null params with a count.
bool BuildRequest(std::uint8_t command, const std::uint8_t* params, std::size_t count,
                  std::vector<std::uint8_t>& out);

// Fed one byte at a time. Bytes before 0xAA are skipped; a wrong command echo,
// a length field of 0 or above 1 + 1152, or a wrong checksum starts the search
// for a frame over, so a damaged or foreign frame is never taken for the reply.
class ReplyParser {
public:
    enum State { kSearching, kCommand, kLengthLow, kLengthHigh, kStatus, kData, kChecksum, kComplete, kRefused };

    explicit ReplyParser(std::uint8_t command = 0) { Reset(command); }
    void Reset(std::uint8_t command);
    State Feed(std::uint8_t b);
    bool Finished() const { return m_state == kComplete || m_state == kRefused; }
    State Current() const { return m_state; }
    // Data of a complete reply.
    int Length() const { return m_length; }
    const std::uint8_t* Data() const { return m_data; }

private:
    void StartOver() {
        m_state = kSearching;
        m_sum = 0xFF;
    }
    std::uint8_t m_command = 0;
    State m_state = kSearching;
    std::uint8_t m_sum = 0xFF;
    int m_length = 0;
    int m_stored = 0;
    std::uint8_t m_data[kMaxReplyData] = {};
};

}  // namespace dakr
