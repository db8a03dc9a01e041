// Ready-made logs that look like what real displays hold.
#include "logimage/LogImage.h"

namespace logimage {

namespace {

// 2025-03-01 00:00:00 in display seconds (days from 2000-01-01 times 86400).
constexpr std::uint32_t kBase = 9191u * 86400u;
constexpr std::uint32_t kHour = 3600;
constexpr std::uint32_t kDay = 86400;

// Operation types: 1 remote control, 2 control command, 3 DDC, 4 key.
std::vector<Record> OneDay(std::uint32_t day0, unsigned input) {
    std::vector<Record> r;
    std::uint32_t t = day0 + 7 * kHour + 58 * 60;
    r.push_back(Record::Operation(t, input, 1, 0x0001, 0, 0));             // power on by remote control
    r.push_back(Record::Signal(t + 4, input, 1, 1920, 1080, 60));          // signal found
    r.push_back(Record::Operation(t + 300, input, 2, 0x0101, 45, 0));      // brightness by command
    r.push_back(Record::Operation(t + 301, input, 4, 0x0020, 1, 0));       // key: input select
    r.push_back(Record::Signal(t + 303, (input + 1) % 4, 1, 3840, 2160, 30));
    r.push_back(Record::Operation(t + 3 * kHour, (input + 1) % 4, 3, 0x0010, 50, 50));  // DDC
    r.push_back(Record::Signal(t + 12 * kHour, (input + 1) % 4, 2, 0, 0, 0));  // signal lost
    r.push_back(Record::Power(t + 12 * kHour + 60, 2));                      // power-off by timer
    return r;
}

TempSectionV4 TempV4(unsigned sensors, bool events) {
    TempSectionV4 t;
    t.sensorCount = static_cast<std::uint8_t>(sensors);
    t.fanCount = 2;
    t.fanType = 1;
    t.direction = 1;
    t.brightCtrlEnable = 1;
    t.brightAtHighTemp = 50;
    for (unsigned i = 0; i < sensors; ++i) {
        t.current.push_back(static_cast<std::int8_t>(31 + 2 * i));
        t.brightThreshold.push_back({60, 55});
        t.highTempThreshold.push_back({70, 65});
        t.powerOffThreshold.push_back(80);
        t.minTemp.push_back(static_cast<std::int8_t>(-5 + static_cast<int>(i)));
        t.maxTemp.push_back(static_cast<std::int8_t>(58 + static_cast<int>(i)));
    }
    t.lowTempTotal = 12;
    t.lowTempCount = 1;
    if (events) {
        t.brightDownTotal = 37;
        t.highTempTotal = 4;
        t.brightDownCount = 7;  // more than the five slots kept
        t.highTempCount = 2;
        t.powerOffCount = 1;
        for (unsigned s = 0; s < 5; ++s) {
            auto& b = t.brightDown[s];
            b.time = kBase + 10 * kDay + s * kDay + 14 * kHour;
            b.hour = 5400 + 24 * s;
            b.minute = static_cast<std::uint8_t>(10 + s);
            b.durationHour = 1 + s;
            b.durationMinute = static_cast<std::uint8_t>(5 * s);
            for (unsigned i = 0; i < sensors; ++i)
                b.temps.push_back({static_cast<std::int8_t>(60 + i), static_cast<std::int8_t>(63 + i + s)});
        }
        for (unsigned s = 0; s < 2; ++s) {
            auto& h = t.highTemp[s];
            h.time = kBase + 12 * kDay + s * kDay + 15 * kHour;
            h.hour = 5450 + 24 * s;
            h.minute = 30;
            h.durationHour = 2;
            h.durationMinute = 15;
            for (unsigned i = 0; i < sensors; ++i)
                h.temps.push_back({static_cast<std::int8_t>(70 + i), static_cast<std::int8_t>(74 + i)});
        }
        auto& p = t.powerOff[0];
        p.time = kBase + 13 * kDay + 16 * kHour;
        p.hour = 5475;
        p.minute = 42;
        for (unsigned i = 0; i < sensors; ++i) p.temps.push_back({static_cast<std::int8_t>(81 + i), 0});
    }
    return t;
}

void CommonHeader(LogDescription& d, const char* model, const char* serial) {
    d.model = model;
    d.serial = serial;
    d.versions = {{"Main Firmware", "2.013"}, {"Sub Firmware", "1.004"}, {"FPGA", "0x0107"}};
    d.clock = DisplayClock{25, 3, 31, 17, 45, 10};
    d.usageTime = 5512;
    d.displayId = 1;
}

// Twenty records around one abnormal record (the abnormal one is the eleventh).
std::vector<Record> AroundAbnormal(std::uint32_t t0, const Record& abnormal, unsigned input) {
    std::vector<Record> r;
    for (unsigned i = 0; i < 10; ++i) {
        const std::uint32_t t = t0 + i * 120;
        if (i % 3 == 0)
            r.push_back(Record::Operation(t, input, 1, static_cast<std::uint16_t>(0x10 + i), 0, 0));
        else if (i % 3 == 1)
            r.push_back(Record::Signal(t, input, 1, 1920, 1080, 60));
        else
            r.push_back(Record::DevInfo(t, 1, 5 + i, static_cast<std::uint16_t>(1000 + i), 3));
    }
    Record a = abnormal;
    const std::uint32_t ta = t0 + 1300;
    for (int i = 0; i < 4; ++i) a.body[i] = static_cast<std::uint8_t>(ta >> (8 * i));
    r.push_back(a);
    r.push_back(Record::DevInfo(ta + 1, 2, 17, 0xBEEF, 0x0042));
    r.push_back(Record::Power(ta + 2, 5));  // power-off by protection
    for (unsigned i = 0; i < 7; ++i) {
        const std::uint32_t t = ta + 600 + i * 60;
        if (i == 0)
            r.push_back(Record::Operation(t, input, 1, 0x0001, 0, 0));
        else if (i % 2)
            r.push_back(Record::Signal(t, input, 1, 1920, 1080, 60));
        else
            r.push_back(Record::Operation(t, input, 2, 0x0101, static_cast<std::uint8_t>(40 + i), 0));
    }
    return r;
}

}  // namespace

LogDescription HealthyDisplay() {
    LogDescription d;
    CommonHeader(d, "QM-X003", "5K1234567");
    for (unsigned day = 0; day < 30; ++day) {
        auto r = OneDay(kBase + day * kDay, day % 3);
        d.groups[0].insert(d.groups[0].end(), r.begin(), r.end());
    }
    d.temperature = BuildTempV4(TempV4(3, false));
    return d;
}

LogDescription AbnormalDisplay() {
    LogDescription d;
    CommonHeader(d, "QM-X005", "5K7654321");
    d.usageTime = 20814;
    for (unsigned day = 0; day < 14; ++day) {
        auto r = OneDay(kBase + day * kDay, 0);
        d.groups[0].insert(d.groups[0].end(), r.begin(), r.end());
    }
    d.groups[0].push_back(Record::Abnormal(kBase + 13 * kDay + 16 * kHour, 0, 0x21, 81, 1));
    // Group 1 holds the newest abnormal event, group 3 the oldest.
    d.groups[3] = AroundAbnormal(kBase + 3 * kDay + 9 * kHour, Record::Abnormal(0, 2, 0x11, 1200, 4), 2);
    d.groups[2] = AroundAbnormal(kBase + 8 * kDay + 11 * kHour, Record::Abnormal(0, 1, 0x05, 0, 0, 0xA), 1);
    d.groups[1] = AroundAbnormal(kBase + 13 * kDay + 15 * kHour, Record::Abnormal(0, 0, 0x21, 81, 1), 0);
    d.temperature = BuildTempV4(TempV4(4, true));
    return d;
}

LogDescription Version5Header() {
    LogDescription d;
    d.fileVersion = 5;
    d.model = "QM-Y210";
    d.serial = "7A0000815";
    d.versions = {{"Main Firmware", "5.001"}, {"Sub Firmware", "5.000"}};
    d.typed = {TypedEntry::Id("ID", 3), TypedEntry::UsageTime("Usage Time", 1234),
               TypedEntry::Clock("Date/Time Setting", DisplayClock{25, 4, 2, 9, 30, 0}),
               TypedEntry::Other(9, "Reserved")};
    for (unsigned day = 0; day < 5; ++day) {
        auto r = OneDay(kBase + 30 * kDay + day * kDay, 1);
        d.groups[0].insert(d.groups[0].end(), r.begin(), r.end());
    }
    d.syslogFormat = 2;
    d.temperature = BuildTempV4(TempV4(2, true));
    return d;
}

LogDescription Version5Temperature() {
    LogDescription d = Version5Header();
    d.serial = "7A0000816";
    d.syslogFormat = 3;
    TempSectionV5 t;
    t.sensorCount = 4;
    t.current = {33, 35, 29, 0};
    t.direction = 2;
    t.brightThreshold = {60, 60, 58, -128};
    t.powerOffThreshold = {80, 80, 78, -128};
    t.brightDown = {kBase + 33 * kDay + 13 * kHour, 1290, {61, 62, 59, 0}};
    t.powerOff = {0, 0, {}};
    d.temperature = BuildTempV5(t);
    return d;
}

LogDescription LargeLog(std::size_t size) {
    LogDescription d = AbnormalDisplay();
    d.serial = "5K0065535";
    d.groups[0].clear();
    const std::size_t fixed = LogSize(d);
    const std::size_t records = size > fixed ? (size - fixed) / 10 : 0;
    for (std::size_t i = 0; d.groups[0].size() < records; ++i) {
        auto r = OneDay(kBase + static_cast<std::uint32_t>(i % 3000) * kDay, static_cast<unsigned>(i % 4));
        for (const auto& rec : r) {
            if (d.groups[0].size() == records) break;
            d.groups[0].push_back(rec);
        }
    }
    // Make up the last few bytes with a longer version text (room for 13 more).
    const std::size_t built = LogSize(d);
    if (built < size && size - built < 10) d.versions.back().value.append(size - built, '0');
    return d;
}

namespace {

// A display of the sample fleet: the healthy display's log under another
// model and serial number, read at `clock`.
LogDescription FleetDisplay(const char* model, const char* serial, const DisplayClock& clock) {
    LogDescription d = HealthyDisplay();
    d.model = model;
    d.serial = serial;
    d.clock = clock;
    return d;
}

// The temperature section of a display with three sensors whose maxima are
// `maxima` (thresholds: high temperature 70, power off 80).
Bytes TempWithMaxima(std::int8_t m1, std::int8_t m2, std::int8_t m3) {
    TempSectionV4 t = TempV4(3, false);
    t.maxTemp = {m1, m2, m3};
    return BuildTempV4(t);
}

// 2025-03-31 evening, when the fleet was collected (2025-03-01 is day 0).
constexpr DisplayClock kFleetClock{25, 3, 31, 17, 45, 10};

}  // namespace

std::vector<NamedLog> SampleFleetLogs() {
    std::vector<NamedLog> logs;
    auto add = [&](const std::string& path, const LogDescription& d) { logs.push_back({path, BuildLog(d)}); };

    add("10.20.0.11/QM-X003_5K1234567_20250331-174530.dat", HealthyDisplay());
    add("10.20.0.12/QM-X005_5K7654321_20250331-174535.dat", AbnormalDisplay());
    // Its clock runs two hours behind.
    add("10.20.0.13/QM-X003_5K1234570_20250331-174540.dat",
        FleetDisplay("QM-X003", "5K1234570", DisplayClock{25, 3, 31, 15, 39, 0}));
    {
        // Sensor 2 once reached its power-off threshold.
        LogDescription d = FleetDisplay("QM-X003", "5K1234571", kFleetClock);
        d.temperature = TempWithMaxima(61, 81, 57);
        add("10.20.0.14/QM-X003_5K1234571_20250331-174545.dat", d);
    }
    {
        // Warm: sensor 1 passed its high-temperature threshold a week ago.
        LogDescription d = FleetDisplay("QM-X001", "5K2000101", kFleetClock);
        TempSectionV4 t = TempV4(3, false);
        t.maxTemp = {72, 66, 58};
        t.highTempCount = 1;
        t.highTempTotal = 1;
        t.highTemp[0] = {kBase + 23 * kDay + 14 * kHour, 5490, 12, 0, 40, {{71, 72}, {65, 66}, {57, 58}}};
        d.temperature = BuildTempV4(t);
        add("10.20.0.15/QM-X001_5K2000101_20250331-174550.dat", d);
    }
    {
        // One abnormal event, seven weeks before the collection.
        LogDescription d = FleetDisplay("QM-X001", "5K2000102", kFleetClock);
        const Record abnormal = Record::Abnormal(kBase - 19 * kDay + 10 * kHour, 1, 0x03, 2, 0);
        d.groups[0].insert(d.groups[0].begin(), abnormal);
        d.groups[1] = AroundAbnormal(kBase - 19 * kDay + 10 * kHour - 1300, Record::Abnormal(0, 1, 0x03, 2, 0), 1);
        add("10.20.0.16/QM-X001_5K2000102_20250331-174555.dat", d);
    }
    {
        // Its supply failed three times this month, and a protection switched it off.
        LogDescription d = FleetDisplay("QM-X003", "5K1234572", kFleetClock);
        for (std::uint32_t day : {4u, 11u, 25u}) d.groups[0].push_back(Record::Power(kBase + day * kDay + 3 * kHour, 7));
        d.groups[0].push_back(Record::Power(kBase + 27 * kDay + 21 * kHour, 5));
        add("10.20.0.17/QM-X003_5K1234572_20250331-174600.dat", d);
    }
    add("10.20.0.18/QM-Y210_7A0000816_20250402-093100.dat", Version5Temperature());
    {
        // Two collections of one display: the page shows the newer one.
        LogDescription older = Version5Header();
        older.typed[2] = TypedEntry::Clock("Date/Time Setting", DisplayClock{25, 3, 1, 9, 59, 30});
        older.groups[0] = {Record::Operation(kBase + 9 * kHour, 1, 1, 0x0001, 0, 0),
                           Record::Signal(kBase + 9 * kHour + 4, 1, 1, 1920, 1080, 60)};
        older.temperature = BuildTempV4(TempV4(2, false));
        add("10.20.0.19/QM-Y210_7A0000815_20250301-100000.dat", older);
        add("10.20.0.19/QM-Y210_7A0000815_20250402-093110.dat", Version5Header());
    }
    {
        // Damaged after it was collected: the check value no longer fits.
        Bytes b = BuildLog(FleetDisplay("QM-X003", "5K1234573", kFleetClock));
        b[b.size() / 2] ^= 0x5A;
        logs.push_back({"10.20.0.20/QM-X003_5K1234573_20250331-174605.dat", std::move(b)});
    }
    // 10.20.0.21 was not reached; 10.20.0.22 was not reached tonight, and its
    // folder keeps the log of the night before.
    add("10.20.0.22/QM-X001_5K2000103_20250330-174610.dat",
        FleetDisplay("QM-X001", "5K2000103", DisplayClock{25, 3, 30, 17, 46, 0}));
    return logs;
}

std::vector<NamedLog> SampleLogs() {
    return {
        {"healthy.dat", BuildLog(HealthyDisplay())},
        {"abnormal.dat", BuildLog(AbnormalDisplay())},
        {"header-v5.dat", BuildLog(Version5Header())},
        {"temperature-v5.dat", BuildLog(Version5Temperature())},
        {"large.dat", BuildLog(LargeLog())},
    };
}

}  // namespace logimage
