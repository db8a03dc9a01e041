#pragma once
// The display's binary requests: what the display does with a request frame
// (decoded by dakoral::RequestParser) and the data of its reply (framed with
// dakoral::BuildReply). No I/O.

#include <dakoral/Frame.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "display.h"

namespace dsim {

// Largest parameter block accepted; the biggest real request is 1026 bytes.
inline constexpr std::size_t kMaxRequestParams = 4096;
inline constexpr std::size_t kBlockSize = dakoral::kBlockSize;

// The reply frame of a request: accepted with `data`, or refused.
Bytes ReplyFrame(std::uint8_t cmd, bool accepted, std::span<const std::uint8_t> data = {});

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
