// The QuendraReport executable as a process: the unattended run in both
// forms against display-sim, with no display server in its environment, run
// from an empty folder; the start-up messages; the password file, two runs
// in one folder, Ctrl+C.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <testsupport/ChildProcess.h>
#include <testsupport/SimProcess.h>
#include <testsupport/TempDir.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace fs = std::filesystem;

namespace {

const fs::path kExe = QUENDRA_REPORT_EXE;

struct Outcome {
    int code = -1;
    std::string out;
    std::string err;
};

std::vector<std::string> Argv(const std::vector<std::string>& args) {
    std::vector<std::string> argv{kExe.string()};
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
}

// The program in `cwd`, with stdin from /dev/null and without any display
// server variable.
testsupport::ChildOptions Options(const fs::path& cwd, const fs::path& scratch) {
    testsupport::ChildOptions options = testsupport::ScratchChildOptions(scratch);
    options.cwd = cwd;
    options.unsetEnv = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
    return options;
}

Outcome RunProgram(const std::vector<std::string>& args, const fs::path& cwd, const fs::path& scratch) {
    Outcome o;
    o.code = testsupport::RunChild(Argv(args), Options(cwd, scratch), o.out, o.err);
    return o;
}

// Waits (at most 30 s) until `file` holds `text`.
bool WaitForText(const fs::path& file, const std::string& text) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (testsupport::ReadFile(file).find(text) == std::string::npos) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
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
    std::vector<std::string> LanArgs(const std::string& address, const std::string& credentials = "PASS=") {
        return {"SILENT",        "MODEL=QM-X003", "PATH=" + (dir / "archive").string(),
                "INTERFACE=LAN", "IP=" + address, "PORT=10008",
                "USER=svc",      credentials};
    }
    void ExpectResults() {
        EXPECT_EQ(Names(dir / "run"), std::vector<std::string>{"temp"});
        EXPECT_EQ(
            Names(dir / "run" / "temp"),
            (std::vector<std::string>{".quendra-work-folder", "NvramDump1.bin", "QM-X003_QX30001001.dat"}));
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
    EXPECT_EQ(again.err, "Filename already exists.  Do you want to replace it?\nFailed to create file.\n"
                         "QuendraReport: reason file-error, step archive: " +
                             (dir / "archive" / "LogData_QX30001001.zip").string() + " exists and was kept\n");
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

// Every message is one line on standard error, its bytes as they are; after
// a failure the last one names its reason and step.
TEST_F(SilentRunTest, MessagesAreSingleLinesAndTheExitCodeIsZero) {
    testsupport::LoopbackAddress address;
    ASSERT_TRUE(sim.Start({"--listen", address.Text(), "--account", "svc", "--password", "pw"}));
    const std::string cp932Folder = (dir / "\x83\x5C").string();  // missing folder with a CP932 name
    const Outcome o = Run({"SILENT", "MODEL=QM-X003", "PATH=" + cp932Folder, "INTERFACE=LAN",
                           "IP=" + address.Text(), "PORT=10008", "USER=svc", "PASS=pw"});
    EXPECT_EQ(o.code, 0);
    const std::size_t first = o.err.find('\n');
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(o.err.substr(0, first), "Failed to create file.");
    const std::string why = o.err.substr(first + 1);
    EXPECT_EQ(why.rfind("QuendraReport: reason file-error, step archive: Cannot write " + cp932Folder, 0), 0u) << why;
    EXPECT_EQ(std::count(why.begin(), why.end(), '\n'), 1);

    sim.Stop();  // nobody answers any more
    const Outcome down = Run({"SILENT", "MODEL=QM-X003", "PATH=" + (dir / "archive").string(),
                              "INTERFACE=LAN", "IP=" + address.Text(), "PORT=10008", "USER=", "PASS="});
    EXPECT_EQ(down.code, 0);
    EXPECT_EQ(down.err,
              "Failed to communicate with Quendra display. Check cable connection and interface settings.\n"
              "QuendraReport: reason cannot-connect, step open-text-port: LAN" +
                  address.Text() + ":10008: cannot connect to " + address.Text() + ":10008: Connection refused\n");

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

// PASSFILE= in place of PASS=: a file of the user's own that nobody else may
// read works; anything else stops the run before anything is sent.
TEST_F(SilentRunTest, PasswordFileMustBeTheUsersOwnAndPrivate) {
    testsupport::LoopbackAddress address;
    const fs::path transcript = dir / "transcript.txt";
    ASSERT_TRUE(sim.Start({"--listen", address.Text(), "--account", "svc", "--password", "pw", "--transcript",
                           transcript.string()}));
    const fs::path good = dir / "good";
    testsupport::WriteFile(good, "pw\r\nnext line\n");
    fs::permissions(good, fs::perms::owner_read | fs::perms::owner_write);
    std::vector<std::pair<fs::path, std::string>> refused = {
        {dir / "loose", "group or others"}, {dir / "fifo", "FIFO"}, {dir / "link", "symbolic link"}};
    fs::copy_file(good, dir / "loose");
    fs::permissions(dir / "loose", fs::perms::group_read, fs::perm_options::add);
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    fs::create_symlink(good, dir / "link");
    if (::geteuid() == 0) {  // only root can give a file away
        fs::copy_file(good, dir / "other");
        ASSERT_EQ(::chown((dir / "other").c_str(), 65534, 65534), 0);
        refused.push_back({dir / "other", "another user"});
    }
    for (const auto& [file, why] : refused) {
        const Outcome o = Run(LanArgs(address.Text(), "PASSFILE=" + file.string()));
        EXPECT_EQ(o.code, 0);
        EXPECT_EQ(o.err.rfind("Cannot use the password file " + file.string() + ": ", 0), 0u) << o.err;
        EXPECT_NE(o.err.find(why), std::string::npos) << o.err;
    }
    EXPECT_EQ(testsupport::ReadFile(transcript), "");
    EXPECT_TRUE(fs::is_empty(dir / "run"));

    const Outcome o = Run(LanArgs(address.Text(), "PASSFILE=" + good.string()));
    EXPECT_EQ(o.err, "Complete to communicate and create file.\n");
    EXPECT_NE(testsupport::ReadFile(transcript).find("login \"svc\" accepted"), std::string::npos);
}

// Two runs started in one folder against two displays: the second waits for
// the first, and each archive holds its own display's log only.
TEST_F(SilentRunTest, TwoRunsInOneFolderTakeTurns) {
    testsupport::LoopbackAddress first, second;
    const fs::path transcript = dir / "transcript.txt";
    ASSERT_TRUE(sim.Start({"--listen", first.Text(), "--account", "svc", "--password", "", "--delay",
                           "bin:every:1", "--delay-ms", "200", "--transcript", transcript.string()}));
    testsupport::SimProcess other;
    ASSERT_TRUE(other.Start({"--listen", second.Text(), "--account", "svc", "--log",
                             (kExe.parent_path() / "logs" / "abnormal.dat").string()}));
    testsupport::ChildProcess a, b;
    ASSERT_TRUE(a.Start(Argv(LanArgs(first.Text())), Options(dir / "run", dir / "scratch")));
    ASSERT_TRUE(WaitForText(transcript, "18081 bin"));
    ASSERT_TRUE(b.Start(Argv(LanArgs(second.Text())), Options(dir / "run", dir / "scratch")));
    EXPECT_EQ(a.Wait(), 0);
    EXPECT_EQ(b.Wait(), 0);
    EXPECT_EQ(a.ErrorText(), "Complete to communicate and create file.\n");
    EXPECT_EQ(b.ErrorText().rfind("QuendraReport: Waiting for another unattended run in ", 0), 0u) << b.ErrorText();
    EXPECT_EQ(b.ErrorText().substr(b.ErrorText().find('\n') + 1),
              "Complete to communicate and create file.\n");
    // Each archive names one report, its own display's; the other serial
    // number appears nowhere in it.
    const std::string own = testsupport::ReadFile(dir / "archive" / "LogData_QX30001001.zip"),
                      theirs = testsupport::ReadFile(dir / "archive" / "LogData_5K7654321.zip");
    EXPECT_NE(own.find("QM-X003_QX30001001.dat"), std::string::npos);
    EXPECT_EQ(own.find("5K7654321"), std::string::npos);
    EXPECT_NE(theirs.find("_5K7654321.dat"), std::string::npos);
    EXPECT_EQ(theirs.find("QX30001001"), std::string::npos);
}

// Ctrl+C in the middle of the NVRAM read: the display is put back (binary
// mode left, logging on), no archive, no file of the run left, exit code 0.
TEST_F(SilentRunTest, InterruptPutsTheDisplayBackAndLeavesNoFiles) {
    testsupport::LoopbackAddress address;
    const fs::path transcript = dir / "transcript.txt", state = dir / "state.txt";
    ASSERT_TRUE(sim.Start({"--listen", address.Text(), "--account", "svc", "--nvram-size", "65535", "--delay",
                           "bin:every:1", "--delay-ms", "150", "--transcript", transcript.string(),
                           "--save-state", state.string()}));
    testsupport::ChildProcess run;
    ASSERT_TRUE(run.Start(Argv(LanArgs(address.Text())), Options(dir / "run", dir / "scratch")));
    ASSERT_TRUE(WaitForText(transcript, "18081 bin 45 00040004"));
    run.Signal(SIGINT);
    EXPECT_EQ(run.Wait(), 0);
    EXPECT_EQ(run.ErrorText(),
              "Canceled communication.\nQuendraReport: reason cancelled, step nvram-block: cancelled between two "
              "requests\n");
    EXPECT_TRUE(fs::is_empty(dir / "archive"));
    EXPECT_EQ(Names(dir / "run" / "temp"), std::vector<std::string>{".quendra-work-folder"});
    ASSERT_EQ(sim.Stop(), 0);
    const std::string lines = testsupport::ReadFile(transcript);
    EXPECT_GT(lines.rfind("18081 bin F0 00"), lines.rfind("18081 bin 45"));
    EXPECT_EQ(lines.substr(lines.rfind("10008 text")), "10008 text \"SRLG0001\"\n");
    EXPECT_NE(testsupport::ReadFile(state).find("\nlogging=1"), std::string::npos);
}

}  // namespace
