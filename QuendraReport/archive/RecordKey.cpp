#include "archive/RecordKey.h"

#include <type_traits>
#include <unordered_map>

namespace hist {

namespace {

constexpr int kKindShift = 40;

std::int64_t Bits(std::uint64_t value, unsigned width, unsigned shift) {
    return static_cast<std::int64_t>((value & ((1ull << width) - 1)) << shift);
}

unsigned Take(std::int64_t fields, unsigned width, unsigned shift) {
    return static_cast<unsigned>((static_cast<std::uint64_t>(fields) >> shift) & ((1ull << width) - 1));
}

std::int64_t Pack(std::monostate) { return 0; }

std::int64_t Pack(const stOperationLog& b) {
    return Bits(b.nInput, 4, 0) | Bits(b.nType, 4, 4) | Bits(b.wCode, 16, 8) | Bits(b.nParam1, 8, 24) |
           Bits(b.nParam2, 8, 32);
}

std::int64_t Pack(const stSignalLog& b) {
    return Bits(b.nInput, 4, 0) | Bits(b.nStatus, 2, 4) | Bits(b.wWidth, 14, 6) | Bits(b.wHeight, 12, 20) |
           Bits(b.nRate, 8, 32);
}

std::int64_t Pack(const stPowerLog& b) { return Bits(b.nReason, 8, 0); }

std::int64_t Pack(const stAbnormalLog& b) {
    return Bits(b.nInput, 4, 0) | Bits(b.nCode, 8, 4) | Bits(b.wParam1, 16, 12) | Bits(b.nParam2, 8, 28);
}

std::int64_t Pack(const stDevInfoLog& b) {
    return Bits(b.nType, 2, 0) | Bits(b.nId, 6, 2) | Bits(b.wParam1, 16, 8) | Bits(b.wParam2, 16, 24);
}

template <typename T>
T Narrow(unsigned v) {
    return static_cast<T>(v);
}

}  // namespace

Section SectionOfGroup(int group) { return group == 0 ? kRunningLog : kAbnormalGroups; }

std::size_t RecordKeyHash::operator()(const stRecordKey& k) const {
    std::uint64_t h = static_cast<std::uint64_t>(k.nFields) * 0x9E3779B97F4A7C15ull;
    h ^= (static_cast<std::uint64_t>(k.dwLap) << 3) ^ static_cast<std::uint64_t>(k.nSection);
    h ^= static_cast<std::uint64_t>(k.nOccurrence) << 35;
    return static_cast<std::size_t>(h ^ (h >> 29));
}

std::int64_t PackFields(const stLogRecord& record) {
    const std::int64_t body = std::visit([](const auto& b) { return Pack(b); }, record.body);
    return (static_cast<std::int64_t>(record.nKind) << kKindShift) | body;
}

int KindOfFields(std::int64_t fields) { return static_cast<int>(Take(fields, 8, kKindShift)); }

std::int64_t FirstFieldsOfKind(int kind) { return static_cast<std::int64_t>(kind & 0xFF) << kKindShift; }

stLogRecord UnpackRecord(std::uint32_t lap, std::int64_t f, int group) {
    stLogRecord r;
    r.nKind = static_cast<std::uint8_t>(KindOfFields(f));
    r.nGroup = static_cast<std::uint8_t>(group);
    r.dwLapTime = lap;
    switch (r.nKind) {
    case LOG_KIND_OPERATION:
        r.body = stOperationLog{Narrow<std::uint8_t>(Take(f, 4, 0)), Narrow<std::uint8_t>(Take(f, 4, 4)),
                                Narrow<std::uint16_t>(Take(f, 16, 8)), Narrow<std::uint8_t>(Take(f, 8, 24)),
                                Narrow<std::uint8_t>(Take(f, 8, 32))};
        break;
    case LOG_KIND_SIGNAL:
        r.body = stSignalLog{Narrow<std::uint8_t>(Take(f, 4, 0)), Narrow<std::uint8_t>(Take(f, 2, 4)),
                             Narrow<std::uint16_t>(Take(f, 14, 6)), Narrow<std::uint16_t>(Take(f, 12, 20)),
                             Narrow<std::uint8_t>(Take(f, 8, 32))};
        break;
    case LOG_KIND_POWER: r.body = stPowerLog{Narrow<std::uint8_t>(Take(f, 8, 0))}; break;
    case LOG_KIND_ABNORMAL:
        r.body = stAbnormalLog{Narrow<std::uint8_t>(Take(f, 4, 0)), Narrow<std::uint8_t>(Take(f, 8, 4)),
                               Narrow<std::uint16_t>(Take(f, 16, 12)), Narrow<std::uint8_t>(Take(f, 8, 28))};
        break;
    case LOG_KIND_DEVINFO:
        r.body = stDevInfoLog{Narrow<std::uint8_t>(Take(f, 2, 0)), Narrow<std::uint8_t>(Take(f, 6, 2)),
                              Narrow<std::uint16_t>(Take(f, 16, 8)), Narrow<std::uint16_t>(Take(f, 16, 24))};
        break;
    default:
        // Unknown kinds keep only their kind, as the decoder leaves them.
        r.dwLapTime = 0;
        break;
    }
    return r;
}

std::vector<stRecordKey> RecordKeys(const std::vector<stLogRecord>& records) {
    std::vector<stRecordKey> keys;
    keys.reserve(records.size());
    // How many identical records came before, per identity without occurrence.
    std::unordered_map<stRecordKey, int, RecordKeyHash> seen;
    seen.reserve(records.size());
    for (const stLogRecord& r : records) {
        stRecordKey k;
        k.nSection = SectionOfGroup(r.nGroup);
        k.dwLap = r.dwLapTime;
        k.nFields = PackFields(r);
        k.nOccurrence = seen[k]++;
        keys.push_back(k);
    }
    return keys;
}

}  // namespace hist
