// Reply bytes as Linkara hands them to its caller: the line scanner, the
// conversion to UTF-16 and the copy into a 260-character buffer.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "LinkaraCore.h"
#include <linkio/TextProtocol.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    linkio::ReplyScanner scanner;
    char16_t buf[261];
    for (std::size_t i = 0; i < size; ++i) {
        auto r = scanner.Feed(data[i]);
        if (!r) continue;
        buf[260] = u'#';
        const int sizes[] = {1, 7, 260, 520};
        linkara::CopyReply(linkara::FromWire(r->value), buf, sizes[i % 4]);
        if (buf[260] != u'#') __builtin_trap();
    }
    const std::u16string_view wide(reinterpret_cast<const char16_t*>(data), size / 2);
    if (linkara::ToWire(wide).size() > wide.size()) __builtin_trap();
    return 0;
}
