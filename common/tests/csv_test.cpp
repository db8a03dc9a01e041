#include "common/csvfile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>
#include <filesystem>
#include <string>
#include <vector>

#include <testsupport/TempDir.h>

namespace fs = std::filesystem;
using cmn::CCsvFile;

namespace {

class CsvTest : public testsupport::TempDirTest {
protected:
    fs::path Write(const std::string& name, const std::string& bytes) {
        TempDirTest::Write(name, bytes);
        return dir / name;
    }

    // Every line the reader yields, each split into its fields with GetItem.
    std::vector<std::vector<std::string>> ReadAll(const std::string& bytes) {
        CCsvFile csv;
        EXPECT_TRUE(csv.Open(Write("in.csv", bytes), true));
        std::vector<std::vector<std::string>> lines;
        while (csv.ReadLine()) {
            std::vector<std::string> fields;
            std::string item;
            while (csv.GetItem(item)) fields.push_back(item);
            lines.push_back(fields);
        }
        csv.Close();
        return lines;
    }
};

using Lines = std::vector<std::vector<std::string>>;

TEST_F(CsvTest, LineEndsAndEndOfData) {
    // CR LF and LF read the same; a last line without a line end still counts.
    EXPECT_EQ(ReadAll("1,a\r\n2,b\n3,c"), (Lines{{"1", "a"}, {"2", "b"}, {"3", "c"}}));
    // Blanks around the line are trimmed, blanks inside fields stay.
    EXPECT_EQ(ReadAll("  7, x y \t\r\n"), (Lines{{"7", " x y"}}));
    EXPECT_EQ(ReadAll(""), Lines{});
    // 8-bit texts (not UTF-8) pass unchanged.
    EXPECT_EQ(ReadAll("0,\x83\x65\x83\x58\xE9\r\n"), (Lines{{"0", "\x83\x65\x83\x58\xE9"}}));
}

TEST_F(CsvTest, EmptyOrBlankLineEndsReading) {
    EXPECT_EQ(ReadAll("1,a\r\n\r\n2,b\r\n"), (Lines{{"1", "a"}}));
    EXPECT_EQ(ReadAll("1,a\r\n \t \r\n2,b\r\n"), (Lines{{"1", "a"}}));
    EXPECT_EQ(ReadAll("\n1,a\n"), Lines{});
}

TEST_F(CsvTest, FieldRules) {
    // A comma always cuts, quotes or not; only a pair enclosing the whole field is removed.
    EXPECT_EQ(ReadAll("1,\"Menu, main\"\r\n"), (Lines{{"1", "\"Menu", " main\""}}));
    EXPECT_EQ(ReadAll("1,\"Quoted\"\r\n"), (Lines{{"1", "Quoted"}}));
    EXPECT_EQ(ReadAll("1,\"Open\r\n"), (Lines{{"1", "\"Open"}}));
    EXPECT_EQ(ReadAll("1,Close\"\r\n"), (Lines{{"1", "Close\""}}));
    EXPECT_EQ(ReadAll("1,\"\"\"x\"\"\"\r\n"), (Lines{{"1", "\"\"x\"\""}}));
    EXPECT_EQ(ReadAll("1,\"\r\n"), (Lines{{"1", "\""}}));
    // Empty fields in the middle are returned; three fields give three items.
    EXPECT_EQ(ReadAll("a,,c\r\n"), (Lines{{"a", "", "c"}}));
    // A trailing comma: the empty last field ends the line (nothing left).
    EXPECT_EQ(ReadAll("a,b,\r\n"), (Lines{{"a", "b"}}));
}

TEST_F(CsvTest, GetItemAtEndOfLine) {
    CCsvFile csv;
    ASSERT_TRUE(csv.Open(Write("t.csv", "5,Power,extra\r\n"), true));
    ASSERT_TRUE(csv.ReadLine());
    int index = -1;
    std::string text;
    EXPECT_TRUE(csv.GetItem(index));
    EXPECT_EQ(index, 5);
    EXPECT_TRUE(csv.GetItem(text));
    EXPECT_EQ(text, "Power");
    EXPECT_TRUE(csv.GetItem(text));  // the last field
    EXPECT_EQ(text, "extra");
    text = "stale";
    EXPECT_FALSE(csv.GetItem(text));  // nothing left
    EXPECT_EQ(text, "");
    index = 42;
    EXPECT_FALSE(csv.GetItem(index));  // the integer form leaves its value alone
    EXPECT_EQ(index, 42);
    EXPECT_FALSE(csv.ReadLine());
}

TEST_F(CsvTest, IntegerItems) {
    CCsvFile csv;
    ASSERT_TRUE(csv.Open(Write("n.csv", " -12x,abc,+7,99999999999,\"3\"\r\n"), true));
    ASSERT_TRUE(csv.ReadLine());
    int v[5] = {};
    for (int& x : v) EXPECT_TRUE(csv.GetItem(x));
    EXPECT_EQ(v[0], -12);
    EXPECT_EQ(v[1], 0);
    EXPECT_EQ(v[2], 7);
    EXPECT_EQ(v[3], INT_MAX);
    EXPECT_EQ(v[4], 3);
}

TEST_F(CsvTest, EmbeddedNulCutsTheLine) {
    std::string bytes = "1,ab";
    bytes += '\0';
    bytes += "cd,ef\r\n2,g\r\n";
    EXPECT_EQ(ReadAll(bytes), (Lines{{"1", "ab"}, {"2", "g"}}));
    // A line that is only a NUL is blank and ends reading.
    EXPECT_EQ(ReadAll(std::string("\0\r\n1,a\r\n", 8)), Lines{});
}

TEST_F(CsvTest, ModeAndOpenFailures) {
    CCsvFile csv;
    EXPECT_FALSE(csv.Open(dir / "missing.csv", true));
    EXPECT_FALSE(csv.ReadLine());

    // Writing mode: lines get CR LF; reading calls refuse.
    fs::path out = dir / "out.csv";
    ASSERT_TRUE(csv.Open(out, false));
    EXPECT_FALSE(csv.ReadLine());
    std::string item;
    EXPECT_FALSE(csv.GetItem(item));
    EXPECT_TRUE(csv.WriteLine("2,x"));
    EXPECT_TRUE(csv.WriteLine("0,\"y\""));
    EXPECT_TRUE(csv.Close());
    const std::string bytes = Read("out.csv");
    EXPECT_EQ(bytes, "2,x\r\n0,\"y\"\r\n");
    EXPECT_EQ(ReadAll(bytes), (Lines{{"2", "x"}, {"0", "y"}}));

    // A reader does not write.
    ASSERT_TRUE(csv.Open(out, true));
    EXPECT_FALSE(csv.WriteLine("z"));
}

TEST_F(CsvTest, OnlyRegularFilesAreRead) {
    // A FIFO without a writer would block the open and a device never ends:
    // both, and a folder, are refused at once.
    ASSERT_EQ(::mkfifo((dir / "fifo.csv").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", dir / "zero.csv");
    fs::create_directory(dir / "folder.csv");
    Write("target.csv", "1,a\r\n");
    fs::create_symlink(dir / "target.csv", dir / "link.csv");
    CCsvFile csv;
    for (const char* name : {"fifo.csv", "zero.csv", "folder.csv"}) {
        EXPECT_FALSE(csv.Open(dir / name, true)) << name;
        EXPECT_FALSE(csv.ReadLine()) << name;
    }
    // A link to a regular file is read as usual.
    ASSERT_TRUE(csv.Open(dir / "link.csv", true));
    EXPECT_TRUE(csv.ReadLine());
    EXPECT_EQ(csv.CurrentLine(), "1,a");
}

}  // namespace
