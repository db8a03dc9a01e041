#include "report/FleetSummary.h"

#include <cstdint>
#include <cstdlib>
#include <utility>

#include "common/codepage.h"
#include "common/strutil.h"

namespace {

// Objects and arrays nested deeper than this are refused: a summary line
// holds the run's object inside the display's, nothing deeper than a few.
constexpr int kMaxDepth = 32;

struct JsonValue {
    enum Kind { kNull, kBool, kNumber, kString, kArray, kObject };
    Kind kind = kNull;
    std::string text;  // a string's UTF-8, or a number as written
    std::vector<JsonValue> items;  // an array's items, an object's values
    std::vector<std::string> keys;  // an object's keys, one per value

    const JsonValue* Member(std::string_view key) const;
};

const JsonValue* JsonValue::Member(std::string_view key) const {
    if (kind != kObject) return nullptr;
    for (std::size_t i = 0; i < keys.size(); ++i)
        if (keys[i] == key) return &items[i];
    return nullptr;
}

// A reader of one JSON text. Every read checks the end of the text first.
class JsonReader {
public:
    explicit JsonReader(std::string_view text) : m_s(text) {}

    // The whole text as one value; false with the reason otherwise.
    bool Document(JsonValue& out, std::string& why) {
        if (!Value(out, 0)) {
            why = m_why;
            return false;
        }
        SkipBlanks();
        if (m_pos != m_s.size()) {
            why = "text after the JSON value";
            return false;
        }
        return true;
    }

private:
    bool Fail(const char* why) {
        if (m_why.empty()) m_why = why;
        return false;
    }
    bool AtEnd() const { return m_pos >= m_s.size(); }
    char Peek() const { return m_s[m_pos]; }
    void SkipBlanks() {
        while (!AtEnd() && (Peek() == ' ' || Peek() == '\t' || Peek() == '\r' || Peek() == '\n')) ++m_pos;
    }
    bool Literal(std::string_view word) {
        if (m_s.substr(m_pos, word.size()) != word) return Fail("not a JSON value");
        m_pos += word.size();
        return true;
    }

    bool Value(JsonValue& out, int depth) {
        SkipBlanks();
        if (AtEnd()) return Fail("the line ends inside a value");
        switch (Peek()) {
            case '{': return depth < kMaxDepth ? Object(out, depth + 1) : Fail("nested too deep");
            case '[': return depth < kMaxDepth ? Array(out, depth + 1) : Fail("nested too deep");
            case '"': out.kind = JsonValue::kString; return String(out.text);
            case 't': out.kind = JsonValue::kBool; out.text = "true"; return Literal("true");
            case 'f': out.kind = JsonValue::kBool; out.text = "false"; return Literal("false");
            case 'n': out.kind = JsonValue::kNull; return Literal("null");
            default: out.kind = JsonValue::kNumber; return Number(out.text);
        }
    }

    bool Object(JsonValue& out, int depth) {
        out.kind = JsonValue::kObject;
        ++m_pos;  // '{'
        SkipBlanks();
        if (!AtEnd() && Peek() == '}') {
            ++m_pos;
            return true;
        }
        for (;;) {
            SkipBlanks();
            if (AtEnd() || Peek() != '"') return Fail("an object's key is not a string");
            std::string key;
            if (!String(key)) return false;
            SkipBlanks();
            if (AtEnd() || Peek() != ':') return Fail("no ':' after an object's key");
            ++m_pos;
            JsonValue value;
            if (!Value(value, depth)) return false;
            out.keys.push_back(std::move(key));
            out.items.push_back(std::move(value));
            SkipBlanks();
            if (AtEnd()) return Fail("the line ends inside an object");
            if (Peek() == '}') {
                ++m_pos;
                return true;
            }
            if (Peek() != ',') return Fail("no ',' or '}' after an object's member");
            ++m_pos;
        }
    }

    bool Array(JsonValue& out, int depth) {
        out.kind = JsonValue::kArray;
        ++m_pos;  // '['
        SkipBlanks();
        if (!AtEnd() && Peek() == ']') {
            ++m_pos;
            return true;
        }
        for (;;) {
            JsonValue item;
            if (!Value(item, depth)) return false;
            out.items.push_back(std::move(item));
            SkipBlanks();
            if (AtEnd()) return Fail("the line ends inside an array");
            if (Peek() == ']') {
                ++m_pos;
                return true;
            }
            if (Peek() != ',') return Fail("no ',' or ']' after an array's item");
            ++m_pos;
        }
    }

    bool Hex4(std::uint32_t& out) {
        if (m_s.size() - m_pos < 4) return Fail("a \\u escape is cut off");
        out = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = m_s[m_pos++];
            out <<= 4;
            if (c >= '0' && c <= '9') out |= static_cast<std::uint32_t>(c - '0');
            else if (c >= 'a' && c <= 'f') out |= static_cast<std::uint32_t>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F') out |= static_cast<std::uint32_t>(c - 'A' + 10);
            else return Fail("a \\u escape holds a character that is not hexadecimal");
        }
        return true;
    }

    bool Escape(std::string& out) {
        if (AtEnd()) return Fail("the line ends inside an escape");
        const char c = m_s[m_pos++];
        switch (c) {
            case '"': out += '"'; return true;
            case '\\': out += '\\'; return true;
            case '/': out += '/'; return true;
            case 'b': out += '\b'; return true;
            case 'f': out += '\f'; return true;
            case 'n': out += '\n'; return true;
            case 'r': out += '\r'; return true;
            case 't': out += '\t'; return true;
            case 'u': break;
            default: return Fail("an unknown escape");
        }
        std::uint32_t unit = 0;
        if (!Hex4(unit)) return false;
        std::u16string units(1, static_cast<char16_t>(unit));
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            std::uint32_t low = 0;
            if (m_s.substr(m_pos, 2) != "\\u") return Fail("a lone surrogate");
            m_pos += 2;
            if (!Hex4(low)) return false;
            if (low < 0xDC00 || low > 0xDFFF) return Fail("a lone surrogate");
            units += static_cast<char16_t>(low);
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            return Fail("a lone surrogate");
        }
        out += cmn::Utf16ToUtf8(units);
        return true;
    }

    bool String(std::string& out) {
        out.clear();
        ++m_pos;  // '"'
        for (;;) {
            if (AtEnd()) return Fail("the line ends inside a string");
            const char c = m_s[m_pos++];
            if (c == '"') return true;
            if (static_cast<unsigned char>(c) < 0x20) return Fail("a control character inside a string");
            if (c == '\\') {
                if (!Escape(out)) return false;
            } else {
                out += c;
            }
        }
    }

    bool Digits() {
        const std::size_t start = m_pos;
        while (!AtEnd() && Peek() >= '0' && Peek() <= '9') ++m_pos;
        return m_pos > start;
    }

    bool Number(std::string& out) {
        const std::size_t start = m_pos;
        if (!AtEnd() && Peek() == '-') ++m_pos;
        if (AtEnd()) return Fail("not a JSON value");
        if (Peek() == '0') {
            ++m_pos;
        } else if (!Digits()) {
            return Fail("not a JSON value");
        }
        if (!AtEnd() && Peek() == '.') {
            ++m_pos;
            if (!Digits()) return Fail("a number without digits after its point");
        }
        if (!AtEnd() && (Peek() == 'e' || Peek() == 'E')) {
            ++m_pos;
            if (!AtEnd() && (Peek() == '+' || Peek() == '-')) ++m_pos;
            if (!Digits()) return Fail("a number without digits in its exponent");
        }
        out.assign(m_s.substr(start, m_pos - start));
        return true;
    }

    std::string_view m_s;
    std::size_t m_pos = 0;
    std::string m_why;
};

std::string TextOf(const JsonValue* v) {
    return v != nullptr && v->kind == JsonValue::kString ? v->text : std::string();
}

// An integer member; `fallback` when it is missing, not a whole number or
// beyond int.
int IntOf(const JsonValue* v, int fallback) {
    if (v == nullptr || v->kind != JsonValue::kNumber) return fallback;
    if (v->text.find_first_of(".eE") != std::string::npos || v->text.size() > 11) return fallback;
    const long long n = std::strtoll(v->text.c_str(), nullptr, 10);
    return n >= INT32_MIN && n <= INT32_MAX ? static_cast<int>(n) : fallback;
}

// Why a display failed, from an "error" object: {"reason", "step", "detail"}.
bool ReadError(const JsonValue* error, stFleetSummaryEntry& e) {
    if (error == nullptr || error->kind != JsonValue::kObject) return false;
    e.strReason = TextOf(error->Member("reason"));
    e.strStep = TextOf(error->Member("step"));
    e.strDetail = TextOf(error->Member("detail"));
    return !e.strReason.empty();
}

bool ReadEntry(const JsonValue& line, stFleetSummaryEntry& e, std::string& why) {
    if (line.kind != JsonValue::kObject) {
        why = "not a JSON object";
        return false;
    }
    const JsonValue* host = line.Member("host");
    const JsonValue* status = line.Member("status");
    if (host == nullptr || host->kind != JsonValue::kString || status == nullptr ||
        status->kind != JsonValue::kString) {
        why = "no \"host\" or \"status\" text";
        return false;
    }
    e.strHost = host->text;
    e.strStatus = status->text;
    e.nPort = IntOf(line.Member("port"), 0);
    e.nDisplayId = IntOf(line.Member("id"), 0);
    e.strFolder = TextOf(line.Member("folder"));
    e.nExitCode = IntOf(line.Member("exit_code"), -1);
    e.strMessage = TextOf(line.Member("message"));
    const JsonValue* run = line.Member("run");
    if (run != nullptr && run->kind == JsonValue::kObject) {
        e.strModel = TextOf(run->Member("model"));
        e.strSerial = TextOf(run->Member("serial"));
    }
    if (!ReadError(line.Member("error"), e) && !(run != nullptr && ReadError(run->Member("error"), e)))
        e.strReason = TextOf(line.Member("reason"));
    return true;
}

}  // namespace

stFleetSummary ParseFleetSummary(std::string_view text) {
    stFleetSummary summary;
    cmn::LineReader lines(text);
    std::string_view line;
    while (lines.Next(line)) {
        if (line.find_first_not_of(" \t") == std::string_view::npos) continue;
        const std::string where = "line " + std::to_string(lines.Number()) + ": ";
        if (line.size() > kMaxFleetSummaryLine) {
            summary.problems.push_back(where + "longer than " + std::to_string(kMaxFleetSummaryLine) + " bytes");
            continue;
        }
        JsonValue value;
        std::string why;
        stFleetSummaryEntry entry;
        entry.nLine = lines.Number();
        if (!JsonReader(line).Document(value, why) || !ReadEntry(value, entry, why)) {
            summary.problems.push_back(where + why);
            continue;
        }
        summary.entries.push_back(std::move(entry));
    }
    return summary;
}
