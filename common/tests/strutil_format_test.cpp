#include <gtest/gtest.h>

#include <climits>
#include <string_view>
#include <vector>

#include "common/safeformat.h"
#include "common/strutil.h"

using namespace cmn;

TEST(DecimalToInt, LeadingDigitsSignAndBlanks) {
    EXPECT_EQ(DecimalToInt("123"), 123);
    EXPECT_EQ(DecimalToInt("  -42xyz"), -42);
    EXPECT_EQ(DecimalToInt("+7"), 7);
    EXPECT_EQ(DecimalToInt("12abc"), 12);
    EXPECT_EQ(DecimalToInt("abc"), 0);
    EXPECT_EQ(DecimalToInt(""), 0);
    EXPECT_EQ(DecimalToInt("-"), 0);
    EXPECT_EQ(DecimalToInt(" \t\r\n5"), 5);
    EXPECT_EQ(DecimalToInt("1 2"), 1);
}

TEST(DecimalToInt, Saturates) {
    EXPECT_EQ(DecimalToInt("2147483647"), INT_MAX);
    EXPECT_EQ(DecimalToInt("2147483648"), INT_MAX);
    EXPECT_EQ(DecimalToInt("-2147483648"), INT_MIN);
    EXPECT_EQ(DecimalToInt("-99999999999999999999999"), INT_MIN);
    EXPECT_EQ(DecimalToInt64("99999999999999999999999"), INT64_MAX);
    EXPECT_EQ(DecimalToInt64("-9223372036854775808"), INT64_MIN);
    EXPECT_EQ(DecimalToInt64("9223372036854775807"), INT64_MAX);
    EXPECT_EQ(DecimalToInt64("000000000000000000000000012"), 12);
}

TEST(StrUtil, TrimAndCase) {
    EXPECT_EQ(Trim(std::string_view(" \t a b \r\n")), "a b");
    EXPECT_EQ(Trim(std::string_view("   ")), "");
    EXPECT_EQ(Trim(std::u16string_view(u"  x ")), u"x");
    EXPECT_TRUE(EqualsNoCase("Common", "COMMON"));
    EXPECT_FALSE(EqualsNoCase("Common", "COMMONS"));
    EXPECT_FALSE(EqualsNoCase("\xC4", "\xE4"));  // only ASCII folds
    EXPECT_TRUE(EqualsNoCase(u"Feature", u"fEATURE"));
    EXPECT_EQ(StrPrintf("%s-%04d", "ab", 7), "ab-0007");
}

TEST(SafeFormat, AcceptedDirectives) {
    std::string out;
    ASSERT_TRUE(SafeFormat(out, "%s%d%04d", {std::string_view("WB"), std::int64_t{3}, std::int64_t{42}}));
    EXPECT_EQ(out, "WB30042");
    ASSERT_TRUE(SafeFormat(out, "[%5d|%-5d|%05d|%-05d]", {std::int64_t{-12}, std::int64_t{7}, std::int64_t{-12},
                                                          std::int64_t{3}}));
    EXPECT_EQ(out, "[  -12|7    |-0012|3    ]");
    ASSERT_TRUE(SafeFormat(out, "100%% %3s|%-3s|", {std::string_view("a"), std::string_view("b")}));
    EXPECT_EQ(out, "100%   a|b  |");
    ASSERT_TRUE(SafeFormat(out, "%d", {std::int64_t{INT64_MIN}}));
    EXPECT_EQ(out, "-9223372036854775808");
    ASSERT_TRUE(SafeFormat(out, "", {}));
    EXPECT_EQ(out, "");
    // Output is not limited to a fixed buffer.
    std::string longArg(5000, 'x');
    ASSERT_TRUE(SafeFormat(out, "<%s>", {std::string_view(longArg)}));
    EXPECT_EQ(out.size(), 5002u);
}

TEST(SafeFormat, MismatchesFailCleanly) {
    std::string out = "stale";
    EXPECT_FALSE(SafeFormat(out, "%s%d", {std::string_view("a")}));  // too few
    EXPECT_EQ(out, "");
    EXPECT_FALSE(SafeFormat(out, "%d", {std::int64_t{1}, std::int64_t{2}}));  // too many
    EXPECT_FALSE(SafeFormat(out, "%d", {std::string_view("1")}));              // wrong kind
    EXPECT_FALSE(SafeFormat(out, "%s", {std::int64_t{1}}));
    EXPECT_FALSE(SafeFormat(out, "%x", {std::int64_t{1}}));   // unknown conversion
    EXPECT_FALSE(SafeFormat(out, "%n", {std::int64_t{1}}));
    EXPECT_FALSE(SafeFormat(out, "%.3d", {std::int64_t{1}}));
    EXPECT_FALSE(SafeFormat(out, "%ld", {std::int64_t{1}}));
    EXPECT_FALSE(SafeFormat(out, "abc%", {}));                // truncated directive
    EXPECT_FALSE(SafeFormat(out, "%05", {std::int64_t{1}}));
    EXPECT_FALSE(SafeFormat(out, "%999999999d", {std::int64_t{1}}));  // absurd width
}

TEST(SafeFormat, Utf16Face) {
    std::u16string out;
    ASSERT_TRUE(SafeFormat(out, u"R%s%03d\u00e9", {std::u16string_view(u"\u65e5"), std::int64_t{5}}));
    EXPECT_EQ(out, u"R\u65e5005\u00e9");
    EXPECT_FALSE(SafeFormat(out, u"%s", {std::int64_t{5}}));
    EXPECT_TRUE(out.empty());
}

TEST(StrUtil, AppendDecimalWritesWhatPrintfWrites) {
    for (const long long v : {0LL, 7LL, -7LL, 42LL, 999LL, 1000LL, -12345LL, 65535LL, LLONG_MAX, LLONG_MIN}) {
        for (const int width : {0, 1, 2, 3, 5, 12, 25}) {
            std::string out = "x";
            AppendDecimal(out, v, width);
            EXPECT_EQ(out, "x" + StrPrintf("%0*lld", width, v)) << v << " width " << width;
        }
    }
}

TEST(LineReader, EndsAreDroppedAndNumbersCount) {
    const struct {
        std::string_view text;
        std::vector<std::string_view> lines;
    } cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\n", {"a"}},
        {"a\r\n\r\nb", {"a", "", "b"}},
        {"a\rb\n\n", {"a\rb", ""}},
    };
    for (const auto& c : cases) {
        cmn::LineReader reader(c.text);
        std::vector<std::string_view> got;
        std::string_view line;
        while (reader.Next(line)) {
            got.push_back(line);
            EXPECT_EQ(reader.Number(), static_cast<int>(got.size()));
        }
        EXPECT_EQ(got, c.lines) << c.text;
    }
}
