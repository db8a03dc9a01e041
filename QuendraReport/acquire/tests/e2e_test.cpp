// The commands through the real link libraries against display-sim, over TCP
// (each test on its own loopback address) and over its pseudo-terminal:
// files byte for byte, the wire sequence from the simulator's transcript,
// and fault cases through its fault flags. Logging is always back on.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <testsupport/SimProcess.h>
#include <testsupport/TempDir.h>
#include <testsupport/TimeZone.h>

#include <fstream>

#include "FakeRun.h"
#include "acquire/Commands.h"
#include "acquire/HeadlessFrameUi.h"
#include "acquire/Transfer.h"
#include "common/RecordingPrompt.h"
#include "link/NativeDisplayLink.h"
#include "link/Ports.h"

using namespace acqtest;
namespace fs = std::filesystem;

namespace {

// The link libraries read their settings, write their log and take their host
// locks in one scratch folder for the whole process.
class LinkEnv : public ::testing::Environment {
public:
    void SetUp() override {
        m_dir = std::make_unique<testsupport::TempDir>();
        fs::create_directories(m_dir->Path() / "locks");
        ::setenv("QUENDRA_DAKORAL_DIR", m_dir->Path().c_str(), 1);
        ::setenv("QUENDRA_LOCK_DIR", (m_dir->Path() / "locks").c_str(), 1);
    }
    void TearDown() override { m_dir.reset(); }
    std::unique_ptr<testsupport::TempDir> m_dir;
};
::testing::Environment* const g_env = ::testing::AddGlobalTestEnvironment(new LinkEnv);

std::vector<std::string> ReadLines(const fs::path& file) {
    std::vector<std::string> lines;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The text commands of a transcript, in order.
std::vector<std::string> TextCommands(const fs::path& transcript) {
    std::vector<std::string> out;
    for (const std::string& line : ReadLines(transcript)) {
        const std::size_t at = line.find(" text \"");
        if (at != std::string::npos) out.push_back(line.substr(at + 7, line.size() - at - 8));
    }
    return out;
}

void ExpectLoggingBackOn(const fs::path& transcript) {
    std::vector<std::string> srlg;
    for (const std::string& c : TextCommands(transcript))
        if (c.rfind("SRLG", 0) == 0) srlg.push_back(c);
    ASSERT_FALSE(srlg.empty());
    EXPECT_EQ(srlg.back(), "SRLG0001");
}

// The last switch of the transcript is an answered 0xF0, not a FIRM0000.
void ExpectBinaryModeLeft(const fs::path& transcript) {
    std::string last;
    for (const std::string& line : ReadLines(transcript))
        if (line.find("\"FIRM0000\"") != std::string::npos || line.find(" bin F0 ") != std::string::npos)
            last = line;
    EXPECT_NE(last.find(" bin F0 00"), std::string::npos) << last;
    EXPECT_EQ(last.find("unanswered"), std::string::npos) << last;
}

class SimTest : public testsupport::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        nvram.resize(4096);
        for (std::size_t i = 0; i < nvram.size(); ++i) nvram[i] = static_cast<char>((i * 13 + 5) & 0xFF);
        Write("nvram.bin", nvram);
        fs::create_directories(dir / "out");
    }
    // Starts the simulator on TCP (or its pseudo-terminal) with the healthy
    // sample log, the NVRAM above and a transcript, plus `extra` arguments.
    bool Start(bool serial, std::vector<std::string> extra = {}, bool images = true) {
        std::vector<std::string> args = {"--transcript", (dir / "transcript.txt").string()};
        if (images)
            args.insert(args.end(), {"--log", (SamplesDir() / "logs" / "healthy.dat").string(), "--nvram",
                                     (dir / "nvram.bin").string()});
        // On TCP the display has an account: its login prompt comes at once,
        // where a display without one makes the text link wait out its login time.
        if (serial) {
            args.push_back("--serial");
        } else {
            args.insert(args.end(), {"--listen", address.Text(), "--account", "svc", "--password", "pw"});
        }
        args.insert(args.end(), extra.begin(), extra.end());
        if (!sim.Start(args)) return false;
        ui.ports = serial ? qlink::SerialChoice(sim.Line(), 9600, 0)
                          : qlink::LanHostChoice(address.Text(), 10008, "svc", "pw", 0);
        ui.folder = dir / "out";
        frame = std::make_unique<acq::CReportFrame>(
            acq::MakeFrameSetup(SamplesDir(), "QM-X001", SamplesDir() / "QMX001", true), ui, link);
        return true;
    }
    std::vector<std::string> OutFiles() {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir / "out"))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    void ExpectGetAllFiles() {
        const std::string report = frame->GetReportName();
        EXPECT_EQ(report, "QM-X003_5K1234567.dat");  // the identity in the sample log's header
        EXPECT_EQ(OutFiles(), (std::vector<std::string>{acq::kNvramDumpName, report}));
        EXPECT_EQ(Read("out/" + report), testsupport::ReadFile(SamplesDir() / "logs" / "healthy.dat"));
        EXPECT_EQ(Read(std::string("out/") + acq::kNvramDumpName), nvram);
    }

    testsupport::LoopbackAddress address;
    testsupport::SimProcess sim;
    qlink::NativeDisplayLink link;
    acq::HeadlessFrameUi ui;
    cmn::RecordingPrompt prompt;
    cmn::ScopedPrompt scoped{prompt};
    std::unique_ptr<acq::CReportFrame> frame;
    std::string nvram;
};

TEST_F(SimTest, GetAllOverTcp) {
    ASSERT_FALSE(address.Text().empty());
    ASSERT_TRUE(Start(false));
    ASSERT_EQ(frame->OnGetAll(), acq::kExitOk);
    ExpectGetAllFiles();
    EXPECT_EQ(prompt.Texts(), (std::vector<std::string>{acq::kMsgComplete}));
    EXPECT_EQ(TextCommands(dir / "transcript.txt"),
              (std::vector<std::string>{"", "", "", "SRLG0000", "FIRM0000", "", "", "", "SRLG0001",  // log
                                        "", "", "", "SRLG0000", "FIRM0000", "", "", "", "SRLG0001"}));
    const std::vector<std::string> lines = ReadLines(dir / "transcript.txt");
    EXPECT_NE(std::find(lines.begin(), lines.end(), "18081 bin 41 00000004"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "18081 bin 45 000C0004"), lines.end());
}

TEST_F(SimTest, GetAllOverThePseudoTerminal) {
    ASSERT_TRUE(Start(true));
    ASSERT_EQ(frame->OnGetAll(), acq::kExitOk);
    ExpectGetAllFiles();
    ExpectLoggingBackOn(dir / "transcript.txt");
}

// Written (binary mode left afterwards), then read back byte for byte; a
// write cut short changes nothing.
TEST_F(SimTest, NvramWriteThenReadBack) {
    for (const bool serial : {false, true}) {
        SCOPED_TRACE(serial ? "serial" : "tcp");
        sim.Stop();
        fs::remove_all(dir / "out");
        fs::create_directories(dir / "out");
        ASSERT_TRUE(Start(serial));
        const std::string image(nvram.rbegin(), nvram.rend());
        Write("image.bin", image);
        ui.openPath = dir / "image.bin";
        ASSERT_EQ(frame->OnWriteNvram(), acq::kExitOk) << Read("transcript.txt");
        ExpectBinaryModeLeft(dir / "transcript.txt");
        ASSERT_EQ(frame->OnDumpNvram(), acq::kExitOk);
        EXPECT_EQ(Read(std::string("out/") + acq::kNvramDumpName), image);
        ExpectLoggingBackOn(dir / "transcript.txt");
    }
    // Cut short after two of four blocks: the display keeps its image.
    sim.Stop();
    const std::string state = (dir / "sim.state").string();
    ASSERT_TRUE(Start(false, {"--close-after-blocks", "2", "--save-state", state}));
    Write("image.bin", std::string(4096, 'w'));
    EXPECT_EQ(frame->OnWriteNvram(), acq::kExitComm);
    ExpectLoggingBackOn(dir / "transcript.txt");
    ASSERT_EQ(sim.Stop(), 0);
    ASSERT_TRUE(Start(false, {"--state", state}, false));
    ASSERT_EQ(frame->OnDumpNvram(), acq::kExitOk);
    EXPECT_EQ(Read(std::string("out/") + acq::kNvramDumpName), nvram);
}

TEST_F(SimTest, ClearLogsEmptiesTheDisplaysLog) {
    ASSERT_TRUE(Start(false));
    ASSERT_EQ(frame->OnGetLogs(), acq::kExitOk);
    ASSERT_FALSE(frame->Log().m_listLog.empty());
    prompt.QueueAnswer(cmn::IDOK);
    ASSERT_EQ(frame->OnClearLogs(), acq::kExitOk);
    EXPECT_EQ(frame->Log().m_bValid, 0);
    const std::vector<std::string> commands = TextCommands(dir / "transcript.txt");
    EXPECT_EQ(std::vector<std::string>(commands.end() - 4, commands.end()),
              (std::vector<std::string>{"TRST0002", "SRLG0000", "ACLG0000", "SRLG0001"}));
    ASSERT_EQ(frame->OnGetLogs(), acq::kExitOk);
    EXPECT_TRUE(frame->Log().m_listLog.empty());
    EXPECT_EQ(frame->Log().m_strSerial, "5K1234567");
}

TEST_F(SimTest, TemperatureDumpByteForByte) {
    testsupport::ScopedTimeZone tz("UTC");
    const fs::path golden = fs::path(QUENDRA_ACQUIRE_TESTS_DIR) / "golden";
    ASSERT_TRUE(Start(false, {"--state", (golden / "temperature.state").string()}, false));
    ui.savePath = dir / "out" / "Temperature.txt";
    ASSERT_EQ(frame->OnDumpTemperature(), acq::kExitOk);
    EXPECT_EQ(Read("out/Temperature.txt"), testsupport::ReadFile(golden / "temperature-dump.txt"));
    const std::vector<std::string> commands = TextCommands(dir / "transcript.txt");
    ASSERT_GE(commands.size(), 4u);
    EXPECT_EQ(commands[0], "SRLG0000");
    EXPECT_EQ(commands[1], "ESPC0001");
    EXPECT_EQ(std::vector<std::string>(commands.end() - 2, commands.end()),
              (std::vector<std::string>{"ESPC0000", "SRLG0001"}));
}

// A display announcing an NVRAM image of 0 bytes: a failure, and the earlier
// dump stays as it was.
TEST_F(SimTest, EmptyNvramImageKeepsTheEarlierDump) {
    ASSERT_TRUE(Start(false, {"--zero-size", "nvram"}));
    Write(std::string("out/") + acq::kNvramDumpName, nvram);
    EXPECT_EQ(frame->OnDumpNvram(), acq::kExitComm);
    EXPECT_EQ(Read(std::string("out/") + acq::kNvramDumpName), nvram);
    EXPECT_EQ(prompt.Texts(), (std::vector<std::string>{acq::kMsgCommFailed}));
    ExpectBinaryModeLeft(dir / "transcript.txt");
    ExpectLoggingBackOn(dir / "transcript.txt");
}

// A display that will not leave maintenance mode: "ESPC0000" is tried again,
// then over a new connection, and the dump reports a failure.
TEST_F(SimTest, TemperatureDumpFailsWhenTheDisplayStaysInMaintenanceMode) {
    const fs::path golden = fs::path(QUENDRA_ACQUIRE_TESTS_DIR) / "golden";
    ASSERT_TRUE(Start(
        false, {"--state", (golden / "temperature.state").string(), "--refuse-command", "ESPC0000"}, false));
    ui.savePath = dir / "out" / "Temperature.txt";
    EXPECT_EQ(frame->OnDumpTemperature(), acq::kExitComm);
    EXPECT_EQ(prompt.Texts(), (std::vector<std::string>{acq::kMsgCommFailed}));
    const std::vector<std::string> commands = TextCommands(dir / "transcript.txt");
    EXPECT_EQ(std::count(commands.begin(), commands.end(), "ESPC0000"), 4);
    ExpectLoggingBackOn(dir / "transcript.txt");
}

// Faults injected by the simulator: every failure is reported, no partial or
// shifted file is left, logging is back on.
TEST_F(SimTest, FaultsAreReportedAndNeverLeaveShiftedFiles) {
    struct Case {
        std::vector<std::string> fault;
        int code;
    };
    const std::vector<Case> cases = {
        {{"--refuse", "bin:every:1"}, acq::kExitComm},
        // Whether the library notices the close before its next request and
        // connects again is a race: either outcome, never a shifted file.
        {{"--close-after-blocks", "1"}, -1},
        {{"--delay", "bin:every:2", "--delay-ms", "100"}, acq::kExitOk},
        {{"--drop", "bin:first:1"}, acq::kExitOk},   // the leave-binary exchange: ignored
        {{"--drop", "text:first:1"}, acq::kExitOk},  // the first empty command: only the third counts
        {{"--garbage", "every:1"}, acq::kExitOk},
        {{"--corrupt", "bin:first:2"}, acq::kExitOk},  // retried by the library
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault[0] + " " + c.fault[1]);
        sim.Stop();
        fs::remove_all(dir / "out");
        fs::create_directories(dir / "out");
        fs::remove(dir / "transcript.txt");
        prompt.Clear();
        ASSERT_TRUE(Start(false, c.fault));
        const int code = frame->OnGetAll();
        if (c.code >= 0) {
            EXPECT_EQ(code, c.code);
        }
        if (code == acq::kExitOk) {
            ExpectGetAllFiles();
        } else {
            // A log that arrived whole is saved even when the NVRAM step fails.
            for (const std::string& name : OutFiles()) {
                ASSERT_EQ(name, frame->GetReportName());
                EXPECT_EQ(Read("out/" + name), testsupport::ReadFile(SamplesDir() / "logs" / "healthy.dat"));
            }
            EXPECT_EQ(prompt.Texts().back(), acq::kMsgCommFailed);
        }
        ExpectLoggingBackOn(dir / "transcript.txt");
    }
}

}  // namespace
