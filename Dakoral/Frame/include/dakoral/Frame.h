#pragma once
// The binary frames of the display's transfer mode, without I/O: the PC's
// request builder and reply parser, and the display's request parser and
// reply builder (used by the simulated displays).
//   request: AA cmd nLo nHi params... sum
//   reply:   AA cmd LLo LHi status data... sum   (L = 1 + data length;
//            status 0xFE is a refusal and ends what is read of the frame)
// sum is 0xFF minus the sum of all bytes before it, modulo 256.
// Between frames the single byte 0x03 is the logout of a TCP connection.
// Pure functions and value types: thread-safe as long as one parser object
// is used by one thread at a time. Nothing throws but std::bad_alloc.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace dakoral {

constexpr std::uint8_t kFrameStart = 0xAA;
constexpr std::uint8_t kLogoutByte = 0x03;
constexpr std::uint8_t kStatusAccepted = 0x00;
constexpr std::uint8_t kStatusRefused = 0xFE;
// Reply data a caller's buffer holds; a frame announcing more is not a reply.
constexpr int kMaxReplyData = 1152;
// Largest parameter block of one request (the length field has 16 bits).
constexpr int kMaxRequestParams = 65535;
// Largest data block of one reply (the length field counts the status too).
constexpr int kMaxReplyBlock = 65534;
// Image bytes one block request reads or writes.
constexpr int kBlockSize = 1024;

// The commands of the transfer: an image is read with its start code (reply:
// the size, 2 bytes little-endian), block requests (offset and length, 2 + 2
// bytes little-endian) and its end code; the NVRAM image is written with 0x47
// (reply: its size), blocks (offset, 2 bytes little-endian, and the data) and
// 0x49. 0xF0 (parameter: the display ID) leaves binary mode.
enum Command : std::uint8_t {
    kLogStart = 0x40,
    kLogBlock = 0x41,
    kLogEnd = 0x42,
    kNvramStart = 0x44,
    kNvramBlock = 0x45,
    kNvramEnd = 0x46,
    kWriteStart = 0x47,
    kWriteBlock = 0x48,
    kWriteEnd = 0x49,
    kLeaveBinary = 0xF0,
};

// The checksum that ends a frame whose other bytes are `bytes`.
std::uint8_t Checksum(const std::uint8_t* bytes, std::size_t count);

// Builds a request frame into `out`. Returns false, leaving `out` untouched,
// for more than kMaxRequestParams bytes or for null `params` with a count.
bool BuildRequest(std::uint8_t command, const std::uint8_t* params, std::size_t count,
                  std::vector<std::uint8_t>& out);

// Builds a reply frame (a refusal is status kStatusRefused with no data) into
// `out`. Returns false, leaving `out` untouched, for more than kMaxReplyBlock
// bytes or for null `data` with a count.
bool BuildReply(std::uint8_t command, std::uint8_t status, const std::uint8_t* data, std::size_t count,
                std::vector<std::uint8_t>& out);

// The display's request parser, fed one byte at a time. Bytes outside a frame
// are skipped; with `logoutByte`, a 0x03 there is the logout. A request
// announcing more than `maxParams` bytes is not kept, but its announced bytes
// and checksum are still passed over before it is reported as kOversize, so
// that none of them is taken for a frame start or the logout byte. After
// kFrame and kBadChecksum, Command() and Params() hold the request.
class RequestParser {
public:
    enum class Event { kNone, kFrame, kBadChecksum, kOversize, kLogout };

    RequestParser(std::size_t maxParams, bool logoutByte)
        : m_maxParams(maxParams), m_logoutByte(logoutByte) {}
    Event Feed(std::uint8_t b);
    // True between frames.
    bool Idle() const { return m_state == State::kStart; }
    // Drops a frame begun so far.
    void Reset() { m_state = State::kStart; }
    std::uint8_t Command() const { return m_command; }
    const std::vector<std::uint8_t>& Params() const { return m_params; }

private:
    enum class State { kStart, kCommand, kLengthLow, kLengthHigh, kParams, kChecksum, kDiscard };

    std::size_t m_maxParams;
    bool m_logoutByte;
    State m_state = State::kStart;
    std::uint8_t m_command = 0;
    std::uint8_t m_sum = 0xFF;
    std::size_t m_length = 0;
    std::size_t m_discard = 0;  // bytes of an oversize request still to pass over
    std::vector<std::uint8_t> m_params;
};

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
    // In kData: takes as many of `p`'s `n` bytes as the frame's data still
    // needs (the same as feeding them one by one) and returns how many;
    // otherwise takes none and returns 0.
    std::size_t FeedData(const std::uint8_t* p, std::size_t n);
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
