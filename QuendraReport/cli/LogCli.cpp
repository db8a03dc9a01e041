#include "cli/LogCli.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <exception>
#include <ostream>

#include "cli/LogJson.h"
#include "common/prompt.h"
#include "common/strutil.h"
#include "common/textfile.h"
#include "report/HtmlDoc.h"
#include "report/ReportPipeline.h"

namespace {

const char* const kHelp =
    "Usage: quendra-log [OPTIONS] LOGFILE\n"
    "\n"
    "Decodes a saved display log (\".dat\") and writes its reports without a GUI.\n"
    "Without an output option the log is only checked.\n"
    "\n"
    "Outputs (FILE may be \"-\" for standard output; files are replaced atomically,\n"
    "so a failed run never leaves a half-written report):\n"
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
    "  --compensate      add the clock error (PC time minus display clock) to times\n"
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
    "\n"
    "Exit status: 0 success, 1 the log could not be read or decoded (the reason\n"
    "is printed on standard error) or an output could not be written, 2 usage error.\n";

// Collects the decoder's messages so they reach standard error.
class CollectingPrompt : public cmn::IPrompt {
public:
    int Message(const std::string& text, unsigned type, const std::string&) override {
        m_messages.push_back(text);
        return (type & 0xF) == cmn::MB_OK ? cmn::IDOK : cmn::IDNO;
    }
    std::vector<std::string> m_messages;
};

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

// The JSON form needs every record in list order beside the list as shown.
std::string JsonOf(CLogReports& reports, const stReportOptions& options, const std::string& source) {
    stReportOptions everything = options;
    everything.nFilter = LOG_FILTER_ALL;
    everything.nSortColumn = LOG_COL_ID;
    everything.bSortAscending = true;
    CLogListCtrl all;
    ApplyListOptions(everything, all);
    all.RefreshList(&reports.Log());
    return LogToJson(reports.Log(), all, reports.List(), reports.Temp(), source);
}

}  // namespace

const char* LogCliHelp() { return kHelp; }

bool ParseLogCliArgs(const std::vector<std::string>& args, stLogCliOptions& options, std::string& error) {
    options = stLogCliOptions{};
    bool haveLog = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= args.size()) {
                error = "option " + arg + " needs a value";
                return false;
            }
            into = args[++i];
            if (into.empty()) {
                error = "option " + arg + " needs a non-empty value";
                return false;
            }
            return true;
        };
        if (arg == "--help" || arg == "-h") {
            options.bHelp = true;
        } else if (arg == "--model-dir") {
            if (!value(options.strModelDir)) return false;
        } else if (arg == "--html") {
            if (!value(options.strHtml)) return false;
        } else if (arg == "--compare") {
            if (!value(options.strCompare)) return false;
        } else if (arg == "--text") {
            if (!value(options.strText)) return false;
        } else if (arg == "--json") {
            if (!value(options.strJson)) return false;
        } else if (arg == "--time-mode") {
            std::string v;
            if (!value(v)) return false;
            if (v != "0" && v != "1") {
                error = "--time-mode takes 0 or 1, not \"" + v + "\"";
                return false;
            }
            options.nTimeMode = v == "1" ? 1 : 0;
        } else if (arg == "--compensate") {
            options.bCompensate = true;
        } else if (arg == "--no-checksum") {
            options.bNoChecksum = true;
        } else if (arg == "--filter") {
            std::string v;
            if (!value(v)) return false;
            unsigned long long bits = 0;
            if (!ParseUnsigned(v, 0xFFFFFFFFull, bits)) {
                error = "--filter takes a number from 0 to 0xFFFFFFFF, not \"" + v + "\"";
                return false;
            }
            options.nFilter = static_cast<std::uint32_t>(bits);
        } else if (arg == "--sort") {
            std::string v;
            if (!value(v)) return false;
            std::string column = v;
            const std::size_t colon = v.find(':');
            if (colon != std::string::npos) {
                column = v.substr(0, colon);
                const std::string dir = v.substr(colon + 1);
                if (dir == "desc") {
                    options.bSortDescending = true;
                } else if (dir != "asc") {
                    error = "--sort direction must be asc or desc, not \"" + dir + "\"";
                    return false;
                }
            }
            if (column.size() != 1 || column[0] < '0' || column[0] >= '0' + LOG_COLUMN_COUNT) {
                error = "--sort takes a column from 0 to 6, not \"" + column + "\"";
                return false;
            }
            options.nSortColumn = column[0] - '0';
        } else if (arg == "--") {
            if (i + 2 != args.size() || haveLog) {
                error = "exactly one LOGFILE is expected";
                return false;
            }
            options.strLogFile = args[++i];
            haveLog = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            error = "unknown option \"" + arg + "\"";
            return false;
        } else {
            if (haveLog) {
                error = "exactly one LOGFILE is expected";
                return false;
            }
            options.strLogFile = arg;
            haveLog = true;
        }
    }
    if (options.bHelp) return true;
    if (!haveLog || options.strLogFile.empty()) {
        error = "no LOGFILE given";
        return false;
    }
    return true;
}

namespace {

int RunUnguarded(const std::vector<std::string>& args, const std::filesystem::path& programDir, std::ostream& out,
                 std::ostream& err) {
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
    std::error_code ec;
    if (!opt.strModelDir.empty() && !std::filesystem::is_directory(opt.strModelDir, ec)) {
        err << "quendra-log: model folder \"" << Shown(opt.strModelDir) << "\" not found\n";
        return LOGCLI_USAGE;
    }

    const stReportOptions options = ReportOptions(opt);
    CLogReports reports(programDir);
    {
        CollectingPrompt prompt;
        cmn::ScopedPrompt scoped(prompt);
        const ReportResult loaded = reports.LoadLogForReports(opt.strLogFile, options);
        for (const std::string& m : prompt.m_messages) err << m << "\n";
        if (loaded != REPORT_OK) {
            if (prompt.m_messages.empty()) err << "quendra-log: cannot read \"" << Shown(opt.strLogFile) << "\"\n";
            return LOGCLI_FAILED;
        }
    }
    if (reports.ModelFolder().empty()) {
        err << "quendra-log: note: \"ModelName.csv\" names no folder for model \"" << Shown(reports.Log().m_strModel)
            << "\"; codes are shown as numbers\n";
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
        const std::string json = JsonOf(reports, options, opt.strLogFile);
        route(
            opt.strJson, "JSON", [&] { return WriteBytesToStream(out, json); },
            [&](const std::string& path) {
                return cmn::WriteFileAtomic(path, json) ? REPORT_OK : REPORT_WRITE_FAILED;
            });
    }
    return ok ? LOGCLI_OK : LOGCLI_FAILED;
}

}  // namespace

int RunLogCli(const std::vector<std::string>& args, const std::filesystem::path& programDir, std::ostream& out,
              std::ostream& err) {
    try {
        return RunUnguarded(args, programDir, out, err);
    } catch (const std::exception& e) {
        err << "quendra-log: " << Shown(e.what()) << "\n";
    } catch (...) {
        err << "quendra-log: unexpected failure\n";
    }
    return LOGCLI_FAILED;
}
