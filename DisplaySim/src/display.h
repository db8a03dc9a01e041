#pragma once
// The simulated displays: everything one display remembers, and the chain of
// displays that one simulator serves (ID 0 is the display wired to the PC,
// IDs 1..N sit behind it in a daisy chain).

#include <array>
#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "common/loglayout.h"

namespace dsim {

using Bytes = std::vector<std::uint8_t>;

// Largest log or NVRAM image: its size travels in two bytes.
inline constexpr std::size_t kMaxImageSize = 65535;
// Longest serial number or model name: the log header keeps them in
// zero-terminated fields.
inline constexpr std::size_t kMaxIdentityLength = cmn::loglayout::kSerialField - 1;
static_assert(cmn::loglayout::kModelField == cmn::loglayout::kSerialField);

// One entry of a temperature event history (bright control, power off,
// temperature error). `start` and `max` are the texts the event queries answer.
struct EventEntry {
    std::string start;
    std::string max;
    std::uint32_t time = 0;  // display seconds since 2000-01-01 00:00:00, 0 = none
};

enum EventKind { kBrightEvents = 0, kPowerOffEvents = 1, kTempErrorEvents = 2, kEventKinds = 3 };
inline constexpr int kEventsPerKind = 5;

// White balance registers of the four command sets.
struct WhiteBalance {
    std::array<int, 6> level{}, red{}, green{}, blue{};                     // default set, rows 1..6
    std::array<int, 3> simRed{}, simGreen{}, simBlue{};                     // simple set, points 0..2
    std::array<int, 6> advLevel{}, advRed{}, advGreen{}, advBlue{}, advYellow{};  // advanced set
    std::array<int, 6> val{};                                               // VAL gains
    bool operator==(const WhiteBalance&) const = default;
};

// The factory values the reset commands restore.
WhiteBalance FactoryWhiteBalance();

// Command words of the temperature settings and temperature data queries, in
// the order the temperature dump asks for them.
const std::vector<std::string>& TemperatureSettingWords();
const std::vector<std::string>& TemperatureDataWords();

// The four queries of the one-value tool's usage time layout, in row order.
inline constexpr std::array<const char*, 4> kLastValueWords = {"LUDT", "LTDT", "LUOF", "LTOF"};

struct Display {
    int id = 0;
    std::string model;
    std::string serial;
    std::string series;
    Bytes log;
    Bytes nvram;

    bool logging = true;       // SRLG0001 / SRLG0000
    bool binary = false;       // in binary transfer mode
    bool maintenance = false;  // ESPC0001 / ESPC0000
    bool clearArmed = false;   // TRST0002 seen, ACLG0000 may follow
    std::uint64_t binarySince = 0;  // order in which displays entered binary mode
    int simplePoints = 1;      // 1 or 3 points in the simple white balance set

    WhiteBalance wb;
    int usageHours = 0;
    std::array<int, 3> currentTemp{};
    std::map<std::string, int> numbers;  // temperature settings and data by command word
    std::array<std::array<EventEntry, kEventsPerKind>, kEventKinds> events{};
    std::array<int, kEventKinds> eventCounts{};
    std::array<std::string, 4> lastValues;  // answers of kLastValueWords

    // Display clock: fields counted as seconds (calendar arithmetic in UTC, so
    // no time zone enters), valid at clockRef and running on from there.
    std::int64_t clockBase = 0;
    std::chrono::steady_clock::time_point clockRef{};

    std::int64_t ClockNow() const;
    void SetClock(std::int64_t fieldsSeconds);
};

// A display with the built-in defaults for the given ID: identity, temperature
// data, events, white balance, a log image and an NVRAM image of nvramSize bytes.
Display DefaultDisplay(int id, std::size_t nvramSize);

// The deterministic NVRAM pattern of a display.
Bytes NvramPattern(int id, std::size_t size);

// Calendar fields <-> seconds, with no time zone involved.
std::int64_t FieldsToSeconds(int year, int month, int day, int hour, int minute, int second);
// "%y%m%d%H%M%S" of the fields that secs stands for.
std::string SecondsToDigits12(std::int64_t secs);

struct Chain {
    std::vector<Display> displays;
    std::uint64_t binaryCounter = 0;

    Display* Find(int id);
    // The display that binary requests go to: the one in binary mode that
    // entered it last; null when none is in binary mode.
    Display* BinaryTarget();
    void EnterBinary(Display& d);
};

}  // namespace dsim
