#include "common/ini.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>
#include <string>

#include <testsupport/TempDir.h>

namespace {

using cmn::IniGetInt;
using cmn::IniGetIntW;
using cmn::IniGetString;
using cmn::IniGetStringW;
using cmn::IniWriteString;
using cmn::IniWriteStringW;

std::string Utf16LeFile(std::u16string_view text) {
    std::string out = "\xFF\xFE";
    for (char16_t u : text) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>(u >> 8);
    }
    return out;
}

class IniTest : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    std::filesystem::path file = dir / "settings.ini";
};

TEST_F(IniTest, ReadsValuesTrimmedUnquotedAndCaseInsensitively) {
    testsupport::WriteFile(file,
               "top=before any section\r\n"
               "  [ Common ]  \r\n"
               "; Name=commented out\r\n"
               "  Name =  Alpha Beta  \r\n"
               "Quoted=\"  padded  \"\r\n"
               "Half=\"open\r\n"
               "Lone=\"\r\n"
               "Empty=\r\n"
               "NoEquals\n"
               "Eq=a=b\n"
               "LfOnly=lf\n"
               "[Other]\r\n"
               "Name=other\r\n"
               "Last=no newline");
    struct Case {
        const char* section;
        const char* key;
        const char* expected;
    };
    // "d" is the default: lines before the first header, comments, lines without
    // '=', missing keys, sections and empty names give it.
    const Case cases[] = {
        {"common", "NAME", "Alpha Beta"},
        {" Common ", " Name ", "Alpha Beta"},
        {"Common", "Quoted", "  padded  "},
        {"Common", "Half", "\"open"},
        {"Common", "Lone", "\""},
        {"Common", "Empty", ""},
        {"Common", "Eq", "a=b"},
        {"Common", "LfOnly", "lf"},
        {"Other", "Name", "other"},
        {"Other", "Last", "no newline"},
        {"Common", "top", "d"},
        {"Common", "; Name", "d"},
        {"Common", "NoEquals", "d"},
        {"Common", "Missing", "d"},
        {"Nowhere", "Name", "d"},
        {"", "Name", "d"},
        {"Common", "", "d"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IniGetString(file, c.section, c.key, "d"), c.expected) << c.section << '/' << c.key;
    EXPECT_EQ(IniGetString(dir / "absent.ini", "Common", "Name", "d"), "d");
    EXPECT_EQ(IniGetString(dir.Path(), "Common", "Name", "d"), "d");  // a folder
}

TEST_F(IniTest, FirstSectionAndFirstKeyWin) {
    testsupport::WriteFile(file,
               "[A]\r\nk=first\r\nk=second\r\n"
               "[B]\r\nk=b\r\n"
               "[a]\r\nk=third\r\nonly=in second copy\r\n");
    EXPECT_EQ(IniGetString(file, "A", "k", "d"), "first");
    // Only the first section of a name is searched.
    EXPECT_EQ(IniGetString(file, "A", "only", "d"), "d");
    ASSERT_TRUE(IniWriteString(file, "a", "K", "new"));
    EXPECT_EQ(testsupport::ReadFile(file),
              "[A]\r\nk=new\r\nk=second\r\n"
              "[B]\r\nk=b\r\n"
              "[a]\r\nk=third\r\nonly=in second copy\r\n");
}

TEST_F(IniTest, IntegerReads) {
    testsupport::WriteFile(file,
               "[N]\r\n"
               "plain=42\r\nneg=-17\r\npos=+8\r\ntail=12abc\r\nword=abc\r\nempty=\r\n"
               "quoted=\"99\"\r\nbig=99999999999999999999\r\nsmall=-99999999999999999999\r\n"
               "max=2147483647\r\nmin=-2147483648\r\nsign=-\r\n");
    const std::pair<const char*, int> cases[] = {
        {"plain", 42},    {"neg", -17},     {"pos", 8},     {"tail", 12},     {"word", 0},
        {"sign", 0},      {"empty", 5},     {"quoted", 99}, {"big", INT_MAX}, {"small", INT_MIN},
        {"max", INT_MAX}, {"min", INT_MIN}, {"missing", 5},
    };
    for (const auto& [key, expected] : cases) EXPECT_EQ(IniGetInt(file, "N", key, 5), expected) << key;
    EXPECT_EQ(IniGetIntW(file, u"n", u"TAIL", 5), 12);
    EXPECT_EQ(IniGetIntW(file, u"N", u"big", 5), INT_MAX);
    EXPECT_EQ(IniGetIntW(file, u"N", u"empty", 5), 5);
}

TEST_F(IniTest, WritesCreateFileAndSectionsWithCrLf) {
    ASSERT_TRUE(IniWriteString(file, "COMMON", "IP", "192.168.0.10"));
    ASSERT_TRUE(IniWriteString(file, "COMMON", "Port", "10008"));
    ASSERT_TRUE(IniWriteString(file, "Second", "Key", "v"));
    ASSERT_TRUE(IniWriteString(file, "common", "ip", "10.0.0.1"));
    EXPECT_EQ(testsupport::ReadFile(file),
              "[COMMON]\r\nIP=10.0.0.1\r\nPort=10008\r\n"
              "[Second]\r\nKey=v\r\n");
    EXPECT_EQ(IniGetString(file, "COMMON", "IP", ""), "10.0.0.1");
}

TEST_F(IniTest, WriteKeepsEveryOtherLine) {
    const std::string before =
        "; header comment\r\n"
        "loose=line\r\n"
        "[Display]\r\n"
        "  Width = 1920 ; kept as text\r\n"
        "Unknown=keep me\n"
        "Height=1080\r\n"
        "\r\n"
        "; about the next section\r\n"
        "[Network]\r\n"
        "Host=a\r\n"
        "\r\n";
    testsupport::WriteFile(file, before);

    ASSERT_TRUE(IniWriteString(file, "display", "HEIGHT", "720"));
    ASSERT_TRUE(IniWriteString(file, "Display", "Depth", "24"));
    ASSERT_TRUE(IniWriteString(file, "Network", "Port", "80"));
    ASSERT_TRUE(IniWriteString(file, "New", "Key", "x"));
    // The updated line keeps the key as spelled in the file; new keys go after
    // the last entry of their section, before blank lines and comments.
    EXPECT_EQ(testsupport::ReadFile(file),
              "; header comment\r\n"
              "loose=line\r\n"
              "[Display]\r\n"
              "  Width = 1920 ; kept as text\r\n"
              "Unknown=keep me\n"
              "Height=720\r\n"
              "Depth=24\r\n"
              "\r\n"
              "; about the next section\r\n"
              "[Network]\r\n"
              "Host=a\r\n"
              "Port=80\r\n"
              "\r\n"
              "[New]\r\nKey=x\r\n");
}

TEST_F(IniTest, WriteCompletesAnUnterminatedLastLine) {
    testsupport::WriteFile(file, "[S]\r\na=1");
    ASSERT_TRUE(IniWriteString(file, "S", "b", "2"));
    EXPECT_EQ(testsupport::ReadFile(file), "[S]\r\na=1\r\nb=2\r\n");
    testsupport::WriteFile(file, "[S]\r\na=1\r");
    ASSERT_TRUE(IniWriteString(file, "T", "c", "3"));
    EXPECT_EQ(testsupport::ReadFile(file), "[S]\r\na=1\r\n[T]\r\nc=3\r\n");
    testsupport::WriteFile(file, "[S]");
    ASSERT_TRUE(IniWriteString(file, "S", "a", "1"));
    EXPECT_EQ(testsupport::ReadFile(file), "[S]\r\na=1\r\n");
}

TEST_F(IniTest, RefusesWritesThatWouldBreakTheFile) {
    testsupport::WriteFile(file, "[S]\r\na=1\r\n");
    EXPECT_FALSE(IniWriteString(file, "S", "a", "1\r\n[Evil]\r\nx=2"));
    EXPECT_FALSE(IniWriteString(file, "S\nT", "a", "1"));
    EXPECT_FALSE(IniWriteString(file, "S", "k=v", "1"));
    EXPECT_FALSE(IniWriteString(file, "S", "[T]", "1"));
    EXPECT_FALSE(IniWriteString(file, "S", ";c", "1"));
    EXPECT_FALSE(IniWriteString(file, "", "a", "1"));
    EXPECT_FALSE(IniWriteString(file, "S", "  ", "1"));
    EXPECT_FALSE(IniWriteStringW(file, u"S", u"a", u"x\ny"));
    EXPECT_EQ(testsupport::ReadFile(file), "[S]\r\na=1\r\n");
    // A missing folder cannot be written.
    EXPECT_FALSE(IniWriteString(dir / "no" / "such.ini", "S", "a", "1"));
}

TEST_F(IniTest, LongValuesAndPathsAreNotTruncated) {
    const std::string value(1000, 'v');
    const std::filesystem::path deep = dir / std::string(200, 'd') / std::string(200, 'f');
    std::filesystem::create_directories(deep);
    const std::filesystem::path longFile = deep / "long.ini";
    ASSERT_TRUE(IniWriteString(longFile, "S", "Long", value));
    EXPECT_EQ(IniGetString(longFile, "S", "Long", ""), value);
    EXPECT_EQ(testsupport::ReadFile(longFile), "[S]\r\nLong=" + value + "\r\n");
    const std::u16string wvalue(1000, u'\u3042');
    ASSERT_TRUE(IniWriteStringW(longFile, u"S", u"Wide", wvalue));
    EXPECT_EQ(IniGetStringW(longFile, u"S", u"Wide", u""), wvalue);
}

TEST_F(IniTest, EightBitFaceKeepsBytesAndUtf8Bom) {
    // CP932 bytes pass through both ways unchanged.
    const std::string sjis = "\x83\x65\x83\x58\x83\x67";  // three katakana
    ASSERT_TRUE(IniWriteString(file, "S", "Name", sjis));
    EXPECT_EQ(IniGetString(file, "S", "Name", ""), sjis);
    EXPECT_EQ(testsupport::ReadFile(file), "[S]\r\nName=" + sjis + "\r\n");

    // Double-byte names: the second byte is never case-folded ("\x83\x41" and
    // "\x83\x61" are different katakana), a ']' second byte stays in the name.
    testsupport::WriteFile(file, "[\x83\x41]\r\nk=1\r\n[\x83\x61]\r\nk=2\r\n[Ab\x83\x5D]\r\nk=3\r\n");
    EXPECT_EQ(IniGetString(file, "\x83\x61", "K", ""), "2");
    EXPECT_EQ(IniGetString(file, "aB\x83\x5D", "k", ""), "3");
    ASSERT_TRUE(IniWriteString(file, "\x83\x61", "k", "two"));
    EXPECT_EQ(testsupport::ReadFile(file), "[\x83\x41]\r\nk=1\r\n[\x83\x61]\r\nk=two\r\n[Ab\x83\x5D]\r\nk=3\r\n");

    testsupport::WriteFile(file, "\xEF\xBB\xBF[S]\r\nName=\xE3\x81\x82\r\n");
    EXPECT_EQ(IniGetString(file, "S", "Name", ""), "\xE3\x81\x82");
    ASSERT_TRUE(IniWriteString(file, "S", "More", "1"));
    EXPECT_EQ(testsupport::ReadFile(file), "\xEF\xBB\xBF[S]\r\nName=\xE3\x81\x82\r\nMore=1\r\n");
}

TEST_F(IniTest, Utf16FileIsReadAndRewrittenAsUtf16) {
    testsupport::WriteFile(file,
               Utf16LeFile(u"; \u30b3\u30e1\u30f3\u30c8 \U0001F600\r\n[App]\r\nTitle=\u8868\u793a\r\n"));
    EXPECT_EQ(IniGetStringW(file, u"app", u"title", u""), u"\u8868\u793a");
    EXPECT_EQ(IniGetIntW(file, u"App", u"Missing", 3), 3);

    ASSERT_TRUE(IniWriteStringW(file, u"App", u"Count", u"12"));
    ASSERT_TRUE(IniWriteStringW(file, u"App", u"Title", u"\u65b0"));
    EXPECT_EQ(testsupport::ReadFile(file),
              Utf16LeFile(u"; \u30b3\u30e1\u30f3\u30c8 \U0001F600\r\n[App]\r\nTitle=\u65b0\r\nCount=12\r\n"));

    // The 8-bit face reads and writes the same file in CP932, leaving it UTF-16
    // and the other lines (including a character CP932 lacks) intact.
    EXPECT_EQ(IniGetString(file, "App", "Title", ""), "\x90\x56");
    ASSERT_TRUE(IniWriteString(file, "App", "Count", "\x82\xa0"));
    EXPECT_EQ(
        testsupport::ReadFile(file),
        Utf16LeFile(u"; \u30b3\u30e1\u30f3\u30c8 \U0001F600\r\n[App]\r\nTitle=\u65b0\r\nCount=\u3042\r\n"));
}

TEST_F(IniTest, WideFaceDecodesUtf8AndCp932Files) {
    // No BOM and valid UTF-8: read as UTF-8, rewritten as UTF-8 without a BOM.
    testsupport::WriteFile(file, "[S]\r\nName=\xE8\xA1\xA8\r\n");
    EXPECT_EQ(IniGetStringW(file, u"S", u"Name", u""), u"\u8868");
    ASSERT_TRUE(IniWriteStringW(file, u"S", u"Next", u"\u3042"));
    EXPECT_EQ(testsupport::ReadFile(file), "[S]\r\nName=\xE8\xA1\xA8\r\nNext=\xE3\x81\x82\r\n");

    // UTF-8 BOM kept.
    testsupport::WriteFile(file, "\xEF\xBB\xBF[S]\r\nName=\xE8\xA1\xA8\r\n");
    EXPECT_EQ(IniGetStringW(file, u"S", u"Name", u""), u"\u8868");
    ASSERT_TRUE(IniWriteStringW(file, u"S", u"Name", u"x"));
    EXPECT_EQ(testsupport::ReadFile(file), "\xEF\xBB\xBF[S]\r\nName=x\r\n");

    // Not UTF-8: read as CP932, written back as UTF-8.
    testsupport::WriteFile(file, "[\x90\xdd\x92\xe8]\r\nName=\x95\x5c\x8e\xa6\r\n");
    EXPECT_EQ(IniGetStringW(file, u"\u8a2d\u5b9a", u"Name", u""), u"\u8868\u793a");
    ASSERT_TRUE(IniWriteStringW(file, u"\u8a2d\u5b9a", u"New", u"1"));
    EXPECT_EQ(testsupport::ReadFile(file), "[\xE8\xA8\xAD\xE5\xAE\x9A]\r\nName=\xE8\xA1\xA8\xE7\xA4\xBA\r\nNew=1\r\n");

    // A new file from the wide face is UTF-8.
    const auto fresh = dir / "fresh.ini";
    ASSERT_TRUE(IniWriteStringW(fresh, u"\u8868", u"K", u"\u793a"));
    EXPECT_EQ(testsupport::ReadFile(fresh), "[\xE8\xA1\xA8]\r\nK=\xE7\xA4\xBA\r\n");
}

TEST_F(IniTest, WriteKeepsPermissionsAndRefusesSymlinks) {
    testsupport::WriteFile(file, "[S]\r\na=1\r\n");
    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
    ASSERT_TRUE(IniWriteString(file, "S", "a", "2"));
    EXPECT_EQ(testsupport::ReadFile(file), "[S]\r\na=2\r\n");
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    // A link, to a file or to nowhere, is read through but never written
    // through nor replaced; no temporary file is left behind.
    std::filesystem::create_directory(dir / "data");
    const auto link = dir / "link.ini", dangling = dir / "dangling.ini";
    std::filesystem::create_symlink(file, link);
    std::filesystem::create_symlink("data/new.ini", dangling);
    EXPECT_EQ(IniGetString(link, "S", "a", ""), "2");
    EXPECT_FALSE(IniWriteString(link, "S", "a", "3"));
    EXPECT_FALSE(IniWriteStringW(dangling, u"S", u"b", u"3"));
    EXPECT_TRUE(std::filesystem::is_symlink(link) && std::filesystem::is_symlink(dangling));
    EXPECT_EQ(testsupport::ReadFile(file), "[S]\r\na=2\r\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "data" / "new.ini"));
    int entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Path())) ++entries;
    EXPECT_EQ(entries, 4);
}

TEST_F(IniTest, UnreadableFileIsNotReplaced) {
    // Something that is not a regular file (a folder, a FIFO that must not block
    // the read) gives defaults and is never replaced.
    const auto folder = dir / "folder.ini";
    std::filesystem::create_directory(folder);
    EXPECT_FALSE(IniWriteString(folder, "S", "a", "1"));
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    const auto fifo = dir / "fifo.ini";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(IniGetString(fifo, "S", "a", "d"), "d");
    EXPECT_FALSE(IniWriteStringW(fifo, u"S", u"a", u"1"));
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));

    if (::geteuid() == 0) return;  // root reads every file
    testsupport::WriteFile(file, "[S]\r\na=1\r\n");
    ASSERT_EQ(::chmod(file.c_str(), 0200), 0);
    EXPECT_EQ(IniGetString(file, "S", "a", "d"), "d");
    EXPECT_FALSE(IniWriteString(file, "S", "b", "2"));
    ASSERT_EQ(::chmod(file.c_str(), 0600), 0);
    EXPECT_EQ(testsupport::ReadFile(file), "[S]\r\na=1\r\n");
}

TEST_F(IniTest, LargeFileUpdate) {
    std::string big;
    for (int s = 0; s < 200; ++s) {
        big += "[Section" + std::to_string(s) + "]\r\n";
        for (int k = 0; k < 200; ++k) big += "Key" + std::to_string(k) + "=value value value\r\n";
    }
    ASSERT_GT(big.size(), 1000000u);
    testsupport::WriteFile(file, big);
    EXPECT_EQ(IniGetString(file, "section199", "key199", ""), "value value value");
    ASSERT_TRUE(IniWriteString(file, "Section199", "Key199", "x"));
    const std::string after = testsupport::ReadFile(file);
    EXPECT_EQ(after.size(), big.size() - std::string("value value value").size() + 1);
    EXPECT_EQ(after.substr(0, big.size() - 40), big.substr(0, big.size() - 40));
    EXPECT_EQ(IniGetStringW(file, u"Section100", u"Key5", u""), u"value value value");
}

}  // namespace
