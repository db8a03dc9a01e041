#include "acquire/TempDump.h"

#include <cctype>
#include <cstdint>
#include <string_view>

#include "acquire/Transfer.h"
#include "common/safeformat.h"
#include "common/strutil.h"
#include "common/textfile.h"
#include "common/timeutil.h"
#include "linkio/Cancel.h"

namespace acq {

namespace {

// A number query and the line that shows its value.
struct stQueryRow {
    const char* command;
    const char* format;
};

const stQueryRow kSettingRows[] = {
    {"BRIG????", "BRIGHT CTRL : %d"},
    {"BDVL????", "BRIGHT DOWN VAL : %d"},
    {"BST1????", "BRIGHT CTRL START TEMP : %d"},
    {"BET1????", "BRIGHT CTRL STOP TEMP : %d"},
    {"BST2????", "BRIGHT CTRL START TEMP2 : %d"},
    {"BET2????", "BRIGHT CTRL STOP TEMP2 : %d"},
    {"TST1????", "TEMP ERR START TEMP : %d"},
    {"TET1????", "TEMP ERR STOP TEMP : %d"},
    {"TST2????", "TEMP ERR START TEMP2 : %d"},
    {"TET2????", "TEMP ERR STOP TEMP2 : %d"},
    {"BPT1????", "POWER OFF 1 TEMP : %d"},
    {"BPT2????", "POWER OFF 2 TEMP : %d"},
    {"BPT3????", "POWER OFF 3 TEMP : %d"},
    {"TALT????", "TEMP ALERT : %d"},
    {"ALPS????", "TEMP ALERT POSITION : %d"},
};

const stQueryRow kTemperatureRows[] = {
    {"BLTM????", "BRIGHT DOWN LAST TIME : %dH"},
    {"BLT1????", "BRIGHT DOWN LAST TIME (TEMP1): %d"},
    {"BLT2????", "BRIGHT DOWN LAST TIME (TEMP2): %d"},
    {"BLT3????", "BRIGHT DOWN LAST TIME (TEMP3): %d"},
    {"BTTM????", "BRIGHT DOWN TOTAL TIME : %dH"},
    {"TLTM????", "TEMP ERR LAST TIME : %dH"},
    {"TLT1????", "TEMP ERR LAST TIME (TEMP1): %d"},
    {"TLT2????", "TEMP ERR LAST TIME (TEMP2): %d"},
    {"TLT3????", "TEMP ERR LAST TIME (TEMP3): %d"},
    {"TTTM????", "TEMP ERR TOTAL TIME : %dH"},
    {"PLTM????", "POWER OFF LAST TIME : %dH"},
    {"PLT1????", "POWER OFF LAST TIME (TEMP1): %d"},
    {"PLT2????", "POWER OFF LAST TIME (TEMP2): %d"},
    {"PLT3????", "POWER OFF LAST TIME (TEMP3): %d"},
    {"MIT1????", "MIN TEMP (TEMP1): %d"},
    {"MIT2????", "MIN TEMP (TEMP2): %d"},
    {"MIT3????", "MIN TEMP (TEMP3): %d"},
    {"MAT1????", "MAX TEMP (TEMP1): %d"},
    {"MAT2????", "MAX TEMP (TEMP2): %d"},
    {"MAT3????", "MAX TEMP (TEMP3): %d"},
    {"LTET????", "LOW TEMP ERROR TOTAL TIME : %dH"},
    {"LTCN????", "LOW TEMP ERROR COUNT : %d"},
};

// One event log kind.
struct stEventKind {
    const char* heading;     // "%d" receives the entry number from 1
    const char* startQuery;  // "%04d" receives the entry number from 0 (+ 1000 for its time)
    const char* maxQuery;    // null: the kind has no maximum
    const char* indent;
    const char* countQuery;
    const char* countLine;
};

const stEventKind kEventKinds[3] = {
    {"BRIGHT LOG%d : ", "Command:BLRS%04d", "Command:BLRE%04d", "            : ", "Command:BLCN????",
     "BRIGHT CTRL COUNT : %d\n"},
    {"POWER OFF LOG%d : ", "Command:POLR%04d", nullptr, "               : ", "Command:POCN????",
     "POWER OFF COUNT : %d\n"},
    {"TEMP ERR LOG%d : ", "Command:TLRS%04d", "Command:TLRE%04d", "              : ", "Command:TLCN????",
     "TEMP ERR COUNT : %d\n"},
};

constexpr int kEventsPerKind = 5;
constexpr int kEventTimeBase = 1000;

// A format of the tables above with its one "%d" filled in.
std::string FormatInt(const char* format, int value) {
    std::string line;
    cmn::SafeFormat(line, format, {static_cast<std::int64_t>(value)});
    return line;
}

// Splits `text` at its first comma: the part before it, and in `rest` what
// follows (empty without a comma).
std::string FirstCommaField(const std::string& text, std::string& rest) {
    const std::size_t comma = text.find(',');
    if (comma == std::string::npos) {
        rest.clear();
        return text;
    }
    rest = text.substr(comma + 1);
    return text.substr(0, comma);
}

// Three numbers from `text` with SplitTempLog.
bool SplitThree(std::string text, int (&values)[3]) {
    for (int& v : values)
        if (!SplitTempLog(v, text)) return false;
    return true;
}

// The text of an event time: the display time as a date, or "0" for none.
std::string EventTimeText(int seconds) {
    if (seconds == 0) return "0";
    return cmn::FormatLocal(cmn::DisplayToTime(static_cast<std::uint32_t>(seconds)), "%Y/%m/%d %H:%M:%S");
}

class DumpQueries {
public:
    DumpQueries(CDisplaySession& s, void* control) : m_s(s), m_control(control) {}

    bool String(const std::string& query, std::string& reply) {
        return !m_s.Cancelled() && m_s.QueryString(m_control, query, reply);
    }
    bool Number(const std::string& query, int& value) {
        return !m_s.Cancelled() && m_s.QueryNumber(m_control, query, value);
    }
    // A reply without the numbers it must hold.
    bool TooFewNumbers(const std::string& query, const std::string& reply) {
        m_s.Note(Reason::kCorrupted,
                 "\"" + query + "\" answered \"" + reply + "\", without three temperatures");
        return false;
    }
    // Appends one line per row ("Command:" + the row's command).
    bool Rows(const stQueryRow* rows, std::size_t count, std::string& text) {
        for (std::size_t i = 0; i < count; ++i) {
            int value = 0;
            if (!Number(std::string("Command:") + rows[i].command, value)) return false;
            text += FormatInt(rows[i].format, value) + "\n";
        }
        return true;
    }

private:
    CDisplaySession& m_s;
    void* m_control;
};

// One entry of an event log: the start line (and the maximum), then its time line.
bool AppendEvent(DumpQueries& q, const stEventKind& kind, int entry, std::string& text) {
    text += FormatInt(kind.heading, entry + 1);
    std::string reply, rest;
    const std::string startQuery = FormatInt(kind.startQuery, entry);
    if (!q.String(startQuery, reply)) return false;
    const std::string date = FirstCommaField(reply, rest);
    int start[3];
    if (!SplitThree(rest, start)) return q.TooFewNumbers(startQuery, reply);
    text += cmn::StrPrintf("%s START(TEMP1 : %d, TEMP2 : %d, TEMP3 : %d) ", date.c_str(), start[0], start[1],
                           start[2]);
    if (kind.maxQuery != nullptr) {
        const std::string maxQuery = FormatInt(kind.maxQuery, entry);
        if (!q.String(maxQuery, reply)) return false;
        const std::string first = FirstCommaField(reply, rest);
        int max[3];
        if (!SplitThree(first, max)) return q.TooFewNumbers(maxQuery, reply);
        text += cmn::StrPrintf("MAX(TEMP1 : %d, TEMP2 : %d, TEMP3 : %d) %s", max[0], max[1], max[2],
                               rest.c_str());
    }
    text += "\n";
    int seconds = 0;
    text += kind.indent;
    if (q.Number(FormatInt(kind.startQuery, entry + kEventTimeBase), seconds))
        text += EventTimeText(seconds) + "\n";
    else
        text += "\n";
    return true;
}

bool EventSection(DumpQueries& q, int kind, std::string& text) {
    if (kind < 0 || kind > 2) return false;
    const stEventKind& k = kEventKinds[kind];
    for (int entry = 0; entry < kEventsPerKind; ++entry)
        if (!AppendEvent(q, k, entry, text)) return false;
    int count = 0;
    if (!q.Number(k.countQuery, count)) return false;
    text += FormatInt(k.countLine, count);
    return true;
}

// Everything the dump shows, in file order; false at the first refusal.
bool CollectDump(DumpQueries& q, IProgress& progress, std::string& text) {
    std::string reply;
    if (!q.String("Command:SRNO????", reply)) return false;
    text += "SERIAL NUMBER : " + reply + "\n\n";
    if (!q.String("Command:UTIM????", reply)) return false;
    text += "USAGE TIME : " + reply + "\n";
    if (!q.String("Command:ERRT????", reply)) return false;
    int temps[3];
    SplitCurrentTemps(reply, temps);
    text += cmn::StrPrintf("CURRENT TEMPERATURE : T1( %d ) T2 ( %d ) T3 ( %d )\n\n", temps[0], temps[1],
                           temps[2]);
    progress.SetPos(1);

    text += "[SETTING DATA]\n";
    if (!q.Rows(kSettingRows, std::size(kSettingRows), text)) return false;
    progress.SetPos(2);
    text += "[TEMPERATURE DATA]\n";
    if (!q.Rows(kTemperatureRows, std::size(kTemperatureRows), text)) return false;
    text += "\n";
    progress.SetPos(3);

    text += "[LOG DATA]\n";
    for (int kind = 0; kind < 3; ++kind) {
        if (!EventSection(q, kind, text)) return false;
        text += "\n";
        progress.SetPos(4 + kind);
    }
    return true;
}

// Maintenance mode off and logging on again, then the connection closed.
// Logging is put back on also when "SRLG0000" seemed to fail: its reply may
// have been lost after the display had switched logging off. What this
// connection could not get accepted is tried once more over a new one (a
// display may have closed the first). Records why when the display stays in
// maintenance mode or with its logging off.
void PutDisplayBack(CDisplaySession& s, void* control) {
    bool maintenanceOff = SendUntilAccepted(s, control, "ESPC0000");
    bool loggingOn = ResumeLogRecord(s, control);
    s.CloseControl(control);
    if (maintenanceOff && loggingOn) return;
    if (void* again = s.OpenControl(true)) {
        if (!maintenanceOff) maintenanceOff = SendUntilAccepted(s, again, "ESPC0000");
        if (!maintenanceOff) s.Fail(Step::kMaintenanceMode);
        if (!loggingOn) loggingOn = ResumeLogRecord(s, again);
        if (!loggingOn) s.Fail(Step::kLoggingOn);
        s.CloseControl(again);
        return;
    }
    s.Fail(maintenanceOff ? Step::kLoggingOn : Step::kMaintenanceMode);
}

}  // namespace

bool SplitTempLog(int& value, std::string& text) {
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos) return false;
    std::size_t end = colon + 1;
    while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) ++end;
    if (end == colon + 1) return false;
    value = cmn::DecimalToInt(std::string_view(text).substr(colon + 1, end - colon - 1));
    text.erase(0, end);
    return true;
}

void SplitCurrentTemps(const std::string& reply, int (&temps)[3]) {
    std::size_t pos = 0;
    bool more = true;
    for (int& t : temps) {
        if (!more) {
            t = 0;
            continue;
        }
        const std::size_t comma = reply.find(',', pos);
        t = cmn::DecimalToInt(std::string_view(reply).substr(
            pos, comma == std::string::npos ? std::string::npos : comma - pos));
        more = comma != std::string::npos;
        pos = more ? comma + 1 : pos;
    }
}

bool GetTempLogs(CDisplaySession& s, void* control, int kind, std::string& text) {
    DumpQueries q(s, control);
    return EventSection(q, kind, text);
}

int GetTemperatureThread(stStepContext& ctx) {
    CDisplaySession& s = *ctx.pSession;
    void* control = s.OpenControl(true);
    if (control == nullptr) {
        s.Fail(Step::kOpenTextPort);
        return kExitComm;
    }
    int result = kExitComm;
    s.Command(control, "SRLG0000");
    if (!s.Command(control, "ESPC0001")) {
        s.Fail(Step::kMaintenanceMode);
    } else {
        DumpQueries q(s, control);
        std::string text, error;
        if (!CollectDump(q, s.Progress(), text)) {
            s.Fail(Step::kQuery);
            result = linkio::IsCancelled(s.CancelFlag()) ? kExitCancel : kExitComm;
        } else if (cmn::WriteFileAtomic(ctx.transferPath, cmn::ToCrLf(text), &error)) {
            ctx.written.push_back(ctx.transferPath);
            result = kExitOk;
        } else {
            s.Fail(Reason::kFileError, Step::kWriteFile, error);
            result = kExitFile;
        }
    }
    PutDisplayBack(s, control);
    if (result == kExitOk && s.Failed()) result = kExitComm;
    return result;
}

}  // namespace acq
