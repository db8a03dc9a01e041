#include "logimage/LogImage.h"

#include <algorithm>

namespace logimage {

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

std::array<std::uint8_t, 9> LapBody(std::uint32_t lap) {
    std::array<std::uint8_t, 9> b{};
    for (int i = 0; i < 4; ++i) b[i] = static_cast<std::uint8_t>(lap >> (8 * i));
    return b;
}

}  // namespace

void SetCheckValue(Bytes& block) {
    if (block.size() < 2) return;
    const std::uint16_t crc = Crc16(block.data(), block.size() - 2);
    block[block.size() - 2] = static_cast<std::uint8_t>(crc & 0xFF);
    block[block.size() - 1] = static_cast<std::uint8_t>(crc >> 8);
}

TypedEntry TypedEntry::Id(std::string name, std::uint8_t id) { return {1, std::move(name), {id}}; }

TypedEntry TypedEntry::UsageTime(std::string name, std::int32_t hours) {
    Bytes v;
    Put32(v, static_cast<std::uint32_t>(hours));
    return {4, std::move(name), v};
}

TypedEntry TypedEntry::Clock(std::string name, const DisplayClock& clock) {
    return {6, std::move(name), clock.ToBytes()};
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

Record Record::Raw(std::uint8_t kind, const std::array<std::uint8_t, 9>& body) { return {kind, body}; }

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
    l.serialOffset = out.size();
    PutString(out, d.serial, kSerialField);
    l.entryCountOffset = out.size();
    out.push_back(static_cast<std::uint8_t>(d.versions.size()));
    for (const auto& e : d.versions) {
        PutString(out, e.name, kEntryNameField);
        PutString(out, e.value, kEntryValueField);
    }
    if (d.fileVersion == 5) {
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
    for (std::size_t g = 0; g < 4; ++g) {
        l.groupOffsets[g] = out.size();
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
    if (d.fileVersion == 5) {
        size += 1;
        for (const auto& e : d.typed) size += 1 + StringSize(e.name, kEntryNameField) + e.value.size();
    } else {
        size += 6 + 4 + 1;
    }
    size += 1;
    for (const auto& g : d.groups) size += 2 + 10 * g.size();
    size += d.temperature.size();
    if (d.appendCheck) size += 2;
    return size;
}

}  // namespace logimage
