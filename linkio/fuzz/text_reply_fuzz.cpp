// Reply bytes from a display through the line scanner and the value and
// prompt conversions: must never crash, hang or grow without bound.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include <linkio/TextProtocol.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    linkio::ReplyScanner scanner;
    for (std::size_t i = 0; i < size; ++i) {
        if (auto r = scanner.Feed(data[i])) {
            if (r->value.size() >= linkio::kMaxReplyLine) __builtin_trap();
            (void)linkio::ParseDecimalValue(r->value);
        }
    }
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    (void)linkio::MatchPrompt(text, "Login:");
    (void)linkio::MatchPrompt(text, "Password:");
    (void)linkio::IsValidCommandText(linkio::StripCommandPrefix(text));
    return 0;
}
