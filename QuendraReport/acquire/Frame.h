#pragma once
// The report window's state without the window: the current log, the two
// view models it shows (the log list and the temperature view, set up with
// the model's code tables and time mode), the settings of
// "QuendraReport.ini", and the commands that work on files only (Open Log
// File, Create Report File, Create Treated HTML File, Compare, the time
// compensation and the filter). The window asks its dialogs first and hands
// their answers in; each command returns what the window then shows. The
// display commands are Acquire.h's: the window builds their requests here
// and gives the log they leave back (AdoptLog).
//
// Not thread-safe: every method runs on the window's thread; a display
// command on a worker thread touches none of this (its log is its own until
// it is adopted). Nothing throws out of a method.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "acquire/Acquire.h"
#include "acquire/Failure.h"
#include "app/IniManaged.h"
#include "app/ModelIni.h"
#include "link/Ports.h"
#include "syslog/LogListCtrl.h"
#include "syslog/QuendraLog.h"
#include "templog/TempLogCtrl.h"

namespace acq {

struct stFrameSetup {
    std::filesystem::path programDir;   // settings, File1/File2, ModelName.csv
    std::string strModelName;           // the chosen model
    std::filesystem::path modelFolder;  // its code tables and model.ini
    stModelFeatures features;
};

// A setup from the start-up decision's values: the features are read from
// "model.ini" in the model folder.
stFrameSetup MakeFrameSetup(const std::filesystem::path& programDir, const std::string& modelName,
                            const std::filesystem::path& modelFolder, bool lanDefault);

// How a file command ended, for the window to show.
struct stFileOutcome {
    bool bOk = true;
    std::optional<stDecodeError> decodeError;  // the decoder's reason, shown first
    std::string strMessage;  // the message of a failure ("Failed to read log file.\n<path>")
    stFailure failure;       // why, for the message's details (reason kNone: no details)
};

class CReportFrame {
public:
    // Loads the settings and the model's code tables (process-wide) and sets
    // up both views with the model's time mode.
    explicit CReportFrame(const stFrameSetup& setup);
    CReportFrame(const CReportFrame&) = delete;
    CReportFrame& operator=(const CReportFrame&) = delete;

    // Requests of the display commands for the ports the user chose.
    stGetLogsRequest GetLogsRequest(const qlink::stPortChoice& ports) const;
    stGetAllRequest GetAllRequest(const qlink::stPortChoice& ports,
                                  const std::filesystem::path& folder) const;
    stClearLogsRequest ClearLogsRequest(const qlink::stPortChoice& ports) const;

    // The log a display command left (null: none) becomes the current log,
    // and both views show it.
    void AdoptLog(std::unique_ptr<CQuendraLog> log);

    // 32793 after its dialog: compensation goes off in both views whatever
    // the answer; `path` (empty: the dialog was cancelled) is read. A file
    // that cannot be read leaves no log.
    stFileOutcome OpenLogFile(const std::filesystem::path& path);
    // 32778, 32781: the current log, or both views' report, into `path`.
    stFileOutcome CreateReport(const std::filesystem::path& path);
    stFileOutcome CreateHtml(const std::filesystem::path& path);
    // 32801 after the open dialog for the second log (`second`; empty:
    // cancelled): "File1.txt" from the current log, then the second log
    // opened as OpenLogFile does, "File2.txt" from it, and the compare
    // program started with the two files.
    stFileOutcome Compare(const std::filesystem::path& second);
    // 32785.
    void ToggleCompensation();
    // 32784 (the filter dialog is the window's): applies the filter bits to
    // the log list and refreshes the views.
    void SetFilter(std::uint32_t filter);

    // Name rules (SafeFileName applied; UTF-8).
    std::string GetReportName() const;
    std::string GetHtmlName() const;

    // What the window shows.
    const CQuendraLog& Log() const { return *m_log; }
    stLogState LogState() const { return LogStateOf(*m_log); }
    const CLogListCtrl& List() const { return m_list; }
    // The window may sort the list (column clicks) through this.
    CLogListCtrl& List() { return m_list; }
    const CTempLogCtrl& Temp() const { return m_temp; }
    const stFrameSetup& Setup() const { return m_setup; }
    const stModelFeatures& Features() const { return m_setup.features; }
    // "QuendraReport.ini" as loaded: COMPARE, CPASS, WRITENVR, PORT, IP,
    // LANPORT. The control bar reads it and saves it (SaveIniFile) in an
    // interactive start; the frame never writes it.
    CIniManaged& Settings() { return m_settings; }
    bool Compensating() const { return m_bCompensate; }
    // The files the last file command wrote.
    const std::vector<std::filesystem::path>& WrittenFiles() const { return m_written; }

private:
    void RefreshViews();
    void SetCompensation(bool on);
    stFileOutcome LoadLogFile(const std::filesystem::path& path);

    stFrameSetup m_setup;
    CIniManaged m_settings;
    std::unique_ptr<CQuendraLog> m_log;
    CLogListCtrl m_list;
    CTempLogCtrl m_temp;
    bool m_bCompensate = false;
    std::vector<std::filesystem::path> m_written;
};

}  // namespace acq
