#pragma once
// The status of a display on the fleet overview (OK, attention, critical) and
// the rules that decide it. Every rule is one row of one table: a fact about
// the display, the least value at which the rule holds, the status it gives
// and the text the page shows in its legend and beside the display. A
// display's status is the worst status of the rules that hold for it; OK
// when none holds.
// Pure data and functions: safe from any thread.

#include <cstdint>
#include <span>
#include <vector>

enum class OverviewStatus : int {
    kOk = 0,
    kAttention = 1,
    kCritical = 2,
};

// "OK", "attention", "critical".
const char* StatusName(OverviewStatus status);

// Days before the collection that count as recent.
inline constexpr int kRecentDays = 30;

// What the rules look at; every fact is a count (or seconds), 0 when the
// display gave nothing to count.
struct stOverviewFacts {
    std::int64_t nNotCollected = 0;        // the fleet run failed to collect the display
    std::int64_t nCancelled = 0;           // the fleet run was cancelled before the display was collected
    std::int64_t nUndecodable = 0;         // the log did not decode
    std::int64_t nSensorsAtPowerOff = 0;   // sensors whose maximum reached their power-off threshold
    std::int64_t nTempPowerOffsRecent = 0; // temperature power-offs in the recent days
    std::int64_t nSensorsAtHighTemp = 0;   // sensors whose maximum reached their high-temperature threshold
    std::int64_t nHighTempRecent = 0;      // high-temperature events in the recent days
    std::int64_t nAbnormalRecent = 0;      // abnormal records in the recent days (each event once)
    std::int64_t nProtectionsRecent = 0;   // power-offs by a protection in the recent days
    std::int64_t nPowerFailuresRecent = 0; // losses of the power supply in the recent days
    std::int64_t nClockGapSeconds = 0;     // how far the display's clock is off, either way
};

struct stStatusRule {
    const char* id;  // stable name ("clock-gap"), for the JSON and CSV forms
    OverviewStatus status;
    std::int64_t stOverviewFacts::*fact;
    std::int64_t threshold;  // the rule holds when the fact is at least this
    const char* label;       // short, beside the display
    const char* text;        // what it means, as the legend says it
};

// The rules, worst status first.
std::span<const stStatusRule> StatusRules();

// The rules that hold for `facts`, in table order.
std::vector<const stStatusRule*> RulesThatHold(const stOverviewFacts& facts);

// The worst status of `rules`; OK for none.
OverviewStatus WorstStatus(const std::vector<const stStatusRule*>& rules);
