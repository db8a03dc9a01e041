// The temperature page text and the clock text. Golden page texts of the
// sample logs are compared byte for byte; QUENDRA_WRITE_GOLDEN=1 rewrites them
// (only after checking them by hand).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "common/RecordingPrompt.h"
#include "logimage/LogImage.h"
#include "syslog/QuendraLog.h"
#include "templog/TempLogCtrl.h"

#include <testsupport/TempDir.h>
#include <testsupport/TimeZone.h>

namespace fs = std::filesystem;

namespace {

const fs::path kGolden = fs::path(QUENDRA_TEST_DIR) / "golden";
const fs::path kSampleLogs = fs::path(QUENDRA_SAMPLES_DIR) / "logs";


// Display seconds of 2013-01-01 00:00:00 and 2014-01-01 00:00:00 in a zone
// without daylight saving.
constexpr std::uint32_t k2013 = 410313600u;
constexpr std::uint32_t k2014 = k2013 + 365u * 86400u;

class TempTextTest : public ::testing::Test {
protected:
    // A log object that holds `section` as its temperature text.
    void Hold(const logimage::Bytes& section) {
        m_log.m_bValid = 1;
        CTempLogCtrl::BintoHexAscii(section.data(), static_cast<int>(section.size()), m_log.m_strTempHex);
    }
    std::string Page(const logimage::Bytes& section) {
        Hold(section);
        m_ctrl.Refresh(&m_log);
        return m_ctrl.GetText();
    }

    cmn::RecordingPrompt m_prompt;
    cmn::ScopedPrompt m_scoped{m_prompt};
    CQuendraLog m_log{fs::path("/nonexistent-folder")};
    CTempLogCtrl m_ctrl;
};

std::size_t Count(const std::string& s, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t p = s.find(what); p != std::string::npos; p = s.find(what, p + 1)) ++n;
    return n;
}

}  // namespace

TEST_F(TempTextTest, GoldenPageTextsOfTheSampleLogs) {
    testsupport::ScopedTimeZone tz("JST-9");
    struct Case {
        const char* log;
        const char* golden;
        int timeMode;
    } cases[] = {
        {"healthy.dat", "healthy.txt", 0},
        {"code-paths.dat", "code-paths.elapsed.txt", 1},
        {"temperature-v5.dat", "temperature-v5.txt", 0},
        {"code-paths.dat", "code-paths.txt", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.log);
        CQuendraLog log{fs::path("/nonexistent-folder")};
        ASSERT_EQ(log.ReadBin(kSampleLogs / c.log), 1);
        CTempLogCtrl ctrl;
        ctrl.m_bTimeMode = c.timeMode;
        ctrl.Refresh(&log);
        const std::string& text = ctrl.GetText();
        ASSERT_FALSE(text.empty());
        if (std::getenv("QUENDRA_WRITE_GOLDEN")) testsupport::WriteFile(kGolden / c.golden, text);
        EXPECT_EQ(text, testsupport::ReadFile(kGolden / c.golden));
    }
}

TEST_F(TempTextTest, Version4WithoutSensorsAndEventCounters) {
    testsupport::ScopedTimeZone tz("UTC");
    logimage::TempSectionV4 t;
    t.fanCount = 2;
    t.lowTempTotal = 4294967295u;
    const std::string empty = Page(logimage::BuildTempV4(t));
    const std::string sep = "--------------------------------\r\n";
    EXPECT_EQ(empty,
              "number of Temperature Sensor:\t0\r\nnumber of Fans:\t2\r\ntype of Fan:\t0\r\n"
              "current temperature:\r\ndirection:\t0\r\n" + sep +
              "enable bright control:\t0\r\nbright at high temperature:\t0\r\nbright control threshold:\r\n"
              "high temperature error threshold:\r\npower off threshold:\r\n" + sep +
              "minimum temperature:\r\nmaximum temperature:\r\nbright down total time:\t0\r\n"
              "high temperature total time:\t0\r\nlow temperature total time:\t4294967295\r\n"
              "low temperature count:\t0\r\n" + sep + "bright down count:\t0\r\n" + sep +
              "high temperature count:\t0\r\n" + sep + "power off count:\t0\r\n" + sep);

    // Counters 9, 5 and 1 show five, five and one block; a time of 0 leaves
    // the clock text empty and keeps the blank before the parenthesis.
    t.sensorCount = 2;
    t.brightDownCount = 9;
    t.highTempCount = 5;
    t.powerOffCount = 1;
    t.brightDown[0] = {0, 12, 5, 3, 7, {{50, 60}, {-5, 127}}};
    t.powerOff[0] = {86400, 1, 2, 0, 0, {{-128, 0}, {1, 0}}};
    const std::string text = Page(logimage::BuildTempV4(t));
    EXPECT_EQ(Count(text, "\tbright down log"), 5u);
    EXPECT_NE(text.find("\tbright down log5:\r\n"), std::string::npos);
    EXPECT_EQ(Count(text, "\thigh temperature log"), 5u);
    EXPECT_EQ(Count(text, "\tpower off log"), 1u);
    EXPECT_NE(text.find("\tbright down log1:\r\n\ttime of occurrence:\t (12h5m)\r\n\tduration time:\t3h7m\r\n"
                        "\ttemperature:\r\n\t\tsensor1:\t50\tmax:\t60\r\n\t\tsensor2:\t-5\tmax:\t127\r\n"),
              std::string::npos);
    EXPECT_NE(text.find("\tpower off log1:\r\n\ttime of occurrence:\t2000/01/02 00:00:00 (1h2m)\r\n"
                        "\ttemperature:\r\n\t\tsensor1:\t-128\r\n\t\tsensor2:\t1\r\n" + sep),
              std::string::npos);
}

TEST_F(TempTextTest, ClockTextUnderTheTimeSettings) {
    testsupport::ScopedTimeZone tz("UTC");
    m_ctrl.Refresh(&m_log);
    auto clock = [this](std::uint32_t v) {
        std::string s;
        m_ctrl.Log2TimeText(v, s);
        return s;
    };
    EXPECT_EQ(clock(0), "");
    EXPECT_EQ(clock(86400), "2000/01/02 00:00:00");
    m_ctrl.m_bTimeMode = 1;
    EXPECT_EQ(clock(k2014), "365day 00:00:00");
    EXPECT_EQ(clock(k2013), "0day 00:00:00");
    EXPECT_EQ(clock(k2013 + 90061), "1day 01:01:01");
    EXPECT_EQ(clock(k2013 - 90061), "-1day 01:01:01");  // before 2013: a negative span
    EXPECT_EQ(clock(0), "");
    // Compensation: the PC clock is 2 hours ahead of the display clock.
    m_log.m_strDispTime = "250101000000";
    m_log.m_strPcTime = "250101020000";
    m_ctrl.m_bTimeCompensation = 1;
    EXPECT_EQ(clock(86400), "2000/01/02 02:00:00");
    m_ctrl.m_bTimeMode = 0;
    EXPECT_EQ(clock(86400), "2000/01/02 02:00:00");
}

TEST_F(TempTextTest, Version5UnusedThresholdsAndSections) {
    testsupport::ScopedTimeZone tz("UTC");
    logimage::TempSectionV5 t;
    t.sensorCount = 2;
    t.current = {-128, 30};
    t.direction = 1;
    t.brightThreshold = {-128, 60};
    t.powerOffThreshold = {70, -128};
    t.brightDown = {k2013, 7, {40, -128}};
    t.powerOff = {0, 9, {41, 42}};
    m_ctrl.m_bTimeMode = 1;
    const std::string sep = "--------------------------------\r\n";
    EXPECT_EQ(Page(logimage::BuildTempV5(t)),
              "number of Temperature Sensor:\t2\r\ncurrent temperature:\r\n\tsensor1:\t-128\r\n\tsensor2:\t30\r\n"
              "direction:\t1\r\n" + sep +
              "bright control threshold:\r\n\tsensor1 start:\tunused\r\n\tsensor2 start:\t60\r\n"
              "power off threshold:\r\n\tsensor1 start:\t70\r\n\tsensor2 start:\tunused\r\n" + sep +
              "\tbright down log:\r\n\ttime of occurrence:\t0day 00:00:00 (7h)\r\n\ttemperature:\r\n"
              "\t\tsensor1:\t40\r\n\t\tsensor2:\t-128\r\n"
              "\tpower off log:\r\n\ttime of occurrence:\t (9h)\r\n\ttemperature:\r\n"
              "\t\tsensor1:\t41\r\n\t\tsensor2:\t42\r\n" + sep);

}

TEST_F(TempTextTest, RefreshWithoutDataOrWithAnUnknownVersion) {
    testsupport::ScopedTimeZone tz("UTC");
    EXPECT_FALSE(Page(logimage::BuildTempV4(logimage::TempSectionV4{})).empty());
    // A null log keeps the page's log object; the page is emptied.
    m_ctrl.Refresh(nullptr);
    EXPECT_TRUE(m_ctrl.GetText().empty());
    EXPECT_EQ(m_ctrl.GetLogObject(), &m_log);

    // A log without data: empty page, and the earlier record is dropped, so
    // no report shows it.
    m_log.m_bValid = 0;
    m_ctrl.Refresh(&m_log);
    EXPECT_TRUE(m_ctrl.GetText().empty());
    EXPECT_EQ(m_ctrl.GetTempLogV4(), nullptr);

    // A section of another version: no record, no text.
    logimage::TempSectionV4 other;
    other.version = 7;
    EXPECT_TRUE(Page(logimage::BuildTempV4(other)).empty());
    EXPECT_EQ(m_ctrl.GetTempLogV4(), nullptr);
    EXPECT_EQ(m_ctrl.GetTempLogV5(), nullptr);
}
