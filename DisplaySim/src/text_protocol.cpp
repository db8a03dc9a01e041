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

}  // namespace

TextResult HandleTextCommand(Chain& chain, TextContext& ctx, std::string_view cmd) {
    TextResult r;
    r.reply = kNg;
    if (cmd.size() > kMaxTextCommand || !Printable(cmd)) return r;
    if (cmd.empty()) {
        r.reply = kOk;
        return r;
    }
    Display* dp = chain.Find(ctx.selected);
    if (!dp) return r;
    Display& d = *dp;
    const std::string_view word = cmd.substr(0, std::min<std::size_t>(4, cmd.size()));
    const std::string_view param = cmd.size() > 4 ? cmd.substr(4) : std::string_view{};

    if (cmd.size() == 8 && param == "????") {
        r.reply = Query(d, word);
        return r;
    }

    int n = 0, v = 0;
    if (word == "IDSL") {
        if (ParseUnsigned(param, 3, n) && chain.Find(n)) {
            ctx.selected = n;
            r.reply = kOk;
        }
        return r;
    }
    if (word == "BNMD") {
        if (ParseUnsigned(param, 3, n)) {
            if (Display* target = chain.Find(n)) {
                chain.EnterBinary(*target);
                r.reply = "=BNMD9999";
                r.enteredBinary = true;
            }
        }
        return r;
    }
    bool isMax = false;
    if (int kind = EventKindOf(word, isMax); kind >= 0) {
        if (!d.maintenance || !ParseUnsigned(param, 4, n) || param.size() != 4) return r;
        if (n < kEventsPerKind) {
            const EventEntry& e = d.events[kind][n];
            r.reply = Value(isMax ? e.max : e.start);
        } else if (!isMax && n >= 1000 && n < 1000 + kEventsPerKind) {
            r.reply = Number(d.events[kind][n - 1000].time);
        }
        return r;
    }

    const std::string c(cmd);
    if (c == "SRLG0000" || c == "SRLG0001") {
        d.logging = c.back() == '1';
        r.reply = kOk;
    } else if (c == "FIRM0000") {
        chain.EnterBinary(d);
        r.reply = kOk;
        r.enteredBinary = true;
    } else if (c == "TRST0002") {
        d.clearArmed = true;
        r.reply = kOk;
    } else if (c == "ACLG0000") {
        if (d.clearArmed) {
            std::string error;
            Bytes image = d.log;
            if (ClearLogGroups(image, error)) {
                d.log.swap(image);
                d.clearArmed = false;
                r.reply = kOk;
            }
        }
    } else if (c == "ESPC0001" || c == "ESPC0000") {
        d.maintenance = c.back() == '1';
        r.reply = kOk;
    } else if (word == "IFSN") {
        if (!param.empty() && SetIdentity(d, d.model, param)) r.reply = kOk;
    } else if (word == "IFMN") {
        if (!param.empty() && SetIdentity(d, param, d.serial)) r.reply = kOk;
    } else if (word == "CLKS") {
        // "%y%m%d%H%M": ten digits, seconds start at 0.
        if (param.size() == 10 && IsDigits(param)) {
            auto two = [&](int i) { return (param[i] - '0') * 10 + (param[i + 1] - '0'); };
            const int yy = two(0), mo = two(2), dd = two(4), hh = two(6), mi = two(8);
            static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
            const bool leap = (yy % 4) == 0;
            if (mo >= 1 && mo <= 12 && dd >= 1 && dd <= kDays[mo - 1] && !(mo == 2 && dd == 29 && !leap) && hh < 24 &&
                mi < 60) {
                d.SetClock(FieldsToSeconds(2000 + yy, mo, dd, hh, mi, 0));
                r.reply = kOk;
            }
        }
    } else if (c == "WBST0000" || c == "WBLS0000" || c == "WBED0000" || c == "MGST0001" || c == "MGST0000" ||
               c == "GCEN0001" || c == "GCEN0000") {
        r.reply = kOk;
    } else if (c == "WBLE0000") {
        // Asked with a number query by the white balance tool: 0 = level write finished.
        r.reply = "=0";
    } else if (c == "MSET0004") {
        const WhiteBalance f = FactoryWhiteBalance();
        const auto val = d.wb.val;
        d.wb = f;
        d.wb.val = val;
        r.reply = kOk;
    } else if (c == "GCRS0001") {
        d.wb.val = FactoryWhiteBalance().val;
        r.reply = kOk;
    } else if (auto* col = DefaultColumn(d.wb, word)) {
        if (ParseRowValue(param, n, v)) {
            (*col)[n - 1] = v;
            r.reply = kOk;
        }
    } else if (auto* scol = SimpleColumn(d.wb, word)) {
        if (d.simplePoints == 3) {
            // point index 0..2, then the value
            if (param.size() >= 2 && param[0] >= '0' && param[0] <= '2' && ParseUnsigned(param.substr(1), 5, v) &&
                v <= kMaxRegister) {
                (*scol)[param[0] - '0'] = v;
                r.reply = kOk;
            }
        } else if (ParseUnsigned(param, 5, v) && v <= kMaxRegister) {
            (*scol)[0] = v;
            r.reply = kOk;
        }
    } else if (word == "GCVW") {
        if (ParseRowValue(param, n, v)) {
            d.wb.val[n - 1] = v;
            r.reply = kOk;
        }
    } else if (cmd.size() > 4 && cmd.substr(0, 3) == "LEV") {
        if (ParseRowValue(cmd.substr(3), n, v)) {
            d.wb.advLevel[n - 1] = v;
            r.reply = kOk;
        }
    } else if (cmd.size() > 5 && cmd.substr(0, 2) == "MG" && cmd[2] >= '1' && cmd[2] <= '6') {
        if (auto* gcol = AdvancedGain(d.wb, cmd[3]); gcol && ParseUnsigned(cmd.substr(4), 5, v) && v <= kMaxRegister) {
            (*gcol)[cmd[2] - '1'] = v;
            r.reply = kOk;
        }
    }
    return r;
}

}  // namespace dsim
