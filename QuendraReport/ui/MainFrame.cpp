#include "MainFrame.h"

#include <qtsupport/DisplayText.h>
#include <qtsupport/FileDialog.h>

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFileDialog>
#include <QMenuBar>
#include <QTabWidget>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <atomic>

#include "AboutDlg.h"
#include "ControlBarDlg.h"
#include "LogListView.h"
#include "ProgressDlg.h"
#include "RowIcons.h"
#include "SetFilterDlg.h"
#include "TempLogView.h"
#include "acquire/Transfer.h"
#include "link/Ports.h"
#include "syslog/CodeTables.h"

namespace qui {

const char* const kAppTitle = "QuendraReport";

namespace {

constexpr int kViewMargin = 5;

// Progress of a command's worker, handed to the window by queued calls: the
// worker thread never touches a widget. Each call carries the command's
// number and the number of the step it belongs to.
class QueuedProgress final : public acq::IProgress {
public:
    QueuedProgress(CMainFrame* frame, int run) : m_frame(frame), m_run(run) {}
    void Begin(const acq::stProgressParams& params) override {
        const int step = ++m_step;
        Post([params, step](CMainFrame& f, int run) { f.OnStepBegin(run, step, params); });
    }
    void SetText(const char* text) override {
        const std::string copy = text ? text : "";
        Post([copy, step = m_step](CMainFrame& f, int run) { f.OnStepText(run, step, copy); });
    }
    void SetPos(int pos) override {
        Post([pos, step = m_step](CMainFrame& f, int run) { f.OnStepPos(run, step, pos); });
    }
    void End() override {
        Post([step = m_step](CMainFrame& f, int run) { f.OnStepEnd(run, step); });
    }
    // Shown in the text line until the next step's text replaces it.
    void Notice(const std::string& text) override {
        Post([text, step = m_step](CMainFrame& f, int run) { f.OnStepText(run, step, text); });
    }

private:
    template <typename F>
    void Post(F f) {
        CMainFrame* frame = m_frame;
        const int run = m_run;
        QMetaObject::invokeMethod(
            frame, [frame, run, f] { f(*frame, run); }, Qt::QueuedConnection);
    }
    CMainFrame* m_frame;
    int m_run;
    int m_step = 0;  // worker thread only
};

const char* const kFolderTitle = "Select folder to save report files";
const char* const kLogFilter = "Log file (*.dat)|*.dat|All files (*.*)|*.*||";
const char* const kBinFilter = "Binary files (*.bin)|*.bin|All files (*.*)|*.*||";
const char* const kHtmlFilter = "HTML file (*.html)|*.html|All files (*.*)|*.*||";
const char* const kTextFilter = "Text file (*.txt)|*.txt|All files (*.*)|*.*||";

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
    : QMainWindow(parent), m_frame(std::make_unique<acq::CReportFrame>(setup)), m_link(link) {
    setObjectName(QStringLiteral("mainFrame"));
    setWindowIcon(AppIcon());
    m_boxes.SetOwner(this);

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
    m_list->ShowList(m_frame->List());
    m_temp->ShowText(m_frame->Temp().GetText());

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
    switch (id) {
        case kCmdGetLogs:
            OnGetLogs();
            break;
        case kCmdGetAll:
            OnGetAll();
            break;
        case kCmdClearLogs:
            OnClearLogs();
            break;
        case kCmdWriteNvram:
            OnWriteNvram();
            break;
        case kCmdDumpNvram:
            OnDumpNvram();
            break;
        case kCmdDumpTemperature:
            OnDumpTemperature();
            break;
        case kCmdOpenLogFile:
            OnOpenLogFile();
            break;
        case kCmdCreateReport:
            OnCreateReport();
            break;
        case kCmdCreateHtml:
            OnCreateHtml();
            break;
        case kCmdCompare:
            OnCompare();
            break;
        case kCmdCompensation:
            m_frame->ToggleCompensation();
            ShowState();
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

// ---- display commands ------------------------------------------------------

void CMainFrame::OnGetLogs() {
    SetTitle({});
    const acq::stGetLogsRequest request = m_frame->GetLogsRequest(ChoosePorts());
    Finish(acq::Command::kGetLogs, RunCommand(false, [&](acq::IProgress& p, const int* c) {
               return acq::GetLogs(m_link, request, p, c);
           }));
}

void CMainFrame::OnGetAll() {
    std::filesystem::path folder;
    if (!BrowseFolder(folder)) return;
    SetTitle({});
    const acq::stGetAllRequest request = m_frame->GetAllRequest(ChoosePorts(), folder);
    Finish(acq::Command::kGetAll, RunCommand(false, [&](acq::IProgress& p, const int* c) {
               return acq::GetAll(m_link, request, p, c);
           }));
}

void CMainFrame::OnClearLogs() {
    if (m_boxes.Message(acq::kMsgClearConfirm, cmn::MB_OKCANCEL | cmn::MB_ICONWARNING, {}) != cmn::IDOK)
        return;
    const acq::stClearLogsRequest request = m_frame->ClearLogsRequest(ChoosePorts());
    acq::stCommandResult result = RunCommand(
        false, [&](acq::IProgress& p, const int* c) { return acq::ClearLogs(m_link, request, p, c); });
    if (result.log) SetTitle({});
    Finish(acq::Command::kClearLogs, std::move(result));
}

void CMainFrame::OnWriteNvram() {
    std::filesystem::path file;
    if (!OpenFile(acq::kNvramDumpName, kBinFilter, file)) return;
    SetTitle({});
    acq::stNvramWriteRequest request;
    request.ports = ChoosePorts();
    request.file = file;
    Finish(acq::Command::kWriteNvram, RunCommand(false, [&](acq::IProgress& p, const int* c) {
               return acq::WriteNvram(m_link, request, p, c);
           }));
}

void CMainFrame::OnDumpNvram() {
    std::filesystem::path folder;
    if (!BrowseFolder(folder)) return;
    acq::stNvramDumpRequest request;
    request.ports = ChoosePorts();
    request.folder = folder;
    Finish(acq::Command::kDumpNvram, RunCommand(true, [&](acq::IProgress& p, const int* c) {
               return acq::DumpNvram(m_link, request, p, c);
           }));
}

void CMainFrame::OnDumpTemperature() {
    std::filesystem::path file;
    if (!SaveFile("Temperature.txt", ".txt", kTextFilter, file)) return;
    acq::stTempDumpRequest request;
    request.ports = ChoosePorts();
    request.file = file;
    Finish(acq::Command::kDumpTemperature, RunCommand(false, [&](acq::IProgress& p, const int* c) {
               return acq::DumpTemperature(m_link, request, p, c);
           }));
}

acq::stCommandResult CMainFrame::RunCommand(bool cancellable, const CommandFn& command) {
    if (m_busy || !command) {
        acq::stCommandResult refused;
        refused.nExitCode = acq::kExitComm;
        return refused;
    }
    m_busy = true;
    const int run = ++m_commandRun;
    m_shownStep = 0;
    m_steps.clear();
    QueuedProgress progress(this, run);
    const int* cancel = cancellable ? m_progress->CancelFlag() : nullptr;
    acq::stCommandResult result;
    QThread* thread = QThread::create([&] {
        try {
            result = command(progress, cancel);
        } catch (...) {
            result = {};
            result.nExitCode = acq::kExitComm;
        }
    });
    QEventLoop betweenSteps;
    m_betweenSteps = &betweenSteps;
    // However the worker ends, its end closes the window (a worker that
    // forgot its End still lets the window go).
    CProgressDlg* dialog = m_progress;
    connect(thread, &QThread::finished, this, [this, dialog, run] {
        if (m_commandRun == run) dialog->Finish();
    });
    connect(thread, &QThread::finished, &betweenSteps, &QEventLoop::quit);
    thread->start();
    // Each step the worker begins shows the progress window modally until
    // its end; between them the window takes no input, and the steps' calls
    // are taken meanwhile.
    for (;;) {
        if (!m_steps.empty()) {
            const auto next = m_steps.begin();
            const stPendingStep step = next->second;
            m_shownStep = next->first;
            m_steps.erase(next);
            m_progress->SetParams(step.params.nRange, step.params.bCancelEnabled, step.params.strSuffix);
            if (!step.text.empty()) m_progress->SetText(step.text.c_str());
            if (step.pos >= 0) m_progress->SetPos(step.pos);
            // A step that ended already still comes up, and goes at once.
            if (step.ended || thread->isFinished())
                QTimer::singleShot(0, m_progress, [dialog] { dialog->Finish(); });
            m_progress->RunModal();
            continue;
        }
        if (thread->isFinished()) {
            // The worker posted all its calls before it ended; a step it
            // began may still be on its way and comes up before the end.
            QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
            if (m_steps.empty()) break;
            continue;
        }
        betweenSteps.exec(QEventLoop::ExcludeUserInputEvents);
    }
    m_betweenSteps = nullptr;
    thread->wait();
    delete thread;
    // Calls still queued for this command find another number and are dropped.
    ++m_commandRun;
    m_busy = false;
    return result;
}

void CMainFrame::OnStepBegin(int run, int step, const acq::stProgressParams& params) {
    if (run != m_commandRun) return;
    m_steps[step].params = params;
    if (m_betweenSteps) m_betweenSteps->quit();
}

void CMainFrame::OnStepText(int run, int step, const std::string& text) {
    if (run != m_commandRun) return;
    if (step == m_shownStep)
        m_progress->SetText(text.c_str());
    else if (step > m_shownStep)
        m_steps[step].text = text;
}

void CMainFrame::OnStepPos(int run, int step, int pos) {
    if (run != m_commandRun) return;
    if (step == m_shownStep)
        m_progress->SetPos(pos);
    else if (step > m_shownStep)
        m_steps[step].pos = pos;
}

void CMainFrame::OnStepEnd(int run, int step) {
    if (run != m_commandRun) return;
    if (step == m_shownStep)
        m_progress->Finish();
    else if (step > m_shownStep)
        m_steps[step].ended = true;
}

// ---- file commands ---------------------------------------------------------

void CMainFrame::OnOpenLogFile() {
    std::filesystem::path file;
    OpenFile("monitorlog.dat", kLogFilter, file);
    ShowOpenedLog(file, m_frame->OpenLogFile(file));
}

void CMainFrame::OnCreateReport() {
    std::filesystem::path file;
    if (!SaveFile(m_frame->GetReportName(), ".dat", kLogFilter, file)) return;
    ShowFileOutcome(m_frame->CreateReport(file));
}

void CMainFrame::OnCreateHtml() {
    std::filesystem::path file;
    if (!SaveFile(m_frame->GetHtmlName(), ".html", kHtmlFilter, file)) return;
    ShowFileOutcome(m_frame->CreateHtml(file));
}

void CMainFrame::OnCompare() {
    std::filesystem::path second;
    OpenFile("monitorlog.dat", kLogFilter, second);
    ShowOpenedLog(second, m_frame->Compare(second));
}

void CMainFrame::ShowOpenedLog(const std::filesystem::path& chosen, const acq::stFileOutcome& outcome) {
    SetTitle(m_frame->Log().m_strSourceFile.string());
    ShowState();
    // Compensation is off; without a new log it stays unavailable.
    if (chosen.empty()) MenuItem(kCmdCompensation)->setEnabled(false);
    ShowFileOutcome(outcome);
}

void CMainFrame::OnSetFilter() {
    const std::shared_ptr<const CCodeTables> tables = CodeTables();
    std::string powerCaption;
    if (tables && tables->m_aryResource.size() > kResPowerCaption)
        powerCaption = tables->m_aryResource[kResPowerCaption];
    CSetFilterDlg dialog(m_frame->Features().m_bLan, powerCaption, m_frame->List().GetFilter(), this);
    if (dialog.exec() != QDialog::Accepted) return;
    m_frame->SetFilter(dialog.m_nFilter);
    ShowState();
}

void CMainFrame::OnColumnClick(int column) {
    if (m_busy) return;
    m_frame->List().OnColumnClick(column);
    m_list->ShowList(m_frame->List());
}

// ---- dialogs ---------------------------------------------------------------

qlink::stPortChoice CMainFrame::ChoosePorts() const {
    const stLinkChoice c = m_bar->GetLinkChoice();
    if (c.bLan) return qlink::LanChoice(c.dwIp, c.nLanPort, c.strUser, c.strPassword, c.nDisplayId);
    return qlink::SerialChoice(c.strPort, c.nBaud, c.nDisplayId);
}

bool CMainFrame::BrowseFolder(std::filesystem::path& folder) {
    QFileDialog dialog(this, QString::fromLatin1(kFolderTitle));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    return ChosenPath(dialog, folder) && !folder.empty();
}

bool CMainFrame::OpenFile(const char* defaultName, const char* filter, std::filesystem::path& path) {
    QFileDialog dialog(this, QStringLiteral("Open"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(NameFilters(filter));
    dialog.selectFile(QString::fromLatin1(defaultName));
    return ChosenPath(dialog, path);
}

bool CMainFrame::SaveFile(const std::string& defaultName, const char* ext, const char* filter,
                          std::filesystem::path& path) {
    QFileDialog dialog(this, QStringLiteral("Save As"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(NameFilters(filter));
    dialog.setDefaultSuffix(QString::fromLatin1(ext + 1));  // without its dot
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    dialog.selectFile(QString::fromStdString(defaultName));
    return ChosenPath(dialog, path);
}

// ---- after a command -------------------------------------------------------

void CMainFrame::Finish(acq::Command command, acq::stCommandResult result) {
    if (result.log) m_frame->AdoptLog(std::move(result.log));
    // Get Logs, Get All and Clear Logs change the log; the window shows it.
    if (command == acq::Command::kGetLogs || command == acq::Command::kGetAll ||
        command == acq::Command::kClearLogs)
        ShowState();
    ShowDecodeError(result.decodeError);
    const acq::stOutcomeMessage message = acq::OutcomeMessage(command, result.nExitCode);
    if (message.text == nullptr) return;
    const unsigned icon = message.bInformation ? cmn::MB_ICONINFORMATION : cmn::MB_ICONWARNING;
    m_boxes.Message(message.text, cmn::MB_OK | icon, {},
                    result.nExitCode == acq::kExitOk ? std::string() : acq::FailureDetails(result.failure));
}

void CMainFrame::ShowFileOutcome(const acq::stFileOutcome& outcome) {
    ShowDecodeError(outcome.decodeError);
    if (outcome.bOk) return;
    m_boxes.Message(
        outcome.strMessage, cmn::MB_OK | cmn::MB_ICONWARNING, {},
        outcome.failure.reason == acq::Reason::kNone ? std::string() : acq::FailureDetails(outcome.failure));
}

void CMainFrame::ShowDecodeError(const std::optional<stDecodeError>& error) {
    if (error) m_boxes.Message(DecodeErrorMessage(*error), cmn::MB_OK | cmn::MB_ICONWARNING, {});
}

void CMainFrame::ShowState() {
    const acq::stLogState state = m_frame->LogState();
    for (int id : {kCmdCreateHtml, kCmdCreateReport, kCmdCompare, kCmdCompensation}) {
        if (QAction* item = MenuItem(id)) item->setEnabled(state.bPresent);
    }
    MenuItem(kCmdCompensation)->setChecked(m_frame->Compensating());
    m_bar->EnableCreateReport(state.bPresent);
    m_bar->SetLogInfo(state.bPresent, state.strModel, state.strSerial, state.strInfo, state.nFileVersion);
    m_list->ShowList(m_frame->List());
    m_temp->ShowText(m_frame->Temp().GetText());
}

void CMainFrame::SetTitle(const std::string& text) {
    setWindowTitle(text.empty() ? QString::fromLatin1(kAppTitle) : qtsupport::FromAnyBytes(text));
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
