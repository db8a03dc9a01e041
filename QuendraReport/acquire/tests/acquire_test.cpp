// The display commands over the recording link: one row per failure point
// (which request fails, and how the library reports it) with the exit code,
// reason, step, the files left and the end of the transcript; the whole
// sequences of the commands that succeed; the display's turn; the
// unattended run's folder and archive; the file commands of the window.
#include "acquire/Acquire.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <sys/stat.h>
#include <testsupport/ScopedEnv.h>
#include <testsupport/TempDir.h>
#include <zip.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>

#include "FakeRun.h"
#include "acquire/Frame.h"
#include "acquire/Transfer.h"
#include "acquire/WorkFolder.h"
#include "link/Ports.h"
#include "link/RecordingDisplayLink.h"
#include "linkio/DisplayTurn.h"

using namespace acqtest;
namespace fs = std::filesystem;
using acq::Reason;
using acq::Step;

namespace {

enum class Cmd { kGetLogs, kGetAll, kDumpNvram, kWriteNvram, kClearLogs, kTempDump, kUnattended };

using How = qlink::ScriptedFault;

qlink::stLinkAnswer Answer(How how, bool binary) { return qlink::FaultAnswer(how, binary); }

// A query answered with `text`.
qlink::stLinkAnswer Text(const std::string& text) {
    qlink::stLinkAnswer a;
    a.strText = text;
    return a;
}

// The display's logging back on over a connection of its own.
Lines BackOn(int id = 0) {
    return ResumeLogging(id);
}
const Lines kEndRead{Dk("F0 00"), "DkClose"};

std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Answers every question of the unattended run with `replace`.
struct Decision : acq::IDecision {
    bool replace = false;
    int asked = 0;
    bool ReplaceArchive(const fs::path&) override {
        ++asked;
        return replace;
    }
};

const char* const kReport = "QM-X003_5K1234567.dat";  // the identity in the sample log's header

class AcquireTest : public testsupport::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        ::setenv("QUENDRA_LOCK_DIR", m_locks.Path().c_str(), 1);
        fs::create_directories(dir / "out");
        fs::create_directories(dir / "work");
        Prepare(link);
    }
    void TearDown() override { ::unsetenv("QUENDRA_LOCK_DIR"); }

    // A display with the sample log and an NVRAM pattern; the image file to
    // write holds as many bytes.
    void Prepare(qlink::RecordingDisplayLink& l) {
        l.logImage = SampleLog();
        l.nvramImage.resize(2500);
        for (std::size_t i = 0; i < l.nvramImage.size(); ++i)
            l.nvramImage[i] = static_cast<std::uint8_t>(i * 31);
        Write("image.bin", std::string(l.nvramImage.rbegin(), l.nvramImage.rend()));
    }
    // Event logs whose replies hold their temperatures.
    static void TemperatureDisplay(qlink::RecordingDisplayLink& l) {
        for (int i = 0; i < 5; ++i)
            for (const char* word : {"BLRS000", "POLR000", "TLRS000", "BLRE000", "TLRE000"})
                l.Answer(
                    "QnGetString(\"Command:" + std::string(word) + std::to_string(i) + "\")",
                    Text(word[3] == 'E' ? "T1:62 T2:64 T3:63,1H00M" : "2026/10/01 08:15,T1:55,T2:58,T3:57"));
    }

    acq::stCommandResult Run(Cmd cmd, qlink::RecordingDisplayLink& l, int id = 0,
                             const int* cancel = nullptr) {
        const qlink::stPortChoice ports = qlink::SerialChoice(kPort, 9600, id);
        acq::stGetAllRequest logs;
        logs.ports = ports;
        logs.programDir = SamplesDir();
        logs.strModelName = "QM-X001";
        logs.reportFolder = dir / "out";
        switch (cmd) {
            case Cmd::kGetLogs:
                logs.reportFolder.clear();
                return acq::GetLogs(l, logs, progress, cancel);
            case Cmd::kGetAll:
                return acq::GetAll(l, logs, progress, cancel);
            case Cmd::kDumpNvram: {
                acq::stNvramDumpRequest r;
                r.ports = ports;
                r.folder = dir / "out";
                return acq::DumpNvram(l, r, progress, cancel);
            }
            case Cmd::kWriteNvram: {
                acq::stNvramWriteRequest r;
                r.ports = ports;
                r.file = dir / "image.bin";
                return acq::WriteNvram(l, r, progress, cancel);
            }
            case Cmd::kClearLogs: {
                acq::stClearLogsRequest r;
                r.ports = ports;
                r.programDir = SamplesDir();
                return acq::ClearLogs(l, r, progress, cancel);
            }
            case Cmd::kTempDump: {
                acq::stTempDumpRequest r;
                r.ports = ports;
                r.file = dir / "out" / "t.txt";
                return acq::DumpTemperature(l, r, progress, cancel);
            }
            case Cmd::kUnattended: {
                acq::stUnattendedRequest r;
                r.ports = ports;
                r.programDir = SamplesDir();
                r.strModelName = "QM-X001";
                r.workFolder = dir / "work" / "temp";
                r.archiveFolder = dir / "out";
                return acq::RunUnattended(l, r, progress, cancel, decision);
            }
        }
        return {};
    }
    // What every run must leave: each handle closed once, each step of the
    // progress ended, and a display whose logging went off back on.
    void ExpectClean(const qlink::RecordingDisplayLink& l, bool loggingBackOn = true) {
        EXPECT_EQ(l.OpenHandles(), 0);
        EXPECT_EQ(l.BadCloses(), 0);
        const Lines events = progress.Events();
        EXPECT_EQ(std::count(events.begin(), events.end(), "end"),
                  std::count_if(events.begin(), events.end(),
                                [](const std::string& e) { return e.rfind("begin", 0) == 0; }));
        Lines srlg;
        for (const std::string& c : l.Calls())
            if (c.rfind("QnSet(\"SRLG", 0) == 0) srlg.push_back(c);
        if (loggingBackOn && !srlg.empty()) {
            EXPECT_EQ(srlg.back(), Set("SRLG0001"));
        }
    }

    testsupport::TempDir m_locks;
    qlink::RecordingDisplayLink link;
    RecordingProgress progress;
    Decision decision;
    int cancel = 0;  // the user's cancel flag of a row's run
};

TEST_F(AcquireTest, EveryFailurePointSaysWhyAndPutsTheDisplayBack) {
    const std::string block2 = Dk("41 " + Le4(1024, 1024));
    const Lines upToBlocks = BlockReads("40", "41", "42", 0);
    struct Row {
        const char* name;
        Cmd cmd;
        int id;
        std::string call;  // the call that fails; empty: `prepare` makes the display fail
        int occurrence;    // 0: every time
        How how;
        int code;
        Reason reason;
        Step step;
        Lines tail;                      // the last calls
        std::vector<std::string> files;  // left in the folder "out"
        std::function<void(qlink::RecordingDisplayLink&)> prepare = {};
    };
    // clang-format off
    const std::vector<Row> rows = {
        {"no connection", Cmd::kGetLogs, 0, OpenEx(), 1, How::kNoConnect, 1, Reason::kCannotConnect,
         Step::kOpenTextPort, {"DkClose", OpenEx()}, {}},
        {"login refused", Cmd::kGetLogs, 0, OpenEx(), 1, How::kLogin, 1, Reason::kLoginRefused,
         Step::kOpenTextPort, {"DkClose", OpenEx()}, {}},
        {"third empty command dropped", Cmd::kGetLogs, 0, Set(""), 3, How::kDropped, 1, Reason::kNoReply,
         Step::kLoggingOff, {Set(""), "QnClose"}, {}},
        {"display ID refused", Cmd::kGetLogs, 5, Set("IDSL5"), 1, How::kRefused, 1, Reason::kRefused,
         Step::kLoggingOff, {Set("IDSL5"), "QnClose"}, {}},
        {"binary mode refused", Cmd::kGetLogs, 0, Set("FIRM0000"), 0, How::kRefused, 1, Reason::kRefused,
         Step::kBinaryMode, Lines{Set("FIRM0000"), "QnClose"} + BackOn(), {}},
        {"binary mode by ID answered wrong", Cmd::kGetLogs, 5, "", 0, How::kNone, 1, Reason::kRefused,
         Step::kBinaryMode, Lines{"QnGetString(\"Command:BNMD5\")", "QnClose"} + BackOn(5), {},
         [](qlink::RecordingDisplayLink& l) { l.Answer("QnGetString(\"Command:BNMD5\")", Text("BNMD0000")); }},
        {"binary port cannot be opened", Cmd::kGetLogs, 0, "DkOpen(COM1,5,3,115200)", 0, How::kNoConnect, 1,
         Reason::kCannotConnect, Step::kOpenBinaryPort, LeaveBinaryShort(0) + BackOn(), {}},
        {"log size dropped", Cmd::kGetLogs, 0, Dk("40"), 0, How::kDropped, 1, Reason::kNoReply, Step::kLogSize,
         Lines{Dk("40")} + kEndRead + BackOn(), {}},
        {"log size of one byte", Cmd::kGetLogs, 0, Dk("40"), 0, How::kShort, 1, Reason::kCorrupted, Step::kLogSize,
         Lines{Dk("40")} + kEndRead + BackOn(), {}},
        {"log of 0 bytes", Cmd::kGetAll, 0, Dk("40"), 0, How::kZero, 1, Reason::kRefused, Step::kLogSize,
         upToBlocks + kEndRead + BackOn(), {}},
        {"damaged block", Cmd::kGetLogs, 0, block2, 0, How::kCorrupted, 1, Reason::kCorrupted, Step::kLogBlock,
         Lines{block2} + kEndRead + BackOn(), {}},
        {"connection closed in a block", Cmd::kGetLogs, 0, block2, 0, How::kClosed, 1, Reason::kConnectionClosed,
         Step::kLogBlock, Lines{block2} + kEndRead + BackOn(), {}},
        {"delayed block (LAN retries over)", Cmd::kGetLogs, 0, block2, 0, How::kLanRetryOver, 1, Reason::kNoReply,
         Step::kLogBlock, Lines{block2} + kEndRead + BackOn(), {}},
        {"end of read refused", Cmd::kGetLogs, 0, Dk("42"), 0, How::kRefused, 1, Reason::kRefused, Step::kLogEnd,
         Lines{Dk("42")} + kEndRead + BackOn(), {}},
        {"log that does not decode (raw image kept)", Cmd::kGetAll, 0, "", 0, How::kNone, 1, Reason::kCorrupted,
         Step::kLogDecode, kEndRead + BackOn(), {"QM-X001_.dat"},
         [](qlink::RecordingDisplayLink& l) { l.logImage.back() ^= 0x55; }},
        {"logging cannot be put back on", Cmd::kGetLogs, 0, OpenEx(), 2, How::kNoConnect, 1, Reason::kCannotConnect,
         Step::kLoggingOn, kEndRead + Lines{OpenEx()}, {}},
        {"logging on never accepted", Cmd::kGetLogs, 0, Set("SRLG0001"), 0, How::kRefused, 1, Reason::kRefused,
         Step::kLoggingOn, {Set("SRLG0001"), Set("SRLG0001"), "QnClose"}, {}},
        {"NVRAM block dropped", Cmd::kGetAll, 0, Dk("45 " + Le4(1024, 1024)), 0, How::kDropped, 1, Reason::kNoReply,
         Step::kNvramBlock, Lines{Dk("45 " + Le4(1024, 1024))} + kEndRead + BackOn(), {kReport}},
        {"NVRAM file one byte short", Cmd::kWriteNvram, 0, "", 0, How::kNone, 1, Reason::kSizeMismatch,
         Step::kNvramWriteSize, Lines{Dk("47"), "DkClose"} + LeaveBinaryShort(0) + BackOn(), {},
         [this](qlink::RecordingDisplayLink&) { Write("image.bin", std::string(2499, 'x')); }},
        {"NVRAM written with a display ID", Cmd::kWriteNvram, 5, "", 0, How::kNone, 3, Reason::kRefused,
         Step::kCheck, {}, {}},
        {"NVRAM file missing", Cmd::kWriteNvram, 0, "", 0, How::kNone, 1, Reason::kFileError, Step::kReadFile,
         Lines{"DkOpen(COM1,5,3,115200)", "DkClose"} + LeaveBinaryShort(0) + BackOn(), {},
         [this](qlink::RecordingDisplayLink&) { fs::remove(dir / "image.bin"); }},
        {"NVRAM block write refused", Cmd::kWriteNvram, 0, Dk("48 0004 +1024"), 0, How::kRefused, 1,
         Reason::kRefused, Step::kNvramWriteBlock, Lines{Dk("48 0004 +1024"), "DkClose"} + LeaveBinaryShort(0) + BackOn(), {}},
        {"clear refused", Cmd::kClearLogs, 0, Set("TRST0002"), 0, How::kRefused, 1, Reason::kRefused, Step::kClear,
         {Set("TRST0002"), "QnClose"}, {}},
        {"connection closed at the clear", Cmd::kClearLogs, 0, Set("ACLG0000"), 0, How::kClosed, 1,
         Reason::kConnectionClosed, Step::kClear, {Set("ACLG0000"), Set("SRLG0001"), "QnClose"}, {}},
        {"maintenance mode refused", Cmd::kTempDump, 0, Set("ESPC0001"), 0, How::kRefused, 1, Reason::kRefused,
         Step::kMaintenanceMode, {Set("ESPC0001"), Set("ESPC0000"), Set("SRLG0001"), "QnClose"}, {}},
        {"temperature query dropped", Cmd::kTempDump, 0, "QnGetNumber(\"Command:BRIG????\")", 0, How::kDropped, 1,
         Reason::kNoReply, Step::kQuery, {"QnGetNumber(\"Command:BRIG????\")", Set("ESPC0000"), Set("SRLG0001"), "QnClose"}, {}},
        {"event without its temperatures", Cmd::kTempDump, 0, "", 0, How::kNone, 1, Reason::kCorrupted, Step::kQuery,
         {"QnGetString(\"Command:BLRS0000\")", Set("ESPC0000"), Set("SRLG0001"), "QnClose"}, {},
         [](qlink::RecordingDisplayLink& l) {
             l.Answer("QnGetString(\"Command:BLRS0000\")", Text("2026/10/01 08:15,T1:55,T2:58"));
         }},
        {"maintenance mode never left (dump kept)", Cmd::kTempDump, 0, Set("ESPC0000"), 0, How::kRefused, 1,
         Reason::kRefused, Step::kMaintenanceMode, {OpenEx(), Set("ESPC0000"), Set("ESPC0000"), "QnClose"}, {"t.txt"}},
        {"dump folder gone", Cmd::kDumpNvram, 0, "", 0, How::kNone, 4, Reason::kFileError, Step::kWriteFile,
         kEndRead + BackOn(), {}, [this](qlink::RecordingDisplayLink&) { fs::remove_all(dir / "out"); }},
        {"archive exists, not replaced", Cmd::kUnattended, 0, "", 0, How::kNone, 4, Reason::kFileError,
         Step::kArchive, kEndRead + BackOn(), {"LogData_5K1234567.zip"},
         [this](qlink::RecordingDisplayLink&) { Write("out/LogData_5K1234567.zip", "older"); }},
        {"cancelled between two blocks", Cmd::kDumpNvram, 0, "", 0, How::kNone, 2, Reason::kCancelled, Step::kNvramBlock,
         Lines{Dk("45 " + Le4(1024, 1024))} + kEndRead + BackOn(), {}, [this](qlink::RecordingDisplayLink& l) {
             l.onCall = [this](const std::string& call) { cancel += call == Dk("45 " + Le4(1024, 1024)); };
         }},
        {"work folder of the user's own", Cmd::kUnattended, 0, "", 0, How::kNone, 4, Reason::kFileError,
         Step::kWorkFolder, {}, {}, [this](qlink::RecordingDisplayLink&) { Write("work/temp/mine.txt", "mine"); }},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        fs::remove_all(dir / "out");
        fs::remove_all(dir / "work");
        fs::create_directories(dir / "out");
        fs::create_directories(dir / "work");
        progress.Clear();
        cancel = 0;
        qlink::RecordingDisplayLink l;
        Prepare(l);
        if (row.cmd == Cmd::kTempDump) TemperatureDisplay(l);
        if (row.prepare) row.prepare(l);
        if (!row.call.empty()) {
            const bool binary = row.call.rfind("Dk", 0) == 0;
            l.Answer(row.call, Answer(row.how, binary), row.occurrence);
        }
        const acq::stCommandResult r = Run(row.cmd, l, row.id, &cancel);
        EXPECT_EQ(r.nExitCode, row.code);
        EXPECT_EQ(acq::ReasonName(r.failure.reason), std::string(acq::ReasonName(row.reason)));
        EXPECT_EQ(acq::StepName(r.failure.step), std::string(acq::StepName(row.step)));
        EXPECT_FALSE(r.failure.strDetail.empty());
        const Lines calls = l.Calls();
        ASSERT_GE(calls.size(), row.tail.size());
        EXPECT_EQ(Lines(calls.end() - static_cast<long>(row.tail.size()), calls.end()), row.tail);
        if (row.tail.empty()) {
            EXPECT_TRUE(calls.empty());
        }
        EXPECT_EQ(Names(dir / "out"), row.files);
        ExpectClean(l, row.step != Step::kLoggingOn);
    }
}

// Whole sequences, with and without a display ID: every request, the
// progress of each step, the files and their sizes.
TEST_F(AcquireTest, CommandsThatSucceedSendExactlyTheirSequence) {
    const int total = static_cast<int>(link.logImage.size());
    const Lines logOff = Lines{OpenEx()} + LoggingCommands(0, false) + EnterBinary(0);
    acq::stCommandResult r = Run(Cmd::kGetAll, link);
    ASSERT_EQ(r.nExitCode, 0) << acq::FailureLine(r.failure);
    EXPECT_EQ(link.Calls(),
              (LeaveBinaryShort(0) + logOff + Lines{"DkOpen(COM1,5,3,115200)"} +
               BlockReads("40", "41", "42", total) + kEndRead + BackOn() + logOff +
               Lines{"DkOpen(COM1,5,3,115200)"} + BlockReads("44", "45", "46", 2500) + kEndRead + BackOn()));
    ASSERT_EQ(r.files.size(), 2u);
    EXPECT_EQ(r.files[0].path, dir / "out" / kReport);
    EXPECT_EQ(r.files[0].nBytes, static_cast<std::uintmax_t>(total));
    EXPECT_EQ(r.files[1].nBytes, 2500u);
    EXPECT_EQ(Read("out/NvramDump1.bin"), std::string(link.nvramImage.begin(), link.nvramImage.end()));
    EXPECT_TRUE(r.logState.bPresent);
    EXPECT_FALSE(r.log->m_listLog.empty());
    ASSERT_EQ(r.steps.size(), 2u);
    EXPECT_EQ(r.steps[1].strSuffix, " 2/2");
    const Lines events = progress.Events();
    EXPECT_EQ(Lines(events.end() - 9, events.end()),
              (Lines{"begin 2/2", acq::kTextConnecting, acq::kTextBinaryMode, acq::kTextNvramReading, "pos 6",
                     "pos 12", "pos 18", acq::kTextAsciiMode, "end"}));
    ExpectClean(link);

    // A display of a daisy chain: "IDSL" on every connection, binary mode by query.
    qlink::RecordingDisplayLink chained;
    chained.logImage.assign(1500, 7);  // no log: it arrives whole, but does not decode
    progress.Clear();
    r = Run(Cmd::kGetLogs, chained, 5);
    EXPECT_EQ(r.failure.step, Step::kLogDecode);
    EXPECT_EQ(chained.Calls(),
              (LeaveBinaryShort(5) + Lines{OpenEx()} + LoggingCommands(5, false) + EnterBinary(5) +
               Lines{"DkOpen(COM1,5,3,115200)"} + BlockReads("40", "41", "42", 1500) +
               Lines{Dk("F0 05"), "DkClose"} + BackOn(5)));
    EXPECT_TRUE(r.logState.bPresent);  // the raw image may still be saved
    ASSERT_TRUE(r.decodeError);

    // The write: the last block padded, never read past the file; 0xF0 over a
    // short connection of its own afterwards.
    link.ClearCalls();
    r = Run(Cmd::kWriteNvram, link);
    ASSERT_EQ(r.nExitCode, 0) << acq::FailureLine(r.failure);
    EXPECT_EQ(link.writtenNvram, std::vector<std::uint8_t>(link.nvramImage.rbegin(), link.nvramImage.rend()));
    EXPECT_EQ(link.Calls(), (logOff +
                             Lines{"DkOpen(COM1,5,3,115200)", Dk("47"), Dk("48 0000 +1024"),
                                   Dk("48 0004 +1024"), Dk("48 0008 +1024"), Dk("49"), "DkClose"} +
                             LeaveBinaryShort(0) + BackOn()));

    link.ClearCalls();
    r = Run(Cmd::kClearLogs, link, 5);
    ASSERT_EQ(r.nExitCode, 0);
    EXPECT_EQ(link.Calls(),
              (LeaveBinaryShort(5) + Lines{"QnOpenIF(COM1,,,5,9600)", Set("TRST0002"), Set("SRLG0000"),
                                           Set("ACLG0000"), Set("SRLG0001"), "QnClose"}));
    ASSERT_TRUE(r.log);
    EXPECT_FALSE(r.logState.bPresent);
    ExpectClean(link);
}

// Another program holds the display's turn (under another spelling of its
// port): a command waits as long as it was told, says so, and sends nothing.
TEST_F(AcquireTest, ABusyDisplayIsReportedAndLeftAlone) {
    linkio::DisplayIdentity display;
    std::string error;
    ASSERT_TRUE(linkio::IdentifyDisplay("/dev/ttyS0", {}, display, error)) << error;
    linkio::DisplayTurn other(display);
    ASSERT_EQ(other.Take(0, nullptr), linkio::DisplayTurn::Result::kHeld);
    acq::stNvramDumpRequest request;
    request.ports = qlink::SerialChoice(kPort, 9600, 0);
    request.folder = dir / "out";
    request.nTurnWaitMs = 0;
    acq::stCommandResult r = acq::DumpNvram(link, request, progress, nullptr);
    EXPECT_EQ(r.nExitCode, 1);
    EXPECT_EQ(r.failure.reason, Reason::kDisplayBusy);
    EXPECT_EQ(r.failure.step, Step::kDisplayTurn);
    EXPECT_NE(r.failure.strDetail.find("busy"), std::string::npos) << r.failure.strDetail;
    cancel = 1;
    request.nTurnWaitMs = 60000;
    r = acq::DumpNvram(link, request, progress, &cancel);
    EXPECT_EQ(r.nExitCode, 2);
    EXPECT_EQ(r.failure.reason, Reason::kCancelled);
    EXPECT_TRUE(link.Calls().empty());
    EXPECT_EQ(progress.Events().front(), "begin");
    EXPECT_EQ(progress.Events()[1],
              "notice waiting for display " + display.name + ": another program is using it");
}

// "COM7" mapped to a device in the user's own settings (the program folder
// being someone else's) is that device: a command waits while another
// program holds the device's turn under its own name.
TEST_F(AcquireTest, AComNameIsTheDeviceTheUsersOwnSettingsMapItTo) {
    fs::path program = dir / "program";
    fs::create_directories(program);
    if (::geteuid() == 0)
        ASSERT_EQ(::chown(program.c_str(), 65534, 65534), 0);
    else
        program = "/";
    testsupport::WriteFile(dir / "xdg" / "quendra" / "QuendraControl.ini", "[Ports]\r\nCOM7=/dev/null\r\n");
    const testsupport::ScopedEnv programDir("QUENDRA_QNCTRL_DIR", program.string());
    const testsupport::ScopedEnv config("XDG_CONFIG_HOME", (dir / "xdg").string());
    linkio::DisplayIdentity display;
    std::string error;
    ASSERT_TRUE(linkio::IdentifyDisplay("/dev/null", {}, display, error)) << error;
    linkio::DisplayTurn other(display);
    ASSERT_EQ(other.Take(0, nullptr), linkio::DisplayTurn::Result::kHeld);
    acq::stNvramDumpRequest request;
    request.ports = qlink::SerialChoice("COM7", 9600, 0);
    request.folder = dir / "out";
    request.nTurnWaitMs = 0;
    const acq::stCommandResult r = acq::DumpNvram(link, request, progress, nullptr);
    EXPECT_EQ(r.failure.reason, Reason::kDisplayBusy);
    EXPECT_EQ(progress.Events()[1], "notice waiting for display /dev/null: another program is using it");
    EXPECT_TRUE(link.Calls().empty());
}

// The LAN binary link takes its own lock on the host only after the display
// was switched to binary mode, and could not switch it back without it: a
// FIFO or a link planted at that lock's file, or another program keeping the
// lock, and a command that uses the binary port sends nothing at all (the
// temperature dump, on the text port alone, goes on).
TEST_F(AcquireTest, BinaryCommandsSendNothingWhileTheLanHostLockCannotBeHad) {
    cmn::NamedLock other(linkio::LanHostLockName("127.0.0.5"));
    const fs::path lockFile = other.FilePath();
    Write("victim.txt", "precious");
    acq::stGetAllRequest logs;
    logs.ports = qlink::LanHostChoice("127.0.0.5", 10008, "", "", 0);
    logs.programDir = SamplesDir();
    logs.strModelName = "QM-X001";
    logs.nTurnWaitMs = 0;
    const std::vector<std::pair<std::function<void()>, std::string>> plants = {
        {[&] { ASSERT_EQ(::mkfifo(lockFile.c_str(), 0600), 0); }, "is a FIFO, not a regular file"},
        {[&] { fs::create_symlink(dir / "victim.txt", lockFile); }, "is a symbolic link, not a regular file"},
        {[&] { ASSERT_TRUE(other.TryLock()); }, "another program is using it"},
    };
    for (const auto& [plant, why] : plants) {
        SCOPED_TRACE(why);
        fs::remove(lockFile);
        plant();
        progress.Clear();
        const acq::stCommandResult r = acq::GetLogs(link, logs, progress, nullptr);
        EXPECT_EQ(r.nExitCode, 1);
        EXPECT_EQ(r.failure.step, Step::kDisplayTurn);
        EXPECT_NE(progress.Events()[1].find(why), std::string::npos) << progress.Events()[1];
        EXPECT_TRUE(link.Calls().empty());
    }
    other.Unlock();
    EXPECT_EQ(Read("victim.txt"), "precious");
    acq::stTempDumpRequest temp;
    temp.ports = logs.ports;
    temp.file = dir / "out" / "t.txt";
    acq::DumpTemperature(link, temp, progress, nullptr);
    EXPECT_FALSE(link.Calls().empty());
}

std::vector<std::string> ZipEntries(const fs::path& archive) {
    std::vector<std::string> names;
    int err = 0;
    zip_t* za = zip_open(archive.c_str(), ZIP_RDONLY, &err);
    if (za == nullptr) return names;
    for (zip_int64_t i = 0; i < zip_get_num_entries(za, 0); ++i)
        names.push_back(zip_get_name(za, static_cast<zip_uint64_t>(i), 0));
    zip_close(za);
    return names;
}

// The unattended run packs its own work folder; an archive already there is
// replaced only when the decision says so; a cancelled run leaves no file.
TEST_F(AcquireTest, UnattendedRunPacksItsWorkFolder) {
    acq::stCommandResult r = Run(Cmd::kUnattended, link);
    ASSERT_EQ(r.nExitCode, 0) << acq::FailureLine(r.failure);
    EXPECT_EQ(Names(dir / "work" / "temp"),
              (std::vector<std::string>{acq::kWorkFolderMarker, acq::kNvramDumpName, kReport}));
    const fs::path archive = dir / "out" / "LogData_5K1234567.zip";
    EXPECT_EQ(ZipEntries(archive), (std::vector<std::string>{acq::kNvramDumpName, kReport}));
    EXPECT_EQ(r.files.back().path, archive);
    EXPECT_EQ(decision.asked, 0);

    decision.replace = true;
    r = Run(Cmd::kUnattended, link);
    EXPECT_EQ(r.nExitCode, 0);
    EXPECT_EQ(decision.asked, 1);

    link.onCall = [this](const std::string& call) { cancel += call == Dk("46"); };
    fs::remove(archive);
    r = Run(Cmd::kUnattended, link, 0, &cancel);
    EXPECT_EQ(r.nExitCode, 2);
    EXPECT_EQ(r.failure.reason, Reason::kCancelled);
    EXPECT_TRUE(r.files.empty());
    EXPECT_EQ(Names(dir / "work" / "temp"), std::vector<std::string>{acq::kWorkFolderMarker});
    EXPECT_TRUE(Names(dir / "out").empty());
}

// The window's file commands: a log that does not decode says why and
// leaves no log; reports go where the dialogs said; Compare writes both
// files and starts the compare program with them as its two arguments.
TEST_F(AcquireTest, FileCommandsOfTheWindow) {
    fs::copy(SamplesDir(), dir / "prog", fs::copy_options::recursive);
    const fs::path script = dir / "cmp.sh";
    Write("cmp.sh", "#!/bin/sh\nprintf '%s|%s' \"$1\" \"$2\" > \"" + (dir / "args").string() +
                        ".tmp\" && mv \"" + (dir / "args").string() + ".tmp\" \"" + (dir / "args").string() +
                        "\"\n");
    fs::permissions(script, fs::perms::owner_all);
    Write("prog/QuendraReport.ini", "[COMMON]\nCPASS=" + script.string() + "\n");
    acq::CReportFrame frame(acq::MakeFrameSetup(dir / "prog", "QM-X001", dir / "prog" / "QMX001", true));

    Write("bad.dat", std::string(200, 'x'));
    acq::stFileOutcome o = frame.OpenLogFile(dir / "bad.dat");
    EXPECT_FALSE(o.bOk);
    ASSERT_TRUE(o.decodeError);
    EXPECT_EQ(o.strMessage, "Failed to read log file.\n" + (dir / "bad.dat").string());
    EXPECT_FALSE(frame.LogState().bPresent);

    ASSERT_TRUE(frame.OpenLogFile(SamplesDir() / "logs" / "healthy.dat").bOk);
    EXPECT_FALSE(frame.List().Rows().empty());
    EXPECT_TRUE(frame.CreateReport(dir / "copy.dat").bOk);
    EXPECT_EQ(Read("copy.dat"), testsupport::ReadFile(SamplesDir() / "logs" / "healthy.dat"));
    o = frame.CreateReport(dir / "missing" / "copy.dat");
    EXPECT_EQ(o.strMessage, "Failed to create file.");
    EXPECT_EQ(o.failure.reason, Reason::kFileError);
    EXPECT_NE(o.failure.strDetail.find("missing"), std::string::npos) << o.failure.strDetail;

    ASSERT_TRUE(frame.Compare(SamplesDir() / "logs" / "abnormal.dat").bOk);
    const fs::path file1 = dir / "prog" / "File1.txt", file2 = dir / "prog" / "File2.txt";
    EXPECT_NE(testsupport::ReadFile(file1), testsupport::ReadFile(file2));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!fs::exists(dir / "args") && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(Read("args"), file1.string() + "|" + file2.string());
}

}  // namespace
