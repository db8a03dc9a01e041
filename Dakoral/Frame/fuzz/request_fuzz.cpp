// Random bytes into the display's request parser, as they come off a socket
// or a serial line: it must never keep more parameters than its limit, and
// every request it accepts must be exactly the frame that ends at the byte
// just fed, with a valid checksum.

#include <dakoral/Frame.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using Event = dakoral::RequestParser::Event;
    if (size < 1) return 0;
    // The first byte chooses the limit (0 .. 2032) and whether 0x03 is the logout.
    const std::size_t maxParams = (data[0] >> 1) * 16u;
    dakoral::RequestParser parser(maxParams, (data[0] & 1) != 0);
    std::vector<std::uint8_t> frame;
    for (std::size_t i = 1; i < size; ++i) {
        const Event ev = parser.Feed(data[i]);
        if (parser.Params().size() > maxParams) std::abort();
        if (ev == Event::kNone) continue;
        if (!parser.Idle()) std::abort();
        if (ev != Event::kFrame) continue;
        const auto& params = parser.Params();
        if (!dakoral::BuildRequest(parser.Command(), params.data(), params.size(), frame)) std::abort();
        if (frame.size() > i) std::abort();
        for (std::size_t k = 0; k < frame.size(); ++k)
            if (frame[k] != data[i + 1 - frame.size() + k]) std::abort();
    }
    return 0;
}
