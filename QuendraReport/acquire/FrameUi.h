#pragma once
// What the report program's command logic needs from its window, and
// nothing more: the GUI implements it with Qt dialogs and widgets, the
// unattended run and the command-line tool without any window
// (HeadlessFrameUi), tests with a recording fake. The core never sees a
// widget. Messages and questions do not come through here: they go through
// the process-wide prompt (common/prompt.h), which the GUI replaces.
//
// Every method is called on the thread that runs the commands (the GUI's
// user-interface thread). RunWorker is the only one that may start another
// thread; the worker it runs calls IProgress from that thread.

#include <filesystem>
#include <functional>
#include <string>

#include "acquire/Progress.h"
#include "link/Ports.h"
#include "syslog/LogListCtrl.h"
#include "templog/TempLogCtrl.h"

namespace acq {

// The progress window of one worker run.
struct stProgressParams {
    int nRange = 12;              // 12 for transfers, 6 for the temperature dump
    bool bCancelEnabled = false;  // only the NVRAM dump: the window offers a Cancel button
    std::string strSuffix;        // " 1/2", " 2/2" or empty; caption "Communicating" + suffix
};

// A file dialog as the commands ask for it.
struct stFileDialog {
    std::string strDefaultName;  // e.g. "NvramDump1.bin", a report name (UTF-8)
    std::string strDefaultExt;   // ".dat", ".html", ".txt"; empty for open dialogs
    std::string strFilter;       // "Log file (*.dat)|*.dat|All files (*.*)|*.*||"
    bool bOverwritePrompt = false;
};

// What the window shows of the current log after a command.
struct stLogState {
    bool bPresent = false;  // the log-present flag: enables Create Report File,
                            // Create Treated HTML File, Compare and the Create Report button
    std::string strModel, strSerial, strInfo;  // bytes as decoded (CP932), for the ITEM/VALUE list
    int nFileVersion = 0;
};

// A worker: gets the progress sink and the cancel flag (null when the run
// cannot be cancelled; read with linkio::IsCancelled), returns its exit code.
using WorkerFn = std::function<int(IProgress& progress, const int* cancel)>;

class IFrameUi {
public:
    virtual ~IFrameUi() = default;

    // Runs `worker` while the progress window is shown (modally in the GUI,
    // on a worker thread); returns the worker's exit code (1 when it could
    // not be read). The cancel flag passed to the worker is set by the
    // window when cancelling is enabled and asked for, or by Ctrl+C in the
    // command-line tool.
    virtual int RunWorker(const stProgressParams& params, const WorkerFn& worker) = 0;

    // The ports, credentials, baud rates and display ID the user chose (the
    // control bar), read before a worker starts.
    virtual qlink::stPortChoice ChoosePorts() = 0;
    // Where a command that talks to the display without a progress window
    // (Clear Logs) reports notices such as the wait for the display's turn;
    // null: they are dropped.
    virtual IProgress* NoticeSink() { return nullptr; }

    // Folder browser ("Select folder to save report files", file-system
    // folders only); false when cancelled or no folder resulted.
    virtual bool BrowseFolder(const std::string& title, std::filesystem::path& folder) = 0;
    // Open-file dialog for an existing file; false when cancelled.
    virtual bool OpenFile(const stFileDialog& dialog, std::filesystem::path& path) = 0;
    // Save-file dialog; false when cancelled.
    virtual bool SaveFile(const stFileDialog& dialog, std::filesystem::path& path) = 0;

    // Window caption; an empty text shows the application name "QuendraReport".
    virtual void SetTitle(const std::string& text) = 0;
    // After a command changed the log or how it is shown: the report menu
    // items and the Create Report button (from bPresent), the control bar's
    // ITEM/VALUE list, and both views repainted from the models, which the
    // frame has refreshed already.
    virtual void ShowLogState(const stLogState& state, const CLogListCtrl& list,
                              const CTempLogCtrl& temp) = 0;
    // The menu item "Compensate Log Time by PC Time": enabled (grayed when
    // false) and checked.
    virtual void SetCompensationItem(bool enabled, bool checked) = 0;
};

}  // namespace acq
