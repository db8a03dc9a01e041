#include "common/codepage.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace cmn;

TEST(CodePage, Cp932ToUnicode) {
    // ASCII (backslash and tilde stay ASCII), half-width katakana, kanji.
    const std::string sjis = "a\\~\xB1\x95\x5C\x8E\xA6\x82\xA0";
    EXPECT_EQ(Cp932ToUtf16(sjis), u"a\\~\uFF71\u8868\u793a\u3042");
    EXPECT_EQ(Cp932ToUtf8(sjis), "a\\~\xEF\xBD\xB1\xE8\xA1\xA8\xE7\xA4\xBA\xE3\x81\x82");
    EXPECT_EQ(Cp932ToUtf16(""), u"");
    // Vendor extensions of the code page (circled digit, NEC row 13).
    EXPECT_EQ(Cp932ToUtf16("\x87\x40"), u"\u2460");
}

TEST(CodePage, InvalidCp932BecomesReplacement) {
    // Undefined single byte, a lead byte with an invalid trail, a pair without a
    // mapping, and a lead byte cut off at the end.
    EXPECT_EQ(Cp932ToUtf16("A\xFF"
                           "B"),
              u"A\uFFFDB");
    EXPECT_EQ(Cp932ToUtf16("\x82\x20X"), u"\uFFFD X");
    EXPECT_EQ(Cp932ToUtf16("\x85\x40Z"), u"\uFFFDZ");
    EXPECT_EQ(Cp932ToUtf16("ok\x82"), u"ok\uFFFD");
    EXPECT_EQ(Cp932ToUtf8("\x82"), "\xEF\xBF\xBD");
}

TEST(CodePage, UnicodeToCp932) {
    EXPECT_EQ(Utf16ToCp932(u"a\u8868\u793a\uFF71"), "a\x95\x5C\x8E\xA6\xB1");
    EXPECT_EQ(Utf8ToCp932("\xE3\x81\x82z"), "\x82\xA0z");
    // A character CP932 lacks, a surrogate pair, unpaired surrogates and bad
    // UTF-8 each become one '?'.
    EXPECT_EQ(Utf16ToCp932(u"x\u00E9y"), "x?y");
    EXPECT_EQ(Utf16ToCp932(u"x\U0001F600y"), "x?y");
    EXPECT_EQ(Utf16ToCp932(std::u16string{u'a', char16_t(0xD800), u'b', char16_t(0xDC00)}), "a?b?");
    EXPECT_EQ(Utf8ToCp932("a\xC0\xAF"
                          "b"),
              "a??b");
}

TEST(CodePage, RoundTripOfEveryDoubleByteCharacter) {
    // Every two-byte sequence that decodes to one character other than U+FFFD must
    // encode back to a sequence that decodes to the same character (CP932 has a
    // few duplicate codes, so the bytes themselves may differ).
    int mapped = 0;
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            const std::string in{static_cast<char>(lead), static_cast<char>(trail)};
            const std::u16string u = Cp932ToUtf16(in);
            if (u.size() != 1 || u[0] == 0xFFFD) continue;
            ++mapped;
            EXPECT_EQ(Cp932ToUtf16(Utf16ToCp932(u)), u) << std::hex << lead << ' ' << trail;
        }
    }
    EXPECT_GT(mapped, 7000);
}

TEST(CodePage, StrictUtf8Validation) {
    EXPECT_TRUE(IsValidUtf8(""));
    EXPECT_TRUE(
        IsValidUtf8("\xC2\x80\xDF\xBF\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"));
    // Overlongs, a surrogate, values above U+10FFFF, a stray or missing
    // continuation byte, bytes that never occur.
    for (const char* bad :
         {"\xC0\x80", "\xC1\xBF", "\xE0\x9F\xBF", "\xF0\x8F\xBF\xBF", "\xED\xA0\x80", "\xF4\x90\x80\x80",
          "\xF5\x80\x80\x80", "\x80", "\xE3\x81", "\xE3\x41\x82", "\xFF"})
        EXPECT_FALSE(IsValidUtf8(bad)) << bad;
}

TEST(CodePage, Utf8AndUtf16) {
    const std::u16string text = u"A\u00E9\u8868\U0001F600";
    const std::string utf8 = "A\xC3\xA9\xE8\xA1\xA8\xF0\x9F\x98\x80";
    EXPECT_EQ(Utf16ToUtf8(text), utf8);
    EXPECT_EQ(Utf8ToUtf16(utf8), text);
    // One U+FFFD per maximal invalid subpart.
    EXPECT_EQ(Utf8ToUtf16("a\xE3\x81z\x80\xF0\x9F"), u"a\uFFFDz\uFFFD\uFFFD");
    EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(Utf16ToUtf8(std::u16string{char16_t(0xDC00), u'x', char16_t(0xD83D)}),
              "\xEF\xBF\xBDx\xEF\xBF\xBD");
}

}  // namespace
