#include "app/StartUp.h"

#include <string>
#include <vector>

#include "app/ModelIni.h"
#include "common/RecordingPrompt.h"

#include <testsupport/TempDir.h>

namespace {

using StartUpTest = testsupport::TempDirTest;
using Kind = StartUpDecision::Kind;

const std::vector<std::string> kComRun = {"SILENT",        "MODEL=QM-X001", "PATH=/tmp/out",
                                          "INTERFACE=COM", "PORT=COM3",     "RATE=9600"};

TEST(RemoveFileSpec, CutsAtTheLastSeparator) {
    struct Case {
        std::string in, out;
        bool result;
    } cases[] = {
        {"/opt/quendra/bin/QuendraReport", "/opt/quendra/bin", true},
        {"/opt/quendra/bin/", "/opt/quendra/bin", true},
        {"relative/prog", "relative", true},
        {"prog", "", true},
        {"/prog", "/", true},
        {"//prog", "/", true},
        {"", "", false},
        {"/", "/", false},
        {"//", "//", false},
    };
    for (const Case& c : cases) {
        std::string path = c.in;
        EXPECT_EQ(RemoveFileSpecFromPath(path), c.result) << c.in;
        EXPECT_EQ(path, c.out) << c.in;
    }
}

TEST_F(StartUpTest, ModelListAndFolderLookUp) {
    EXPECT_TRUE(ReadModelList(dir).empty());
    EXPECT_EQ(GetFolderName(dir, "QM-X001"), "");  // no model list
    Write("ModelName.csv",
          "QM-X001,QMX001,2\r\nQM-X002,\"QMX002\",0\r\nQM-X001,QMX001B,3\r\nqm-x003,QMX003\r\n\r\nQM-X004,"
          "QMX004,2\r\n");
    std::vector<stModelEntry> list = ReadModelList(dir);
    ASSERT_EQ(list.size(), 4u);  // the empty line ends the list
    EXPECT_EQ(list[1].m_strFolder, "QMX002");
    EXPECT_TRUE(list[0].LanDefault());
    EXPECT_FALSE(list[1].LanDefault());
    EXPECT_EQ(list[3].m_nFlags, 0);  // no third column

    EXPECT_EQ(GetFolderName(dir, "QM-X001"), "QMX001B");  // the last line wins
    EXPECT_EQ(GetFolderName(dir, "QM-X002"), "QMX002");
    EXPECT_EQ(GetFolderName(dir, "QM-X003"), "");  // case-sensitive
    EXPECT_EQ(GetFolderName(dir, "QM-X004"), "");  // after the empty line
    EXPECT_EQ(GetFolderName(dir, ""), "");
}

TEST_F(StartUpTest, ModelFeatures) {
    stModelFeatures f = ReadModelFeatures(dir / "none", true);
    EXPECT_FALSE(f.m_bMulti);
    EXPECT_TRUE(f.m_bLan);  // the default passed in
    EXPECT_TRUE(f.m_bRs232);
    EXPECT_FALSE(f.m_bBaudRate);
    EXPECT_EQ(f.m_nBaudIndex, 0);
    EXPECT_EQ(f.m_nTimeMode, 0);
    EXPECT_FALSE(ReadModelFeatures(dir / "none", false).m_bLan);

    Write("M/model.ini", "[Feature]\r\nMulti=1\r\nLAN=0\r\nRS232=0\r\nBaudRate=3\r\nTimeMode=1\r\n");
    f = ReadModelFeatures(dir / "M", true);
    EXPECT_TRUE(f.m_bMulti);
    EXPECT_FALSE(f.m_bLan);
    EXPECT_FALSE(f.m_bRs232);
    EXPECT_TRUE(f.m_bBaudRate);
    EXPECT_EQ(f.m_nBaudIndex, 2);
    EXPECT_EQ(f.m_nTimeMode, 1);

    Write("M/model.ini", "[Feature]\r\nLAN=5\r\nTimeMode=2\r\nBaudRate=-2147483648\r\n");
    f = ReadModelFeatures(dir / "M", false);
    EXPECT_TRUE(f.m_bLan);
    EXPECT_EQ(f.m_nTimeMode, 0);  // only 1 selects time mode 1
    EXPECT_TRUE(f.m_bBaudRate);
}

TEST_F(StartUpTest, Decisions) {
    Write("ModelName.csv", "QM-X001,QMX001,0\r\n");
    std::filesystem::create_directory(dir / "QMX001");

    StartUpDecision d = DecideStartUp({}, dir);
    EXPECT_EQ(d.m_kind, Kind::Interactive);
    EXPECT_EQ(DecideStartUp({"MODEL=QM-X001", "whatever"}, dir).m_kind, Kind::Interactive);

    d = DecideStartUp(kComRun, dir);
    ASSERT_EQ(d.m_kind, Kind::Unattended);
    EXPECT_EQ(d.m_strModel, "QM-X001");
    EXPECT_EQ(d.m_modelFolder, dir / "QMX001");
    EXPECT_TRUE(d.m_bLanDefault);  // whatever the model list's bit says
    EXPECT_TRUE(d.m_cmdLine.m_bCom);
    EXPECT_EQ(d.m_cmdLine.m_strPath, "/tmp/out");

    d = DecideStartUp({"MODEL=QM-X001", "SILENT"}, dir);
    EXPECT_EQ(d.m_kind, Kind::Message);
    EXPECT_EQ(d.m_strMessage, "Invalid option format.");
    EXPECT_EQ(d.m_nExitCode, 0);

    std::vector<std::string> unknown = kComRun;
    unknown[1] = "MODEL=QM-X999";
    d = DecideStartUp(unknown, dir);
    EXPECT_EQ(d.m_kind, Kind::Message);
    EXPECT_EQ(d.m_strMessage, "Invalid Model. Please check Model Name File (CSV).");
    EXPECT_EQ(d.m_nExitCode, 0);

    std::filesystem::remove(dir / "ModelName.csv");
    EXPECT_EQ(DecideStartUp(kComRun, dir).m_strMessage, "Invalid Model. Please check Model Name File (CSV).");
}

TEST_F(StartUpTest, FilesNamedWithAnotherCaseAreFound) {
    Write("modelname.CSV", "QM-X001,QMX001,2\r\n");
    std::filesystem::create_directory(dir / "qmx001");
    StartUpDecision d = DecideStartUp(kComRun, dir);
    ASSERT_EQ(d.m_kind, Kind::Unattended);
    EXPECT_EQ(d.m_modelFolder, dir / "qmx001");
}

TEST_F(StartUpTest, MessagesGoToThePromptAndOneLineToStandardError) {
    cmn::RecordingPrompt prompt;

    testing::internal::CaptureStderr();
    StartUpDecision d = RunStartUp({"SILENT", "MODEL=QM-X001"}, dir, prompt);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Invalid option format.\n");
    EXPECT_EQ(d.m_kind, Kind::Message);
    ASSERT_EQ(prompt.Entries().size(), 1u);
    EXPECT_EQ(prompt.Entries()[0].text, "Invalid option format.");
    EXPECT_EQ(prompt.Entries()[0].type & 0xF, cmn::MB_OK);

    prompt.Clear();
    testing::internal::CaptureStderr();
    RunStartUp(kComRun, dir, prompt);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Invalid Model. Please check Model Name File (CSV).\n");
    EXPECT_EQ(prompt.Texts(), std::vector<std::string>{"Invalid Model. Please check Model Name File (CSV)."});

    // Normal starts say nothing.
    prompt.Clear();
    testing::internal::CaptureStderr();
    EXPECT_EQ(RunStartUp(std::vector<std::string>{}, dir, prompt).m_kind, Kind::Interactive);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(prompt.Texts().empty());
}

}  // namespace
