// Decoding of log data blocks built with the log image builder, and saving them.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <memory>

#include "common/hex.h"
#include "common/RecordingPrompt.h"
#include "common/strutil.h"
#include "common/timeutil.h"
#include "logimage/LogImage.h"
#include "syslog/QuendraLog.h"

#include <testsupport/TempDir.h>
#include <testsupport/TimeZone.h>

namespace fs = std::filesystem;
using logimage::Bytes;
using logimage::LogDescription;
using logimage::Record;

namespace {

std::string Hex(const std::uint8_t* p, std::size_t n) {
    std::string s;
    cmn::BytesToHex(p, n, s);
    return s;
}

class QuendraLogTest : public testsupport::TempDirTest {
protected:
    void WriteIni(const std::string& text) { Write("QuendraReport.ini", text); }
    // Decodes a copy of exactly `b.size()` bytes on the heap, so reading past
    // the end is caught by the address sanitizer.
    int Parse(CQuendraLog& log, const Bytes& b) {
        std::unique_ptr<std::uint8_t[]> copy(new std::uint8_t[b.size() ? b.size() : 1]);
        if (!b.empty()) std::memcpy(copy.get(), b.data(), b.size());
        return log.ParseLogData(b.empty() ? nullptr : copy.get(), static_cast<int>(b.size()));
    }
    fs::path WriteFile(const std::string& name, const Bytes& b) {
        Write(name, Text(b));
        return dir / name;
    }
    static std::string Text(const Bytes& b) { return std::string(b.begin(), b.end()); }

    cmn::RecordingPrompt m_prompt;
    cmn::ScopedPrompt m_scoped{m_prompt};
};

// Every record kind, with values that show each bit field.
LogDescription AllKinds() {
    LogDescription d;
    d.model = "QM-X003";
    d.serial = "SN-42";
    d.versions = {{"Main", "1.02"}, {"Sub", "0.9"}};
    d.clock = {25, 3, 31, 17, 45, 10};
    d.usageTime = 5512;
    d.displayId = 7;
    d.groups[0] = {Record::Operation(123, 3, 9, 0x1234, 200, 7), Record::Signal(4000000000u, 2, 3, 3840, 2160, 60)};
    d.groups[1] = {Record::Power(86400, 17)};
    d.groups[2] = {Record::Abnormal(5, 12, 0x21, 65535, 255, 0xF)};
    d.groups[3] = {Record::DevInfo(6, 3, 63, 1, 65535), Record::Raw(9, {1, 2, 3, 4, 5, 6, 7, 8, 9}),
                   Record::Power(7, 0)};
    return d;
}

}  // namespace

TEST(CCRC16Test, CheckValueAndAgreementWithBuilder) {
    const char* digits = "123456789";
    EXPECT_EQ(CCRC16::ComputeCrc16(reinterpret_cast<const std::uint8_t*>(digits), 9, 0xFFFF), 0x29B1);
    EXPECT_EQ(CCRC16::ComputeCrc16(nullptr, 0, 0xFFFF), 0xFFFF);
    const Bytes b = logimage::BuildLog(logimage::AbnormalDisplay());
    EXPECT_EQ(CCRC16::ComputeCrc16(b.data(), static_cast<std::uint32_t>(b.size() - 2), 0xFFFF),
              b[b.size() - 2] | (b[b.size() - 1] << 8));
}

TEST_F(QuendraLogTest, GoldenDecodeVersion2AllKinds) {
    testsupport::ScopedTimeZone tz("UTC");
    CQuendraLog log(dir);
    logimage::LogLayout layout;
    const Bytes b = logimage::BuildLog(AllKinds(), &layout);
    ASSERT_EQ(Parse(log, b), 1);
    EXPECT_TRUE(m_prompt.Texts().empty());
    EXPECT_EQ(log.m_nFileVersion, 2);
    EXPECT_EQ(log.m_strModel, "QM-X003");
    EXPECT_EQ(log.m_strSerial, "SN-42");
    EXPECT_EQ(log.m_strInfo,
              "Main,1.02\tSub,0.9\tUsage Time,5512\tID,7\tDate/Time Setting,2025/03/31 17:45");
    EXPECT_EQ(log.m_strDispTime, "250331174510");
    // The temperature text runs from the section's version byte to the end, check value included.
    EXPECT_EQ(log.m_strTempHex, Hex(b.data() + layout.temperatureOffset, b.size() - layout.temperatureOffset));
    EXPECT_EQ(log.GetTempLog(), log.m_strTempHex);

    log.m_bValid = 1;
    log.CreateList();
    ASSERT_EQ(log.m_listLog.size(), 7u);
    const auto& op = log.m_listLog[0];
    EXPECT_EQ(op.nGroup, 0);
    EXPECT_EQ(op.nKind, 1);
    EXPECT_EQ(op.tmTime, 946684800 + 123);
    EXPECT_EQ(op.nInput, 3);
    EXPECT_EQ(op.nSubType, 9);
    EXPECT_EQ(op.nCode, 0x1234);
    EXPECT_EQ(op.nParamCount, 2);
    EXPECT_EQ(op.nParam1, 200);
    EXPECT_EQ(op.nParam2, 7);
    const auto& sig = log.m_listLog[1];
    EXPECT_EQ(sig.tmTime, 946684800 + 4000000000LL);  // unsigned lap time, no wrap
    EXPECT_EQ(sig.nInput, 2);
    EXPECT_EQ(sig.nSubType, 3);
    EXPECT_EQ(sig.strText, "3840x2160@60");
    EXPECT_EQ(sig.nParamCount, 0);
    const auto& pw = log.m_listLog[2];
    EXPECT_EQ(pw.nGroup, 1);
    EXPECT_EQ(pw.nCode, 17);
    EXPECT_EQ(pw.nInput, -1);
    EXPECT_EQ(pw.nParamCount, 0);
    const auto& ab = log.m_listLog[3];
    EXPECT_EQ(ab.nInput, 12);  // the high nibble of the input byte is not part of it
    EXPECT_EQ(ab.nCode, 0x21);
    EXPECT_EQ(ab.nParam1, 65535);
    EXPECT_EQ(ab.nParam2, 255);
    const auto& dev = log.m_listLog[4];
    EXPECT_EQ(dev.nGroup, 3);
    EXPECT_EQ(dev.nDevInfoType, 3);
    EXPECT_EQ(dev.nDevInfoId, 63);
    EXPECT_EQ(dev.nParam1, 1);
    EXPECT_EQ(dev.nParam2, 65535);
    EXPECT_EQ(dev.nInput, 0);
    // An unknown kind takes ten bytes like the others: the next record is intact.
    const auto& unk = log.m_listLog[5];
    EXPECT_EQ(unk.nKind, 9);
    EXPECT_EQ(unk.tmTime, 946684800);
    EXPECT_EQ(unk.nParamCount, 0);
    EXPECT_EQ(log.m_listLog[6].nKind, 3);
    EXPECT_EQ(log.m_listLog[6].tmTime, 946684800 + 7);
}

TEST_F(QuendraLogTest, GoldenDecodeVersion5Header) {
    testsupport::ScopedTimeZone tz("Asia/Tokyo");
    CQuendraLog log(dir);
    LogDescription d = logimage::Version5Header();
    d.model = "ANY-MODEL";  // no model check for version 5
    d.versions = {{"Main Firmware", "5.001"}};
    d.typed = {logimage::TypedEntry::Id("ID", 3), logimage::TypedEntry::UsageTime("Usage Time", -1),
               logimage::TypedEntry::Other(9, "Reserved"),
               logimage::TypedEntry::Clock("Date/Time Setting", {25, 4, 2, 9, 30, 0})};
    d.syslogFormat = 2;
    d.groups = {};
    d.groups[1] = {Record::Signal(0, 0, 0, 0, 0, 0)};
    ASSERT_EQ(Parse(log, logimage::BuildLog(d)), 1);
    EXPECT_EQ(log.m_nFileVersion, 5);
    EXPECT_EQ(log.m_strModel, "ANY-MODEL");
    EXPECT_EQ(log.m_strInfo,
              "Main Firmware,5.001\tID,3\tUsage Time,-1\tReserved,\tDate/Time Setting,2025/04/02 09:30");
    EXPECT_EQ(log.m_strDispTime, "250402093000");
    log.m_bValid = 1;
    log.CreateList();
    ASSERT_EQ(log.m_listLog.size(), 1u);
    EXPECT_EQ(log.m_listLog[0].nGroup, 1);
    EXPECT_EQ(log.m_listLog[0].strText, "0x0@0");
    EXPECT_EQ(log.m_listLog[0].tmTime, 946652400);  // 2000-01-01 00:00 JST
}

TEST_F(QuendraLogTest, HeaderFieldEdgeCases) {
    testsupport::ScopedTimeZone tz("UTC");
    {
        // A model name without terminator in its 16 bytes is empty; the serial follows at 17.
        CQuendraLog log(dir);
        LogDescription d;
        d.fileVersion = 5;
        d.model = "ABCDEFGHIJKLMNOP";
        logimage::LogLayout l;
        const Bytes b = logimage::BuildLog(d, &l);
        ASSERT_EQ(l.serialOffset, 17u);
        ASSERT_EQ(Parse(log, b), 1);
        EXPECT_EQ(log.m_strModel, "");
        EXPECT_EQ(log.m_strSerial, d.serial);
    }
    {
        // Usage time FF FF FF FF is -1; a clock byte of 150 shows as "00"; month 0
        // formats as time value 0 and is no valid time for the gap.
        CQuendraLog log(dir);
        LogDescription d;
        d.usageTime = -1;
        d.clock = {25, 0, 9, 150, 30, 0};
        ASSERT_EQ(Parse(log, logimage::BuildLog(d)), 1);
        EXPECT_EQ(log.m_strInfo, "Usage Time,-1\tID,0\tDate/Time Setting,1970/01/01 00:00");
        EXPECT_EQ(log.m_strDispTime, "250009003000");
        log.m_strPcTime = "250101000000";
        std::int64_t gap = 99;
        log.GetTimeGap(gap);
        EXPECT_EQ(gap, 0);
    }
}

TEST_F(QuendraLogTest, FailureMessagesAndAddresses) {
    testsupport::ScopedTimeZone tz("UTC");
    logimage::LogLayout l;
    const Bytes good = logimage::BuildLog(AllKinds(), &l);
    const auto expectFail = [&](const Bytes& b, const std::string& message) {
        CQuendraLog log(dir);
        m_prompt.Clear();
        EXPECT_EQ(Parse(log, b), 0) << message;
        EXPECT_EQ(m_prompt.Texts(), std::vector<std::string>{message});
        // Callers read the same reason from the log object.
        EXPECT_EQ(log.DecodeErrorMessage(), message);
        EXPECT_EQ("Error address:0x" + cmn::StrPrintf("%llX", static_cast<long long>(log.m_nErrorAddress)) + "\n" +
                      log.m_strError,
                  message);
    };
    const auto hex = [](std::size_t v) { return cmn::StrPrintf("%X", static_cast<unsigned>(v)); };

    Bytes b = good;
    b[0] = 3;  // before the check value is looked at
    expectFail(b, "Error address:0x0\nFile version error.");

    b = good;
    b[l.serialOffset] ^= 1;
    expectFail(b, "Error address:0x" + hex(good.size() - 2) + "\nCheck sum error.");

    LogDescription d = AllKinds();
    d.model = "QM-X006";
    b = logimage::BuildLog(d);
    expectFail(b, "Error address:0x" + hex(b.size() - 2) + "\nCheck Model error.");
    d.model = "qm-x003";  // case counts
    b = logimage::BuildLog(d);
    expectFail(b, "Error address:0x" + hex(b.size() - 2) + "\nCheck Model error.");

    d = AllKinds();
    d.syslogFormat = 4;
    expectFail(logimage::BuildLog(d), "Error address:0x" + hex(l.syslogFormatOffset) +
                                          "\nSystem log format version error.");

    d = AllKinds();
    d.temperature[0] = 6;
    expectFail(logimage::BuildLog(d), "Error address:0x" + hex(l.temperatureOffset) +
                                          "\nTemperature log format version error.");

    for (std::size_t n : {0, 1, 2}) expectFail(Bytes(n, 2), "Error address:0x" + hex(n) + "\nFile size error.");
}

TEST_F(QuendraLogTest, ChecksumSettingAndTemperatureVersions) {
    Bytes b = logimage::BuildLog(AllKinds());
    b[b.size() - 1] ^= 0xFF;
    WriteIni("[COMMON]\r\nCHECKSUM=0\r\n");
    CQuendraLog log(dir);
    EXPECT_EQ(log.m_bCheckSum, 0);
    EXPECT_EQ(Parse(log, b), 1);

    // A version 5 temperature section passes on to its decoder.
    LogDescription d = AllKinds();
    logimage::TempSectionV5 t;
    t.sensorCount = 2;
    d.temperature = logimage::BuildTempV5(t);
    ASSERT_EQ(Parse(log, logimage::BuildLog(d)), 1);
    EXPECT_EQ(log.m_strTempHex.substr(0, 4), "0502");
    EXPECT_TRUE(m_prompt.Texts().empty());

    // A failing parse keeps the temperature text of the last good one.
    d.temperature[0] = 3;
    EXPECT_EQ(Parse(log, logimage::BuildLog(d)), 0);
    EXPECT_EQ(log.m_strTempHex.substr(0, 4), "0502");
}

TEST_F(QuendraLogTest, TruncationAtEveryFieldFailsAtTheEnd) {
    // Cut a block anywhere before its temperature section: the decoder stops at
    // the end of the data and names the first missing byte.
    WriteIni("[COMMON]\r\nCHECKSUM=0\r\n");
    for (LogDescription d : {AllKinds(), logimage::Version5Header()}) {
        d.versions.push_back({std::string(40, 'N'), std::string(30, 'V')});  // unterminated fields
        logimage::LogLayout l;
        const Bytes full = logimage::BuildLog(d, &l);
        for (std::size_t n = 0; n <= l.temperatureOffset; ++n) {
            CQuendraLog log(dir);
            m_prompt.Clear();
            EXPECT_EQ(Parse(log, Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n))), 0) << n;
            EXPECT_EQ(m_prompt.Texts(),
                      std::vector<std::string>{cmn::StrPrintf("Error address:0x%X\nFile size error.",
                                                              static_cast<unsigned>(n))})
                << n;
        }
        CQuendraLog log(dir);
        EXPECT_EQ(Parse(log, Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(l.temperatureOffset + 1))),
                  1);
    }
}

TEST_F(QuendraLogTest, ReadBinStartsCleanAndChecksSize) {
    testsupport::ScopedTimeZone tz("UTC");
    CQuendraLog log(dir);
    EXPECT_EQ(log.ReadBin(dir / "missing.dat"), 0);
    EXPECT_TRUE(m_prompt.Texts().empty());

    EXPECT_EQ(log.ReadBin(WriteFile("short.dat", Bytes(80, 2))), 0);
    EXPECT_EQ(m_prompt.Texts(), std::vector<std::string>{"File size error."});
    EXPECT_EQ(log.DecodeErrorMessage(), "File size error.");  // no address
    EXPECT_EQ(log.m_bValid, 0);

    m_prompt.Clear();
    const fs::path huge = dir / "huge.dat";
    Write("huge.dat", "");
    fs::resize_file(huge, CQuendraLog::kMaxFileSize + 1);
    EXPECT_EQ(log.ReadBin(huge), 0);
    EXPECT_EQ(m_prompt.Texts(), std::vector<std::string>{"File size error."});

    m_prompt.Clear();
    const Bytes abnormal = logimage::BuildLog(logimage::AbnormalDisplay());
    ASSERT_EQ(log.ReadBin(WriteFile("a.dat", abnormal)), 1);
    EXPECT_EQ(log.m_strError, "");
    EXPECT_EQ(log.m_bValid, 1);
    EXPECT_EQ(log.m_nDataSize, static_cast<int>(abnormal.size()));
    EXPECT_FALSE(log.m_listLog.empty());
    EXPECT_EQ(log.m_strDispTime, "250331174510");
    log.m_strPcTime = "250401000000";

    // A version 5 file without a clock entry: no time of the earlier log survives.
    LogDescription v5 = logimage::Version5Header();
    v5.typed.pop_back();
    v5.typed.erase(v5.typed.begin() + 2);
    ASSERT_EQ(log.ReadBin(WriteFile("b.dat", logimage::BuildLog(v5))), 1);
    EXPECT_EQ(log.m_strDispTime, "");
    EXPECT_EQ(log.m_strPcTime, "");

    // A file that fails to decode keeps nothing of the earlier log, but counts as read.
    Bytes bad = abnormal;
    bad[bad.size() - 1] ^= 1;
    EXPECT_EQ(log.ReadBin(WriteFile("c.dat", bad)), 0);
    EXPECT_EQ(log.m_bValid, 1);
    EXPECT_TRUE(log.m_listLog.empty());
    EXPECT_EQ(log.m_strTempHex, "");
    EXPECT_EQ(log.m_strInfo, "");
    log.CreateList();
    EXPECT_TRUE(log.m_listLog.empty());

    log.Validate(0);
    EXPECT_EQ(log.m_bValid, 0);
    EXPECT_EQ(log.m_strModel, "");
    EXPECT_EQ(log.m_strSerial, "");
}

TEST_F(QuendraLogTest, SaveLogDataReplacesTheFileWhole) {
    CQuendraLog log(dir);
    const Bytes healthy = logimage::BuildLog(logimage::HealthyDisplay());
    log.SetLogData(healthy.data(), healthy.size());
    ASSERT_EQ(log.SaveLogData(dir / "out.dat"), 1);
    EXPECT_EQ(Read("out.dat"), Text(healthy));
    EXPECT_EQ(log.SaveLogData(dir / "no-such-folder" / "out.dat"), 0);

    // The saved file takes the name only when it is whole: a reader of the
    // previous file (here a second name of it) keeps all of the old bytes.
    const Bytes previous = logimage::BuildLog(logimage::AbnormalDisplay());
    WriteFile("keep.dat", previous);
    fs::create_hard_link(dir / "keep.dat", dir / "reader.dat");
    ASSERT_EQ(log.SaveLogData(dir / "keep.dat"), 1);
    EXPECT_EQ(Read("keep.dat"), Text(healthy));
    EXPECT_EQ(Read("reader.dat"), Text(previous));

    // A save that fails part-way (the file size limit stops it after 1 KiB)
    // reports the failure and keeps the previous file as it was.
    const Bytes large = logimage::BuildLog(logimage::LargeLog());
    log.SetLogData(large.data(), large.size());
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{1024, 1024};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::_exit(log.SaveLogData(dir / "keep.dat") == 0 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the failed save reported success";
    EXPECT_EQ(Read("keep.dat"), Text(healthy));
    // No temporary file is left beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 3);
}

TEST(QuendraLogTimes, Date2TimeAndGapInTwoZones) {
    for (const char* zone : {"UTC", "America/New_York"}) {
        testsupport::ScopedTimeZone tz(zone);
        std::time_t t = 42;
        ASSERT_EQ(CQuendraLog::Date2Time(t, "250102030405"), 1);
        EXPECT_EQ(cmn::FormatLocal(t, "%Y-%m-%d %H:%M:%S"), "2025-01-02 03:04:05");
        for (const char* bad : {"2501020304", "25010203040x", "250002030405", "250100030405", ""}) {
            t = 42;
            EXPECT_EQ(CQuendraLog::Date2Time(t, bad), 0) << bad;
            EXPECT_EQ(t, 42);
        }
    }
    testsupport::ScopedTimeZone tz("Asia/Tokyo");
    std::time_t t = 0;
    CQuendraLog::Log2Time(t, "86400");
    EXPECT_EQ(t, 946652400 + 86400);  // 2000-01-02 00:00 JST

    cmn::RecordingPrompt prompt;
    cmn::ScopedPrompt scoped(prompt);
    CQuendraLog log("/nonexistent-folder");
    log.m_strPcTime = "250101000130";
    log.m_strDispTime = "241231235900";
    std::int64_t gap = 0;
    log.GetTimeGap(gap);
    EXPECT_EQ(gap, 150);
    log.m_strPcTime.clear();
    log.GetTimeGap(gap);
    EXPECT_EQ(gap, 0);
}

TEST(QuendraLogItems, GetItemSplitsAtTheFirstSeparator) {
    std::string item, text = "a,bc,d";
    EXPECT_EQ(CQuendraLog::GetItem(item, text, ','), 1);
    EXPECT_EQ(item, "a");
    EXPECT_EQ(text, "bc,d");
    text = ",x";  // separator at position 0: the whole text is the item
    EXPECT_EQ(CQuendraLog::GetItem(item, text, ','), 1);
    EXPECT_EQ(item, ",x");
    EXPECT_EQ(text, "");
    EXPECT_EQ(CQuendraLog::GetItem(item, text, ','), 0);
    EXPECT_EQ(item, "");
    text = "last";
    EXPECT_EQ(CQuendraLog::GetItem(item, text, '\t'), 1);
    EXPECT_EQ(item, "last");
    EXPECT_EQ(text, "");
}

TEST_F(QuendraLogTest, SampleLogsDecodeAndMatchTheirGenerator) {
    for (const auto& sample : logimage::SampleLogs()) {
        const fs::path path = fs::path(QUENDRA_SAMPLES_DIR) / "logs" / sample.fileName;
        EXPECT_EQ(testsupport::ReadFile(path), Text(sample.data)) << path << " is out of date: run make-sample-logs";
        CQuendraLog log(dir);
        EXPECT_EQ(log.ReadBin(path), 1) << path;
        EXPECT_FALSE(log.m_listLog.empty()) << path;
        EXPECT_FALSE(log.GetTempLog().empty()) << path;
    }
    EXPECT_TRUE(m_prompt.Texts().empty());
}
