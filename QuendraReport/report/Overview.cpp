#include "report/Overview.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>
#include <tuple>

#include "common/codepage.h"
#include "common/strutil.h"
#include "common/textfile.h"
#include "common/timeutil.h"
#include "report/FleetSummary.h"
#include "syslog/CodeTables.h"
#include "syslog/LogListCtrl.h"
#include "syslog/QuendraLog.h"
#include "templog/TempLogCtrl.h"

namespace fs = std::filesystem;

namespace {

constexpr std::int64_t kDay = 86400;
constexpr int kMaxThreads = 8;
// The displays' text port: the fleet run names a display without it.
constexpr int kDefaultTextPort = 10008;
// A threshold of -128 marks an unused sensor.
constexpr int kUnusedThreshold = -128;
const char* const kSummaryName = "summary.jsonl";
// The collection time stamped before ".dat": "_YYYYmmdd-HHMMSS".
constexpr std::size_t kStampLength = 16;

// Power-off reasons that tell of trouble: the supply lost, and the display
// switching itself off to protect itself (a protection, temperature, a fan).
constexpr int kPowerFailureReasons[] = {7};
constexpr int kProtectionReasons[] = {5, 8, 9};

template <std::size_t N>
bool OneOf(const int (&codes)[N], int code) {
    return std::find(std::begin(codes), std::end(codes), code) != std::end(codes);
}

// ---- where the logs are -------------------------------------------------------

bool IsLogFile(const fs::path& p) { return cmn::EqualsNoCase(p.extension().string(), ".dat"); }

// A path in a message, as it is (whoever prints it makes it safe to print).
std::string Name(const fs::path& p) { return p.string(); }

struct stSummaryFile {
    fs::path dir;
    fs::path real;  // the folder with links resolved
    stFleetSummary summary;
};

struct stSources {
    std::vector<fs::path> logs;
    std::vector<stSummaryFile> summaries;
};

void ReadSummary(const fs::path& file, stSources& sources, std::vector<std::string>& notes) {
    // A folder named twice is one fleet: its displays once.
    std::error_code ec;
    const fs::path dir = fs::weakly_canonical(file.parent_path(), ec);
    for (const stSummaryFile& known : sources.summaries)
        if (known.real == dir) return;
    std::string text;
    if (!cmn::ReadFileBytes(file, text, kMaxFleetSummaryBytes)) {
        notes.push_back(Name(file) + ": cannot be read, or is larger than " +
                        std::to_string(kMaxFleetSummaryBytes) + " bytes; its displays are not named");
        return;
    }
    stSummaryFile s{file.parent_path(), dir, ParseFleetSummary(text)};
    for (const std::string& problem : s.summary.problems) notes.push_back(Name(file) + " " + problem + ": left out");
    sources.summaries.push_back(std::move(s));
}

// Every "*.dat" under `dir` (links to folders are not followed, so no folder
// is read twice and no loop is entered) and its summary when it has one.
void SearchFolder(const fs::path& dir, stSources& sources, std::vector<std::string>& notes) {
    std::error_code ec;
    const fs::path summary = dir / kSummaryName;
    if (fs::is_regular_file(fs::symlink_status(summary, ec))) ReadSummary(summary, sources, notes);
    fs::recursive_directory_iterator it(dir, fs::directory_options::skip_permission_denied, ec), end;
    if (ec) {
        notes.push_back(Name(dir) + ": " + ec.message());
        return;
    }
    for (; it != end; it.increment(ec)) {
        if (ec) {
            notes.push_back(Name(dir) + ": " + ec.message());
            break;
        }
        std::error_code kindEc;
        if (IsLogFile(it->path()) && it->is_regular_file(kindEc)) sources.logs.push_back(it->path());
    }
}

bool FindSources(const std::vector<fs::path>& paths, stSources& sources, std::vector<std::string>& notes,
                 std::string& error) {
    for (const fs::path& given : paths) {
        std::error_code ec;
        const fs::path path = fs::absolute(given, ec).lexically_normal();
        const fs::file_status st = fs::status(path, ec);
        if (fs::is_directory(st)) {
            SearchFolder(path, sources, notes);
        } else if (fs::is_regular_file(st)) {
            if (path.filename() == kSummaryName)
                ReadSummary(path, sources, notes);
            else
                sources.logs.push_back(path);
        } else {
            error = Name(given) + (fs::exists(st) ? ": neither a log file nor a folder" : ": no such file or folder");
            return false;
        }
    }
    // Each file once, however it was reached, in a fixed order.
    std::sort(sources.logs.begin(), sources.logs.end());
    std::set<fs::path> seen;
    std::vector<fs::path> unique;
    for (const fs::path& log : sources.logs) {
        std::error_code ec;
        const fs::path real = fs::weakly_canonical(log, ec);
        if (seen.insert(ec ? log : real).second) unique.push_back(log);
    }
    sources.logs = std::move(unique);
    return true;
}

// ---- one log ----------------------------------------------------------------------

std::string Utf8(std::string_view cp932) { return cmn::Cp932ToUtf8(cp932); }

std::optional<std::time_t> FileTime(const fs::path& file) {
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) return std::nullopt;
    return st.st_mtime;
}

// The display clock of a log (twelve digits YYMMDDhhmmss) as the instant its
// wall-clock time stands for, daylight saving as the time zone has it, so
// that it compares with the collection time (the log object's Date2Time reads
// it as standard time, to compare with a PC time read the same way).
std::optional<std::time_t> DisplayClock(const std::string& digits) {
    if (digits.size() != 12 || digits.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
    int v[6];
    for (int i = 0; i < 6; ++i) v[i] = (digits[2 * i] - '0') * 10 + (digits[2 * i + 1] - '0');
    if (v[1] < 1 || v[1] > 12 || v[2] < 1 || v[2] > 31) return std::nullopt;
    const std::time_t t = cmn::LocalTime(2000 + v[0], v[1], v[2], v[3], v[4], v[5]);
    if (t == static_cast<std::time_t>(-1)) return std::nullopt;
    return t;
}

// The code tables of each model, loaded once and then read by every thread.
class ModelTables {
public:
    ModelTables(const fs::path& programDir, const fs::path& folderForAll)
        : m_programDir(programDir), m_folderForAll(folderForAll) {}

    struct stTables {
        fs::path folder;
        std::shared_ptr<const CCodeTables> tables;
    };
    stTables For(const std::string& model) {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto byModel = m_folders.find(model);
        if (byModel == m_folders.end()) {
            const fs::path folder = m_folderForAll.empty() ? ModelFolderFor(m_programDir, model) : m_folderForAll;
            byModel = m_folders.emplace(model, folder).first;
        }
        std::shared_ptr<const CCodeTables>& tables = m_tables[byModel->second];
        if (!tables) {
            auto loaded = std::make_shared<CCodeTables>();
            if (!byModel->second.empty()) loaded->LoadAll(byModel->second);
            tables = std::move(loaded);
        }
        return {byModel->second, tables};
    }

private:
    std::mutex m_mutex;
    fs::path m_programDir;
    fs::path m_folderForAll;
    std::map<std::string, fs::path> m_folders;
    std::map<fs::path, std::shared_ptr<const CCodeTables>> m_tables;
};

// What the rows are built from, besides the log itself.
struct stRowContext {
    std::optional<std::time_t> reference;  // "recent" counts back from here

    bool Recent(std::time_t t) const { return reference && t > *reference - kRecentDays * kDay; }
};

void FillInformation(const CQuendraLog& log, stOverviewRow& row) {
    for (const auto& [name, value] : InfoEntries(log.m_strInfo)) {
        if (name == "Usage Time") {
            row.strUsageTime = Utf8(value);
        } else if (name != "ID" && name != "Date/Time Setting" && !value.empty()) {
            row.firmware.emplace_back(Utf8(name), Utf8(value));
        }
    }
}

void FillRecords(const CQuendraLog& log, const CCodeTables& tables, const stRowContext& ctx, stOverviewRow& row) {
    row.nRecords = log.m_listLog.size();
    std::set<std::tuple<std::time_t, int, int, int, int>> recentAbnormal;
    std::set<std::pair<std::time_t, int>> failures, protections;
    const stLogItem* newest = nullptr;
    for (const stLogItem& item : log.m_listLog) {
        const bool recent = ctx.Recent(item.tmTime);
        if (item.nKind == LOG_KIND_ABNORMAL) {
            const auto group = static_cast<std::size_t>(item.nGroup & 3);
            ++row.abnormal[group];
            if (recent) {
                ++row.abnormalRecent[group];
                recentAbnormal.emplace(item.tmTime, item.nCode, item.nInput, item.nParam1, item.nParam2);
            }
            if (newest == nullptr || item.tmTime > newest->tmTime) newest = &item;
        } else if (item.nKind == LOG_KIND_POWER) {
            const std::pair<std::time_t, int> event{item.tmTime, item.nCode};
            if (OneOf(kPowerFailureReasons, item.nCode) && failures.insert(event).second) {
                ++row.nPowerFailures;
                if (recent) ++row.nPowerFailuresRecent;
            } else if (OneOf(kProtectionReasons, item.nCode) && protections.insert(event).second) {
                ++row.nProtections;
                if (recent) ++row.nProtectionsRecent;
            }
        }
    }
    row.facts.nAbnormalRecent = static_cast<std::int64_t>(recentAbnormal.size());
    row.facts.nPowerFailuresRecent = row.nPowerFailuresRecent;
    row.facts.nProtectionsRecent = row.nProtectionsRecent;
    if (newest != nullptr) {
        stNewestAbnormal n;
        n.tTime = newest->tmTime;
        std::string text;
        CLogListCtrl::KindText(tables, *newest, text);
        n.strKind = Utf8(text);
        CLogListCtrl::InfoText(tables, *newest, text);
        n.strInfo = Utf8(text);
        row.newestAbnormal = std::move(n);
    }
}

std::optional<int> Threshold(int value) {
    if (value == kUnusedThreshold) return std::nullopt;
    return value;
}

// Events of a format 4 history in the recent days (only the slots it keeps).
int RecentSlots(const std::vector<stTempErrorLog>& slots, int counter, const stRowContext& ctx) {
    int n = 0;
    const auto kept = std::min<std::size_t>(static_cast<std::size_t>(std::max(counter, 0)), slots.size());
    for (std::size_t i = 0; i < kept; ++i)
        if (slots[i].dwTime != 0 && ctx.Recent(cmn::DisplayToTime(slots[i].dwTime))) ++n;
    return n;
}

void FillTemperatureV4(const stTempLogV4& t, const stRowContext& ctx, stOverviewRow& row) {
    stTemperatureSummary s;
    s.nFormat = 4;
    for (std::size_t i = 0; i < t.listCurrentTemp.size(); ++i) {
        stSensorReading r;
        r.nSensor = static_cast<int>(i) + 1;
        r.nCurrent = t.listCurrentTemp[i].nTemp1;
        if (i < t.listMaxTemp.size()) r.nMaximum = t.listMaxTemp[i].nTemp1;
        if (i < t.listHighTempErrThreshold.size()) r.nHighTemp = Threshold(t.listHighTempErrThreshold[i].nTemp1);
        if (i < t.listPowerOffThreshold.size()) r.nPowerOff = Threshold(t.listPowerOffThreshold[i].nTemp1);
        if (r.nMaximum && r.nPowerOff && *r.nMaximum >= *r.nPowerOff) ++row.facts.nSensorsAtPowerOff;
        if (r.nMaximum && r.nHighTemp && *r.nMaximum >= *r.nHighTemp) ++row.facts.nSensorsAtHighTemp;
        s.sensors.push_back(r);
    }
    s.nBrightDown = t.wBrightDownCount;
    s.nHighTemp = t.wHighTempCount;
    s.nPowerOff = t.wPowerOffCount;
    row.facts.nHighTempRecent = RecentSlots(t.aryHighTempLog, t.wHighTempCount, ctx);
    row.facts.nTempPowerOffsRecent = RecentSlots(t.aryPowerOffLog, t.wPowerOffCount, ctx);
    row.temperature = std::move(s);
}

void FillTemperatureV5(const stTempLogV5& t, const stRowContext& ctx, stOverviewRow& row) {
    stTemperatureSummary s;
    s.nFormat = 5;
    for (std::size_t i = 0; i < t.listCurrentTemp.size(); ++i) {
        stSensorReading r;
        r.nSensor = static_cast<int>(i) + 1;
        r.nCurrent = t.listCurrentTemp[i].nTemp1;
        if (i < t.listPowerOffThreshold.size()) r.nPowerOff = Threshold(t.listPowerOffThreshold[i].nTemp1);
        const bool brightUnused =
            i < t.listBrightCtrlThreshold.size() && !Threshold(t.listBrightCtrlThreshold[i].nTemp1);
        r.bUnused = !r.nPowerOff || brightUnused;
        // Format 5 keeps no maximum: the current temperature is all there is.
        if (!r.bUnused && r.nCurrent >= *r.nPowerOff) ++row.facts.nSensorsAtPowerOff;
        s.sensors.push_back(r);
    }
    const std::uint32_t off = t.logPowerOff.dwTime;
    row.facts.nTempPowerOffsRecent = off != 0 && ctx.Recent(cmn::DisplayToTime(off)) ? 1 : 0;
    row.temperature = std::move(s);
}

// The decoder's message as one line: "Check sum error. (address 0x1FE)".
std::string DecodeProblem(const CQuendraLog& log) {
    return log.m_decodeError ? DecodeErrorLine(*log.m_decodeError) : "cannot be read";
}

// One thread's decoder: a log object and a temperature control of its own.
class RowBuilder {
public:
    RowBuilder(const stOverviewRequest& request, ModelTables& tables)
        : m_log(request.programDir), m_tables(tables) {
        if (request.reportOptions.bSkipCheckSum) m_log.m_bCheckSum = 0;
    }

    stOverviewRow Build(const fs::path& file) {
        stOverviewRow row;
        row.logFile = file;
        row.collected = StampedCollectionTime(file);
        row.collectedFrom = CollectedFrom::kFileName;
        if (!row.collected) {
            row.collected = FileTime(file);
            row.collectedFrom = row.collected ? CollectedFrom::kFileTime : CollectedFrom::kUnknown;
        }
        const bool decoded = m_log.ReadBin(file) == 1;
        row.strModel = Utf8(m_log.m_strModel);
        row.strSerial = Utf8(m_log.m_strSerial);
        if (!decoded) {
            row.source = stOverviewRow::Source::kUndecodable;
            row.strProblem = Utf8(DecodeProblem(m_log));
            row.facts.nUndecodable = 1;
            return row;
        }
        FillInformation(m_log, row);
        row.displayClock = DisplayClock(m_log.m_strDispTime);
        if (row.displayClock && row.collected) {
            row.clockGap = static_cast<std::int64_t>(*row.displayClock) - static_cast<std::int64_t>(*row.collected);
            row.facts.nClockGapSeconds = *row.clockGap < 0 ? -*row.clockGap : *row.clockGap;
        }
        stRowContext ctx;
        ctx.reference = row.displayClock ? row.displayClock : row.collected;
        const ModelTables::stTables tables = m_tables.For(m_log.m_strModel);
        row.modelFolder = tables.folder;
        FillRecords(m_log, *tables.tables, ctx, row);

        m_temp.SetLogObject(&m_log);
        m_temp.SetTempLog();
        if (const stTempLogV4* v4 = m_temp.GetTempLogV4()) FillTemperatureV4(*v4, ctx, row);
        if (const stTempLogV5* v5 = m_temp.GetTempLogV5()) FillTemperatureV5(*v5, ctx, row);
        m_temp.ClearTempLog();
        return row;
    }

private:
    CQuendraLog m_log;
    CTempLogCtrl m_temp;
    ModelTables& m_tables;
};

unsigned ThreadCount(unsigned wanted, std::size_t jobs) {
    unsigned n = wanted;
    if (n == 0) n = std::min<unsigned>(std::max(1u, std::thread::hardware_concurrency()), kMaxThreads);
    return static_cast<unsigned>(std::max<std::size_t>(1, std::min<std::size_t>(n, jobs)));
}

// Runs work(state, i) for i in [0, count) on at most `threads` threads
// (this one among them); each thread makes its own state with make() first.
// An exception of any thread is thrown here once all have ended.
template <typename Make, typename Work>
void Parallel(std::size_t count, unsigned threads, Make make, Work work) {
    std::atomic<std::size_t> next{0};
    std::mutex mutex;
    std::exception_ptr failure;
    auto run = [&] {
        try {
            auto state = make();
            for (std::size_t i = next++; i < count; i = next++) work(state, i);
        } catch (...) {
            std::lock_guard<std::mutex> lock(mutex);
            if (!failure) failure = std::current_exception();
        }
    };
    std::vector<std::thread> pool;
    try {
        for (unsigned t = 1; t < threads; ++t) pool.emplace_back(run);
    } catch (const std::system_error&) {
        // Fewer threads than asked for: those there are share the work.
    }
    run();
    for (std::thread& t : pool) t.join();
    if (failure) std::rethrow_exception(failure);
}

std::vector<stOverviewRow> DecodeLogs(const stOverviewRequest& request, const std::vector<fs::path>& logs) {
    ModelTables tables(request.programDir, request.reportOptions.modelFolder);
    std::vector<stOverviewRow> rows(logs.size());
    Parallel(
        logs.size(), ThreadCount(request.nThreads, logs.size()),
        [&] { return std::make_unique<RowBuilder>(request, tables); },
        [&](std::unique_ptr<RowBuilder>& builder, std::size_t i) {
            try {
                rows[i] = builder->Build(logs[i]);
            } catch (const std::exception& e) {
                rows[i] = stOverviewRow{};
                rows[i].logFile = logs[i];
                rows[i].source = stOverviewRow::Source::kUndecodable;
                rows[i].strProblem = std::string("cannot be read: ") + e.what();
                rows[i].facts.nUndecodable = 1;
            }
        });
    return rows;
}

// ---- the fleet ------------------------------------------------------------------------

// Of the logs of one serial number, the newest (by collection time, then by
// file name) stays; it counts the others.
void KeepNewestPerSerial(std::vector<stOverviewRow>& rows) {
    auto newer = [](const stOverviewRow& a, const stOverviewRow& b) {
        const std::time_t ta = a.collected.value_or(0), tb = b.collected.value_or(0);
        return ta != tb ? ta > tb : a.logFile > b.logFile;
    };
    std::map<std::string, std::size_t> newest;  // serial -> row
    std::vector<bool> keep(rows.size(), true);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].source != stOverviewRow::Source::kLog || rows[i].strSerial.empty()) continue;
        auto [at, fresh] = newest.emplace(rows[i].strSerial, i);
        if (fresh) continue;
        std::size_t& best = at->second;
        const std::size_t older = newer(rows[i], rows[best]) ? best : i;
        if (older == best) best = i;
        keep[older] = false;
        rows[best].nOlderLogs += 1 + rows[older].nOlderLogs;
    }
    std::vector<stOverviewRow> kept;
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (keep[i]) kept.push_back(std::move(rows[i]));
    rows = std::move(kept);
}

std::string HostLabel(const stFleetSummaryEntry& e) {
    std::string label = e.strHost;
    if (e.nPort != 0 && e.nPort != kDefaultTextPort) label += ":" + std::to_string(e.nPort);
    if (e.nDisplayId != 0) label += " id " + std::to_string(e.nDisplayId);
    return label;
}

// Why a display was not collected, as the summary says it.
std::string NotCollectedProblem(const stFleetSummaryEntry& e) {
    if (e.strStatus == "cancelled") return "cancelled" + (e.strMessage.empty() ? "" : ": " + e.strMessage);
    if (e.strReason.empty()) return e.strMessage.empty() ? "not collected" : e.strMessage;
    std::string text = e.strReason;
    if (!e.strStep.empty()) text += " at " + e.strStep;
    if (!e.strDetail.empty()) text += ": " + e.strDetail;
    return text;
}

void MarkNotCollected(const stFleetSummaryEntry& e, stOverviewRow& row) {
    const bool cancelled = e.strStatus == "cancelled";
    row.facts.nCancelled = cancelled ? 1 : 0;
    row.facts.nNotCollected = cancelled ? 0 : 1;
    const std::string problem = NotCollectedProblem(e);
    row.strProblem = row.strProblem.empty() ? problem : problem + "; " + row.strProblem;
}

// Names the hosts of the logs in the summaries' display folders, and puts
// each display the run did not collect on the page: in the row of the
// newest log its folder holds, or in a row of its own.
void MergeSummaries(const std::vector<stSummaryFile>& summaries, std::vector<stOverviewRow>& rows) {
    for (const stSummaryFile& file : summaries) {
        for (const stFleetSummaryEntry& e : file.summary.entries) {
            const fs::path name = fs::path(e.strFolder).filename();
            const bool hasFolder = !name.empty() && name != "." && name != "..";
            const fs::path folder = file.dir / name;
            bool inRow = false;
            for (stOverviewRow& row : rows) {
                if (!hasFolder || row.logFile.parent_path() != folder) continue;
                row.strHost = HostLabel(e);
                if (e.strStatus != "collected") MarkNotCollected(e, row);
                inRow = true;
            }
            if (inRow || e.strStatus == "collected") continue;
            stOverviewRow row;
            row.source = stOverviewRow::Source::kNotCollected;
            row.strHost = HostLabel(e);
            row.strModel = e.strModel;
            row.strSerial = e.strSerial;
            MarkNotCollected(e, row);
            rows.push_back(std::move(row));
        }
    }
}

// The status of a row, from its facts.
void Decide(stOverviewRow& row) {
    row.rules = RulesThatHold(row.facts);
    row.status = WorstStatus(row.rules);
}

}  // namespace

std::optional<std::time_t> StampedCollectionTime(const fs::path& logFile) {
    const std::string stem = logFile.stem().string();
    if (stem.size() <= kStampLength) return std::nullopt;
    const std::string s = stem.substr(stem.size() - kStampLength);
    if (s[0] != '_' || s[9] != '-') return std::nullopt;
    auto field = [&](std::size_t at, std::size_t n, int& v) {
        v = 0;
        for (std::size_t i = at; i < at + n; ++i) {
            if (s[i] < '0' || s[i] > '9') return false;
            v = v * 10 + (s[i] - '0');
        }
        return true;
    };
    int y, mo, d, h, mi, se;
    if (!field(1, 4, y) || !field(5, 2, mo) || !field(7, 2, d) || !field(10, 2, h) || !field(12, 2, mi) ||
        !field(14, 2, se))
        return std::nullopt;
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || se > 60) return std::nullopt;
    const std::time_t t = cmn::LocalTime(y, mo, d, h, mi, se);
    if (t == static_cast<std::time_t>(-1)) return std::nullopt;
    return t;
}

void SortOverviewRows(std::vector<stOverviewRow>& rows) {
    std::sort(rows.begin(), rows.end(), [](const stOverviewRow& a, const stOverviewRow& b) {
        if (a.status != b.status) return a.status > b.status;
        return std::tie(a.strModel, a.strSerial, a.strHost, a.logFile) <
               std::tie(b.strModel, b.strSerial, b.strHost, b.logFile);
    });
}

bool BuildOverview(const stOverviewRequest& request, stOverview& overview, std::string& error) {
    overview = stOverview{};
    try {
        stSources sources;
        if (!FindSources(request.paths, sources, overview.notes, error)) return false;
        overview.nLogs = sources.logs.size();
        if (sources.logs.empty()) overview.notes.push_back("no log (*.dat) under the paths given");
        overview.rows = DecodeLogs(request, sources.logs);
        KeepNewestPerSerial(overview.rows);
        MergeSummaries(sources.summaries, overview.rows);
        for (stOverviewRow& row : overview.rows) Decide(row);
        SortOverviewRows(overview.rows);
        return true;
    } catch (const std::exception& e) {
        error = std::string("cannot build the overview: ") + e.what();
    } catch (...) {
        error = "cannot build the overview";
    }
    return false;
}

namespace {

// The folder of the full reports: made when missing; an existing one must be
// this user's own folder, not a link to somewhere else.
bool ReportsFolder(const fs::path& dir, std::string& error) {
    struct stat st {};
    if (::lstat(dir.c_str(), &st) != 0) {
        if (errno == ENOENT && ::mkdir(dir.c_str(), 0777) == 0) return true;
        error = Name(dir) + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        error = Name(dir) + ": is " + cmn::DescribePathKind(dir) + ", not a folder";
        return false;
    }
    if (st.st_uid != ::geteuid()) {
        error = Name(dir) + ": belongs to another user";
        return false;
    }
    return true;
}

// Report names after the log files without their time stamps, so that the
// next overview of a folder collected into every night replaces a display's
// report rather than adding one; each name once ("x.html", "x-2.html").
void NameReports(std::vector<stOverviewRow>& rows, const fs::path& dir) {
    std::set<std::string> taken;
    for (stOverviewRow& row : rows) {
        if (row.source != stOverviewRow::Source::kLog) continue;
        std::string stem = row.logFile.stem().string();
        if (StampedCollectionTime(row.logFile)) stem.resize(stem.size() - kStampLength);
        std::string name = stem + ".html";
        for (int n = 2; !taken.insert(name).second; ++n) name = stem + "-" + std::to_string(n) + ".html";
        row.report = dir / name;
    }
}

// One thread's views of a log, shown with the process-wide code tables as
// they are loaded (the model's own).
struct ReportViews {
    explicit ReportViews(const fs::path& programDir) : log(programDir) {}
    CQuendraLog log;
    CLogListCtrl list;
    CTempLogCtrl temp;
};

bool WriteOneReport(ReportViews& v, const stOverviewRow& row, const stReportOptions& options) {
    if (options.bSkipCheckSum) v.log.m_bCheckSum = 0;
    if (v.log.ReadBin(row.logFile) != 1) return false;
    ApplyListOptions(options, v.list);
    v.list.m_strFolder = row.modelFolder.string();
    v.temp.m_bTimeMode = options.nTimeMode;
    v.temp.m_bTimeCompensation = options.bCompensate ? 1 : 0;
    v.temp.Initialize(row.modelFolder.string());
    v.list.RefreshList(&v.log);
    v.temp.Refresh(&v.log);
    return WriteTreatedHtml(row.report, v.list, v.temp) == REPORT_OK;
}

// Writes the full report of every decoded row, the rows of one model at a
// time (the report views read the process-wide code tables), on several
// threads. A report that is not written loses its link and is noted.
void WriteReports(const stOverviewRequest& request, std::vector<stOverviewRow>& rows,
                  std::vector<std::string>& notes) {
    std::map<fs::path, std::vector<stOverviewRow*>> byModel;
    for (stOverviewRow& row : rows)
        if (!row.report.empty()) byModel[row.modelFolder].push_back(&row);
    for (auto& entry : byModel) {
        LoadCodeTables(entry.first);
        const std::vector<stOverviewRow*>& group = entry.second;
        std::vector<char> written(group.size(), 0);
        Parallel(
            group.size(), ThreadCount(request.nThreads, group.size()),
            [&] { return std::make_unique<ReportViews>(request.programDir); },
            [&](std::unique_ptr<ReportViews>& views, std::size_t i) {
                try {
                    written[i] = WriteOneReport(*views, *group[i], request.reportOptions) ? 1 : 0;
                } catch (...) {
                    written[i] = 0;
                }
            });
        for (std::size_t i = 0; i < group.size(); ++i) {
            if (written[i]) continue;
            notes.push_back(Name(group[i]->report) + ": the full report could not be written");
            group[i]->report.clear();
        }
    }
}

}  // namespace

stOverviewResult WriteOverview(const stOverviewRequest& request, const fs::path& html, bool writeReports) {
    stOverviewResult result;
    try {
        std::error_code ec;
        const stOverviewFiles files = OverviewFilesFor(fs::absolute(html, ec).lexically_normal());
        for (const fs::path* path : {&files.html, &files.csv, &files.json}) {
            const cmn::stOutputTarget target = cmn::ResolveOutputPath(*path);
            if (target.kind != cmn::OutputKind::Replace) {
                result.strError = target.kind == cmn::OutputKind::Refused
                                      ? target.error
                                      : Name(*path) + ": the overview is written to regular files only";
                return result;
            }
        }
        if (writeReports && !ReportsFolder(files.reports, result.strError)) return result;

        stOverview overview;
        if (!BuildOverview(request, overview, result.strError)) return result;
        if (writeReports) {
            NameReports(overview.rows, files.reports);
            WriteReports(request, overview.rows, result.notes);
        }
        const std::pair<const fs::path*, std::string> documents[] = {
            {&files.json, OverviewJson(overview, files)},
            {&files.csv, OverviewCsv(overview, files)},
            {&files.html, OverviewHtml(overview, files)},
        };
        for (const auto& [path, bytes] : documents) {
            std::string why;
            if (!cmn::WriteFileAtomic(*path, bytes, &why)) {
                result.strError = why;
                return result;
            }
        }
        result.bWritten = true;
        result.nRows = overview.rows.size();
        for (const stOverviewRow& row : overview.rows) ++result.byStatus[static_cast<std::size_t>(row.status)];
        result.notes.insert(result.notes.begin(), overview.notes.begin(), overview.notes.end());
    } catch (const std::exception& e) {
        result.strError = std::string("cannot write the overview: ") + e.what();
    } catch (...) {
        result.strError = "cannot write the overview";
    }
    return result;
}
