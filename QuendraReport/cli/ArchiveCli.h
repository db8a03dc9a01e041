#pragma once
// "quendra-log archive add|list|report": the history archive from the
// command line. The command line is parsed by ParseLogCliArgs (LogCli.h).
// Not thread-safe: a report sets the process-wide code tables.

#include <ctime>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>

#include <functional>

struct stLogCliOptions;
struct stOverviewRow;
struct stOverviewHistory;

// Runs an archive command of `opt` and returns its exit code (LOGCLI_OK,
// LOGCLI_FAILED: a log not added, the archive not opened, an output not
// written; LOGCLI_USAGE: a DATE or SERIAL it cannot use). Lines of
// "archive add" and "archive list" go to `out`, messages to `err` as
// "quendra-log: ...". Nothing throws.
int RunArchiveCommand(const stLogCliOptions& opt, const std::filesystem::path& programDir, std::ostream& out,
                      std::ostream& err);

// "YYYY-MM-DD" as the local time of the start of that day; none for anything
// else (a day the month does not have included).
std::optional<std::time_t> ParseDay(const std::string& text);

// The overview's history lookup of the archive at `path` (empty: the user's
// default archive), opened for reading: for each row's log (decoded with the
// check value tested unless `skipCheckSum`), the records that
// no earlier collection held (what adding it gives, or gave when it is in
// the archive already) and the display's history counts. Empty with why in
// `error` when the archive cannot be opened.
using OverviewHistoryLookup = std::function<std::optional<stOverviewHistory>(const stOverviewRow&)>;
OverviewHistoryLookup ArchiveHistoryLookup(const std::string& path, const std::filesystem::path& programDir,
                                           bool skipCheckSum, std::string& error);
