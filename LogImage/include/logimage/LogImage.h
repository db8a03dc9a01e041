#pragma once
// Builds a display's log data block from a description: the header (file
// version 2 or 5), the four system log groups, the temperature section (format
// version 4 or 5) and the trailing check value; and finds the parts of a block
// that exists. The layout is common/loglayout.h.
//
// String fields: a text shorter than its field is written with its zero
// terminator; a text of the field's size or longer fills the whole field with
// its first bytes and no terminator (the decoder then reads it as empty).
//
// Used by the tests, by the sample log generator and by the display simulator.
// Depends only on common. Pure functions: safe from any thread.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "common/crc16.h"
#include "common/loglayout.h"

namespace logimage {

using Bytes = std::vector<std::uint8_t>;

using cmn::loglayout::kEntryNameField;
using cmn::loglayout::kEntryValueField;
using cmn::loglayout::kMaxLogSize;
using cmn::loglayout::kModelField;
using cmn::loglayout::kSerialField;

// The check value of a block (see common/crc16.h).
using cmn::Crc16;
// Rewrites the last two bytes of a block with the CRC of the bytes before them.
// Blocks shorter than 2 bytes are left unchanged.
void SetCheckValue(Bytes& block);

// Display clock: year - 2000, month, day, hour, minute, second; one byte each.
struct DisplayClock {
    std::uint8_t year = 25, month = 1, day = 1, hour = 0, minute = 0, second = 0;
    Bytes ToBytes() const { return {year, month, day, hour, minute, second}; }
};

struct VersionEntry {
    std::string name;
    std::string value;
};

// A typed entry of a version 5 header.
struct TypedEntry {
    std::uint8_t type = 0;
    std::string name;
    Bytes value;  // written as is after the name

    static TypedEntry Id(std::string name, std::uint8_t id);              // type 1
    static TypedEntry UsageTime(std::string name, std::int32_t hours);    // type 4
    static TypedEntry Clock(std::string name, const DisplayClock& clock); // type 6
    static TypedEntry Other(std::uint8_t type, std::string name);         // no value
};

// Record kinds.
enum RecordKind : std::uint8_t {
    kOperation = 1,
    kSignal = 2,
    kPower = 3,
    kAbnormal = 4,
    kDevInfo = 5,
};

// One system log record: a kind byte and a 9-byte body whose first four bytes
// are the lap time (display seconds).
struct Record {
    std::uint8_t kind = 0;
    std::array<std::uint8_t, cmn::loglayout::kRecordBodySize> body{};

    std::uint32_t LapTime() const;

    static Record Operation(std::uint32_t lap, unsigned input, unsigned type, std::uint16_t code,
                            std::uint8_t param1, std::uint8_t param2);
    // width 14 bits, height 12 bits, status 2 bits.
    static Record Signal(std::uint32_t lap, unsigned input, unsigned status, unsigned width, unsigned height,
                         std::uint8_t rate);
    static Record Power(std::uint32_t lap, std::uint8_t reason);
    // highNibble fills the undecoded upper half of the input byte.
    static Record Abnormal(std::uint32_t lap, unsigned input, std::uint8_t code, std::uint16_t param1,
                           std::uint8_t param2, unsigned highNibble = 0);
    // type 2 bits, id 6 bits.
    static Record DevInfo(std::uint32_t lap, unsigned type, unsigned id, std::uint16_t param1,
                          std::uint16_t param2);
    // Any kind with a body given byte by byte.
    static Record Raw(std::uint8_t kind,
                      const std::array<std::uint8_t, cmn::loglayout::kRecordBodySize>& body);
};

// ---- Temperature section ------------------------------------------------

// Per-sensor lists shorter than the sensor count are padded with zeros; longer
// ones are cut to it.

// An event slot of a version 4 history. The long form (bright down, high
// temperature) writes every field and (temperature, maximum) per sensor; the
// short form (power off) writes time, hour, minute and the first temperature.
struct TempSlotV4 {
    std::uint32_t time = 0;
    std::uint32_t hour = 0;
    std::uint8_t minute = 0;
    std::uint32_t durationHour = 0;
    std::uint8_t durationMinute = 0;
    std::vector<std::pair<std::int8_t, std::int8_t>> temps;
};

struct TempSectionV4 {
    std::uint8_t version = cmn::loglayout::kTempFormat4;  // other values only for tests of the version check
    std::uint8_t sensorCount = 0;
    std::uint8_t fanCount = 0;
    std::uint8_t fanType = 0;
    std::vector<std::int8_t> current;
    std::uint8_t direction = 0;
    std::uint8_t brightCtrlEnable = 0;
    std::uint8_t brightAtHighTemp = 0;
    std::vector<std::pair<std::int8_t, std::int8_t>> brightThreshold;    // (start, stop)
    std::vector<std::pair<std::int8_t, std::int8_t>> highTempThreshold;  // (start, stop)
    std::vector<std::int8_t> powerOffThreshold;
    std::vector<std::int8_t> minTemp;
    std::vector<std::int8_t> maxTemp;
    std::uint32_t brightDownTotal = 0;
    std::uint32_t highTempTotal = 0;
    std::uint32_t lowTempTotal = 0;
    std::uint16_t lowTempCount = 0;
    std::uint16_t brightDownCount = 0;
    std::array<TempSlotV4, 5> brightDown{};
    std::uint16_t highTempCount = 0;
    std::array<TempSlotV4, 5> highTemp{};
    std::uint16_t powerOffCount = 0;
    std::array<TempSlotV4, 5> powerOff{};
};

struct TempEventV5 {
    std::uint32_t time = 0;
    std::uint32_t hour = 0;
    std::vector<std::int8_t> temps;
};

struct TempSectionV5 {
    std::uint8_t version = cmn::loglayout::kTempFormat5;
    std::uint8_t sensorCount = 0;
    std::vector<std::int8_t> current;
    std::uint8_t direction = 0;
    std::vector<std::int8_t> brightThreshold;  // -128: sensor unused
    std::vector<std::int8_t> powerOffThreshold;
    TempEventV5 brightDown;
    TempEventV5 powerOff;
};

// Section sizes: 212 + 33 N (version 4), 19 + 5 N (version 5).
std::size_t TempSizeV4(unsigned sensors);
std::size_t TempSizeV5(unsigned sensors);
Bytes BuildTempV4(const TempSectionV4& t);
Bytes BuildTempV5(const TempSectionV5& t);

// ---- Whole block --------------------------------------------------------

struct LogDescription {
    std::uint8_t fileVersion = cmn::loglayout::kFileVersion2;
    std::string model = "QM-X001";
    std::string serial = "00000001";
    std::vector<VersionEntry> versions;
    // File version 2 only.
    DisplayClock clock;
    std::int32_t usageTime = 0;
    std::uint8_t displayId = 0;
    // File version 5 only.
    std::vector<TypedEntry> typed;

    std::uint8_t syslogFormat = cmn::loglayout::kSyslogFormat3;
    std::array<std::vector<Record>, cmn::loglayout::kGroupCount> groups;  // group 0 (running log) .. 3

    // The temperature section as written (its first byte is its format version).
    Bytes temperature = BuildTempV4(TempSectionV4{});
    // Appends the 2-byte check value (CRC of everything before it).
    bool appendCheck = true;
};

// Where the parts of a block lie, and its identity as the decoder reads it.
struct LogLayout {
    std::size_t serialOffset = 0;      // the model name field ends here
    std::size_t entryCountOffset = 0;  // the serial number field ends here
    std::size_t syslogFormatOffset = 0;
    std::array<std::size_t, cmn::loglayout::kGroupCount> groupOffsets{};  // offset of each record count
    std::size_t temperatureOffset = 0;                                    // the groups end here
    std::size_t checkOffset = 0;  // == size when there is no check value
    std::size_t size = 0;
    std::size_t recordCount = 0;  // of all four groups
    std::string model, serial;    // empty when the field has no terminator

    bool operator==(const LogLayout&) const = default;
};

Bytes BuildLog(const LogDescription& d, LogLayout* layout = nullptr);
// The size BuildLog would produce.
std::size_t LogSize(const LogDescription& d);

// Walks the header and the four groups of a block that ends with its check
// value. False, with a message naming what and where, when a field runs past
// the bytes before the check value or a file or system log format version is
// unknown; the temperature section is not looked into.
bool LocateLog(const Bytes& block, LogLayout& layout, std::string& error);

// ---- Ready-made logs ----------------------------------------------------

// A display that ran normally for some weeks: operations, signal changes and
// power-offs in group 0, no abnormal groups. File version 2, temperature v4 (N = 3).
LogDescription HealthyDisplay();
// Abnormal events in all three abnormal groups (20 records around each), with
// developer information records; file version 2, temperature v4 (N = 4).
LogDescription AbnormalDisplay();
// A version 5 header (typed entries of types 1, 4, 6 and an unknown one);
// temperature v4 (N = 2).
LogDescription Version5Header();
// A version 5 header with a version 5 temperature section (N = 4, one unused sensor).
LogDescription Version5Temperature();
// A log of exactly `size` bytes (when it is at least the size of the abnormal
// log), filled with group 0 records; 65,535 gives about 6,500 records.
LogDescription LargeLog(std::size_t size = kMaxLogSize);

struct NamedLog {
    std::string fileName;
    Bytes data;
};
// Every sample log with its file name ("healthy.dat", ...).
std::vector<NamedLog> SampleLogs();
// The logs of a sample fleet of a dozen displays in varied states, as a
// fleet run with --stamp leaves them: "HOST/MODEL_SERIAL_YYYYmmdd-HHMMSS.dat".
// One display has two logs, one log is damaged, and two hosts (10.20.0.21,
// 10.20.0.22) were not reached on the evening of the collection (the second
// keeps an earlier log).
std::vector<NamedLog> SampleFleetLogs();

}  // namespace logimage
