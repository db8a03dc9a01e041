#include "acquire/Frame.h"

#include <system_error>

#include "acquire/CompareProgram.h"
#include "acquire/Names.h"
#include "acquire/Outcome.h"
#include "acquire/Transfer.h"
#include "common/safeformat.h"
#include "common/textfile.h"
#include "report/ReportPipeline.h"

namespace fs = std::filesystem;

namespace acq {

namespace {

stFileOutcome FileFailed(const char* message, Step step, const std::string& detail) {
    stFileOutcome o;
    o.bOk = false;
    o.strMessage = message;
    o.failure = {Reason::kFileError, step, detail};
    return o;
}

// A report written by `write` (true on success, the reason in its argument).
template <typename Write>
stFileOutcome WriteReport(const fs::path& path, std::vector<fs::path>& written, Write write) {
    written.clear();
    std::string error;
    if (!write(error))
        return FileFailed(kMsgFileFailed, Step::kWriteFile, error.empty() ? path.string() : error);
    written.push_back(path);
    return {};
}

// One comparison file of the views; an empty file when no log is shown.
bool WriteCompareFile(const fs::path& file, const CLogListCtrl& list, const CTempLogCtrl& temp) {
    const ReportResult r = WriteCompareText(file, list, temp);
    if (r == REPORT_NO_DATA) return cmn::WriteFileAtomic(file, "");
    return r == REPORT_OK;
}

}  // namespace

stFrameSetup MakeFrameSetup(const fs::path& programDir, const std::string& modelName,
                            const fs::path& modelFolder, bool lanDefault) {
    stFrameSetup setup;
    setup.programDir = programDir;
    setup.strModelName = modelName;
    setup.modelFolder = modelFolder;
    setup.features = ReadModelFeatures(modelFolder, lanDefault);
    return setup;
}

CReportFrame::CReportFrame(const stFrameSetup& setup)
    : m_setup(setup), m_settings(setup.programDir), m_log(std::make_unique<CQuendraLog>(setup.programDir)) {
    m_settings.LoadIniFile();
    stReportOptions options;
    options.nTimeMode = setup.features.m_nTimeMode;
    SetUpViews(setup.modelFolder, options, m_list, m_temp);
}

stGetLogsRequest CReportFrame::GetLogsRequest(const qlink::stPortChoice& ports) const {
    stGetLogsRequest r;
    r.ports = ports;
    r.programDir = m_setup.programDir;
    r.strModelName = m_setup.strModelName;
    return r;
}

stGetAllRequest CReportFrame::GetAllRequest(const qlink::stPortChoice& ports, const fs::path& folder) const {
    stGetAllRequest r;
    static_cast<stGetLogsRequest&>(r) = GetLogsRequest(ports);
    r.reportFolder = folder;
    return r;
}

stClearLogsRequest CReportFrame::ClearLogsRequest(const qlink::stPortChoice& ports) const {
    stClearLogsRequest r;
    r.ports = ports;
    r.programDir = m_setup.programDir;
    return r;
}

void CReportFrame::AdoptLog(std::unique_ptr<CQuendraLog> log) {
    if (log) m_log = std::move(log);
    RefreshViews();
}

void CReportFrame::RefreshViews() {
    m_list.RefreshList(m_log.get());
    m_temp.Refresh(m_log.get());
}

void CReportFrame::SetCompensation(bool on) {
    m_bCompensate = on;
    m_list.m_bTimeCompensation = on ? 1 : 0;
    m_temp.m_bTimeCompensation = on ? 1 : 0;
    m_list.UpdateColumn();
}

stFileOutcome CReportFrame::LoadLogFile(const fs::path& path) {
    auto log = std::make_unique<CQuendraLog>(m_setup.programDir);
    if (log->ReadBin(path) != 1) {
        // The log shown before is gone and nothing took its place: the
        // window shows no file and grays what needs a log.
        stFileOutcome o;
        o.bOk = false;
        o.decodeError = log->m_decodeError;
        cmn::SafeFormat(o.strMessage, kMsgReadFailed, {path.string()});
        if (!o.decodeError)
            o.failure = {Reason::kFileError, Step::kReadFile, path.string() + ": cannot be read"};
        ResetLog(*m_log);
        m_log->m_strSourceFile.clear();
        RefreshViews();
        return o;
    }
    log->m_strSourceFile = path;
    AdoptLog(std::move(log));
    return {};
}

stFileOutcome CReportFrame::OpenLogFile(const fs::path& path) {
    m_written.clear();
    // Whatever the answer, the views no longer show times in a mode they stop using.
    SetCompensation(false);
    if (path.empty()) {
        RefreshViews();
        return {};
    }
    return LoadLogFile(path);
}

stFileOutcome CReportFrame::CreateReport(const fs::path& path) {
    return WriteReport(path, m_written,
                       [&](std::string& error) { return m_log->SaveLogData(path, &error) == 1; });
}

stFileOutcome CReportFrame::CreateHtml(const fs::path& path) {
    return WriteReport(path, m_written,
                       [&](std::string&) { return WriteTreatedHtml(path, m_list, m_temp) == REPORT_OK; });
}

stFileOutcome CReportFrame::Compare(const fs::path& second) {
    const cmn::stUserPath place = CompareFolder(m_setup.programDir);
    const fs::path& folder = place.path;
    const fs::path file1 = folder / "File1.txt", file2 = folder / "File2.txt";
    // A File1 that could not be written must not pass for this log.
    std::error_code ec;
    const bool first = !folder.empty() && WriteCompareFile(file1, m_list, m_temp);
    if (!first && !folder.empty()) fs::remove(file1, ec);
    stFileOutcome loaded = OpenLogFile(second);
    if (second.empty() || !loaded.bOk) return loaded;
    if (folder.empty() || !WriteCompareFile(file2, m_list, m_temp)) {
        if (!folder.empty()) fs::remove(file2, ec);
        return FileFailed(kMsgFileFailed, Step::kWriteFile,
                          place.error.empty() ? file2.string() + ": cannot be written" : place.error);
    }
    if (first) m_written.push_back(file1);
    m_written.push_back(file2);
    const fs::path program = ResolveCompareProgram(m_settings.m_strComparePath);
    if (!program.empty()) StartCompareProgram(program, file1, file2);
    return {};
}

void CReportFrame::ToggleCompensation() {
    SetCompensation(!m_bCompensate);
    RefreshViews();
}

void CReportFrame::SetFilter(std::uint32_t filter) {
    m_list.SetFilter(filter);
    RefreshViews();
}

std::string CReportFrame::GetReportName() const {
    return ReportName(m_log->m_strModel, m_log->m_strSerial, m_setup.strModelName);
}

std::string CReportFrame::GetHtmlName() const {
    return HtmlName(m_log->m_strModel, m_log->m_strSerial, m_setup.strModelName);
}

}  // namespace acq
