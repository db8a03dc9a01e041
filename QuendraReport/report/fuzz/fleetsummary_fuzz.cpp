// The summary of a fleet run, as the overview reads it: any bytes give
// entries and reasons for the lines left out, one or the other per non-blank
// line, never a crash, a hang or a read past the text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "report/FleetSummary.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const stFleetSummary summary = ParseFleetSummary(text);
    std::size_t lines = 1;
    for (char c : text) lines += c == '\n';
    if (summary.entries.size() + summary.problems.size() > lines) std::abort();
    int last = 0;
    for (const stFleetSummaryEntry& e : summary.entries) {
        if (e.nLine <= last || static_cast<std::size_t>(e.nLine) > lines) std::abort();
        last = e.nLine;
    }
    for (const auto& problem : summary.problems)
        if (problem.rfind("line ", 0) != 0) std::abort();
    return 0;
}
