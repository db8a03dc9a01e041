// The frame's commands against the recording link, with a headless window
// and a recording prompt: files, names, messages and outcomes.
#include "acquire/Commands.h"

#include <gtest/gtest.h>
#include <testsupport/TempDir.h>
#include <unistd.h>
#include <zip.h>

#include <chrono>
#include <functional>
#include <map>
#include <thread>

#include "FakeRun.h"
#include "acquire/HeadlessFrameUi.h"
#include "acquire/Transfer.h"
#include "acquire/WorkFolder.h"
#include "app/StartUp.h"
#include "common/RecordingPrompt.h"
#include "link/Ports.h"
#include "link/RecordingDisplayLink.h"

using namespace acqtest;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> ZipEntries(const fs::path& archive, std::vector<std::string>* contents = nullptr) {
    std::vector<std::string> names;
    int err = 0;
    zip_t* za = zip_open(archive.c_str(), ZIP_RDONLY, &err);
    if (za == nullptr) return names;
    for (zip_int64_t i = 0; i < zip_get_num_entries(za, 0); ++i) {
        names.push_back(zip_get_name(za, static_cast<zip_uint64_t>(i), 0));
        if (contents) {
            zip_stat_t st;
            zip_stat_index(za, static_cast<zip_uint64_t>(i), 0, &st);
            std::string bytes(static_cast<std::size_t>(st.size), '\0');
            zip_file_t* f = zip_fopen_index(za, static_cast<zip_uint64_t>(i), 0);
            zip_fread(f, bytes.data(), st.size);
            zip_fclose(f);
            contents->push_back(bytes);
        }
    }
    zip_close(za);
    return names;
}

// Counts what the window is told to show.
struct ObservingUi : acq::HeadlessFrameUi {
    int shown = 0;
    bool compensationEnabled = true, compensationChecked = true;
    void ShowLogState(const acq::stLogState&, const CLogListCtrl&, const CTempLogCtrl&) override { ++shown; }
    void SetCompensationItem(bool enabled, bool checked) override {
        compensationEnabled = enabled;
        compensationChecked = checked;
    }
};

class CommandsTest : public testsupport::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        // A program folder of our own: File1/File2 and the settings live there.
        fs::copy(SamplesDir(), dir / "prog", fs::copy_options::recursive);
        fs::create_directories(dir / "out");
        link.logImage = SampleLog();
        ui.ports = qlink::SerialChoice(kPort, 9600, 0);
        ui.folder = dir / "out";
        setup = acq::MakeFrameSetup(dir / "prog", "QM-X001", dir / "prog" / "QMX001", true);
        setup.workFolder = dir / "work" / "temp";
        fs::create_directories(dir / "work");
        frame = std::make_unique<acq::CReportFrame>(setup, ui, link);
    }
    std::vector<std::string> Files(const fs::path& folder) {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    CMyCommandLine SilentLine() {
        CMyCommandLine cmd;
        EXPECT_EQ((cmd.ParseArguments({"SILENT", "MODEL=QM-X001", "PATH=" + (dir / "out").string(),
                                       "INTERFACE=COM", "PORT=COM1", "RATE=9600"})),
                  CMyCommandLine::Result::Silent);
        return cmd;
    }

    qlink::RecordingDisplayLink link;
    ObservingUi ui;
    cmn::RecordingPrompt prompt;
    cmn::ScopedPrompt scoped{prompt};
    acq::stFrameSetup setup;
    std::unique_ptr<acq::CReportFrame> frame;
};

TEST_F(CommandsTest, GetAllWritesTheReportAndTheDumpUnderTheirNames) {
    ASSERT_EQ(frame->OnGetAll(), acq::kExitOk);
    const std::string report = frame->GetReportName();
    EXPECT_EQ(report, frame->Log().m_strModel + "_" + frame->Log().m_strSerial + ".dat");
    EXPECT_EQ(Files(dir / "out"), (std::vector<std::string>{acq::kNvramDumpName, report}));
    const std::string dat = Read("out/" + report);
    EXPECT_EQ(std::vector<std::uint8_t>(dat.begin(), dat.end()), link.logImage);
    EXPECT_EQ(prompt.Texts(), (std::vector<std::string>{acq::kMsgComplete}));
    EXPECT_EQ(frame->WrittenFiles().size(), 2u);
    EXPECT_FALSE(frame->List().Rows().empty());
    const auto& runs = ui.Runs();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].strSuffix, " 1/2");
    EXPECT_EQ(runs[1].strSuffix, " 2/2");
}

// A log step that fails: an image that arrived is still saved (raw, for
// analysis); one that did not leaves no file, never an older log's.
TEST_F(CommandsTest, GetAllWhoseLogStepFails) {
    ASSERT_EQ(frame->OnGetAll(), acq::kExitOk);
    fs::remove_all(dir / "out");
    fs::create_directories(dir / "out");
    prompt.Clear();

    link.Fail(Dk("41 " + Le4(1024, 1024)));
    EXPECT_EQ(frame->OnGetAll(), acq::kExitComm);
    EXPECT_TRUE(Files(dir / "out").empty());
    EXPECT_EQ(prompt.Texts(), (std::vector<std::string>{acq::kMsgCommFailed}));
    EXPECT_TRUE(frame->List().Rows().empty());

    // An image that does not decode: saved under the selected model's name.
    qlink::RecordingDisplayLink garbled;
    garbled.logImage.assign(1500, 0x11);
    acq::CReportFrame other(setup, ui, garbled);
    prompt.Clear();
    EXPECT_EQ(other.OnGetAll(), acq::kExitComm);
    EXPECT_EQ(Files(dir / "out"), (std::vector<std::string>{"QM-X001_.dat"}));
    EXPECT_EQ(Read("out/QM-X001_.dat"), std::string(1500, 0x11));
    ASSERT_FALSE(prompt.Texts().empty());
    EXPECT_EQ(prompt.Texts().back(), acq::kMsgCommFailed);
}

TEST_F(CommandsTest, GetAllWhoseReportCannotBeWrittenEndsWithTheFileMessage) {
    ASSERT_EQ(frame->OnGetLogs(), acq::kExitOk);
    fs::remove_all(dir / "out");
    fs::create_directories(dir / "out" / frame->GetReportName());
    prompt.Clear();
    EXPECT_EQ(frame->OnGetAll(), acq::kExitFile);
    EXPECT_EQ(prompt.Texts(), (std::vector<std::string>{acq::kMsgFileFailed}));
}

TEST_F(CommandsTest, UnattendedRunPacksTheWorkFolder) {
    const CMyCommandLine cmd = SilentLine();
    ASSERT_EQ(frame->OnGetAllSilent(cmd), acq::kExitOk);
    const std::string report = frame->GetReportName();
    EXPECT_EQ(Files(setup.workFolder),
              (std::vector<std::string>{acq::kWorkFolderMarker, acq::kNvramDumpName, report}));
    const fs::path archive = dir / "out" / ("LogData_" + frame->Log().m_strSerial + ".zip");
    std::vector<std::string> contents;
    EXPECT_EQ(ZipEntries(archive, &contents), (std::vector<std::string>{acq::kNvramDumpName, report}));
    ASSERT_EQ(contents.size(), 2u);
    EXPECT_EQ(contents[1], Read(fs::relative(setup.workFolder / report, dir)));
    EXPECT_EQ(prompt.Texts(), (std::vector<std::string>{acq::kMsgComplete}));

    // The archive exists: No keeps it and ends with the file message; Yes replaces it.
    testsupport::WriteFile(archive, "older archive");
    prompt.Clear();
    prompt.QueueAnswer(cmn::IDNO);
    EXPECT_EQ(frame->OnGetAllSilent(cmd), acq::kExitFile);
    EXPECT_EQ(prompt.Texts(), (std::vector<std::string>{acq::kMsgArchiveExists, acq::kMsgFileFailed}));
    EXPECT_EQ(prompt.Entries()[0].type, cmn::MB_YESNO | cmn::MB_ICONWARNING);
    EXPECT_EQ(testsupport::ReadFile(archive), "older archive");
    prompt.Clear();
    prompt.QueueAnswer(cmn::IDYES);
    EXPECT_EQ(frame->OnGetAllSilent(cmd), acq::kExitOk);
    EXPECT_EQ(ZipEntries(archive).size(), 2u);
}

TEST_F(CommandsTest, UnattendedRunFailures) {
    const CMyCommandLine cmd = SilentLine();
    // The log step fails: its code, no archive.
    prompt.Clear();
    link.Fail(Dk("40"));
    EXPECT_EQ(frame->OnGetAllSilent(cmd), acq::kExitComm);
    EXPECT_EQ(prompt.Texts(), (std::vector<std::string>{acq::kMsgCommFailed}));
    EXPECT_TRUE(Files(dir / "out").empty());

    // The archive folder is missing: the reason, then the file message.
    qlink::RecordingDisplayLink fine;
    fine.logImage = SampleLog();
    acq::CReportFrame f2(setup, ui, fine);
    CMyCommandLine elsewhere = cmd;
    elsewhere.m_strPath = (dir / "nowhere").string();
    prompt.Clear();
    EXPECT_EQ(f2.OnGetAllSilent(elsewhere), acq::kExitFile);
    ASSERT_EQ(prompt.Texts().size(), 2u);
    EXPECT_EQ(prompt.Texts()[1], acq::kMsgFileFailed);
    EXPECT_FALSE(fs::exists(dir / "nowhere"));
}

// Every path under `root` with its bytes, link target or nothing (folders).
std::map<fs::path, std::string> Tree(const fs::path& root) {
    std::map<fs::path, std::string> tree;
    for (const auto& e : fs::recursive_directory_iterator(root))
        tree[e.path()] = e.is_symlink()        ? fs::read_symlink(e).string()
                         : e.is_regular_file() ? testsupport::ReadFile(e.path())
                                               : "";
    return tree;
}

// The work folder as a run finds it: only a folder that a run made is
// replaced; anything else stays exactly as it was, nothing is sent, and the
// run ends with the file message followed by the reason.
TEST_F(CommandsTest, UnattendedRunReplacesOnlyAWorkFolderItMade) {
    const CMyCommandLine cmd = SilentLine();
    const fs::path work = setup.workFolder;
    testsupport::WriteFile(dir / "outside" / "keep.txt", "precious");
    std::string error;
    const std::vector<std::pair<std::function<void()>, std::string>> cases = {
        {[] {}, ""},  // missing
        {[&] {
             ASSERT_TRUE(acq::PrepareWorkFolder(work, error));
             testsupport::WriteFile(work / "sub" / "old.dat", "old");
             fs::create_directory_symlink(dir / "outside", work / "link");
         },
         ""},  // made by a run
        {[&] { testsupport::WriteFile(work / "sub" / "mine.txt", "mine"); }, "holds no"},
        {[&] { fs::create_directory_symlink(dir / "outside", work); }, "symbolic link"},
        {[&] { testsupport::WriteFile(work, "mine"); }, "regular file"},
        {[&] {
             fs::remove(dir / "work");
             testsupport::WriteFile(dir / "work", "x");
         },
         "Cannot"},
    };
    for (const auto& [make, reason] : cases) {
        SCOPED_TRACE(reason);
        for (const char* folder : {"work", "out"}) {
            fs::remove_all(dir / folder);
            fs::create_directories(dir / folder);
        }
        make();
        const auto before = Tree(dir);
        prompt.Clear();
        link.ClearCalls();
        const int code = frame->OnGetAllSilent(cmd);
        EXPECT_EQ(Read("outside/keep.txt"), "precious");
        if (reason.empty()) {
            EXPECT_EQ(code, acq::kExitOk);
            EXPECT_EQ(Files(work).size(), 3u);  // the marker, the report, the NVRAM dump
            EXPECT_EQ(ZipEntries(dir / "out" / frame->GetZipName()).size(), 2u);
            continue;
        }
        EXPECT_EQ(code, acq::kExitFile);
        EXPECT_TRUE(link.Calls().empty());
        EXPECT_EQ(Tree(dir), before);
        ASSERT_EQ(prompt.Texts().size(), 2u);
        EXPECT_EQ(prompt.Texts()[0], acq::kMsgFileFailed);
        EXPECT_NE(prompt.Texts()[1].find(reason), std::string::npos) << prompt.Texts()[1];
    }
}

TEST_F(CommandsTest, ClearLogsAsksFirstAndResetsTheLog) {
    ASSERT_EQ(frame->OnGetLogs(), acq::kExitOk);
    ASSERT_NE(frame->Log().m_bValid, 0);
    prompt.Clear();
    prompt.QueueAnswer(cmn::IDCANCEL);
    link.ClearCalls();
    EXPECT_EQ(frame->OnClearLogs(), acq::kExitDeclined);
    EXPECT_TRUE(link.Calls().empty());
    EXPECT_NE(frame->Log().m_bValid, 0);

    prompt.Clear();
    prompt.QueueAnswer(cmn::IDOK);
    EXPECT_EQ(frame->OnClearLogs(), acq::kExitOk);
    EXPECT_EQ(prompt.Texts(), (std::vector<std::string>{acq::kMsgClearConfirm, acq::kMsgCleared}));
    EXPECT_EQ(prompt.Entries()[0].type, cmn::MB_OKCANCEL | cmn::MB_ICONWARNING);
    EXPECT_EQ(frame->Log().m_bValid, 0);
    EXPECT_TRUE(frame->List().Rows().empty());

    prompt.Clear();
    prompt.QueueAnswer(cmn::IDOK);
    link.Fail(Set("ACLG0000"));
    EXPECT_EQ(frame->OnClearLogs(), acq::kExitComm);
    EXPECT_EQ(prompt.Texts().back(), acq::kMsgCommFailed);
}

TEST_F(CommandsTest, WriteNvramMessagesByOutcome) {
    const std::vector<std::uint8_t>& image = link.nvramImage;
    testsupport::WriteFile(dir / "image.bin", std::string(image.rbegin(), image.rend()));
    ui.openPath = dir / "image.bin";
    EXPECT_EQ(frame->OnWriteNvram(), acq::kExitOk);
    EXPECT_EQ(link.writtenNvram, std::vector<std::uint8_t>(image.rbegin(), image.rend()));
    ui.ports.nDisplayId = 5;
    EXPECT_EQ(frame->OnWriteNvram(), acq::kExitRefused);
    EXPECT_EQ(prompt.Texts(), (std::vector<std::string>{acq::kMsgNvramWritten, acq::kMsgNvramById}));
    ui.openPath.clear();
    EXPECT_EQ(frame->OnWriteNvram(), acq::kExitDeclined);
}

TEST_F(CommandsTest, OpenCreateAndCompareWorkOnTheLoadedLog) {
    ui.openPath = SamplesDir() / "logs" / "abnormal.dat";
    ASSERT_EQ(frame->OnFileOpenlogfile(), acq::kExitOk);
    EXPECT_EQ(frame->Log().m_strSourceFile, ui.openPath);
    EXPECT_FALSE(frame->List().Rows().empty());

    EXPECT_EQ(frame->OnCreateReport(), acq::kExitOk);
    EXPECT_EQ(Read("out/" + frame->GetReportName()), testsupport::ReadFile(ui.openPath));
    EXPECT_EQ(frame->OnCreateCsv(), acq::kExitOk);
    EXPECT_NE(Read("out/" + frame->GetHtmlName()).find("<HTML>"), std::string::npos);

    // A file that is no log: the message with its path, and nothing shown.
    testsupport::WriteFile(dir / "bad.dat", std::string(200, 'x'));
    ui.openPath = dir / "bad.dat";
    prompt.Clear();
    EXPECT_EQ(frame->OnFileOpenlogfile(), acq::kExitFile);
    EXPECT_EQ(prompt.Texts().back(), "Failed to read log file.\n" + (dir / "bad.dat").string());
    EXPECT_TRUE(frame->List().Rows().empty());

    // Compare: File1 from the shown log, File2 from the chosen one, the
    // compare program with the two paths as two arguments, no shell.
    const fs::path script = dir / "cmp.sh";
    testsupport::WriteFile(script, "#!/bin/sh\nprintf '%s|%s' \"$1\" \"$2\" > \"" + (dir / "args").string() +
                                       ".tmp\" && mv \"" + (dir / "args").string() + ".tmp\" \"" +
                                       (dir / "args").string() + "\"\n");
    fs::permissions(script, fs::perms::owner_all);
    testsupport::WriteFile(dir / "prog" / "QuendraReport.ini", "[COMMON]\nCPASS=" + script.string() + "\n");
    acq::CReportFrame cmp(setup, ui, link);
    ui.openPath = SamplesDir() / "logs" / "healthy.dat";
    ASSERT_EQ(cmp.OnFileOpenlogfile(), acq::kExitOk);
    ui.openPath = SamplesDir() / "logs" / "abnormal.dat";
    ASSERT_EQ(cmp.OnFileCompare(), acq::kExitOk);
    const fs::path file1 = dir / "prog" / "File1.txt", file2 = dir / "prog" / "File2.txt";
    EXPECT_NE(testsupport::ReadFile(file1), testsupport::ReadFile(file2));
    EXPECT_FALSE(testsupport::ReadFile(file2).empty());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!fs::exists(dir / "args") && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(Read("args"), file1.string() + "|" + file2.string());

    // A cancelled open still switches compensation off and shows the views again.
    cmp.OnTimeCompensation();
    ASSERT_TRUE(ui.compensationChecked);
    const int shownBefore = ui.shown;
    ui.openPath.clear();
    EXPECT_EQ(cmp.OnFileOpenlogfile(), acq::kExitDeclined);
    EXPECT_GT(ui.shown, shownBefore);
    EXPECT_FALSE(ui.compensationEnabled || ui.compensationChecked);
    EXPECT_EQ(cmp.List().m_bTimeCompensation, 0);

    // The second log cancelled: no File2, no compare program.
    fs::remove(file2);
    fs::remove(dir / "args");
    ui.openPath.clear();
    EXPECT_EQ(cmp.OnFileCompare(), acq::kExitDeclined);
    EXPECT_FALSE(fs::exists(file2));
}

TEST_F(CommandsTest, TemperatureDumpAndNvramDumpGoWhereTheDialogsSay) {
    // The built-in link answers every number with 0 and a start text without
    // temperatures: the dump fails and nothing is written.
    ui.savePath = dir / "out" / "t.txt";
    EXPECT_EQ(frame->OnDumpTemperature(), acq::kExitComm);
    EXPECT_FALSE(fs::exists(ui.savePath));
    EXPECT_EQ(prompt.Texts(), (std::vector<std::string>{acq::kMsgCommFailed}));

    prompt.Clear();
    EXPECT_EQ(frame->OnDumpNvram(), acq::kExitOk);
    EXPECT_EQ(Files(dir / "out"), (std::vector<std::string>{acq::kNvramDumpName}));
    EXPECT_EQ(prompt.Texts(), (std::vector<std::string>{acq::kMsgComplete}));
}

}  // namespace
