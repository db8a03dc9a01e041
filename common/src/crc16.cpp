#include "common/crc16.h"

#include <array>

namespace cmn {

namespace {

// One entry per value of the byte entering the register: the register change
// that byte causes, so the CRC moves a byte per step instead of a bit.
std::array<std::uint16_t, 256> MakeTable() {
    std::array<std::uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        auto c = static_cast<std::uint16_t>(i << 8);
        for (int bit = 0; bit < 8; ++bit)
            c = static_cast<std::uint16_t>((c & 0x8000) ? (c << 1) ^ 0x1021 : (c << 1));
        table[i] = c;
    }
    return table;
}

}  // namespace

std::uint16_t Crc16(const std::uint8_t* data, std::size_t length, std::uint16_t init) {
    static const std::array<std::uint16_t, 256> table = MakeTable();
    std::uint16_t crc = init;
    for (std::size_t i = 0; i < length; ++i)
        crc = static_cast<std::uint16_t>((crc << 8) ^ table[((crc >> 8) ^ data[i]) & 0xFF]);
    return crc;
}

}  // namespace cmn
