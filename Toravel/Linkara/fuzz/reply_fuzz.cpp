// What Linkara adds to a reply value on its way to the caller: the bytes as
// UTF-16 into reply buffers of every size class, and UTF-16 command texts to
// the wire. The reply line scanner has its own target in linkio.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "Linkara.h"
#include "LinkaraCore.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::u16string value = linkara::FromWire(bytes);
    if (value.size() != bytes.size()) __builtin_trap();
    char16_t buf[LINKARA_MAX_REPLY + 1];
    for (const int bufferSize : {1, 7, LINKARA_MAX_REPLY, 2 * LINKARA_MAX_REPLY}) {
        buf[LINKARA_MAX_REPLY] = u'#';
        const bool fits = linkara::CopyReply(value, buf, bufferSize);
        if (buf[LINKARA_MAX_REPLY] != u'#') __builtin_trap();  // never past 260 characters
        if (fits != (value.size() < static_cast<std::size_t>(std::min(bufferSize, LINKARA_MAX_REPLY))))
            __builtin_trap();
        if (!fits && buf[0] != 0) __builtin_trap();
    }
    const std::u16string_view wide(reinterpret_cast<const char16_t*>(data), size / 2);
    const auto wire = linkara::ToWire(wide);
    const bool ascii = std::all_of(wide.begin(), wide.end(), [](char16_t c) { return c < 0x80; });
    if (wire.has_value() != ascii || (wire && wire->size() != wide.size())) __builtin_trap();
    return 0;
}
