#include "display.h"

#include <ctime>

#include "common/timeutil.h"
#include "log_image.h"

namespace dsim {

WhiteBalance FactoryWhiteBalance() {
    WhiteBalance wb;
    for (int i = 0; i < 6; ++i) {
        wb.level[i] = 128 + 128 * i;
        wb.red[i] = 512;
        wb.green[i] = 500;
        wb.blue[i] = 488;
        wb.advLevel[i] = 100 + 150 * i;
        wb.advRed[i] = 1000;
        wb.advGreen[i] = 980;
        wb.advBlue[i] = 960;
        wb.advYellow[i] = 940;
        wb.val[i] = 100;
    }
    for (int i = 0; i < 3; ++i) {
        wb.simRed[i] = 256;
        wb.simGreen[i] = 250;
        wb.simBlue[i] = 244;
    }
    return wb;
}

const std::vector<std::string>& TemperatureSettingWords() {
    static const std::vector<std::string> words = {"BRIG", "BDVL", "BST1", "BET1", "BST2", "BET2", "TST1", "TET1",
                                                   "TST2", "TET2", "BPT1", "BPT2", "BPT3", "TALT", "ALPS"};
    return words;
}

const std::vector<std::string>& TemperatureDataWords() {
    static const std::vector<std::string> words = {"BLTM", "BLT1", "BLT2", "BLT3", "BTTM", "TLTM", "TLT1", "TLT2",
                                                   "TLT3", "TTTM", "PLTM", "PLT1", "PLT2", "PLT3", "MIT1", "MIT2",
                                                   "MIT3", "MAT1", "MAT2", "MAT3", "LTET", "LTCN"};
    return words;
}

std::int64_t FieldsToSeconds(int year, int month, int day, int hour, int minute, int second) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    return static_cast<std::int64_t>(timegm(&tm));
}

std::string SecondsToDigits12(std::int64_t secs) {
    std::time_t t = static_cast<std::time_t>(secs);
    std::tm tm{};
    if (!gmtime_r(&t, &tm)) return "000000000000";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d%02d%02d%02d%02d%02d", (tm.tm_year + 1900) % 100, tm.tm_mon + 1, tm.tm_mday,
                  tm.tm_hour, tm.tm_min, tm.tm_sec);
    return buf;
}

std::int64_t Display::ClockNow() const {
    auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - clockRef);
    return clockBase + elapsed.count();
}

void Display::SetClock(std::int64_t fieldsSeconds) {
    clockBase = fieldsSeconds;
    clockRef = std::chrono::steady_clock::now();
}

Bytes NvramPattern(int id, std::size_t size) {
    Bytes b(size);
    for (std::size_t i = 0; i < size; ++i)
        b[i] = static_cast<std::uint8_t>((i * 31u + (i >> 8) * 7u + static_cast<unsigned>(id) * 13u + 0x5Au) & 0xFFu);
    return b;
}

namespace {

std::uint32_t DisplaySeconds(int year, int month, int day, int hour, int minute) {
    return static_cast<std::uint32_t>(FieldsToSeconds(year, month, day, hour, minute, 0) -
                                      FieldsToSeconds(2000, 1, 1, 0, 0, 0));
}

}  // namespace

Display DefaultDisplay(int id, std::size_t nvramSize) {
    Display d;
    d.id = id;
    d.model = "QM-X003";
    char serial[32];
    std::snprintf(serial, sizeof serial, "QX3%07d", 1001 + id);
    d.serial = serial;
    d.series = "00000000000000";
    d.wb = FactoryWhiteBalance();
    d.usageHours = 12345 + id;
    d.currentTemp = {25 + id, 30 + id, 28 + id};

    const auto& settings = TemperatureSettingWords();
    const int settingValues[] = {1, 30, 60, 55, 65, 60, 70, 65, 75, 70, 80, 82, 85, 1, 2};
    for (std::size_t i = 0; i < settings.size(); ++i) d.numbers[settings[i]] = settingValues[i];
    const auto& data = TemperatureDataWords();
    const int dataValues[] = {12, 61, 58, 60, 340, 3, 71, 69, 70, 25, 1, 81, 79, 80, -5, -3, -4, 74, 72, 73, 2, 1};
    for (std::size_t i = 0; i < data.size(); ++i) d.numbers[data[i]] = dataValues[i];

    for (int k = 0; k < kEventKinds; ++k) {
        for (int i = 0; i < kEventsPerKind; ++i) {
            EventEntry& e = d.events[k][i];
            const int day = 1 + i * 3 + k;
            char buf[128];
            std::snprintf(buf, sizeof buf, "2026/10/%02d %02d:%02d,T1:%d,T2:%d,T3:%d", day, 8 + i, 15 + k * 10,
                          55 + i + k * 5, 58 + i + k * 5, 57 + i + k * 5);
            e.start = buf;
            if (k != kPowerOffEvents) {
                std::snprintf(buf, sizeof buf, "T1:%d T2:%d T3:%d,%dH%02dM", 62 + i + k * 5, 64 + i + k * 5,
                              63 + i + k * 5, 1 + i, 10 * i);
                e.max = buf;
            }
            e.time = DisplaySeconds(2026, 10, day, 8 + i, 15 + k * 10);
        }
    }
    d.eventCounts = {7, 5, 9};
    d.lastValues = {"12001", "61", "12340", "35"};

    cmn::LocalFields now;
    cmn::SplitLocal(std::time(nullptr), now);
    d.SetClock(FieldsToSeconds(now.year, now.month, now.day, now.hour, now.minute, now.second));

    d.nvram = NvramPattern(id, nvramSize);
    d.log = BuildDefaultLog(d);
    return d;
}

Display* Chain::Find(int id) {
    for (auto& d : displays)
        if (d.id == id) return &d;
    return nullptr;
}

Display* Chain::BinaryTarget() {
    Display* best = nullptr;
    for (auto& d : displays)
        if (d.binary && (!best || d.binarySince > best->binarySince)) best = &d;
    return best;
}

void Chain::EnterBinary(Display& d) {
    d.binary = true;
    d.binarySince = ++binaryCounter;
}

}  // namespace dsim
