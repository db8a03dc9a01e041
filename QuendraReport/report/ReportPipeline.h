#pragma once
// The way from a saved log to its reports, shared by quendra-log, the GUI and
// the unattended run: read and decode a log, set up the log list and the
// temperature view (model folder and its code tables, time mode,
// compensation, filter, sort), and write the treated HTML report, the
// comparison text and the temperature page text.
//
// Report files are replaced whole: a failed write leaves no partial file and
// keeps the one that was there. Nothing here throws; every failure is a
// result code, and a decoding failure leaves the decoder's reason in the
// log (CQuendraLog::m_decodeError) for the caller to show.
//
// Not thread-safe: the views belong to one thread, and setting them up
// replaces the process-wide code tables (which other threads may go on
// reading safely, see syslog/CodeTables.h).

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "syslog/LogListCtrl.h"
#include "syslog/QuendraLog.h"
#include "templog/TempLogCtrl.h"

enum ReportResult : int {
    REPORT_OK = 0,
    REPORT_LOAD_FAILED = 1,   // the log file could not be read, or its data was refused
                              // (the log's m_decodeError says why when it decoded none)
    REPORT_WRITE_FAILED = 2,  // a report file could not be written; an earlier file stays
    REPORT_NO_DATA = 3,       // no decoded log is shown: nothing was written
};

// How both views show a log.
struct stReportOptions {
    // Folder of the code tables. Empty: the folder that "ModelName.csv" in the
    // program folder gives for the log's model name (none: codes are shown as
    // numbers).
    std::filesystem::path modelFolder;
    int nTimeMode = 0;         // 0 calendar times, 1 time elapsed since 2013-01-01
    bool bCompensate = false;  // add the clock gap (PC time minus display clock)
    std::uint32_t nFilter = LOG_FILTER_ALL;
    int nSortColumn = LOG_COL_ID;
    bool bSortAscending = true;
    bool bSkipCheckSum = false;  // true: no check value test, whatever "CHECKSUM" says
};

// The model folder for `model` under `programDir` by its model list; empty
// when the list names none.
std::filesystem::path ModelFolderFor(const std::filesystem::path& programDir, const std::string& model);

// Gives a log list the time mode, compensation, filter and sort of `options`
// (its column headers follow), without loading code tables.
void ApplyListOptions(const stReportOptions& options, CLogListCtrl& list);

// Sets up both views with `options` and the tables of `modelFolder` (loaded
// as the process-wide code tables).
void SetUpViews(const std::filesystem::path& modelFolder, const stReportOptions& options, CLogListCtrl& list,
                CTempLogCtrl& temp);
// SetUpViews, then shows `log` in both views.
void ShowLogInViews(CQuendraLog& log, const std::filesystem::path& modelFolder,
                    const stReportOptions& options, CLogListCtrl& list, CTempLogCtrl& temp);

// Report files of views that show a log. REPORT_NO_DATA (nothing written)
// when the list shows no decoded log.
ReportResult WriteTreatedHtml(const std::filesystem::path& file, const CLogListCtrl& list,
                              const CTempLogCtrl& temp);
ReportResult WriteCompareText(const std::filesystem::path& file, const CLogListCtrl& list,
                              const CTempLogCtrl& temp);
// The temperature page text as shown (CR LF line ends); an empty page when
// the log has no temperature record. REPORT_NO_DATA when the view shows no
// decoded log.
ReportResult WriteTempText(const std::filesystem::path& file, const CTempLogCtrl& temp);

// One saved log with both of its views.
class CLogReports {
public:
    // `programDir` holds "QuendraReport.ini" (CHECKSUM), "ModelName.csv" and
    // the model folders.
    explicit CLogReports(const std::filesystem::path& programDir);
    CLogReports(const CLogReports&) = delete;
    CLogReports& operator=(const CLogReports&) = delete;

    // Reads and decodes `logFile`, finds the model folder and shows the log in
    // new views. REPORT_OK or REPORT_LOAD_FAILED (the views then show nothing).
    ReportResult LoadLogForReports(const std::filesystem::path& logFile, const stReportOptions& options);
    // The same for the bytes of a log file read elsewhere (standard input).
    ReportResult LoadLogBytesForReports(std::vector<std::uint8_t> bytes, const stReportOptions& options);
    // The same for a log made elsewhere (a display's history): `fill` fills
    // the log object as a decoding would and returns 1, or 0 when it has none.
    ReportResult LoadDecodedForReports(const std::function<int(CQuendraLog&)>& fill, const stReportOptions& options);

    ReportResult WriteTreatedHtml(const std::filesystem::path& file) const;
    ReportResult WriteCompareText(const std::filesystem::path& file) const;
    ReportResult WriteTempText(const std::filesystem::path& file) const;

    // The folder whose tables the views use; empty when none was given and
    // the model list names none for the log's model.
    const std::filesystem::path& ModelFolder() const { return m_modelFolder; }
    const CQuendraLog& Log() const { return m_log; }
    // Further views may show the log (a list refresh takes a non-const log).
    CQuendraLog& Log() { return m_log; }
    const CLogListCtrl& List() const { return *m_list; }
    const CTempLogCtrl& Temp() const { return *m_temp; }

private:
    // Reads the log with `read` (1 on success), then shows it in new views.
    template <typename Read>
    ReportResult Load(const stReportOptions& options, Read read);

    std::filesystem::path m_programDir;
    CQuendraLog m_log;
    // Made anew for every log, so nothing of an earlier log's settings (a column
    // header of another time mode, a sort) carries over.
    std::unique_ptr<CLogListCtrl> m_list;
    std::unique_ptr<CTempLogCtrl> m_temp;
    std::filesystem::path m_modelFolder;
};
