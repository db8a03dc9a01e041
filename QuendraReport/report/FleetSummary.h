#pragma once
// The summary a fleet run of quendra-acquire leaves in its --out folder
// ("summary.jsonl"): one JSON object per line and display, naming its host,
// its folder and how its collection ended. The overview reads it to name the
// hosts of the logs it finds and to show the displays that were not collected.
//
// The reader takes outside data: every line is checked against the JSON
// grammar with bounded nesting and length, a line it cannot use is left out
// with a reason, and nothing is read past the end of the text.
// Pure functions: safe from any thread.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The largest summary the overview reads, and the longest line.
inline constexpr std::size_t kMaxFleetSummaryBytes = 64u << 20;
inline constexpr std::size_t kMaxFleetSummaryLine = 1u << 20;

// One display of the summary. Texts are UTF-8 as the summary holds them.
struct stFleetSummaryEntry {
    int nLine = 0;  // line of the summary, from 1
    std::string strHost;
    int nPort = 0;
    int nDisplayId = 0;
    std::string strFolder;   // the display's folder as the run named it
    int nExitCode = -1;
    std::string strStatus;   // "collected", "failed", "cancelled"
    std::string strMessage;  // the run's last message
    // Why it failed: from the line's "error" object (or its run's), else its
    // "reason"; empty when the summary does not say.
    std::string strReason;
    std::string strStep;
    std::string strDetail;
    // What the display's own run learnt of it, when it learnt anything.
    std::string strModel;
    std::string strSerial;
};

struct stFleetSummary {
    std::vector<stFleetSummaryEntry> entries;  // in the order of the lines
    // One text per line left out: "line 3: not a JSON object".
    std::vector<std::string> problems;
};

// Reads the lines of a summary (LF or CR LF; blank lines are skipped). A line
// is used when it is one JSON object with a text "host" and a text "status".
stFleetSummary ParseFleetSummary(std::string_view text);
