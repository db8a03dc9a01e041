// The temperature page: its text for both section versions and the clock
// text that the page and the reports share.

#include <algorithm>

#include "common/strutil.h"
#include "common/timeutil.h"
#include "syslog/QuendraLog.h"
#include "templog/TempLogCtrl.h"

namespace {

const char* const kSeparator = "--------------------------------\r\n";

// Shown slots of a history: 1 to min(counter, 5), never more than were decoded.
std::size_t ShownSlots(unsigned counter, const std::vector<stTempErrorLog>& slots) {
    return std::min<std::size_t>({counter, 5u, slots.size()});
}

void AppendSensors(std::string& text, const char* fmt, const std::vector<stSensorTemp1>& list) {
    for (std::size_t i = 0; i < list.size(); ++i) text += cmn::StrPrintf(fmt, static_cast<int>(i + 1), list[i].nTemp1);
}

void AppendStartStop(std::string& text, const std::vector<stSensorTemp2>& list) {
    for (std::size_t i = 0; i < list.size(); ++i) {
        const int n = static_cast<int>(i + 1);
        text += cmn::StrPrintf("\tsensor%d start:\t%d\r\n", n, list[i].nTemp1);
        text += cmn::StrPrintf("\tsensor%d stop:\t%d\r\n", n, list[i].nTemp2);
    }
}

void AppendThresholdV5(std::string& text, const std::vector<stSensorTemp1>& list) {
    for (std::size_t i = 0; i < list.size(); ++i) {
        const int n = static_cast<int>(i + 1);
        if (list[i].nTemp1 == -128) {
            text += cmn::StrPrintf("\tsensor%d start:\tunused\r\n", n);
        } else {
            text += cmn::StrPrintf("\tsensor%d start:\t%d\r\n", n, list[i].nTemp1);
        }
    }
}

}  // namespace

void CTempLogCtrl::Log2TimeText(std::uint32_t time, std::string& text) const {
    if (time == 0) return;
    std::time_t t = cmn::DisplayToTime(time);
    if (m_bTimeCompensation) {
        std::int64_t gap = 0;
        if (m_pLog != nullptr) m_pLog->GetTimeGap(gap);
        t += static_cast<std::time_t>(gap);
        text = cmn::FormatLocal(t, "%Y/%m/%d %H:%M:%S");
    } else if (m_bTimeMode) {
        const std::time_t base = cmn::LocalTime(2013, 1, 1, 0, 0, 0);
        text = cmn::FormatSpan(static_cast<std::int64_t>(t) - static_cast<std::int64_t>(base));
    } else {
        text = cmn::FormatLocal(t, "%Y/%m/%d %H:%M:%S");
    }
}

void CTempLogCtrl::Refresh(CQuendraLog* log) {
    m_strText.clear();
    if (log == nullptr) return;
    m_pLog = log;
    // SetTempLog refuses a log without data and then holds no record, so a
    // report never shows the temperature section of an earlier log.
    if (!SetTempLog()) return;
    std::string text;
    if (m_pTempLogV4) {
        LogOutText_V4(m_pTempLogV4.get(), text);
    } else if (m_pTempLogV5) {
        LogOutText_V5(m_pTempLogV5.get(), text);
    }
    m_strText = std::move(text);
}

void CTempLogCtrl::LogOutText_V4(const stTempLogV4* log, std::string& text) const {
    if (log == nullptr) return;
    text += cmn::StrPrintf("number of Temperature Sensor:\t%d\r\n", log->nSensorNum);
    text += cmn::StrPrintf("number of Fans:\t%d\r\n", log->nFanNum);
    text += cmn::StrPrintf("type of Fan:\t%d\r\n", log->nFanType);
    text += "current temperature:\r\n";
    AppendSensors(text, "\tsensor%d:\t%d\r\n", log->listCurrentTemp);
    text += cmn::StrPrintf("direction:\t%d\r\n", log->nDirection);
    text += kSeparator;
    text += cmn::StrPrintf("enable bright control:\t%d\r\n", log->nBrightCtrlEnable);
    text += cmn::StrPrintf("bright at high temperature:\t%d\r\n", log->nBrightAtHighTemp);
    text += "bright control threshold:\r\n";
    AppendStartStop(text, log->listBrightCtrlThreshold);
    text += "high temperature error threshold:\r\n";
    AppendStartStop(text, log->listHighTempErrThreshold);
    text += "power off threshold:\r\n";
    AppendSensors(text, "\tsensor%d start:\t%d\r\n", log->listPowerOffThreshold);
    text += kSeparator;
    text += "minimum temperature:\r\n";
    AppendSensors(text, "\tsensor%d:\t%d\r\n", log->listMinTemp);
    text += "maximum temperature:\r\n";
    AppendSensors(text, "\tsensor%d:\t%d\r\n", log->listMaxTemp);
    text += cmn::StrPrintf("bright down total time:\t%u\r\n", log->dwBrightDownTotalTime);
    text += cmn::StrPrintf("high temperature total time:\t%u\r\n", log->dwHighTempTotalTime);
    text += cmn::StrPrintf("low temperature total time:\t%u\r\n", log->dwLowTempTotalTime);
    text += cmn::StrPrintf("low temperature count:\t%d\r\n", log->wLowTempCount);
    text += kSeparator;

    // The blocks of a history: bright down and high temperature in the long
    // form (duration and maximum temperatures), power off in the short one.
    auto history = [&](const char* heading, unsigned counter, const std::vector<stTempErrorLog>& slots,
                       bool longForm) {
        const std::size_t shown = ShownSlots(counter, slots);
        for (std::size_t s = 0; s < shown; ++s) {
            const stTempErrorLog& e = slots[s];
            std::string clock;
            Log2TimeText(e.dwTime, clock);
            text += cmn::StrPrintf(heading, static_cast<int>(s + 1));
            text += cmn::StrPrintf("\ttime of occurrence:\t%s (%uh%dm)\r\n", clock.c_str(), e.dwHour, e.wMinute);
            if (longForm) text += cmn::StrPrintf("\tduration time:\t%uh%dm\r\n", e.dwDurationHour, e.wDurationMinute);
            text += "\ttemperature:\r\n";
            for (std::size_t i = 0; i < e.listTemp.size(); ++i) {
                const int n = static_cast<int>(i + 1);
                text += longForm ? cmn::StrPrintf("\t\tsensor%d:\t%d\tmax:\t%d\r\n", n, e.listTemp[i].nTemp1,
                                                  e.listTemp[i].nTemp2)
                                 : cmn::StrPrintf("\t\tsensor%d:\t%d\r\n", n, e.listTemp[i].nTemp1);
            }
        }
        text += kSeparator;
    };

    text += cmn::StrPrintf("bright down count:\t%d\r\n", log->wBrightDownCount);
    history("\tbright down log%d:\r\n", log->wBrightDownCount, log->aryBrightDownLog, true);
    text += cmn::StrPrintf("high temperature count:\t%d\r\n", log->wHighTempCount);
    history("\thigh temperature log%d:\r\n", log->wHighTempCount, log->aryHighTempLog, true);
    text += cmn::StrPrintf("power off count:\t%d\r\n", log->wPowerOffCount);
    history("\tpower off log%d:\r\n", log->wPowerOffCount, log->aryPowerOffLog, false);
}

void CTempLogCtrl::LogOutText_V5(const stTempLogV5* log, std::string& text) const {
    if (log == nullptr) return;
    text += cmn::StrPrintf("number of Temperature Sensor:\t%d\r\n", log->nSensorNum);
    text += "current temperature:\r\n";
    AppendSensors(text, "\tsensor%d:\t%d\r\n", log->listCurrentTemp);
    text += cmn::StrPrintf("direction:\t%d\r\n", log->nDirection);
    text += kSeparator;
    text += "bright control threshold:\r\n";
    AppendThresholdV5(text, log->listBrightCtrlThreshold);
    text += "power off threshold:\r\n";
    AppendThresholdV5(text, log->listPowerOffThreshold);
    text += kSeparator;

    auto event = [&](const char* heading, const stTempErrorLog_V5& e) {
        std::string clock;
        Log2TimeText(e.dwTime, clock);
        text += heading;
        text += cmn::StrPrintf("\ttime of occurrence:\t%s (%uh)\r\n", clock.c_str(), e.dwHour);
        text += "\ttemperature:\r\n";
        AppendSensors(text, "\t\tsensor%d:\t%d\r\n", e.listTemp);
    };
    event("\tbright down log:\r\n", log->logBrightDown);
    event("\tpower off log:\r\n", log->logPowerOff);
    text += kSeparator;
}
