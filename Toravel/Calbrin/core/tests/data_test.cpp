// Settings, command texts, reply parsing, data files and mode layouts.
#include <gtest/gtest.h>
#include <testsupport/TimeZone.h>
#include <stdlib.h>

#include <calbrin/Commands.h>
#include <calbrin/DataFiles.h>
#include <calbrin/Settings.h>
#include <calbrin/WbData.h>
#include <common/codepage.h>
#include <common/ini.h>
#include <testsupport/TempDir.h>

using namespace calbrin;

namespace {

std::string U8(const std::u16string& s) { return cmn::Utf16ToUtf8(s); }
std::string U8(const std::optional<std::u16string>& s) { return s ? cmn::Utf16ToUtf8(*s) : "<refused>"; }

std::vector<std::string> QueryTexts(const Settings& s, ToolMode m, bool yellow) {
    std::vector<std::string> out;
    for (const ValueQuery& q : ValueQueries(s, m, yellow)) out.push_back(U8(q.text));
    return out;
}

std::vector<std::string> Column6(const WbData& d, Column c) {
    std::vector<std::string> out;
    for (int r = 1; r <= kRows; ++r) out.push_back(U8(d.Cell(c, r)));
    return out;
}

class CalbrinFiles : public testsupport::TempDirTest {};

}  // namespace

TEST_F(CalbrinFiles, SettingsDefaultsAndOverrides) {
    const Settings none = LoadSettings(SettingsPath(dir));
    EXPECT_EQ(none.seriesId, u"00000000000000");
    EXPECT_EQ(none.defaultDataName, u"default.wbd");
    EXPECT_FALSE(none.readBackAfterWrite);
    for (const auto& c : none.spCmdStart) EXPECT_TRUE(c.empty());

    Write("Toravel.ini", "[COMMON]\r\nSeriesID=ABC\r\n[WB]\r\nSP_CMD_START2=IDSL0\r\nSP_CMD_END1=X\r\n"
                         "SIM_GAIN_FMT=%s%s%d%04d\r\nREAD_BACK_AFTER_WRITE=1\r\nLEVEL_CMD=" +
                             std::string(300, 'L') + "\r\n[GS]\r\nCMD_BEFORE_WRITE=\r\n");
    const Settings s = LoadSettings(SettingsPath(dir));
    EXPECT_EQ(s.seriesId, u"ABC");
    EXPECT_EQ(s.spCmdStart[1], u"IDSL0");
    EXPECT_EQ(s.spCmdEnd[0], u"X");
    EXPECT_EQ(s.simGainFmt, u"%s%s%d%04d");
    EXPECT_TRUE(s.readBackAfterWrite);
    EXPECT_EQ(s.levelCmd.size(), 259u);
    EXPECT_EQ(s.gsCmdBeforeWrite, u"");        // present but empty: switched off
    EXPECT_EQ(s.gsCmdAfterWrite, u"GCEN0000");  // the section's other keys keep defaults
}

TEST(CalbrinCommands, EveryModeQueriesAndWritesWithTheDefaultSettings) {
    Settings s;
    EXPECT_EQ(QueryTexts(s, ToolMode::Default, false),
              (std::vector<std::string>{"WBLP????", "WBRP????", "WBGP????", "WBBP????"}));
    EXPECT_EQ(U8(WriteCommand(s, ToolMode::Default, Column::Level, 1, 123)), "WBLP10123");
    EXPECT_EQ(U8(WriteCommand(s, ToolMode::Default, Column::Blue, 6, -5)), "<refused>");
    EXPECT_EQ(U8(WriteCommand(s, ToolMode::Default, Column::Blue, 6, 12345)), "<refused>");  // four digits
    EXPECT_EQ(U8(WriteCommand(s, ToolMode::Default, Column::Val, 1, 5)), "<refused>");

    EXPECT_EQ(QueryTexts(s, ToolMode::Simple, false), (std::vector<std::string>{"RGAN????", "GGAN????", "BGAN????"}));
    EXPECT_EQ(U8(WriteCommand(s, ToolMode::Simple, Column::Green, 1, 250)), "GGAN0250");
    // The three-point mode passes the point index too: the default format is one short.
    EXPECT_EQ(U8(WriteCommand(s, ToolMode::Simple3, Column::Red, 2, 7)), "<refused>");
    s.simGainFmt = u"%s%s%d%04d";
    EXPECT_EQ(U8(WriteCommand(s, ToolMode::Simple3, Column::Red, 2, 7)), "RGAN10007");
    EXPECT_EQ(U8(WriteCommand(s, ToolMode::Simple, Column::Red, 1, 7)), "<refused>");

    const auto adv = QueryTexts(s, ToolMode::Advanced, false);
    ASSERT_EQ(adv.size(), 24u);
    EXPECT_EQ(adv[0], "LEV1????");
    EXPECT_EQ(adv[6], "MG1R????");
    EXPECT_EQ(adv[20], "MG3B????");
    const auto adv2 = QueryTexts(s, ToolMode::AdvancedVal, true);
    ASSERT_EQ(adv2.size(), 31u);
    EXPECT_EQ(adv2[24], "GCVL????");
    EXPECT_EQ(adv2[25], "MG1Y????");
    EXPECT_EQ(U8(WriteCommand(s, ToolMode::Advanced, Column::Blue, 3, 100)), "MG3B0100");
    EXPECT_EQ(U8(WriteCommand(s, ToolMode::Advanced, Column::Level, 1, 123)), "LEV10123");
    EXPECT_EQ(U8(WriteCommand(s, ToolMode::AdvancedVal, Column::Yellow, 4, 940)), "MG4Y0940");
    EXPECT_EQ(U8(WriteCommand(s, ToolMode::AdvancedVal, Column::Val, 2, 100)), "GCVW2100");
}

TEST(CalbrinCommands, FormatsFromTheFileAreChecked) {
    Settings s;
    for (const char16_t* bad : {u"%s%d%x", u"%s%d%04d%d", u"%s%d", u"%d%d%d", u"%s%d%04", u"%n%d%d", u"%s%d%*d"}) {
        s.gainFmt = bad;
        EXPECT_FALSE(WriteCommand(s, ToolMode::Default, Column::Red, 1, 1)) << U8(std::u16string(bad));
    }
    s.gainFmt = u"%%%s-%d:%-5d|";
    EXPECT_EQ(U8(WriteCommand(s, ToolMode::Default, Column::Red, 2, 42)), "%WBRP-2:42   |");
}

TEST(CalbrinReplies, EachModeFillsItsCells) {
    const Settings s;
    WbData d;
    for (int r = 1; r <= kRows; ++r) d.Cell(Column::Red, r) = u"9";
    const auto def = ValueQueries(s, ToolMode::Default, false);
    StoreReply(def[1], u"100,0120,98", d);
    EXPECT_EQ(Column6(d, Column::Red), (std::vector<std::string>{"100", "120", "98", "9", "9", "9"}));
    StoreReply(def[1], u"", d);  // an empty reply changes nothing
    EXPECT_EQ(Column6(d, Column::Red), (std::vector<std::string>{"100", "120", "98", "9", "9", "9"}));
    StoreReply(def[0], u",,1,,2,x,4,5,6,7,8", d);  // runs of commas are one separator, six pieces at most
    EXPECT_EQ(Column6(d, Column::Level), (std::vector<std::string>{"1", "2", "x", "4", "5", "6"}));

    StoreReply(ValueQueries(s, ToolMode::Simple, false)[0], u" 0256 ", d);  // stored unchanged
    EXPECT_EQ(U8(d.Cell(Column::Red, 1)), " 0256 ");
    StoreReply(ValueQueries(s, ToolMode::Simple3, false)[2], u" 7 , ,8,9,10", d);
    EXPECT_EQ(Column6(d, Column::Blue), (std::vector<std::string>{"7", "", "8", "0", "0", "0"}));

    const auto adv2 = ValueQueries(s, ToolMode::AdvancedVal, false);
    StoreReply(adv2[8], u"0300", d);  // red row 3, unchanged
    EXPECT_EQ(U8(d.Cell(Column::Red, 3)), "0300");
    StoreReply(adv2.back(), u"1,2,3,4,5,6,7", d);
    EXPECT_EQ(Column6(d, Column::Val), (std::vector<std::string>{"1", "2", "3", "4", "5", "6"}));
}

TEST_F(CalbrinFiles, LoadNormalisesAndFollowsTheFilesOwnMode) {
    Write("a.wni", "[GENERAL]\r\nSERIESID=S1\r\nSERIALNUMBER=N1\r\nMODELNAME1=M1\r\nMODELNAME3=M3\r\n"
                   "TOOLMODE=WB_ADV2\r\nADV_PANELCOLOR=RGBY\r\n[LEVEL]\r\nData1=007\r\nData2=99999999999\r\n"
                   "Data3=\r\nData4=-12abc\r\nData5= +4\r\n");
    WbData d;
    d.seriesId = u"OLD";
    LoadDataFile(dir / "a.wni", d);
    EXPECT_EQ(U8(d.seriesId), "S1");
    EXPECT_EQ(U8(d.serialNumber), "N1");
    ASSERT_EQ(d.modelNames.size(), 1u);
    EXPECT_EQ(U8(d.modelNameText), "M1");
    EXPECT_EQ(d.Mode(), ToolMode::AdvancedVal);
    EXPECT_TRUE(d.HasYellow());
    // Anything but a plain number is kept as it is, for a write to refuse.
    EXPECT_EQ(Column6(d, Column::Level), (std::vector<std::string>{"7", "99999999999", "0", "-12abc", "+4", "0"}));
    EXPECT_EQ(Column6(d, Column::Val), (std::vector<std::string>{"0", "0", "0", "0", "0", "0"}));

    // A simple-mode file carries no series ID: it is not read, whatever the mode before.
    Write("s.wni", "[GENERAL]\r\nSERIESID=S2\r\nTOOLMODE=WB_SIM\r\nMODELNAME1=A\r\nMODELNAME2=B\r\n");
    LoadDataFile(dir / "s.wni", d);
    EXPECT_EQ(U8(d.seriesId), "S1");
    EXPECT_EQ(U8(d.modelNameText), "A/B");
    EXPECT_FALSE(d.HasYellow());

    LoadDataFile(dir / "missing.wni", d);
    EXPECT_EQ(d.Mode(), ToolMode::Default);
    EXPECT_EQ(U8(d.panelColor), "RGB");
    EXPECT_TRUE(d.modelNames.empty());
    EXPECT_EQ(Column6(d, Column::Level), (std::vector<std::string>{"0", "0", "0", "0", "0", "0"}));
}

TEST_F(CalbrinFiles, SaveWritesTheWindowsKeyOrderAndReplacesTheFile) {
    calbrin_test::DataSample sample;
    sample.mode = "WB_ADV2";
    sample.panel = "RGBY";
    sample.models = {"QM-X003", "QM-X005"};
    Write("in.wbd", calbrin_test::DataFileText(sample));
    WbData d;
    LoadDataFile(dir / "in.wbd", d);
    // Saving over a file with other keys leaves none of them.
    Write("out.wni", "[GENERAL]\r\nMODELNAME2=STALE\r\n[OTHER]\r\nx=1\r\n");
    ASSERT_TRUE(SaveDataFile(dir / "out.wni", d));
    std::string expected =
        "[GENERAL]\r\nSERIESID=00000000000000\r\nSERIALNUMBER=SN1\r\nMODELNAME1=QM-X003/QM-X005\r\n"
        "TOOLMODE=WB_ADV2\r\nADV_PANELCOLOR=RGBY\r\n";
    const char* sections[] = {"LEVEL", "RED GAIN", "GREEN GAIN", "BLUE GAIN", "YELLOW GAIN", "VAL GAIN"};
    for (int c = 0; c < 6; ++c) {
        expected += std::string("[") + sections[c] + "]\r\n";
        for (int r = 1; r <= 6; ++r)
            expected += "Data" + std::to_string(r) + "=" + std::to_string(calbrin_test::CellOf(sample, c, r)) + "\r\n";
    }
    EXPECT_EQ(Read("out.wni"), expected);

    // The same bytes as the INI layer writes key by key into a new file.
    const auto keyByKey = dir / "keys.wni";
    for (const auto& [section, key, value] : std::vector<std::array<std::u16string, 3>>{
             {u"GENERAL", u"SERIESID", u"00000000000000"}, {u"GENERAL", u"SERIALNUMBER", u"SN1"},
             {u"GENERAL", u"MODELNAME1", u"QM-X003/QM-X005"}, {u"GENERAL", u"TOOLMODE", u"WB_ADV2"},
             {u"GENERAL", u"ADV_PANELCOLOR", u"RGBY"}})
        ASSERT_TRUE(cmn::IniWriteStringW(keyByKey, section, key, value));
    for (Column c : kAllColumns)
        for (int r = 1; r <= 6; ++r)
            ASSERT_TRUE(cmn::IniWriteStringW(keyByKey, SectionName(c), u"Data" + std::u16string(1, u'0' + r),
                                             d.Cell(c, r)));
    EXPECT_EQ(Read("keys.wni"), expected);

    // Simple modes write no series ID; other modes no yellow or VAL section.
    d.toolMode = u"WB_SIM";
    ASSERT_TRUE(SaveDataFile(dir / "sim.wni", d));
    const std::string sim = Read("sim.wni");
    EXPECT_EQ(sim.rfind("[GENERAL]\r\nSERIALNUMBER=SN1\r\n", 0), 0u) << sim;
    EXPECT_EQ(sim.find("YELLOW"), std::string::npos);
    EXPECT_EQ(sim.find("VAL GAIN"), std::string::npos);

    // A text that would break the file refuses the save and leaves the file as it was.
    d.serialNumber = u"A\r\nTOOLMODE=X";
    EXPECT_FALSE(SaveDataFile(dir / "out.wni", d));
    EXPECT_EQ(Read("out.wni"), expected);
    EXPECT_FALSE(SaveDataFile(dir / "no-such-folder" / "x.wni", WbData{}));
}

TEST(CalbrinNames, ProposedNameFromIdentityAndLocalDate) {
    const std::time_t t = 1796681625;  // 2026-12-07 22:13:45 UTC
    {
        testsupport::ScopedTimeZone tz("UTC");
        WbData d;
        EXPECT_EQ(U8(ProposedFileName(d, t)), "NoMN_NoSN_20261207.wni");
        d.modelNameText = u"QM-X003/QM\\X005";
        d.serialNumber = u"../SN";
        EXPECT_EQ(U8(ProposedFileName(d, t)), "QM-X003_QM_X005_.._SN_20261207.wni");
    }
    testsupport::ScopedTimeZone tz("JST-9");
    EXPECT_EQ(U8(ProposedFileName(WbData{}, t)), "NoMN_NoSN_20261208.wni");
}
