// The temperature sections of the HTML report and of the comparison text.
// Each version's section is one table of rows (label, field, and the formats
// of its pieces in each report); the two writers walk the same table. Labels
// and values are written as they are (numbers and fixed texts); "\n" reaches
// the file as CR LF through the sink.

#include "report/TempLogReport.h"

#include <algorithm>
#include <array>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

#include "common/strutil.h"
#include "report/HtmlPieces.h"

namespace {

// A version 4 history: the number of events the display counted and the five
// slots kept. Shown are slots 1 to min(counter, 5).
template <typename R>
struct stHistory {
    std::uint16_t R::*count;
    std::vector<stTempErrorLog> R::*slots;
    bool longForm;  // with duration and maximum temperatures (bright down, high temperature)
};

// The field a row shows.
template <typename R>
using Field = std::variant<int R::*, std::uint16_t R::*, std::uint32_t R::*, std::vector<stSensorTemp1> R::*,
                           std::vector<stSensorTemp2> R::*, stHistory<R>, stTempErrorLog_V5 R::*>;

// Formats of a row's pieces in one report, by the kind of field:
//   sensor list:        [0] a sensor "(number, value)", [1] a sensor whose value
//                        is -128, "(number)" ("unused"; none: shown as a number)
//   start/stop list:    [0] the start "(number, start)", [1] the stop "(number, stop)"
//   history:            [0] the slot title "(slot number)", [1] a sensor
//                        "(number, temperature, maximum)"
//   version 5 event:    HTML [0] a sensor; comparison text [0] the indent of
//                        its lines, [1] a sensor
using Formats = std::array<const char*, 2>;

template <typename R>
struct Row {
    const char* label;
    Field<R> field;
    Formats html{};
    Formats compare{};
};

const Formats kStartStopHtml = {"sensor%d start:\t%d<BR>", "sensor%d stop:\t%d<BR>"};
const Formats kStartStopCompare = {"\t\tsensor%d start:\t%d\n", "\t\tsensor%d stop:\t%d\n"};

using V4 = stTempLogV4;
const Row<V4> kRowsV4[] = {
    {"number of Temperature Sensor", &V4::nSensorNum},
    {"number of Fans", &V4::nFanNum},
    {"type of Fan", &V4::nFanType},
    {"current temperature", &V4::listCurrentTemp, {"sensor%d:\t%d<BR>"}, {"\t\tsensor%d:\t%d\n"}},
    {"direction", &V4::nDirection},
    {"enable bright control", &V4::nBrightCtrlEnable},
    {"bright at high temperature", &V4::nBrightAtHighTemp},
    {"bright control threshold", &V4::listBrightCtrlThreshold, kStartStopHtml, kStartStopCompare},
    {"high temperature error threshold", &V4::listHighTempErrThreshold, kStartStopHtml, kStartStopCompare},
    {"power off threshold", &V4::listPowerOffThreshold, {"\tsensor%d start:\t%d<BR>"}, {"\t\tsensor%d start:\t%d\n"}},
    {"minimum temperature", &V4::listMinTemp, {"\tsensor%d:\t%d<BR>"}, {"\t\tsensor%d:\t%d\n"}},
    {"maximum temperature", &V4::listMaxTemp, {"\tsensor%d:\t%d<BR>"}, {"\t\tsensor%d:\t%d\n"}},
    {"bright down total time", &V4::dwBrightDownTotalTime},
    {"high temperature total time", &V4::dwHighTempTotalTime},
    {"low temperature total time", &V4::dwLowTempTotalTime},
    {"low temperature count", &V4::wLowTempCount},
    {"bright down count", stHistory<V4>{&V4::wBrightDownCount, &V4::aryBrightDownLog, true},
     {"bright down log%d", "\tsensor%d:\t%d\tmax:\t%d<BR>"},
     {"\tbright down log%d\n", "\t\tsensor%d:\t%d\n\t\tmax:\t%d\n"}},
    {"high temperature count", stHistory<V4>{&V4::wHighTempCount, &V4::aryHighTempLog, true},
     {"high temperature%d", "\tsensor%d:\t%d\tmax:\t%d<BR>"},
     {"\thigh temperature%d\n", "\t\tsensor%d:\t%d\tmax:\t%d\n"}},
    {"power off count", stHistory<V4>{&V4::wPowerOffCount, &V4::aryPowerOffLog, false},
     {"power off log%d", "\tsensor%d:\t%d<BR>"},
     {"\tpower off log%d\n", "\t\tsensor%d:\t%d\n"}},
};

using V5 = stTempLogV5;
const Row<V5> kRowsV5[] = {
    {"number of Temperature Sensor", &V5::nSensorNum},
    {"current temperature", &V5::listCurrentTemp, {"sensor%d:\t%d<BR>"}, {"\t\tsensor%d:\t%d\n"}},
    {"direction", &V5::nDirection},
    {"bright control threshold", &V5::listBrightCtrlThreshold,
     {"sensor%d start:\t%d<BR>", "sensor%d start:\tunused<BR>"},
     {"sensor%d start:\t%d\n", "\t\tsensor%d start:\tunused\n"}},
    {"power off threshold", &V5::listPowerOffThreshold,
     {"\tsensor%d start:\t%d<BR>", "\tsensor%d start:\tunused<BR>"},
     {"\t\tsensor%d start:\t%d\n", "\t\tsensor%d start:\tunused\n"}},
    {"bright down log", &V5::logBrightDown, {"\tsensor%d:\t%d<BR>"}, {"", "\tsensor%d:\t%d\n"}},
    {"power off log", &V5::logPowerOff, {"\tsensor%d:\t%d<BR>"}, {"\t\t", "\t\tsensor%d:\t%d\n"}},
};

// The comparison text's heading of each version (version 5 has no blank
// line after its first line).
const char* const kCompareHeadV4 = "Temp Log Information\n\n\tInformation\n\n";
const char* const kCompareHeadV5 = "Temp Log Information\n\tInformation\n\n";

// ---- pieces ------------------------------------------------------------------

void AppendSensors(std::string& out, const std::vector<stSensorTemp1>& list, const Formats& f) {
    for (std::size_t i = 0; i < list.size(); ++i) {
        const int n = static_cast<int>(i + 1);
        out += f[1] && list[i].nTemp1 == -128 ? cmn::StrPrintf(f[1], n) : cmn::StrPrintf(f[0], n, list[i].nTemp1);
    }
}

void AppendSensors(std::string& out, const std::vector<stSensorTemp2>& list, const Formats& f) {
    for (std::size_t i = 0; i < list.size(); ++i) {
        const int n = static_cast<int>(i + 1);
        out += cmn::StrPrintf(f[0], n, list[i].nTemp1);
        out += cmn::StrPrintf(f[1], n, list[i].nTemp2);
    }
}

// Slot temperatures: the temperature and, in the long form, the maximum; the
// format of the short form reads only the first.
void AppendSlotSensors(std::string& out, const stTempErrorLog& slot, const char* format) {
    for (std::size_t i = 0; i < slot.listTemp.size(); ++i)
        out += cmn::StrPrintf(format, static_cast<int>(i + 1), slot.listTemp[i].nTemp1, slot.listTemp[i].nTemp2);
}

template <typename R>
std::size_t ShownSlots(const R& record, const stHistory<R>& h) {
    return std::min<std::size_t>({record.*h.count, 5u, (record.*h.slots).size()});
}

std::string ClockText(const CTempLogCtrl& view, std::uint32_t time) {
    std::string text;
    view.Log2TimeText(time, text);
    return text;
}

// ---- the two reports ---------------------------------------------------------

// Hands every row of a table with its field to `visit(row, field)`.
template <typename R, std::size_t N, typename Visit>
void Walk(const Row<R> (&rows)[N], Visit&& visit) {
    for (const Row<R>& row : rows) std::visit([&](const auto& field) { visit(row, field); }, row.field);
}

// Adds the rows of one section to the HTML table.
template <typename R>
struct HtmlRows {
    const R& m_rec;
    const CTempLogCtrl& m_view;
    std::string& m_out;

    template <typename N>
        requires std::is_integral_v<N>
    void operator()(const Row<R>& row, N R::*field) {
        Item(row.label, std::to_string(static_cast<long long>(m_rec.*field)));
    }
    template <typename T>
    void operator()(const Row<R>& row, std::vector<T> R::*field) {
        std::string value;
        AppendSensors(value, m_rec.*field, row.html);
        Item(row.label, value);
    }
    void operator()(const Row<R>& row, const stHistory<R>& h) {
        Item(row.label, std::to_string(m_rec.*h.count));
        for (std::size_t s = 0; s < ShownSlots(m_rec, h); ++s) {
            const stTempErrorLog& slot = (m_rec.*h.slots)[s];
            std::string value = cmn::StrPrintf("time of occurrence:\t%s (%uh%dm)<BR>",
                                               ClockText(m_view, slot.dwTime).c_str(), slot.dwHour, slot.wMinute);
            if (h.longForm)
                value += cmn::StrPrintf("duration time:\t%uh%dm<BR>", slot.dwDurationHour, slot.wDurationMinute);
            value += "temperature:<BR>";
            AppendSlotSensors(value, slot, row.html[1]);
            Item(cmn::StrPrintf(row.html[0], static_cast<int>(s + 1)), value);
        }
    }
    void operator()(const Row<R>& row, stTempErrorLog_V5 R::*field) {
        const stTempErrorLog_V5& event = m_rec.*field;
        std::string value = cmn::StrPrintf("time of occurrence:\t%s (%uh)<BR>",
                                           ClockText(m_view, event.dwTime).c_str(), event.dwHour);
        value += "temperature:<BR>";
        AppendSensors(value, event.listTemp, {row.html[0], nullptr});
        Item(row.label, value);
    }

    // One table row; an empty value is a single blank.
    void Item(const std::string& label, const std::string& value) {
        m_out += kHtmlTrOpen;
        m_out += "\t\t<TD class=\"if0\">" + label + "</TD>\n";
        m_out += kHtmlTdIf1;
        m_out += value.empty() ? std::string(" ") : value;
        m_out += "</TD>\n";
        m_out += kHtmlTrClose;
    }
};

// Adds the lines of one section to the comparison text.
template <typename R>
struct CompareLines {
    const R& m_rec;
    const CTempLogCtrl& m_view;
    std::string& m_out;

    template <typename N>
        requires std::is_integral_v<N>
    void operator()(const Row<R>& row, N R::*field) {
        Number(row.label, static_cast<long long>(m_rec.*field));
    }
    template <typename T>
    void operator()(const Row<R>& row, std::vector<T> R::*field) {
        m_out += cmn::StrPrintf("\t%s\n", row.label);
        AppendSensors(m_out, m_rec.*field, row.compare);
        m_out += "\n";
    }
    void operator()(const Row<R>& row, const stHistory<R>& h) {
        Number(row.label, m_rec.*h.count);
        for (std::size_t s = 0; s < ShownSlots(m_rec, h); ++s) {
            const stTempErrorLog& slot = (m_rec.*h.slots)[s];
            m_out += cmn::StrPrintf(row.compare[0], static_cast<int>(s + 1));
            m_out += cmn::StrPrintf("\t\ttime of occurrence:\t%s (%uh%dm)\n", ClockText(m_view, slot.dwTime).c_str(),
                                    slot.dwHour, slot.wMinute);
            if (h.longForm)
                m_out += cmn::StrPrintf("\t\tduration time:\t%uh%dm\n", slot.dwDurationHour, slot.wDurationMinute);
            m_out += "\t\ttemperature:\n";
            AppendSlotSensors(m_out, slot, row.compare[1]);
            m_out += "\n";
        }
        m_out += "\n";
    }
    void operator()(const Row<R>& row, stTempErrorLog_V5 R::*field) {
        const stTempErrorLog_V5& event = m_rec.*field;
        const char* indent = row.compare[0];
        m_out += cmn::StrPrintf("\t%s\n", row.label);
        m_out += cmn::StrPrintf("%stime of occurrence:\t%s (%uh)\n", indent, ClockText(m_view, event.dwTime).c_str(),
                                event.dwHour);
        m_out += cmn::StrPrintf("%stemperature:\n", indent);
        AppendSensors(m_out, event.listTemp, {row.compare[1], nullptr});
        m_out += "\n";
    }

    void Number(const char* label, long long value) { m_out += cmn::StrPrintf("\t%s\t\t%lld\n\n", label, value); }
};

template <typename R, std::size_t N>
void WriteHtmlSection(CTextSink& file, const R& record, const Row<R> (&rows)[N], const CTempLogCtrl& view) {
    std::string out = kHtmlBr;
    out += "<H1>Temp Log Information</H1>\n";
    out += kHtmlTableOpen;
    out += kHtmlTrOpen;
    out += kHtmlThItem0;
    out += kHtmlThItem1;
    out += kHtmlTrClose;
    Walk(rows, HtmlRows<R>{record, view, out});
    out += kHtmlTableClose;
    out += kHtmlBr;
    file.Write(out);
}

template <typename R, std::size_t N>
void WriteCompareSection(CTextSink& file, const R& record, const char* head, const Row<R> (&rows)[N],
                         const CTempLogCtrl& view) {
    std::string out = head;
    Walk(rows, CompareLines<R>{record, view, out});
    file.Write(out);
}

}  // namespace

int WriteTempHtml(CTextSink& file, const CTempLogCtrl& temp) {
    if (const stTempLogV4* v4 = temp.GetTempLogV4()) {
        WriteHtmlSection(file, *v4, kRowsV4, temp);
        return 1;
    }
    if (const stTempLogV5* v5 = temp.GetTempLogV5()) {
        WriteHtmlSection(file, *v5, kRowsV5, temp);
        return 1;
    }
    return 0;
}

int WriteTempCompare(CTextSink& file, const CTempLogCtrl& temp) {
    if (const stTempLogV4* v4 = temp.GetTempLogV4()) {
        WriteCompareSection(file, *v4, kCompareHeadV4, kRowsV4, temp);
        return 1;
    }
    if (const stTempLogV5* v5 = temp.GetTempLogV5()) {
        WriteCompareSection(file, *v5, kCompareHeadV5, kRowsV5, temp);
        return 1;
    }
    return 0;
}
