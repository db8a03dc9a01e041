// quendra-report-screenshot INSTALLATION-FOLDER OUT-FOLDER [LOGS-FOLDER]:
// pictures of the report program's window and dialogs, with the sample logs
// of LOGS-FOLDER (default: the installation's "logs"), for the README and for
// looking at the layout (no display needed with QT_QPA_PLATFORM=offscreen).
// The window's title shows the opened log's path, so pictures meant for
// others are made from a folder whose name says nothing about this machine.
// The installation is copied to a scratch folder first, so its settings file
// is never written. The display link is a recording fake: nothing is sent
// anywhere.
#include <common/ini.h>
#include <common/RecordingPrompt.h>
#include <qtsupport/QtPrompt.h>
#include <testsupport/ModalScript.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QTabWidget>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "AboutDlg.h"
#include "ControlBarDlg.h"
#include "LanSettingDlg.h"
#include "LogListView.h"
#include "MainFrame.h"
#include "ModelSelectDlg.h"
#include "ProgressDlg.h"
#include "SetFilterDlg.h"
#include "link/RecordingDisplayLink.h"

namespace fs = std::filesystem;
using namespace qui;
using testsupport::ModalScript;
using testsupport::ModalWatchdog;

namespace {

fs::path g_out;
int g_failures = 0;

// A window's picture under a plain caption strip with its title, as the
// offscreen platform draws no window frame; a child widget as it is.
QImage Picture(QWidget& w) {
    const QImage body = w.grab().toImage();
    if (!w.isWindow()) return body;
    const int strip = w.fontMetrics().height() + 12;
    QImage framed(body.width(), body.height() + strip, QImage::Format_RGB32);
    framed.fill(QColor(0x3C, 0x3F, 0x41));
    QPainter painter(&framed);
    painter.drawImage(0, strip, body);
    painter.setPen(Qt::white);
    QFont bold = w.font();
    bold.setBold(true);
    painter.setFont(bold);
    painter.drawText(QRect(10, 0, body.width() - 20, strip), Qt::AlignVCenter | Qt::AlignLeft,
                     w.windowTitle());
    return framed;
}

void Save(QWidget& w, const char* name) {
    QApplication::processEvents();
    const QString file = QString::fromStdString((g_out / name).string());
    if (!Picture(w).save(file)) {
        std::fprintf(stderr, "quendra-report-screenshot: cannot write %s\n", file.toLocal8Bit().constData());
        ++g_failures;
        return;
    }
    std::printf("%s\n", file.toLocal8Bit().constData());
}

// Runs the script's steps while `command` runs; true when every step was taken.
bool Drive(CMainFrame& frame, int command, ModalScript& script) {
    frame.OnCommand(command);
    QApplication::processEvents();
    return script.Done();
}

bool OpenLog(CMainFrame& frame, const fs::path& log) {
    ModalScript script;
    script.ChooseFile(QString::fromStdString(log.string()));
    return Drive(frame, kCmdOpenLogFile, script);
}

std::unique_ptr<CMainFrame> Window(const fs::path& programDir, const char* model, const char* folder,
                                   qlink::IDisplayLink& link) {
    const acq::stFrameSetup setup = acq::MakeFrameSetup(programDir, model, programDir / folder, true);
    auto frame = std::make_unique<CMainFrame>(
        setup, link, std::vector<std::string>{"/dev/serial/by-id/usb-Adapter_USB-Serial-if00-port0"});
    frame->resize(1180, 720);
    frame->show();
    return frame;
}

// `logs`: the sample logs as the caller named them (their path is the title).
void MainWindowPictures(const fs::path& programDir, const fs::path& logs, qlink::IDisplayLink& link) {
    auto frame = Window(programDir, "QM-X003", "QMX001", link);
    if (!OpenLog(*frame, logs / "abnormal.dat")) {
        std::fprintf(stderr, "quendra-report-screenshot: the sample log did not open\n");
        ++g_failures;
    }
    Save(*frame, "main-system-log.png");
    Save(frame->ControlBar(), "controlbar-lan-serial.png");
    frame->ControlBar().InterfaceBox()->setCurrentText(QStringLiteral("COM3"));
    Save(frame->ControlBar(), "controlbar-serial-port.png");
    frame->ControlBar().InterfaceBox()->setCurrentIndex(0);
    frame->Tabs().setCurrentIndex(1);
    Save(*frame, "main-temp-log.png");
    frame->Tabs().setCurrentIndex(0);

    // Abnormal and power records only, the newest first.
    ModalScript kinds;
    kinds.On<CSetFilterDlg>([](CSetFilterDlg* d) {
        for (int i = 0; i < 6; ++i) d->Box(i)->setChecked(i >= 4);
        d->accept();
    });
    Drive(*frame, kCmdSetFilter, kinds);
    frame->LogList().horizontalHeader()->sectionClicked(LOG_COL_DATE);
    Save(*frame, "main-filtered-sorted.png");

    // "Clear Logs" asks first; the picture is taken before Cancel is pressed.
    qtsupport::QtPrompt boxes;
    boxes.SetOwner(frame.get());
    {
        cmn::ScopedPrompt real(boxes);
        ModalScript clear;
        clear.On<QMessageBox>([](QMessageBox* box) { Save(*box, "dialog-clear-logs.png"); })
            .Press(QMessageBox::Cancel);
        if (!Drive(*frame, kCmdClearLogs, clear)) ++g_failures;
    }

    // A model with elapsed times: lines under the power supply records.
    auto elapsed = Window(programDir, "QM-Y210", "QMY210", link);
    OpenLog(*elapsed, logs / "code-paths.dat");
    Save(*elapsed, "main-elapsed-time.png");
}

void DialogPictures(const fs::path& programDir) {
    CModelSelectDlg select(ReadModelList(programDir));
    select.show();
    Save(select, "dialog-select-model.png");

    CLanSettingDlg lan({0xC0A80114u, 10008, "service", "secret"});
    lan.show();
    Save(lan, "dialog-lan-settings.png");

    CProgressDlg progress;
    progress.SetParams(12, false, " 1/2");
    progress.SetText("Log data reading...");
    progress.SetPos(7);
    progress.show();
    Save(progress, "dialog-progress.png");
    progress.Finish();

    CAboutDlg about;
    about.show();
    Save(about, "dialog-about.png");

    CSetFilterDlg kinds(true, "Power Change Reason", LOG_FILTER_ALL & ~LOG_FILTER_SIGNAL);
    kinds.show();
    Save(kinds, "dialog-select-kind.png");

    // The message boxes as the programs show them, answered like a user.
    qtsupport::QtPrompt boxes;
    ModalScript failed;
    failed.On<QMessageBox>([](QMessageBox* box) { Save(*box, "dialog-message.png"); }).Press(QMessageBox::Ok);
    boxes.Message(acq::kMsgCommFailed, cmn::MB_OK | cmn::MB_ICONWARNING, {});
    if (!failed.Done()) ++g_failures;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: quendra-report-screenshot INSTALLATION-FOLDER OUT-FOLDER [LOGS-FOLDER]\n");
        return 2;
    }
    // Dates as the sample logs were written, whatever the machine's zone.
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(kAppTitle));
    g_out = argv[2];
    QTemporaryDir scratch;
    std::error_code ec;
    fs::copy(argv[1], scratch.path().toStdString(), fs::copy_options::recursive, ec);
    if (!scratch.isValid() || ec) {
        std::fprintf(stderr, "quendra-report-screenshot: cannot copy %s\n", argv[1]);
        return 1;
    }
    const fs::path programDir = scratch.path().toStdString();
    // Every command of the menu and the bar: comparing and NVRAM writing on.
    cmn::IniWriteString(programDir / "QuendraReport.ini", "COMMON", "COMPARE", "1");
    cmn::IniWriteString(programDir / "QuendraReport.ini", "COMMON", "WRITENVR", "1");
    cmn::RecordingPrompt prompt;  // a message would only stop the pictures
    cmn::ScopedPrompt scoped(prompt);
    qlink::RecordingDisplayLink link;
    ModalWatchdog watchdog;

    DialogPictures(programDir);
    MainWindowPictures(programDir, argc == 4 ? fs::path(argv[3]) : fs::path(argv[1]) / "logs", link);
    for (const std::string& text : prompt.Texts()) std::fprintf(stderr, "message: %s\n", text.c_str());
    return g_failures == 0 && watchdog.Closed().empty() ? 0 : 1;
}
