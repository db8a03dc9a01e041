// The temperature sections of the HTML report and of the comparison text.
// Labels and values are written as they are (they are numbers and fixed
// texts); "\n" reaches the file as CR LF through the sink.

#include <algorithm>

#include "common/strutil.h"
#include "syslog/HtmlPieces.h"
#include "syslog/LogReportFile.h"
#include "templog/TempLogCtrl.h"

namespace {

std::size_t ShownSlots(unsigned counter, const std::vector<stTempErrorLog>& slots) {
    return std::min<std::size_t>({counter, 5u, slots.size()});
}

std::string Sensors1(const char* fmt, const std::vector<stSensorTemp1>& list) {
    std::string out;
    for (std::size_t i = 0; i < list.size(); ++i) out += cmn::StrPrintf(fmt, static_cast<int>(i + 1), list[i].nTemp1);
    return out;
}

std::string StartStop(const char* startFmt, const char* stopFmt, const std::vector<stSensorTemp2>& list) {
    std::string out;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const int n = static_cast<int>(i + 1);
        out += cmn::StrPrintf(startFmt, n, list[i].nTemp1);
        out += cmn::StrPrintf(stopFmt, n, list[i].nTemp2);
    }
    return out;
}

// Version 5 thresholds: -128 marks an unused sensor.
std::string Threshold(const char* unusedFmt, const char* valueFmt, const std::vector<stSensorTemp1>& list) {
    std::string out;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const int n = static_cast<int>(i + 1);
        out += list[i].nTemp1 == -128 ? cmn::StrPrintf(unusedFmt, n) : cmn::StrPrintf(valueFmt, n, list[i].nTemp1);
    }
    return out;
}

void WriteSectionHead(CTextSink& file) {
    file.Write(kHtmlBr);
    file.Write("<H1>Temp Log Information</H1>\n");
    file.Write(kHtmlTableOpen);
    file.Write(kHtmlTrOpen);
    file.Write(kHtmlThItem0);
    file.Write(kHtmlThItem1);
    file.Write(kHtmlTrClose);
}

void WriteSectionTail(CTextSink& file) {
    file.Write(kHtmlTableClose);
    file.Write(kHtmlBr);
}

std::string Num(int value) { return cmn::StrPrintf("%d", value); }
std::string Num(std::uint32_t value) { return cmn::StrPrintf("%u", value); }

}  // namespace

std::string CTempLogCtrl::MakeTrTdItem(std::string label, std::string value) {
    std::string row = "\t<TR>\n";
    row += "\t\t<TD class=\"if0\">" + label + "</TD>\n";
    row += kHtmlTdIf1;
    row += value.empty() ? std::string(" ") : value;
    row += "</TD>\n";
    row += "\t</TR>\n";
    return row;
}

int CTempLogCtrl::WriteHtmlCtrl(CTextSink& file) const {
    if (m_pTempLogV4) return WriteHtml(file);
    if (m_pTempLogV5) return WriteHtml_V5(file);
    return 0;
}

int CTempLogCtrl::WriteCompareCtrl(CTextSink& file) const {
    if (m_pTempLogV4) return WriteCompare(file);
    if (m_pTempLogV5) return WriteCompare_V5(file);
    return 0;
}

int CTempLogCtrl::WriteHtml(CTextSink& file) const {
    const stTempLogV4* log = m_pTempLogV4.get();
    if (log == nullptr) return 0;
    WriteSectionHead(file);
    std::string rows;
    rows += MakeTrTdItem("number of Temperature Sensor", Num(log->nSensorNum));
    rows += MakeTrTdItem("number of Fans", Num(log->nFanNum));
    rows += MakeTrTdItem("type of Fan", Num(log->nFanType));
    rows += MakeTrTdItem("current temperature", Sensors1("sensor%d:\t%d<BR>", log->listCurrentTemp));
    rows += MakeTrTdItem("direction", Num(log->nDirection));
    rows += MakeTrTdItem("enable bright control", Num(log->nBrightCtrlEnable));
    rows += MakeTrTdItem("bright at high temperature", Num(log->nBrightAtHighTemp));
    rows += MakeTrTdItem("bright control threshold",
                         StartStop("sensor%d start:\t%d<BR>", "sensor%d stop:\t%d<BR>", log->listBrightCtrlThreshold));
    rows += MakeTrTdItem("high temperature error threshold",
                         StartStop("sensor%d start:\t%d<BR>", "sensor%d stop:\t%d<BR>", log->listHighTempErrThreshold));
    rows += MakeTrTdItem("power off threshold", Sensors1("\tsensor%d start:\t%d<BR>", log->listPowerOffThreshold));
    rows += MakeTrTdItem("minimum temperature", Sensors1("\tsensor%d:\t%d<BR>", log->listMinTemp));
    rows += MakeTrTdItem("maximum temperature", Sensors1("\tsensor%d:\t%d<BR>", log->listMaxTemp));
    rows += MakeTrTdItem("bright down total time", Num(log->dwBrightDownTotalTime));
    rows += MakeTrTdItem("high temperature total time", Num(log->dwHighTempTotalTime));
    rows += MakeTrTdItem("low temperature total time", Num(log->dwLowTempTotalTime));
    rows += MakeTrTdItem("low temperature count", Num(log->wLowTempCount));

    auto timePiece = [this](const stTempErrorLog& e) {
        std::string clock;
        Log2TimeText(e.dwTime, clock);
        return cmn::StrPrintf("time of occurrence:\t%s (%uh%dm)<BR>", clock.c_str(), e.dwHour, e.wMinute);
    };
    auto longRows = [&](const char* labelFmt, unsigned counter, const std::vector<stTempErrorLog>& slots) {
        const std::size_t shown = ShownSlots(counter, slots);
        for (std::size_t s = 0; s < shown; ++s) {
            const stTempErrorLog& e = slots[s];
            std::string value = timePiece(e);
            value += cmn::StrPrintf("duration time:\t%uh%dm<BR>", e.dwDurationHour, e.wDurationMinute);
            value += "temperature:<BR>";
            for (std::size_t i = 0; i < e.listTemp.size(); ++i) {
                value += cmn::StrPrintf("\tsensor%d:\t%d\tmax:\t%d<BR>", static_cast<int>(i + 1), e.listTemp[i].nTemp1,
                                        e.listTemp[i].nTemp2);
            }
            rows += MakeTrTdItem(cmn::StrPrintf(labelFmt, static_cast<int>(s + 1)), value);
        }
    };
    rows += MakeTrTdItem("bright down count", Num(log->wBrightDownCount));
    longRows("bright down log%d", log->wBrightDownCount, log->aryBrightDownLog);
    rows += MakeTrTdItem("high temperature count", Num(log->wHighTempCount));
    longRows("high temperature%d", log->wHighTempCount, log->aryHighTempLog);
    rows += MakeTrTdItem("power off count", Num(log->wPowerOffCount));
    const std::size_t shown = ShownSlots(log->wPowerOffCount, log->aryPowerOffLog);
    for (std::size_t s = 0; s < shown; ++s) {
        const stTempErrorLog& e = log->aryPowerOffLog[s];
        std::string value = timePiece(e);
        value += "temperature:<BR>";
        for (std::size_t i = 0; i < e.listTemp.size(); ++i) {
            value += cmn::StrPrintf("\tsensor%d:\t%d<BR>", static_cast<int>(i + 1), e.listTemp[i].nTemp1);
        }
        rows += MakeTrTdItem(cmn::StrPrintf("power off log%d", static_cast<int>(s + 1)), value);
    }
    file.Write(rows);
    WriteSectionTail(file);
    return 1;
}

int CTempLogCtrl::WriteHtml_V5(CTextSink& file) const {
    const stTempLogV5* log = m_pTempLogV5.get();
    if (log == nullptr) return 0;
    WriteSectionHead(file);
    std::string rows;
    rows += MakeTrTdItem("number of Temperature Sensor", Num(log->nSensorNum));
    rows += MakeTrTdItem("current temperature", Sensors1("sensor%d:\t%d<BR>", log->listCurrentTemp));
    rows += MakeTrTdItem("direction", Num(log->nDirection));
    rows += MakeTrTdItem("bright control threshold",
                         Threshold("sensor%d start:\tunused<BR>", "sensor%d start:\t%d<BR>", log->listBrightCtrlThreshold));
    rows += MakeTrTdItem("power off threshold", Threshold("\tsensor%d start:\tunused<BR>", "\tsensor%d start:\t%d<BR>",
                                                          log->listPowerOffThreshold));
    auto event = [this](const stTempErrorLog_V5& e) {
        std::string clock;
        Log2TimeText(e.dwTime, clock);
        std::string value = cmn::StrPrintf("time of occurrence:\t%s (%uh)<BR>", clock.c_str(), e.dwHour);
        value += "temperature:<BR>";
        value += Sensors1("\tsensor%d:\t%d<BR>", e.listTemp);
        return value;
    };
    rows += MakeTrTdItem("bright down log", event(log->logBrightDown));
    rows += MakeTrTdItem("power off log", event(log->logPowerOff));
    file.Write(rows);
    WriteSectionTail(file);
    return 1;
}

int CTempLogCtrl::WriteCompare(CTextSink& file) const {
    const stTempLogV4* log = m_pTempLogV4.get();
    if (log == nullptr) return 0;
    file.Write("Temp Log Information\n");
    file.Write("\n");
    file.Write("\tInformation\n");
    file.Write("\n");
    file.Write(cmn::StrPrintf("\tnumber of Temperature Sensor\t\t%d\n\n", log->nSensorNum));
    file.Write(cmn::StrPrintf("\tnumber of Fans\t\t%d\n\n", log->nFanNum));
    file.Write(cmn::StrPrintf("\ttype of Fan\t\t%d\n\n", log->nFanType));
    file.Write("\tcurrent temperature\n" + Sensors1("\t\tsensor%d:\t%d\n", log->listCurrentTemp) + "\n");
    file.Write(cmn::StrPrintf("\tdirection\t\t%d\n\n", log->nDirection));
    file.Write(cmn::StrPrintf("\tenable bright control\t\t%d\n\n", log->nBrightCtrlEnable));
    file.Write(cmn::StrPrintf("\tbright at high temperature\t\t%d\n\n", log->nBrightAtHighTemp));
    file.Write("\tbright control threshold\n" +
               StartStop("\t\tsensor%d start:\t%d\n", "\t\tsensor%d stop:\t%d\n", log->listBrightCtrlThreshold) + "\n");
    file.Write("\thigh temperature error threshold\n" +
               StartStop("\t\tsensor%d start:\t%d\n", "\t\tsensor%d stop:\t%d\n", log->listHighTempErrThreshold) + "\n");
    file.Write("\tpower off threshold\n" + Sensors1("\t\tsensor%d start:\t%d\n", log->listPowerOffThreshold) + "\n");
    file.Write("\tminimum temperature\n" + Sensors1("\t\tsensor%d:\t%d\n", log->listMinTemp) + "\n");
    file.Write("\tmaximum temperature\n" + Sensors1("\t\tsensor%d:\t%d\n", log->listMaxTemp) + "\n");
    file.Write(cmn::StrPrintf("\tbright down total time\t\t%u\n\n", log->dwBrightDownTotalTime));
    file.Write(cmn::StrPrintf("\thigh temperature total time\t\t%u\n\n", log->dwHighTempTotalTime));
    file.Write(cmn::StrPrintf("\tlow temperature total time\t\t%u\n\n", log->dwLowTempTotalTime));
    file.Write(cmn::StrPrintf("\tlow temperature count\t\t%d\n\n", log->wLowTempCount));

    auto timeLines = [this](const stTempErrorLog& e, bool withDuration) {
        std::string clock;
        Log2TimeText(e.dwTime, clock);
        std::string out = cmn::StrPrintf("\t\ttime of occurrence:\t%s (%uh%dm)\n", clock.c_str(), e.dwHour, e.wMinute);
        if (withDuration) out += cmn::StrPrintf("\t\tduration time:\t%uh%dm\n", e.dwDurationHour, e.wDurationMinute);
        out += "\t\ttemperature:\n";
        return out;
    };

    // Each history is one string: its shown slots and a closing line end.
    file.Write(cmn::StrPrintf("\tbright down count\t\t%d\n\n", log->wBrightDownCount));
    std::string slots;
    for (std::size_t s = 0; s < ShownSlots(log->wBrightDownCount, log->aryBrightDownLog); ++s) {
        const stTempErrorLog& e = log->aryBrightDownLog[s];
        slots += cmn::StrPrintf("\tbright down log%d\n", static_cast<int>(s + 1));
        slots += timeLines(e, true);
        for (std::size_t i = 0; i < e.listTemp.size(); ++i) {
            slots += cmn::StrPrintf("\t\tsensor%d:\t%d\n\t\tmax:\t%d\n", static_cast<int>(i + 1), e.listTemp[i].nTemp1,
                                    e.listTemp[i].nTemp2);
        }
        slots += "\n";
    }
    file.Write(slots + "\n");

    file.Write(cmn::StrPrintf("\thigh temperature count\t\t%d\n\n", log->wHighTempCount));
    slots.clear();
    for (std::size_t s = 0; s < ShownSlots(log->wHighTempCount, log->aryHighTempLog); ++s) {
        const stTempErrorLog& e = log->aryHighTempLog[s];
        slots += cmn::StrPrintf("\thigh temperature%d\n", static_cast<int>(s + 1));
        slots += timeLines(e, true);
        for (std::size_t i = 0; i < e.listTemp.size(); ++i) {
            slots += cmn::StrPrintf("\t\tsensor%d:\t%d\tmax:\t%d\n", static_cast<int>(i + 1), e.listTemp[i].nTemp1,
                                    e.listTemp[i].nTemp2);
        }
        slots += "\n";
    }
    file.Write(slots + "\n");

    file.Write(cmn::StrPrintf("\tpower off count\t\t%d\n\n", log->wPowerOffCount));
    slots.clear();
    for (std::size_t s = 0; s < ShownSlots(log->wPowerOffCount, log->aryPowerOffLog); ++s) {
        const stTempErrorLog& e = log->aryPowerOffLog[s];
        slots += cmn::StrPrintf("\tpower off log%d\n", static_cast<int>(s + 1));
        slots += timeLines(e, false);
        for (std::size_t i = 0; i < e.listTemp.size(); ++i) {
            slots += cmn::StrPrintf("\t\tsensor%d:\t%d\n", static_cast<int>(i + 1), e.listTemp[i].nTemp1);
        }
        slots += "\n";
    }
    file.Write(slots + "\n");
    return 1;
}

int CTempLogCtrl::WriteCompare_V5(CTextSink& file) const {
    const stTempLogV5* log = m_pTempLogV5.get();
    if (log == nullptr) return 0;
    file.Write("Temp Log Information\n");
    file.Write("\tInformation\n");
    file.Write("\n");
    file.Write(cmn::StrPrintf("\tnumber of Temperature Sensor\t\t%d\n\n", log->nSensorNum));
    file.Write("\tcurrent temperature\n" + Sensors1("\t\tsensor%d:\t%d\n", log->listCurrentTemp) + "\n");
    file.Write(cmn::StrPrintf("\tdirection\t\t%d\n\n", log->nDirection));
    file.Write("\tbright control threshold\n" +
               Threshold("\t\tsensor%d start:\tunused\n", "sensor%d start:\t%d\n", log->listBrightCtrlThreshold) + "\n");
    file.Write("\tpower off threshold\n" +
               Threshold("\t\tsensor%d start:\tunused\n", "\t\tsensor%d start:\t%d\n", log->listPowerOffThreshold) +
               "\n");

    std::string clock;
    Log2TimeText(log->logBrightDown.dwTime, clock);
    file.Write("\tbright down log\n");
    file.Write(cmn::StrPrintf("time of occurrence:\t%s (%uh)\n", clock.c_str(), log->logBrightDown.dwHour) +
               "temperature:\n" + Sensors1("\tsensor%d:\t%d\n", log->logBrightDown.listTemp) + "\n");

    clock.clear();
    Log2TimeText(log->logPowerOff.dwTime, clock);
    file.Write("\tpower off log\n");
    file.Write(cmn::StrPrintf("\t\ttime of occurrence:\t%s (%uh)\n", clock.c_str(), log->logPowerOff.dwHour) +
               "\t\ttemperature:\n" + Sensors1("\t\tsensor%d:\t%d\n", log->logPowerOff.listTemp) + "\n");
    return 1;
}
