#pragma once
// The parts of a log image that the display itself maintains: its check value,
// the identity fields of its header and its four log groups.

#include <cstdint>
#include <string>
#include <string_view>

#include "display.h"

namespace dsim {

// CRC-16 with polynomial 0x1021, initial value 0xFFFF, MSB first, no final XOR.
std::uint16_t Crc16(const std::uint8_t* data, std::size_t size, std::uint16_t crc = 0xFFFF);
// Stores the check value of bytes 0..size-3 in the last two bytes (little-endian).
void StampCheckValue(Bytes& image);

// Where the fields of a log image lie. Filled by LocateLogLayout.
struct LogLayout {
    std::size_t modelPos = 0, modelSize = 0;    // field incl. terminator (or 16 when unterminated)
    std::size_t serialPos = 0, serialSize = 0;
    std::string model, serial;                  // empty when unterminated
    std::size_t groupsPos = 0;                  // first byte of group 0's count
    std::size_t groupsEnd = 0;                  // first byte after group 3
    std::size_t recordCount = 0;
};

// Walks the header and the four groups of an image; false (with a message)
// when a field runs past the data or a version byte is unknown.
bool LocateLogLayout(const Bytes& image, LogLayout& layout, std::string& error);

// Empties the four log groups and recomputes the check value.
bool ClearLogGroups(Bytes& image, std::string& error);

// Replaces the model name and serial number of the header (each at most 15
// bytes) and recomputes the check value.
bool RewriteLogIdentity(Bytes& image, std::string_view model, std::string_view serial, std::string& error);

// A valid log image of the display's identity with records in every group and
// a temperature section.
Bytes BuildDefaultLog(const Display& d);

}  // namespace dsim
