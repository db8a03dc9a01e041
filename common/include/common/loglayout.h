#pragma once
// The layout of a display's log data block: the offsets, field sizes,
// versions and counts that the report program's decoder, the log image
// builder and the simulated display read and write. Changing the layout
// starts here.
//
//   file version (1) | model (zero-terminated, field of 16) | serial (16)
//   | version entry count (1) | entries: name (31), value (21)
//   | file version 2: clock (6) usage time (4, signed) display id (1)
//   | file version 5: typed entry count (1) | entries: type (1), name (31), value by type
//   | system log format version (1) | 4 x { record count (2), records: kind (1), body (9) }
//   | temperature section (its first byte is its format version)
//   | check value: CRC-16 of every byte before it (2, common/crc16.h)
//
// Integers are little-endian. A text field ends at its first zero byte; a
// field without one within its size holds no text and takes the whole size.
// Constants only: safe from any thread.

#include <cstddef>
#include <cstdint>

namespace cmn::loglayout {

inline constexpr std::uint8_t kFileVersion2 = 2;
inline constexpr std::uint8_t kFileVersion5 = 5;
constexpr bool IsFileVersion(unsigned v) {
    return v == kFileVersion2 || v == kFileVersion5;
}

// Text fields, terminator included.
inline constexpr std::size_t kModelOffset = 1;
inline constexpr std::size_t kModelField = 16;
inline constexpr std::size_t kSerialField = 16;
inline constexpr std::size_t kEntryNameField = 31;
inline constexpr std::size_t kEntryValueField = 21;

// The fixed entries of file version 2, in this order.
inline constexpr std::size_t kClockSize = 6;  // year - 2000, month, day, hour, minute, second
inline constexpr std::size_t kUsageTimeSize = 4;
inline constexpr std::size_t kDisplayIdSize = 1;

// Typed entries of file version 5: the type says what the value is; any
// other type has no value bytes.
enum TypedEntryType : std::uint8_t { kTypeDisplayId = 1, kTypeUsageTime = 4, kTypeClock = 6 };
constexpr std::size_t TypedValueSize(unsigned type) {
    switch (type) {
        case kTypeDisplayId:
            return kDisplayIdSize;
        case kTypeUsageTime:
            return kUsageTimeSize;
        case kTypeClock:
            return kClockSize;
        default:
            return 0;
    }
}

inline constexpr std::uint8_t kSyslogFormat2 = 2;
inline constexpr std::uint8_t kSyslogFormat3 = 3;
constexpr bool IsSyslogFormat(unsigned v) {
    return v == kSyslogFormat2 || v == kSyslogFormat3;
}

// Group 0 is the running log, groups 1..3 the records around one abnormal
// record each (1 the newest).
inline constexpr std::size_t kGroupCount = 4;
inline constexpr std::size_t kRecordCountSize = 2;
// A record: its kind byte and a body that starts with the 4-byte lap time.
inline constexpr std::size_t kRecordBodySize = 9;
inline constexpr std::size_t kRecordSize = 1 + kRecordBodySize;
inline constexpr std::size_t kLapTimeSize = 4;

// The temperature section's format versions (its first byte).
inline constexpr std::uint8_t kTempFormat4 = 4;
inline constexpr std::uint8_t kTempFormat5 = 5;

inline constexpr std::size_t kCheckValueSize = 2;
// The largest block a display holds (its size travels in two bytes).
inline constexpr std::size_t kMaxLogSize = 65535;

}  // namespace cmn::loglayout
