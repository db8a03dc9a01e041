// Temperature section layouts, hexadecimal text form and the version dispatch.
#include <gtest/gtest.h>

#include <filesystem>

#include "common/RecordingPrompt.h"
#include "logimage/LogImage.h"
#include "syslog/QuendraLog.h"
#include "templog/TempLogCtrl.h"

using logimage::Bytes;

namespace {

std::int8_t T(int v) { return static_cast<std::int8_t>(v); }

// A version 4 section whose every field holds a value of its own.
logimage::TempSectionV4 DistinctV4(unsigned n) {
    logimage::TempSectionV4 t;
    t.sensorCount = static_cast<std::uint8_t>(n);
    t.fanCount = 3;
    t.fanType = 2;
    t.direction = 1;
    t.brightCtrlEnable = 1;
    t.brightAtHighTemp = 70;
    for (unsigned i = 0; i < n; ++i) {
        t.current.push_back(T(-10 - static_cast<int>(i)));
        t.brightThreshold.push_back({T(50 + i), T(45 + i)});
        t.highTempThreshold.push_back({T(60 + i), T(55 + i)});
        t.powerOffThreshold.push_back(T(80 + i));
        t.minTemp.push_back(T(-40 + static_cast<int>(i)));
        t.maxTemp.push_back(T(90 + i));
    }
    t.brightDownTotal = 0x01020304;
    t.highTempTotal = 0xFFFFFFFF;
    t.lowTempTotal = 77;
    t.lowTempCount = 0x1234;
    t.brightDownCount = 7;
    t.highTempCount = 65535;
    t.powerOffCount = 2;
    for (unsigned s = 0; s < 5; ++s) {
        for (auto* slot : {&t.brightDown[s], &t.highTemp[s], &t.powerOff[s]}) {
            slot->time = 1000 * (s + 1) + (slot == &t.highTemp[s] ? 1 : slot == &t.powerOff[s] ? 2 : 0);
            slot->hour = 0x80000000u + s;
            slot->minute = static_cast<std::uint8_t>(59 - s);
            slot->durationHour = 10 + s;
            slot->durationMinute = static_cast<std::uint8_t>(s);
            for (unsigned i = 0; i < n; ++i) slot->temps.push_back({T(20 + s + i), T(-1 - static_cast<int>(i))});
        }
    }
    return t;
}

void ExpectSlot(const stTempErrorLog& got, const logimage::TempSlotV4& want, unsigned n, bool longForm) {
    EXPECT_EQ(got.dwTime, want.time);
    EXPECT_EQ(got.dwHour, want.hour);
    EXPECT_EQ(got.wMinute, want.minute);
    EXPECT_EQ(got.dwDurationHour, longForm ? want.durationHour : 0u);
    EXPECT_EQ(got.wDurationMinute, longForm ? want.durationMinute : 0);
    ASSERT_EQ(got.listTemp.size(), n);
    for (unsigned i = 0; i < n; ++i) {
        EXPECT_EQ(got.listTemp[i].nTemp1, want.temps[i].first);
        EXPECT_EQ(got.listTemp[i].nTemp2, longForm ? want.temps[i].second : 0);
    }
}

}  // namespace

TEST(TempLogV4, LayoutsWithZeroTwoAndFourSensors) {
    for (unsigned n : {0u, 2u, 4u}) {
        SCOPED_TRACE(n);
        const auto want = DistinctV4(n);
        Bytes b = logimage::BuildTempV4(want);
        ASSERT_EQ(b.size(), 212 + 33 * n);
        b.push_back(0xAB);  // trailing bytes (the check value) are ignored
        b.push_back(0xCD);
        stTempLogV4 got;
        ASSERT_EQ(CTempLogCtrl::ReadBin(b.data(), static_cast<std::uint32_t>(b.size()), got), 1);
        EXPECT_EQ(got.nVersion, 4);
        EXPECT_EQ(got.nSensorNum, static_cast<int>(n));
        EXPECT_EQ(got.nFanNum, 3);
        EXPECT_EQ(got.nFanType, 2);
        EXPECT_EQ(got.nDirection, 1);
        EXPECT_EQ(got.nBrightCtrlEnable, 1);
        EXPECT_EQ(got.nBrightAtHighTemp, 70);
        ASSERT_EQ(got.listCurrentTemp.size(), n);
        ASSERT_EQ(got.listBrightCtrlThreshold.size(), n);
        ASSERT_EQ(got.listHighTempErrThreshold.size(), n);
        ASSERT_EQ(got.listPowerOffThreshold.size(), n);
        ASSERT_EQ(got.listMinTemp.size(), n);
        ASSERT_EQ(got.listMaxTemp.size(), n);
        for (unsigned i = 0; i < n; ++i) {
            EXPECT_EQ(got.listCurrentTemp[i].nTemp1, want.current[i]);
            EXPECT_EQ(got.listBrightCtrlThreshold[i].nTemp1, want.brightThreshold[i].first);
            EXPECT_EQ(got.listBrightCtrlThreshold[i].nTemp2, want.brightThreshold[i].second);
            EXPECT_EQ(got.listHighTempErrThreshold[i].nTemp1, want.highTempThreshold[i].first);
            EXPECT_EQ(got.listHighTempErrThreshold[i].nTemp2, want.highTempThreshold[i].second);
            EXPECT_EQ(got.listPowerOffThreshold[i].nTemp1, want.powerOffThreshold[i]);
            EXPECT_EQ(got.listMinTemp[i].nTemp1, want.minTemp[i]);
            EXPECT_EQ(got.listMaxTemp[i].nTemp1, want.maxTemp[i]);
        }
        EXPECT_EQ(got.dwBrightDownTotalTime, 0x01020304u);
        EXPECT_EQ(got.dwHighTempTotalTime, 0xFFFFFFFFu);
        EXPECT_EQ(got.dwLowTempTotalTime, 77u);
        EXPECT_EQ(got.wLowTempCount, 0x1234);
        EXPECT_EQ(got.wBrightDownCount, 7);  // more events than slots
        EXPECT_EQ(got.wHighTempCount, 65535);
        EXPECT_EQ(got.wPowerOffCount, 2);
        ASSERT_EQ(got.aryBrightDownLog.size(), 5u);
        ASSERT_EQ(got.aryHighTempLog.size(), 5u);
        ASSERT_EQ(got.aryPowerOffLog.size(), 5u);
        for (unsigned s = 0; s < 5; ++s) {
            ExpectSlot(got.aryBrightDownLog[s], want.brightDown[s], n, true);
            ExpectSlot(got.aryHighTempLog[s], want.highTemp[s], n, true);
            ExpectSlot(got.aryPowerOffLog[s], want.powerOff[s], n, false);
        }
    }
}

TEST(TempLogV4, FieldOffsetsOfTwoSensors) {
    // Offsets written by hand: totals at 7+8N, bright down history at 23+8N,
    // high temperature count at 93+18N, power off history at 167+28N.
    const unsigned n = 2;
    Bytes b(212 + 33 * n, 0);
    b[0] = 4;
    b[1] = n;
    b[4] = 0x80;      // sensor 1 current: -128
    b[5] = 0x7F;      // sensor 2 current: 127
    b[7 + 3 * n] = 0xFB;  // high temperature error threshold of sensor 1, start: -5
    b[7 + 8 * n] = 0x01;
    b[8 + 8 * n] = 0x02;
    b[9 + 8 * n] = 0x03;
    b[10 + 8 * n] = 0x04;
    b[23 + 8 * n] = 0x11;    // first bright down slot, dwTime
    b[93 + 18 * n] = 0x07;   // high temperature count
    b[167 + 28 * n] = 0x22;  // first power off slot, dwTime
    b[167 + 28 * n + 9] = 0xF6;  // its first sensor temperature: -10
    stTempLogV4 got;
    ASSERT_EQ(CTempLogCtrl::ReadBin(b.data(), static_cast<std::uint32_t>(b.size()), got), 1);
    EXPECT_EQ(167 + 28 * n, 223u);
    EXPECT_EQ(got.listCurrentTemp[0].nTemp1, -128);
    EXPECT_EQ(got.listCurrentTemp[1].nTemp1, 127);
    EXPECT_EQ(got.listHighTempErrThreshold[0].nTemp1, -5);
    EXPECT_EQ(got.dwBrightDownTotalTime, 0x04030201u);
    EXPECT_EQ(got.aryBrightDownLog[0].dwTime, 0x11u);
    EXPECT_EQ(got.wHighTempCount, 7);
    EXPECT_EQ(got.aryHighTempLog.size(), 5u);
    EXPECT_EQ(got.aryPowerOffLog[0].dwTime, 0x22u);
    EXPECT_EQ(got.aryPowerOffLog[0].listTemp[0].nTemp1, -10);
}

TEST(TempLogV5, LayoutsAndOffsets) {
    for (unsigned n : {0u, 2u, 4u}) {
        SCOPED_TRACE(n);
        logimage::TempSectionV5 t;
        t.sensorCount = static_cast<std::uint8_t>(n);
        t.direction = 3;
        for (unsigned i = 0; i < n; ++i) {
            t.current.push_back(T(30 + i));
            t.brightThreshold.push_back(i == 1 ? T(-128) : T(60 + i));
            t.powerOffThreshold.push_back(T(80 + i));
            t.brightDown.temps.push_back(T(61 + i));
            t.powerOff.temps.push_back(T(-81 - static_cast<int>(i)));
        }
        t.brightDown.time = 86400;
        t.brightDown.hour = 0xFFFFFFFF;
        t.powerOff.time = 0;
        t.powerOff.hour = 12;
        const Bytes b = logimage::BuildTempV5(t);
        ASSERT_EQ(b.size(), 19 + 5 * n);
        stTempLogV5 got;
        ASSERT_EQ(CTempLogCtrl::ReadBinV5(b.data(), static_cast<std::uint32_t>(b.size()), got), 1);
        EXPECT_EQ(got.nVersion, 5);
        EXPECT_EQ(got.nSensorNum, static_cast<int>(n));
        EXPECT_EQ(got.nDirection, 3);
        ASSERT_EQ(got.listCurrentTemp.size(), n);
        ASSERT_EQ(got.listBrightCtrlThreshold.size(), n);
        ASSERT_EQ(got.listPowerOffThreshold.size(), n);
        ASSERT_EQ(got.logBrightDown.listTemp.size(), n);
        ASSERT_EQ(got.logPowerOff.listTemp.size(), n);
        for (unsigned i = 0; i < n; ++i) {
            EXPECT_EQ(got.listCurrentTemp[i].nTemp1, 30 + static_cast<int>(i));
            EXPECT_EQ(got.listBrightCtrlThreshold[i].nTemp1, i == 1 ? -128 : 60 + static_cast<int>(i));
            EXPECT_EQ(got.listPowerOffThreshold[i].nTemp1, 80 + static_cast<int>(i));
            EXPECT_EQ(got.logBrightDown.listTemp[i].nTemp1, 61 + static_cast<int>(i));
            EXPECT_EQ(got.logPowerOff.listTemp[i].nTemp1, -81 - static_cast<int>(i));
        }
        EXPECT_EQ(got.logBrightDown.dwTime, 86400u);
        EXPECT_EQ(got.logBrightDown.dwHour, 0xFFFFFFFFu);
        EXPECT_EQ(got.logPowerOff.dwTime, 0u);
        EXPECT_EQ(got.logPowerOff.dwHour, 12u);
    }
}

TEST(TempLogV5, FieldOffsetsOfTwoSensors) {
    // 29 bytes; bright down event at 3+3N = 9, power off event at 11+4N = 19.
    Bytes b(29, 0);
    b[0] = 5;
    b[1] = 2;
    b[3] = 0xFB;   // sensor 2 current: -5
    b[4] = 7;      // direction
    b[6] = 0x80;   // sensor 2 bright control threshold: unused
    b[9] = 0x44;   // bright down dwTime
    b[17] = 0x33;  // bright down sensor 1
    b[19] = 0x01;  // power off dwTime
    b[22] = 0x02;
    b[23] = 0x09;  // power off dwHour
    b[28] = 0x7F;  // power off sensor 2
    stTempLogV5 got;
    ASSERT_EQ(CTempLogCtrl::ReadBinV5(b.data(), 29, got), 1);
    EXPECT_EQ(got.listCurrentTemp[1].nTemp1, -5);
    EXPECT_EQ(got.nDirection, 7);
    EXPECT_EQ(got.listBrightCtrlThreshold[1].nTemp1, -128);
    EXPECT_EQ(got.logBrightDown.dwTime, 0x44u);
    EXPECT_EQ(got.logBrightDown.listTemp[0].nTemp1, 0x33);
    EXPECT_EQ(got.logPowerOff.dwTime, 0x02000001u);
    EXPECT_EQ(got.logPowerOff.dwHour, 9u);
    EXPECT_EQ(got.logPowerOff.listTemp[1].nTemp1, 127);
}

TEST(TempLogDecoders, RefuseWrongVersionsAndShortSections) {
    for (unsigned n : {0u, 2u, 255u}) {
        logimage::TempSectionV4 t4;
        t4.sensorCount = static_cast<std::uint8_t>(n);
        Bytes b4 = logimage::BuildTempV4(t4);
        logimage::TempSectionV5 t5;
        t5.sensorCount = static_cast<std::uint8_t>(n);
        Bytes b5 = logimage::BuildTempV5(t5);
        stTempLogV4 r4;
        stTempLogV5 r5;
        // One byte short of the layout: refused, and nothing beyond is read.
        for (std::uint32_t len = 0; len < b4.size(); len += (len < 300 ? 1 : 97)) {
            Bytes cut(b4.begin(), b4.begin() + len);
            EXPECT_EQ(CTempLogCtrl::ReadBin(cut.data(), len, r4), 0) << len;
        }
        for (std::uint32_t len = 0; len < b5.size(); ++len) {
            Bytes cut(b5.begin(), b5.begin() + len);
            EXPECT_EQ(CTempLogCtrl::ReadBinV5(cut.data(), len, r5), 0) << len;
        }
        EXPECT_EQ(CTempLogCtrl::ReadBin(b5.data(), static_cast<std::uint32_t>(b5.size()), r4), 0);
        EXPECT_EQ(CTempLogCtrl::ReadBinV5(b4.data(), static_cast<std::uint32_t>(b4.size()), r5), 0);
    }
}

TEST(TempLogHex, BufferAsLongAsTheTextAndFourByteValues) {
    const std::uint8_t bytes[] = {0x04, 0x0A, 0xFF};
    std::string text = "junk";
    CTempLogCtrl::BintoHexAscii(bytes, 3, text);
    EXPECT_EQ(text, "040aff");
    CTempLogCtrl::BintoHexAscii(bytes, -1, text);
    EXPECT_EQ(text, "");

    // The buffer has one byte per character of the text; the decoded pairs
    // come first, the rest is zero.
    std::vector<std::uint8_t> buf;
    int len = 0;
    EXPECT_EQ(CTempLogCtrl::HexAsciiToBin(buf, len, "040AFF"), 1);
    EXPECT_EQ(len, 6);
    EXPECT_EQ(buf, (std::vector<std::uint8_t>{0x04, 0x0A, 0xFF, 0, 0, 0}));
    CTempLogCtrl::HexAsciiToBin(buf, len, "4");
    EXPECT_EQ(len, 1);
    EXPECT_EQ(buf, std::vector<std::uint8_t>{0x40});
    CTempLogCtrl::HexAsciiToBin(buf, len, "");
    EXPECT_EQ(len, 0);
    EXPECT_TRUE(buf.empty());

    const std::uint8_t four[] = {0x01, 0x02, 0x03, 0x04};
    std::uint32_t v = 0;
    EXPECT_EQ(CTempLogCtrl::Get4ByteData(four, v), four + 4);
    EXPECT_EQ(v, 0x04030201u);
}

TEST(TempLogCtrlTest, EverySampleLogHasATemperatureRecord) {
    cmn::RecordingPrompt prompt;
    cmn::ScopedPrompt scoped(prompt);
    for (const auto& sample : logimage::SampleLogs()) {
        CQuendraLog log("/nonexistent-folder");
        ASSERT_EQ(log.ReadBin(std::filesystem::path(QUENDRA_SAMPLES_DIR) / "logs" / sample.fileName), 1)
            << sample.fileName;
        CTempLogCtrl ctrl;
        ctrl.SetLogObject(&log);
        EXPECT_EQ(ctrl.SetTempLog(), 1) << sample.fileName;
        EXPECT_TRUE(ctrl.GetTempLogV4() || ctrl.GetTempLogV5()) << sample.fileName;
    }
    EXPECT_TRUE(prompt.Texts().empty());
}

TEST(TempLogCtrlTest, SetTempLogDispatchesAndDropsStaleRecords) {
    cmn::RecordingPrompt prompt;
    cmn::ScopedPrompt scoped(prompt);
    CQuendraLog log("/nonexistent-folder");
    CTempLogCtrl ctrl;
    EXPECT_EQ(ctrl.SetTempLog(), 0);  // no log object

    ctrl.SetLogObject(&log);
    const auto setText = [&](const Bytes& b) { CTempLogCtrl::BintoHexAscii(b.data(), static_cast<int>(b.size()), log.m_strTempHex); };
    log.m_bValid = 1;
    setText(logimage::BuildTempV4(DistinctV4(2)));
    ASSERT_EQ(ctrl.SetTempLog(), 1);
    ASSERT_NE(ctrl.GetTempLogV4(), nullptr);
    EXPECT_EQ(ctrl.GetTempLogV4()->nSensorNum, 2);
    EXPECT_EQ(ctrl.GetTempLogV5(), nullptr);

    logimage::TempSectionV5 t5;
    t5.sensorCount = 3;
    setText(logimage::BuildTempV5(t5));
    ASSERT_EQ(ctrl.SetTempLog(), 1);
    EXPECT_EQ(ctrl.GetTempLogV4(), nullptr);
    ASSERT_NE(ctrl.GetTempLogV5(), nullptr);
    EXPECT_EQ(ctrl.GetTempLogV5()->nSensorNum, 3);

    // Odd-length text: the lone last digit must not make a short section look complete.
    Bytes v5 = logimage::BuildTempV5(t5);
    setText(v5);
    log.m_strTempHex.pop_back();
    log.m_strTempHex.pop_back();
    log.m_strTempHex.pop_back();
    EXPECT_EQ(ctrl.SetTempLog(), 0);
    EXPECT_EQ(ctrl.GetTempLogV5(), nullptr);

    setText(logimage::BuildTempV4(DistinctV4(1)));
    ASSERT_EQ(ctrl.SetTempLog(), 1);
    log.m_strTempHex = "0300ff";  // another version: no record, yet not a failure
    EXPECT_EQ(ctrl.SetTempLog(), 1);
    EXPECT_EQ(ctrl.GetTempLogV4(), nullptr);
    EXPECT_EQ(ctrl.GetTempLogV5(), nullptr);

    setText(logimage::BuildTempV4(DistinctV4(1)));
    ASSERT_EQ(ctrl.SetTempLog(), 1);
    log.m_bValid = 0;  // early returns drop the record of the earlier log
    EXPECT_EQ(ctrl.SetTempLog(), 0);
    EXPECT_EQ(ctrl.GetTempLogV4(), nullptr);
    log.m_bValid = 1;
    log.m_strTempHex.clear();
    EXPECT_EQ(ctrl.SetTempLog(), 0);
    EXPECT_TRUE(prompt.Texts().empty());
}
