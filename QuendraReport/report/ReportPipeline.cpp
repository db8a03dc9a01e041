#include "report/ReportPipeline.h"

#include "app/StartUp.h"
#include "common/textfile.h"
#include "report/HtmlDoc.h"

namespace {

// Writes a report built by `write` atomically; exceptions end as a failure.
ReportResult WriteDocument(const std::filesystem::path& file, const CLogListCtrl& list,
                           const CTempLogCtrl& temp,
                           void (*write)(CTextSink&, const CLogListCtrl&, const CTempLogCtrl&)) {
    if (!list.ShowsLog()) return REPORT_NO_DATA;
    try {
        const bool written = WriteReportFile(file, [&](CTextSink& sink) {
            write(sink, list, temp);
            return true;
        });
        return written ? REPORT_OK : REPORT_WRITE_FAILED;
    } catch (...) {
        return REPORT_WRITE_FAILED;
    }
}

}  // namespace

std::filesystem::path ModelFolderFor(const std::filesystem::path& programDir, const std::string& model) {
    const std::string folder = GetFolderName(programDir, model);
    return folder.empty() ? std::filesystem::path() : programDir / folder;
}

void ApplyListOptions(const stReportOptions& options, CLogListCtrl& list) {
    list.m_bTimeMode = options.nTimeMode;
    list.m_bTimeCompensation = options.bCompensate ? 1 : 0;
    list.m_nFilter = options.nFilter;
    list.m_nSortColumn = options.nSortColumn;
    list.m_bSortAscending = options.bSortAscending ? 1 : 0;
    list.UpdateColumn();
}

void SetUpViews(const std::filesystem::path& modelFolder, const stReportOptions& options, CLogListCtrl& list,
                CTempLogCtrl& temp) {
    ApplyListOptions(options, list);
    list.Initialize(modelFolder.string());
    temp.m_bTimeMode = options.nTimeMode;
    temp.m_bTimeCompensation = options.bCompensate ? 1 : 0;
    temp.Initialize(modelFolder.string());
}

void ShowLogInViews(CQuendraLog& log, const std::filesystem::path& modelFolder,
                    const stReportOptions& options, CLogListCtrl& list, CTempLogCtrl& temp) {
    SetUpViews(modelFolder, options, list, temp);
    list.RefreshList(&log);
    temp.Refresh(&log);
}

ReportResult WriteTreatedHtml(const std::filesystem::path& file, const CLogListCtrl& list,
                              const CTempLogCtrl& temp) {
    return WriteDocument(file, list, temp, &WriteHtmlReport);
}

ReportResult WriteCompareText(const std::filesystem::path& file, const CLogListCtrl& list,
                              const CTempLogCtrl& temp) {
    return WriteDocument(file, list, temp, &WriteCompareReport);
}

ReportResult WriteTempText(const std::filesystem::path& file, const CTempLogCtrl& temp) {
    const CQuendraLog* log = temp.GetLogObject();
    if (log == nullptr || log->m_bValid == 0) return REPORT_NO_DATA;
    try {
        return cmn::WriteFileAtomic(file, temp.GetText()) ? REPORT_OK : REPORT_WRITE_FAILED;
    } catch (...) {
        return REPORT_WRITE_FAILED;
    }
}

CLogReports::CLogReports(const std::filesystem::path& programDir)
    : m_programDir(programDir),
      m_log(programDir),
      m_list(std::make_unique<CLogListCtrl>()),
      m_temp(std::make_unique<CTempLogCtrl>()) {}

template <typename Read>
ReportResult CLogReports::Load(const stReportOptions& options, Read read) {
    try {
        m_modelFolder.clear();
        m_list = std::make_unique<CLogListCtrl>();
        m_temp = std::make_unique<CTempLogCtrl>();
        m_log.m_bCheckSum = options.bSkipCheckSum ? 0 : m_log.m_ini.m_nChecksum;
        if (read() != 1) {
            // Whatever a failed read left behind is not shown.
            m_log.Validate(0);
            return REPORT_LOAD_FAILED;
        }
        m_modelFolder = options.modelFolder.empty() ? ModelFolderFor(m_programDir, m_log.m_strModel)
                                                    : options.modelFolder;
        ShowLogInViews(m_log, m_modelFolder, options, *m_list, *m_temp);
        return REPORT_OK;
    } catch (...) {
        return REPORT_LOAD_FAILED;
    }
}

ReportResult CLogReports::LoadLogForReports(const std::filesystem::path& logFile,
                                            const stReportOptions& options) {
    return Load(options, [&] { return m_log.ReadBin(logFile); });
}

ReportResult CLogReports::LoadLogBytesForReports(std::vector<std::uint8_t> bytes, const stReportOptions& options) {
    return Load(options, [&] { return m_log.ReadBytes(std::move(bytes)); });
}

ReportResult CLogReports::LoadDecodedForReports(const std::function<int(CQuendraLog&)>& fill,
                                                const stReportOptions& options) {
    return Load(options, [&] { return fill(m_log); });
}

ReportResult CLogReports::WriteTreatedHtml(const std::filesystem::path& file) const {
    return ::WriteTreatedHtml(file, *m_list, *m_temp);
}

ReportResult CLogReports::WriteCompareText(const std::filesystem::path& file) const {
    return ::WriteCompareText(file, *m_list, *m_temp);
}

ReportResult CLogReports::WriteTempText(const std::filesystem::path& file) const {
    return ::WriteTempText(file, *m_temp);
}
