// Random bytes into the reply parser, as they come off a socket or a serial
// line: it must never store more than its buffer holds, and every reply it
// accepts must be a whole frame for the awaited command with a valid checksum.
// The parser is reset after each decided reply, so one input covers many.
// A second parser fed the same bytes one at a time must end each reply in the
// same state with the same data: the runs FeedAll takes change nothing.

#include <dakoral/Frame.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::uint8_t command = data[0];
    dakoral::ReplyParser parser(command);
    dakoral::ReplyParser byteByByte(command);
    std::size_t pos = 1;
    while (pos < size) {
        const std::size_t used = parser.FeedAll(data + pos, size - pos);
        if (used == 0 || used > size - pos) std::abort();
        for (std::size_t i = 0; i < used; ++i) byteByByte.Feed(data[pos + i]);
        if (byteByByte.Current() != parser.Current() || byteByByte.Stored() != parser.Stored() ||
            byteByByte.Damaged() != parser.Damaged() ||
            std::memcmp(byteByByte.Data(), parser.Data(), static_cast<std::size_t>(parser.Stored())) != 0)
            std::abort();
        if (parser.Stored() < 0 || parser.Stored() > dakoral::kMaxReplyData) std::abort();
        if (parser.Current() == dakoral::ReplyParser::kComplete) {
            // The accepted frame ends at the last byte used: AA cmd L L status data sum.
            const std::size_t frame = static_cast<std::size_t>(parser.Stored()) + 6;
            if (used < frame) std::abort();
            const std::uint8_t* f = data + pos + used - frame;
            std::uint8_t total = 0;
            for (std::size_t i = 0; i < frame; ++i) total = static_cast<std::uint8_t>(total + f[i]);
            if (f[0] != dakoral::kFrameStart || f[1] != command || total != 0xFF) std::abort();
        }
        pos += used;
        parser.Reset(command);
        byteByByte.Reset(command);
    }
    return 0;
}
