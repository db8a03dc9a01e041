// quendra-log archive, end to end: logs added from folders, listed, and a
// display's history written as the reports of one log.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "cli/ArchiveCli.h"
#include "cli/LogCli.h"
#include "logimage/LogImage.h"
#include "testsupport/ScopedEnv.h"
#include "testsupport/TempDir.h"
#include "testsupport/TimeZone.h"

namespace fs = std::filesystem;

namespace {

const fs::path kSamples = QUENDRA_SAMPLES_DIR;

class ArchiveCliTest : public testsupport::TempDirTest {
protected:
    int Run(std::vector<std::string> args) {
        m_out.str("");
        m_err.str("");
        return RunLogCli(args, kSamples, m_out, m_err);
    }
    std::ostringstream m_out, m_err;
};

TEST_F(ArchiveCliTest, AddListAndReportAHistory) {
    testsupport::ScopedTimeZone tz("Asia/Tokyo");
    testsupport::ScopedEnv data("XDG_DATA_HOME", (dir / "data").c_str());
    // Two collections of one display (the second overlaps the first), and
    // one serial number under a second model.
    logimage::LogDescription first = logimage::HealthyDisplay(), second = first, other = first;
    second.groups[0].erase(second.groups[0].begin(), second.groups[0].begin() + 10);
    second.groups[0].push_back(logimage::Record::Power(second.groups[0].back().LapTime() + 60, 1));
    other.model = "QM-X005";
    const auto save = [&](const std::string& name, const logimage::LogDescription& d) {
        const logimage::Bytes b = logimage::BuildLog(d);
        testsupport::WriteFile(dir / "logs" / name, std::string(b.begin(), b.end()));
    };
    const std::string stem = first.model + "_" + first.serial + "_";
    save(stem + "20250301-100000.dat", first);
    save(stem + "20250401-100000.dat", second);
    save("QM-X005_" + other.serial + "_20250201-110000.dat", other);

    ASSERT_EQ(Run({"archive", "add", (dir / "logs").string()}), LOGCLI_OK) << m_err.str();
    EXPECT_TRUE(fs::is_regular_file(dir / "data" / "quendra" / "archive.sqlite"));
    EXPECT_EQ((fs::status(dir / "data" / "quendra").permissions() & fs::perms::all), fs::perms::owner_all);
    const std::size_t total = first.groups[0].size() + 1;
    EXPECT_NE(m_out.str().find(std::to_string(second.groups[0].size()) + " records, 1 new"), std::string::npos)
        << m_out.str();
    ASSERT_EQ(Run({"archive", "add", (dir / "logs").string()}), LOGCLI_OK) << m_err.str();
    EXPECT_EQ(m_out.str().find("new"), std::string::npos) << m_out.str();

    ASSERT_EQ(Run({"archive", "list", "--json", "-"}), LOGCLI_OK) << m_err.str();
    EXPECT_NE(m_out.str().find("\"serial\": \"" + first.serial + "\", \"collections\": 2, \"first\": "
                               "\"2025-03-01 10:00:00\", \"last\": \"2025-04-01 10:00:00\", \"records\": " +
                               std::to_string(total)),
              std::string::npos)
        << m_out.str();

    // The overview beside the newest log: what it brought, and the history's counts.
    ASSERT_EQ(Run({"--overview", (dir / "o.html").string(), "--no-reports", "--archive", (dir / "logs").string()}),
              LOGCLI_OK)
        << m_err.str();
    EXPECT_NE(testsupport::ReadFile(dir / "o.json").find("\"history\":{\"newSinceLastCollection\":1,\"records\":" +
                                                         std::to_string(total) + ",\"abnormal\":0,\"collections\":2}"),
              std::string::npos);
    EXPECT_NE(testsupport::ReadFile(dir / "o.html").find("1 new since the last collection"), std::string::npos);

    // One serial number, two models: the report asks which.
    EXPECT_EQ(Run({"archive", "report", first.serial, "--html", (dir / "h.html").string()}), LOGCLI_FAILED);
    EXPECT_NE(m_err.str().find("--model"), std::string::npos) << m_err.str();
    EXPECT_FALSE(fs::exists(dir / "h.html"));

    // A history of one collection reads as that log's own report.
    ASSERT_EQ(Run({"archive", "report", other.serial, "--model", "QM-X005", "--compare",
                   (dir / "history.txt").string()}),
              LOGCLI_OK)
        << m_err.str();
    ASSERT_EQ(Run({"--compare", (dir / "log.txt").string(),
                   (dir / "logs" / ("QM-X005_" + other.serial + "_20250201-110000.dat")).string()}),
              LOGCLI_OK);
    EXPECT_EQ(testsupport::ReadFile(dir / "history.txt"), testsupport::ReadFile(dir / "log.txt"));

    // --since leaves out the older records.
    ASSERT_EQ(Run({"archive", "report", first.serial, "--model", first.model, "--json", "-"}), LOGCLI_OK);
    const std::string all = m_out.str();
    ASSERT_EQ(Run({"archive", "report", first.serial, "--model", first.model, "--since", "2099-01-01", "--json",
                   "-"}),
              LOGCLI_OK);
    EXPECT_NE(m_out.str().find("\"records\":[]"), std::string::npos);
    EXPECT_EQ(all.find("\"records\":[]"), std::string::npos);
    EXPECT_EQ(Run({"archive", "report", first.serial, "--since", "2025-02-30", "--json", "-"}), LOGCLI_USAGE);
    // Help is there at every depth of the archive command line.
    for (const std::vector<std::string>& help : {std::vector<std::string>{"archive", "--help"}, {"archive", "-h"},
                                                 {"archive", "report", "--help"}}) {
        EXPECT_EQ(Run(help), LOGCLI_OK);
        EXPECT_NE(m_out.str().find("archive report"), std::string::npos);
    }
}

TEST(ArchiveCliDates, OnlyWholeDaysOfTheCalendar) {
    testsupport::ScopedTimeZone tz("UTC");
    EXPECT_EQ(ParseDay("2025-03-01"), std::optional<std::time_t>(1740787200));
    for (const char* bad : {"2025-02-29", "2025-3-01", "2025-03-01x", "20250301", "", "2025-0a-01", "-025-03-01"})
        EXPECT_FALSE(ParseDay(bad)) << bad;
}

}  // namespace
