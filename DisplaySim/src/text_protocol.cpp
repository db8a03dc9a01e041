#include "text_protocol.h"

#include <algorithm>
#include <cstdio>

#include "log_image.h"

namespace dsim {

namespace {

const std::string kOk = "OK";
const std::string kNg = "NG";

bool IsDigits(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A non-negative decimal of at most maxDigits digits.
bool ParseUnsigned(std::string_view s, int maxDigits, int& value) {
    if (!IsDigits(s) || s.size() > static_cast<std::size_t>(maxDigits)) return false;
    value = 0;
    for (char c : s) value = value * 10 + (c - '0');
    return true;
}

bool Printable(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}

std::string Value(std::string_view v) { return "=" + std::string(v); }
std::string Number(long long v) { return "=" + std::to_string(v); }

template <std::size_t N>
std::string List(const std::array<int, N>& a, std::size_t count = N) {
    std::string s = "=";
    for (std::size_t i = 0; i < count && i < N; ++i) {
        if (i) s += ',';
        s += std::to_string(a[i]);
    }
    return s;
}

// Register values accepted by the white balance writes.
constexpr int kMaxRegister = 9999;

// Row digit 1..6 followed by the value: "WBLP" "1" "0123".
bool ParseRowValue(std::string_view s, int& row, int& value) {
    if (s.size() < 2 || s[0] < '1' || s[0] > '6') return false;
    row = s[0] - '0';
    return ParseUnsigned(s.substr(1), 5, value) && value <= kMaxRegister;
}

std::array<int, 6>* DefaultColumn(WhiteBalance& wb, std::string_view word) {
    if (word == "WBLP") return &wb.level;
    if (word == "WBRP") return &wb.red;
    if (word == "WBGP") return &wb.green;
    if (word == "WBBP") return &wb.blue;
    return nullptr;
}

std::array<int, 3>* SimpleColumn(WhiteBalance& wb, std::string_view word) {
    if (word == "RGAN") return &wb.simRed;
    if (word == "GGAN") return &wb.simGreen;
    if (word == "BGAN") return &wb.simBlue;
    return nullptr;
}

std::array<int, 6>* AdvancedGain(WhiteBalance& wb, char tail) {
    switch (tail) {
        case 'R': return &wb.advRed;
        case 'G': return &wb.advGreen;
        case 'B': return &wb.advBlue;
        case 'Y': return &wb.advYellow;
        default: return nullptr;
    }
}

int EventKindOf(std::string_view word, bool& isMax) {
    isMax = false;
    if (word == "BLRS") return kBrightEvents;
    if (word == "BLRE") { isMax = true; return kBrightEvents; }
    if (word == "POLR") return kPowerOffEvents;
    if (word == "TLRS") return kTempErrorEvents;
    if (word == "TLRE") { isMax = true; return kTempErrorEvents; }
    return -1;
}

int EventCountKind(std::string_view word) {
    if (word == "BLCN") return kBrightEvents;
    if (word == "POCN") return kPowerOffEvents;
    if (word == "TLCN") return kTempErrorEvents;
    return -1;
}

bool IsTemperatureWord(std::string_view word) {
    const auto& s = TemperatureSettingWords();
    const auto& d = TemperatureDataWords();
    return std::find(s.begin(), s.end(), word) != s.end() || std::find(d.begin(), d.end(), word) != d.end();
}

std::string Query(Display& d, std::string_view word) {
    if (word == "INF1") return Value(d.model);
    if (word == "SRNO") return Value(d.serial);
    if (word == "SRID") return Value(d.series);
    if (word == "UTIM") return Number(d.usageHours);
    if (word == "CLKS") return Value(SecondsToDigits12(d.ClockNow()));
    for (std::size_t i = 0; i < kLastValueWords.size(); ++i)
        if (word == kLastValueWords[i]) return Value(d.lastValues[i]);

    // Temperature queries answer only in maintenance mode.
    if (word == "ERRT" || IsTemperatureWord(word) || EventCountKind(word) >= 0) {
        if (!d.maintenance) return kNg;
        if (word == "ERRT") return List(d.currentTemp);
        if (int k = EventCountKind(word); k >= 0) return Number(d.eventCounts[k]);
        return Number(d.numbers[std::string(word)]);
    }

    if (auto* col = DefaultColumn(d.wb, word)) return List(*col);
    if (auto* col = SimpleColumn(d.wb, word)) return List(*col, d.simplePoints == 3 ? 3 : 1);
    if (word == "GCVL") return List(d.wb.val);
    // Advanced set: "LEV" + row, "MG" + row + colour.
    if (word.size() == 4 && word.substr(0, 3) == "LEV" && word[3] >= '1' && word[3] <= '6')
        return Number(d.wb.advLevel[word[3] - '1']);
    if (word.size() == 4 && word.substr(0, 2) == "MG" && word[2] >= '1' && word[2] <= '6')
        if (auto* col = AdvancedGain(d.wb, word[3])) return Number((*col)[word[2] - '1']);
    return kNg;
}

bool SetIdentity(Display& d, std::string_view model, std::string_view serial) {
    if (model.size() > kMaxIdentityLength || serial.size() > kMaxIdentityLength) return false;
    if (!d.log.empty()) {
        std::string error;
        Bytes image = d.log;
        // A log image whose header cannot be walked keeps its bytes; the
        // identity registers still change.
        if (RewriteLogIdentity(image, model, serial, error)) d.log.swap(image);
    }
    d.model = model;
    d.serial = serial;
    return true;
}

// ---- the commands ------------------------------------------------------------

// One command as the handlers see it: the display it addresses, its whole
// text, its first four characters (the word) and the rest (the parameter).
struct Command {
    Chain& chain;
    TextContext& ctx;
    Display& d;
    std::string_view text;
    std::string_view word;
    std::string_view param;
};

using Handler = TextResult (*)(const Command&);

TextResult Reply(std::string reply) {
    return {std::move(reply)};
}
TextResult Accepted(bool ok) {
    return Reply(ok ? kOk : kNg);
}
TextResult EnteredBinary(std::string reply) {
    return {std::move(reply), true};
}

TextResult SelectDisplay(const Command& c) {
    int n = 0;
    if (!ParseUnsigned(c.param, 3, n) || !c.chain.Find(n)) return Accepted(false);
    c.ctx.selected = n;
    return Accepted(true);
}

TextResult EnterBinaryById(const Command& c) {
    int n = 0;
    Display* target = ParseUnsigned(c.param, 3, n) ? c.chain.Find(n) : nullptr;
    if (!target) return Accepted(false);
    c.chain.EnterBinary(*target);
    return EnteredBinary("=BNMD9999");
}

TextResult EnterBinary(const Command& c) {
    c.chain.EnterBinary(c.d);
    return EnteredBinary(kOk);
}

// "BLRS0003": start text of event 3; "BLRS1003": its time; "BLRE0003": its maximum text.
TextResult EventQuery(const Command& c) {
    bool isMax = false;
    const int kind = EventKindOf(c.word, isMax);
    int n = 0;
    if (!c.d.maintenance || c.param.size() != 4 || !ParseUnsigned(c.param, 4, n)) return Accepted(false);
    if (n < kEventsPerKind) {
        const EventEntry& e = c.d.events[kind][n];
        return Reply(Value(isMax ? e.max : e.start));
    }
    if (!isMax && n >= 1000 && n < 1000 + kEventsPerKind)
        return Reply(Number(c.d.events[kind][n - 1000].time));
    return Accepted(false);
}

TextResult SetLogging(const Command& c) {
    c.d.logging = c.text.back() == '1';
    return Accepted(true);
}

TextResult SetMaintenance(const Command& c) {
    c.d.maintenance = c.text.back() == '1';
    return Accepted(true);
}

TextResult ArmClear(const Command& c) {
    c.d.clearArmed = true;
    return Accepted(true);
}

TextResult ClearLogs(const Command& c) {
    if (!c.d.clearArmed) return Accepted(false);
    std::string error;
    Bytes image = c.d.log;
    if (!ClearLogGroups(image, error)) return Accepted(false);
    c.d.log.swap(image);
    c.d.clearArmed = false;
    return Accepted(true);
}

TextResult SetSerial(const Command& c) {
    return Accepted(!c.param.empty() && SetIdentity(c.d, c.d.model, c.param));
}
TextResult SetModel(const Command& c) {
    return Accepted(!c.param.empty() && SetIdentity(c.d, c.param, c.d.serial));
}

// "%y%m%d%H%M": ten digits of a real date and time; seconds start at 0.
TextResult SetClock(const Command& c) {
    const std::string_view p = c.param;
    if (p.size() != 10 || !IsDigits(p)) return Accepted(false);
    auto two = [&](int i) { return (p[i] - '0') * 10 + (p[i + 1] - '0'); };
    const int yy = two(0), mo = two(2), dd = two(4), hh = two(6), mi = two(8);
    static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (yy % 4) == 0;
    if (mo < 1 || mo > 12 || dd < 1 || dd > kDays[mo - 1] || (mo == 2 && dd == 29 && !leap) || hh >= 24 ||
        mi >= 60)
        return Accepted(false);
    c.d.SetClock(FieldsToSeconds(2000 + yy, mo, dd, hh, mi, 0));
    return Accepted(true);
}

// The white balance tool's begin, end and mode commands: nothing to do.
TextResult Acknowledge(const Command&) {
    return Accepted(true);
}

// Asked with a number query by the white balance tool: 0 = level write finished.
TextResult LevelWriteDone(const Command&) {
    return Reply("=0");
}

TextResult RestoreFactoryExceptVal(const Command& c) {
    const auto val = c.d.wb.val;
    c.d.wb = FactoryWhiteBalance();
    c.d.wb.val = val;
    return Accepted(true);
}

TextResult RestoreFactoryVal(const Command& c) {
    c.d.wb.val = FactoryWhiteBalance().val;
    return Accepted(true);
}

TextResult WriteDefaultColumn(const Command& c) {
    int row = 0, v = 0;
    if (!ParseRowValue(c.param, row, v)) return Accepted(false);
    (*DefaultColumn(c.d.wb, c.word))[row - 1] = v;
    return Accepted(true);
}

// One point: the value; three points: point 0..2, then the value.
TextResult WriteSimpleColumn(const Command& c) {
    auto& column = *SimpleColumn(c.d.wb, c.word);
    std::string_view p = c.param;
    int point = 0, v = 0;
    if (c.d.simplePoints == 3) {
        if (p.size() < 2 || p[0] < '0' || p[0] > '2') return Accepted(false);
        point = p[0] - '0';
        p.remove_prefix(1);
    }
    if (!ParseUnsigned(p, 5, v) || v > kMaxRegister) return Accepted(false);
    column[point] = v;
    return Accepted(true);
}

TextResult WriteVal(const Command& c) {
    int row = 0, v = 0;
    if (!ParseRowValue(c.param, row, v)) return Accepted(false);
    c.d.wb.val[row - 1] = v;
    return Accepted(true);
}

// "LEV" + row + value.
TextResult WriteAdvancedLevel(const Command& c) {
    int row = 0, v = 0;
    if (!ParseRowValue(c.text.substr(3), row, v)) return Accepted(false);
    c.d.wb.advLevel[row - 1] = v;
    return Accepted(true);
}

// "MG" + row + colour + value.
TextResult WriteAdvancedGain(const Command& c) {
    const std::string_view t = c.text;
    if (t.size() <= 5 || t[2] < '1' || t[2] > '6') return Accepted(false);
    auto* column = AdvancedGain(c.d.wb, t[3]);
    int v = 0;
    if (!column || !ParseUnsigned(t.substr(4), 5, v) || v > kMaxRegister) return Accepted(false);
    (*column)[t[2] - '1'] = v;
    return Accepted(true);
}

struct Entry {
    std::string_view key;
    Handler handle;
};

// Commands known by their whole text.
constexpr Entry kWholeCommands[] = {
    {"SRLG0000", SetLogging},        {"SRLG0001", SetLogging},
    {"FIRM0000", EnterBinary},       {"TRST0002", ArmClear},
    {"ACLG0000", ClearLogs},         {"ESPC0001", SetMaintenance},
    {"ESPC0000", SetMaintenance},    {"WBST0000", Acknowledge},
    {"WBLS0000", Acknowledge},       {"WBED0000", Acknowledge},
    {"MGST0001", Acknowledge},       {"MGST0000", Acknowledge},
    {"GCEN0001", Acknowledge},       {"GCEN0000", Acknowledge},
    {"WBLE0000", LevelWriteDone},    {"MSET0004", RestoreFactoryExceptVal},
    {"GCRS0001", RestoreFactoryVal},
};

// Commands known by their word, with a parameter.
constexpr Entry kWordCommands[] = {
    {"IDSL", SelectDisplay},      {"BNMD", EnterBinaryById},    {"BLRS", EventQuery},
    {"BLRE", EventQuery},         {"POLR", EventQuery},         {"TLRS", EventQuery},
    {"TLRE", EventQuery},         {"IFSN", SetSerial},          {"IFMN", SetModel},
    {"CLKS", SetClock},           {"WBLP", WriteDefaultColumn}, {"WBRP", WriteDefaultColumn},
    {"WBGP", WriteDefaultColumn}, {"WBBP", WriteDefaultColumn}, {"RGAN", WriteSimpleColumn},
    {"GGAN", WriteSimpleColumn},  {"BGAN", WriteSimpleColumn},  {"GCVW", WriteVal},
};

// Commands known by a shorter prefix (the advanced white balance set).
constexpr Entry kPrefixCommands[] = {
    {"LEV", WriteAdvancedLevel},
    {"MG", WriteAdvancedGain},
};

Handler FindHandler(std::string_view text, std::string_view word) {
    for (const Entry& e : kWholeCommands)
        if (text == e.key) return e.handle;
    for (const Entry& e : kWordCommands)
        if (word == e.key) return e.handle;
    for (const Entry& e : kPrefixCommands)
        if (text.size() > e.key.size() + 1 && text.substr(0, e.key.size()) == e.key) return e.handle;
    return nullptr;
}

}  // namespace

TextResult HandleTextCommand(Chain& chain, TextContext& ctx, std::string_view cmd) {
    if (cmd.size() > kMaxTextCommand || !Printable(cmd)) return Reply(kNg);
    if (cmd.empty()) return Reply(kOk);
    Display* d = chain.Find(ctx.selected);
    if (!d) return Reply(kNg);
    const std::string_view word = cmd.substr(0, std::min<std::size_t>(4, cmd.size()));
    const std::string_view param = cmd.size() > 4 ? cmd.substr(4) : std::string_view{};
    if (cmd.size() == 8 && param == "????") return Reply(Query(*d, word));
    const Handler handle = FindHandler(cmd, word);
    return handle ? handle({chain, ctx, *d, cmd, word, param}) : Reply(kNg);
}

}  // namespace dsim
