#include "common/hex.h"

namespace cmn {

namespace {

int NibbleValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 0;
}

}  // namespace

void BytesToHex(const std::uint8_t* data, std::size_t count, std::string& out) {
    static const char digits[] = "0123456789abcdef";
    out.clear();
    if (data == nullptr || count == 0) return;
    out.resize(count * 2);
    for (std::size_t i = 0; i < count; ++i) {
        out[2 * i] = digits[data[i] >> 4];
        out[2 * i + 1] = digits[data[i] & 0x0F];
    }
}

std::vector<std::uint8_t> HexToBytes(std::string_view text) {
    std::vector<std::uint8_t> bytes((text.size() + 1) / 2);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        int value = NibbleValue(text[2 * i]) << 4;
        if (2 * i + 1 < text.size()) value |= NibbleValue(text[2 * i + 1]);
        bytes[i] = static_cast<std::uint8_t>(value);
    }
    return bytes;
}

}  // namespace cmn
