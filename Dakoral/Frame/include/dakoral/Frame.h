#pragma once
// The binary frames of the display's transfer mode, without I/O: the request
// builder and the reply parser that every binary transport uses.
//   request: AA cmd nLo nHi params... sum
//   reply:   AA cmd LLo LHi status data... sum   (L = 1 + data length;
//            status 0xFE is a refusal and ends what is read of the frame)
// sum is 0xFF minus the sum of all bytes before it, modulo 256.
// Pure functions and a value type: thread-safe as long as one parser object
// is used by one thread at a time.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace dakoral {

constexpr std::uint8_t kFrameStart = 0xAA;
constexpr std::uint8_t kStatusRefused = 0xFE;
// Reply data a caller's buffer holds; a frame announcing more is not a reply.
constexpr int kMaxReplyData = 1152;
// Largest parameter block of one request (the length field has 16 bits).
constexpr int kMaxRequestParams = 65535;

// Builds a request frame into `out`. Returns false, leaving `out` untouched,
// for more than kMaxRequestParams bytes or for null `params` with a count.
bool BuildRequest(std::uint8_t command, const std::uint8_t* params, std::size_t count,
                  std::vector<std::uint8_t>& out);

// The reply parser, fed one byte at a time. Bytes before 0xAA are skipped. A
// wrong command echo, a length field of 0 or one announcing more than
// kMaxReplyData data bytes, and a checksum mismatch all start the search for
// a frame over, so a damaged or foreign frame is never taken for the reply.
// Once finished (complete or refused) it ignores bytes until Reset.
class ReplyParser {
public:
    enum State {
        kWaitStart = 1,
        kWaitCommand = 2,
        kLengthLow = 3,
        kLengthHigh = 4,
        kStatus = 5,
        kData = 6,
        kChecksum = 7,
        kComplete = 8,
        kRefused = 9
    };

    explicit ReplyParser(std::uint8_t command = 0) { Reset(command); }
    // Starts over, waiting for the reply to `command`.
    void Reset(std::uint8_t command);
    State Feed(std::uint8_t b);
    // Feeds bytes until the parser is finished; returns how many were used.
    std::size_t FeedAll(const std::uint8_t* p, std::size_t n);

    State Current() const { return m_state; }
    bool Finished() const { return m_state == kComplete || m_state == kRefused; }
    // Data bytes stored so far: all of the reply's data in kComplete, 0 in kRefused.
    int Stored() const { return m_stored; }
    const std::uint8_t* Data() const { return m_data; }
    // Frames for this command passed over since Reset because their checksum
    // did not match, and of the last one the check value it carried and the
    // one its bytes give: a damaged reply tells itself apart from silence.
    int Damaged() const { return m_damaged; }
    std::uint8_t DamagedChecksum() const { return m_damagedGot; }
    std::uint8_t DamagedExpected() const { return m_damagedWant; }

private:
    void StartOver();

    std::uint8_t m_command = 0;
    std::uint8_t m_sum = 0xFF;
    State m_state = kWaitStart;
    int m_length = 0;
    int m_stored = 0;
    int m_damaged = 0;
    std::uint8_t m_damagedGot = 0;
    std::uint8_t m_damagedWant = 0;
    std::uint8_t m_data[kMaxReplyData] = {};
};

}  // namespace dakoral
