#include "log_image.h"

#include <cstdio>

#include "logimage/LogImage.h"

namespace dsim {

namespace {

std::string Hex(std::size_t v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "0x%zX", v);
    return buf;
}

// Reads a zero-terminated field of at most maxSize bytes at pos. Returns false
// when the field runs past `end`. An unterminated field counts as empty and
// occupies maxSize bytes.
bool ReadStringField(const Bytes& b, std::size_t end, std::size_t& pos, std::size_t maxSize, std::string& text,
                     std::size_t& fieldSize) {
    for (std::size_t i = 0; i < maxSize; ++i) {
        if (pos + i >= end) return false;
        if (b[pos + i] == 0) {
            text.assign(reinterpret_cast<const char*>(&b[pos]), i);
            fieldSize = i + 1;
            pos += fieldSize;
            return true;
        }
    }
    text.clear();
    fieldSize = maxSize;
    pos += maxSize;
    return true;
}

bool Skip(std::size_t end, std::size_t& pos, std::size_t n) {
    if (n > end - pos) return false;
    pos += n;
    return true;
}

}  // namespace

std::uint16_t Crc16(const std::uint8_t* data, std::size_t size, std::uint16_t crc) {
    return logimage::Crc16(data, size, crc);
}

void StampCheckValue(Bytes& image) { logimage::SetCheckValue(image); }

bool LocateLogLayout(const Bytes& b, LogLayout& L, std::string& error) {
    L = LogLayout{};
    if (b.size() < 3) {
        error = "log image shorter than 3 bytes";
        return false;
    }
    const std::size_t end = b.size() - 2;  // the check value is not part of the fields
    std::size_t pos = 0;
    auto truncated = [&](const char* what) {
        error = std::string("log image ends inside the ") + what + " at " + Hex(pos);
        return false;
    };
    const std::uint8_t version = b[pos++];
    if (version != 2 && version != 5) {
        error = "unknown log file version " + std::to_string(version);
        return false;
    }
    std::string text;
    std::size_t size = 0;
    L.modelPos = pos;
    if (!ReadStringField(b, end, pos, 16, L.model, L.modelSize)) return truncated("model name");
    L.serialPos = pos;
    if (!ReadStringField(b, end, pos, 16, L.serial, L.serialSize)) return truncated("serial number");
    if (pos >= end) return truncated("version entry count");
    const unsigned entries = b[pos++];
    for (unsigned i = 0; i < entries; ++i) {
        if (!ReadStringField(b, end, pos, 31, text, size)) return truncated("version entry name");
        if (!ReadStringField(b, end, pos, 21, text, size)) return truncated("version entry value");
    }
    if (version == 2) {
        if (!Skip(end, pos, 6 + 4 + 1)) return truncated("clock, usage time and id");
    } else {
        if (pos >= end) return truncated("typed entry count");
        const unsigned typed = b[pos++];
        for (unsigned i = 0; i < typed; ++i) {
            if (pos >= end) return truncated("typed entry");
            const std::uint8_t type = b[pos++];
            if (!ReadStringField(b, end, pos, 31, text, size)) return truncated("typed entry name");
            const std::size_t valueSize = type == 1 ? 1 : type == 4 ? 4 : type == 6 ? 6 : 0;
            if (!Skip(end, pos, valueSize)) return truncated("typed entry value");
        }
    }
    if (pos >= end) return truncated("system log format version");
    const std::uint8_t format = b[pos];
    if (format != 2 && format != 3) {
        error = "unknown system log format version " + std::to_string(format) + " at " + Hex(pos);
        return false;
    }
    ++pos;
    L.groupsPos = pos;
    for (int g = 0; g < 4; ++g) {
        if (!Skip(end, pos, 2)) return truncated("group record count");
        const std::size_t count = b[pos - 2] | (static_cast<std::size_t>(b[pos - 1]) << 8);
        if (!Skip(end, pos, count * 10)) return truncated("group records");
        L.recordCount += count;
    }
    L.groupsEnd = pos;
    return true;
}

bool ClearLogGroups(Bytes& image, std::string& error) {
    LogLayout L;
    if (!LocateLogLayout(image, L, error)) return false;
    Bytes out(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(L.groupsPos));
    out.insert(out.end(), 8, 0);
    out.insert(out.end(), image.begin() + static_cast<std::ptrdiff_t>(L.groupsEnd), image.end());
    StampCheckValue(out);
    image.swap(out);
    return true;
}

bool RewriteLogIdentity(Bytes& image, std::string_view model, std::string_view serial, std::string& error) {
    if (model.size() > kMaxIdentityLength || serial.size() > kMaxIdentityLength) {
        error = "model name or serial number longer than 15 bytes";
        return false;
    }
    LogLayout L;
    if (!LocateLogLayout(image, L, error)) return false;
    Bytes out(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(L.modelPos));
    out.insert(out.end(), model.begin(), model.end());
    out.push_back(0);
    out.insert(out.end(), serial.begin(), serial.end());
    out.push_back(0);
    out.insert(out.end(), image.begin() + static_cast<std::ptrdiff_t>(L.serialPos + L.serialSize), image.end());
    if (out.size() > kMaxImageSize) {
        error = "log image would exceed 65535 bytes";
        return false;
    }
    StampCheckValue(out);
    image.swap(out);
    return true;
}

Bytes BuildDefaultLog(const Display& d) {
    // A display with abnormal events in all three abnormal groups, carrying
    // this display's identity, clock, usage time and ID.
    logimage::LogDescription desc = logimage::AbnormalDisplay();
    desc.model = d.model.substr(0, kMaxIdentityLength);
    desc.serial = d.serial.substr(0, kMaxIdentityLength);
    const std::string clock = SecondsToDigits12(d.ClockNow());
    auto two = [&](int i) { return static_cast<std::uint8_t>((clock[2 * i] - '0') * 10 + clock[2 * i + 1] - '0'); };
    desc.clock = logimage::DisplayClock{two(0), two(1), two(2), two(3), two(4), two(5)};
    desc.usageTime = d.usageHours;
    desc.displayId = static_cast<std::uint8_t>(d.id);
    return logimage::BuildLog(desc);
}

}  // namespace dsim
