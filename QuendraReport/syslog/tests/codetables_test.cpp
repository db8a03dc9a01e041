#include "syslog/CodeTables.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "syslog/LogListCtrl.h"

#include <testsupport/TempDir.h>

namespace fs = std::filesystem;

namespace {

const fs::path kSamples = QUENDRA_SAMPLES_DIR;

class CodeTablesTest : public testsupport::TempDirTest {
protected:
    void TearDown() override { LoadCodeTables(dir / "none"); }

    // A model folder whose every text starts with `tag`, with linked operation names.
    fs::path Model(const std::string& tag) {
        Write(tag + "/LogType.csv", "5\r\n1," + tag + "-Operation\r\n5," + tag + "-Dev\r\n");
        Write(tag + "/DeveloperInfoType.csv", "3\r\n1," + tag + "-Warn\r\n");
        Write(tag + "/OperationTypeLinkedFile.csv", "2\r\n1,ir.csv\r\n");
        Write(tag + "/ir.csv", "3\r\n1," + tag + "-Power\r\n");
        return dir / tag;
    }
};

TEST_F(CodeTablesTest, SizeFollowsTheFirstLine) {
    CStringTable t;
    Write("a.csv", "3,\r\n2,Two\r\n");
    EXPECT_EQ(LoadStringTable(dir, "a.csv", t), TableLoad::Loaded);
    EXPECT_EQ(t, (CStringTable{"", "", "Two", ""}));

    // N = 0, a negative N and an empty file load nothing and leave the table alone.
    for (const char* content : {"0\r\n0,Zero\r\n", "-4\r\n1,x\r\n", "", "\r\n1,x\r\n", "abc\r\n0,x\r\n"}) {
        Write("b.csv", content);
        CStringTable kept{"keep"};
        EXPECT_EQ(LoadStringTable(dir, "b.csv", kept), TableLoad::Refused) << content;
        EXPECT_EQ(kept, CStringTable{"keep"});
    }
    // Existing entries below the new size keep their text, those beyond it go.
    CStringTable old{"old0", "old1", "old2", "old3", "old4"};
    Write("r.csv", "2\r\n1,new1\r\n");
    EXPECT_EQ(LoadStringTable(dir, "r.csv", old), TableLoad::Loaded);
    EXPECT_EQ(old, (CStringTable{"old0", "new1", "old2"}));

    CStringTable untouched{"keep"};
    EXPECT_EQ(LoadStringTable(dir, "missing.csv", untouched), TableLoad::NoFile);
    EXPECT_EQ(untouched, CStringTable{"keep"});
}

TEST_F(CodeTablesTest, LinesInAnyOrderLaterWinsExtraFieldsIgnoredEmptyLineEnds) {
    CStringTable t;
    Write("o.csv", "4,ignored,too\r\n3,Three,extra\r\n0,\"Zero\"\r\n3,Again\r\n1\r\n\r\n2,After blank\r\n");
    EXPECT_EQ(LoadStringTable(dir, "o.csv", t), TableLoad::Loaded);
    EXPECT_EQ(t, (CStringTable{"Zero", "", "", "Again", ""}));
}

TEST_F(CodeTablesTest, BadIndexStopsThatFileAndKeepsEarlierLines) {
    for (const char* bad : {"5", "-1", "99999999999"}) {
        CStringTable t;
        Write("bad.csv", std::string("4\r\n0,Zero\r\n2,Two\r\n") + bad + ",Bad\r\n3,Three\r\n");
        EXPECT_EQ(LoadStringTable(dir, "bad.csv", t), TableLoad::BadIndex) << bad;
        EXPECT_EQ(t, (CStringTable{"Zero", "", "Two", "", ""})) << bad;
    }
}

TEST_F(CodeTablesTest, HugeHighestIndexIsRefused) {
    CStringTable t;
    Write("max.csv", "65535\r\n65535,Last\r\n");
    EXPECT_EQ(LoadStringTable(dir, "max.csv", t), TableLoad::Loaded);
    ASSERT_EQ(t.size(), 65536u);
    EXPECT_EQ(t.back(), "Last");

    for (const char* n : {"65536", "2147483647", "99999999999999999999"}) {
        CStringTable kept{"keep"};
        Write("huge.csv", std::string(n) + "\r\n1,x\r\n");
        EXPECT_EQ(LoadStringTable(dir, "huge.csv", kept), TableLoad::Refused) << n;
        EXPECT_EQ(kept, CStringTable{"keep"});
    }
}

TEST_F(CodeTablesTest, FileNameMatchedWithoutCase) {
    Write("inputname.CSV", "1\r\n1,HDMI\r\n");
    CStringTable t;
    EXPECT_EQ(LoadStringTable(dir, "InputName.csv", t), TableLoad::Loaded);
    EXPECT_EQ(LookupCode(t, 1), "HDMI");
}

TEST_F(CodeTablesTest, Lookup) {
    CStringTable t{"a", ""};
    EXPECT_EQ(LookupCode(t, 0), "a");
    EXPECT_EQ(LookupCode(t, 1), "");  // present but empty: the caller shows the empty text
    EXPECT_EQ(LookupCode(t, 2), std::nullopt);
    EXPECT_EQ(LookupCode(t, -1), std::nullopt);
    EXPECT_EQ(LookupCode(CStringTable{}, 0), std::nullopt);
}

TEST_F(CodeTablesTest, LoadAllFillsEachTableFromItsFileAndForgetsTheLastModel) {
    const char* files[] = {"OperationType.csv",        "EtcString.csv",        "LogType.csv",
                           "PowerOffReason.csv",       "InputName.csv",        "IrOperationName.csv",
                           "UartOperationName.csv",    "DdcOperationName.csv", "Abnormal.csv",
                           "DeveloperInformation.csv", "DeveloperInfoType.csv"};
    for (const char* f : files) Write(f, std::string("1\r\n1,") + f + "\r\n");
    CCodeTables tables;
    tables.LoadAll(dir);
    const CStringTable* expected[] = {
        &tables.m_aryOpTypeName,        &tables.m_aryResource,         &tables.m_aryLogKind,
        &tables.m_aryTblPoweroff,       &tables.m_aryInputName,        &tables.m_aryIrOperationName,
        &tables.m_aryUartOperationName, &tables.m_aryDdcOperationName, &tables.m_aryAbnormal,
        &tables.m_aryDevInfo,           &tables.m_aryDevInfoType};
    for (std::size_t i = 0; i < std::size(files); ++i) {
        EXPECT_EQ(LookupCode(*expected[i], 1), files[i]);
    }
    EXPECT_TRUE(tables.m_aryLinkedCsv.empty());
    EXPECT_EQ(tables.OperationName(4, 1), "IrOperationName.csv");
    EXPECT_EQ(tables.OperationName(14, 1), "UartOperationName.csv");
    EXPECT_EQ(tables.OperationName(3, 1), "DdcOperationName.csv");
    EXPECT_EQ(tables.OperationName(0, 1), std::nullopt);
    EXPECT_EQ(tables.OperationName(16, 1), std::nullopt);
    EXPECT_EQ(tables.OperationName(1, 2), std::nullopt);

    // A second model without files: nothing of the first one stays.
    fs::path other = dir / "other";
    fs::create_directory(other);
    tables.LoadAll(other);
    for (const CStringTable* t : expected) EXPECT_TRUE(t->empty());
}

TEST_F(CodeTablesTest, LinkedFilesAreIndependentOfLookupOrder) {
    Write(
        "OperationTypeLinkedFile.csv",
        "6\r\n1,ir.csv\r\n2,uart.csv\r\n3,missing.csv\r\n4,zero.csv\r\n5,../escape.csv\r\n6,sub/ir.csv\r\n");
    Write("ir.csv", "3\r\n0,Power\r\n3,Menu\r\n");
    Write("uart.csv", "1\r\n1,Volume\r\n");
    Write("zero.csv", "0\r\n0,Never\r\n");
    Write("IrOperationName.csv", "3\r\n1,not used with links\r\n");
    fs::create_directory(dir / "sub");
    Write("sub/ir.csv", "1\r\n1,Outside\r\n");

    auto names = [&](CCodeTables& t) {
        std::vector<std::optional<std::string>> out;
        for (int type = 0; type <= 8; ++type) {
            for (int code = 0; code <= 3; ++code) out.push_back(t.OperationName(type, code));
        }
        return out;
    };
    CCodeTables forward;
    forward.LoadAll(dir);
    auto a = names(forward);

    // A fresh set that first looks up type 2 code 1 then walks backwards.
    CCodeTables backward;
    backward.LoadAll(dir);
    EXPECT_EQ(backward.OperationName(2, 1), "Volume");
    std::vector<std::optional<std::string>> b(a.size());
    for (int type = 8; type >= 0; --type) {
        for (int code = 3; code >= 0; --code) b[type * 4 + code] = backward.OperationName(type, code);
    }
    EXPECT_EQ(a, b);

    EXPECT_EQ(forward.OperationName(1, 0), "Power");
    EXPECT_EQ(forward.OperationName(1, 3), "Menu");
    EXPECT_EQ(forward.OperationName(1, 1), "");
    // The UART file has no index 3 and must not inherit "Menu" from the IR file.
    EXPECT_EQ(forward.OperationName(2, 3), std::nullopt);
    EXPECT_EQ(forward.OperationName(2, 0), "");
    // Missing file, refused N, names outside the folder, types without a name: no table.
    for (int type : {0, 3, 4, 5, 6, 7}) {
        for (int code = 0; code <= 3; ++code) EXPECT_EQ(forward.OperationName(type, code), std::nullopt);
    }
    EXPECT_EQ(forward.LinkedTable(""), nullptr);
    EXPECT_EQ(forward.LinkedTable("."), nullptr);
    EXPECT_EQ(forward.LinkedTable(".."), nullptr);
    EXPECT_NE(forward.LinkedTable("uart.csv"), nullptr);
}

TEST_F(CodeTablesTest, PowerCheckCaption) {
    EXPECT_EQ(ReadPowerCheckCaption(dir), std::nullopt);
    Write("EtcString.csv", "17\r\n6,On\r\n5,Power change\r\n5,Second\r\n");
    EXPECT_EQ(ReadPowerCheckCaption(dir), "Power change");
    Write("EtcString.csv", "17\r\n6,On\r\n\r\n5,After blank\r\n");
    EXPECT_EQ(ReadPowerCheckCaption(dir), std::nullopt);
    Write("EtcString.csv", "0\r\n5,Ignored\r\n");
    EXPECT_EQ(ReadPowerCheckCaption(dir), std::nullopt);
}

TEST_F(CodeTablesTest, TablesOfTheSampleModels) {
    for (const char* model : {"QMX001", "QMY210"}) {
        const fs::path folder = kSamples / model;
        for (const char* f :
             {"OperationType.csv", "EtcString.csv", "LogType.csv", "PowerOffReason.csv", "InputName.csv",
              "IrOperationName.csv", "UartOperationName.csv", "DdcOperationName.csv", "Abnormal.csv",
              "DeveloperInformation.csv", "DeveloperInfoType.csv"}) {
            CStringTable t;
            EXPECT_EQ(LoadStringTable(folder, f, t), TableLoad::Loaded) << folder << " " << f;
        }
        // Every folder holds all twelve tables; the linked-file list may be empty (N = 0).
        EXPECT_TRUE(fs::is_regular_file(folder / "OperationTypeLinkedFile.csv")) << folder;
        EXPECT_EQ(ReadPowerCheckCaption(folder), "Power Change Reason");
    }

    CCodeTables x;
    x.LoadAll(kSamples / "QMX001");
    EXPECT_TRUE(x.m_aryLinkedCsv.empty());
    EXPECT_EQ(x.OperationName(1, 1), "Power On");
    EXPECT_EQ(x.OperationName(2, 0x101), "Brightness");
    EXPECT_EQ(LookupCode(x.m_aryResource, 6), " (Signal On)");
    EXPECT_EQ(LookupCode(x.m_aryLogKind, 5), "Developer Info");

    CCodeTables y;
    y.LoadAll(kSamples / "QMY210");
    ASSERT_FALSE(y.m_aryLinkedCsv.empty());
    EXPECT_EQ(y.OperationName(1, 1), "IR Power On");
    EXPECT_EQ(y.OperationName(4, 0x20), "Key Input Select");
    EXPECT_EQ(y.OperationName(13, 0x101), "Command Brightness");
    EXPECT_EQ(y.OperationName(3, 0x10), "VCP Brightness");
    EXPECT_EQ(y.OperationName(5, 1), std::nullopt);  // no linked file for type 5
}

TEST_F(CodeTablesTest, ProcessWideTablesHeldStayAsTheyWere) {
    EXPECT_TRUE(CodeTables()->m_aryLogKind.empty());
    LoadCodeTables(Model("A"));
    const std::shared_ptr<const CCodeTables> held = CodeTables();
    EXPECT_EQ(held, CodeTables());  // one set until the next load
    const std::shared_ptr<const CStringTable> linked = held->LinkedTable("ir.csv");
    ASSERT_NE(linked, nullptr);

    LoadCodeTables(Model("B"));
    EXPECT_EQ(LookupCode(CodeTables()->m_aryLogKind, 1), "B-Operation");
    EXPECT_EQ(CodeTables()->OperationName(1, 1), "B-Power");
    // What was handed out before the load is whole and unchanged.
    EXPECT_EQ(LookupCode(held->m_aryLogKind, 1), "A-Operation");
    EXPECT_EQ(held->OperationName(1, 1), "A-Power");
    EXPECT_EQ(LookupCode(*linked, 1), "A-Power");
}

// One thread switches the process-wide tables between two models while others
// look texts up through them and through a list. Every text a reader gets
// must come whole from one model (in the sanitizer build, any read of freed
// or moving memory fails the run).
TEST_F(CodeTablesTest, LoadsWhileOtherThreadsLookUp) {
    const fs::path a = Model("A");
    const fs::path b = Model("B");
    LoadCodeTables(a);
    std::atomic<bool> done{false};
    std::atomic<int> mixed{0};
    std::atomic<long> lookups{0};

    auto reader = [&] {
        CLogListCtrl list;
        stLogItem dev;
        dev.nKind = LOG_KIND_DEVINFO;
        dev.nDevInfoType = 1;
        std::string kind;
        while (!done.load()) {
            const std::shared_ptr<const CCodeTables> tables = CodeTables();
            const std::string tag = LookupCode(tables->m_aryLogKind, 1).value_or("?").substr(0, 1);
            if (tables->OperationName(1, 1) != tag + "-Power") ++mixed;
            if (LookupCode(tables->m_aryDevInfoType, 1) != tag + "-Warn") ++mixed;
            list.LoadLogKindString(dev, kind);
            if (kind != "A-Dev(A-Warn)" && kind != "B-Dev(B-Warn)") ++mixed;
            ++lookups;
        }
    };
    // Waits (at most ten seconds) until the readers have done `count` look-ups.
    auto waitForLookups = [&](long count) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (lookups.load() < count && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
    };
    std::thread r1(reader), r2(reader);
    waitForLookups(1);  // the loads start while the readers are at work
    for (int i = 0; i < 300; ++i) LoadCodeTables(i % 2 ? a : b);
    waitForLookups(lookups.load() + 2);
    done = true;
    r1.join();
    r2.join();
    EXPECT_EQ(mixed.load(), 0);
}

}  // namespace
