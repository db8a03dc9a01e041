// Bytes from a serial line through the reply parser: it must stay within its
// buffer and never report more than 1,152 data bytes.
#include <cstddef>
#include <cstdint>

#include "BinFrame.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    dakr::ReplyParser parser(data[0]);
    for (std::size_t i = 1; i < size; ++i) {
        if (parser.Feed(data[i]) == dakr::ReplyParser::kComplete) {
            if (parser.Length() < 0 || parser.Length() > dakr::kMaxReplyData) __builtin_trap();
            parser.Reset(data[i]);
        } else if (parser.Finished()) {
            parser.Reset(data[i]);
        }
    }
    return 0;
}
