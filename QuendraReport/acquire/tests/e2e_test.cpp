// The commands through the real link libraries against display-sim, over TCP
// (each test on its own loopback address) and over its pseudo-terminal:
// files byte for byte, the wire sequence from the simulator's transcript,
// and the reason each of the simulator's faults is reported with. Logging
// is always back on.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <testsupport/SimProcess.h>
#include <testsupport/TempDir.h>
#include <testsupport/TimeZone.h>

#include <fstream>

#include "FakeRun.h"
#include "acquire/Acquire.h"
#include "acquire/Transfer.h"
#include "link/NativeDisplayLink.h"
#include "link/Ports.h"

using namespace acqtest;
namespace fs = std::filesystem;
using acq::Reason;
using acq::Step;

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

// The text commands of a transcript, in order.
std::vector<std::string> TextCommands(const fs::path& transcript) {
    std::vector<std::string> out;
    std::ifstream in(transcript);
    for (std::string line; std::getline(in, line);) {
        const std::size_t at = line.find(" text \"");
        if (at != std::string::npos) out.push_back(line.substr(at + 7, line.size() - at - 8));
    }
    return out;
}

void ExpectLoggingBackOn(const fs::path& transcript) {
    std::vector<std::string> srlg;
    for (const std::string& c : TextCommands(transcript))
        if (c.rfind("SRLG", 0) == 0) srlg.push_back(c);
    if (!srlg.empty()) {
        EXPECT_EQ(srlg.back(), "SRLG0001");
    }
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
    // Starts the simulator on TCP (with a login account, whose prompt comes
    // at once) or its pseudo-terminal, with the healthy sample log, the NVRAM
    // above and a transcript, plus `extra` arguments; the ports to reach it.
    bool Start(bool serial, std::vector<std::string> extra = {}, bool images = true) {
        std::vector<std::string> args = {"--transcript", (dir / "transcript.txt").string()};
        if (images)
            args.insert(args.end(), {"--log", (SamplesDir() / "logs" / "healthy.dat").string(), "--nvram",
                                     (dir / "nvram.bin").string()});
        if (serial)
            args.push_back("--serial");
        else
            args.insert(args.end(), {"--listen", address.Text(), "--account", "svc", "--password", "pw"});
        args.insert(args.end(), extra.begin(), extra.end());
        if (!sim.Start(args)) return false;
        ports = serial ? qlink::SerialChoice(sim.Line(), 9600, 0)
                       : qlink::LanHostChoice(address.Text(), 10008, "svc", "pw", 0);
        return true;
    }
    acq::stGetAllRequest Logs(bool all = true) const {
        acq::stGetAllRequest r;
        r.ports = ports;
        r.programDir = SamplesDir();
        r.strModelName = "QM-X001";
        if (all) r.reportFolder = dir / "out";
        return r;
    }
    acq::stCommandResult Dump() {
        acq::stNvramDumpRequest r;
        r.ports = ports;
        r.folder = dir / "out";
        return acq::DumpNvram(link, r, progress, nullptr);
    }
    acq::stCommandResult WriteNvram(const std::string& image) {
        Write("image.bin", image);
        acq::stNvramWriteRequest r;
        r.ports = ports;
        r.file = dir / "image.bin";
        return acq::WriteNvram(link, r, progress, nullptr);
    }
    void ExpectGetAllFiles() {
        EXPECT_EQ(Read("out/QM-X003_5K1234567.dat"),
                  testsupport::ReadFile(SamplesDir() / "logs" / "healthy.dat"));
        EXPECT_EQ(Read(std::string("out/") + acq::kNvramDumpName), nvram);
    }

    testsupport::LoopbackAddress address;
    testsupport::SimProcess sim;
    qlink::NativeDisplayLink link;
    qlink::stPortChoice ports;
    RecordingProgress progress;
    std::string nvram;
};

TEST_F(SimTest, GetAllOverTcpAndThePseudoTerminal) {
    ASSERT_FALSE(address.Text().empty());
    ASSERT_TRUE(Start(false));
    acq::stCommandResult r = acq::GetAll(link, Logs(), progress, nullptr);
    ASSERT_EQ(r.nExitCode, 0) << acq::FailureLine(r.failure);
    ExpectGetAllFiles();
    EXPECT_EQ(TextCommands(dir / "transcript.txt"),
              (std::vector<std::string>{"", "", "", "SRLG0000", "FIRM0000", "", "", "", "SRLG0001",  // log
                                        "", "", "", "SRLG0000", "FIRM0000", "", "", "", "SRLG0001"}));
    sim.Stop();
    fs::remove_all(dir / "out");
    fs::create_directories(dir / "out");
    ASSERT_TRUE(Start(true));
    r = acq::GetAll(link, Logs(), progress, nullptr);
    ASSERT_EQ(r.nExitCode, 0) << acq::FailureLine(r.failure);
    ExpectGetAllFiles();
    ExpectLoggingBackOn(dir / "transcript.txt");
}

// Written (binary mode left afterwards), then read back byte for byte.
TEST_F(SimTest, NvramWriteThenReadBack) {
    ASSERT_TRUE(Start(false));
    const std::string image(nvram.rbegin(), nvram.rend());
    ASSERT_EQ(WriteNvram(image).nExitCode, 0);
    ASSERT_EQ(Dump().nExitCode, 0);
    EXPECT_EQ(Read(std::string("out/") + acq::kNvramDumpName), image);
    ExpectLoggingBackOn(dir / "transcript.txt");
}

TEST_F(SimTest, TemperatureDumpByteForByte) {
    testsupport::ScopedTimeZone tz("UTC");
    const fs::path golden = fs::path(QUENDRA_ACQUIRE_TESTS_DIR) / "golden";
    ASSERT_TRUE(Start(false, {"--state", (golden / "temperature.state").string()}, false));
    acq::stTempDumpRequest r;
    r.ports = ports;
    r.file = dir / "out" / "Temperature.txt";
    ASSERT_EQ(acq::DumpTemperature(link, r, progress, nullptr).nExitCode, 0);
    EXPECT_EQ(Read("out/Temperature.txt"), testsupport::ReadFile(golden / "temperature-dump.txt"));
    ExpectLoggingBackOn(dir / "transcript.txt");
}

// What the libraries and the wrapper make of the simulator's faults.
TEST_F(SimTest, FaultsAreReportedWithTheirReasons) {
    struct Row {
        const char* name;
        bool serial;
        std::vector<std::string> fault;
        bool write;  // write-nvram instead of get-logs
        Reason reason;
        Step step;
        const char* detail;  // a part of the detail
    };
    const std::vector<Row> rows = {
        {"binary mode refused",
         false,
         {"--refuse-command", "FIRM0000"},
         false,
         Reason::kRefused,
         Step::kBinaryMode,
         "FIRM0000"},
        {"wrong password", false, {}, false, Reason::kLoginRefused, Step::kOpenTextPort, "Login incorrect"},
        {"nobody listening",
         false,
         {},
         false,
         Reason::kCannotConnect,
         Step::kOpenTextPort,
         "Connection refused"},
        {"binary requests refused (serial)",
         true,
         {"--refuse", "bin:every:1"},
         false,
         Reason::kRefused,
         Step::kLogSize,
         "refused 0x40"},
        // The LAN library does not say why its retries came to nothing.
        {"binary requests refused (LAN)",
         false,
         {"--refuse", "bin:every:1"},
         false,
         Reason::kNoReply,
         Step::kLogSize,
         "does not tell"},
        {"a log of 0 bytes",
         false,
         {"--zero-size", "log"},
         false,
         Reason::kRefused,
         Step::kLogSize,
         "0 bytes"},
        {"an NVRAM of 0 bytes",
         false,
         {"--zero-size", "nvram"},
         true,
         Reason::kSizeMismatch,
         Step::kNvramWriteSize,
         "holds 0 bytes, the file 4096"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        sim.Stop();
        fs::remove(dir / "transcript.txt");
        ASSERT_TRUE(Start(row.serial, row.fault));
        if (std::string(row.name) == "wrong password") ports.strPassword = "wrong";
        if (std::string(row.name) == "nobody listening") sim.Stop();
        const acq::stCommandResult r =
            row.write ? WriteNvram(nvram) : acq::GetLogs(link, Logs(false), progress, nullptr);
        EXPECT_EQ(r.nExitCode, 1);
        EXPECT_EQ(acq::ReasonName(r.failure.reason), std::string(acq::ReasonName(row.reason)));
        EXPECT_EQ(acq::StepName(r.failure.step), std::string(acq::StepName(row.step)));
        EXPECT_NE(r.failure.strDetail.find(row.detail), std::string::npos) << r.failure.strDetail;
        ExpectLoggingBackOn(dir / "transcript.txt");
    }
}

}  // namespace
