// The pipeline saved log -> views -> report files: the files are the golden
// bytes, failures are result codes that leave nothing half-written, and a
// failed load shows nothing of an earlier log.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "common/RecordingPrompt.h"
#include "report/ReportPipeline.h"
#include "syslog/CodeTables.h"

#include <testsupport/TempDir.h>
#include <testsupport/TimeZone.h>

namespace fs = std::filesystem;

namespace {

const fs::path kSamples = QUENDRA_SAMPLES_DIR;
const fs::path kReportGolden = fs::path(QUENDRA_TEST_DIR) / "golden";
const fs::path kTextGolden = kSamples.parent_path() / "QuendraReport" / "templog" / "tests" / "golden";

class PipelineTest : public testsupport::TempDirTest {
protected:
    void TearDown() override { LoadCodeTables(dir / "none"); }
    // Writes a report of `reports` beside the test and compares it with `golden`.
    void ExpectGolden(const CLogReports& reports, ReportResult (CLogReports::*write)(const fs::path&) const,
                      const fs::path& golden) {
        const fs::path out = dir / golden.filename();
        ASSERT_EQ((reports.*write)(out), REPORT_OK) << out;
        EXPECT_EQ(testsupport::ReadFile(out), testsupport::ReadFile(golden)) << golden;
    }
    std::size_t Files() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
    }

    cmn::RecordingPrompt m_prompt;
    cmn::ScopedPrompt m_scoped{m_prompt};
};

TEST_F(PipelineTest, SampleLogsGiveTheGoldenFiles) {
    testsupport::ScopedTimeZone tz("JST-9");
    CLogReports reports(kSamples);
    stReportOptions options;
    ASSERT_EQ(reports.LoadLogForReports(kSamples / "logs" / "abnormal.dat", options), REPORT_OK);
    EXPECT_EQ(reports.ModelFolder(), kSamples / "QMX001");
    ExpectGolden(reports, &CLogReports::WriteTreatedHtml, kReportGolden / "abnormal.html");
    ExpectGolden(reports, &CLogReports::WriteCompareText, kReportGolden / "abnormal.compare.txt");

    // The same object takes the next log with other settings, through the model list.
    options.nTimeMode = 1;
    ASSERT_EQ(reports.LoadLogForReports(kSamples / "logs" / "code-paths.dat", options), REPORT_OK);
    EXPECT_EQ(reports.ModelFolder(), kSamples / "QMY210");
    ExpectGolden(reports, &CLogReports::WriteTreatedHtml, kReportGolden / "code-paths.elapsed.html");
    ExpectGolden(reports, &CLogReports::WriteTempText, kTextGolden / "code-paths.elapsed.txt");

    // Filter and sort reach the list.
    options = stReportOptions{};
    options.nFilter = 0x30;
    options.nSortColumn = LOG_COL_DATE;
    options.bSortAscending = false;
    ASSERT_EQ(reports.LoadLogForReports(kSamples / "logs" / "abnormal.dat", options), REPORT_OK);
    ExpectGolden(reports, &CLogReports::WriteTreatedHtml, kReportGolden / "abnormal.filtered.html");
    EXPECT_TRUE(m_prompt.Texts().empty());
}

TEST_F(PipelineTest, FailedLoadsShowNothingAndWriteNothing) {
    testsupport::ScopedTimeZone tz("UTC");
    std::string bytes = testsupport::ReadFile(kSamples / "logs" / "healthy.dat");
    ASSERT_GT(bytes.size(), 100u);
    bytes.back() = static_cast<char>(bytes.back() ^ 0x55);
    Write("bad.dat", bytes);

    CLogReports reports(kSamples);
    const stReportOptions options;
    EXPECT_EQ(reports.WriteTreatedHtml(dir / "none.html"), REPORT_NO_DATA);  // nothing loaded yet
    ASSERT_EQ(reports.LoadLogForReports(kSamples / "logs" / "healthy.dat", options), REPORT_OK);
    ASSERT_FALSE(reports.List().Rows().empty());

    // A refused log: the decoder's message reaches the prompt, the views drop
    // the earlier log, and no report can be written from them.
    EXPECT_EQ(reports.LoadLogForReports(dir / "bad.dat", options), REPORT_LOAD_FAILED);
    ASSERT_EQ(m_prompt.Texts().size(), 1u);
    EXPECT_NE(m_prompt.Texts()[0].find("Check sum error."), std::string::npos);
    EXPECT_TRUE(reports.List().Rows().empty());
    EXPECT_EQ(reports.Temp().GetTempLogV4(), nullptr);
    EXPECT_EQ(reports.Log().m_strModel, "");
    EXPECT_EQ(reports.WriteTreatedHtml(dir / "bad.html"), REPORT_NO_DATA);
    EXPECT_EQ(reports.WriteCompareText(dir / "bad.txt"), REPORT_NO_DATA);
    EXPECT_EQ(reports.WriteTempText(dir / "bad.temp.txt"), REPORT_NO_DATA);

    // A missing file fails without a message.
    m_prompt.Clear();
    EXPECT_EQ(reports.LoadLogForReports(dir / "missing.dat", options), REPORT_LOAD_FAILED);
    EXPECT_TRUE(m_prompt.Texts().empty());
    EXPECT_EQ(Files(), 1u);  // only bad.dat

    // Skipping the check value loads the same file; the next load checks again.
    stReportOptions lenient;
    lenient.bSkipCheckSum = true;
    ASSERT_EQ(reports.LoadLogForReports(dir / "bad.dat", lenient), REPORT_OK);
    EXPECT_EQ(reports.LoadLogForReports(dir / "bad.dat", options), REPORT_LOAD_FAILED);
}

TEST_F(PipelineTest, WriteFailuresAndModelFolders) {
    testsupport::ScopedTimeZone tz("UTC");
    // A program folder without a model list: no model folder, codes as numbers.
    CLogReports bare(dir);
    ASSERT_EQ(bare.LoadLogForReports(kSamples / "logs" / "healthy.dat", stReportOptions{}), REPORT_OK);
    EXPECT_TRUE(bare.ModelFolder().empty());
    ASSERT_EQ(bare.WriteCompareText(dir / "numbers.txt"), REPORT_OK);
    EXPECT_NE(Read("numbers.txt").find("\t/\t1(1)\t/\t"), std::string::npos);

    // A given folder wins over the model list.
    stReportOptions options;
    options.modelFolder = kSamples / "QMX001";
    ASSERT_EQ(bare.LoadLogForReports(kSamples / "logs" / "healthy.dat", options), REPORT_OK);
    EXPECT_EQ(bare.ModelFolder(), kSamples / "QMX001");
    ASSERT_EQ(bare.WriteCompareText(dir / "names.txt"), REPORT_OK);
    EXPECT_EQ(Read("names.txt").find("\t/\t1(1)\t/\t"), std::string::npos);

    // Outputs that cannot be written are failures, and leave nothing behind.
    const std::size_t before = Files();
    EXPECT_EQ(bare.WriteTreatedHtml(dir / "no" / "a.html"), REPORT_WRITE_FAILED);
    EXPECT_EQ(bare.WriteCompareText(dir / "no" / "a.txt"), REPORT_WRITE_FAILED);
    EXPECT_EQ(bare.WriteTempText(dir / "no" / "t.txt"), REPORT_WRITE_FAILED);
    EXPECT_EQ(Files(), before);
}

}  // namespace
