// The check value, the hexadecimal form of bytes and the terminal-safe form of texts.
#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "common/crc16.h"
#include "common/hex.h"
#include "common/strutil.h"

using namespace cmn;

namespace {
const std::uint8_t* Bytes(const char* s) { return reinterpret_cast<const std::uint8_t*>(s); }
}  // namespace

TEST(Crc16, CheckValueEmptyInputAndPieces) {
    EXPECT_EQ(Crc16(Bytes("123456789"), 9), 0x29B1);
    EXPECT_EQ(Crc16(nullptr, 0), 0xFFFF);
    EXPECT_EQ(Crc16(nullptr, 0, 0x1234), 0x1234);
    // A single set bit in the lowest position gives the polynomial itself.
    const std::uint8_t one[] = {0x00, 0x01};
    EXPECT_EQ(Crc16(one, 2, 0x0000), 0x1021);
    // Fed in two pieces, the second starting from the first's result.
    std::vector<std::uint8_t> block(1000);
    std::iota(block.begin(), block.end(), 0);
    const std::uint16_t whole = Crc16(block.data(), block.size());
    EXPECT_EQ(Crc16(block.data() + 333, block.size() - 333, Crc16(block.data(), 333)), whole);
}

TEST(Hex, EncodesLowercaseAndDecodesLeniently) {
    std::string text = "stale";
    const std::uint8_t three[] = {0x04, 0x0A, 0xFF};
    BytesToHex(three, 3, text);
    EXPECT_EQ(text, "040aff");
    BytesToHex(nullptr, 0, text);
    EXPECT_EQ(text, "");

    EXPECT_EQ(HexToBytes("040AFF"), (std::vector<std::uint8_t>{0x04, 0x0A, 0xFF}));
    EXPECT_EQ(HexToBytes("040aff"), (std::vector<std::uint8_t>{0x04, 0x0A, 0xFF}));
    EXPECT_EQ(HexToBytes("4"), std::vector<std::uint8_t>{0x40});   // a lone digit is a high nibble
    EXPECT_EQ(HexToBytes("g1z"), (std::vector<std::uint8_t>{0x01, 0x00}));  // other characters count as 0
    EXPECT_TRUE(HexToBytes("").empty());

    std::vector<std::uint8_t> all(256);
    std::iota(all.begin(), all.end(), 0);
    BytesToHex(all.data(), all.size(), text);
    EXPECT_EQ(text.size(), 512u);
    EXPECT_EQ(HexToBytes(text), all);
}

TEST(EscapeNonPrintable, OnlyPrintableAsciiPassesUnchanged) {
    EXPECT_EQ(EscapeNonPrintable("QM-X001 ~!"), "QM-X001 ~!");
    EXPECT_EQ(EscapeNonPrintable("\x1b[2J\r\nA\x7f"), "\\x1B[2J\\x0D\\x0AA\\x7F");
    EXPECT_EQ(EscapeNonPrintable(std::string("a\0b", 3)), "a\\x00b");
    // 8-bit texts and the backslash itself, so an escaped text reads back unambiguously.
    EXPECT_EQ(EscapeNonPrintable("\x83\x81\\x41"), "\\x83\\x81\\x5Cx41");
    EXPECT_EQ(EscapeNonPrintable(""), "");
}
