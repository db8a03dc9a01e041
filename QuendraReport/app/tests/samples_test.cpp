// The sample installation is what a user runs first: every listed model must
// resolve to a folder whose tables load.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "app/ModelIni.h"
#include "app/StartUp.h"
#include "syslog/CodeTables.h"

namespace fs = std::filesystem;

namespace {

const fs::path kSamples = fs::path(__FILE__).parent_path() / ".." / ".." / ".." / "samples";

TEST(Samples, EveryCsvAndIniFileHasCrLfLineEnds) {
    int files = 0;
    for (const auto& e : fs::recursive_directory_iterator(kSamples)) {
        std::string ext = e.path().extension().string();
        if (ext != ".csv" && ext != ".ini") continue;
        ++files;
        std::ifstream in(e.path(), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ASSERT_FALSE(bytes.empty()) << e.path();
        EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n") << e.path();
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            if (bytes[i] == '\n') {
                ASSERT_TRUE(i > 0 && bytes[i - 1] == '\r') << e.path() << " byte " << i;
            }
        }
    }
    EXPECT_GE(files, 27);
}

TEST(Samples, ModelsResolveAndTheirTablesLoad) {
    std::vector<stModelEntry> models = ReadModelList(kSamples);
    ASSERT_GE(models.size(), 2u);
    bool lanOn = false, lanOff = false;
    for (const stModelEntry& m : models) {
        (m.LanDefault() ? lanOn : lanOff) = true;
        const fs::path folder = kSamples / GetFolderName(kSamples, m.m_strName);
        ASSERT_TRUE(fs::is_directory(folder)) << m.m_strName;
        EXPECT_TRUE(fs::exists(folder / "model.ini"));
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
    EXPECT_TRUE(lanOn && lanOff);

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

    EXPECT_TRUE(ReadModelFeatures(kSamples / "QMX001", true).m_bMulti);
    EXPECT_EQ(ReadModelFeatures(kSamples / "QMY210", false).m_nTimeMode, 1);
}

}  // namespace
