// The workers' exact call sequences against the recording link: every step,
// with and without a display ID, every failure point and its repair, and the
// display never left with its logging off.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <testsupport/TempDir.h>
#include <unistd.h>

#include <algorithm>
#include <functional>

#include "FakeRun.h"
#include "acquire/TempDump.h"
#include "acquire/Transfer.h"
#include "acquire/Workers.h"
#include "common/RecordingPrompt.h"
#include "link/Ports.h"
#include "link/RecordingDisplayLink.h"
#include "linkio/DisplayTurn.h"

using namespace acqtest;
namespace fs = std::filesystem;
using acq::stWorkerContext;

namespace {

std::vector<std::uint8_t> Pattern(std::size_t n, int seed) {
    std::vector<std::uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>((i * 31 + seed) & 0xFF);
    return v;
}

// Once "SRLG0000" went out, the last text command is "SRLG0001".
void ExpectLoggingBackOn(const Lines& calls) {
    std::vector<std::string> sets;
    for (const std::string& c : calls)
        if (c.rfind("QnSet(\"SRLG", 0) == 0) sets.push_back(c);
    if (std::find(sets.begin(), sets.end(), Set("SRLG0000")) == sets.end()) return;
    EXPECT_EQ(sets.back(), Set("SRLG0001"));
}

class SequenceTest : public testsupport::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        // The display's turn is a lock file: one folder of this test's own, apart from its files.
        m_locks = std::make_unique<testsupport::TempDir>();
        ::setenv("QUENDRA_LOCK_DIR", m_locks->Path().c_str(), 1);
        log = std::make_unique<CQuendraLog>(SamplesDir());
    }
    void TearDown() override { ::unsetenv("QUENDRA_LOCK_DIR"); }
    stWorkerContext Context(int id) {
        stWorkerContext ctx;
        ctx.pLink = &link;
        ctx.ports = qlink::SerialChoice(kPort, 9600, id);
        ctx.pLog = log.get();
        ctx.pProgress = &progress;
        ctx.transferPath = dir;
        return ctx;
    }
    void ExpectClean() {
        EXPECT_EQ(link.OpenHandles(), 0);
        EXPECT_EQ(link.BadCloses(), 0);
        ExpectLoggingBackOn(link.Calls());
        const Lines events = progress.Events();
        EXPECT_EQ(std::count(events.begin(), events.end(), "end"), 1);
        EXPECT_EQ(events.back(), "end");
        progress.Clear();
    }

    std::unique_ptr<testsupport::TempDir> m_locks;
    qlink::RecordingDisplayLink link;
    RecordingProgress progress;
    cmn::RecordingPrompt prompt;
    cmn::ScopedPrompt scoped{prompt};
    std::unique_ptr<CQuendraLog> log;
};

// Image sizes, with and without a display ID: the whole sequence, the
// progress, and the image in the log (present even when it does not decode).
TEST_F(SequenceTest, GetLogThreadReadsEveryBlockAndPutsTheDisplayBack) {
    struct Case {
        int id;
        std::size_t size;
        Lines positions;
    };
    for (const Case& c : {Case{0, 1024, {"pos 12"}}, Case{5, 1500, {"pos 12", "pos 24"}},
                          Case{0, 4096, {"pos 3", "pos 6", "pos 9", "pos 12"}}}) {
        SCOPED_TRACE(c.size);
        link.ClearCalls();
        progress.Clear();
        link.logImage = Pattern(c.size, 3);
        stWorkerContext ctx = Context(c.id);
        EXPECT_EQ(acq::GetLogThread(ctx), acq::kExitComm);  // a pattern is no valid log
        const Lines expected = LeaveBinaryShort(c.id) + Lines{OpenEx()} + LoggingCommands(c.id, false) +
                               EnterBinary(c.id) + Lines{"DkOpen(COM1,5,3,115200)"} +
                               BlockReads("40", "41", "42", static_cast<int>(c.size)) +
                               Lines{Dk(c.id ? "F0 05" : "F0 00"), "DkClose"} + ResumeLogging(c.id);
        EXPECT_EQ(link.Calls(), expected);
        EXPECT_EQ(log->m_bValid, 1);
        EXPECT_EQ(log->m_pData, link.logImage);
        EXPECT_EQ(log->m_strPcTime.size(), 12u);
        EXPECT_EQ(progress.Events(),
                  (Lines({acq::kTextConnecting, acq::kTextBinaryMode, acq::kTextLogReading}) + c.positions +
                   Lines{acq::kTextAsciiMode, "end"}));
        ExpectClean();
    }
}

TEST_F(SequenceTest, GetLogThreadDecodesAValidLogAndForgetsTheEarlierOne) {
    link.logImage = SampleLog();
    stWorkerContext ctx = Context(0);
    ASSERT_EQ(acq::GetLogThread(ctx), acq::kExitOk);
    EXPECT_FALSE(log->m_strModel.empty());
    EXPECT_FALSE(log->m_listLog.empty());

    // The next read fails on its first block: nothing of the first log survives.
    link.Fail(Dk("41 " + Le4(0, 1024)));
    ctx = Context(0);
    EXPECT_EQ(acq::GetLogThread(ctx), acq::kExitComm);
    EXPECT_EQ(log->m_bValid, 0);
    EXPECT_TRUE(log->m_strModel.empty());
    EXPECT_TRUE(log->m_listLog.empty());
    EXPECT_EQ(log->m_nDataSize, 0);
}

// Every failure point of a log read: what is sent after it, and the result.
TEST_F(SequenceTest, GetLogThreadFailurePointsAndRepairs) {
    const std::vector<std::uint8_t> image = SampleLog();
    const int total = static_cast<int>(image.size());
    const Lines head = LeaveBinaryShort(0) + Lines{OpenEx()};
    const Lines logOff = LoggingCommands(0, false);
    const Lines binaryOpen{"DkOpen(COM1,5,3,115200)"};
    const Lines endBinary{Dk("F0 00"), "DkClose"};
    const Lines upToTransfer = head + logOff + EnterBinary(0) + binaryOpen;
    qlink::stLinkAnswer shortSize;
    shortSize.bHasData = true;
    shortSize.data = {0x00};
    qlink::stLinkAnswer zeroSize;
    zeroSize.bHasData = true;
    zeroSize.data = {0x00, 0x00};
    qlink::stLinkAnswer shortBlock;
    shortBlock.bHasData = true;
    shortBlock.data = std::vector<std::uint8_t>(1024, 7);
    shortBlock.nReplyLen = 1000;

    struct Case {
        const char* name;
        std::string call;
        int occurrence;
        const qlink::stLinkAnswer* answer;  // null: the call fails
        int expectedCode;
        Lines expected;
    };
    const std::vector<Case> cases = {
        {"control open", OpenEx(), 1, nullptr, acq::kExitComm, head},
        {"first empty command only", Set(""), 1, nullptr, acq::kExitOk,
         upToTransfer + BlockReads("40", "41", "42", total) + endBinary + ResumeLogging(0)},
        {"third empty command", Set(""), 3, nullptr, acq::kExitComm,
         head + Lines{Set(""), Set(""), Set(""), "QnClose"}},
        {"binary mode refused", Set("FIRM0000"), 0, nullptr, acq::kExitComm,
         head + logOff + EnterBinary(0) + ResumeLogging(0)},
        {"binary open", "DkOpen(COM1,5,3,115200)", 0, nullptr, acq::kExitComm,
         upToTransfer + LeaveBinaryShort(0) + ResumeLogging(0)},
        {"size request", Dk("40"), 0, nullptr, acq::kExitComm,
         upToTransfer + Lines{Dk("40")} + endBinary + ResumeLogging(0)},
        {"size reply of one byte", Dk("40"), 0, &shortSize, acq::kExitComm,
         upToTransfer + Lines{Dk("40")} + endBinary + ResumeLogging(0)},
        {"size 0: the read is ended, no image", Dk("40"), 0, &zeroSize, acq::kExitComm,
         upToTransfer + Lines{Dk("40"), Dk("42")} + endBinary + ResumeLogging(0)},
        {"second block", Dk("41 " + Le4(1024, 1024)), 0, nullptr, acq::kExitComm,
         upToTransfer + Lines{Dk("40"), Dk("41 " + Le4(0, 1024)), Dk("41 " + Le4(1024, 1024))} + endBinary +
             ResumeLogging(0)},
        {"short block reply", Dk("41 " + Le4(0, 1024)), 0, &shortBlock, acq::kExitComm,
         upToTransfer + Lines{Dk("40"), Dk("41 " + Le4(0, 1024))} + endBinary + ResumeLogging(0)},
        {"end of read", Dk("42"), 0, nullptr, acq::kExitComm,
         upToTransfer + BlockReads("40", "41", "42", total) + endBinary + ResumeLogging(0)},
        {"logging back on", OpenEx(), 2, nullptr, acq::kExitComm,
         upToTransfer + BlockReads("40", "41", "42", total) + endBinary + Lines{OpenEx()}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        qlink::RecordingDisplayLink fresh;
        fresh.logImage = image;
        if (c.answer)
            fresh.Answer(c.call, *c.answer, c.occurrence);
        else
            fresh.Fail(c.call, c.occurrence);
        progress.Clear();
        stWorkerContext ctx = Context(0);
        ctx.pLink = &fresh;
        EXPECT_EQ(acq::GetLogThread(ctx), c.expectedCode);
        EXPECT_EQ(fresh.Calls(), c.expected);
        EXPECT_EQ(fresh.OpenHandles(), 0);
        EXPECT_EQ(fresh.BadCloses(), 0);
        if (std::string(c.name) != "logging back on") ExpectLoggingBackOn(fresh.Calls());
        EXPECT_EQ(progress.Events().back(), "end");
        // An image is present only when every block arrived.
        const bool arrived = c.expectedCode == acq::kExitOk || std::string(c.name) == "logging back on";
        EXPECT_EQ(log->m_bValid, arrived ? 1 : 0);
    }
}

TEST_F(SequenceTest, GetLogThreadWithIdNeedsTheBinaryModeAnswer) {
    qlink::stLinkAnswer wrong;
    wrong.strText = "BNMD0000";
    link.Answer("QnGetString(\"Command:BNMD5\")", wrong);
    stWorkerContext ctx = Context(5);
    EXPECT_EQ(acq::GetLogThread(ctx), acq::kExitComm);
    EXPECT_EQ(link.Calls(), (LeaveBinaryShort(5) + Lines{OpenEx()} + LoggingCommands(5, false) +
                             EnterBinary(5) + ResumeLogging(5)));
    ExpectClean();

    link.ClearCalls();
    link.Fail(Set("IDSL5"), 1);
    ctx = Context(5);
    EXPECT_EQ(acq::GetLogThread(ctx), acq::kExitComm);
    EXPECT_EQ(link.Calls(),
              (LeaveBinaryShort(5) + Lines{OpenEx(), Set(""), Set(""), Set(""), Set("IDSL5"), "QnClose"}));
}

TEST_F(SequenceTest, GetNvramThreadWritesTheDumpWholeOrNotAtAll) {
    link.nvramImage = Pattern(4096, 9);
    stWorkerContext ctx = Context(0);
    ASSERT_EQ(acq::GetNvramThread(ctx), acq::kExitOk);
    EXPECT_EQ(link.Calls(), (Lines{OpenEx()} + LoggingCommands(0, false) + EnterBinary(0) +
                             Lines{"DkOpen(COM1,5,3,115200)"} + BlockReads("44", "45", "46", 4096) +
                             Lines{Dk("F0 00"), "DkClose"} + ResumeLogging(0)));
    EXPECT_EQ(progress.Events(), (Lines{acq::kTextConnecting, acq::kTextBinaryMode, acq::kTextNvramReading,
                                        "pos 3", "pos 6", "pos 9", "pos 12", acq::kTextAsciiMode, "end"}));
    progress.Clear();
    const std::string dump = Read(acq::kNvramDumpName);
    EXPECT_EQ(std::vector<std::uint8_t>(dump.begin(), dump.end()), link.nvramImage);
    ASSERT_EQ(ctx.written.size(), 1u);

    // A later read that fails on its last block keeps the earlier dump whole.
    link.ClearCalls();
    link.nvramImage = Pattern(4096, 1);
    link.Fail(Dk("45 " + Le4(3072, 1024)));
    ctx = Context(0);
    EXPECT_EQ(acq::GetNvramThread(ctx), acq::kExitComm);
    EXPECT_EQ(Read(acq::kNvramDumpName), dump);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator()),
              1);
    ExpectClean();

    // A display announcing 0 bytes: a failure that keeps the earlier dump too.
    link.ClearCalls();
    link.nvramImage.clear();
    ctx = Context(0);
    EXPECT_EQ(acq::GetNvramThread(ctx), acq::kExitComm);
    EXPECT_EQ(Read(acq::kNvramDumpName), dump);
    EXPECT_TRUE(ctx.written.empty());
    ExpectClean();

    // A folder that cannot take the file: the image arrived, the file did not.
    qlink::RecordingDisplayLink other;
    ctx = Context(0);
    ctx.pLink = &other;
    ctx.transferPath = dir / "missing";
    EXPECT_EQ(acq::GetNvramThread(ctx), acq::kExitFile);
    EXPECT_EQ(other.OpenHandles(), 0);
    ExpectLoggingBackOn(other.Calls());
}

TEST_F(SequenceTest, SetNvramThreadWritesExactlyTheDisplaysSize) {
    link.nvramImage = Pattern(2500, 2);
    const std::vector<std::uint8_t> image = Pattern(2500, 77);
    Write("image.bin", std::string(image.begin(), image.end()));
    stWorkerContext ctx = Context(0);
    ctx.transferPath = dir / "image.bin";
    ASSERT_EQ(acq::SetNvramThread(ctx), acq::kExitOk);
    EXPECT_EQ(link.writtenNvram, image);
    // The last block is padded, never read past the file; 0xF0 follows over a
    // short connection of its own.
    EXPECT_EQ(link.Calls(), (Lines{OpenEx()} + LoggingCommands(0, false) + EnterBinary(0) +
                             Lines{"DkOpen(COM1,5,3,115200)", Dk("47"), Dk("48 0000 +1024"),
                                   Dk("48 0004 +1024"), Dk("48 0008 +1024"), Dk("49"), "DkClose"} +
                             LeaveBinaryShort(0) + ResumeLogging(0)));
    EXPECT_EQ(progress.Events(), (Lines{acq::kTextConnecting, acq::kTextBinaryMode, acq::kTextNvramWriting,
                                        "pos 6", "pos 12", "pos 18", acq::kTextAsciiMode, "end"}));
    progress.Clear();

    // One byte off either way, or nothing to write: refused after 0x47, nothing written.
    for (const auto& [displaySize, size] : {std::pair{2500u, 2499u}, {2500u, 2501u}, {0u, 0u}}) {
        link.ClearCalls();
        link.writtenNvram.clear();
        link.nvramImage = Pattern(displaySize, 2);
        Write("off.bin", std::string(size, 'x'));
        ctx = Context(0);
        ctx.transferPath = dir / "off.bin";
        EXPECT_EQ(acq::SetNvramThread(ctx), acq::kExitComm);
        EXPECT_EQ(link.Calls(), (Lines{OpenEx()} + LoggingCommands(0, false) + EnterBinary(0) +
                                 Lines{"DkOpen(COM1,5,3,115200)", Dk("47"), "DkClose"} + LeaveBinaryShort(0) +
                                 ResumeLogging(0)));
        EXPECT_TRUE(link.writtenNvram.empty());
        ExpectClean();
    }

    // A display ID: refused before anything is sent.
    link.ClearCalls();
    progress.Clear();
    ctx = Context(5);
    ctx.transferPath = dir / "image.bin";
    EXPECT_EQ(acq::SetNvramThread(ctx), acq::kExitRefused);
    EXPECT_TRUE(link.Calls().empty());
    EXPECT_EQ(progress.Events(), (Lines{acq::kTextConnecting, "end"}));
    progress.Clear();

    // A failed binary open: one repair, then logging back on.
    link.ClearCalls();
    link.Fail("DkOpen(COM1,5,3,115200)");
    ctx = Context(0);
    ctx.transferPath = dir / "image.bin";
    EXPECT_EQ(acq::SetNvramThread(ctx), acq::kExitComm);
    EXPECT_EQ(link.Calls(), (Lines{OpenEx()} + LoggingCommands(0, false) + EnterBinary(0) +
                             Lines{"DkOpen(COM1,5,3,115200)"} + LeaveBinaryShort(0) + ResumeLogging(0)));
    ExpectClean();
}

TEST_F(SequenceTest, CancelStopsBetweenBlocksAndStillPutsTheDisplayBack) {
    link.nvramImage = Pattern(4096, 5);
    int cancel = 0;
    link.onCall = [&](const std::string& call) {
        if (call == Dk("45 " + Le4(1024, 1024))) cancel = 1;
    };
    stWorkerContext ctx = Context(0);
    ctx.pCancel = &cancel;
    EXPECT_EQ(acq::GetNvramThread(ctx), acq::kExitCancel);
    EXPECT_EQ(link.Calls(), (Lines{OpenEx()} + LoggingCommands(0, false) + EnterBinary(0) +
                             Lines{"DkOpen(COM1,5,3,115200)", Dk("44"), Dk("45 " + Le4(0, 1024)),
                                   Dk("45 " + Le4(1024, 1024)), Dk("F0 00"), "DkClose"} +
                             ResumeLogging(0)));
    EXPECT_FALSE(std::filesystem::exists(dir / acq::kNvramDumpName));
    ExpectClean();
}

// "SRLG0001" refused (or its reply lost): sent again, then over a second
// connection; a display that never accepts it fails the transfer.
TEST_F(SequenceTest, LoggingBackOnIsRepeatedUntilAccepted) {
    link.nvramImage = Pattern(1024, 4);
    const Lines transfer = Lines{OpenEx()} + LoggingCommands(0, false) + EnterBinary(0) +
                           Lines{"DkOpen(COM1,5,3,115200)"} + BlockReads("44", "45", "46", 1024) +
                           Lines{Dk("F0 00"), "DkClose"};
    struct Case {
        const char* name;
        std::vector<int> refusals;  // occurrences of "SRLG0001" that fail
        int code;
        Lines after;
    };
    for (const Case& c :
         {Case{"refused once",
               {1},
               acq::kExitOk,
               Lines{OpenEx(), Set(""), Set(""), Set(""), Set("SRLG0001"), Set("SRLG0001"), "QnClose"}},
          Case{"refused twice",
               {1, 2},
               acq::kExitOk,
               Lines{OpenEx(), Set(""), Set(""), Set(""), Set("SRLG0001"), Set("SRLG0001"), "QnClose"} +
                   ResumeLogging(0)},
          Case{"never accepted",
               {0},
               acq::kExitComm,
               Lines{OpenEx(), Set(""), Set(""), Set(""), Set("SRLG0001"), Set("SRLG0001"), "QnClose",
                     OpenEx(), Set(""), Set(""), Set(""), Set("SRLG0001"), Set("SRLG0001"), "QnClose"}}}) {
        SCOPED_TRACE(c.name);
        link.ClearCalls();
        qlink::RecordingDisplayLink fresh;
        fresh.nvramImage = link.nvramImage;
        for (int occurrence : c.refusals) fresh.Fail(Set("SRLG0001"), occurrence);
        stWorkerContext ctx = Context(0);
        ctx.pLink = &fresh;
        EXPECT_EQ(acq::GetNvramThread(ctx), c.code);
        EXPECT_EQ(fresh.Calls(), transfer + c.after);
        EXPECT_EQ(fresh.OpenHandles(), 0);
    }
}

TEST_F(SequenceTest, ClearLogsKeepsLoggingOnWhateverTheClearAnswered) {
    struct Case {
        const char* refused;
        int id;
        bool opened, cleared;
        Lines control;
    };
    const std::string openIf = "QnOpenIF(COM1,,,5,9600)";
    for (const Case& c :
         {Case{nullptr,
               0,
               true,
               true,
               {OpenEx(), Set("TRST0002"), Set("SRLG0000"), Set("ACLG0000"), Set("SRLG0001"), "QnClose"}},
          Case{"ACLG0000",
               0,
               true,
               false,
               {OpenEx(), Set("TRST0002"), Set("SRLG0000"), Set("ACLG0000"), Set("SRLG0001"), "QnClose"}},
          Case{"TRST0002", 0, true, false, {OpenEx(), Set("TRST0002"), "QnClose"}},
          Case{nullptr,
               5,
               true,
               true,
               {openIf, Set("TRST0002"), Set("SRLG0000"), Set("ACLG0000"), Set("SRLG0001"), "QnClose"}}}) {
        SCOPED_TRACE(c.refused ? c.refused : "accepted");
        qlink::RecordingDisplayLink l;
        if (c.refused) l.Fail(Set(c.refused));
        const acq::stClearResult r = acq::ClearDisplayLogs(l, qlink::SerialChoice(kPort, 9600, c.id));
        EXPECT_EQ(r.bOpened, c.opened);
        EXPECT_EQ(r.bCleared, c.cleared);
        EXPECT_FALSE(r.bLoggingLeftOff);
        EXPECT_EQ(l.Calls(), LeaveBinaryShort(c.id) + c.control);
        EXPECT_EQ(l.OpenHandles(), 0);
    }

    // "SRLG0001" is sent once more when refused; never accepted, the clear
    // does not pass for a success.
    for (int refusal : {1, 0}) {
        qlink::RecordingDisplayLink l;
        l.Fail(Set("SRLG0001"), refusal);
        const acq::stClearResult r = acq::ClearDisplayLogs(l, qlink::SerialChoice(kPort, 9600, 0));
        EXPECT_TRUE(r.bCleared);
        EXPECT_EQ(r.bLoggingLeftOff, refusal == 0);
        EXPECT_EQ(l.Calls(),
                  (LeaveBinaryShort(0) + Lines{OpenEx(), Set("TRST0002"), Set("SRLG0000"), Set("ACLG0000"),
                                               Set("SRLG0001"), Set("SRLG0001"), "QnClose"}));
    }
}

TEST(TempDumpTest, SplitTempLogTakesDigitsRightAfterTheFirstColon) {
    struct Case {
        std::string in;
        bool ok;
        int value;
        std::string rest;
    };
    for (const Case& c : {Case{"T1:55,T2:58", true, 55, ",T2:58"}, Case{":7", true, 7, ""},
                          Case{"T1: 55", false, 0, "T1: 55"}, Case{"no colon", false, 0, "no colon"},
                          Case{"a:-3", false, 0, "a:-3"}, Case{"x:99999999999999", true, 2147483647, ""}}) {
        int v = 0;
        std::string text = c.in;
        EXPECT_EQ(acq::SplitTempLog(v, text), c.ok) << c.in;
        EXPECT_EQ(v, c.value) << c.in;
        EXPECT_EQ(text, c.rest) << c.in;
    }
    int t[3];
    acq::SplitCurrentTemps("25,30", t);
    EXPECT_EQ(t[0], 25);
    EXPECT_EQ(t[1], 30);
    EXPECT_EQ(t[2], 0);
    acq::SplitCurrentTemps("1,2,3,4", t);
    EXPECT_EQ(t[2], 3);
}

// A start reply without the three temperatures fails the whole dump: nothing
// is written and the display is put back.
TEST_F(SequenceTest, TemperatureDumpFailsWholeAndPutsTheDisplayBack) {
    qlink::stLinkAnswer start;
    start.strText = "2026/10/01 08:15,T1:55,T2:58";  // two groups only
    link.Answer("QnGetString(\"Command:BLRS0000\")", start);
    stWorkerContext ctx = Context(0);
    ctx.transferPath = dir / "Temperature.txt";
    EXPECT_EQ(acq::GetTemperatureThread(ctx), acq::kExitComm);
    EXPECT_FALSE(std::filesystem::exists(ctx.transferPath));
    const Lines calls = link.Calls();
    ASSERT_GE(calls.size(), 4u);
    EXPECT_EQ(calls[0], OpenEx());
    EXPECT_EQ(calls[1], Set("SRLG0000"));
    EXPECT_EQ(calls[2], Set("ESPC0001"));
    EXPECT_EQ(Lines(calls.end() - 4, calls.end()),
              (Lines{"QnGetString(\"Command:BLRS0000\")", Set("ESPC0000"), Set("SRLG0001"), "QnClose"}));
    EXPECT_EQ(link.OpenHandles(), 0);

    // Maintenance mode refused: no queries, ESPC0000 and SRLG0001 still go out,
    // also when "SRLG0000" seemed to fail (its reply may have been lost).
    qlink::RecordingDisplayLink refusing;
    refusing.Fail(Set("ESPC0001"));
    refusing.Fail(Set("SRLG0000"));
    ctx.pLink = &refusing;
    ctx.ports.nDisplayId = 5;
    EXPECT_EQ(acq::GetTemperatureThread(ctx), acq::kExitComm);
    EXPECT_EQ(refusing.Calls(), (Lines{"QnOpenIF(COM1,,,5,9600)", Set("SRLG0000"), Set("ESPC0001"),
                                       Set("ESPC0000"), Set("SRLG0001"), "QnClose"}));

    // A whole dump, then the display refusing to be put back: "ESPC0000" and
    // "SRLG0001" are sent again, then over a new connection; a display that
    // never takes one of them fails the dump (the whole file is still written).
    struct PutBackCase {
        const char* name;
        const char* refused;
        std::vector<int> refusals;  // occurrences that fail; 0 = every one
        int code;
        Lines tail;
    };
    for (const PutBackCase& c : {
             PutBackCase{"ESPC0000 refused on the first connection",
                         "ESPC0000",
                         {1, 2},
                         acq::kExitOk,
                         {Set("ESPC0000"), Set("ESPC0000"), Set("SRLG0001"), "QnClose", OpenEx(),
                          Set("ESPC0000"), "QnClose"}},
             PutBackCase{"ESPC0000 never accepted",
                         "ESPC0000",
                         {0},
                         acq::kExitComm,
                         {Set("ESPC0000"), Set("ESPC0000"), Set("SRLG0001"), "QnClose", OpenEx(),
                          Set("ESPC0000"), Set("ESPC0000"), "QnClose"}},
             PutBackCase{"SRLG0001 never accepted",
                         "SRLG0001",
                         {0},
                         acq::kExitComm,
                         {Set("ESPC0000"), Set("SRLG0001"), Set("SRLG0001"), "QnClose", OpenEx(),
                          Set("SRLG0001"), Set("SRLG0001"), "QnClose"}},
         }) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(ctx.transferPath);
        qlink::RecordingDisplayLink stubborn;
        for (int occurrence : c.refusals) stubborn.Fail(Set(c.refused), occurrence);
        qlink::stLinkAnswer eventStart, eventMax;
        eventStart.strText = "2026/10/01 08:15,T1:55,T2:58,T3:57";
        eventMax.strText = "T1:62 T2:64 T3:63,1H00M";
        for (int i = 0; i < 5; ++i) {
            for (const char* word : {"BLRS000", "POLR000", "TLRS000"})
                stubborn.Answer("QnGetString(\"Command:" + std::string(word) + std::to_string(i) + "\")",
                                eventStart);
            for (const char* word : {"BLRE000", "TLRE000"})
                stubborn.Answer("QnGetString(\"Command:" + std::string(word) + std::to_string(i) + "\")",
                                eventMax);
        }
        ctx.pLink = &stubborn;
        ctx.ports.nDisplayId = 0;
        EXPECT_EQ(acq::GetTemperatureThread(ctx), c.code);
        const Lines calls2 = stubborn.Calls();
        ASSERT_GE(calls2.size(), c.tail.size());
        EXPECT_EQ(Lines(calls2.end() - static_cast<long>(c.tail.size()), calls2.end()), c.tail);
        EXPECT_EQ(stubborn.OpenHandles(), 0);
        EXPECT_TRUE(std::filesystem::exists(ctx.transferPath));
    }
}

}  // namespace

// Another program holding the display's turn under another spelling of its
// port: a worker says that it waits and, when cancelled meanwhile, sends
// nothing at all.
TEST_F(SequenceTest, WorkersWaitForTheDisplaysTurn) {
    stWorkerContext ctx = Context(0);
    linkio::DisplayIdentity display;
    std::string error;
    ASSERT_TRUE(linkio::IdentifyDisplay("/dev/ttyS0", {}, display, error)) << error;
    linkio::DisplayTurn other(display);
    ASSERT_EQ(other.Take(0, nullptr), linkio::DisplayTurn::Result::kHeld);
    int cancel = 1;
    ctx.pCancel = &cancel;
    EXPECT_EQ(acq::GetLogThread(ctx), acq::kExitCancel);
    EXPECT_EQ(progress.Events(),
              (Lines{"notice waiting for display " + display.name + ": another program is using it", "end"}));
    EXPECT_EQ(acq::SetNvramThread(ctx), acq::kExitCancel);
    EXPECT_TRUE(link.Calls().empty());
    other.Release();
    cancel = 0;
    EXPECT_EQ(acq::GetNvramThread(ctx), acq::kExitOk);
    EXPECT_FALSE(link.Calls().empty());
}

// "COM7" mapped to a device in the user's own settings (the program folder
// being someone else's) is that device: a worker waits while another
// program holds the device's turn under its own name.
TEST_F(SequenceTest, AComNameIsTheDeviceTheUsersOwnSettingsMapItTo) {
    fs::path program = dir / "program";
    fs::create_directories(program);
    if (::geteuid() == 0)
        ASSERT_EQ(::chown(program.c_str(), 65534, 65534), 0);
    else
        program = "/";
    testsupport::WriteFile(dir / "xdg" / "quendra" / "QuendraControl.ini", "[Ports]\r\nCOM7=/dev/null\r\n");
    ::setenv("QUENDRA_QNCTRL_DIR", program.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (dir / "xdg").c_str(), 1);
    linkio::DisplayIdentity display;
    std::string error;
    ASSERT_TRUE(linkio::IdentifyDisplay("/dev/null", {}, display, error)) << error;
    linkio::DisplayTurn other(display);
    ASSERT_EQ(other.Take(0, nullptr), linkio::DisplayTurn::Result::kHeld);
    stWorkerContext ctx = Context(0);
    ctx.ports = qlink::SerialChoice("COM7", 9600, 0);
    int cancel = 1;
    ctx.pCancel = &cancel;
    EXPECT_EQ(acq::GetNvramThread(ctx), acq::kExitCancel);
    EXPECT_EQ(progress.Events(),
              (Lines{"notice waiting for display /dev/null: another program is using it", "end"}));
    EXPECT_TRUE(link.Calls().empty());
    ::unsetenv("QUENDRA_QNCTRL_DIR");
    ::unsetenv("XDG_CONFIG_HOME");
}

// The LAN binary link takes its own lock on the host only after the display
// was switched to binary mode, and could not switch it back without it: a
// FIFO or a link planted at that lock's file, or another program keeping the
// lock, and a worker that uses the binary port sends nothing at all (the
// temperature dump, on the text port alone, goes on).
TEST_F(SequenceTest, BinaryWorkersSendNothingWhileTheLanHostLockCannotBeHad) {
    stWorkerContext ctx = Context(0);
    ctx.ports = qlink::LanHostChoice("127.0.0.5", 10008, "", "", 0);
    ctx.transferPath = dir / "Temperature.txt";
    cmn::NamedLock other(linkio::LanHostLockName("127.0.0.5"));
    const std::filesystem::path lockFile = other.FilePath();
    testsupport::WriteFile(dir / "victim.txt", "precious");
    const std::vector<std::pair<std::function<void()>, std::string>> plants = {
        {[&] { ASSERT_EQ(::mkfifo(lockFile.c_str(), 0600), 0); }, "is a FIFO, not a regular file"},
        {[&] { std::filesystem::create_symlink(dir / "victim.txt", lockFile); },
         "is a symbolic link, not a regular file"},
    };
    for (const auto& [plant, reason] : plants) {
        SCOPED_TRACE(reason);
        std::filesystem::remove(lockFile);
        plant();
        progress.Clear();
        EXPECT_EQ(acq::GetLogThread(ctx), acq::kExitComm);
        EXPECT_EQ(
            progress.Events(),
            (Lines{"notice cannot use display 127.0.0.5: " + lockFile.string() + ": " + reason, "end"}));
        EXPECT_TRUE(link.Calls().empty());
    }
    EXPECT_EQ(testsupport::ReadFile(dir / "victim.txt"), "precious");
    acq::GetTemperatureThread(ctx);
    EXPECT_FALSE(link.Calls().empty());

    std::filesystem::remove(lockFile);
    link.ClearCalls();
    ASSERT_TRUE(other.TryLock());
    int cancel = 1;
    ctx.pCancel = &cancel;
    progress.Clear();
    EXPECT_EQ(acq::GetNvramThread(ctx), acq::kExitCancel);
    EXPECT_EQ(progress.Events(),
              (Lines{"notice waiting for display 127.0.0.5: another program is using it", "end"}));
    EXPECT_TRUE(link.Calls().empty());
    other.Unlock();
    cancel = 0;
    ctx.transferPath = dir;
    EXPECT_EQ(acq::GetNvramThread(ctx), acq::kExitOk);
}
