#pragma once
// The report program's window: the menu, the control bar across the top and
// the tabs "System Log" and "Temp Log" below it. It runs the commands of
// acq::CReportFrame and is their window (acq::IFrameUi): the progress window
// of a worker run, the folder and file dialogs, the title, the menu and
// button states after each command, and both views, which show copies of
// what the frame's list and temperature models hold.
//
// Commands come from the menu, the control bar's buttons, or PostCommand
// (which also reaches the commands no menu offers: the NVRAM dump 32787,
// the temperature dump 32796 and the filter 32784). While a worker runs,
// the progress window is modal and any other command is ignored.
// Workers never touch a widget: their progress reaches the progress window
// by queued calls, their messages through the prompt's blocking queued call.
// GUI thread only.

#include <QMainWindow>
#include <map>
#include <memory>

#include "CommandIds.h"
#include "acquire/Commands.h"
#include "acquire/FrameUi.h"
#include "link/DisplayLink.h"

class QAction;
class QTabWidget;

namespace qui {

class CControlBarDlg;
class CProgressDlg;
class LogListView;
class TempLogView;

class CMainFrame final : public QMainWindow, public acq::IFrameUi {
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

    // The menu item of a command (null when the menu has none).
    QAction* MenuItem(int id) const;
    acq::CReportFrame& Frame() { return *m_frame; }
    CControlBarDlg& ControlBar() const { return *m_bar; }
    LogListView& LogList() const { return *m_list; }
    TempLogView& TempView() const { return *m_temp; }
    QTabWidget& Tabs() const { return *m_tabs; }
    CProgressDlg& Progress() const { return *m_progress; }
    bool WorkerRunning() const { return m_busy; }

    // acq::IFrameUi
    int RunWorker(const acq::stProgressParams& params, const acq::WorkerFn& worker) override;
    qlink::stPortChoice ChoosePorts() override;
    bool BrowseFolder(const std::string& title, std::filesystem::path& folder) override;
    bool OpenFile(const acq::stFileDialog& dialog, std::filesystem::path& path) override;
    bool SaveFile(const acq::stFileDialog& dialog, std::filesystem::path& path) override;
    void SetTitle(const std::string& text) override;
    void ShowLogState(const acq::stLogState& state, const CLogListCtrl& list,
                      const CTempLogCtrl& temp) override;
    void SetCompensationItem(bool enabled, bool checked) override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildMenu();
    QAction* AddItem(QMenu* menu, int id, const char* text);
    void OnColumnClick(int column);
    void OnSetFilter();
    void ShowViews();

    std::unique_ptr<acq::CReportFrame> m_frame;
    CControlBarDlg* m_bar = nullptr;
    QTabWidget* m_tabs = nullptr;
    LogListView* m_list = nullptr;
    TempLogView* m_temp = nullptr;
    CProgressDlg* m_progress = nullptr;
    std::map<int, QAction*> m_items;
    bool m_busy = false;
};

// The application's name, the title shown without a file.
extern const char* const kAppTitle;  // "QuendraReport"
// Qt name filters from the "name|pattern|name|pattern||" form ("*.*" is every file).
QStringList NameFilters(const std::string& filter);

}  // namespace qui
