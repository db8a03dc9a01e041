#pragma once
// quendra-log: turns a saved log (".dat") into the HTML report, the comparison
// text, the temperature page text and a JSON form of the decoded log, without
// a GUI. The pieces are here so that tests and the fuzz target can drive them.

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

struct stLogCliOptions {
    std::string strModelDir;   // empty: from "ModelName.csv" next to the program
    std::string strHtml;       // output paths; "-" is standard output
    std::string strCompare;
    std::string strText;
    std::string strJson;
    int nTimeMode = 0;
    bool bCompensate = false;
    std::uint32_t nFilter = 0xFF;
    int nSortColumn = 0;
    bool bSortDescending = false;
    bool bNoChecksum = false;
    bool bHelp = false;
    bool bVersion = false;
    std::string strLogFile;  // "-" is standard input
    // --overview OUT.html: the fleet overview of every log under `paths`.
    std::string strOverview;
    std::vector<std::string> paths;
    bool bNoReports = false;
};

// Exit codes.
enum : int {
    LOGCLI_OK = 0,
    LOGCLI_FAILED = 1,  // the log could not be read or decoded, or an output not written
    LOGCLI_USAGE = 64,  // a command line it does not understand, or options the log cannot take
};

// Parses the arguments (without the program name). False with a one-line
// reason in `error` for anything it does not understand. Without --overview
// exactly one LOGFILE is taken; with it, one or more PATHs and none of the
// outputs of a single log.
bool ParseLogCliArgs(const std::vector<std::string>& args, stLogCliOptions& options, std::string& error);

// The text of --help.
const char* LogCliHelp();

// Runs the whole tool and returns its exit code. `programDir` holds
// "ModelName.csv", the model folders and "QuendraReport.ini". The log "-" is
// read from `in`. Reports go to files (cmn::AtomicFileWriter) or `out`;
// messages to `err`, each starting with "quendra-log: " and the log file's
// name, with every text taken from the log or the command line shown in
// printable ASCII ("\x1B" for an escape byte). Nothing throws: an unexpected
// failure is LOGCLI_FAILED with a message.
// Not thread-safe: it sets the process-wide prompt and code tables.
int RunLogCli(const std::vector<std::string>& args, const std::filesystem::path& programDir, std::istream& in,
              std::ostream& out, std::ostream& err);
// The fleet overview of `request` into `html` (and .csv, .json beside it),
// for quendra-log --overview and quendra-acquire --overview: messages on
// `err` as "PROGRAM: ...", the decoder kept off the terminal meanwhile.
// LOGCLI_OK when the overview was written, else LOGCLI_FAILED.
// Not thread-safe: it sets the process-wide prompt and code tables.
struct stOverviewRequest;
int RunOverview(const char* program, const stOverviewRequest& request, const std::filesystem::path& html,
                bool writeReports, std::ostream& err);

// The same with the log "-" read from std::cin.
int RunLogCli(const std::vector<std::string>& args, const std::filesystem::path& programDir, std::ostream& out,
              std::ostream& err);
