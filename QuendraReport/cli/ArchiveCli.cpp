#include "cli/ArchiveCli.h"

#include <cstdio>
#include <memory>
#include <ostream>
#include <vector>

#include "archive/Collection.h"
#include "archive/HistoryArchive.h"
#include "cli/LogCli.h"
#include "common/codepage.h"
#include "common/strutil.h"
#include "common/textfile.h"
#include "common/timeutil.h"
#include "report/LogJson.h"
#include "report/Overview.h"
#include "report/ReportPipeline.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kProgram = "quendra-log: ";

std::string Shown(std::string_view text) { return cmn::EscapeNonPrintable(text); }

std::string Day(std::time_t t) { return t == 0 ? "-" : cmn::FormatLocal(t, "%Y-%m-%d %H:%M:%S"); }

std::unique_ptr<hist::IHistoryArchive> OpenArchive(const stLogCliOptions& opt, hist::ArchiveAccess access,
                                                   std::ostream& err) {
    std::string error;
    fs::path path = opt.strArchive;
    if (path.empty()) path = hist::DefaultArchivePath(access == hist::ArchiveAccess::kWrite, error);
    std::unique_ptr<hist::IHistoryArchive> archive;
    if (!path.empty()) archive = hist::OpenArchiveFile(path, access, error);
    if (!archive) err << kProgram << Shown(error) << "\n";
    return archive;
}

int AddLogs(const stLogCliOptions& opt, const fs::path& programDir, std::ostream& out, std::ostream& err) {
    std::vector<fs::path> logs;
    std::vector<std::string> notes;
    std::string error;
    const bool found = FindLogFiles({opt.paths.begin(), opt.paths.end()}, logs, notes, error);
    for (const std::string& note : notes) err << kProgram << "note: " << Shown(note) << "\n";
    if (!found) {
        err << kProgram << Shown(error) << "\n";
        return LOGCLI_FAILED;
    }
    auto archive = OpenArchive(opt, hist::ArchiveAccess::kWrite, err);
    if (!archive) return LOGCLI_FAILED;
    CQuendraLog decoder(programDir);
    if (opt.bNoChecksum) decoder.m_bCheckSum = 0;
    int failed = 0;
    for (const fs::path& file : logs) {
        hist::stFileAdd add;
        if (!hist::AddLogFile(*archive, decoder, file, false, add)) {
            err << kProgram << Shown(file.string()) << ": " << Shown(add.strError) << "\n";
            ++failed;
            continue;
        }
        out << Shown(file.string()) << ": " << Shown(add.display.strModel) << " " << Shown(add.display.strSerial)
            << ": ";
        if (add.result.bKnownCollection)
            out << "already in the archive\n";
        else
            out << add.result.nRecords << " records, " << add.result.nNewRecords << " new\n";
    }
    if (failed > 0) err << kProgram << failed << " of " << logs.size() << " logs not added\n";
    return failed == 0 ? LOGCLI_OK : LOGCLI_FAILED;
}

std::string DisplaysJson(const std::vector<hist::stDisplaySummary>& displays) {
    std::string json = "{\"displays\": [";
    const char* sep = "\n  ";
    for (const hist::stDisplaySummary& d : displays) {
        json += sep;
        sep = ",\n  ";
        json += "{\"model\": " + JsonString(cmn::Cp932ToUtf8(d.display.strModel)) +
                ", \"serial\": " + JsonString(cmn::Cp932ToUtf8(d.display.strSerial)) +
                ", \"collections\": " + std::to_string(d.nCollections) +
                ", \"first\": " + JsonString(Day(d.tFirst)) + ", \"last\": " + JsonString(Day(d.tLast)) +
                ", \"records\": " + std::to_string(d.nRecords) + ", \"abnormal\": " + std::to_string(d.nAbnormal) +
                ", \"new_in_last\": " + std::to_string(d.nLastNew) + "}";
    }
    json += displays.empty() ? "]}\n" : "\n]}\n";
    return json;
}

int ListDisplays(const stLogCliOptions& opt, std::ostream& out, std::ostream& err) {
    auto archive = OpenArchive(opt, hist::ArchiveAccess::kRead, err);
    if (!archive) return LOGCLI_FAILED;
    std::vector<hist::stDisplaySummary> displays;
    std::string error;
    if (!archive->ListDisplays(displays, error)) {
        err << kProgram << Shown(error) << "\n";
        return LOGCLI_FAILED;
    }
    if (!opt.strJson.empty()) {
        const std::string json = DisplaysJson(displays);
        const bool written = opt.strJson == "-" ? static_cast<bool>(out << json << std::flush)
                                                : cmn::WriteFileAtomic(opt.strJson, json);
        if (!written) err << kProgram << "cannot write the JSON to \"" << Shown(opt.strJson) << "\"\n";
        return written ? LOGCLI_OK : LOGCLI_FAILED;
    }
    out << cmn::StrPrintf("%-16s %-16s %5s %-19s  %-19s  %8s %8s %8s\n", "SERIAL", "MODEL", "LOGS", "FIRST",
                          "LAST", "RECORDS", "ABNORMAL", "NEW");
    for (const hist::stDisplaySummary& d : displays)
        out << cmn::StrPrintf("%-16s %-16s %5zu %-19s  %-19s  %8zu %8zu %8zu\n", Shown(d.display.strSerial).c_str(),
                              Shown(d.display.strModel).c_str(), d.nCollections, Day(d.tFirst).c_str(),
                              Day(d.tLast).c_str(), d.nRecords, d.nAbnormal, d.nLastNew);
    return out.flush() ? LOGCLI_OK : LOGCLI_FAILED;
}

// The display a SERIAL (and --model) names: exactly one of the archive's.
bool PickDisplay(hist::IHistoryArchive& archive, const stLogCliOptions& opt, hist::stDisplayKey& key,
                 std::string& error) {
    std::vector<hist::stDisplaySummary> displays;
    if (!archive.ListDisplays(displays, error)) return false;
    const std::string& serial = opt.paths.front();
    std::vector<hist::stDisplayKey> matches;
    for (const hist::stDisplaySummary& d : displays)
        if ((d.display.strSerial == serial || cmn::Cp932ToUtf8(d.display.strSerial) == serial) &&
            (opt.strModel.empty() || d.display.strModel == opt.strModel ||
             cmn::Cp932ToUtf8(d.display.strModel) == opt.strModel))
            matches.push_back(d.display);
    if (matches.size() == 1) {
        key = matches.front();
        return true;
    }
    if (matches.empty()) {
        error = "the archive holds no display with serial number \"" + serial + "\"" +
                (opt.strModel.empty() ? "" : " and model \"" + opt.strModel + "\"");
    } else {
        error = "serial number \"" + serial + "\" belongs to displays of several models (";
        for (std::size_t i = 0; i < matches.size(); ++i)
            error += (i ? ", " : "") + std::string("\"") + matches[i].strModel + "\"";
        error += "); choose one with --model";
    }
    return false;
}

int ReportHistory(const stLogCliOptions& opt, const fs::path& programDir, std::ostream& out, std::ostream& err) {
    std::optional<std::time_t> since;
    if (!opt.strSince.empty()) {
        since = ParseDay(opt.strSince);
        if (!since) {
            err << kProgram << "--since takes a date YYYY-MM-DD, not \"" << Shown(opt.strSince) << "\"\n";
            return LOGCLI_USAGE;
        }
    }
    auto archive = OpenArchive(opt, hist::ArchiveAccess::kRead, err);
    if (!archive) return LOGCLI_FAILED;
    std::string error;
    hist::stDisplayKey key;
    hist::stDisplayHistory history;
    if (!PickDisplay(*archive, opt, key, error) || !archive->History(key, since, history, error)) {
        err << kProgram << Shown(error) << "\n";
        return LOGCLI_FAILED;
    }
    stReportOptions options;
    options.modelFolder = opt.strModelDir;
    options.nTimeMode = opt.nTimeMode;
    options.nFilter = opt.nFilter;
    options.nSortColumn = opt.nSortColumn;
    options.bSortAscending = !opt.bSortDescending;
    CLogReports reports(programDir);
    const auto fill = [&](CQuendraLog& log) {
        hist::HistoryToLog(history, log);
        return 1;
    };
    if (reports.LoadDecodedForReports(fill, options) != REPORT_OK) {
        err << kProgram << "the history of " << Shown(key.strSerial) << " cannot be shown\n";
        return LOGCLI_FAILED;
    }
    return WriteLogOutputs(opt, reports, "archive:" + key.strModel + "/" + key.strSerial, out, err);
}

}  // namespace

std::optional<std::time_t> ParseDay(const std::string& text) {
    int year = 0, month = 0, day = 0;
    char tail = 0;
    if (text.size() != 10 || text[4] != '-' || text[7] != '-' ||
        std::sscanf(text.c_str(), "%4d-%2d-%2d%c", &year, &month, &day, &tail) != 3)
        return std::nullopt;
    for (std::size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
    const std::time_t t = cmn::LocalTime(year, month, day, 0, 0, 0);
    cmn::LocalFields f;
    if (t == -1 || !cmn::SplitLocal(t, f) || f.year != year || f.month != month || f.day != day)
        return std::nullopt;
    return t;
}

OverviewHistoryLookup ArchiveHistoryLookup(const std::string& path, const fs::path& programDir,
                                           bool skipCheckSum, std::string& error) {
    fs::path file = path;
    if (file.empty()) file = hist::DefaultArchivePath(false, error);
    if (file.empty()) return {};
    std::shared_ptr<hist::IHistoryArchive> archive = hist::OpenArchiveFile(file, hist::ArchiveAccess::kRead, error);
    if (!archive) return {};
    auto displays = std::make_shared<std::vector<hist::stDisplaySummary>>();
    if (!archive->ListDisplays(*displays, error)) return {};
    auto decoder = std::make_shared<CQuendraLog>(programDir);
    if (skipCheckSum) decoder->m_bCheckSum = 0;
    return [archive, decoder, displays](const stOverviewRow& row) -> std::optional<stOverviewHistory> {
        hist::stFileAdd add;
        if (!hist::AddLogFile(*archive, *decoder, row.logFile, true, add)) return std::nullopt;
        stOverviewHistory h;
        h.nNewSinceLast = add.result.nNewRecords;
        // The history as the archive holds it (nothing for a display it does not know).
        for (const hist::stDisplaySummary& d : *displays) {
            if (!(d.display == add.display)) continue;
            h.nRecords = d.nRecords;
            h.nAbnormal = d.nAbnormal;
            h.nCollections = d.nCollections;
        }
        return h;
    };
}

int RunArchiveCommand(const stLogCliOptions& opt, const fs::path& programDir, std::ostream& out,
                      std::ostream& err) {
    if (opt.strArchiveCommand == "add") return AddLogs(opt, programDir, out, err);
    if (opt.strArchiveCommand == "list") return ListDisplays(opt, out, err);
    return ReportHistory(opt, programDir, out, err);
}
