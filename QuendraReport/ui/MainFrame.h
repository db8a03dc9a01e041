#pragma once
// The report program's window: the menu, the control bar across the top and
// the tabs "System Log" and "Temp Log" below it. Each command asks its
// dialogs first (folder, file, confirmation), then runs: a display command
// (acq::GetLogs ... acq::ClearLogs) as a request on a worker thread under
// the progress window, a file command on acq::CReportFrame, the window's
// state without the window. Afterwards the window shows what the command
// left (menu and button states, the ITEM/VALUE list, both views, which show
// copies of the frame's list and temperature models) and the command's
// message from the one table of acquire/Outcome.h, its failure's reason and
// step in the box's details.
//
// Commands come from the menu, the control bar's buttons, or PostCommand
// (which also reaches the commands no menu offers: the NVRAM dump 32787,
// the temperature dump 32796 and the filter 32784). While a worker runs,
// any other command is ignored and user input goes only to the progress
// window. Workers never touch a widget: their progress reaches the progress
// window by queued calls.
// GUI thread only.

#include <qtsupport/QtPrompt.h>

#include <QMainWindow>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "CommandIds.h"
#include "acquire/Acquire.h"
#include "acquire/Frame.h"
#include "acquire/Outcome.h"
#include "link/DisplayLink.h"

class QAction;
class QEventLoop;
class QTabWidget;

namespace qui {

class CControlBarDlg;
class CProgressDlg;
class LogListView;
class TempLogView;

class CMainFrame final : public QMainWindow {
public:
    // `link` must outlive the window. `serialAdapters` are listed after
    // COM256 when the model offers the serial line.
    CMainFrame(const acq::stFrameSetup& setup, qlink::IDisplayLink& link,
               std::vector<std::string> serialAdapters = {}, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Runs command `id` once the event loop gets to it.
    void PostCommand(int id);
    // Runs command `id` now; ignored while a worker runs.
    void OnCommand(int id);

    // A display command, run on a worker thread: the progress window comes
    // up for each step the command begins and goes at its end; meanwhile
    // the window takes no input. With `cancellable` the command gets the
    // progress window's cancel flag (its Cancel button shows for steps that
    // ask for it). Returns the command's result once the worker has ended.
    using CommandFn = std::function<acq::stCommandResult(acq::IProgress& progress, const int* cancel)>;
    acq::stCommandResult RunCommand(bool cancellable, const CommandFn& command);

    // The menu item of a command (null when the menu has none).
    QAction* MenuItem(int id) const;
    acq::CReportFrame& Frame() { return *m_frame; }
    CControlBarDlg& ControlBar() const { return *m_bar; }
    LogListView& LogList() const { return *m_list; }
    TempLogView& TempView() const { return *m_temp; }
    QTabWidget& Tabs() const { return *m_tabs; }
    CProgressDlg& Progress() const { return *m_progress; }
    bool WorkerRunning() const { return m_busy; }

    // What the running command's worker reports, handed over by queued
    // calls: `run` is the command's number (calls of an earlier one are
    // dropped), `step` the number of the step (its Begin) they belong to.
    void OnStepBegin(int run, int step, const acq::stProgressParams& params);
    void OnStepText(int run, int step, const std::string& text);
    void OnStepPos(int run, int step, int pos);
    void OnStepEnd(int run, int step);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // A step the worker began and the progress window shows next.
    struct stPendingStep {
        acq::stProgressParams params;
        std::string text;  // empty: none yet
        int pos = -1;      // -1: none yet
        bool ended = false;
    };
    void BuildMenu();
    QAction* AddItem(QMenu* menu, int id, const char* text);
    void OnColumnClick(int column);

    // The commands.
    void OnGetLogs();
    void OnGetAll();
    void OnClearLogs();
    void OnWriteNvram();
    void OnDumpNvram();
    void OnDumpTemperature();
    void OnOpenLogFile();
    void OnCreateReport();
    void OnCreateHtml();
    void OnCompare();
    void OnSetFilter();

    // Dialogs.
    qlink::stPortChoice ChoosePorts() const;
    bool BrowseFolder(std::filesystem::path& folder);
    bool OpenFile(const char* defaultName, const char* filter, std::filesystem::path& path);
    bool SaveFile(const std::string& defaultName, const char* ext, const char* filter,
                  std::filesystem::path& path);

    // After a command: the log it left, the menus and views, its messages.
    void Finish(acq::Command command, acq::stCommandResult result);
    void ShowFileOutcome(const acq::stFileOutcome& outcome);
    // After Open Log File or Compare, whose open dialog gave `chosen`.
    void ShowOpenedLog(const std::filesystem::path& chosen, const acq::stFileOutcome& outcome);
    void ShowDecodeError(const std::optional<stDecodeError>& error);
    void ShowState();
    void SetTitle(const std::string& text);

    std::unique_ptr<acq::CReportFrame> m_frame;
    qlink::IDisplayLink& m_link;
    qtsupport::QtPrompt m_boxes;  // the window's message boxes
    CControlBarDlg* m_bar = nullptr;
    QTabWidget* m_tabs = nullptr;
    LogListView* m_list = nullptr;
    TempLogView* m_temp = nullptr;
    CProgressDlg* m_progress = nullptr;
    std::map<int, QAction*> m_items;
    bool m_busy = false;
    int m_commandRun = 0;                  // number of the command that runs or ran last
    int m_shownStep = 0;                   // the step the progress window shows (0: none)
    std::map<int, stPendingStep> m_steps;  // steps begun and not shown yet
    QEventLoop* m_betweenSteps = nullptr;  // runs while no step is shown
};

// The application's name, the title shown without a file.
extern const char* const kAppTitle;  // "QuendraReport"
// Qt name filters from the "name|pattern|name|pattern||" form ("*.*" is every file).
QStringList NameFilters(const std::string& filter);

}  // namespace qui
