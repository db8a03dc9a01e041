#pragma once
// The report program's commands, as its main frame runs them, without any
// window: Get Logs, Get All Reports, the unattended Get All, Clear Logs,
// Write NvramData, the NVRAM dump, the temperature dump, Open Log File,
// Create Report File, Create Treated HTML File, Compare and the time
// compensation toggle. The window parts go through IFrameUi, messages and
// questions through cmn::Prompt(), the display through IDisplayLink.
//
// The frame owns the current log, the two view models the window shows (the
// log list and the temperature view, set up with the model's code tables and
// time mode), the settings of "QuendraReport.ini" and the transfer path.
//
// Every command returns its outcome (the exit codes of Workers.h: 0 done,
// 1 communication failure, 2 cancelled, 3 refused, 4 file failure, 5 the user
// declined a dialog or question) after it has shown its message; the GUI may
// ignore it, the command-line tool turns it into its exit status.
//
// Not thread-safe: every method runs on the commands' thread (the GUI's
// user-interface thread); workers run through IFrameUi::RunWorker and touch
// only what they were handed. Nothing throws out of a command.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "acquire/FrameUi.h"
#include "acquire/Workers.h"
#include "app/IniManaged.h"
#include "app/ModelIni.h"
#include "app/MyCommandLine.h"
#include "link/DisplayLink.h"
#include "syslog/LogListCtrl.h"
#include "syslog/QuendraLog.h"
#include "templog/TempLogCtrl.h"

namespace acq {

struct stFrameSetup {
    std::filesystem::path programDir;   // settings, File1/File2, ModelName.csv
    std::string strModelName;           // the chosen model
    std::filesystem::path modelFolder;  // its code tables and model.ini
    stModelFeatures features;
    // The unattended run's work folder; relative paths are taken from the
    // current folder at the time of the run.
    std::filesystem::path workFolder = "temp";
    // Added to the names the commands give their files (report file, NVRAM
    // dump; StampedName), so that collections into one folder keep each
    // other's files. Empty: the names as they are.
    std::string strFileStamp;
};

// A setup from the start-up decision's values: the features are read from
// "model.ini" in the model folder.
stFrameSetup MakeFrameSetup(const std::filesystem::path& programDir, const std::string& modelName,
                            const std::filesystem::path& modelFolder, bool lanDefault);

// Message texts.
extern const char* const kMsgCommFailed;     // "Failed to communicate with Quendra display. Check cable ..."
extern const char* const kMsgComplete;       // "Complete to communicate and create file."
extern const char* const kMsgCanceled;       // "Canceled communication."
extern const char* const kMsgFileFailed;     // "Failed to create file."
extern const char* const kMsgNvramWritten;   // "Complete to write nvram file."
extern const char* const kMsgNvramById;      // "Not support to write NvramData with a specific display ID."
extern const char* const kMsgReadFailed;     // "Failed to read log file.\n%s"
extern const char* const kMsgArchiveExists;  // "Filename already exists. \nDo you want to replace it?"
extern const char* const kMsgClearConfirm;   // "Logs stored Quendra display will be removed, ..."
extern const char* const kMsgCleared;        // "Logs are cleared."

class CReportFrame {
public:
    // Loads the settings and the model's code tables (process-wide) and sets
    // up both views with the model's time mode. `ui` and `link` must outlive
    // the frame.
    CReportFrame(const stFrameSetup& setup, IFrameUi& ui, qlink::IDisplayLink& link);
    CReportFrame(const CReportFrame&) = delete;
    CReportFrame& operator=(const CReportFrame&) = delete;

    int OnGetLogs();  // 32776
    int OnGetAll();   // 32788
    // 32869: steps 1-6 with the ports of the command line; returns the code
    // whose message ended the run (0, 1, 2 or 4). The process then exits
    // with 0 whatever the code; the settings file is not written and the
    // views are not refreshed. The run holds the work folder's turn
    // (WorkFolder.h) throughout, says so when it has to wait, and works only
    // in a work folder that it made; when it cannot, "Failed to create file."
    // is followed by the reason. `cancel` (may be null) stops the wait for
    // the turn; a cancelled run removes the files it wrote.
    int OnGetAllSilent(const CMyCommandLine& cmd, const int* cancel = nullptr);
    int OnClearLogs();          // 32792
    int OnWriteNvram();         // 32803
    int OnDumpNvram();          // 32787
    int OnDumpTemperature();    // 32796
    int OnFileOpenlogfile();    // 32793
    int OnCreateReport();       // 32778
    int OnCreateCsv();          // 32781
    int OnFileCompare();        // 32801
    void OnTimeCompensation();  // 32785
    // 32784 (the filter dialog is the window's): applies the filter bits to
    // the log list and refreshes the views.
    void OnSetFilter(std::uint32_t filter);

    // Name rules (SafeFileName applied; UTF-8).
    std::string GetReportName() const;
    std::string GetHtmlName() const;
    std::string GetZipName() const;

    // What the window shows.
    const CQuendraLog& Log() const { return m_log; }
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
    stLogState LogState() const;
    const std::filesystem::path& TransferPath() const { return m_transferPath; }
    // Files the last command wrote (cleared when a command starts).
    const std::vector<std::filesystem::path>& WrittenFiles() const { return m_written; }

private:
    // The steps shared by the commands (in the .cpp).
    friend struct FrameSteps;

    stFrameSetup m_setup;
    IFrameUi& m_ui;
    qlink::IDisplayLink& m_link;
    CIniManaged m_settings;
    CQuendraLog m_log;
    CLogListCtrl m_list;
    CTempLogCtrl m_temp;
    bool m_bCompensate = false;
    std::filesystem::path m_transferPath;
    std::vector<std::filesystem::path> m_written;
};

}  // namespace acq
