#include "logimage/LogImage.h"

#include <algorithm>
#include <cstdio>

namespace logimage {

namespace L = cmn::loglayout;

namespace {

void Put16(Bytes& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void Put32(Bytes& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void PutString(Bytes& out, const std::string& s, std::size_t field) {
    if (s.size() < field) {
        out.insert(out.end(), s.begin(), s.end());
        out.push_back(0);
    } else {
        out.insert(out.end(), s.begin(), s.begin() + static_cast<std::ptrdiff_t>(field));
    }
}

std::size_t StringSize(const std::string& s, std::size_t field) { return std::min(s.size() + 1, field); }

// The text a decoder reads back from a field written by PutString.
std::string StringRead(const std::string& s, std::size_t field) {
    return s.size() < field ? s : std::string();
}

template <typename T>
T At(const std::vector<T>& v, std::size_t i) {
    return i < v.size() ? v[i] : T{};
}

void PutTemp(Bytes& out, std::int8_t t) { out.push_back(static_cast<std::uint8_t>(t)); }

void PutTemps(Bytes& out, const std::vector<std::int8_t>& v, unsigned n) {
    for (unsigned i = 0; i < n; ++i) PutTemp(out, At(v, i));
}

void PutPairs(Bytes& out, const std::vector<std::pair<std::int8_t, std::int8_t>>& v, unsigned n) {
    for (unsigned i = 0; i < n; ++i) {
        auto p = At(v, i);
        PutTemp(out, p.first);
        PutTemp(out, p.second);
    }
}

void PutLongSlot(Bytes& out, const TempSlotV4& s, unsigned n) {
    Put32(out, s.time);
    Put32(out, s.hour);
    out.push_back(s.minute);
    Put32(out, s.durationHour);
    out.push_back(s.durationMinute);
    PutPairs(out, s.temps, n);
}

void PutShortSlot(Bytes& out, const TempSlotV4& s, unsigned n) {
    Put32(out, s.time);
    Put32(out, s.hour);
    out.push_back(s.minute);
    for (unsigned i = 0; i < n; ++i) PutTemp(out, At(s.temps, i).first);
}

void PutEventV5(Bytes& out, const TempEventV5& e, unsigned n) {
    Put32(out, e.time);
    Put32(out, e.hour);
    PutTemps(out, e.temps, n);
}

std::array<std::uint8_t, L::kRecordBodySize> LapBody(std::uint32_t lap) {
    std::array<std::uint8_t, L::kRecordBodySize> b{};
    for (int i = 0; i < 4; ++i) b[i] = static_cast<std::uint8_t>(lap >> (8 * i));
    return b;
}

}  // namespace

void SetCheckValue(Bytes& block) {
    if (block.size() < L::kCheckValueSize) return;
    const std::uint16_t crc = Crc16(block.data(), block.size() - 2);
    block[block.size() - 2] = static_cast<std::uint8_t>(crc & 0xFF);
    block[block.size() - 1] = static_cast<std::uint8_t>(crc >> 8);
}

TypedEntry TypedEntry::Id(std::string name, std::uint8_t id) {
    return {L::kTypeDisplayId, std::move(name), {id}};
}

TypedEntry TypedEntry::UsageTime(std::string name, std::int32_t hours) {
    Bytes v;
    Put32(v, static_cast<std::uint32_t>(hours));
    return {L::kTypeUsageTime, std::move(name), v};
}

TypedEntry TypedEntry::Clock(std::string name, const DisplayClock& clock) {
    return {L::kTypeClock, std::move(name), clock.ToBytes()};
}

TypedEntry TypedEntry::Other(std::uint8_t type, std::string name) { return {type, std::move(name), {}}; }

std::uint32_t Record::LapTime() const {
    return static_cast<std::uint32_t>(body[0]) | (static_cast<std::uint32_t>(body[1]) << 8) |
           (static_cast<std::uint32_t>(body[2]) << 16) | (static_cast<std::uint32_t>(body[3]) << 24);
}

Record Record::Operation(std::uint32_t lap, unsigned input, unsigned type, std::uint16_t code,
                         std::uint8_t param1, std::uint8_t param2) {
    Record r{kOperation, LapBody(lap)};
    r.body[4] = static_cast<std::uint8_t>((input & 0x0F) | ((type & 0x0F) << 4));
    r.body[5] = static_cast<std::uint8_t>(code & 0xFF);
    r.body[6] = static_cast<std::uint8_t>(code >> 8);
    r.body[7] = param1;
    r.body[8] = param2;
    return r;
}

Record Record::Signal(std::uint32_t lap, unsigned input, unsigned status, unsigned width, unsigned height,
                      std::uint8_t rate) {
    Record r{kSignal, LapBody(lap)};
    r.body[4] = static_cast<std::uint8_t>((input & 0x0F) | ((height & 0x0F) << 4));
    r.body[5] = static_cast<std::uint8_t>((height >> 4) & 0xFF);
    r.body[6] = static_cast<std::uint8_t>(width & 0xFF);
    r.body[7] = static_cast<std::uint8_t>(((width >> 8) & 0x3F) | ((status & 0x03) << 6));
    r.body[8] = rate;
    return r;
}

Record Record::Power(std::uint32_t lap, std::uint8_t reason) {
    Record r{kPower, LapBody(lap)};
    r.body[4] = reason;
    return r;
}

Record Record::Abnormal(std::uint32_t lap, unsigned input, std::uint8_t code, std::uint16_t param1,
                        std::uint8_t param2, unsigned highNibble) {
    Record r{kAbnormal, LapBody(lap)};
    r.body[4] = static_cast<std::uint8_t>((input & 0x0F) | ((highNibble & 0x0F) << 4));
    r.body[5] = code;
    r.body[6] = static_cast<std::uint8_t>(param1 & 0xFF);
    r.body[7] = static_cast<std::uint8_t>(param1 >> 8);
    r.body[8] = param2;
    return r;
}

Record Record::DevInfo(std::uint32_t lap, unsigned type, unsigned id, std::uint16_t param1,
                       std::uint16_t param2) {
    Record r{kDevInfo, LapBody(lap)};
    r.body[4] = static_cast<std::uint8_t>((type & 0x03) | ((id & 0x3F) << 2));
    r.body[5] = static_cast<std::uint8_t>(param1 & 0xFF);
    r.body[6] = static_cast<std::uint8_t>(param1 >> 8);
    r.body[7] = static_cast<std::uint8_t>(param2 & 0xFF);
    r.body[8] = static_cast<std::uint8_t>(param2 >> 8);
    return r;
}

Record Record::Raw(std::uint8_t kind, const std::array<std::uint8_t, L::kRecordBodySize>& body) {
    return {kind, body};
}

std::size_t TempSizeV4(unsigned sensors) { return 212 + 33 * static_cast<std::size_t>(sensors); }
std::size_t TempSizeV5(unsigned sensors) { return 19 + 5 * static_cast<std::size_t>(sensors); }

Bytes BuildTempV4(const TempSectionV4& t) {
    const unsigned n = t.sensorCount;
    Bytes out;
    out.reserve(TempSizeV4(n));
    out.push_back(t.version);
    out.push_back(t.sensorCount);
    out.push_back(t.fanCount);
    out.push_back(t.fanType);
    PutTemps(out, t.current, n);
    out.push_back(t.direction);
    out.push_back(t.brightCtrlEnable);
    out.push_back(t.brightAtHighTemp);
    PutPairs(out, t.brightThreshold, n);
    PutPairs(out, t.highTempThreshold, n);
    PutTemps(out, t.powerOffThreshold, n);
    PutTemps(out, t.minTemp, n);
    PutTemps(out, t.maxTemp, n);
    Put32(out, t.brightDownTotal);
    Put32(out, t.highTempTotal);
    Put32(out, t.lowTempTotal);
    Put16(out, t.lowTempCount);
    Put16(out, t.brightDownCount);
    for (const auto& s : t.brightDown) PutLongSlot(out, s, n);
    Put16(out, t.highTempCount);
    for (const auto& s : t.highTemp) PutLongSlot(out, s, n);
    Put16(out, t.powerOffCount);
    for (const auto& s : t.powerOff) PutShortSlot(out, s, n);
    return out;
}

Bytes BuildTempV5(const TempSectionV5& t) {
    const unsigned n = t.sensorCount;
    Bytes out;
    out.reserve(TempSizeV5(n));
    out.push_back(t.version);
    out.push_back(t.sensorCount);
    PutTemps(out, t.current, n);
    out.push_back(t.direction);
    PutTemps(out, t.brightThreshold, n);
    PutTemps(out, t.powerOffThreshold, n);
    PutEventV5(out, t.brightDown, n);
    PutEventV5(out, t.powerOff, n);
    return out;
}

Bytes BuildLog(const LogDescription& d, LogLayout* layout) {
    Bytes out;
    out.reserve(LogSize(d));
    LogLayout l;
    out.push_back(d.fileVersion);
    PutString(out, d.model, kModelField);
    l.model = StringRead(d.model, kModelField);
    l.serialOffset = out.size();
    PutString(out, d.serial, kSerialField);
    l.serial = StringRead(d.serial, kSerialField);
    l.entryCountOffset = out.size();
    out.push_back(static_cast<std::uint8_t>(d.versions.size()));
    for (const auto& e : d.versions) {
        PutString(out, e.name, kEntryNameField);
        PutString(out, e.value, kEntryValueField);
    }
    if (d.fileVersion == L::kFileVersion5) {
        out.push_back(static_cast<std::uint8_t>(d.typed.size()));
        for (const auto& e : d.typed) {
            out.push_back(e.type);
            PutString(out, e.name, kEntryNameField);
            out.insert(out.end(), e.value.begin(), e.value.end());
        }
    } else {
        const Bytes clock = d.clock.ToBytes();
        out.insert(out.end(), clock.begin(), clock.end());
        Put32(out, static_cast<std::uint32_t>(d.usageTime));
        out.push_back(d.displayId);
    }
    l.syslogFormatOffset = out.size();
    out.push_back(d.syslogFormat);
    for (std::size_t g = 0; g < L::kGroupCount; ++g) {
        l.groupOffsets[g] = out.size();
        l.recordCount += d.groups[g].size();
        Put16(out, static_cast<std::uint16_t>(d.groups[g].size()));
        for (const auto& r : d.groups[g]) {
            out.push_back(r.kind);
            out.insert(out.end(), r.body.begin(), r.body.end());
        }
    }
    l.temperatureOffset = out.size();
    out.insert(out.end(), d.temperature.begin(), d.temperature.end());
    l.checkOffset = out.size();
    if (d.appendCheck) {
        const std::uint16_t crc = Crc16(out.data(), out.size());
        Put16(out, crc);
    }
    l.size = out.size();
    if (layout) *layout = l;
    return out;
}

std::size_t LogSize(const LogDescription& d) {
    std::size_t size = 1 + StringSize(d.model, kModelField) + StringSize(d.serial, kSerialField) + 1;
    for (const auto& e : d.versions)
        size += StringSize(e.name, kEntryNameField) + StringSize(e.value, kEntryValueField);
    if (d.fileVersion == L::kFileVersion5) {
        size += 1;
        for (const auto& e : d.typed) size += 1 + StringSize(e.name, kEntryNameField) + e.value.size();
    } else {
        size += L::kClockSize + L::kUsageTimeSize + L::kDisplayIdSize;
    }
    size += 1;
    for (const auto& g : d.groups) size += L::kRecordCountSize + L::kRecordSize * g.size();
    size += d.temperature.size();
    if (d.appendCheck) size += L::kCheckValueSize;
    return size;
}

namespace {

std::string Hex(std::size_t v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "0x%zX", v);
    return buf;
}

// Reads a block's fields in order, never past `end`; the first field that
// does not fit sets the message and fails every later read.
class Walker {
public:
    Walker(const Bytes& block, std::size_t end) : m_block(block), m_end(end) {}

    std::size_t Pos() const { return m_pos; }
    const std::string& Error() const { return m_error; }

    bool Byte(const char* what, std::uint8_t& out) {
        if (!Fits(1, what)) return false;
        out = m_block[m_pos++];
        return true;
    }
    bool Le16(const char* what, std::size_t& out) {
        if (!Fits(2, what)) return false;
        out = m_block[m_pos] | (static_cast<std::size_t>(m_block[m_pos + 1]) << 8);
        m_pos += 2;
        return true;
    }
    bool Skip(const char* what, std::size_t n) {
        if (!Fits(n, what)) return false;
        m_pos += n;
        return true;
    }
    // A text field of at most `field` bytes; one without a terminator holds no text.
    bool Text(const char* what, std::size_t field, std::string& out) {
        out.clear();
        for (std::size_t i = 0; i < field; ++i) {
            if (!Fits(i + 1, what)) return false;
            if (m_block[m_pos + i] == 0) {
                out.assign(reinterpret_cast<const char*>(&m_block[m_pos]), i);
                m_pos += i + 1;
                return true;
            }
        }
        m_pos += field;
        return true;
    }
    bool Fail(const std::string& message) {
        if (m_error.empty()) m_error = message;
        return false;
    }

private:
    bool Fits(std::size_t n, const char* what) {
        if (m_error.empty() && n <= m_end - m_pos) return true;
        return Fail(std::string("log image ends inside the ") + what + " at " + Hex(m_pos));
    }
    const Bytes& m_block;
    std::size_t m_end;
    std::size_t m_pos = 0;
    std::string m_error;
};

bool WalkHeader(Walker& w, LogLayout& l) {
    std::uint8_t version = 0, count = 0, type = 0;
    std::string text;
    if (!w.Byte("file version", version)) return false;
    if (!L::IsFileVersion(version)) return w.Fail("unknown log file version " + std::to_string(version));
    if (!w.Text("model name", kModelField, l.model)) return false;
    l.serialOffset = w.Pos();
    if (!w.Text("serial number", kSerialField, l.serial)) return false;
    l.entryCountOffset = w.Pos();
    if (!w.Byte("version entry count", count)) return false;
    for (unsigned i = 0; i < count; ++i)
        if (!w.Text("version entry name", kEntryNameField, text) ||
            !w.Text("version entry value", kEntryValueField, text))
            return false;
    if (version == L::kFileVersion2)
        return w.Skip("clock, usage time and id", L::kClockSize + L::kUsageTimeSize + L::kDisplayIdSize);
    if (!w.Byte("typed entry count", count)) return false;
    for (unsigned i = 0; i < count; ++i)
        if (!w.Byte("typed entry", type) || !w.Text("typed entry name", kEntryNameField, text) ||
            !w.Skip("typed entry value", L::TypedValueSize(type)))
            return false;
    return true;
}

bool WalkGroups(Walker& w, LogLayout& l) {
    l.syslogFormatOffset = w.Pos();
    std::uint8_t format = 0;
    if (!w.Byte("system log format version", format)) return false;
    if (!L::IsSyslogFormat(format))
        return w.Fail("unknown system log format version " + std::to_string(format) + " at " +
                      Hex(l.syslogFormatOffset));
    for (std::size_t g = 0; g < L::kGroupCount; ++g) {
        l.groupOffsets[g] = w.Pos();
        std::size_t count = 0;
        if (!w.Le16("group record count", count) || !w.Skip("group records", count * L::kRecordSize))
            return false;
        l.recordCount += count;
    }
    l.temperatureOffset = w.Pos();
    return true;
}

}  // namespace

bool LocateLog(const Bytes& block, LogLayout& layout, std::string& error) {
    layout = LogLayout{};
    if (block.size() <= L::kCheckValueSize) {
        error = "log image shorter than 3 bytes";
        return false;
    }
    const std::size_t checkOffset = block.size() - L::kCheckValueSize;
    Walker w(block, checkOffset);
    LogLayout l;
    if (!WalkHeader(w, l) || !WalkGroups(w, l)) {
        error = w.Error();
        return false;
    }
    l.checkOffset = checkOffset;
    l.size = block.size();
    layout = std::move(l);
    return true;
}

}  // namespace logimage
