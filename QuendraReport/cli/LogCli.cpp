#include "cli/LogCli.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <ostream>

#include "app/StartUp.h"
#include "cli/LogJson.h"
#include "common/prompt.h"
#include "common/textfile.h"
#include "syslog/HtmlDoc.h"
#include "syslog/LogListCtrl.h"
#include "syslog/LogReportFile.h"
#include "syslog/QuendraLog.h"
#include "templog/TempLogCtrl.h"

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

// Writes `bytes` to `path`, or to `out` for "-".
bool Emit(const std::string& path, const std::string& bytes, std::ostream& out) {
    if (path == "-") {
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.flush();
        return static_cast<bool>(out);
    }
    return cmn::WriteFileAtomic(path, bytes);
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

int RunLogCli(const std::vector<std::string>& args, const std::filesystem::path& programDir, std::ostream& out,
              std::ostream& err) {
    stLogCliOptions opt;
    std::string error;
    if (!ParseLogCliArgs(args, opt, error)) {
        err << "quendra-log: " << error << "\nTry 'quendra-log --help'.\n";
        return LOGCLI_USAGE;
    }
    if (opt.bHelp) {
        out << kHelp;
        return LOGCLI_OK;
    }
    std::error_code ec;
    if (!opt.strModelDir.empty() && !std::filesystem::is_directory(opt.strModelDir, ec)) {
        err << "quendra-log: model folder \"" << opt.strModelDir << "\" not found\n";
        return LOGCLI_USAGE;
    }

    CQuendraLog log(programDir);
    if (opt.bNoChecksum) log.m_bCheckSum = 0;
    {
        CollectingPrompt prompt;
        cmn::ScopedPrompt scoped(prompt);
        const int ok = log.ReadBin(opt.strLogFile);
        for (const std::string& m : prompt.m_messages) err << m << "\n";
        if (!ok) {
            if (prompt.m_messages.empty()) err << "quendra-log: cannot read \"" << opt.strLogFile << "\"\n";
            return LOGCLI_FAILED;
        }
    }

    std::filesystem::path modelDir = opt.strModelDir;
    if (modelDir.empty()) {
        const std::string folder = GetFolderName(programDir, log.m_strModel);
        if (folder.empty()) {
            err << "quendra-log: note: \"ModelName.csv\" names no folder for model \"" << log.m_strModel
                << "\"; codes are shown as numbers\n";
        } else {
            modelDir = programDir / folder;
        }
    }

    CLogListCtrl list;
    list.m_bTimeMode = opt.nTimeMode;
    list.m_bTimeCompensation = opt.bCompensate ? 1 : 0;
    list.Initialize(modelDir.string());
    list.m_nFilter = opt.nFilter;
    list.m_nSortColumn = opt.nSortColumn;
    list.m_bSortAscending = opt.bSortDescending ? 0 : 1;
    list.RefreshList(&log);

    CTempLogCtrl temp;
    temp.m_bTimeMode = opt.nTimeMode;
    temp.m_bTimeCompensation = opt.bCompensate ? 1 : 0;
    temp.Initialize(modelDir.string());
    temp.Refresh(&log);

    bool ok = true;
    auto emit = [&](const std::string& path, const std::string& bytes, const char* what) {
        if (path.empty()) return;
        if (!Emit(path, bytes, out)) {
            err << "quendra-log: cannot write the " << what << " to \"" << path << "\"\n";
            ok = false;
        }
    };
    // Reports are written as they are built, straight into their file.
    auto report = [&](const std::string& path, const char* what, void (*write)(CTextSink&, const CLogListCtrl&,
                                                                              const CTempLogCtrl&)) {
        if (path.empty()) return;
        bool written;
        if (path == "-") {
            CStreamSink sink(out);
            write(sink, list, temp);
            written = sink.Flush() && static_cast<bool>(out.flush());
        } else {
            written = WriteReportFile(path, [&](CTextSink& sink) {
                write(sink, list, temp);
                return true;
            });
        }
        if (!written) {
            err << "quendra-log: cannot write the " << what << " to \"" << path << "\"\n";
            ok = false;
        }
    };
    report(opt.strHtml, "HTML report", &WriteHtmlReport);
    report(opt.strCompare, "comparison text", &WriteCompareReport);
    emit(opt.strText, temp.GetText(), "temperature text");
    if (!opt.strJson.empty()) {
        CLogListCtrl all;
        all.m_bTimeMode = opt.nTimeMode;
        all.m_bTimeCompensation = list.m_bTimeCompensation;
        all.UpdateColumn();
        all.RefreshList(&log);
        emit(opt.strJson, LogToJson(log, all, list, temp, opt.strLogFile), "JSON");
    }
    return ok ? LOGCLI_OK : LOGCLI_FAILED;
}
