// The settings texts the dialog is built from: rectangles, command lists and
// numbers straight from the input. Input: eight number bytes, then the texts
// separated by zero bytes (UTF-16LE pairs).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <pelmark/Form.h>
#include <toravel/Text.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 8) return 0;
    using namespace pelmark;
    std::u16string text;
    for (std::size_t i = 8; i + 1 < size; i += 2) text += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    std::vector<std::u16string> pieces;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(u'\0', start);
        pieces.push_back(text.substr(start, end == std::u16string::npos ? std::u16string::npos : end - start));
        if (end == std::u16string::npos) break;
        start = end + 1;
    }
    auto piece = [&](std::size_t i) { return pieces[i % pieces.size()]; };
    Settings s;
    s.readFuncNum = static_cast<std::int8_t>(data[0]) % 6;
    s.timeSetting = data[1] & 1;
    s.writeDataMaxLen = static_cast<std::int8_t>(data[2]);
    s.writeDataMinLen = static_cast<std::int8_t>(data[3]);
    s.writeBtn = piece(0);
    s.initWriteData = piece(1);
    s.groupPos = piece(2);
    s.writeBoxPos = piece(3);
    s.valueLabelPos[0] = piece(4);
    s.valueBoxPos[3] = piece(5);
    const double fx = ScaleFactor(static_cast<std::int8_t>(data[4]) * 16.0);
    const double fy = ScaleFactor(static_cast<std::uint8_t>(data[5]) * 1000.0);
    const Form f = BuildForm(s, fx, fy);
    (void)CentredOrigin(f.width, f.height, f[Control::Group].rect.width, f[Control::Group].rect.height);
    (void)WriteAllowed(s, piece(6));
    (void)toravel::SplitPieces(piece(7), u';');
    return 0;
}
