#pragma once
// Pure pieces of the LAN protocol: request frames, the reply parser, the text of
// the login dialogue, the interface string and the open flags. Bytes in, state
// out: nothing here touches a socket or a file.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lan {

constexpr std::uint8_t kFrameStart = 0xAA;
constexpr std::uint8_t kStatusRefused = 0xFE;
constexpr std::uint8_t kLogoutByte = 0x03;
// Capacity of the reply data buffer; a reply announcing more is not a reply.
constexpr int kMaxReplyData = 1152;
// Largest parameter block of one request (the length field is 16 bits).
constexpr int kMaxRequestParams = 65535;
constexpr int kDefaultPort = 10008;

// Request frame: AA cmd nLo nHi params... sum, where sum is 0xFF minus the sum
// of all bytes before it (mod 256). Fails (out untouched) above 65,535 bytes.
bool BuildRequest(std::uint8_t command, const std::uint8_t* params, std::size_t count,
                  std::vector<std::uint8_t>& out);

// The reply parser, a state machine fed one byte at a time.
//   1 waiting for 0xAA           5 status byte (0xFE: refused)
//   2 command echo               6 data bytes
//   3 length, low byte           7 checksum
//   4 length, high byte          8 complete reply, 9 refusal (both final)
// A wrong echo, a length field of 0 or one announcing more than kMaxReplyData
// data bytes, and a checksum mismatch all start the search for a frame over, so
// a damaged or foreign frame is never taken for the reply.
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
    void Reset(std::uint8_t command);
    int Feed(std::uint8_t b);
    // Feeds bytes until the parser is finished; returns how many were used.
    std::size_t FeedAll(const std::uint8_t* p, std::size_t n);

    int State() const { return m_state; }
    bool Finished() const { return m_state == kComplete || m_state == kRefused; }
    // Number of data bytes stored so far (all of them in state 8).
    int Stored() const { return m_stored; }
    const std::uint8_t* Data() const { return m_data; }

private:
    void StartOver() {
        m_sum = 0xFF;
        m_state = kWaitStart;
    }

    std::uint8_t m_command = 0;
    std::uint8_t m_sum = 0xFF;
    int m_state = kWaitStart;
    int m_length = 0;
    int m_stored = 0;
    std::uint8_t m_data[kMaxReplyData] = {};
};

// "%02X " for each of the first `max` bytes.
std::string HexBytes(const std::uint8_t* p, std::size_t n, std::size_t max);
// "** " for each of the first `max` bytes: how a login text is logged.
std::string MaskedBytes(std::size_t n, std::size_t max);

// Cleans received login text: leading bytes that are neither 0 nor in
// [lowest, 0x7E] are dropped, and the text ends at the first byte outside that
// range. With 0x20 this gives the logged text, with 0x21 the first word.
std::string CleanText(std::string_view raw, unsigned char lowest = 0x20);
// The word a prompt is recognised by (blanks excluded).
std::string PromptWord(std::string_view raw);
// True when `word` begins with `prefix`, compared over the prefix's length
// without regard to ASCII case (a shorter word does not match).
bool StartsWithNoCase(std::string_view word, std::string_view prefix);

// "LAN" + host [":" port], matched without regard to case; the host is kept in
// upper case. No colon, or one directly after "LAN", means the whole rest is the
// host and the port is 10008; a port of 0 or less, or above 65,535, is 10008 too.
struct InterfaceSpec {
    std::string host;
    int port = kDefaultPort;
};
bool ParseInterface(std::string_view text, InterfaceSpec& out);

// The open flags of DAKRIF_Open / DAKRIF_OpenEx.
struct OpenFlags {
    int id = 0;       // bits 0..7, 0 when flag B is set
    int retry = 0;    // bits 8..15
    int timeout = 0;  // bits 16..23
    bool a = true;    // inverse of bit 30
    bool b = false;   // bit 29
    bool c = false;   // bit 28
};
OpenFlags DecodeOpenFlags(std::uint32_t flags);

}  // namespace lan
