// Display replies into the grid, for every mode, and write formats from the
// settings file through the checked formatter and the write check of every
// cell (its field width read from the format). Input: one mode byte, then a
// format and a reply separated by a zero byte (UTF-16LE pairs).
#include <cstddef>
#include <cstdint>
#include <string>

#include <calbrin/Commands.h>

namespace {

std::u16string Wide(const std::uint8_t* data, std::size_t size) {
    std::u16string out;
    for (std::size_t i = 0; i + 1 < size; i += 2) out += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    using namespace calbrin;
    const auto mode = static_cast<ToolMode>(data[0] % 5);
    const std::u16string text = Wide(data + 1, size - 1);
    const std::size_t split = text.find(u'\0');
    Settings s;
    const std::u16string format = text.substr(0, split);
    s.levelFmt = s.gainFmt = s.advLevelFmt = s.advGainFmt = s.simGainFmt = s.gsGainFmt = format;
    const std::u16string reply = split == std::u16string::npos ? text : text.substr(split + 1);
    WbData d;
    for (const ValueQuery& q : ValueQueries(s, mode, (data[0] & 0x80) != 0)) StoreReply(q, reply, d);
    for (Column c : kAllColumns) {
        for (int row = 1; row <= kRows; ++row) {
            const auto command = WriteCommand(s, mode, c, row, CellValue(d.Cell(c, row)));
            // A cell the write check passes always has its command.
            if (CheckWriteCell(s, mode, c, row, d.Cell(c, row)).fault == CellFault::None && !command)
                __builtin_trap();
        }
    }
    return 0;
}
