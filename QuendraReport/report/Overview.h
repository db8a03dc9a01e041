#pragma once
// The fleet overview: one row per display, built from the saved logs
// ("*.dat") under some folders and files and, for a fleet run's folder, from
// its summary ("summary.jsonl"); each row with a status from the rules of
// OverviewRules.h. Written as one self-contained HTML page and as CSV and
// JSON with the same rows, beside each other (OUT.html, OUT.csv, OUT.json),
// with every display's full HTML report in a folder beside them.
//
// A display is known by its serial number: of several logs of one serial the
// newest is shown and the others are counted. A log that does not decode is
// a row with the decoder's message; a display that a fleet run failed to
// collect is a row with the reason, and when its folder holds logs of an
// earlier run, the newest of them stands for it.
//
// The collection time of a log is the time in its name when the collecting
// tool stamped it there ("_YYYYmmdd-HHMMSS" before ".dat"), else the time the
// file was last written. Record times are the display's: "recent" counts back
// from the display's clock at collection (the collection time when the log
// holds no clock).
//
// Texts of the rows are UTF-8 (the logs' 8-bit texts converted from CP932).
// Nothing throws out of these functions; every failure is a result.
// BuildOverview decodes on several threads of its own; it reads the
// process-wide prompt only through the decoder (see QuendraLog.h). The
// report writing of WriteOverview replaces the process-wide code tables:
// one call at a time per process.

#include <array>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "report/OverviewRules.h"
#include "report/ReportPipeline.h"

// Where a row's collection time came from.
enum class CollectedFrom : int {
    kUnknown = 0,
    kFileName = 1,  // the stamp in the log file's name
    kFileTime = 2,  // the file's modification time
};

struct stSensorReading {
    int nSensor = 0;  // from 1
    bool bUnused = false;  // format 5: a threshold marks the sensor unused
    int nCurrent = 0;
    std::optional<int> nMaximum;        // format 4 only
    std::optional<int> nHighTemp;       // high-temperature error threshold (start), format 4 only
    std::optional<int> nPowerOff;       // power-off threshold; none when unused (-128)
};

struct stTemperatureSummary {
    int nFormat = 0;  // 4 or 5
    std::vector<stSensorReading> sensors;
    // Event counters of format 4; format 5 keeps only its last events.
    std::optional<int> nBrightDown;
    std::optional<int> nHighTemp;
    std::optional<int> nPowerOff;
};

struct stNewestAbnormal {
    std::time_t tTime = 0;
    std::string strKind;  // the Kind and Information texts of the log list
    std::string strInfo;
};

struct stOverviewRow {
    enum class Source : int {
        kLog = 0,           // a decoded log
        kUndecodable = 1,   // a log that did not decode
        kNotCollected = 2,  // a display of a fleet summary with no log of its own
    };
    Source source = Source::kLog;

    std::string strHost;      // from the fleet summary: "HOST[:PORT][ id N]"; empty when unknown
    std::filesystem::path logFile;  // absolute; empty for kNotCollected
    std::string strModel;
    std::string strSerial;
    std::vector<std::pair<std::string, std::string>> firmware;  // version entries with a value
    std::string strUsageTime;
    std::optional<std::time_t> displayClock;
    std::optional<std::time_t> collected;
    CollectedFrom collectedFrom = CollectedFrom::kUnknown;
    std::optional<std::int64_t> clockGap;  // display clock minus collection time, seconds

    std::size_t nRecords = 0;
    // Abnormal records by log group (0 running log, 1 newest .. 3 oldest
    // abnormal group), all of them and those of the recent days.
    std::array<int, 4> abnormal{};
    std::array<int, 4> abnormalRecent{};
    std::optional<stNewestAbnormal> newestAbnormal;
    // Power records (each event once, whatever groups hold it).
    int nPowerFailures = 0;
    int nPowerFailuresRecent = 0;
    int nProtections = 0;
    int nProtectionsRecent = 0;
    std::optional<stTemperatureSummary> temperature;

    int nOlderLogs = 0;       // further logs of the same serial number, not shown
    std::string strProblem;   // the decoder's message, or why the collection failed
    std::filesystem::path modelFolder;  // whose code tables gave its texts; empty: none
    std::filesystem::path report;       // the display's full report, once written (absolute)

    stOverviewFacts facts;
    std::vector<const stStatusRule*> rules;  // the rules that hold
    OverviewStatus status = OverviewStatus::kOk;
};

struct stOverviewRequest {
    std::vector<std::filesystem::path> paths;  // log files, and folders searched for "*.dat"
    std::filesystem::path programDir;          // "ModelName.csv", model folders, "QuendraReport.ini"
    stReportOptions reportOptions;             // model folder, checksum, and how full reports show a log
    unsigned nThreads = 0;                     // 0: as many as the machine has, at most 8
};

struct stOverview {
    std::vector<stOverviewRow> rows;  // worst status first (see SortOverviewRows)
    std::size_t nLogs = 0;            // logs read, shown or not
    // What did not stop the overview but is worth saying: unreadable folders,
    // summary lines left out. One line each.
    std::vector<std::string> notes;
};

// Reads every log of the request and the summaries of its folders. False
// (with `error`) only when a path cannot be read at all.
bool BuildOverview(const stOverviewRequest& request, stOverview& overview, std::string& error);

// The collection time stamped in a log file's name: "..._YYYYmmdd-HHMMSS.dat".
std::optional<std::time_t> StampedCollectionTime(const std::filesystem::path& logFile);

// Sorts by status (worst first), then model, serial number, host and log file.
void SortOverviewRows(std::vector<stOverviewRow>& rows);

// The three files of an overview: OUT.html and, beside it, OUT.csv and OUT.json.
struct stOverviewFiles {
    std::filesystem::path html, csv, json;
    std::filesystem::path reports;  // folder of the full reports: "OUT-reports"
};
stOverviewFiles OverviewFilesFor(const std::filesystem::path& html);

// The documents. Links (full reports, log files) are relative to the folder
// of `files.html`. Deterministic: the same rows give the same bytes.
std::string OverviewHtml(const stOverview& overview, const stOverviewFiles& files);
std::string OverviewCsv(const stOverview& overview, const stOverviewFiles& files);
std::string OverviewJson(const stOverview& overview, const stOverviewFiles& files);

struct stOverviewResult {
    bool bWritten = false;        // the three files are in place
    std::string strError;         // why not
    std::vector<std::string> notes;  // reports not written, and the overview's notes
    std::size_t nRows = 0;
    std::array<std::size_t, 3> byStatus{};  // rows by OverviewStatus
};

// Builds the overview and writes its files; with `writeReports`, first every
// shown display's full HTML report (named after its log file, less the time
// stamp in its name, so that the next overview replaces it) into
// files.reports, made when missing. A report that cannot be written leaves
// its row without the link and is noted. The three files are replaced whole;
// a path that is not a regular file (or a place for a new one) is refused
// before anything is written.
stOverviewResult WriteOverview(const stOverviewRequest& request, const std::filesystem::path& html,
                               bool writeReports);
