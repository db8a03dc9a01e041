// The fleet overview: the sample fleet's page, CSV and JSON byte for byte
// (a damaged log, two displays the fleet run did not reach, two logs of one
// display among them), the page checked by an HTML validator, the status
// rules on and off their thresholds, the summary reader on what a fleet run
// and a hostile file can hold, and outputs that are refused.
//
// QUENDRA_WRITE_GOLDEN=1 rewrites the golden files from the current code
// instead of comparing (only after checking the output by hand).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "logimage/LogImage.h"
#include "report/FleetSummary.h"
#include "report/Overview.h"
#include "syslog/CodeTables.h"

#include <testsupport/ChildProcess.h>
#include <testsupport/TempDir.h>
#include <testsupport/TimeZone.h>

namespace fs = std::filesystem;

namespace {

const fs::path kSamples = QUENDRA_SAMPLES_DIR;
const fs::path kGolden = fs::path(QUENDRA_TEST_DIR) / "golden";

class OverviewTest : public testsupport::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        fs::copy(kSamples / "fleet", dir / "fleet", fs::copy_options::recursive);
        request.paths = {dir / "fleet"};
        request.programDir = kSamples;
    }
    void TearDown() override { LoadCodeTables(dir / "none"); }

    void ExpectGolden(const fs::path& written, const std::string& golden) {
        const std::string actual = testsupport::ReadFile(written);
        if (std::getenv("QUENDRA_WRITE_GOLDEN")) {
            testsupport::WriteFile(kGolden / golden, actual);
            return;
        }
        const std::string expected = testsupport::ReadFile(kGolden / golden);
        std::size_t i = 0;
        while (i < expected.size() && i < actual.size() && expected[i] == actual[i]) ++i;
        EXPECT_EQ(actual.size(), expected.size()) << golden;
        EXPECT_EQ(i, expected.size()) << golden << " differs at byte " << i << ": \""
                                      << actual.substr(i > 60 ? i - 60 : 0, 120) << "\"";
    }

    testsupport::ScopedTimeZone tz{"JST-9"};
    stOverviewRequest request;
};

TEST_F(OverviewTest, SampleFleetGivesTheGoldenFiles) {
    const stOverviewResult result = WriteOverview(request, dir / "fleet" / "overview.html", true);
    ASSERT_TRUE(result.bWritten) << result.strError;
    EXPECT_TRUE(result.notes.empty()) << result.notes.front();
    EXPECT_EQ(result.nRows, 12u);
    EXPECT_EQ(result.byStatus, (std::array<std::size_t, 3>{3, 4, 5}));
    ExpectGolden(dir / "fleet" / "overview.html", "fleet-overview.html");
    ExpectGolden(dir / "fleet" / "overview.csv", "fleet-overview.csv");
    ExpectGolden(dir / "fleet" / "overview.json", "fleet-overview.json");
    // Every decoded display has its full report, named after its log.
    std::size_t reports = 0;
    for (const auto& e : fs::directory_iterator(dir / "fleet" / "overview-reports")) {
        EXPECT_EQ(e.path().extension(), ".html");
        EXPECT_GT(fs::file_size(e.path()), 1000u) << e.path();
        ++reports;
    }
    EXPECT_EQ(reports, 10u);

    // The same page again, from the same files: the same bytes.
    const std::string first = Read("fleet/overview.html");
    ASSERT_TRUE(WriteOverview(request, dir / "fleet" / "overview.html", true).bWritten);
    EXPECT_EQ(Read("fleet/overview.html"), first);
}

// What the rows say of the broken log and the displays not collected, read
// from the rows themselves rather than from the page.
TEST_F(OverviewTest, BrokenLogAndFailedDisplaysAreRowsWithTheirReasons) {
    stOverview o;
    std::string error;
    ASSERT_TRUE(BuildOverview(request, o, error)) << error;
    EXPECT_EQ(o.nLogs, 12u);
    auto row = [&](const std::string& host) -> const stOverviewRow& {
        for (const stOverviewRow& r : o.rows)
            if (r.strHost == host) return r;
        ADD_FAILURE() << host;
        return o.rows.front();
    };
    const stOverviewRow& broken = row("10.20.0.20");
    EXPECT_EQ(broken.source, stOverviewRow::Source::kUndecodable);
    EXPECT_EQ(broken.strProblem, "Check sum error. (address 0xAF2)");
    EXPECT_EQ(broken.status, OverviewStatus::kAttention);

    const stOverviewRow& unreached = row("10.20.0.21");
    EXPECT_EQ(unreached.source, stOverviewRow::Source::kNotCollected);
    EXPECT_EQ(unreached.strProblem, "no-reply at log-block: no reply to 0x41 (offset 0x2800) within 5 s");
    EXPECT_EQ(unreached.status, OverviewStatus::kCritical);

    // Not reached tonight: the log of the night before stands for it.
    const stOverviewRow& earlier = row("10.20.0.22");
    EXPECT_EQ(earlier.source, stOverviewRow::Source::kLog);
    EXPECT_EQ(earlier.strSerial, "5K2000103");
    EXPECT_EQ(earlier.facts.nNotCollected, 1);

    const stOverviewRow& twice = row("10.20.0.19");
    EXPECT_EQ(twice.nOlderLogs, 1);
    EXPECT_EQ(twice.logFile.filename(), "QM-Y210_7A0000815_20250402-093110.dat");
}

TEST_F(OverviewTest, PageIsValidHtml) {
    ASSERT_TRUE(WriteOverview(request, dir / "overview.html", false).bWritten);
    std::string out, err;
    const int rc = testsupport::RunChild({"/bin/sh", "-c",
                                          "command -v tidy >/dev/null || exit 77; "
                                          "tidy -quiet -errors --show-warnings yes \"$0\"",
                                          (dir / "overview.html").string()},
                                         {}, out, err);
    if (rc == 77) GTEST_SKIP() << "tidy is not installed (scripts/deps --dev)";
    EXPECT_EQ(rc, 0) << err;
    EXPECT_EQ(err, "");
}

// Each rule holds from its threshold on and not below it, alone; the status
// is the worst of the rules that hold.
TEST(OverviewRulesTest, EveryRuleOnAndOffItsThreshold) {
    EXPECT_TRUE(RulesThatHold(stOverviewFacts{}).empty());
    EXPECT_EQ(WorstStatus({}), OverviewStatus::kOk);
    for (const stStatusRule& rule : StatusRules()) {
        SCOPED_TRACE(rule.id);
        stOverviewFacts facts;
        facts.*rule.fact = rule.threshold;
        const auto on = RulesThatHold(facts);
        ASSERT_NE(std::find(on.begin(), on.end(), &rule), on.end());
        for (const stStatusRule* other : on) EXPECT_EQ(other->fact, rule.fact);
        EXPECT_GE(WorstStatus(on), rule.status);
        EXPECT_NE(WorstStatus(on), OverviewStatus::kOk);

        facts.*rule.fact = rule.threshold - 1;
        const auto off = RulesThatHold(facts);
        EXPECT_EQ(std::find(off.begin(), off.end(), &rule), off.end());
    }
}

TEST(FleetSummaryTest, ReadsEveryFormAndLeavesOutWhatItCannotUse) {
    const std::string text =
        "{\"host\":\"a\",\"port\":10009,\"id\":2,\"folder\":\"/x/a_10009_id2\",\"status\":\"failed\","
        "\"error\":{\"reason\":\"login-refused\",\"step\":\"open-text-port\",\"detail\":\"\\u00e9\\ud83d\\ude00\"}}\r\n"
        "\n"
        "{\"host\":\"b\",\"status\":\"failed\",\"reason\":\"no-reply\",\"run\":{\"error\":{\"reason\":\"corrupted\"},"
        "\"model\":\"QM-X003\",\"serial\":\"S1\"}}\n"
        "{\"host\":\"c\",\"status\":\"failed\",\"reason\":\"no-reply\",\"message\":\"m\"}\n"
        "{\"host\":\"d\",\"status\":\"cancelled\",\"message\":\"not started\",\"exit_code\":2}\n"
        "[1,2]\n"
        "{\"host\":\"e\"}\n"
        "{\"host\":\"f\",\"status\":\"failed\"\n"
        "{\"host\":\"g\",\"status\":\"failed\"} x\n"
        "{\"host\":\"h\\ud800\",\"status\":\"failed\"}\n"
        "{\"host\":\"i\",\"status\":\"failed\",\"port\":1e3}\n" +
        std::string(40, '[') + std::string(40, ']') + "\n" + "{\"host\":\"j\",\"status\":\"x\",\"n\":01}\n";
    const stFleetSummary s = ParseFleetSummary(text);
    ASSERT_EQ(s.entries.size(), 5u);
    EXPECT_EQ(s.entries[0].nLine, 1);
    EXPECT_EQ(s.entries[0].nPort, 10009);
    EXPECT_EQ(s.entries[0].nDisplayId, 2);
    EXPECT_EQ(s.entries[0].strReason, "login-refused");
    EXPECT_EQ(s.entries[0].strDetail, "\xC3\xA9\xF0\x9F\x98\x80");
    EXPECT_EQ(s.entries[1].nLine, 3);
    EXPECT_EQ(s.entries[1].strReason, "corrupted");  // the error object before the bare reason
    EXPECT_EQ(s.entries[1].strSerial, "S1");
    EXPECT_EQ(s.entries[2].strReason, "no-reply");
    EXPECT_EQ(s.entries[3].nExitCode, 2);
    EXPECT_EQ(s.entries[4].strHost, "i");
    EXPECT_EQ(s.entries[4].nPort, 0);  // not a whole number
    const std::vector<std::string> why = {"line 6: not a JSON object",    "line 7: no \"host\"",
                                          "line 8: the line ends inside", "line 9: text after",
                                          "line 10: a lone surrogate",    "line 12: nested too deep",
                                          "line 13: no ',' or '}'"};
    ASSERT_EQ(s.problems.size(), why.size());
    for (std::size_t i = 0; i < why.size(); ++i) EXPECT_EQ(s.problems[i].rfind(why[i], 0), 0u) << s.problems[i];
}

TEST(OverviewNamesTest, CollectionTimeStampedInTheName) {
    testsupport::ScopedTimeZone tz("UTC");
    EXPECT_EQ(StampedCollectionTime("/a/QM-X003_S_20250331-174530.dat"), std::optional<std::time_t>(1743443130));
    for (const char* name : {"QM-X003_S.dat", "x_20251331-174530.dat", "x_20250331-246000.dat", "x20250331-174530.dat",
                             "x_2025033-1174530.dat"})
        EXPECT_FALSE(StampedCollectionTime(name)) << name;
}

TEST_F(OverviewTest, OutputsThatAreNotFilesAreRefusedBeforeAnythingIsWritten) {
    fs::create_directory(dir / "page.html");
    stOverviewResult r = WriteOverview(request, dir / "page.html", true);
    EXPECT_FALSE(r.bWritten);
    EXPECT_NE(r.strError.find("page.html"), std::string::npos) << r.strError;

    fs::create_directory(dir / "elsewhere");
    fs::create_directory_symlink(dir / "elsewhere", dir / "o-reports");
    r = WriteOverview(request, dir / "o.html", true);
    EXPECT_FALSE(r.bWritten);
    EXPECT_NE(r.strError.find("o-reports"), std::string::npos) << r.strError;
    EXPECT_FALSE(fs::exists(dir / "o.html"));
    EXPECT_FALSE(fs::exists(dir / "o.csv"));
    EXPECT_TRUE(fs::is_empty(dir / "elsewhere"));

    request.paths.push_back(dir / "missing");
    r = WriteOverview(request, dir / "o.html", false);
    EXPECT_FALSE(r.bWritten);
    EXPECT_NE(r.strError.find("missing: no such file or folder"), std::string::npos) << r.strError;
}

}  // namespace

namespace {

// Texts from a log and a file name made to break out of the page, the links
// or a spreadsheet: each stays text.
TEST(OverviewHostileTest, TextsFromLogsAndNamesStayText) {
    testsupport::TempDir dir;
    logimage::LogDescription d = logimage::Version5Header();
    d.model = "<script>x";
    d.serial = "=1+2\x1b[31m";
    const logimage::Bytes log = logimage::BuildLog(d);
    testsupport::WriteFile(dir / "javascript:x\"<b>.dat", std::string(log.begin(), log.end()));
    stOverviewRequest request;
    request.paths = {dir.Path()};
    request.programDir = kSamples;
    ASSERT_TRUE(WriteOverview(request, dir / "o.html", false).bWritten);
    const std::string html = testsupport::ReadFile(dir / "o.html");
    EXPECT_EQ(html.find("<script>x"), std::string::npos);
    EXPECT_NE(html.find("&lt;script&gt;x"), std::string::npos);
    EXPECT_NE(html.find("href=\"javascript%3Ax%22%3Cb%3E.dat\""), std::string::npos);
    EXPECT_EQ(html.find('\x1b'), std::string::npos);
    EXPECT_NE(testsupport::ReadFile(dir / "o.csv").find(",'=1+2\xEF\xBF\xBD[31m,"), std::string::npos);
}

}  // namespace
