#include "report/OverviewRules.h"

#include <algorithm>
#include <iterator>

namespace {

using F = stOverviewFacts;
constexpr OverviewStatus kCritical = OverviewStatus::kCritical;
constexpr OverviewStatus kAttention = OverviewStatus::kAttention;

const stStatusRule kRules[] = {
    {"not-collected", kCritical, &F::nNotCollected, 1, "not collected",
     "the fleet run could not collect the display's log"},
    {"sensor-power-off", kCritical, &F::nSensorsAtPowerOff, 1, "power-off threshold reached",
     "a sensor's maximum reached its power-off threshold"},
    {"temperature-power-off", kCritical, &F::nTempPowerOffsRecent, 1, "temperature power-off",
     "the display powered off for temperature in the last 30 days"},
    {"undecodable", kAttention, &F::nUndecodable, 1, "log not decodable", "the log cannot be decoded"},
    {"cancelled", kAttention, &F::nCancelled, 1, "collection cancelled",
     "the fleet run was cancelled before the display was collected"},
    {"abnormal", kAttention, &F::nAbnormalRecent, 1, "abnormal record", "an abnormal record in the last 30 days"},
    {"sensor-high-temperature", kAttention, &F::nSensorsAtHighTemp, 1, "high-temperature threshold reached",
     "a sensor's maximum reached its high-temperature threshold"},
    {"high-temperature", kAttention, &F::nHighTempRecent, 1, "high-temperature event",
     "a high-temperature event in the last 30 days"},
    {"protection", kAttention, &F::nProtectionsRecent, 1, "protection power-off",
     "a power-off by a protection in the last 30 days"},
    {"power-failures", kAttention, &F::nPowerFailuresRecent, 3, "power failures",
     "3 or more losses of the power supply in the last 30 days"},
    {"clock-gap", kAttention, &F::nClockGapSeconds, 600, "clock off",
     "the display's clock is 10 minutes or more off the collection time"},
};
}  // namespace

const char* StatusName(OverviewStatus status) {
    switch (status) {
        case OverviewStatus::kCritical: return "critical";
        case OverviewStatus::kAttention: return "attention";
        case OverviewStatus::kOk: break;
    }
    return "OK";
}

std::span<const stStatusRule> StatusRules() { return kRules; }

std::vector<const stStatusRule*> RulesThatHold(const stOverviewFacts& facts) {
    std::vector<const stStatusRule*> held;
    for (const stStatusRule& rule : kRules)
        if (facts.*rule.fact >= rule.threshold) held.push_back(&rule);
    return held;
}

OverviewStatus WorstStatus(const std::vector<const stStatusRule*>& rules) {
    OverviewStatus worst = OverviewStatus::kOk;
    for (const stStatusRule* rule : rules) worst = std::max(worst, rule->status);
    return worst;
}
