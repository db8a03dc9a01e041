// The report window driven like a user drives it, on the offscreen platform:
// menus and buttons, the states after each command, the dialogs and the real
// message boxes each command brings up (answered by their buttons and keys),
// workers on their thread under the progress window, and a run against
// display-sim.
#include "acquire/Frame.h"

#include <common/timeutil.h>
#include <gtest/gtest.h>
#include <logimage/LogImage.h>
#include <stdlib.h>
#include <testsupport/ModalScript.h>
#include <testsupport/OffscreenApp.h>
#include <testsupport/SimProcess.h>
#include <testsupport/TempDir.h>
#include <testsupport/TimeZone.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>
#include <chrono>
#include <functional>
#include <future>
#include <optional>

#include "ControlBarDlg.h"
#include "LogListView.h"
#include "MainFrame.h"
#include "ProgressDlg.h"
#include "SetFilterDlg.h"
#include "TempLogView.h"
#include "acquire/Outcome.h"
#include "link/NativeDisplayLink.h"
#include "link/RecordingDisplayLink.h"
#include "syslog/CodeTables.h"

namespace fs = std::filesystem;
using namespace qui;
using testsupport::ModalScript;
using testsupport::ModalWatchdog;

namespace {

const fs::path kSamples = QUENDRA_SAMPLES_DIR;

class FrameTest : public testsupport::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        testsupport::OffscreenApp();
        watchdog.emplace();  // its timer needs the application
        fs::copy_file(kSamples / "ModelName.csv", dir / "ModelName.csv");
        fs::copy(kSamples / "QMX001", dir / "QMX001");
        link.logImage = logimage::BuildLog(logimage::AbnormalDisplay());
        link.nvramImage.assign(4096, 0x5A);
    }
    void TearDown() override {
        EXPECT_TRUE(watchdog->Closed().empty()) << "a window nobody answered: " << watchdog->Closed().front();
        LoadCodeTables(dir / "none");
    }

    std::unique_ptr<CMainFrame> Frame(qlink::IDisplayLink& with, const std::string& model = "QM-X001",
                                      bool lanDefault = true) {
        auto frame =
            std::make_unique<CMainFrame>(acq::MakeFrameSetup(dir, model, dir / "QMX001", lanDefault), with);
        frame->show();
        frame->Progress().installEventFilter(&m_showWatch);
        return frame;
    }
    std::unique_ptr<CMainFrame> Frame() { return Frame(link); }

    // Runs a command as the menu does; the script answers its dialogs.
    static void Run(CMainFrame& frame, int id, ModalScript& script) {
        frame.OnCommand(id);
        EXPECT_TRUE(script.Done()) << "command " << id << " did not bring up every dialog";
    }
    static void Click(QPushButton* button) {
        ASSERT_TRUE(button->isVisible() && button->isEnabled()) << button->text().toStdString();
        QTest::mouseClick(button, Qt::LeftButton);
        QApplication::processEvents();  // the posted command runs to its end here
    }
    static bool Enabled(CMainFrame& frame, int id) { return frame.MenuItem(id)->isEnabled(); }
    fs::path OpenSample(CMainFrame& frame, const char* name) {
        ModalScript script;
        script.ChooseFile(QString::fromStdString((kSamples / "logs" / name).string()));
        Run(frame, kCmdOpenLogFile, script);
        return kSamples / "logs" / name;
    }

    testsupport::ScopedTimeZone tz{"UTC"};
    std::optional<ModalWatchdog> watchdog;
    // A message box no script answers is closed by the watchdog and fails the test.
    qlink::RecordingDisplayLink link;
    // Caption of the progress window each time it comes up.
    std::vector<std::string> captions;

private:
    struct ShowWatch : QObject {
        explicit ShowWatch(std::vector<std::string>& seen) : m_seen(seen) {}
        bool eventFilter(QObject* watched, QEvent* event) override {
            if (event->type() == QEvent::Show)
                m_seen.push_back(static_cast<QWidget*>(watched)->windowTitle().toStdString());
            return false;
        }
        std::vector<std::string>& m_seen;
    } m_showWatch{captions};
};

TEST_F(FrameTest, StartStatesFollowTheSettingsAndTheModel) {
    Write("QuendraReport.ini", "[COMMON]\r\nCOMPARE=1\r\nWRITENVR=1\r\n");
    {
        auto frame = Frame();
        EXPECT_EQ(frame->windowTitle(), "QuendraReport");
        for (int id : {kCmdCreateHtml, kCmdCreateReport, kCmdCompare})
            EXPECT_FALSE(Enabled(*frame, id)) << id;
        for (int id : {kCmdGetLogs, kCmdGetAll, kCmdOpenLogFile, kCmdWriteNvram})
            EXPECT_TRUE(Enabled(*frame, id)) << id;
        EXPECT_FALSE(frame->MenuItem(kCmdCompensation)->isChecked());
        // Nothing in the window issues the NVRAM dump, the temperature dump or the filter.
        for (int id : {int{kCmdSetFilter}, int{kCmdDumpNvram}, int{kCmdDumpTemperature}})
            EXPECT_EQ(frame->MenuItem(id), nullptr) << id;
        EXPECT_FALSE(frame->ControlBar().CreateReportButton()->isEnabled());

        EXPECT_TRUE(frame->LogList().isVisible());
        frame->Tabs().setCurrentIndex(1);
        EXPECT_TRUE(frame->TempView().isVisible());
        EXPECT_FALSE(frame->LogList().isVisible());

        // The bar spans the window at the top, the tabs take the rest; the
        // window is never smaller than the bar's width and twice its height.
        const QWidget* bar = &frame->ControlBar();
        EXPECT_EQ(bar->width(), frame->centralWidget()->width());
        EXPECT_EQ(frame->Tabs().height(), frame->centralWidget()->height() - bar->height());
        frame->resize(10, 10);
        QApplication::processEvents();
        EXPECT_GE(frame->width(), bar->sizeHint().width());
        EXPECT_GE(frame->height(), 2 * bar->sizeHint().height());
    }
    Write("QuendraReport.ini", "[COMMON]\r\nCOMPARE=0\r\nWRITENVR=0\r\n");
    Write("QMX001/model.ini", "[Feature]\r\nRS232=0\r\nLAN=0\r\n");
    auto frame = Frame(link, "QM-X001", false);
    EXPECT_EQ(frame->MenuItem(kCmdCompare), nullptr);
    EXPECT_EQ(frame->MenuItem(kCmdWriteNvram), nullptr);
    EXPECT_FALSE(Enabled(*frame, kCmdGetLogs));  // neither LAN nor the serial line
    EXPECT_FALSE(Enabled(*frame, kCmdGetAll));
    EXPECT_FALSE(frame->ControlBar().GetLogsButton()->isEnabled());
}

TEST_F(FrameTest, GetLogsFromTheButtonFillsTheWindow) {
    Write("QuendraReport.ini", "[COMMON]\r\nPORT=LAN\r\nIP=192.168.1.20\r\nLANPORT=10008\r\n");
    auto frame = Frame();
    Click(frame->ControlBar().GetLogsButton());

    // Ports as the control bar builds them from the settings.
    const std::vector<std::string> calls = link.Calls();
    auto called = [&](const std::string& line) {
        return std::find(calls.begin(), calls.end(), line) != calls.end();
    };
    EXPECT_TRUE(called("QnOpenEx(LAN192.168.1.20:10008,,,0x00010200)"));
    EXPECT_TRUE(called("DkOpen(LAN192.168.1.20:18081,5,3,115200)"));
    EXPECT_EQ(captions, std::vector<std::string>{"Communicating"});
    EXPECT_FALSE(frame->Progress().isVisible());

    const CLogListCtrl& list = frame->Frame().List();
    ASSERT_GT(list.Rows().size(), 20u);
    EXPECT_EQ(frame->LogList().Model().rowCount(), static_cast<int>(list.Rows().size()));
    EXPECT_FALSE(frame->TempView().toPlainText().isEmpty());
    const QTreeWidget* info = frame->ControlBar().InfoList();
    ASSERT_GE(info->topLevelItemCount(), 2);
    EXPECT_EQ(info->topLevelItem(0)->text(1).toStdString(), frame->Frame().Log().m_strModel);
    EXPECT_EQ(info->topLevelItem(1)->text(1).toStdString(), frame->Frame().Log().m_strSerial);
    for (int id : {kCmdCreateHtml, kCmdCreateReport, kCmdCompensation})
        EXPECT_TRUE(Enabled(*frame, id)) << id;
    EXPECT_TRUE(frame->ControlBar().CreateReportButton()->isEnabled());

    // A failed read leaves no log: the report commands are grayed again. The
    // message is the program's; why, and where, is in its details.
    qlink::stLinkAnswer refused;
    refused.bNullHandle = true;
    refused.nErrorCode = 8;  // the text library could not connect
    refused.strErrorText = "cannot connect to 192.168.1.20:10008: Connection refused";
    link.Answer("QnOpenEx(LAN192.168.1.20:10008,,,0x00010200)", refused);
    ModalScript failed;
    failed.Press(QMessageBox::Ok);
    Click(frame->ControlBar().GetLogsButton());
    ASSERT_EQ(failed.BoxTexts(), std::vector<std::string>{acq::kMsgCommFailed});
    EXPECT_EQ(failed.Boxes()[0].details,
              "Reason: cannot connect (cannot-connect)\nStep: open-text-port\n"
              "LAN192.168.1.20:10008: cannot connect to 192.168.1.20:10008: Connection refused");
    for (int id : {kCmdCreateHtml, kCmdCreateReport, kCmdCompensation})
        EXPECT_FALSE(Enabled(*frame, id)) << id;
    EXPECT_FALSE(frame->ControlBar().CreateReportButton()->isEnabled());
    EXPECT_EQ(frame->LogList().Model().rowCount(), 0);
    EXPECT_EQ(frame->ControlBar().InfoList()->topLevelItemCount(), 0);
}

// Whatever went wrong, the box says the same; its details say why and
// where, as the link libraries and the command found it.
TEST_F(FrameTest, FailuresSayWhyInTheMessageDetails) {
    Write("QuendraReport.ini", "[COMMON]\r\nPORT=COM1\r\nWRITENVR=1\r\n");
    const auto failing = [](int code, int detail) {
        qlink::stLinkAnswer a;
        a.nResult = code;
        a.bNullHandle = true;
        a.nErrorCode = detail;
        return a;
    };
    const std::string size = "Dk(40)";
    const struct {
        std::string call;
        qlink::stLinkAnswer answer;
        int command;
        const char* details;  // how the details begin
    } rows[] = {
        {"QnOpenEx(COM1,,,0x00010200)", failing(0, 9), kCmdGetLogs,
         "Reason: login refused (login-refused)\nStep: open-text-port"},
        {"QnSet(\"FIRM0000\")", failing(1, 0), kCmdGetLogs,
         "Reason: refused by the display (refused)\nStep: binary-mode\n\"FIRM0000\""},
        {size, failing(1, 21), kCmdGetLogs, "Reason: no reply in time (no-reply)\nStep: log-size\n0x40"},
        {size, failing(1, 23), kCmdGetLogs, "Reason: corrupted reply (corrupted)\nStep: log-size"},
        {size, failing(1, 24), kCmdGetLogs, "Reason: connection closed (connection-closed)\nStep: log-size"},
        {"Dk(47)",
         {},
         kCmdWriteNvram,
         "Reason: size mismatch (size-mismatch)\nStep: nvram-write-size\n"
         "the display's NVRAM holds 4096 bytes, the file 10"},
    };
    Write("image.bin", std::string(10, 'x'));
    for (const auto& row : rows) {
        SCOPED_TRACE(row.call);
        qlink::RecordingDisplayLink l;
        l.logImage = link.logImage;
        l.Answer(row.call, row.answer);
        auto frame = Frame(l);
        ModalScript script;
        if (row.command == kCmdWriteNvram)
            script.ChooseFile(QString::fromStdString((dir / "image.bin").string()));
        script.Press(QMessageBox::Ok);
        Run(*frame, row.command, script);
        const auto& boxes = script.Boxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, acq::kMsgCommFailed);
        EXPECT_EQ(boxes[0].details.rfind(row.details, 0), 0u) << boxes[0].details;
    }
}

TEST_F(FrameTest, GetAllReportsAsksForAFolderAndRunsTwoSteps) {
    Write("QuendraReport.ini", "[COMMON]\r\nPORT=COM2\r\n");
    fs::create_directories(dir / "out");
    auto frame = Frame();
    ModalScript script;
    script.ChooseFolder(QString::fromStdString((dir / "out").string())).Press(QMessageBox::Ok);
    Run(*frame, kCmdGetAll, script);
    EXPECT_EQ(script.Seen().front(), "Select folder to save report files");
    EXPECT_EQ(captions, (std::vector<std::string>{"Communicating 1/2", "Communicating 2/2"}));
    ASSERT_EQ(script.BoxTexts(), std::vector<std::string>{acq::kMsgComplete});
    EXPECT_EQ(script.Boxes()[0].icon, QMessageBox::Information);
    EXPECT_EQ(script.Boxes()[0].details, "");  // a success has no details
    EXPECT_TRUE(fs::exists(dir / "out" / "NvramDump1.bin"));
    EXPECT_TRUE(fs::exists(dir / "out" / frame->Frame().GetReportName()));
    const std::vector<std::string> calls = link.Calls();
    EXPECT_NE(std::find(calls.begin(), calls.end(), "DkOpen(COM2,5,3,115200)"), calls.end());

    // Cancelling the folder browser does nothing.
    link.ClearCalls();
    ModalScript cancel;
    cancel.Cancel();
    Run(*frame, kCmdGetAll, cancel);
    EXPECT_TRUE(link.Calls().empty());
}

TEST_F(FrameTest, OpeningLogFilesAndCompensation) {
    Write("QuendraReport.ini", "[COMMON]\r\nCOMPARE=1\r\nPORT=COM1\r\n");
    auto frame = Frame();
    frame->OnCommand(kCmdGetLogs);  // a log with the PC's time: its clock gap shows
    ASSERT_TRUE(Enabled(*frame, kCmdCompensation));

    // Compensation on, from the menu: the item is checked and the list follows.
    const QString before = frame->LogList().Model().index(0, LOG_COL_DATE).data().toString();
    frame->MenuItem(kCmdCompensation)->trigger();
    EXPECT_TRUE(frame->MenuItem(kCmdCompensation)->isChecked());
    EXPECT_TRUE(frame->Frame().Compensating());
    EXPECT_NE(frame->LogList().Model().index(0, LOG_COL_DATE).data().toString(), before);
    // Opening a log switches it off and unchecks the item; the new log shows
    // its times without any gap.
    ModalScript open;
    const fs::path sample = kSamples / "logs" / "abnormal.dat";
    open.On<QFileDialog>([&](QFileDialog* d) {
        EXPECT_EQ(d->fileMode(), QFileDialog::ExistingFile);
        EXPECT_EQ(d->findChild<QLineEdit*>("fileNameEdit")->text(), "monitorlog.dat");
        ModalScript::Choose(d, QString::fromStdString(sample.string()));
    });
    Run(*frame, kCmdOpenLogFile, open);
    EXPECT_EQ(frame->windowTitle().toStdString(), sample.string());
    EXPECT_FALSE(frame->MenuItem(kCmdCompensation)->isChecked());
    EXPECT_FALSE(frame->Frame().Compensating());
    const LogListModel& model = frame->LogList().Model();
    ASSERT_GT(model.rowCount(), 0);
    const stLogItem* first = frame->Frame().List().RecordAt(model.Row(0).nItemData);
    EXPECT_EQ(model.index(0, LOG_COL_DATE).data().toString().toStdString(),
              cmn::FormatLocal(first->tmTime, "%Y/%m/%d %H:%M:%S"));
    for (int id : {kCmdCreateHtml, kCmdCreateReport, kCmdCompare, kCmdCompensation})
        EXPECT_TRUE(Enabled(*frame, id));

    // A cancelled open switches it off too.
    frame->MenuItem(kCmdCompensation)->trigger();
    ASSERT_TRUE(frame->Frame().Compensating());
    ModalScript cancel;
    cancel.Cancel();
    Run(*frame, kCmdOpenLogFile, cancel);
    EXPECT_FALSE(frame->MenuItem(kCmdCompensation)->isChecked());
    EXPECT_FALSE(frame->Frame().Compensating());
    EXPECT_EQ(frame->windowTitle().toStdString(), sample.string());

    // A file that is no log: the decoder says why, the window says which
    // file; then no file is named and nothing that needs a log is offered.
    Write("bad.dat", std::string(200, 'x'));
    ModalScript bad;
    bad.ChooseFile(QString::fromStdString((dir / "bad.dat").string()))
        .Press(QMessageBox::Ok)
        .Press(QMessageBox::Ok);
    Run(*frame, kCmdOpenLogFile, bad);
    EXPECT_EQ(bad.BoxTexts().back(), "Failed to read log file.\n" + (dir / "bad.dat").string());
    EXPECT_EQ(frame->windowTitle().toStdString(), kAppTitle);
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(frame->ControlBar().InfoList()->topLevelItemCount(), 0);
    for (int id : {kCmdCreateHtml, kCmdCreateReport, kCmdCompare, kCmdCompensation})
        EXPECT_FALSE(Enabled(*frame, id)) << id;
    EXPECT_FALSE(frame->ControlBar().CreateReportButton()->isEnabled());
}

// "Clear Logs" asks with OK and Cancel: OK (clicked or by Return) clears the
// display's logs and says so; Cancel and Escape send nothing.
TEST_F(FrameTest, ClearLogsGoesOutOnlyWhenConfirmed) {
    Write("QuendraReport.ini", "[COMMON]\r\nPORT=COM1\r\nCOMPARE=1\r\n");
    const struct {
        const char* how;
        std::function<void(ModalScript&)> answer;
        bool confirmed;
    } cases[] = {
        {"click OK", [](ModalScript& s) { s.Press(QMessageBox::Ok); }, true},
        {"Return", [](ModalScript& s) { s.PressKey(Qt::Key_Return); }, true},
        {"click Cancel", [](ModalScript& s) { s.Press(QMessageBox::Cancel); }, false},
        {"Escape", [](ModalScript& s) { s.PressKey(Qt::Key_Escape); }, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        auto frame = Frame();
        frame->OnCommand(kCmdGetLogs);
        ASSERT_TRUE(Enabled(*frame, kCmdCreateReport));
        link.ClearCalls();
        ModalScript script;
        c.answer(script);
        if (c.confirmed) script.Press(QMessageBox::Ok);
        frame->MenuItem(kCmdClearLogs)->trigger();
        EXPECT_TRUE(script.Done());

        const std::vector<std::string> calls = link.Calls();
        const bool cleared = std::find(calls.begin(), calls.end(), "QnSet(\"ACLG0000\")") != calls.end();
        EXPECT_EQ(cleared, c.confirmed);
        EXPECT_EQ(calls.empty(), !c.confirmed);
        ASSERT_FALSE(script.Boxes().empty());
        EXPECT_EQ(script.Boxes()[0].text, acq::kMsgClearConfirm);
        EXPECT_EQ(script.Boxes()[0].buttons, QMessageBox::Ok | QMessageBox::Cancel);
        EXPECT_EQ(script.Boxes()[0].icon, QMessageBox::Warning);
        if (c.confirmed) {
            EXPECT_EQ(script.BoxTexts().back(), acq::kMsgCleared);
        }
        // The log is gone after a clear and kept otherwise.
        EXPECT_EQ(Enabled(*frame, kCmdCreateReport), !c.confirmed);
        EXPECT_EQ(frame->LogList().Model().rowCount() == 0, c.confirmed);
    }
}

TEST_F(FrameTest, ReportFilesThroughTheirSaveDialogs) {
    auto frame = Frame();
    const fs::path sample = OpenSample(*frame, "abnormal.dat");
    ModalScript save;
    save.On<QFileDialog>([&](QFileDialog* d) {
        EXPECT_FALSE(d->testOption(QFileDialog::DontConfirmOverwrite));
        EXPECT_EQ(d->findChild<QLineEdit*>("fileNameEdit")->text().toStdString(),
                  frame->Frame().GetReportName());
        ModalScript::Choose(d, QString::fromStdString((dir / "copy").string()));
    });
    Run(*frame, kCmdCreateReport, save);
    EXPECT_EQ(Read("copy.dat"), testsupport::ReadFile(sample));

    ModalScript html;
    html.On<QFileDialog>([&](QFileDialog* d) {
        EXPECT_EQ(d->nameFilters(), (QStringList{"HTML file (*.html)", "All files (*)"}));
        EXPECT_EQ(d->findChild<QLineEdit*>("fileNameEdit")->text().toStdString(),
                  frame->Frame().GetHtmlName());
        ModalScript::Choose(d, QString::fromStdString((dir / "report.html").string()));
    });
    Run(*frame, kCmdCreateHtml, html);
    EXPECT_EQ(Read("report.html").substr(0, 14), "<!DOCTYPE HTML");
}

TEST_F(FrameTest, HeaderSortingAndPostedCommands) {
    auto frame = Frame();
    OpenSample(*frame, "abnormal.dat");
    const LogListModel& model = frame->LogList().Model();
    const int rows = model.rowCount();
    ASSERT_GT(rows, 20);
    auto time = [&](int r) { return frame->Frame().List().RecordAt(model.Row(r).nItemData)->tmTime; };
    QHeaderView* header = frame->LogList().horizontalHeader();
    const QPoint date(header->sectionViewportPosition(LOG_COL_DATE) + 10, 5);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, date);
    EXPECT_GT(time(0), time(rows - 1));  // newest first
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, date);
    EXPECT_LT(time(0), time(rows - 1));

    // "Select Kind" is reached only by posting its command.
    ModalScript kinds;
    kinds.On<CSetFilterDlg>([](CSetFilterDlg* d) {
        EXPECT_EQ(d->Box(5)->text(), "Power Change Reason");  // the model's table entry
        QTest::mouseClick(d->findChild<QPushButton*>("selectNone"), Qt::LeftButton);
        d->Box(4)->setChecked(true);  // abnormal records only
        d->accept();
    });
    frame->PostCommand(kCmdSetFilter);
    QApplication::processEvents();
    ASSERT_TRUE(kinds.Done());
    EXPECT_EQ(frame->Frame().List().GetFilter(), static_cast<std::uint32_t>(LOG_FILTER_ABNORMAL));
    ASSERT_GT(model.rowCount(), 0);
    ASSERT_LT(model.rowCount(), rows);
    for (int r = 0; r < model.rowCount(); ++r) {
        const stLogItem* item = frame->Frame().List().RecordAt(model.Row(r).nItemData);
        EXPECT_TRUE(item->nKind == LOG_KIND_ABNORMAL || ClassifyLogItem(*item).nFilterBit == 0) << r;
        // IDs keep their numbers in the full list.
        EXPECT_EQ(model.index(r, LOG_COL_ID).data().toString(),
                  QString::asprintf("%03d", model.Row(r).nItemData + 1));
    }

    // The NVRAM dump: folder browser, a progress window whose Cancel shows.
    fs::create_directories(dir / "dump");
    ModalScript dump;
    dump.ChooseFolder(QString::fromStdString((dir / "dump").string())).Press(QMessageBox::Ok);
    frame->PostCommand(kCmdDumpNvram);
    QApplication::processEvents();
    EXPECT_TRUE(dump.Done());
    EXPECT_EQ(captions.back(), "Communicating");
    EXPECT_FALSE(frame->Progress().CancelButton()->isHidden());  // shown for this run
    EXPECT_EQ(testsupport::ReadFile(dir / "dump" / "NvramDump1.bin"), std::string(4096, '\x5A'));
    EXPECT_EQ(dump.BoxTexts(), std::vector<std::string>{acq::kMsgComplete});

    // The temperature dump: a save dialog, then a run over a bar of six steps.
    ModalScript temperature;
    temperature.On<QFileDialog>([&](QFileDialog* d) {
        EXPECT_EQ(d->findChild<QLineEdit*>("fileNameEdit")->text(), "Temperature.txt");
        ModalScript::Choose(d, QString::fromStdString((dir / "temperature.txt").string()));
    });
    temperature.Press(QMessageBox::Ok);  // its outcome
    frame->PostCommand(kCmdDumpTemperature);
    QApplication::processEvents();
    EXPECT_TRUE(temperature.Done());
    EXPECT_EQ(frame->Progress().Bar()->maximum(), 6);
    EXPECT_TRUE(frame->Progress().CancelButton()->isHidden());
}

// A log that arrives but does not decode: the decoder's message once the
// progress window is gone, then the program's, which says why in its details.
TEST_F(FrameTest, DecoderMessageAfterTheRun) {
    Write("QuendraReport.ini", "[COMMON]\r\nPORT=COM1\r\n");
    link.logImage.back() ^= 0x55;  // check value wrong
    auto frame = Frame();
    bool progressUp = true;
    ModalScript script;
    script.On<QMessageBox>([&](QMessageBox*) { progressUp = frame->Progress().isVisible(); });
    script.Press(QMessageBox::Ok).Press(QMessageBox::Ok);
    Run(*frame, kCmdGetLogs, script);
    const std::vector<std::string> texts = script.BoxTexts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].rfind("Error address:0x", 0), 0u) << texts[0];
    EXPECT_NE(texts[0].find("Check sum error."), std::string::npos);
    EXPECT_FALSE(progressUp);
    EXPECT_EQ(texts[1], acq::kMsgCommFailed);
    EXPECT_EQ(script.Boxes()[1].details.rfind(
                  "Reason: corrupted reply (corrupted)\nStep: log-decode\nCheck sum error.", 0),
              0u)
        << script.Boxes()[1].details;
}

// The progress window comes up for each step of a command and stays up until
// that step ends, however quickly the commands before it ended (their late
// calls must not close it).
TEST_F(FrameTest, ProgressWindowBelongsToItsOwnStep) {
    auto frame = Frame();
    for (int i = 0; i < 10; ++i) {
        const acq::stCommandResult r = frame->RunCommand(false, [i](acq::IProgress& p, const int*) {
            p.Begin({12, false, ""});
            p.SetPos(12);
            p.End();
            acq::stCommandResult result;
            result.nExitCode = i % 3;
            return result;
        });
        ASSERT_EQ(r.nExitCode, i % 3);
    }
    captions.clear();
    std::promise<void> seen;
    std::future<void> released = seen.get_future();
    bool upWhileRunning = false;
    ModalScript script;
    script.On<CProgressDlg>([&](CProgressDlg* d) {
        upWhileRunning = d->isVisible() && d->windowTitle() == "Communicating 2/2";
        seen.set_value();
    });
    const acq::stCommandResult r = frame->RunCommand(false, [&](acq::IProgress& p, const int*) {
        p.Begin({12, false, " 1/2"});
        p.End();
        p.Begin({6, false, " 2/2"});
        p.SetText(acq::kTextConnecting);
        // Bounded: a window that closed too early is never seen.
        const bool ok = released.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
        p.End();
        acq::stCommandResult result;
        result.nExitCode = ok ? 0 : 1;
        return result;
    });
    EXPECT_EQ(r.nExitCode, 0);
    EXPECT_TRUE(upWhileRunning);
    EXPECT_EQ(captions, (std::vector<std::string>{"Communicating 1/2", "Communicating 2/2"}));
    EXPECT_FALSE(frame->Progress().isVisible());
    EXPECT_EQ(frame->Progress().TextLine()->text().toStdString(), acq::kTextConnecting);
}

TEST_F(FrameTest, ClosingSavesTheInterfaceChoice) {
    Write("QuendraReport.ini", "[COMMON]\r\nPORT=LAN\r\nIP=10.1.2.3\r\nCPASS=/usr/bin/meld\r\n");
    auto frame = Frame();
    frame->ControlBar().InterfaceBox()->setCurrentText("COM3");
    frame->close();
    const std::string ini = Read("QuendraReport.ini");
    EXPECT_NE(ini.find("PORT=COM3"), std::string::npos) << ini;
    EXPECT_NE(ini.find("IP=10.1.2.3"), std::string::npos) << ini;
    EXPECT_NE(ini.find("CPASS=/usr/bin/meld"), std::string::npos) << ini;
}

// The window against a simulated display on the LAN: "Get &Logs" fills the
// list with the display's records and the ITEM/VALUE list with its identity.
TEST_F(FrameTest, GetLogsFromDisplaySim) {
    testsupport::LoopbackAddress address;
    ASSERT_FALSE(address.Text().empty());
    testsupport::SimProcess sim;
    ASSERT_TRUE(sim.Start({"--listen", address.Text(), "--transcript", (dir / "transcript.txt").string()}));
    ::setenv("QUENDRA_DAKORAL_DIR", (dir / "dakoral").c_str(), 1);
    ::setenv("QUENDRA_QNCTRL_DIR", (dir / "qnctrl").c_str(), 1);
    ::setenv("QUENDRA_LOCK_DIR", (dir / "locks").c_str(), 1);
    fs::create_directories(dir / "locks");
    Write("QuendraReport.ini", "[COMMON]\r\nPORT=LAN\r\nIP=" + address.Text() + "\r\nLANPORT=10008\r\n");

    qlink::NativeDisplayLink native;
    auto frame = Frame(native, "QM-X003");
    Click(frame->ControlBar().GetLogsButton());

    EXPECT_GT(frame->LogList().Model().rowCount(), 20);
    const QTreeWidget* info = frame->ControlBar().InfoList();
    ASSERT_GE(info->topLevelItemCount(), 2);
    EXPECT_EQ(info->topLevelItem(0)->text(0), "Model Name");
    EXPECT_EQ(info->topLevelItem(0)->text(1), "QM-X003");
    EXPECT_EQ(info->topLevelItem(1)->text(0), "Serial Number");
    EXPECT_EQ(info->topLevelItem(1)->text(1), "QX30001001");
    EXPECT_FALSE(frame->TempView().toPlainText().isEmpty());
    EXPECT_NE(Read("transcript.txt").rfind("SRLG0001"), std::string::npos);

    // "Clear Logs" from the menu, confirmed with Return: the display clears
    // its logs and the window shows none.
    ModalScript clear;
    clear.PressKey(Qt::Key_Return).Press(QMessageBox::Ok);
    Run(*frame, kCmdClearLogs, clear);
    EXPECT_EQ(clear.BoxTexts(), (std::vector<std::string>{acq::kMsgClearConfirm, acq::kMsgCleared}));
    const std::string transcript = Read("transcript.txt");
    EXPECT_NE(transcript.find("ACLG0000"), std::string::npos) << transcript;
    EXPECT_EQ(frame->LogList().Model().rowCount(), 0);
    EXPECT_FALSE(frame->ControlBar().CreateReportButton()->isEnabled());
    EXPECT_EQ(sim.Stop(), 0);
}

}  // namespace
