// The HTML report, the comparison text and the JSON form: golden files of the
// sample logs (byte for byte, CR LF), escaping, the fixed rows, and atomic
// report files.
//
// QUENDRA_WRITE_GOLDEN=1 rewrites the golden files from the current code
// instead of comparing (only after checking the output by hand).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <ostream>
#include <streambuf>

#include "logimage/LogImage.h"
#include "report/HtmlDoc.h"
#include "report/LogJson.h"
#include "report/ReportPipeline.h"
#include "report/SyslogReport.h"
#include "report/TempLogReport.h"
#include "syslog/CodeTables.h"
#include "report/HtmlPieces.h"
#include "syslog/LogListCtrl.h"
#include "report/LogReportFile.h"
#include "syslog/QuendraLog.h"
#include "templog/TempLogCtrl.h"

#include <testsupport/TempDir.h>
#include <testsupport/TimeZone.h>

namespace fs = std::filesystem;

namespace {

const fs::path kGoldenDir = fs::path(QUENDRA_TEST_DIR) / "golden";
const fs::path kSamplesDir = QUENDRA_SAMPLES_DIR;
const fs::path kSampleLogsDir = kSamplesDir / "logs";

void CheckGolden(const std::string& name, const std::string& actual) {
    const fs::path path = kGoldenDir / name;
    if (std::getenv("QUENDRA_WRITE_GOLDEN")) {
        testsupport::WriteFile(path, actual);
        return;
    }
    ASSERT_TRUE(fs::exists(path)) << path;
    const std::string expected = testsupport::ReadFile(path);
    if (expected != actual) {
        std::size_t i = 0;
        while (i < expected.size() && i < actual.size() && expected[i] == actual[i]) ++i;
        ADD_FAILURE() << name << " differs at byte " << i << ": expected \""
                      << expected.substr(i > 40 ? i - 40 : 0, 80) << "\" got \"" << actual.substr(i > 40 ? i - 40 : 0, 80)
                      << "\"";
    }
}

struct Variant {
    const char* log;
    const char* name;
    stReportOptions options;
};

class LogReportTest : public testsupport::TempDirTest {
protected:
    void TearDown() override { LoadCodeTables(dir / "none"); }
    // Reads a sample log and shows it with the tables of its model.
    void Open(const Variant& v) {
        m_log = std::make_unique<CQuendraLog>(dir);
        ASSERT_EQ(m_log->ReadBin(kSampleLogsDir / v.log), 1) << v.log;
        if (v.options.bCompensate) m_log->m_strPcTime = "250401093015";
        const fs::path folder = ModelFolderFor(kSamplesDir, m_log->m_strModel);
        ASSERT_FALSE(folder.empty()) << m_log->m_strModel;
        m_list = std::make_unique<CLogListCtrl>();
        m_temp = std::make_unique<CTempLogCtrl>();
        ShowLogInViews(*m_log, folder, v.options, *m_list, *m_temp);
    }

    std::unique_ptr<CQuendraLog> m_log;
    std::unique_ptr<CLogListCtrl> m_list;
    std::unique_ptr<CTempLogCtrl> m_temp;
};

// A sample log of model QM-Y210 whose records take every path of the code
// tables: operation types with and without a linked name file (type 13 shares
// a file with type 2), the four signal status labels and the "no signal"
// resolution, the four developer information types, a power-on record, and
// abnormal records in all three abnormal groups. Stored as
// samples/logs/code-paths.dat.
logimage::LogDescription CodePathsLog() {
    using logimage::Record;
    logimage::LogDescription d;
    d.fileVersion = 5;
    d.model = "QM-Y210";
    d.serial = "7A0000900";
    d.versions = {{"Main Firmware", "5.002"}, {"Sub Firmware", "5.000"}};
    d.typed = {logimage::TypedEntry::Id("ID", 1), logimage::TypedEntry::UsageTime("Usage Time", 4321),
               logimage::TypedEntry::Clock("Date/Time Setting", logimage::DisplayClock{25, 4, 6, 18, 0, 0})};
    const std::uint32_t base = 797126400u + 8 * 3600;  // 2025-04-05 08:00:00
    std::uint32_t t = base;
    d.groups[0] = {
        Record::Power(t, 6),                           // power supplied by a control command
        Record::Signal(t += 2, 0, 0, 0, 0, 0),         // searching, no signal
        Record::Signal(t += 3, 0, 1, 1920, 1080, 60),  // signal on
        Record::Operation(t += 60, 0, 1, 1, 0, 0),     // linked IR names
        Record::Operation(t += 5, 0, 13, 257, 40, 0),  // type 13 uses the command names file
        Record::Operation(t += 5, 0, 2, 258, 50, 0),
        Record::Operation(t += 5, 0, 3, 96, 15, 0),    // linked DDC names
        Record::Operation(t += 5, 0, 4, 3, 1, 0),      // linked key names
        Record::Operation(t += 5, 0, 5, 7, 1, 2),      // no linked file: the code
        Record::Operation(t += 5, 0, 0, 2, 0, 0),      // type 0: no class, no file
        Record::Signal(t += 600, 2, 3, 4096, 2160, 24),  // out of range
        Record::Signal(t += 60, 2, 2, 0, 0, 0),          // signal lost, no signal
        Record::DevInfo(t += 10, 0, 1, 1, 0),
        Record::DevInfo(t += 10, 1, 2, 2, 0),
        Record::DevInfo(t += 10, 2, 3, 3, 0),
        Record::DevInfo(t += 10, 3, 63, 0xBEEF, 0xFFFF),
        Record::Power(t += 3600, 2),
    };
    d.groups[1] = {Record::Operation(t += 86400, 1, 1, 2, 0, 0), Record::Abnormal(t += 30, 1, 2, 300, 1)};
    d.groups[2] = {Record::Abnormal(t += 86400, 0, 4, 0, 0), Record::Power(t += 5, 5)};
    d.groups[3] = {Record::Abnormal(t += 86400, 3, 200, 65535, 255)};
    logimage::TempSectionV4 temp;
    temp.sensorCount = 1;
    temp.fanCount = 1;
    temp.fanType = 2;
    temp.current = {41};
    temp.brightThreshold = {{70, 65}};
    temp.highTempThreshold = {{85, 80}};
    temp.powerOffThreshold = {95};
    temp.minTemp = {-5};
    temp.maxTemp = {88};
    temp.brightDownTotal = 12;
    temp.highTempTotal = 3;
    temp.lowTempTotal = 4000000000u;
    temp.lowTempCount = 2;
    temp.brightDownCount = 0;
    temp.highTempCount = 5;
    temp.powerOffCount = 7;
    for (unsigned i = 0; i < 5; ++i) {
        temp.highTemp[i] = {base + i * 3600, 1000 + i, static_cast<std::uint8_t>(i * 10), i, 59,
                            {{static_cast<std::int8_t>(80 + i), static_cast<std::int8_t>(86 + i)}}};
        temp.powerOff[i] = {i == 2 ? 0u : base + i * 7200, 2000 + i, 5, 0, 0, {{static_cast<std::int8_t>(90 + i), 0}}};
    }
    d.temperature = logimage::BuildTempV4(temp);
    return d;
}

stReportOptions InTimeMode(int mode, bool compensate = false) {
    stReportOptions o;
    o.nTimeMode = mode;
    o.bCompensate = compensate;
    return o;
}

stReportOptions FilteredAndSorted(std::uint32_t filter, int column, bool ascending) {
    stReportOptions o;
    o.nFilter = filter;
    o.nSortColumn = column;
    o.bSortAscending = ascending;
    return o;
}

const Variant kVariants[] = {
    {"code-paths.dat", "code-paths", {}},
    {"code-paths.dat", "code-paths.elapsed", InTimeMode(1)},

    {"healthy.dat", "healthy", {}},
    {"abnormal.dat", "abnormal", {}},
    {"abnormal.dat", "abnormal.elapsed", InTimeMode(1)},
    {"abnormal.dat", "abnormal.compensated", InTimeMode(1, true)},
    {"abnormal.dat", "abnormal.filtered", FilteredAndSorted(0x30, LOG_COL_DATE, false)},
    {"header-v5.dat", "header-v5", {}},
    {"temperature-v5.dat", "temperature-v5", {}},
};

}  // namespace

TEST(LogReportSamples, CodePathsSampleLogMatchesItsDescription) {
    const logimage::Bytes built = logimage::BuildLog(CodePathsLog());
    const fs::path path = kSampleLogsDir / "code-paths.dat";
    if (std::getenv("QUENDRA_WRITE_GOLDEN")) testsupport::WriteFile(path, std::string(built.begin(), built.end()));
    EXPECT_EQ(testsupport::ReadFile(path), std::string(built.begin(), built.end()));
}

TEST_F(LogReportTest, GoldenReportsOfTheSampleLogs) {
    testsupport::ScopedTimeZone tz("JST-9");
    for (const Variant& v : kVariants) {
        SCOPED_TRACE(v.name);
        Open(v);
        CStringSink html, compare;
        WriteHtmlReport(html, *m_list, *m_temp);
        WriteCompareReport(compare, *m_list, *m_temp);
        CheckGolden(std::string(v.name) + ".html", html.Str());
        CheckGolden(std::string(v.name) + ".compare.txt", compare.Str());
        CheckGolden(std::string(v.name) + ".json", LogToJson(*m_log, *m_list, *m_temp, v.log));
        // Every line ends in CR LF.
        const std::string& s = html.Str();
        for (std::size_t i = 0; i < s.size(); ++i) {
            if (s[i] == '\n') {
                ASSERT_TRUE(i > 0 && s[i - 1] == '\r') << "bare LF at " << i;
            }
        }
    }
}

TEST_F(LogReportTest, SectionsOfTheReports) {
    testsupport::ScopedTimeZone tz("JST-9");
    Open(kVariants[5]);  // abnormal, elapsed time, compensated
    ASSERT_STREQ(kVariants[5].name, "abnormal.compensated");
    CStringSink html, compare;
    ASSERT_EQ(WriteSyslogHtml(html, *m_list), 1);
    ASSERT_EQ(WriteSyslogCompare(compare, *m_list), 1);
    // The PC time row, minutes only.
    EXPECT_NE(html.Str().find("PC Time(Get Log Information)</TD>\r\n\t\t<TD class=\"if1\">2025/04/01 09:30</TD>"),
              std::string::npos);
    // An abnormal row carries the mark and the red classes; its label is "log A".
    EXPECT_NE(html.Str().find("<TD class=\"log_pre0 abnormal-mark border-normal\">!</TD>"), std::string::npos);
    EXPECT_NE(html.Str().find("<TD class=\"log_pre1 abnormal border-normal\">"), std::string::npos);
    EXPECT_NE(compare.Str().find("\r\nlog A\t/\t"), std::string::npos);
    // The wave dash of the legend is written as its two code page bytes.
    EXPECT_NE(compare.Str().find("log 1(old)\x81\x60" "3(new) : 20 Log around the abnormal log\r\n"),
              std::string::npos);
}

TEST_F(LogReportTest, LogTextsAreEscapedFixedLiteralsAreNot) {
    testsupport::ScopedTimeZone tz("UTC");
    logimage::LogDescription d = logimage::HealthyDisplay();
    d.model = "QM-X001";
    d.serial = "";
    d.versions = {{"A&B", "<v>\"1\""}, {"Empty", ""}, {"Kana", "\xB1\xB2"}};
    const logimage::Bytes b = logimage::BuildLog(d);
    CQuendraLog log(dir);
    log.SetLogData(b.data(), b.size());
    ASSERT_EQ(log.ParseLogData(log.m_pData.data(), log.m_nDataSize), 1);
    log.m_bValid = 1;
    log.CreateList();
    log.m_strModel = "M<1>";
    log.m_strPcTime = "2504";  // too short: no time

    const fs::path model = dir / "model";
    Write("model/LogType.csv", "5,x\n1,Op & \"Cmd\"\n");
    CLogListCtrl list;
    list.Initialize(model.string());
    list.RefreshList(&log);
    CStringSink html;
    ASSERT_EQ(WriteSyslogHtml(html, list), 1);
    const std::string& s = html.Str();
    EXPECT_NE(s.find("<TD class=\"if1\">M&lt;1&gt;</TD>"), std::string::npos);
    EXPECT_NE(s.find("Serial Number</TD>\r\n\t\t<TD class=\"if1\">&nbsp;</TD>"), std::string::npos);
    EXPECT_NE(s.find("<TD class=\"if0\">A&amp;B</TD>\r\n\t\t<TD class=\"if1\">&lt;v&gt;&quot;1&quot;</TD>"),
              std::string::npos);
    EXPECT_NE(s.find("<TD class=\"if0\">Empty</TD>\r\n\t\t<TD class=\"if1\">&nbsp;</TD>"), std::string::npos);
    EXPECT_NE(s.find("<TD class=\"if1\">\xB1\xB2</TD>"), std::string::npos);
    EXPECT_NE(s.find("PC Time(Get Log Information)</TD>\r\n\t\t<TD class=\"if1\">&nbsp;</TD>"), std::string::npos);

    // The comparison text is plain: nothing escaped, empty texts give a line end.
    CStringSink compare;
    ASSERT_EQ(WriteSyslogCompare(compare, list), 1);
    EXPECT_NE(compare.Str().find("\tModel Name\r\n\t\tM<1>\r\n\r\n\tSerial Number\r\n\t\t\r\n\r\n\r\n"),
              std::string::npos);
    EXPECT_NE(compare.Str().find("\tA&B\r\n\t\t<v>\"1\"\r\n\r\n\tEmpty\r\n\t\t\r\n\r\n\r\n"), std::string::npos);

    // An empty model name is a single blank in the HTML report.
    log.m_strModel.clear();
    list.RefreshList(&log);
    html.Clear();
    WriteSyslogHtml(html, list);
    EXPECT_NE(html.Str().find("Model Name</TD>\r\n\t\t<TD class=\"if1\"> </TD>"), std::string::npos);

    EXPECT_EQ(HtmlEscape("a&b<c>d\"e'f\x81\x60"), "a&amp;b&lt;c&gt;d&quot;e'f\x81\x60");
    // Text that bypasses the sink's line end conversion converts its own.
    std::string rows = "<";
    AppendHtmlEscaped(rows, "&\nx\n>", true);
    EXPECT_EQ(rows, "<&amp;\r\nx\r\n&gt;");
}

TEST_F(LogReportTest, TemperatureSectionWithoutSensorsAndAFullHistory) {
    testsupport::ScopedTimeZone tz("UTC");
    logimage::TempSectionV4 t;  // no sensors: list values are empty
    t.highTempCount = 12;       // more events than the five slots kept
    const logimage::Bytes section = logimage::BuildTempV4(t);
    CQuendraLog log(dir);
    log.m_bValid = 1;
    CTempLogCtrl::BintoHexAscii(section.data(), static_cast<int>(section.size()), log.m_strTempHex);
    CTempLogCtrl temp;
    temp.Refresh(&log);

    CStringSink html, compare;
    ASSERT_EQ(WriteTempHtml(html, temp), 1);
    const std::string& h = html.Str();
    EXPECT_EQ(h.rfind("<BR>\r\n<H1>Temp Log Information</H1>\r\n", 0), 0u);
    EXPECT_NE(h.find("\t\t<TD class=\"if0\">current temperature</TD>\r\n\t\t<TD class=\"if1\"> </TD>\r\n"),
              std::string::npos);
    EXPECT_EQ(h.find("bright down log"), std::string::npos);
    EXPECT_NE(h.find(">high temperature5</TD>\r\n\t\t<TD class=\"if1\">time of occurrence:\t (0h0m)<BR>"
                     "duration time:\t0h0m<BR>temperature:<BR></TD>"),
              std::string::npos);
    EXPECT_EQ(h.find(">high temperature6</TD>"), std::string::npos);
    EXPECT_EQ(h.substr(h.size() - 16), "</TABLE>\r\n<BR>\r\n");

    ASSERT_EQ(WriteTempCompare(compare, temp), 1);
    EXPECT_NE(compare.Str().find("\tbright down count\t\t0\r\n\r\n\r\n\thigh temperature count\t\t12\r\n\r\n"
                                 "\thigh temperature1\r\n"),
              std::string::npos);
    EXPECT_EQ(compare.Str().find("\thigh temperature6"), std::string::npos);
}

TEST_F(LogReportTest, WithoutALogOnlyTheFrameIsWritten) {
    CLogListCtrl list;
    CTempLogCtrl temp;
    CStringSink html, compare;
    EXPECT_EQ(WriteSyslogHtml(html, list), 0);
    EXPECT_EQ(WriteSyslogCompare(compare, list), 0);
    EXPECT_EQ(WriteTempHtml(html, temp), 0);
    EXPECT_EQ(WriteTempCompare(compare, temp), 0);
    EXPECT_TRUE(html.Str().empty());
    WriteHtmlReport(html, list, temp);
    const std::string& s = html.Str();
    EXPECT_EQ(s.rfind("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\r\n<HTML>\r\n", 0), 0u);
    EXPECT_NE(s.find("\t}\r\n\r\n\ttd.border-normal {\r\n\t\tborder-bottom:solid 1px #000000;\r\n\t}\r\n"),
              std::string::npos);
    EXPECT_NE(s.find("-->\r\n</STYLE>\r\n<TITLE>Quendra Report</TITLE>\r\n</HEAD>\r\n<BODY>\r\n</BODY>\r\n</HTML>\r\n"),
              std::string::npos);
    WriteCompareReport(compare, list, temp);
    EXPECT_TRUE(compare.Str().empty());
}

TEST_F(LogReportTest, ReportFileIsAllOrNothing) {
    const fs::path path = dir / "report.html";
    // A writer that fails part-way leaves no file and no temporary file.
    EXPECT_FALSE(WriteReportFile(path, [](CTextSink& f) {
        f.Write("<HTML>\n");
        return false;
    }));
    EXPECT_FALSE(fs::exists(path));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 0);

    ASSERT_TRUE(WriteReportFile(path, [](CTextSink& f) { return f.Write("one\ntwo\n"); }));
    EXPECT_EQ(Read("report.html"), "one\r\ntwo\r\n");
    // A later failure keeps the earlier report as it was.
    EXPECT_FALSE(WriteReportFile(path, [](CTextSink& f) {
        f.Write("half");
        return false;
    }));
    EXPECT_EQ(Read("report.html"), "one\r\ntwo\r\n");
    // A sink whose output fails reports it, and keeps failing.
    {
        std::ostream broken(nullptr);  // no buffer: every write fails
        CStreamSink sink(broken);
        const std::string block(70000, 'x');
        EXPECT_FALSE(sink.Write(block));
        EXPECT_TRUE(sink.Failed());
        EXPECT_FALSE(sink.Write("y"));
        EXPECT_FALSE(sink.Flush());
    }
    // A folder that does not exist: nothing is created.
    EXPECT_FALSE(WriteReportFile(dir / "no" / "such.html", [](CTextSink& f) { return f.Write("x"); }));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}
