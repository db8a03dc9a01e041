#pragma once
// The display's binary frames: request AA cmd lenLo lenHi params... sum,
// reply AA cmd LLo LHi status data... sum (L = 1 + data length, status 0xFE a
// refusal), sum = 0xFF minus the sum of all bytes before it, modulo 256.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "display.h"

namespace dsim {

inline constexpr std::uint8_t kFrameStart = 0xAA;
inline constexpr std::uint8_t kLogoutByte = 0x03;
inline constexpr std::uint8_t kStatusOk = 0x00;
inline constexpr std::uint8_t kStatusRefused = 0xFE;
inline constexpr std::size_t kBlockSize = 1024;
// Largest parameter block accepted; the biggest real request is 1026 bytes.
inline constexpr std::size_t kMaxRequestParams = 4096;

enum : std::uint8_t {
    kCmdLogStart = 0x40,
    kCmdLogBlock = 0x41,
    kCmdLogEnd = 0x42,
    kCmdNvramStart = 0x44,
    kCmdNvramBlock = 0x45,
    kCmdNvramEnd = 0x46,
    kCmdWriteStart = 0x47,
    kCmdWriteBlock = 0x48,
    kCmdWriteEnd = 0x49,
    kCmdLeaveBinary = 0xF0,
};

std::uint8_t FrameSum(const std::uint8_t* bytes, std::size_t size);

Bytes EncodeRequest(std::uint8_t cmd, std::span<const std::uint8_t> params);
Bytes EncodeReply(std::uint8_t cmd, std::uint8_t status, std::span<const std::uint8_t> data);
inline Bytes EncodeRefusal(std::uint8_t cmd) { return EncodeReply(cmd, kStatusRefused, {}); }

// Incremental request parser. Bytes outside a frame are skipped. A request
// announcing more than kMaxRequestParams bytes is not kept, but its announced
// bytes and checksum are still passed over before it is reported as Oversize,
// so that none of them is taken for a frame start or the logout byte.
class FrameParser {
public:
    enum class Event { None, Frame, BadChecksum, Oversize, Logout };
    explicit FrameParser(bool logoutByte) : m_logoutByte(logoutByte) {}
    Event Feed(std::uint8_t b);
    bool Idle() const { return m_state == State::Start; }
    std::uint8_t Command() const { return m_cmd; }
    const Bytes& Params() const { return m_params; }
    void Reset() { m_state = State::Start; }

private:
    enum class State { Start, Cmd, LenLo, LenHi, Params, Sum, Discard };
    bool m_logoutByte;
    State m_state = State::Start;
    std::uint8_t m_cmd = 0;
    std::size_t m_len = 0;
    std::size_t m_discard = 0;  // bytes of an oversize request still to skip
    unsigned m_sum = 0;
    Bytes m_params;
};

// A staged NVRAM write, kept per connection: blocks fill `image` and are
// committed only by 0x49 once every byte has been written.
struct StagedWrite {
    bool active = false;
    int displayId = -1;
    Bytes image;
    std::vector<bool> written;
};

struct BinaryContext {
    StagedWrite staged;
};

struct BinaryResult {
    bool ok = false;
    Bytes data;
    bool leftBinary = false;  // 0xF0 accepted
    bool block = false;       // a block request (0x41, 0x45, 0x48)
};

BinaryResult HandleBinaryRequest(Chain& chain, BinaryContext& ctx, std::uint8_t cmd,
                                 std::span<const std::uint8_t> params);

}  // namespace dsim
