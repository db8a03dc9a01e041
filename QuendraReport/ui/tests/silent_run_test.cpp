// The QuendraReport executable as a process: the unattended run in both
// forms against display-sim, with no display server in its environment, run
// from an empty folder; the start-up messages.
#include <gtest/gtest.h>
#include <testsupport/ChildProcess.h>
#include <testsupport/SimProcess.h>
#include <testsupport/TempDir.h>

#include <algorithm>

namespace fs = std::filesystem;

namespace {

const fs::path kExe = QUENDRA_REPORT_EXE;

struct Outcome {
    int code = -1;
    std::string out;
    std::string err;
};

// Runs the program in `cwd` with stdin from /dev/null and without any display
// server variable.
Outcome RunProgram(const std::vector<std::string>& args, const fs::path& cwd, const fs::path& scratch) {
    std::vector<std::string> argv{kExe.string()};
    argv.insert(argv.end(), args.begin(), args.end());
    testsupport::ChildOptions options = testsupport::ScratchChildOptions(scratch);
    options.cwd = cwd;
    options.unsetEnv = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
    Outcome o;
    o.code = testsupport::RunChild(argv, options, o.out, o.err);
    return o;
}

std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class SilentRunTest : public testsupport::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        fs::create_directories(dir / "run");
        fs::create_directories(dir / "archive");
        fs::create_directories(dir / "scratch");
        settingsBefore = testsupport::ReadFile(kExe.parent_path() / "QuendraReport.ini");
    }
    void TearDown() override {
        // The settings file is never written by a run.
        EXPECT_EQ(testsupport::ReadFile(kExe.parent_path() / "QuendraReport.ini"), settingsBefore);
    }
    Outcome Run(const std::vector<std::string>& args) {
        return RunProgram(args, dir / "run", dir / "scratch");
    }
    void ExpectResults() {
        EXPECT_EQ(Names(dir / "run"), std::vector<std::string>{"temp"});
        EXPECT_EQ(Names(dir / "run" / "temp"),
                  (std::vector<std::string>{"NvramDump1.bin", "QM-X003_QX30001001.dat"}));
        EXPECT_EQ(Names(dir / "archive"), std::vector<std::string>{"LogData_QX30001001.zip"});
    }

    testsupport::SimProcess sim;
    std::string settingsBefore;
};

TEST_F(SilentRunTest, LanFormRunsToItsEndWithoutADisplayServer) {
    testsupport::LoopbackAddress address;
    ASSERT_TRUE(sim.Start({"--listen", address.Text()}));
    const Outcome o = Run({"SILENT", "MODEL=QM-X003", "PATH=" + (dir / "archive").string(), "INTERFACE=LAN",
                           "IP=" + address.Text(), "PORT=10008", "USER=", "PASS="});
    EXPECT_EQ(o.code, 0);
    EXPECT_EQ(o.err, "Complete to communicate and create file.\n");
    ExpectResults();

    // Again: the archive exists and nobody can answer the question (No).
    const std::string archive = testsupport::ReadFile(dir / "archive" / "LogData_QX30001001.zip");
    const Outcome again = Run({"SILENT", "MODEL=QM-X003", "PATH=" + (dir / "archive").string(),
                               "INTERFACE=LAN", "IP=" + address.Text(), "PORT=10008", "USER=", "PASS="});
    EXPECT_EQ(again.code, 0);
    EXPECT_EQ(again.err, "Filename already exists.  Do you want to replace it?\nFailed to create file.\n");
    EXPECT_EQ(testsupport::ReadFile(dir / "archive" / "LogData_QX30001001.zip"), archive);
}

TEST_F(SilentRunTest, ComFormOverThePseudoTerminal) {
    ASSERT_TRUE(sim.Start({"--serial"}));
    const Outcome o = Run({"SILENT", "MODEL=QM-X003", "PATH=" + (dir / "archive").string(), "INTERFACE=COM",
                           "PORT=" + sim.Line(), "RATE=9600"});
    EXPECT_EQ(o.code, 0);
    EXPECT_EQ(o.err, "Complete to communicate and create file.\n");
    ExpectResults();
}

// Every message is one line on standard error, its bytes as they are.
TEST_F(SilentRunTest, MessagesAreSingleLinesAndTheExitCodeIsZero) {
    testsupport::LoopbackAddress address;
    ASSERT_TRUE(sim.Start({"--listen", address.Text(), "--account", "svc", "--password", "pw"}));
    const std::string cp932Folder = (dir / "\x83\x5C").string();  // missing folder with a CP932 name
    const Outcome o = Run({"SILENT", "MODEL=QM-X003", "PATH=" + cp932Folder, "INTERFACE=LAN",
                           "IP=" + address.Text(), "PORT=10008", "USER=svc", "PASS=pw"});
    EXPECT_EQ(o.code, 0);
    const std::size_t first = o.err.find('\n');
    ASSERT_NE(first, std::string::npos);
    EXPECT_NE(o.err.substr(0, first).find(cp932Folder), std::string::npos);
    EXPECT_EQ(o.err.substr(first + 1), "Failed to create file.\n");

    sim.Stop();  // nobody answers any more
    const Outcome down = Run({"SILENT", "MODEL=QM-X003", "PATH=" + (dir / "archive").string(),
                              "INTERFACE=LAN", "IP=" + address.Text(), "PORT=10008", "USER=", "PASS="});
    EXPECT_EQ(down.code, 0);
    EXPECT_EQ(down.err,
              "Failed to communicate with Quendra display. Check cable connection and interface settings.\n");

    EXPECT_EQ(Run({"SILENT", "MODEL=QM-X003"}).err, "Invalid option format.\n");
    const Outcome model =
        Run({"SILENT", "MODEL=NO-SUCH", "PATH=x", "INTERFACE=COM", "PORT=COM1", "RATE=9600"});
    EXPECT_EQ(model.code, 0);
    EXPECT_EQ(model.err, "Invalid Model. Please check Model Name File (CSV).\n");
    const Outcome interactive = Run({});
    EXPECT_EQ(interactive.code, 1);
    EXPECT_NE(interactive.err.find("window is not available"), std::string::npos);
}

// --help alone prints the usage; anywhere else it is an argument like any
// other of the positional command line.
TEST_F(SilentRunTest, HelpOnlyAsTheOnlyArgument) {
    const Outcome help = Run({"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_EQ(help.err, "");
    EXPECT_EQ(help.out.rfind("Usage: QuendraReport\n", 0), 0u) << help.out;
    EXPECT_NE(help.out.find("SILENT MODEL=NAME PATH=DIR INTERFACE=COM PORT=COMn RATE=BAUD"), std::string::npos);

    for (const auto& args : {std::vector<std::string>{"SILENT", "--help"}, {"--help", "SILENT"}}) {
        const Outcome o = Run(args);
        EXPECT_EQ(o.code, 0);
        EXPECT_EQ(o.out, "");
        EXPECT_EQ(o.err, "Invalid option format.\n");
    }
}

}  // namespace
