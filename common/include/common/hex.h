#pragma once
// Bytes as hexadecimal text and back. The report program keeps a log's
// temperature section in this form between decoding the log and showing it.
// Pure functions: safe to call from any thread.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cmn {

// Replaces `out` with two lowercase digits per byte, high nibble first
// (04 0A FF gives "040aff"). `data` may be null when `count` is 0.
void BytesToHex(const std::uint8_t* data, std::size_t count, std::string& out);

// The bytes of a hexadecimal text: one byte per pair of characters, upper or
// lower case. A character that is not a hexadecimal digit counts as 0, and a
// lone last character is a high nibble ("4" gives 0x40), so every text gives
// (length + 1) / 2 bytes and nothing fails.
std::vector<std::uint8_t> HexToBytes(std::string_view text);

}  // namespace cmn
