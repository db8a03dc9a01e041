// Feeds arbitrary formats to the safe formatter with a fixed argument list
// chosen by the first input byte.
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/safeformat.h"
#include "common/strutil.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const unsigned pick = data[0];
    std::string_view fmt(reinterpret_cast<const char*>(data + 1), size - 1);
    std::string out;
    switch (pick % 4) {
        case 0: cmn::SafeFormat(out, fmt, {}); break;
        case 1: cmn::SafeFormat(out, fmt, {std::int64_t{-123}}); break;
        case 2: cmn::SafeFormat(out, fmt, {std::string_view("R"), std::int64_t{1}, std::int64_t{512}}); break;
        default: cmn::SafeFormat(out, fmt, {std::string_view(fmt), std::string_view("x")}); break;
    }
    std::u16string out16;
    std::u16string fmt16(fmt.begin(), fmt.end());
    cmn::SafeFormat(out16, fmt16, {std::u16string_view(u"G"), std::int64_t{pick}});
    (void)cmn::DecimalToInt64(fmt);
    return 0;
}
