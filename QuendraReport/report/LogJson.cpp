#include "report/LogJson.h"

#include <unordered_set>

#include "common/codepage.h"
#include "common/strutil.h"
#include "common/timeutil.h"
#include "syslog/LogListCtrl.h"
#include "syslog/QuendraLog.h"
#include "templog/TempLogCtrl.h"

namespace {

std::string Text(std::string_view bytes) { return JsonString(cmn::Cp932ToUtf8(bytes)); }

class JsonObject {
public:
    explicit JsonObject(std::string& out) : m_out(out) { m_out += '{'; }
    ~JsonObject() { m_out += '}'; }
    JsonObject(const JsonObject&) = delete;
    JsonObject& operator=(const JsonObject&) = delete;
    std::string& Key(const char* key) {
        if (!m_first) m_out += ',';
        m_first = false;
        m_out += '"';
        m_out += key;
        m_out += "\":";
        return m_out;
    }
    void Num(const char* key, long long v) { Key(key) += std::to_string(v); }
    void Str(const char* key, std::string_view bytes) { Key(key) += Text(bytes); }
    void Bool(const char* key, bool v) { Key(key) += v ? "true" : "false"; }

private:
    std::string& m_out;
    bool m_first = true;
};

void Temps1(std::string& out, const std::vector<stSensorTemp1>& list) {
    out += '[';
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (i) out += ',';
        out += std::to_string(list[i].nTemp1);
    }
    out += ']';
}

void Temps2(std::string& out, const std::vector<stSensorTemp2>& list) {
    out += '[';
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (i) out += ',';
        out += '[' + std::to_string(list[i].nTemp1) + ',' + std::to_string(list[i].nTemp2) + ']';
    }
    out += ']';
}

void Events(std::string& out, const std::vector<stTempErrorLog>& slots, bool shortForm) {
    out += '[';
    for (std::size_t s = 0; s < slots.size(); ++s) {
        if (s) out += ',';
        const stTempErrorLog& e = slots[s];
        JsonObject o(out);
        o.Num("time", e.dwTime);
        o.Num("hour", e.dwHour);
        o.Num("minute", e.wMinute);
        if (!shortForm) {
            o.Num("durationHour", e.dwDurationHour);
            o.Num("durationMinute", e.wDurationMinute);
            Temps2(o.Key("temperatures"), e.listTemp);
        } else {
            std::string& t = o.Key("temperatures");
            t += '[';
            for (std::size_t i = 0; i < e.listTemp.size(); ++i) {
                if (i) t += ',';
                t += std::to_string(e.listTemp[i].nTemp1);
            }
            t += ']';
        }
    }
    out += ']';
}

void EventV5(std::string& out, const stTempErrorLog_V5& e) {
    JsonObject o(out);
    o.Num("time", e.dwTime);
    o.Num("hour", e.dwHour);
    Temps1(o.Key("temperatures"), e.listTemp);
}

void Temperature(std::string& out, const CTempLogCtrl& temp) {
    if (const stTempLogV4* t = temp.GetTempLogV4()) {
        JsonObject o(out);
        o.Num("version", t->nVersion);
        o.Num("sensors", t->nSensorNum);
        o.Num("fans", t->nFanNum);
        o.Num("fanType", t->nFanType);
        Temps1(o.Key("current"), t->listCurrentTemp);
        o.Num("direction", t->nDirection);
        o.Num("brightControlEnable", t->nBrightCtrlEnable);
        o.Num("brightAtHighTemperature", t->nBrightAtHighTemp);
        Temps2(o.Key("brightControlThreshold"), t->listBrightCtrlThreshold);
        Temps2(o.Key("highTemperatureErrorThreshold"), t->listHighTempErrThreshold);
        Temps1(o.Key("powerOffThreshold"), t->listPowerOffThreshold);
        Temps1(o.Key("minimum"), t->listMinTemp);
        Temps1(o.Key("maximum"), t->listMaxTemp);
        o.Num("brightDownTotalTime", t->dwBrightDownTotalTime);
        o.Num("highTemperatureTotalTime", t->dwHighTempTotalTime);
        o.Num("lowTemperatureTotalTime", t->dwLowTempTotalTime);
        o.Num("lowTemperatureCount", t->wLowTempCount);
        o.Num("brightDownCount", t->wBrightDownCount);
        Events(o.Key("brightDown"), t->aryBrightDownLog, false);
        o.Num("highTemperatureCount", t->wHighTempCount);
        Events(o.Key("highTemperature"), t->aryHighTempLog, false);
        o.Num("powerOffCount", t->wPowerOffCount);
        Events(o.Key("powerOff"), t->aryPowerOffLog, true);
    } else if (const stTempLogV5* t = temp.GetTempLogV5()) {
        JsonObject o(out);
        o.Num("version", t->nVersion);
        o.Num("sensors", t->nSensorNum);
        Temps1(o.Key("current"), t->listCurrentTemp);
        o.Num("direction", t->nDirection);
        Temps1(o.Key("brightControlThreshold"), t->listBrightCtrlThreshold);
        Temps1(o.Key("powerOffThreshold"), t->listPowerOffThreshold);
        EventV5(o.Key("brightDown"), t->logBrightDown);
        EventV5(o.Key("powerOff"), t->logPowerOff);
    } else {
        out += "null";
    }
}

}  // namespace

std::string JsonString(std::string_view utf8) {
    std::string out = "\"";
    for (char ch : utf8) {
        const unsigned char c = static_cast<unsigned char>(ch);
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    out += cmn::StrPrintf("\\u%04x", c);
                } else {
                    out += ch;
                }
        }
    }
    out += '"';
    return out;
}

std::string JsonAnyText(std::string_view bytes) {
    return cmn::IsValidUtf8(bytes) ? JsonString(bytes) : JsonString(cmn::Cp932ToUtf8(bytes));
}

std::string LogToJson(CQuendraLog& log, const CLogListCtrl& shown, const CTempLogCtrl& temp,
                      std::string_view sourceName) {
    // Every record with its texts: the list unfiltered, in list order.
    CLogListCtrl all;
    all.m_bTimeMode = shown.m_bTimeMode;
    all.m_bTimeCompensation = shown.m_bTimeCompensation;
    all.RefreshList(&log);

    std::string out;
    out.reserve(256 + log.m_listLog.size() * 320);
    {
        JsonObject root(out);
        // A path is usually UTF-8 already; only other bytes are taken as CP932.
        root.Key("file") += JsonAnyText(sourceName);
        root.Num("fileVersion", log.m_nFileVersion);
        root.Num("dataSize", log.m_nDataSize);
        root.Str("model", log.m_strModel);
        root.Str("serial", log.m_strSerial);
        root.Str("displayTime", log.m_strDispTime);
        root.Str("pcTime", log.m_strPcTime);
        std::int64_t gap = 0;
        log.GetTimeGap(gap);
        root.Num("timeGap", gap);

        std::string& info = root.Key("information");
        info += '[';
        bool first = true;
        for (const auto& [name, value] : InfoEntries(log.m_strInfo)) {
            if (!first) info += ',';
            first = false;
            JsonObject e(info);
            e.Str("name", name);
            e.Str("value", value);
        }
        info += ']';

        std::string& columns = root.Key("columns");
        columns += '[';
        for (int c = 0; c < LOG_COLUMN_COUNT; ++c) {
            if (c) columns += ',';
            columns += Text(shown.ColumnHeader(c));
        }
        columns += ']';

        std::unordered_set<int> visible;
        std::string& order = root.Key("shownOrder");
        order += '[';
        for (std::size_t r = 0; r < shown.Rows().size(); ++r) {
            if (r) order += ',';
            order += std::to_string(shown.Rows()[r].nItemData + 1);
            visible.insert(shown.Rows()[r].nItemData);
        }
        order += ']';

        std::string& records = root.Key("records");
        records += '[';
        first = true;
        for (const stLogRow& row : all.Rows()) {
            const stLogItem* item = all.RecordAt(row.nItemData);
            if (item == nullptr) continue;
            if (!first) records += ',';
            first = false;
            JsonObject rec(records);
            rec.Num("id", row.nItemData + 1);
            rec.Num("group", item->nGroup);
            rec.Num("kind", item->nKind);
            rec.Num("lapTime", cmn::TimeToDisplay(item->tmTime));
            rec.Num("input", item->nInput);
            rec.Num("subType", item->nSubType);
            rec.Num("code", item->nCode);
            rec.Str("resolution", item->strText);
            rec.Num("paramCount", item->nParamCount);
            rec.Num("param1", item->nParam1);
            rec.Num("param2", item->nParam2);
            rec.Num("devInfoType", item->nDevInfoType);
            rec.Num("devInfoId", item->nDevInfoId);
            rec.Bool("abnormal", row.bAbnormal);
            rec.Bool("shown", visible.count(row.nItemData) != 0);
            std::string& texts = rec.Key("texts");
            texts += '[';
            for (std::size_t c = 0; c < row.aText.size(); ++c) {
                if (c) texts += ',';
                texts += Text(row.aText[c]);
            }
            texts += ']';
        }
        records += ']';

        Temperature(root.Key("temperature"), temp);
    }
    out += '\n';
    return out;
}
