#include "cli/LogCli.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <iostream>
#include <istream>
#include <ostream>

#include "report/LogJson.h"
#include "common/options.h"
#include "common/strutil.h"
#include "common/textfile.h"
#include "report/HtmlDoc.h"
#include "report/Overview.h"
#include "report/ReportPipeline.h"

namespace {

const char* const kHelp =
    "Usage: quendra-log [OPTIONS] LOGFILE\n"
    "       quendra-log --overview FILE [--no-reports] [SETTINGS] PATH...\n"
    "\n"
    "Decodes a saved display log (\".dat\") and writes its reports without a GUI.\n"
    "LOGFILE \"-\" reads the log from standard input. Without an output option the\n"
    "log is only checked.\n"
    "\n"
    "Fleet overview:\n"
    "  --overview FILE   one page (FILE, e.g. overview.html) on which displays need\n"
    "                    attention and why, from every log (*.dat) under the PATHs\n"
    "                    (folders and log files): one row per display (its newest\n"
    "                    log; older logs of the same serial number are counted),\n"
    "                    with FILE.csv and FILE.json (the extension replaced)\n"
    "                    beside it holding the same rows. The folder of a fleet run\n"
    "                    of quendra-acquire adds the hosts and the displays the run\n"
    "                    could not collect, from its summary.jsonl. Each display's\n"
    "                    full HTML report goes to the folder FILE-reports (without\n"
    "                    the extension) beside the page, and its row links to it\n"
    "                    and to its log. A log that cannot be decoded is a row with\n"
    "                    the decoder's message. The collection time of a log is the\n"
    "                    time stamped in its name (MODEL_SERIAL_YYYYmmdd-HHMMSS.dat),\n"
    "                    else the time the file was written.\n"
    "  --no-reports      write the overview without the full reports\n"
    "\n"
    "Outputs (FILE \"-\" is standard output; a file is replaced whole, so a failed\n"
    "run never leaves a half-written report; a link to a file replaces the file it\n"
    "points to; a device or a FIFO such as /dev/null is written as it is; a folder,\n"
    "a socket or a block device is refused):\n"
    "  --html FILE       the whole HTML report (system log and temperature log)\n"
    "  --compare FILE    the comparison text (system log part, then temperature part)\n"
    "  --text FILE       the temperature page text\n"
    "  --json FILE       the decoded log as JSON (UTF-8): header, information\n"
    "                    entries, every record with its raw fields and shown texts,\n"
    "                    the temperature record\n"
    "\n"
    "Settings:\n"
    "  --model-dir DIR   folder of the code tables (CSV files); default: the folder\n"
    "                    that \"ModelName.csv\" next to the program gives for the\n"
    "                    log's model name (without one, codes are shown as numbers)\n"
    "  --time-mode 0|1   0: calendar times; 1: time elapsed from 2013-01-01\n"
    "  --compensate      add the clock error (PC time minus display clock) to times;\n"
    "                    only a log that carries the PC time of its reading can take\n"
    "                    it: a saved log carries none, and is refused\n"
    "  --filter BITS     record classes shown (decimal or 0x hex, default 0xFF):\n"
    "                    0x01 remote control/key operations, 0x02 command\n"
    "                    operations, 0x04 operations of type 3, 0x40 of type 4,\n"
    "                    0x08 signal changes, 0x10 abnormal, 0x20 power records;\n"
    "                    other records are always shown\n"
    "  --sort COLUMN[:desc]\n"
    "                    sort by column 0-6 (ID, Date, Kind, Input, Information,\n"
    "                    Parameter 1, Parameter 2); Date ascending is newest first\n"
    "  --no-checksum     do not verify the log's check value\n"
    "  --help            this text\n"
    "  --version         the program's version\n"
    "An option's value may also follow an \"=\": --html=report.html.\n"
    "\n"
    "Messages go to standard error as \"quendra-log: LOGFILE: message\".\n"
    "\n"
    "Exit status: 0 success, 1 the log could not be read or decoded (the reason\n"
    "is printed on standard error) or an output could not be written,\n"
    "64 usage error (also --compensate on a log without its PC time).\n"
    "With --overview: 0 the overview was written (whatever the displays' status),\n"
    "1 a PATH could not be read or the overview not written, 64 usage error.\n";

// Decimal digits, or hexadecimal digits after "0x"; nothing else (no sign, no
// blanks, and a leading zero does not mean octal: "010" is ten).
bool ParseUnsigned(const std::string& text, unsigned long long limit, unsigned long long& value) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = hex ? text.substr(2) : text;
    if (digits.empty()) return false;
    for (const char c : digits) {
        if (!(hex ? std::isxdigit(static_cast<unsigned char>(c)) : std::isdigit(static_cast<unsigned char>(c))))
            return false;
    }
    errno = 0;
    char* end = nullptr;
    const unsigned long long v = std::strtoull(digits.c_str(), &end, hex ? 16 : 10);
    if (errno != 0 || end == nullptr || *end != '\0' || v > limit) return false;
    value = v;
    return true;
}

// What the tool prints on standard error from a log or a command line:
// control bytes and other bytes that are not printable ASCII are shown as
// "\xNN", so a crafted log cannot drive the terminal.
std::string Shown(std::string_view text) { return cmn::EscapeNonPrintable(text); }

// Writes a document to standard output.
bool WriteToStream(std::ostream& out, const CLogReports& reports,
                   void (*write)(CTextSink&, const CLogListCtrl&, const CTempLogCtrl&)) {
    CStreamSink sink(out);
    write(sink, reports.List(), reports.Temp());
    return sink.Flush() && static_cast<bool>(out.flush());
}

bool WriteBytesToStream(std::ostream& out, const std::string& bytes) {
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out.flush());
}

stReportOptions ReportOptions(const stLogCliOptions& opt) {
    stReportOptions o;
    o.modelFolder = opt.strModelDir;
    o.nTimeMode = opt.nTimeMode;
    o.bCompensate = opt.bCompensate;
    o.nFilter = opt.nFilter;
    o.nSortColumn = opt.nSortColumn;
    o.bSortAscending = !opt.bSortDescending;
    o.bSkipCheckSum = opt.bNoChecksum;
    return o;
}

// The command line of an overview: PATHs, and none of a single log's outputs.
bool CheckOverviewArgs(const stLogCliOptions& o, std::string& error) {
    if (o.paths.empty()) {
        error = "--overview needs at least one PATH (a folder or a log file)";
    } else if (!o.strHtml.empty() || !o.strCompare.empty() || !o.strText.empty() || !o.strJson.empty()) {
        error = "--overview writes its own files; --html, --compare, --text and --json report one log";
    } else if (o.strOverview == "-") {
        error = "--overview writes files (OUT.html, OUT.csv, OUT.json), not standard output";
    } else if (std::find(o.paths.begin(), o.paths.end(), "-") != o.paths.end()) {
        error = "--overview reads folders and log files, not standard input";
    } else if (o.bCompensate) {
        error = "--compensate needs the PC time of a log's reading, and saved logs carry none";
    } else {
        return true;
    }
    return false;
}

}  // namespace

const char* LogCliHelp() { return kHelp; }

bool ParseLogCliArgs(const std::vector<std::string>& args, stLogCliOptions& options, std::string& error) {
    options = stLogCliOptions{};
    stLogCliOptions& o = options;
    const std::vector<cmn::stOption> table = {
        cmn::SwitchOption("--help", o.bHelp, "-h"),
        cmn::SwitchOption("--version", o.bVersion),
        cmn::TextOption("--model-dir", o.strModelDir),
        cmn::TextOption("--html", o.strHtml),
        cmn::TextOption("--compare", o.strCompare),
        cmn::TextOption("--text", o.strText),
        cmn::TextOption("--json", o.strJson),
        cmn::TextOption("--overview", o.strOverview),
        cmn::SwitchOption("--no-reports", o.bNoReports),
        cmn::SwitchOption("--compensate", o.bCompensate),
        cmn::SwitchOption("--no-checksum", o.bNoChecksum),
        {"--time-mode", {}, cmn::OptionValue::Required,
         [&](const std::string& v, std::string& why) {
             if (v != "0" && v != "1") {
                 why = "--time-mode takes 0 or 1, not \"" + v + "\"";
                 return false;
             }
             o.nTimeMode = v == "1" ? 1 : 0;
             return true;
         }},
        {"--filter", {}, cmn::OptionValue::Required,
         [&](const std::string& v, std::string& why) {
             unsigned long long bits = 0;
             if (!ParseUnsigned(v, 0xFFFFFFFFull, bits)) {
                 why = "--filter takes a number from 0 to 0xFFFFFFFF, not \"" + v + "\"";
                 return false;
             }
             o.nFilter = static_cast<std::uint32_t>(bits);
             return true;
         }},
        {"--sort", {}, cmn::OptionValue::Required,
         [&](const std::string& v, std::string& why) {
             std::string column = v;
             const std::size_t colon = v.find(':');
             o.bSortDescending = false;
             if (colon != std::string::npos) {
                 column = v.substr(0, colon);
                 const std::string dir = v.substr(colon + 1);
                 if (dir == "desc") {
                     o.bSortDescending = true;
                 } else if (dir != "asc") {
                     why = "--sort direction must be asc or desc, not \"" + dir + "\"";
                     return false;
                 }
             }
             if (column.size() != 1 || column[0] < '0' || column[0] >= '0' + LOG_COLUMN_COUNT) {
                 why = "--sort takes a column from 0 to " + std::to_string(LOG_COLUMN_COUNT - 1) + ", not \"" +
                       column + "\"";
                 return false;
             }
             o.nSortColumn = column[0] - '0';
             return true;
         }},
    };
    const auto operand = [&](const std::string& path, std::string& why) {
        if (path.empty()) {
            why = "an empty file name";
            return false;
        }
        o.paths.push_back(path);
        return true;
    };
    if (!cmn::ParseOptions(args, table, operand, error)) return false;
    if (o.bHelp || o.bVersion) return true;
    if (!o.strOverview.empty()) return CheckOverviewArgs(o, error);
    if (o.bNoReports) {
        error = "--no-reports goes with --overview";
        return false;
    }
    if (o.paths.size() > 1) {
        error = "exactly one LOGFILE is expected";
        return false;
    }
    if (o.paths.empty()) {
        error = "no LOGFILE given";
        return false;
    }
    o.strLogFile = o.paths.front();
    return true;
}

namespace {

// The log as named in messages.
std::string LogName(const stLogCliOptions& opt) {
    return opt.strLogFile == "-" ? "standard input" : Shown(opt.strLogFile);
}

// Why a log file could not be read when the decoder said nothing.
std::string ReadProblem(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::strerror(errno);
    if (S_ISDIR(st.st_mode)) return "is a folder, not a log file";
    if (!S_ISREG(st.st_mode)) return "is not a regular file";
    if (::access(path.c_str(), R_OK) != 0) return std::strerror(errno);
    return "cannot be read";
}

// The whole of `in`, at most `limit` bytes; false when there is more or it fails.
bool ReadStream(std::istream& in, std::size_t limit, std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    char buf[65536];
    while (in) {
        in.read(buf, sizeof buf);
        const auto n = static_cast<std::size_t>(in.gcount());
        if (bytes.size() + n > limit) return false;
        bytes.insert(bytes.end(), buf, buf + n);
    }
    return in.eof();
}

// Each output path is checked before the log is read: a folder or a socket
// fails the run before anything is written.
bool OutputsUsable(const stLogCliOptions& opt, std::ostream& err) {
    bool ok = true;
    for (const std::string* path : {&opt.strHtml, &opt.strCompare, &opt.strText, &opt.strJson}) {
        if (path->empty()) continue;
        const cmn::stOutputTarget target = cmn::ResolveOutputPath(*path);
        if (target.kind == cmn::OutputKind::Refused) {
            err << "quendra-log: " << Shown(target.error) << "\n";
            ok = false;
        }
    }
    return ok;
}

int RunUnguarded(const std::vector<std::string>& args, const std::filesystem::path& programDir, std::istream& in,
                 std::ostream& out, std::ostream& err) {
    stLogCliOptions opt;
    std::string error;
    if (!ParseLogCliArgs(args, opt, error)) {
        err << "quendra-log: " << Shown(error) << "\nTry 'quendra-log --help'.\n";
        return LOGCLI_USAGE;
    }
    if (opt.bHelp) {
        out << kHelp;
        return LOGCLI_OK;
    }
    if (opt.bVersion) {
        out << cmn::VersionLine("quendra-log");
        return LOGCLI_OK;
    }
    std::error_code ec;
    if (!opt.strModelDir.empty() && !std::filesystem::is_directory(opt.strModelDir, ec)) {
        err << "quendra-log: model folder \"" << Shown(opt.strModelDir) << "\" not found\n";
        return LOGCLI_USAGE;
    }
    if (!opt.strOverview.empty()) {
        stOverviewRequest request;
        request.paths.assign(opt.paths.begin(), opt.paths.end());
        request.programDir = programDir;
        request.reportOptions = ReportOptions(opt);
        return RunOverview("quendra-log", request, opt.strOverview, !opt.bNoReports, err);
    }
    if (!OutputsUsable(opt, err)) return LOGCLI_FAILED;

    const std::string name = LogName(opt);
    const stReportOptions options = ReportOptions(opt);
    CLogReports reports(programDir);
    {
        ReportResult loaded = REPORT_LOAD_FAILED;
        std::string problem;
        if (opt.strLogFile == "-") {
            std::vector<std::uint8_t> bytes;
            if (ReadStream(in, CQuendraLog::kMaxFileSize, bytes))
                loaded = reports.LoadLogBytesForReports(std::move(bytes), options);
            else
                problem = "cannot be read, or is larger than a log file can be";
        } else {
            loaded = reports.LoadLogForReports(opt.strLogFile, options);
        }
        if (loaded != REPORT_OK) {
            if (const auto& decode = reports.Log().m_decodeError) problem = Shown(DecodeErrorLine(*decode));
            if (problem.empty()) problem = opt.strLogFile == "-" ? "cannot be read" : ReadProblem(opt.strLogFile);
            err << "quendra-log: " << name << ": " << problem << "\n";
            return LOGCLI_FAILED;
        }
    }
    // The clock error is the PC time of the reading minus the display's
    // clock; without the PC time the option would silently change nothing.
    if (opt.bCompensate && reports.Log().m_strPcTime.empty()) {
        err << "quendra-log: " << name
            << ": --compensate needs the PC time of the log's reading, and a saved log carries none\n";
        return LOGCLI_USAGE;
    }
    if (reports.ModelFolder().empty()) {
        err << "quendra-log: " << name << ": note: \"ModelName.csv\" names no folder for model \""
            << Shown(reports.Log().m_strModel) << "\"; codes are shown as numbers\n";
    }

    bool ok = true;
    auto route = [&](const std::string& path, const char* what, auto&& toStream, auto&& toFile) {
        if (path.empty()) return;
        const bool written = path == "-" ? toStream() : toFile(path) == REPORT_OK;
        if (!written) {
            err << "quendra-log: cannot write the " << what << " to \"" << Shown(path) << "\"\n";
            ok = false;
        }
    };
    route(
        opt.strHtml, "HTML report", [&] { return WriteToStream(out, reports, &WriteHtmlReport); },
        [&](const std::string& path) { return reports.WriteTreatedHtml(path); });
    route(
        opt.strCompare, "comparison text", [&] { return WriteToStream(out, reports, &WriteCompareReport); },
        [&](const std::string& path) { return reports.WriteCompareText(path); });
    route(
        opt.strText, "temperature text", [&] { return WriteBytesToStream(out, reports.Temp().GetText()); },
        [&](const std::string& path) { return reports.WriteTempText(path); });
    if (!opt.strJson.empty()) {
        const std::string json = LogToJson(reports.Log(), reports.List(), reports.Temp(), opt.strLogFile);
        route(
            opt.strJson, "JSON", [&] { return WriteBytesToStream(out, json); },
            [&](const std::string& path) {
                return cmn::WriteFileAtomic(path, json) ? REPORT_OK : REPORT_WRITE_FAILED;
            });
    }
    return ok ? LOGCLI_OK : LOGCLI_FAILED;
}

}  // namespace

int RunOverview(const char* program, const stOverviewRequest& request, const std::filesystem::path& html,
                bool writeReports, std::ostream& err) {
    const stOverviewResult result = WriteOverview(request, html, writeReports);
    for (const std::string& note : result.notes) err << program << ": note: " << Shown(note) << "\n";
    if (!result.bWritten) {
        err << program << ": " << Shown(result.strError) << "\n";
        return LOGCLI_FAILED;
    }
    return LOGCLI_OK;
}

int RunLogCli(const std::vector<std::string>& args, const std::filesystem::path& programDir, std::istream& in,
              std::ostream& out, std::ostream& err) {
    try {
        return RunUnguarded(args, programDir, in, out, err);
    } catch (const std::exception& e) {
        err << "quendra-log: " << Shown(e.what()) << "\n";
    } catch (...) {
        err << "quendra-log: unexpected failure\n";
    }
    return LOGCLI_FAILED;
}

int RunLogCli(const std::vector<std::string>& args, const std::filesystem::path& programDir, std::ostream& out,
              std::ostream& err) {
    return RunLogCli(args, programDir, std::cin, out, err);
}
