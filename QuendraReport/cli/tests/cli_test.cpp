// quendra-log: its command line, its outputs (the same bytes as the golden
// reports), its exit codes and messages, and atomic outputs.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "cli/LogCli.h"
#include "report/LogJson.h"
#include "logimage/LogImage.h"

#include <testsupport/TempDir.h>
#include <testsupport/TimeZone.h>

namespace fs = std::filesystem;

namespace {

const fs::path kSamples = QUENDRA_SAMPLES_DIR;
const fs::path kReportGolden = kSamples.parent_path() / "QuendraReport" / "report" / "tests" / "golden";
const fs::path kTextGolden = kSamples.parent_path() / "QuendraReport" / "templog" / "tests" / "golden";

std::string ReadAll(const fs::path& p) { return testsupport::ReadFile(p); }

class CliTest : public testsupport::TempDirTest {
protected:
    int Run(std::vector<std::string> args, const fs::path& programDir = kSamples) {
        m_out.str("");
        m_err.str("");
        return RunLogCli(args, programDir, m_out, m_err);
    }
    std::string Out(const char* name) const { return (dir / name).string(); }
    std::string Log(const char* name) const { return (kSamples / "logs" / name).string(); }
    std::size_t Files() const { return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), {})); }

    std::ostringstream m_out, m_err;
};

}  // namespace

TEST(LogCliArgs, OptionsAndUsageErrors) {
    stLogCliOptions o;
    std::string error;
    ASSERT_TRUE(ParseLogCliArgs({"--model-dir", "m", "--html", "a.html", "--compare", "-", "--text", "t", "--json",
                                 "j", "--time-mode", "1", "--compensate", "--filter", "0x30", "--sort", "4:desc",
                                 "--no-checksum", "log.dat"},
                                o, error))
        << error;
    EXPECT_EQ(o.strModelDir, "m");
    EXPECT_EQ(o.strHtml, "a.html");
    EXPECT_EQ(o.strCompare, "-");
    EXPECT_EQ(o.strText, "t");
    EXPECT_EQ(o.strJson, "j");
    EXPECT_EQ(o.nTimeMode, 1);
    EXPECT_TRUE(o.bCompensate);
    EXPECT_EQ(o.nFilter, 0x30u);
    EXPECT_EQ(o.nSortColumn, 4);
    EXPECT_TRUE(o.bSortDescending);
    EXPECT_TRUE(o.bNoChecksum);
    EXPECT_EQ(o.strLogFile, "log.dat");

    ASSERT_TRUE(ParseLogCliArgs({"--filter", "0", "--sort", "6:asc", "--", "-odd.dat"}, o, error));
    EXPECT_EQ(o.nFilter, 0u);
    EXPECT_FALSE(o.bSortDescending);
    EXPECT_EQ(o.strLogFile, "-odd.dat");
    ASSERT_TRUE(ParseLogCliArgs({"--filter", "4294967295", "x"}, o, error));
    EXPECT_EQ(o.nFilter, 0xFFFFFFFFu);
    // Decimal, or hexadecimal after 0x: a leading zero is not octal.
    ASSERT_TRUE(ParseLogCliArgs({"--filter", "010", "x"}, o, error));
    EXPECT_EQ(o.nFilter, 10u);
    ASSERT_TRUE(ParseLogCliArgs({"--filter", "0X3f", "x"}, o, error));
    EXPECT_EQ(o.nFilter, 0x3Fu);
    ASSERT_TRUE(ParseLogCliArgs({"--help"}, o, error));
    EXPECT_TRUE(o.bHelp);

    const std::vector<std::vector<std::string>> bad = {
        {},
        {"--html"},
        {"--html", "", "x"},
        {"--bogus", "x"},
        {"a.dat", "b.dat"},
        {"--time-mode", "2", "x"},
        {"--filter", "0x100000000", "x"},
        {"--filter", "-1", "x"},
        {"--filter", "12abc", "x"},
        {"--filter", "08x", "x"},
        {"--filter", "0x", "x"},
        {"--filter", "\t5", "x"},
        {"--filter", "0x-1", "x"},
        {"--sort", "7", "x"},
        {"--sort", "1:down", "x"},
        {"--sort", "", "x"},
        {"--sort", "10", "x"},
        {"--", "a", "b"},
    };
    for (const auto& args : bad) {
        error.clear();
        EXPECT_FALSE(ParseLogCliArgs(args, o, error)) << (args.empty() ? "(none)" : args[0]);
        EXPECT_FALSE(error.empty());
    }
}

TEST_F(CliTest, ReportsAreTheGoldenBytes) {
    testsupport::ScopedTimeZone tz("JST-9");
    ASSERT_EQ(Run({"--html", Out("a.html"), "--compare", Out("a.txt"), Log("abnormal.dat")}), LOGCLI_OK) << m_err.str();
    EXPECT_EQ(ReadAll(Out("a.html")), ReadAll(kReportGolden / "abnormal.html"));
    EXPECT_EQ(ReadAll(Out("a.txt")), ReadAll(kReportGolden / "abnormal.compare.txt"));
    EXPECT_TRUE(m_err.str().empty()) << m_err.str();

    ASSERT_EQ(Run({"--filter", "0x30", "--sort", "1:desc", "--html", Out("f.html"), Log("abnormal.dat")}), LOGCLI_OK);
    EXPECT_EQ(ReadAll(Out("f.html")), ReadAll(kReportGolden / "abnormal.filtered.html"));
    // Linked operation-name files of the QM-Y210 model, found through ModelName.csv.
    ASSERT_EQ(Run({"--html", "-", Log("header-v5.dat")}), LOGCLI_OK);
    EXPECT_EQ(m_out.str(), ReadAll(kReportGolden / "header-v5.html"));
    ASSERT_EQ(Run({"--text", "-", "--time-mode", "1", Log("code-paths.dat")}), LOGCLI_OK);
    EXPECT_EQ(m_out.str(), ReadAll(kTextGolden / "code-paths.elapsed.txt"));
}

TEST_F(CliTest, DecodingFailuresAndMissingFiles) {
    testsupport::ScopedTimeZone tz("UTC");
    std::string bytes = ReadAll(Log("healthy.dat"));
    ASSERT_GT(bytes.size(), 100u);
    bytes[bytes.size() - 1] = static_cast<char>(bytes[bytes.size() - 1] ^ 0x55);
    const fs::path bad = dir / "bad.dat";
    Write("bad.dat", bytes);

    // Every message names the program and the log, on one line.
    EXPECT_EQ(Run({"--html", Out("bad.html"), bad.string()}), LOGCLI_FAILED);
    EXPECT_EQ(m_err.str(), "quendra-log: " + bad.string() + ": Check sum error. (address 0x" + [&] {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%zX", bytes.size() - 2);
        return std::string(buf);
    }() + ")\n");
    EXPECT_FALSE(fs::exists(Out("bad.html")));

    // Without the check the same file decodes.
    EXPECT_EQ(Run({"--no-checksum", "--html", Out("bad.html"), bad.string()}), LOGCLI_OK) << m_err.str();
    EXPECT_TRUE(fs::exists(Out("bad.html")));

    Write("short.dat", std::string(80, '\2'));
    EXPECT_EQ(Run({(dir / "short.dat").string()}), LOGCLI_FAILED);
    EXPECT_EQ(m_err.str(), "quendra-log: " + (dir / "short.dat").string() + ": File size error.\n");

    EXPECT_EQ(Run({(dir / "missing.dat").string()}), LOGCLI_FAILED);
    EXPECT_EQ(m_err.str(), "quendra-log: " + (dir / "missing.dat").string() + ": No such file or directory\n");
    EXPECT_EQ(Run({dir.string()}), LOGCLI_FAILED);
    EXPECT_EQ(m_err.str(), "quendra-log: " + dir.string() + ": is a folder, not a log file\n");

    EXPECT_EQ(Run({"--model-dir", (dir / "nowhere").string(), Log("healthy.dat")}), LOGCLI_USAGE);
    EXPECT_EQ(Run({"--frobnicate", Log("healthy.dat")}), LOGCLI_USAGE);
    EXPECT_NE(m_err.str().find("unknown option"), std::string::npos);

    EXPECT_EQ(Run({"--help"}), LOGCLI_OK);
    EXPECT_EQ(m_out.str(), LogCliHelp());
}

TEST_F(CliTest, OutputsAreAtomicAndModelFallback) {
    testsupport::ScopedTimeZone tz("UTC");
    // An output that cannot be written fails the run; the others are written whole.
    EXPECT_EQ(Run({"--html", (dir / "no" / "x.html").string(), "--text", Out("t.txt"), Log("healthy.dat")}),
              LOGCLI_FAILED);
    EXPECT_NE(m_err.str().find("cannot write the HTML report"), std::string::npos);
    EXPECT_EQ(Files(), 1u);
    EXPECT_FALSE(ReadAll(Out("t.txt")).empty());

    // Without a model list entry the texts are numbers and a note says why.
    const fs::path empty = dir / "prog";
    fs::create_directories(empty);
    ASSERT_EQ(Run({"--compare", "-", Log("healthy.dat")}, empty), LOGCLI_OK);
    EXPECT_NE(m_err.str().find("names no folder for model \"QM-X003\""), std::string::npos);
    EXPECT_NE(m_out.str().find("\t/\t1(1)\t/\t"), std::string::npos);
    // --model-dir overrides the model list.
    ASSERT_EQ(Run({"--model-dir", (kSamples / "QMX001").string(), "--compare", "-", Log("healthy.dat")}, empty),
              LOGCLI_OK);
    EXPECT_TRUE(m_err.str().empty());
    EXPECT_EQ(m_out.str().find("\t/\t1(1)\t/\t"), std::string::npos);
}

TEST_F(CliTest, TextsFromTheLogAreEscapedOnStandardError) {
    testsupport::ScopedTimeZone tz("UTC");
    // A model name that would clear the screen, ring the bell and set the title
    // (file version 5 takes any model name).
    logimage::LogDescription d = logimage::Version5Header();
    d.model = "QM\x1b[2J\x07\x1b]0;x\x9f\\";
    const logimage::Bytes block = logimage::BuildLog(d);
    Write("evil.dat", std::string(block.begin(), block.end()));
    const fs::path noModels = dir / "prog";
    fs::create_directories(noModels);
    ASSERT_EQ(Run({"--compare", Out("c.txt"), Out("evil.dat")}, noModels), LOGCLI_OK) << m_err.str();
    EXPECT_NE(m_err.str().find("for model \"QM\\x1B[2J\\x07\\x1B]0;x\\x9F\\x5C\";"), std::string::npos) << m_err.str();
    for (const char c : m_err.str()) {
        const auto b = static_cast<unsigned char>(c);
        EXPECT_TRUE((b >= 0x20 && b < 0x7F) || b == '\n') << "raw byte " << static_cast<int>(b);
    }
    // The report itself keeps the model name's bytes as they are.
    EXPECT_NE(ReadAll(Out("c.txt")).find("\t\tQM\x1b[2J\x07\x1b]0;x\x9f\\\r\n"), std::string::npos);

    // Paths in messages are escaped the same way.
    EXPECT_EQ(Run({Out("gone\x1b[1m.dat")}), LOGCLI_FAILED);
    EXPECT_NE(m_err.str().find("gone\\x1B[1m.dat"), std::string::npos) << m_err.str();
    EXPECT_EQ(m_err.str().find('\x1b'), std::string::npos);
}

TEST_F(CliTest, JsonHoldsHeaderRecordsAndTemperature) {
    testsupport::ScopedTimeZone tz("UTC");
    ASSERT_EQ(Run({"--json", "-", "--filter", "0x10", Log("code-paths.dat")}), LOGCLI_OK) << m_err.str();
    const std::string j = m_out.str();
    EXPECT_EQ(j.rfind("{\"file\":", 0), 0u);
    EXPECT_EQ(j.back(), '\n');
    EXPECT_NE(j.find("\"model\":\"QM-Y210\""), std::string::npos);
    EXPECT_NE(j.find("{\"name\":\"Usage Time\",\"value\":\"4321\"}"), std::string::npos);
    // Every record is listed, with its raw fields and shown texts; hidden ones say so.
    std::size_t records = 0, shown = 0;
    for (std::size_t p = j.find("{\"id\":"); p != std::string::npos; p = j.find("{\"id\":", p + 1)) ++records;
    for (std::size_t p = j.find("\"shown\":true"); p != std::string::npos; p = j.find("\"shown\":true", p + 1)) ++shown;
    EXPECT_EQ(records, 22u);
    EXPECT_EQ(shown, 8u);  // three abnormal records, four developer information records, operation type 0
    EXPECT_NE(j.find("\"kind\":1,\"lapTime\":797155270,\"input\":0,\"subType\":13,\"code\":257"), std::string::npos);
    EXPECT_NE(j.find("\"texts\":[\"005\",\"2025/04/05 08:01:10\",\"Control Command (LAN)\",\"HDMI1\","
                     "\"Command Brightness\",\"40\",\"0\"]"),
              std::string::npos);
    EXPECT_NE(j.find("\"temperature\":{\"version\":4,\"sensors\":1"), std::string::npos);
    EXPECT_NE(j.find("\"highTemperatureCount\":5"), std::string::npos);
    // Braces and brackets balance outside strings.
    int depth = 0;
    bool inString = false;
    for (std::size_t i = 0; i < j.size(); ++i) {
        const char c = j[i];
        if (inString) {
            if (c == '\\') ++i;
            else if (c == '"') inString = false;
            continue;
        }
        if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            ++depth;
        } else if (c == '}' || c == ']') {
            ASSERT_GE(--depth, 0);
        }
    }
    EXPECT_EQ(depth, 0);
    EXPECT_FALSE(inString);

    EXPECT_EQ(JsonString("a\"b\\c\n\x01\xE3\x81\x82"), "\"a\\\"b\\\\c\\n\\u0001\xE3\x81\x82\"");
}

TEST_F(CliTest, ProgramExitCodes) {
    auto status = [](const std::string& cmd) {
        const int rc = std::system(cmd.c_str());
        return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    };
    const std::string exe = QUENDRA_LOG_EXE;
    EXPECT_EQ(status(exe + " --help > /dev/null"), 0);
    EXPECT_EQ(status(exe + " 2> /dev/null"), 64);
    EXPECT_EQ(status(exe + " " + (dir / "missing.dat").string() + " 2> /dev/null"), 1);
    EXPECT_EQ(status("TZ=UTC " + exe + " --model-dir " + (kSamples / "QMX001").string() + " --html " + Out("p.html") +
                     " " + Log("healthy.dat")),
              0);
    EXPECT_NE(ReadAll(Out("p.html")).find("<TD class=\"if1\">QM-X003</TD>"), std::string::npos);
}

// The log from standard input, "--option=value", and the options a saved log
// cannot take.
TEST_F(CliTest, StandardInputAndOptionForms) {
    testsupport::ScopedTimeZone tz("JST-9");
    std::istringstream in(ReadAll(Log("abnormal.dat")));
    m_out.str("");
    ASSERT_EQ(RunLogCli({"--compare=-", "-"}, kSamples, in, m_out, m_err), LOGCLI_OK) << m_err.str();
    EXPECT_EQ(m_out.str(), ReadAll(kReportGolden / "abnormal.compare.txt"));

    std::istringstream shortLog(std::string(80, '\2'));
    m_err.str("");
    EXPECT_EQ(RunLogCli({"-"}, kSamples, shortLog, m_out, m_err), LOGCLI_FAILED);
    EXPECT_EQ(m_err.str(), "quendra-log: standard input: File size error.\n");

    // A saved log carries no PC time: compensation would silently change nothing.
    EXPECT_EQ(Run({"--compensate", "--html", Out("c.html"), Log("abnormal.dat")}), LOGCLI_USAGE);
    EXPECT_EQ(m_err.str(), "quendra-log: " + Log("abnormal.dat") +
                               ": --compensate needs the PC time of the log's reading, and a saved log carries none\n");
    EXPECT_FALSE(fs::exists(Out("c.html")));

    // An output that can never be written stops the run before any is written.
    EXPECT_EQ(Run({"--text", Out("t.txt"), "--html", dir.string(), Log("abnormal.dat")}), LOGCLI_FAILED);
    EXPECT_NE(m_err.str().find("quendra-log: " + dir.string() + ": is a folder"), std::string::npos) << m_err.str();
    EXPECT_FALSE(fs::exists(Out("t.txt")));

    EXPECT_EQ(Run({"--version"}), LOGCLI_OK);
    EXPECT_EQ(m_out.str().rfind("quendra-log ", 0), 0u);
}

// --overview: its command line, and a run over a folder whose summary has a
// line it cannot use (a note, not a failure) and a path that is missing (a
// failure before anything is written).
TEST_F(CliTest, OverviewCommandLineAndRun) {
    stLogCliOptions o;
    std::string error;
    ASSERT_TRUE(ParseLogCliArgs({"--overview", "o.html", "--no-reports", "a", "b"}, o, error)) << error;
    EXPECT_EQ(o.paths, (std::vector<std::string>{"a", "b"}));
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"--overview", "o.html"},
                                               {"--overview", "o.html", "--html", "x.html", "a"},
                                               {"--overview", "-", "a"},
                                               {"--overview", "o.html", "-"},
                                               {"--overview", "o.html", "--compensate", "a"},
                                               {"--no-reports", "a.dat"}}) {
        EXPECT_FALSE(ParseLogCliArgs(args, o, error)) << args.back();
        EXPECT_EQ(Run(args), LOGCLI_USAGE) << args.back();
    }

    testsupport::ScopedTimeZone tz("JST-9");
    fs::create_directories(dir / "site");
    fs::copy(kSamples / "fleet" / "10.20.0.11", dir / "site" / "10.20.0.11", fs::copy_options::recursive);
    testsupport::WriteFile(dir / "site" / "summary.jsonl", "{\"host\":\"10.20.0.11\"\n");
    EXPECT_EQ(Run({"--overview", Out("o.html"), (dir / "site").string()}), LOGCLI_OK) << m_err.str();
    EXPECT_EQ(m_err.str(), "quendra-log: note: " + (dir / "site" / "summary.jsonl").string() +
                               " line 1: the line ends inside an object: left out\n");
    EXPECT_NE(ReadAll(Out("o.csv")).find("\r\nOK,,,QM-X003,5K1234567,"), std::string::npos) << ReadAll(Out("o.csv"));
    EXPECT_TRUE(fs::exists(dir / "o-reports" / "QM-X003_5K1234567.html"));

    fs::remove(Out("o.json"));
    EXPECT_EQ(Run({"--overview", Out("o.html"), (dir / "site").string(), Out("none")}), LOGCLI_FAILED);
    EXPECT_EQ(m_err.str(), "quendra-log: " + Out("none") + ": no such file or folder\n");
    EXPECT_FALSE(fs::exists(Out("o.json")));
}
