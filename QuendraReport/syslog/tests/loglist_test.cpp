// The log list: rows, filter, sorting, texts and their fallbacks, time modes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "common/timeutil.h"
#include "logimage/LogImage.h"
#include "syslog/CodeTables.h"
#include "syslog/LogListCtrl.h"
#include "syslog/QuendraLog.h"

#include <testsupport/TempDir.h>
#include <testsupport/TimeZone.h>

namespace fs = std::filesystem;
using logimage::LogDescription;
using logimage::Record;

namespace {

// Display seconds of a local date (the test's TZ is UTC).
std::uint32_t Lap(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    return static_cast<std::uint32_t>(cmn::TimeToDisplay(cmn::LocalTime(y, mo, d, h, mi, s)));
}

class LogListTest : public testsupport::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        m_model = dir / "model";
        fs::create_directories(m_model);
    }
    void TearDown() override { LoadCodeTables(dir / "none"); }
    void Table(const std::string& name, const std::string& text) { Write(fs::path("model") / name, text); }
    // Decodes the block built from `d` into m_log.
    void Load(const LogDescription& d) {
        m_log = std::make_unique<CQuendraLog>(dir);
        const logimage::Bytes b = logimage::BuildLog(d);
        m_log->SetLogData(b.data(), b.size());
        ASSERT_EQ(m_log->ParseLogData(m_log->m_pData.data(), m_log->m_nDataSize), 1);
        m_log->m_bValid = 1;
        m_log->CreateList();
    }
    std::vector<int> Ids() const {
        std::vector<int> ids;
        for (const stLogRow& r : m_list.Rows()) ids.push_back(r.nItemData + 1);
        return ids;
    }
    std::vector<std::string> Column(int c) const {
        std::vector<std::string> out;
        for (const stLogRow& r : m_list.Rows()) out.emplace_back(r.aText[static_cast<std::size_t>(c)]);
        return out;
    }

    fs::path m_model;
    std::unique_ptr<CQuendraLog> m_log;
    CLogListCtrl m_list;
};

// One record of every class, in list order:
//  1 op type 0, 2 op type 1, 3 op type 2, 4 op type 3, 5 op type 4, 6 op type 5,
//  7 op type 14, 8 op type 15, 9 signal, 10 power, 11 abnormal, 12 dev info, 13 kind 9.
LogDescription EveryClass() {
    LogDescription d;
    auto& g = d.groups[0];
    unsigned lap = 1000;
    for (unsigned type : {0u, 1u, 2u, 3u, 4u, 5u, 14u, 15u}) g.push_back(Record::Operation(lap++, 1, type, 7, 1, 2));
    g.push_back(Record::Signal(lap++, 2, 1, 1920, 1080, 60));
    g.push_back(Record::Power(lap++, 6));
    g.push_back(Record::Abnormal(lap++, 3, 4, 500, 9));
    g.push_back(Record::DevInfo(lap++, 2, 10, 1, 2));
    g.push_back(Record::Raw(9, {0, 0, 0, 0, 0, 0, 0, 0, 0}));
    return d;
}

}  // namespace

TEST_F(LogListTest, FilterBitsSelectClassesAndIdsKeepTheirNumbers) {
    testsupport::ScopedTimeZone tz("UTC");
    Load(EveryClass());
    m_list.Initialize(m_model.string());
    m_list.RefreshList(m_log.get());
    EXPECT_EQ(Ids(), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}));

    // Records without a filter bit are always shown.
    m_list.SetFilter(0);
    EXPECT_EQ(Ids(), (std::vector<int>{1, 8, 12, 13}));
    EXPECT_EQ(Column(LOG_COL_ID), (std::vector<std::string>{"001", "008", "012", "013"}));

    const std::pair<std::uint32_t, std::vector<int>> cases[] = {
        {LOG_FILTER_IR, {1, 2, 8, 12, 13}},
        {LOG_FILTER_COMMAND, {1, 3, 6, 7, 8, 12, 13}},
        {LOG_FILTER_DDC, {1, 4, 8, 12, 13}},
        {LOG_FILTER_OTHER_OP, {1, 5, 8, 12, 13}},
        {LOG_FILTER_SIGNAL, {1, 8, 9, 12, 13}},
        {LOG_FILTER_ABNORMAL, {1, 8, 11, 12, 13}},
        {LOG_FILTER_POWER, {1, 8, 10, 12, 13}},
    };
    for (const auto& [bits, ids] : cases) {
        m_list.SetFilter(bits);
        EXPECT_EQ(m_list.GetFilter(), bits);
        EXPECT_EQ(Ids(), ids) << "filter " << bits;
    }
}

TEST_F(LogListTest, RowImagesColoursAndPowerOnLine) {
    testsupport::ScopedTimeZone tz("UTC");
    LogDescription d = EveryClass();
    d.groups[1] = {Record::Operation(1, 0, 1, 0, 0, 0)};
    d.groups[2] = {Record::Abnormal(2, 0, 1, 0, 0), Record::Signal(3, 0, 0, 0, 0, 0)};
    d.groups[3] = {Record::Power(4, 5)};
    Load(d);
    m_list.Initialize(m_model.string());
    m_list.RefreshList(m_log.get());
    const auto& rows = m_list.Rows();
    ASSERT_EQ(rows.size(), 17u);
    const int image2[] = {4, 2, 3, 3, 4, 3, 3, 4, 5, 6, 1, 7, 0};
    for (int i = 0; i < 13; ++i) {
        EXPECT_EQ(rows[i].nImage2, image2[i]) << "row " << i;
        EXPECT_EQ(rows[i].nImage0, i == 10 ? 1 : 0) << "row " << i;
        EXPECT_EQ(rows[i].crBack, i == 10 ? (stRgb{255, 0, 0}) : (stRgb{255, 255, 255})) << "row " << i;
        EXPECT_FALSE(rows[i].bPowerOnLine);  // time mode 0
    }
    EXPECT_EQ(rows[13].crBack, (stRgb{192, 255, 255}));
    EXPECT_TRUE(rows[14].bAbnormal);  // abnormal in group 2 is red whatever its group
    EXPECT_EQ(rows[14].crBack, (stRgb{255, 0, 0}));
    EXPECT_EQ(rows[15].crBack, (stRgb{255, 192, 255}));
    EXPECT_EQ(rows[16].crBack, (stRgb{255, 255, 192}));

    // Time mode 1: only a power record with reason 6 carries the separator.
    m_list.m_bTimeMode = 1;
    m_list.RefreshList(m_log.get());
    for (const stLogRow& r : m_list.Rows()) EXPECT_EQ(r.bPowerOnLine, r.nItemData == 9) << r.nItemData;
}

TEST_F(LogListTest, DateColumnNewestFirstThenOldestWith64BitTimes) {
    testsupport::ScopedTimeZone tz("UTC");
    LogDescription d;
    // Lap times more than 2^31 seconds apart, and two equal times.
    d.groups[0] = {Record::Power(10, 1), Record::Power(0xFFFFFF00u, 2), Record::Power(500, 3),
                   Record::Power(500, 4), Record::Power(0x80000000u, 5)};
    Load(d);
    m_list.Initialize(m_model.string());
    m_list.RefreshList(m_log.get());
    EXPECT_EQ(Ids(), (std::vector<int>{1, 2, 3, 4, 5}));

    m_list.OnColumnClick(LOG_COL_DATE);  // newest first, equal times in ID order
    EXPECT_EQ(m_list.m_nSortColumn, LOG_COL_DATE);
    EXPECT_EQ(m_list.m_bSortAscending, 1);
    EXPECT_EQ(Ids(), (std::vector<int>{2, 5, 3, 4, 1}));
    m_list.OnColumnClick(LOG_COL_DATE);  // reversed: oldest first
    EXPECT_EQ(m_list.m_bSortAscending, 0);
    EXPECT_EQ(Ids(), (std::vector<int>{1, 4, 3, 5, 2}));
    m_list.OnColumnClick(LOG_COL_ID);  // another column sorts ascending
    EXPECT_EQ(m_list.m_bSortAscending, 1);
    EXPECT_EQ(Ids(), (std::vector<int>{1, 2, 3, 4, 5}));
    m_list.OnColumnClick(LOG_COL_ID);
    EXPECT_EQ(Ids(), (std::vector<int>{5, 4, 3, 2, 1}));

    // A refresh keeps the current sort.
    m_list.SortRows(LOG_COL_DATE, true);
    m_list.RefreshList(m_log.get());
    EXPECT_EQ(Ids(), (std::vector<int>{2, 5, 3, 4, 1}));
}

TEST_F(LogListTest, TextParameterAndInputColumnsSortStablyBothWays) {
    testsupport::ScopedTimeZone tz("UTC");
    Table("InputName.csv", "3,x\n0,Zeta\n1,\x81\x40wide\n2,Alpha\n");
    Table("LogType.csv", "5,x\n3,Power\n4,Abnormal\n");
    LogDescription d;
    d.groups[0] = {Record::Abnormal(1, 1, 1, 5, 0), Record::Power(2, 1),     Record::Abnormal(3, 0, 1, 7, 0),
                   Record::Abnormal(4, 2, 1, 5, 0), Record::Power(5, 1),     Record::Abnormal(6, 1, 1, 3, 0)};
    Load(d);
    m_list.Initialize(m_model.string());
    m_list.RefreshList(m_log.get());

    // Kind texts compare as bytes; equal texts keep ID order in both directions.
    m_list.SortRows(LOG_COL_KIND, true);
    EXPECT_EQ(Ids(), (std::vector<int>{1, 3, 4, 6, 2, 5}));
    m_list.SortRows(LOG_COL_KIND, false);
    EXPECT_EQ(Ids(), (std::vector<int>{2, 5, 1, 3, 4, 6}));

    // Input numbers: power records have input -1.
    m_list.SortRows(LOG_COL_INPUT, true);
    EXPECT_EQ(Ids(), (std::vector<int>{2, 5, 3, 1, 6, 4}));

    // Parameter 1: records without one sort first.
    m_list.SortRows(LOG_COL_PARAM1, true);
    EXPECT_EQ(Ids(), (std::vector<int>{2, 5, 6, 1, 4, 3}));
    m_list.SortRows(LOG_COL_PARAM1, false);
    EXPECT_EQ(Ids(), (std::vector<int>{3, 1, 4, 6, 2, 5}));

    // An unknown column compares equal: list order.
    m_list.SortRows(42, true);
    EXPECT_EQ(Ids(), (std::vector<int>{1, 2, 3, 4, 5, 6}));

    // A byte of 0x81 sorts after ASCII letters (unsigned comparison).
    Table("LogType.csv", "5,x\n2,\x81\x40Sig\n3,Power\n4,Abnormal\n");
    d.groups[0] = {Record::Signal(1, 1, 0, 1, 1, 1), Record::Power(2, 1), Record::Abnormal(3, 0, 1, 0, 0)};
    Load(d);
    m_list.Initialize(m_model.string());
    m_list.RefreshList(m_log.get());
    m_list.SortRows(LOG_COL_KIND, true);
    EXPECT_EQ(Ids(), (std::vector<int>{3, 2, 1}));
    m_list.m_nSortColumn = LOG_COL_INFO;
    EXPECT_EQ(CLogListCtrl::SortCompareFunc(0, 0, reinterpret_cast<std::intptr_t>(&m_list)), 0);
}

TEST_F(LogListTest, SortCompareWithoutLogOrRecordsIsEqual) {
    CLogListCtrl list;
    list.m_nSortColumn = LOG_COL_DATE;
    EXPECT_EQ(CLogListCtrl::SortCompareFunc(0, 1, reinterpret_cast<std::intptr_t>(&list)), 0);
    EXPECT_EQ(CLogListCtrl::SortCompareFunc(0, 1, 0), 0);
}

TEST_F(LogListTest, FallbackTextsForMissingAndEmptyEntries) {
    testsupport::ScopedTimeZone tz("UTC");
    // Tables with holes: entries without text and tables that end early.
    Table("OperationType.csv", "6,x\n1,Remote\n5,\n");
    Table("LogType.csv", "5,x\n2,Signal\n5,Dev\n");
    Table("DeveloperInfoType.csv", "2,x\n1,Warn\n");
    Table("InputName.csv", "2,x\n1,HDMI\n");
    Table("EtcString.csv", "17,x\n6,\" (On)\"\n8,\n");
    Table("IrOperationName.csv", "3,x\n2,Power\n");
    Table("PowerOffReason.csv", "3,x\n1,\n");
    Table("Abnormal.csv", "1,x\n1,Fan\n");
    Table("DeveloperInformation.csv", "1,x\n0,Boot\n");
    LogDescription d;
    d.groups[0] = {
        Record::Operation(1, 1, 1, 2, 0, 0),   // 1: names found
        Record::Operation(1, 5, 5, 2, 0, 0),   // 2: empty type entry, code beyond table, input beyond table
        Record::Operation(1, 1, 12, 9, 0, 0),  // 3: type beyond the table
        Record::Signal(1, 1, 1, 0, 0, 0),      // 4: status 1 label, resolution 0x0@0 with empty entry 8
        Record::Signal(1, 1, 2, 1, 2, 3),      // 5: status 2: entry 16 empty
        Record::Power(1, 1),                   // 6: empty reason entry
        Record::Power(1, 200),                 // 7: reason beyond the table
        Record::Abnormal(1, 1, 1, 0, 0),       // 8: found
        Record::Abnormal(1, 1, 9, 0, 0),       // 9: beyond
        Record::DevInfo(1, 1, 0, 0, 0),        // 10: type and id found
        Record::DevInfo(1, 2, 7, 0, 0),        // 11: type entry empty (within the table), id beyond
        Record::Raw(7, {}),                    // 12: unknown kind
    };
    Load(d);
    m_list.Initialize(m_model.string());
    m_list.RefreshList(m_log.get());
    EXPECT_EQ(Column(LOG_COL_KIND), (std::vector<std::string>{"Remote", "1(5)", "1(12)", "Signal", "Signal", "3",
                                                              "3", "4", "4", "Dev(Warn)", "Dev()", "7"}));
    EXPECT_EQ(Column(LOG_COL_INPUT),
              (std::vector<std::string>{"HDMI", "5", "HDMI", "HDMI (On)", "HDMI (2)", "", "", "HDMI", "HDMI", "", "",
                                        "0"}));
    EXPECT_EQ(Column(LOG_COL_INFO), (std::vector<std::string>{"Power", "2", "9", "", "1x2@3", "1", "200", "Fan", "9",
                                                              "Boot", "7", ""}));
    EXPECT_EQ(Column(LOG_COL_PARAM1)[0], "0");
    EXPECT_EQ(Column(LOG_COL_PARAM2)[0], "0");
    EXPECT_EQ(Column(LOG_COL_PARAM1)[3], "");  // signal records have no parameters

    // An EtcString table that does not reach entry 8 leaves the resolution.
    Table("EtcString.csv", "7,x\n6,\" (On)\"\n");
    m_list.Initialize(m_model.string());
    m_list.RefreshList(m_log.get());
    EXPECT_EQ(Column(LOG_COL_INFO)[3], "0x0@0");
    // With a text in entry 8 the resolution, whatever its case, is replaced.
    Table("EtcString.csv", "8,x\n8,No Signal\n");
    m_list.Initialize(m_model.string());
    stLogItem item;
    item.nKind = LOG_KIND_SIGNAL;
    item.strText = "0X0@0";
    std::string text;
    m_list.LoadLogInfoString(item, text);
    EXPECT_EQ(text, "No Signal");

    // No tables at all: every text is a number.
    m_list.Initialize((dir / "missing").string());
    m_list.RefreshList(m_log.get());
    EXPECT_EQ(Column(LOG_COL_KIND)[0], "1(1)");
    EXPECT_EQ(Column(LOG_COL_KIND)[9], "5");
    EXPECT_EQ(Column(LOG_COL_INPUT)[3], "1 (1)");
    EXPECT_EQ(Column(LOG_COL_INFO)[0], "2");

    // Without a kind text, a type within the type table stands alone in its
    // parentheses ("(Warn)", also "()" for an empty type entry); the kind
    // number is shown only when the text is still empty, as for a type beyond
    // the table.
    Table("LogType.csv", "5,x\n2,Signal\n");
    Table("DeveloperInfoType.csv", "2,x\n1,Warn\n");
    m_list.Initialize(m_model.string());
    stLogItem dev;
    dev.nKind = LOG_KIND_DEVINFO;
    dev.nDevInfoType = 3;
    std::string kind;
    m_list.LoadLogKindString(dev, kind);
    EXPECT_EQ(kind, "5");
    dev.nDevInfoType = 1;
    m_list.LoadLogKindString(dev, kind);
    EXPECT_EQ(kind, "(Warn)");
    m_list.RefreshList(m_log.get());
    EXPECT_EQ(Column(LOG_COL_KIND)[9], "(Warn)");
    EXPECT_EQ(Column(LOG_COL_KIND)[10], "()");
}

TEST_F(LogListTest, LinkedOperationNameFilesPerType) {
    testsupport::ScopedTimeZone tz("UTC");
    Table("OperationTypeLinkedFile.csv", "4,x\n1,Ir.csv\n2,Missing.csv\n3,../escape.csv\n");
    Table("Ir.csv", "3,x\n3,Volume\n");
    Table("IrOperationName.csv", "3,x\n3,NotUsed\n");
    Table("UartOperationName.csv", "3,x\n3,NotUsed\n");
    LogDescription d;
    d.groups[0] = {Record::Operation(1, 0, 1, 3, 0, 0), Record::Operation(1, 0, 2, 3, 0, 0),
                   Record::Operation(1, 0, 3, 3, 0, 0), Record::Operation(1, 0, 10, 3, 0, 0)};
    Load(d);
    m_list.Initialize(m_model.string());
    m_list.RefreshList(m_log.get());
    EXPECT_EQ(Column(LOG_COL_INFO), (std::vector<std::string>{"Volume", "3", "3", "3"}));
}

TEST_F(LogListTest, TimeModesCompensationAndHeader) {
    testsupport::ScopedTimeZone tz("UTC");
    LogDescription d;
    d.clock = {25, 1, 1, 0, 0, 0};
    d.groups[0] = {Record::Power(Lap(2013, 1, 3, 4, 5, 6), 6), Record::Power(Lap(2012, 12, 31, 0, 0, 0), 1)};
    Load(d);
    m_list.Initialize(m_model.string());
    m_list.RefreshList(m_log.get());
    EXPECT_EQ(m_list.ColumnHeader(LOG_COL_DATE), "Date");
    EXPECT_EQ(Column(LOG_COL_DATE), (std::vector<std::string>{"2013/01/03 04:05:06", "2012/12/31 00:00:00"}));

    m_list.m_bTimeMode = 1;
    m_list.UpdateColumn();
    m_list.RefreshList(m_log.get());
    EXPECT_EQ(m_list.ColumnHeader(LOG_COL_DATE), "Time elapsed from Power Supply");
    EXPECT_EQ(Column(LOG_COL_DATE), (std::vector<std::string>{"2day 04:05:06", "-1day 00:00:00"}));

    // The PC clock runs 1 hour 30 seconds ahead of the display clock.
    m_log->m_strPcTime = "250101010030";
    m_list.m_bTimeCompensation = 1;
    m_list.UpdateColumn();
    m_list.RefreshList(m_log.get());
    EXPECT_EQ(m_list.ColumnHeader(LOG_COL_DATE), "Date");
    EXPECT_EQ(Column(LOG_COL_DATE), (std::vector<std::string>{"2013/01/03 05:05:36", "2012/12/31 01:00:30"}));

    m_list.m_bTimeMode = 0;
    m_list.RefreshList(m_log.get());
    EXPECT_EQ(Column(LOG_COL_DATE)[0], "2013/01/03 05:05:36");
    // Other modes show no time.
    m_list.m_bTimeMode = 2;
    m_list.RefreshList(m_log.get());
    EXPECT_EQ(Column(LOG_COL_DATE)[0], "");
}

TEST_F(LogListTest, RefreshWithoutLogOrDataAndRowsOwnTheirData) {
    testsupport::ScopedTimeZone tz("UTC");
    Load(EveryClass());
    m_list.Initialize(m_model.string());
    m_list.RefreshList(nullptr);
    EXPECT_TRUE(m_list.Rows().empty());
    EXPECT_EQ(m_list.GetLog(), nullptr);

    m_list.RefreshList(m_log.get());
    ASSERT_EQ(m_list.Rows().size(), 13u);
    // The log changes under the view: its rows and sorting still work from their copies.
    m_log->m_listLog.clear();
    m_log->m_strModel = "changed";
    m_list.OnColumnClick(LOG_COL_KIND);
    EXPECT_EQ(m_list.Rows().size(), 13u);
    m_list.OnColumnClick(LOG_COL_DATE);
    EXPECT_EQ(m_list.Rows().front().nItemData, 11);  // the newest record

    // A null log empties the view and keeps the current log.
    m_list.RefreshList(nullptr);
    EXPECT_TRUE(m_list.Rows().empty());
    EXPECT_EQ(m_list.GetLog(), m_log.get());

    m_log->m_bValid = 0;
    m_list.RefreshList(m_log.get());
    EXPECT_TRUE(m_list.Rows().empty());
}

TEST(LogListStatic, FilterDialogRuleAndDate2Time) {
    EXPECT_EQ(CLogListCtrl::FilterFromChecks(true, true, true, true, true, true), 0x7Fu);
    EXPECT_EQ(CLogListCtrl::FilterFromChecks(false, false, true, false, false, false), 0x44u);
    EXPECT_EQ(CLogListCtrl::FilterFromChecks(false, false, false, false, false, false), 0u);
    EXPECT_EQ(CLogListCtrl::FilterFromChecks(true, false, false, true, false, true), 0x29u);
    // Opening with 0x04 alone leaves the "other operation" box clear; OK then drops 0x04.
    const CLogListCtrl::stFilterChecks c = CLogListCtrl::ChecksFromFilter(0x04 | 0x08 | 0x80);
    EXPECT_FALSE(c.otherOperation);
    EXPECT_TRUE(c.signal);
    EXPECT_EQ(CLogListCtrl::FilterFromChecks(c.irKey, c.command, c.otherOperation, c.signal, c.abnormal, c.power),
              0x08u);
    EXPECT_TRUE(CLogListCtrl::ChecksFromFilter(0x40).otherOperation);

    testsupport::ScopedTimeZone tz("UTC");
    std::time_t t = 77;
    EXPECT_EQ(CLogListCtrl::Date2Time(t, "1302030405"), 1);
    EXPECT_EQ(t, 1359864300);  // 2013-02-03 04:05:00 UTC
    EXPECT_EQ(CLogListCtrl::Date2Time(t, "130203040599"), 1);  // seconds are not read
    EXPECT_EQ(t, 1359864300);
    t = 77;
    for (const char* bad : {"1300030405", "1302000405", "13020304a5", "130203040", ""}) {
        EXPECT_EQ(CLogListCtrl::Date2Time(t, bad), 0) << bad;
        EXPECT_EQ(t, 77);
    }
}
