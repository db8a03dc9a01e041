#include "MainFrame.h"

#include <qtsupport/DisplayText.h>
#include <qtsupport/FileDialog.h>

#include <QAction>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFileDialog>
#include <QMenuBar>
#include <QTabWidget>
#include <QThread>
#include <QVBoxLayout>
#include <atomic>

#include "AboutDlg.h"
#include "ControlBarDlg.h"
#include "LogListView.h"
#include "ProgressDlg.h"
#include "RowIcons.h"
#include "SetFilterDlg.h"
#include "TempLogView.h"
#include "link/Ports.h"
#include "syslog/CodeTables.h"

namespace qui {

const char* const kAppTitle = "QuendraReport";

namespace {

constexpr int kViewMargin = 5;

// Progress of a worker, handed to the progress window by queued calls: the
// worker thread never touches the window. A call that arrives after the
// window is gone, or after its run (a late call of an earlier worker), is
// dropped.
class QueuedProgress final : public acq::IProgress {
public:
    QueuedProgress(CProgressDlg* dialog, int run) : m_dialog(dialog), m_run(run) {}
    void SetText(const char* text) override {
        Post([text](CProgressDlg& d) { d.SetText(text); });
    }
    void SetPos(int pos) override {
        Post([pos](CProgressDlg& d) { d.SetPos(pos); });
    }
    void End() override {
        Post([](CProgressDlg& d) { d.Finish(); });
    }
    // Shown in the text line until the next step's text replaces it.
    void Notice(const std::string& text) override {
        Post([text](CProgressDlg& d) { d.SetText(text.c_str()); });
    }
    // The same for a call made on the GUI thread's side (the thread's end).
    template <typename F>
    static void Apply(CProgressDlg& dialog, int run, F f) {
        if (dialog.CurrentRun() == run) f(dialog);
    }

private:
    template <typename F>
    void Post(F f) {
        CProgressDlg* dialog = m_dialog;
        const int run = m_run;
        QMetaObject::invokeMethod(
            dialog, [dialog, run, f] { Apply(*dialog, run, f); }, Qt::QueuedConnection);
    }
    CProgressDlg* m_dialog;
    int m_run;
};

// Runs a file dialog; the first chosen path, or false when nothing was chosen.
bool ChosenPath(QFileDialog& dialog, std::filesystem::path& path) {
    const auto chosen = qtsupport::ChosenPath(dialog);
    if (chosen) path = *chosen;
    return chosen.has_value();
}

}  // namespace

QStringList NameFilters(const std::string& filter) {
    QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString name = parts[i].trimmed();
        QString patterns = parts[i + 1].trimmed();
        if (name.isEmpty() || patterns.isEmpty()) break;
        // Qt reads the patterns from the parentheses of the name; "*.*"
        // would leave out files without an extension.
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        patterns.replace(QStringLiteral("*.*"), QStringLiteral("*"));
        const qsizetype open = name.indexOf(QLatin1Char('('));
        if (open > 0) name = name.left(open).trimmed();
        filters << QStringLiteral("%1 (%2)").arg(name, patterns);
    }
    return filters;
}

CMainFrame::CMainFrame(const acq::stFrameSetup& setup, qlink::IDisplayLink& link,
                       std::vector<std::string> serialAdapters, QWidget* parent)
    : QMainWindow(parent) {
    setObjectName(QStringLiteral("mainFrame"));
    setWindowIcon(AppIcon());
    m_frame = std::make_unique<acq::CReportFrame>(setup, *this, link);

    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    m_bar = new CControlBarDlg({setup.features, std::move(serialAdapters)}, m_frame->Settings(), central);
    m_bar->SetCommandHandler([this](int id) { PostCommand(id); });
    m_bar->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    column->addWidget(m_bar);

    m_tabs = new QTabWidget(central);
    m_tabs->setObjectName(QStringLiteral("tabs"));
    m_tabs->setDocumentMode(false);
    m_list = new LogListView;
    m_list->setObjectName(QStringLiteral("logList"));
    m_list->SetColumnClickHandler([this](int column) { OnColumnClick(column); });
    m_temp = new TempLogView;
    m_temp->setObjectName(QStringLiteral("tempView"));
    for (QWidget* view : {static_cast<QWidget*>(m_list), static_cast<QWidget*>(m_temp)}) {
        auto* page = new QWidget;
        auto* layout = new QVBoxLayout(page);
        layout->setContentsMargins(kViewMargin, kViewMargin, kViewMargin, kViewMargin);
        layout->addWidget(view);
        m_tabs->addTab(page, view == m_list ? QStringLiteral("System Log") : QStringLiteral("Temp Log"));
    }
    m_tabs->setCurrentIndex(0);
    column->addWidget(m_tabs, 1);
    setCentralWidget(central);

    m_progress = new CProgressDlg(this);
    BuildMenu();
    SetTitle({});
    ShowViews();

    // The window is never smaller than the bar's width and twice its height.
    const QSize bar = m_bar->sizeHint();
    setMinimumSize(bar.width(), 2 * bar.height());
    resize(qMax(bar.width(), 1000), qMax(2 * bar.height(), 640));
}

CMainFrame::~CMainFrame() = default;

QAction* CMainFrame::AddItem(QMenu* menu, int id, const char* text) {
    QAction* item = menu->addAction(QString::fromLatin1(text));
    item->setObjectName(QStringLiteral("cmd%1").arg(id));
    connect(item, &QAction::triggered, this, [this, id] { OnCommand(id); });
    m_items[id] = item;
    return item;
}

void CMainFrame::BuildMenu() {
    const CIniManaged& settings = m_frame->Settings();
    const stModelFeatures& features = m_frame->Features();

    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    AddItem(file, kCmdOpenLogFile, "Open Log File (&Binary)...");
    AddItem(file, kCmdCreateReport, "&Create Report File...");
    file->addSeparator();
    AddItem(file, kCmdGetLogs, "Get &Logs");
    AddItem(file, kCmdClearLogs, "Cl&ear Logs");
    file->addSeparator();
    AddItem(file, kCmdGetAll, "Get &All Reports...");
    if (settings.m_nWriteNvram != 0) AddItem(file, kCmdWriteNvram, "Write NvramData");
    file->addSeparator();
    AddItem(file, kCmdCreateHtml, "Create &Treated HTML File...");
    file->addSeparator();
    if (settings.m_nCompare != 0) AddItem(file, kCmdCompare, "Compare");
    AddItem(file, kCmdAppExit, "E&xit");

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    QAction* compensation = AddItem(view, kCmdCompensation, "Compensate Log &Time by PC Time");
    compensation->setCheckable(true);
    compensation->setChecked(m_frame->Compensating());

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    AddItem(help, kCmdAppAbout, "&About QuendraReport...");

    for (int id : {kCmdCreateHtml, kCmdCreateReport, kCmdCompare}) {
        if (QAction* item = MenuItem(id)) item->setEnabled(false);
    }
    if (!features.m_bLan && !features.m_bRs232) {
        MenuItem(kCmdGetAll)->setEnabled(false);
        MenuItem(kCmdGetLogs)->setEnabled(false);
    }
}

QAction* CMainFrame::MenuItem(int id) const {
    const auto it = m_items.find(id);
    return it == m_items.end() ? nullptr : it->second;
}

void CMainFrame::PostCommand(int id) {
    QMetaObject::invokeMethod(
        this, [this, id] { OnCommand(id); }, Qt::QueuedConnection);
}

void CMainFrame::OnCommand(int id) {
    // The log and its views belong to the running worker until it ends.
    if (m_busy) return;
    acq::CReportFrame& f = *m_frame;
    switch (id) {
        case kCmdGetLogs:
            f.OnGetLogs();
            break;
        case kCmdGetAll:
            f.OnGetAll();
            break;
        case kCmdClearLogs:
            f.OnClearLogs();
            break;
        case kCmdWriteNvram:
            f.OnWriteNvram();
            break;
        case kCmdDumpNvram:
            f.OnDumpNvram();
            break;
        case kCmdDumpTemperature:
            f.OnDumpTemperature();
            break;
        case kCmdOpenLogFile:
            f.OnFileOpenlogfile();
            break;
        case kCmdCreateReport:
            f.OnCreateReport();
            break;
        case kCmdCreateHtml:
            f.OnCreateCsv();
            break;
        case kCmdCompare:
            f.OnFileCompare();
            break;
        case kCmdCompensation:
            f.OnTimeCompensation();
            // The item shows the frame's state, not the click's own toggle.
            MenuItem(kCmdCompensation)->setChecked(f.Compensating());
            break;
        case kCmdSetFilter:
            OnSetFilter();
            break;
        case kCmdAppAbout:
            CAboutDlg(this).exec();
            break;
        case kCmdAppExit:
            close();
            break;
        default:
            break;
    }
}

void CMainFrame::OnSetFilter() {
    const std::shared_ptr<const CCodeTables> tables = CodeTables();
    std::string powerCaption;
    if (tables && tables->m_aryResource.size() > kResPowerCaption)
        powerCaption = tables->m_aryResource[kResPowerCaption];
    CSetFilterDlg dialog(m_frame->Features().m_bLan, powerCaption, m_frame->List().GetFilter(), this);
    if (dialog.exec() == QDialog::Accepted) m_frame->OnSetFilter(dialog.m_nFilter);
}

void CMainFrame::OnColumnClick(int column) {
    if (m_busy) return;
    m_frame->List().OnColumnClick(column);
    m_list->ShowList(m_frame->List());
}

int CMainFrame::RunWorker(const acq::stProgressParams& params, const acq::WorkerFn& worker) {
    if (m_busy || !worker) return acq::kExitComm;
    m_busy = true;
    m_progress->SetParams(params.nRange, params.bCancelEnabled, params.strSuffix);
    const int run = m_progress->CurrentRun();
    QueuedProgress progress(m_progress, run);
    const int* cancel = params.bCancelEnabled ? m_progress->CancelFlag() : nullptr;
    std::atomic<int> code{acq::kExitComm};
    QThread* thread = QThread::create([&] {
        try {
            code.store(worker(progress, cancel));
        } catch (...) {
            code.store(acq::kExitComm);
        }
    });
    // However the worker ends, its end closes the window (a worker that
    // forgot its End still lets the window go).
    CProgressDlg* dialog = m_progress;
    connect(thread, &QThread::finished, m_progress,
            [dialog, run] { QueuedProgress::Apply(*dialog, run, [](CProgressDlg& d) { d.Finish(); }); });
    QEventLoop untilFinished;
    connect(thread, &QThread::finished, &untilFinished, &QEventLoop::quit);
    thread->start();
    m_progress->RunModal();
    // The window closes at the worker's End; the thread returns just after.
    // Messages it may still hand over are shown meanwhile, user input waits.
    if (!thread->isFinished()) untilFinished.exec(QEventLoop::ExcludeUserInputEvents);
    thread->wait();
    delete thread;
    m_busy = false;
    return code.load();
}

qlink::stPortChoice CMainFrame::ChoosePorts() {
    const stLinkChoice c = m_bar->GetLinkChoice();
    if (c.bLan) return qlink::LanChoice(c.dwIp, c.nLanPort, c.strUser, c.strPassword, c.nDisplayId);
    return qlink::SerialChoice(c.strPort, c.nBaud, c.nDisplayId);
}

bool CMainFrame::BrowseFolder(const std::string& title, std::filesystem::path& folder) {
    QFileDialog dialog(this, QString::fromStdString(title));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    return ChosenPath(dialog, folder);
}

bool CMainFrame::OpenFile(const acq::stFileDialog& spec, std::filesystem::path& path) {
    QFileDialog dialog(this, QStringLiteral("Open"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(NameFilters(spec.strFilter));
    dialog.selectFile(QString::fromStdString(spec.strDefaultName));
    return ChosenPath(dialog, path);
}

bool CMainFrame::SaveFile(const acq::stFileDialog& spec, std::filesystem::path& path) {
    QFileDialog dialog(this, QStringLiteral("Save As"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(NameFilters(spec.strFilter));
    QString suffix = QString::fromStdString(spec.strDefaultExt);
    if (suffix.startsWith(QLatin1Char('.'))) suffix.remove(0, 1);
    dialog.setDefaultSuffix(suffix);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !spec.bOverwritePrompt);
    dialog.selectFile(QString::fromStdString(spec.strDefaultName));
    return ChosenPath(dialog, path);
}

void CMainFrame::SetTitle(const std::string& text) {
    setWindowTitle(text.empty() ? QString::fromLatin1(kAppTitle) : qtsupport::FromAnyBytes(text));
}

void CMainFrame::ShowLogState(const acq::stLogState& state, const CLogListCtrl& list,
                              const CTempLogCtrl& temp) {
    if (m_bar == nullptr) return;  // still being built: the views are filled once they exist
    for (int id : {kCmdCreateHtml, kCmdCreateReport, kCmdCompare, kCmdCompensation}) {
        if (QAction* item = MenuItem(id)) item->setEnabled(state.bPresent);
    }
    m_bar->EnableCreateReport(state.bPresent);
    m_bar->SetLogInfo(state.bPresent, state.strModel, state.strSerial, state.strInfo, state.nFileVersion);
    m_list->ShowList(list);
    m_temp->ShowText(temp.GetText());
}

void CMainFrame::ShowViews() {
    m_list->ShowList(m_frame->List());
    m_temp->ShowText(m_frame->Temp().GetText());
}

void CMainFrame::SetCompensationItem(bool enabled, bool checked) {
    QAction* item = MenuItem(kCmdCompensation);
    if (item == nullptr) return;  // the menu is not built yet
    item->setEnabled(enabled);
    item->setChecked(checked);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (m_busy) {
        event->ignore();
        return;
    }
    m_bar->SaveSetting();
    event->accept();
}

}  // namespace qui
