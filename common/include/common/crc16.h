#pragma once
// The check value of a display's log data: CRC-16 with the polynomial 0x1021,
// most significant bit first, no reflection and no final XOR. With the initial
// value 0xFFFF the nine digits "123456789" give 0x29B1.
// A pure function: safe to call from any thread.

#include <cstddef>
#include <cstdint>

namespace cmn {

// The CRC of `length` bytes at `data` (which may be null when `length` is 0),
// starting from `init`. Feeding a block in pieces, each piece with the result
// of the one before as `init`, gives the CRC of the whole block.
std::uint16_t Crc16(const std::uint8_t* data, std::size_t length, std::uint16_t init = 0xFFFF);

}  // namespace cmn
