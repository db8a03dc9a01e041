#include "state_file.h"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "common/hex.h"
#include "common/strutil.h"
#include "common/textfile.h"
#include "log_image.h"
#include "logimage/LogImage.h"
#include "text_protocol.h"

namespace dsim {

// Room for a full chain whose displays all carry both images in hex.
constexpr std::size_t kMaxStateFileSize = 80u * 1024u * 1024u;

namespace {

bool ParseInt(std::string_view s, long long lo, long long hi, long long& v) {
    if (s.empty()) return false;
    auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    return ec == std::errc() && ptr == s.data() + s.size() && v >= lo && v <= hi;
}

template <std::size_t N>
bool ParseList(std::string_view s, std::array<int, N>& out) {
    std::array<int, N> tmp{};
    std::size_t i = 0;
    while (true) {
        const std::size_t comma = s.find(',');
        long long v = 0;
        if (i >= N || !ParseInt(s.substr(0, comma), -99999, 99999, v)) return false;
        tmp[i++] = static_cast<int>(v);
        if (comma == std::string_view::npos) break;
        s.remove_prefix(comma + 1);
    }
    if (i != N) return false;
    out = tmp;
    return true;
}

template <std::size_t N>
std::string JoinList(const std::array<int, N>& a) {
    std::string s;
    for (std::size_t i = 0; i < N; ++i) s += (i ? "," : "") + std::to_string(a[i]);
    return s;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool ParseHex(std::string_view s, Bytes& out) {
    if (s.size() % 2 || s.empty() || s.size() / 2 > kMaxImageSize) return false;
    Bytes b(s.size() / 2);
    for (std::size_t i = 0; i < b.size(); ++i) {
        const int hi = HexDigit(s[2 * i]), lo = HexDigit(s[2 * i + 1]);
        if (hi < 0 || lo < 0) return false;
        b[i] = static_cast<std::uint8_t>(hi * 16 + lo);
    }
    out.swap(b);
    return true;
}

std::string ToHex(const Bytes& b) {
    std::string s;
    cmn::BytesToHex(b.data(), b.size(), s);
    return s;
}

using Lists6 = std::array<int, 6> WhiteBalance::*;
using Lists3 = std::array<int, 3> WhiteBalance::*;
const std::pair<const char*, Lists6> kWb6[] = {
    {"wb.level", &WhiteBalance::level},        {"wb.red", &WhiteBalance::red},
    {"wb.green", &WhiteBalance::green},        {"wb.blue", &WhiteBalance::blue},
    {"wb.adv_level", &WhiteBalance::advLevel}, {"wb.adv_red", &WhiteBalance::advRed},
    {"wb.adv_green", &WhiteBalance::advGreen}, {"wb.adv_blue", &WhiteBalance::advBlue},
    {"wb.adv_yellow", &WhiteBalance::advYellow}, {"wb.val", &WhiteBalance::val},
};
const std::pair<const char*, Lists3> kWb3[] = {
    {"wb.sim_red", &WhiteBalance::simRed},
    {"wb.sim_green", &WhiteBalance::simGreen},
    {"wb.sim_blue", &WhiteBalance::simBlue},
};

bool IsKnownNumberWord(std::string_view w) {
    const auto& s = TemperatureSettingWords();
    const auto& d = TemperatureDataWords();
    return std::find(s.begin(), s.end(), w) != s.end() || std::find(d.begin(), d.end(), w) != d.end();
}

// Texts that the display sends back as (part of) a reply line: a control byte
// such as CR would end the line early and break the reply framing.
bool NoControlBytes(std::string_view s) {
    return std::none_of(s.begin(), s.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u < 0x20 || u == 0x7F;
    });
}

bool ValidIdentity(std::string_view s) {
    return s.size() <= kMaxIdentityLength &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}

struct SectionInfo {
    bool identitySet = false;
    bool logFromFile = false;
};

// One key of a display section. Returns an empty string on success, else the problem.
std::string ApplyKey(Display& d, SectionInfo& info, std::string_view key, std::string_view value,
                     const std::filesystem::path& baseDir) {
    long long v = 0;
    if (key == "model" || key == "serial") {
        if (!ValidIdentity(value)) return "needs at most 15 printable characters";
        (key == "model" ? d.model : d.serial) = value;
        info.identitySet = true;
    } else if (key == "series") {
        if (value.size() > kMaxTextCommand) return "is too long";
        if (!NoControlBytes(value)) return "must not hold control characters";
        d.series = value;
    } else if (key == "logging") {
        if (!ParseInt(value, 0, 1, v)) return "must be 0 or 1";
        d.logging = v != 0;
    } else if (key == "usage_hours") {
        if (!ParseInt(value, 0, 2147483647, v)) return "must be a number from 0 to 2147483647";
        d.usageHours = static_cast<int>(v);
    } else if (key == "current_temp") {
        if (!ParseList(value, d.currentTemp)) return "must be three numbers separated by commas";
    } else if (key == "simple_points") {
        if (!ParseInt(value, 1, 3, v) || v == 2) return "must be 1 or 3";
        d.simplePoints = static_cast<int>(v);
    } else if (key == "clock") {
        if (value.size() != 12 || !std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return "must be twelve digits yymmddhhmmss";
        auto two = [&](int i) { return (value[i] - '0') * 10 + (value[i + 1] - '0'); };
        if (two(2) < 1 || two(2) > 12 || two(4) < 1 || two(4) > 31 || two(6) > 23 || two(8) > 59 || two(10) > 59)
            return "is not a valid clock";
        const std::int64_t secs = FieldsToSeconds(2000 + two(0), two(2), two(4), two(6), two(8), two(10));
        // A day the month does not have (31 April, 29 February of 2025) would
        // silently roll over into the next month.
        if (SecondsToDigits12(secs) != value) return "is not a valid clock";
        d.SetClock(secs);
    } else if (key.substr(0, 7) == "number.") {
        const std::string_view word = key.substr(7);
        if (!IsKnownNumberWord(word)) return "is not a temperature query word";
        if (!ParseInt(value, -2147483647, 2147483647, v)) return "must be a number";
        d.numbers[std::string(word)] = static_cast<int>(v);
    } else if (key.substr(0, 12) == "event_count.") {
        if (key.size() != 13 || key[12] < '0' || key[12] > '2') return "names no event kind (0, 1 or 2)";
        if (!ParseInt(value, 0, 65535, v)) return "must be a number from 0 to 65535";
        d.eventCounts[key[12] - '0'] = static_cast<int>(v);
    } else if (key.substr(0, 6) == "event.") {
        // event.K.I.start / .max / .time
        if (key.size() < 11 || key[6] < '0' || key[6] > '2' || key[7] != '.' || key[8] < '0' || key[8] > '4' ||
            key[9] != '.')
            return "must be event.K.I.start, event.K.I.max or event.K.I.time with K 0..2 and I 0..4";
        EventEntry& e = d.events[key[6] - '0'][key[8] - '0'];
        const std::string_view field = key.substr(10);
        if (field == "start" || field == "max") {
            if (value.size() > 250) return "is too long";
            if (!NoControlBytes(value)) return "must not hold control characters";
            (field == "start" ? e.start : e.max) = value;
        } else if (field == "time") {
            if (!ParseInt(value, 0, 4294967295LL, v)) return "must be a number from 0 to 4294967295";
            e.time = static_cast<std::uint32_t>(v);
        } else {
            return "must end in .start, .max or .time";
        }
    } else if (key.substr(0, 5) == "last.") {
        const auto it = std::find(kLastValueWords.begin(), kLastValueWords.end(), key.substr(5));
        if (it == kLastValueWords.end()) return "is not one of the usage time query words";
        if (value.size() > kMaxTextCommand) return "is too long";
        if (!NoControlBytes(value)) return "must not hold control characters";
        d.lastValues[static_cast<std::size_t>(it - kLastValueWords.begin())] = value;
    } else if (key == "log" || key == "nvram") {
        Bytes b;
        if (!ParseHex(value, b)) return "must be 1 to 65535 bytes of hexadecimal text";
        (key == "log" ? d.log : d.nvram).swap(b);
        if (key == "log") info.logFromFile = false;
    } else if (key == "log_file" || key == "nvram_file") {
        std::filesystem::path p(std::string{value});
        if (p.is_relative()) p = baseDir / p;
        Bytes b;
        std::string err;
        if (!ReadImageFile(p, b, err)) return err;
        (key == "log_file" ? d.log : d.nvram).swap(b);
        if (key == "log_file") info.logFromFile = true;
    } else {
        for (const auto& [name, member] : kWb6)
            if (key == name) return ParseList(value, d.wb.*member) ? "" : "must be six numbers separated by commas";
        for (const auto& [name, member] : kWb3)
            if (key == name) return ParseList(value, d.wb.*member) ? "" : "must be three numbers separated by commas";
        return "is not a known key";
    }
    return "";
}

// Reads a whole regular file of at most `maxBytes`, checking the size while
// reading (a FIFO, a device or a huge file is refused without being read whole).
bool ReadBounded(const std::filesystem::path& path, std::size_t maxBytes, const char* what, std::string& out,
                 std::string& error) {
    if (cmn::ReadFileBytes(path, out, maxBytes)) return true;
    std::error_code ec;
    const bool regular = std::filesystem::is_regular_file(path, ec);
    if (regular && std::filesystem::file_size(path, ec) > maxBytes)
        error = std::string(what) + "\"" + path.string() + "\" is larger than " + std::to_string(maxBytes) + " bytes";
    else if (!ec && !regular && std::filesystem::exists(path, ec))
        error = std::string(what) + "\"" + path.string() + "\" is not a regular file";
    else
        error = std::string("cannot read ") + what + "\"" + path.string() + "\"";
    return false;
}

}  // namespace

bool ReadImageFile(const std::filesystem::path& path, Bytes& out, std::string& error) {
    std::string bytes;
    if (!ReadBounded(path, kMaxImageSize, "", bytes, error)) return false;
    if (bytes.empty()) {
        error = "\"" + path.string() + "\" is empty";
        return false;
    }
    out.assign(bytes.begin(), bytes.end());
    return true;
}

void AdoptLogImage(Display& d, Bytes image, bool takeIdentity) {
    if (takeIdentity) {
        logimage::LogLayout L;
        std::string error;
        if (logimage::LocateLog(image, L, error)) {
            if (!L.model.empty()) d.model = L.model;
            if (!L.serial.empty()) d.serial = L.serial;
        }
    }
    d.log.swap(image);
}

bool ApplyStateText(std::string_view text, const std::filesystem::path& baseDir, std::size_t nvramSize, Chain& chain,
                    std::string& error) {
    Chain work = chain;
    Display* current = nullptr;
    SectionInfo info;
    auto finishSection = [&] {
        if (current && info.logFromFile && !info.identitySet) {
            Bytes image = current->log;
            AdoptLogImage(*current, std::move(image), true);
        }
    };
    cmn::LineReader lines(text);
    std::string_view line;
    while (lines.Next(line)) {
        const std::string where = "state line " + std::to_string(lines.Number()) + ": ";
        if (line.empty() || line[0] == '#' || line[0] == ';') continue;
        if (line[0] == '[') {
            long long id = 0;
            if (line.size() < 11 || line.substr(0, 9) != "[display " || line.back() != ']' ||
                !ParseInt(line.substr(9, line.size() - 10), 0, 255, id)) {
                error = where + "a section must be [display N] with N from 0 to 255";
                return false;
            }
            finishSection();
            current = work.Find(static_cast<int>(id));
            if (!current) {
                work.displays.push_back(DefaultDisplay(static_cast<int>(id), nvramSize));
                current = &work.displays.back();
            }
            info = SectionInfo{};
            continue;
        }
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos || eq == 0) {
            error = where + "expected key=value";
            return false;
        }
        if (!current) {
            error = where + "a key before the first [display N] section";
            return false;
        }
        const std::string_view key = line.substr(0, eq);
        const std::string problem = ApplyKey(*current, info, key, line.substr(eq + 1), baseDir);
        if (!problem.empty()) {
            error = where + std::string(key) + " " + problem;
            return false;
        }
    }
    finishSection();
    std::sort(work.displays.begin(), work.displays.end(), [](const Display& a, const Display& b) { return a.id < b.id; });
    chain = std::move(work);
    return true;
}

bool LoadStateFile(const std::filesystem::path& path, std::size_t nvramSize, Chain& chain, std::string& error) {
    std::string text;
    if (!ReadBounded(path, kMaxStateFileSize, "state file ", text, error)) return false;
    if (!ApplyStateText(text, path.parent_path(), nvramSize, chain, error)) {
        error = path.string() + ": " + error;
        return false;
    }
    return true;
}

std::string StateText(const Chain& chain) {
    std::string s = "# display-sim state\n";
    for (const Display& d : chain.displays) {
        s += "\n[display " + std::to_string(d.id) + "]\n";
        s += "model=" + d.model + "\n";
        s += "serial=" + d.serial + "\n";
        s += "series=" + d.series + "\n";
        s += "logging=" + std::string(d.logging ? "1" : "0") + "\n";
        s += "usage_hours=" + std::to_string(d.usageHours) + "\n";
        s += "current_temp=" + JoinList(d.currentTemp) + "\n";
        s += "simple_points=" + std::to_string(d.simplePoints) + "\n";
        s += "clock=" + SecondsToDigits12(d.ClockNow()) + "\n";
        for (const auto& [word, value] : d.numbers) s += "number." + word + "=" + std::to_string(value) + "\n";
        for (int k = 0; k < kEventKinds; ++k) {
            s += "event_count." + std::to_string(k) + "=" + std::to_string(d.eventCounts[k]) + "\n";
            for (int i = 0; i < kEventsPerKind; ++i) {
                const std::string head = "event." + std::to_string(k) + "." + std::to_string(i) + ".";
                s += head + "start=" + d.events[k][i].start + "\n";
                s += head + "max=" + d.events[k][i].max + "\n";
                s += head + "time=" + std::to_string(d.events[k][i].time) + "\n";
            }
        }
        for (std::size_t i = 0; i < kLastValueWords.size(); ++i)
            s += std::string("last.") + kLastValueWords[i] + "=" + d.lastValues[i] + "\n";
        for (const auto& [name, member] : kWb6) s += std::string(name) + "=" + JoinList(d.wb.*member) + "\n";
        for (const auto& [name, member] : kWb3) s += std::string(name) + "=" + JoinList(d.wb.*member) + "\n";
        if (!d.log.empty()) s += "log=" + ToHex(d.log) + "\n";
        if (!d.nvram.empty()) s += "nvram=" + ToHex(d.nvram) + "\n";
    }
    return s;
}

bool SaveStateFile(const std::filesystem::path& path, const Chain& chain, std::string& error) {
    if (!cmn::WriteFileAtomic(path, StateText(chain))) {
        error = "cannot write \"" + path.string() + "\"";
        return false;
    }
    return true;
}

}  // namespace dsim
