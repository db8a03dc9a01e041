// Both decoders against log data written byte by byte from the format tables
// (not with the log image builder, so that a mistake the builder shares with
// the decoders shows): one block of file version 2, system log format 2 and
// temperature format 4, one of file version 5, system log format 3 and
// temperature format 5. The check value is computed here, bit by bit.
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "common/RecordingPrompt.h"
#include "syslog/QuendraLog.h"
#include "templog/TempLogCtrl.h"

#include <testsupport/TimeZone.h>

namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::time_t kEpochUtc = 946684800;  // 2000-01-01 00:00:00 UTC

// CRC-16, polynomial 0x1021, initial value 0xFFFF, most significant bit first.
std::uint16_t Crc(const Bytes& b) {
    std::uint16_t crc = 0xFFFF;
    for (std::uint8_t byte : b) {
        crc ^= static_cast<std::uint16_t>(byte << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<std::uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return crc;
}

// The bytes of a hexadecimal text (blanks ignored) with the check value appended.
Bytes Block(const std::string& hex) {
    Bytes b;
    std::string digits;
    for (char c : hex)
        if (std::isxdigit(static_cast<unsigned char>(c))) digits += c;
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2)
        b.push_back(static_cast<std::uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
    const std::uint16_t crc = Crc(b);
    b.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    b.push_back(static_cast<std::uint8_t>(crc >> 8));
    return b;
}

const std::string kVersion2 =
    "02"                                  // file version 2
    "51 4D 2D 58 30 30 32 00  53 4E 31 00"  // model "QM-X002", serial "SN1"
    "01  4D 61 69 6E 00  31 2E 30 00"     // one version entry: "Main" = "1.0"
    "19 03 0E 0F 09 1A  D2 04 00 00  07"  // clock 25-03-14 15:09:26, usage 1234, id 7
    "02"                                  // system log format 2
    "02 00"                               // group 0: two records
    "01  80 51 01 00  23  02 01  0A 0B"   //   operation, lap 86400, input 3 type 2, code 0x0102, 10, 11
    "02  64 00 00 00  81 43 80 47 3C"     //   signal, lap 100, input 1, 1920x1080, status 1, rate 60
    "01 00  03  01 00 00 00  06 FF FF FF FF"  // group 1: power, lap 1, reason 6 (the rest undecoded)
    "01 00  04  FF FF FF FF  A5 21 34 12 7F"  // group 2: abnormal, input 5 (high nibble A), code 0x21, 0x1234, 127
    "02 00"                               // group 3: two records
    "05  02 00 00 00  B6  EF BE  02 01"   //   developer information, type 2 id 45, 0xBEEF, 0x0102
    "09  01 02 03 04 05 06 07 08 09"      //   kind 9: not decoded
    // Temperature section, format 4, one sensor (245 bytes).
    "04 01 02 03  FB  01 01 46  3C 37  50 4B  5A  80  7F"  // counts, current -5, flags, thresholds, min, max
    "01 02 03 04  10 00 00 00  FF FF FF FF  05 00  07 00"  // totals, low count 5, bright down count 7
    "80 51 01 00  0C 00 00 00  1E  02 00 00 00  2D  41 42"  // bright down slot 1
    "00000000 00000000 00 00000000 00 0000  00000000 00000000 00 00000000 00 0000"
    "00000000 00000000 00 00000000 00 0000  00000000 00000000 00 00000000 00 0000"
    "00 00"                                                 // high temperature count 0
    "00000000 00000000 00 00000000 00 0000  00000000 00000000 00 00000000 00 0000"
    "00000000 00000000 00 00000000 00 0000  00000000 00000000 00 00000000 00 0000"
    "00000000 00000000 00 00000000 00 0000"
    "01 00"                                                 // power off count 1
    "00 00 00 00  03 00 00 00  04  55"                      // power off slot 1: no clock time, 3h4m, 85
    "00000000 00000000 00 00  00000000 00000000 00 00  00000000 00000000 00 00  00000000 00000000 00 00";

const std::string kVersion5 =
    "05"                                  // file version 5
    "41 4E 59 00"                         // model "ANY" (no model check)
    "30 31 32 33 34 35 36 37 38 39 41 42 43 44 45 46"  // serial of 16 bytes, no terminator: empty
    "00"                                  // no version entries
    "04"                                  // four typed entries
    "01 49 44 00 0C"                      //   1 "ID" = 12
    "04 55 73 61 67 65 00 FF FF FF FF"    //   4 "Usage" = -1
    "09 58 00"                            //   9 "X": no value
    "06 43 6C 6F 63 6B 00 19 0C 1F 17 3B 96"  // 6 "Clock" = 25-12-31 23:59, second byte 150
    "03"                                  // system log format 3
    "00 00"                               // group 0: empty
    "01 00  01 00 00 00 00 F0 FF FF 00 FF"  // group 1: operation, lap 0, input 0 type 15, code 65535, 0, 255
    "00 00"                               // group 2: empty
    "01 00  02 0A 00 00 00 FF FF FF FF FF"  // group 3: signal, every bit set: input 15, 16383x4095, status 3, 255
    // Temperature section, format 5, two sensors (29 bytes).
    "05 02  21 80  02  3C 80  80 50"      // current 33 and -128, direction 2, thresholds (-128: unused)
    "80 51 01 00  07 00 00 00  3D 3E"     // bright down: 86400, 7h, 61, 62
    "00 00 00 00  09 00 00 00  F6 01";    // power off: no clock time, 9h, -10, 1

struct Expected {
    int kind, group;
    std::time_t time;
    int input, subType, code, params, param1, param2, devType, devId;
    const char* text;
};

void ExpectRecords(const CQuendraLog& log, const std::vector<Expected>& want) {
    ASSERT_EQ(log.m_listLog.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        SCOPED_TRACE(i);
        const stLogItem& got = log.m_listLog[i];
        const Expected& w = want[i];
        EXPECT_EQ(got.nKind, w.kind);
        EXPECT_EQ(got.nGroup, w.group);
        EXPECT_EQ(got.tmTime, w.time);
        EXPECT_EQ(got.nInput, w.input);
        EXPECT_EQ(got.nSubType, w.subType);
        EXPECT_EQ(got.nCode, w.code);
        EXPECT_EQ(got.nParamCount, w.params);
        EXPECT_EQ(got.nParam1, w.param1);
        EXPECT_EQ(got.nParam2, w.param2);
        EXPECT_EQ(got.nDevInfoType, w.devType);
        EXPECT_EQ(got.nDevInfoId, w.devId);
        EXPECT_EQ(got.strText, w.text);
    }
}

class DecodeFixtureTest : public ::testing::Test {
protected:
    // Decodes `block` with the check value tested (the default settings).
    void Decode(const Bytes& block) {
        ASSERT_EQ(m_log.ParseLogData(block.data(), static_cast<int>(block.size())), 1) << m_log.DecodeErrorMessage();
        m_log.m_bValid = 1;
        m_log.CreateList();
        m_temp.SetLogObject(&m_log);
        ASSERT_EQ(m_temp.SetTempLog(), 1);
    }

    testsupport::ScopedTimeZone m_tz{"UTC"};
    cmn::RecordingPrompt m_prompt;
    cmn::ScopedPrompt m_scoped{m_prompt};
    CQuendraLog m_log{std::filesystem::path("/nonexistent-folder")};
    CTempLogCtrl m_temp;
};

}  // namespace

TEST_F(DecodeFixtureTest, FileVersion2SystemLog2Temperature4) {
    const Bytes block = Block(kVersion2);
    ASSERT_EQ(Crc({'1', '2', '3', '4', '5', '6', '7', '8', '9'}), 0x29B1);
    Decode(block);
    EXPECT_EQ(m_log.m_nFileVersion, 2);
    EXPECT_EQ(m_log.m_strModel, "QM-X002");
    EXPECT_EQ(m_log.m_strSerial, "SN1");
    EXPECT_EQ(m_log.m_strInfo, "Main,1.0\tUsage Time,1234\tID,7\tDate/Time Setting,2025/03/14 15:09");
    EXPECT_EQ(m_log.m_strDispTime, "250314150926");
    ExpectRecords(m_log, {
        {1, 0, kEpochUtc + 86400, 3, 2, 0x0102, 2, 10, 11, 0, 0, ""},
        {2, 0, kEpochUtc + 100, 1, 1, 0, 0, 0, 0, 0, 0, "1920x1080@60"},
        {3, 1, kEpochUtc + 1, -1, 0, 6, 0, 0, 0, 0, 0, ""},
        {4, 2, kEpochUtc + 4294967295LL, 5, 0, 0x21, 2, 0x1234, 127, 0, 0, ""},
        {5, 3, kEpochUtc + 2, 0, 0, 0, 2, 0xBEEF, 0x0102, 2, 45, ""},
        {9, 3, kEpochUtc, 0, 0, 0, 0, 0, 0, 0, 0, ""},
    });
    // The temperature text runs from the section's version byte to the end.
    EXPECT_EQ(m_log.m_strTempHex.size(), 2u * (245 + 2));

    const stTempLogV4* t = m_temp.GetTempLogV4();
    ASSERT_NE(t, nullptr);
    EXPECT_EQ((std::vector<int>{t->nSensorNum, t->nFanNum, t->nFanType, t->listCurrentTemp.at(0).nTemp1, t->nDirection,
                                t->nBrightCtrlEnable, t->nBrightAtHighTemp}),
              (std::vector<int>{1, 2, 3, -5, 1, 1, 70}));
    EXPECT_EQ((std::vector<int>{t->listBrightCtrlThreshold.at(0).nTemp1, t->listBrightCtrlThreshold.at(0).nTemp2,
                                t->listHighTempErrThreshold.at(0).nTemp1, t->listHighTempErrThreshold.at(0).nTemp2,
                                t->listPowerOffThreshold.at(0).nTemp1, t->listMinTemp.at(0).nTemp1,
                                t->listMaxTemp.at(0).nTemp1}),
              (std::vector<int>{60, 55, 80, 75, 90, -128, 127}));
    EXPECT_EQ(t->dwBrightDownTotalTime, 0x04030201u);
    EXPECT_EQ(t->dwHighTempTotalTime, 16u);
    EXPECT_EQ(t->dwLowTempTotalTime, 0xFFFFFFFFu);
    EXPECT_EQ(t->wLowTempCount, 5);
    EXPECT_EQ(t->wBrightDownCount, 7);
    EXPECT_EQ(t->wHighTempCount, 0);
    EXPECT_EQ(t->wPowerOffCount, 1);
    const stTempErrorLog& bright = t->aryBrightDownLog.at(0);
    EXPECT_EQ((std::vector<long long>{bright.dwTime, bright.dwHour, bright.wMinute, bright.dwDurationHour,
                                      bright.wDurationMinute, bright.listTemp.at(0).nTemp1,
                                      bright.listTemp.at(0).nTemp2}),
              (std::vector<long long>{86400, 12, 30, 2, 45, 65, 66}));
    const stTempErrorLog& off = t->aryPowerOffLog.at(0);
    EXPECT_EQ((std::vector<long long>{off.dwTime, off.dwHour, off.wMinute, off.listTemp.at(0).nTemp1}),
              (std::vector<long long>{0, 3, 4, 85}));
    EXPECT_EQ(t->aryHighTempLog.size(), 5u);
    EXPECT_EQ(t->aryPowerOffLog.at(4).listTemp.size(), 1u);
    EXPECT_TRUE(m_prompt.Texts().empty());
}

TEST_F(DecodeFixtureTest, FileVersion5SystemLog3Temperature5) {
    Decode(Block(kVersion5));
    EXPECT_EQ(m_log.m_nFileVersion, 5);
    EXPECT_EQ(m_log.m_strModel, "ANY");
    EXPECT_EQ(m_log.m_strSerial, "");
    EXPECT_EQ(m_log.m_strInfo, "ID,12\tUsage,-1\tX,\tClock,2025/12/31 23:59");
    EXPECT_EQ(m_log.m_strDispTime, "251231235900");
    ExpectRecords(m_log, {
        {1, 1, kEpochUtc, 0, 15, 65535, 2, 0, 255, 0, 0, ""},
        {2, 3, kEpochUtc + 10, 15, 3, 0, 0, 0, 0, 0, 0, "16383x4095@255"},
    });

    const stTempLogV5* t = m_temp.GetTempLogV5();
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->nSensorNum, 2);
    EXPECT_EQ(t->nDirection, 2);
    const auto temps = [](const std::vector<stSensorTemp1>& list) {
        std::vector<int> v;
        for (const stSensorTemp1& s : list) v.push_back(s.nTemp1);
        return v;
    };
    EXPECT_EQ(temps(t->listCurrentTemp), (std::vector<int>{33, -128}));
    EXPECT_EQ(temps(t->listBrightCtrlThreshold), (std::vector<int>{60, -128}));
    EXPECT_EQ(temps(t->listPowerOffThreshold), (std::vector<int>{-128, 80}));
    EXPECT_EQ(t->logBrightDown.dwTime, 86400u);
    EXPECT_EQ(t->logBrightDown.dwHour, 7u);
    EXPECT_EQ(temps(t->logBrightDown.listTemp), (std::vector<int>{61, 62}));
    EXPECT_EQ(t->logPowerOff.dwTime, 0u);
    EXPECT_EQ(t->logPowerOff.dwHour, 9u);
    EXPECT_EQ(temps(t->logPowerOff.listTemp), (std::vector<int>{-10, 1}));
    EXPECT_TRUE(m_prompt.Texts().empty());
}
