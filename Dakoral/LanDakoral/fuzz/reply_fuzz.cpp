// Random bytes into the reply parser: it must never store more than its buffer
// holds, and a finished reply must be a whole frame with a valid checksum.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "Frame.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    lan::ReplyParser parser(data[0]);
    const std::size_t used = parser.FeedAll(data + 1, size - 1);
    if (used > size - 1) std::abort();
    if (parser.Stored() < 0 || parser.Stored() > lan::kMaxReplyData) std::abort();
    if (parser.State() == lan::ReplyParser::kComplete) {
        // The accepted frame ends at the last byte used: AA cmd L L status data sum.
        const std::size_t frame = static_cast<std::size_t>(parser.Stored()) + 6;
        if (used < frame) std::abort();
        const std::uint8_t* f = data + 1 + used - frame;
        std::uint8_t total = 0;
        for (std::size_t i = 0; i < frame; ++i) total = static_cast<std::uint8_t>(total + f[i]);
        if (f[0] != 0xAA || f[1] != data[0] || total != 0xFF) std::abort();
    }
    return 0;
}
