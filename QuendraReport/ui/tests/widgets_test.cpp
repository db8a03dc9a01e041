// The report program's dialogs, control bar and views on the offscreen
// platform: what each shows, what it hands back, and the rules between its
// controls.
#include <gtest/gtest.h>
#include <testsupport/ModalScript.h>
#include <testsupport/OffscreenApp.h>
#include <testsupport/TempDir.h>
#include <testsupport/TimeZone.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <deque>
#include <optional>
#include <set>

#include "ControlBarDlg.h"
#include "LanSettingDlg.h"
#include "LogListView.h"
#include "ModelSelectDlg.h"
#include "ProgressDlg.h"
#include "RowIcons.h"
#include "SetFilterDlg.h"
#include "TempLogView.h"
#include "report/ReportPipeline.h"
#include "syslog/CodeTables.h"

// The font configuration library keeps a cache for the life of the process.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig\n";
}

namespace fs = std::filesystem;
using namespace qui;

namespace {

const fs::path kSamples = QUENDRA_SAMPLES_DIR;
// "テスト" (test) in CP932.
const std::string kCp932Test = "\x83\x65\x83\x58\x83\x67";

class WidgetTest : public testsupport::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        testsupport::OffscreenApp();
        m_watchdog.emplace();  // its timer needs the application
    }
    void TearDown() override {
        EXPECT_TRUE(m_watchdog->Closed().empty()) << "a window nobody answered: " << m_watchdog->Closed().front();
        LoadCodeTables(dir / "none");
    }

    std::unique_ptr<CControlBarDlg> Bar(bool lan, bool serial, bool baud = true,
                                        std::vector<std::string> adapters = {}) {
        stControlBarSetup setup;
        setup.features.m_bLan = lan;
        setup.features.m_bRs232 = serial;
        setup.features.m_bBaudRate = baud;
        setup.features.m_nBaudIndex = 1;
        setup.serialAdapters = std::move(adapters);
        CIniManaged& settings = m_settings.emplace_back(dir);
        settings.LoadIniFile();
        auto bar = std::make_unique<CControlBarDlg>(setup, settings);
        bar->show();
        return bar;
    }
    static QStringList Items(const QComboBox* box) {
        QStringList items;
        for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
        return items;
    }
    // Types `text` key by key into whichever widget has the focus.
    static void Type(QWidget* window, const char* text) {
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        for (const char* c = text; *c != '\0'; ++c) QTest::keyClick(QApplication::focusWidget(), *c);
    }
    // "shown", "disabled" or "hidden".
    static std::string State(const QWidget* w) {
        if (w->isHidden()) return "hidden";
        return w->isEnabled() ? "shown" : "disabled";
    }

    std::optional<testsupport::ModalWatchdog> m_watchdog;
    std::deque<CIniManaged> m_settings;  // one per bar, living as long as the test
};

// ---- Control bar ----------------------------------------------------------

TEST_F(WidgetTest, InterfaceBoxFollowsTheModelsInterfaces) {
    Write("QuendraReport.ini", "[COMMON]\r\nPORT=COM7\r\nWRITENVR=1\r\n");
    {
        auto bar = Bar(true, true, true, {"/dev/serial/by-id/usb-Adapter-if00-port0"});
        const QStringList items = Items(bar->InterfaceBox());
        ASSERT_EQ(items.size(), 1 + 256 + 1);
        EXPECT_EQ(items.front(), "LAN");
        EXPECT_EQ(items[1], "COM1");
        EXPECT_EQ(items[256], "COM256");
        EXPECT_EQ(items.back(), "/dev/serial/by-id/usb-Adapter-if00-port0");
        EXPECT_EQ(bar->InterfaceBox()->currentText(), "COM7");  // the settings' PORT
        EXPECT_EQ(State(bar->WriteNvramButton()), "shown");
        EXPECT_EQ(State(bar->CreateReportButton()), "disabled");
        EXPECT_EQ(State(bar->DisplayIdBox()), "disabled");  // no multi-display feature
        EXPECT_EQ(Items(bar->DisplayIdBox()).size(), 256);
        EXPECT_EQ(bar->DisplayIdBox()->currentText(), "Non");
        EXPECT_EQ(Items(bar->BaudBox()), (QStringList{"9600 bps", "19200 bps", "38400 bps"}));
        EXPECT_EQ(bar->BaudBox()->currentData().toInt(), 19200);  // the model's initial index
    }
    Write("QuendraReport.ini", "[COMMON]\r\nPORT=COM999\r\n");
    {
        auto bar = Bar(false, true);
        EXPECT_EQ(Items(bar->InterfaceBox()).front(), "COM1");
        EXPECT_EQ(bar->InterfaceBox()->currentText(), "COM1");  // unknown PORT text
        EXPECT_EQ(State(bar->LanSettingsButton()), "hidden");
        EXPECT_EQ(State(bar->WriteNvramButton()), "hidden");
    }
    {
        auto bar = Bar(true, false);
        EXPECT_EQ(Items(bar->InterfaceBox()), QStringList{"LAN"});
        EXPECT_EQ(bar->InterfaceBox()->currentIndex(), 0);
        EXPECT_EQ(State(bar->BaudBox()), "hidden");
        EXPECT_EQ(State(bar->LanSettingsButton()), "shown");
    }
    {
        auto bar = Bar(false, false);
        EXPECT_EQ(State(bar->InterfaceBox()), "disabled");
        EXPECT_EQ(State(bar->GetLogsButton()), "disabled");
        EXPECT_EQ(State(bar->GetAllButton()), "disabled");
    }
}

TEST_F(WidgetTest, LanSettingsAndBaudBoxTakeTurns) {
    Write("QuendraReport.ini", "[COMMON]\r\nPORT=LAN\r\nIP=10.0.0.1\r\nLANPORT=10008\r\n");
    auto bar = Bar(true, true);
    ASSERT_EQ(bar->InterfaceBox()->currentText(), "LAN");
    EXPECT_EQ(State(bar->LanSettingsButton()), "shown");
    EXPECT_EQ(State(bar->BaudBox()), "hidden");

    bar->InterfaceBox()->setCurrentIndex(3);  // COM3
    EXPECT_EQ(State(bar->LanSettingsButton()), "hidden");
    EXPECT_EQ(State(bar->BaudBox()), "shown");
    bar->BaudBox()->setCurrentIndex(2);
    stLinkChoice serial = bar->GetLinkChoice();
    EXPECT_FALSE(serial.bLan);
    EXPECT_EQ(serial.strPort, "COM3");
    EXPECT_EQ(serial.nBaud, 38400);
    EXPECT_TRUE(serial.strUser.empty());

    auto noBaud = Bar(true, true, false);
    noBaud->InterfaceBox()->setCurrentIndex(1);
    EXPECT_EQ(State(noBaud->BaudBox()), "hidden");  // no baud selection: 9600
    EXPECT_EQ(noBaud->GetLinkChoice().nBaud, 9600);

    bar->InterfaceBox()->setCurrentIndex(0);
    bar->TakeLanSettings(0xC0A80114u, 10008, "admin", "secret");
    const stLinkChoice lan = bar->GetLinkChoice();
    EXPECT_TRUE(lan.bLan);
    EXPECT_EQ(lan.dwIp, 0xC0A80114u);  // 192.168.1.20
    EXPECT_EQ(lan.nLanPort, 10008);
    EXPECT_EQ(lan.strUser, "admin");
    EXPECT_EQ(lan.strPassword, "secret");
    // Confirmed settings are written at once: port, address and data port only.
    const std::string ini = Read("QuendraReport.ini");
    EXPECT_NE(ini.find("PORT=LAN"), std::string::npos) << ini;
    EXPECT_NE(ini.find("IP=192.168.1.20"), std::string::npos) << ini;
    EXPECT_EQ(ini.find("admin"), std::string::npos) << ini;
    EXPECT_EQ(ini.find("secret"), std::string::npos) << ini;
}

TEST_F(WidgetTest, ItemValueListAndCopy) {
    auto bar = Bar(true, true);
    bar->SetLogInfo(true, kCp932Test, "SN-0042", "Firmware,1.02\tPanel,A,extra", 2);
    const QTreeWidget* list = bar->InfoList();
    ASSERT_EQ(list->topLevelItemCount(), 4);
    EXPECT_EQ(list->topLevelItem(0)->text(0), "Model Name");
    EXPECT_EQ(list->topLevelItem(0)->text(1), QString::fromUtf8("テスト"));
    EXPECT_EQ(list->topLevelItem(1)->text(1), "SN-0042");
    EXPECT_EQ(list->topLevelItem(2)->text(0), "Firmware");
    EXPECT_EQ(list->topLevelItem(3)->text(1), "A");  // up to the next comma
    EXPECT_EQ(list->headerItem()->text(0), "ITEM");
    EXPECT_EQ(list->header()->sectionSize(1), 150);

    // Ctrl+C in the bar copies the four entries, one line each, converted for the clipboard.
    bar->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(bar.get()));
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(bar->InfoList(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(bar->CopyText(),
              "Model Name\t" + kCp932Test + "\nSerial Number\tSN-0042\nFirmware\t1.02\nPanel\tA\n");
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              QString::fromUtf8("Model Name\tテスト\nSerial Number\tSN-0042\nFirmware\t1.02\nPanel\tA\n"));

    bar->SetLogInfo(false, "M", "S", "I,1", 2);
    EXPECT_EQ(list->topLevelItemCount(), 0);
    EXPECT_EQ(bar->CopyText(), "");
}

// ---- Dialogs --------------------------------------------------------------

TEST_F(WidgetTest, LanSettingsDialogTakesAddressPortAndAccount) {
    CLanSettingDlg dialog({0xC0A80001u, 10008, "user", "pw"});
    dialog.show();
    EXPECT_EQ(dialog.IpEdit()->Field(0)->text(), "192");
    EXPECT_EQ(dialog.IpEdit()->Field(3)->text(), "1");
    EXPECT_EQ(dialog.PasswordEdit()->echoMode(), QLineEdit::Password);

    // Typing: three digits or a dot move on to the next field; letters are refused.
    for (int i = 0; i < 4; ++i) dialog.IpEdit()->Field(i)->clear();
    dialog.IpEdit()->Field(0)->setFocus();
    Type(&dialog, "10.0.x0.7");
    EXPECT_EQ(dialog.IpEdit()->Address(), 0x0A000007u);

    dialog.PortEdit()->clear();
    dialog.PortEdit()->setFocus();
    Type(&dialog, "7x0000");
    EXPECT_EQ(dialog.PortEdit()->text(), "70000");  // digits only
    // Above 65535 and 0 are refused with a message; the dialog stays.
    QPushButton* ok = dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
    testsupport::ModalScript refusals;
    refusals.Press(QMessageBox::Ok).PressKey(Qt::Key_Return);
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_TRUE(dialog.isVisible());
    dialog.PortEdit()->setText("0");
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(refusals.BoxTexts(), (std::vector<std::string>{kMsgBadPort, kMsgBadPort}));

    dialog.PortEdit()->setText("65535");
    dialog.UserEdit()->setText(QString::fromUtf8("テスト"));
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.GetSettings().dwIp, 0x0A000007u);
    EXPECT_EQ(dialog.GetSettings().nPort, 65535);
    EXPECT_EQ(dialog.GetSettings().strUser, kCp932Test);
    EXPECT_EQ(dialog.GetSettings().strPassword, "pw");
}

TEST_F(WidgetTest, ProgressDialogClosesOnlyAtTheEnd) {
    CProgressDlg dialog;
    dialog.SetParams(12, false, " 1/2");
    EXPECT_EQ(dialog.windowTitle(), "Communicating 1/2");
    EXPECT_EQ(dialog.Bar()->maximum(), 12);
    EXPECT_TRUE(dialog.CancelButton()->isHidden());
    dialog.show();
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QTest::keyClick(&dialog, Qt::Key_Return);
    dialog.close();
    EXPECT_TRUE(dialog.isVisible());
    dialog.SetText("Log data reading...");
    dialog.SetPos(6);
    EXPECT_EQ(dialog.TextLine()->text(), "Log data reading...");
    EXPECT_EQ(dialog.Bar()->value(), 6);
    dialog.Finish();
    EXPECT_FALSE(dialog.isVisible());

    // An end that comes before the window is shown: the window does not stay.
    dialog.SetParams(6, true, "");
    EXPECT_EQ(dialog.windowTitle(), "Communicating");
    EXPECT_FALSE(dialog.CancelButton()->isHidden());
    dialog.Finish();
    dialog.RunModal();  // returns at once
    EXPECT_FALSE(dialog.isVisible());
    QTest::mouseClick(dialog.CancelButton(), Qt::LeftButton);
    EXPECT_NE(*dialog.CancelFlag(), 0);
    dialog.SetParams(12, false, "");
    EXPECT_EQ(*dialog.CancelFlag(), 0);
}

TEST_F(WidgetTest, ModelSelectionInFileOrder) {
    Write("ModelName.csv", "QM-Z9,ZFOLDER,3\r\nQM-A1,AFOLDER,1\r\n" + kCp932Test + ",JFOLDER,2\r\n");
    CModelSelectDlg dialog(ReadModelList(dir));
    ASSERT_EQ(Items(dialog.ModelBox()), (QStringList{"QM-Z9", "QM-A1", QString::fromUtf8("テスト")}));
    EXPECT_EQ(dialog.ModelBox()->currentIndex(), 0);
    dialog.accept();
    EXPECT_EQ(dialog.Choice().strFolder, "ZFOLDER");
    EXPECT_TRUE(dialog.Choice().bLanDefault);  // flags 3
    dialog.ModelBox()->setCurrentIndex(1);
    dialog.accept();
    EXPECT_EQ(dialog.Choice().strModel, "QM-A1");
    EXPECT_EQ(dialog.Choice().strFolder, "AFOLDER");
    EXPECT_FALSE(dialog.Choice().bLanDefault);  // flags 1
    dialog.ModelBox()->setCurrentIndex(2);
    dialog.accept();
    EXPECT_EQ(dialog.Choice().strModel, kCp932Test);  // the file's bytes, not a converted text
    EXPECT_TRUE(dialog.Choice().bLanDefault);

    CModelSelectDlg empty({});
    empty.accept();
    EXPECT_TRUE(empty.Choice().strModel.empty());
    EXPECT_TRUE(empty.Choice().strFolder.empty());
}

TEST_F(WidgetTest, SelectKindBoxesAndFilter) {
    CSetFilterDlg lan(true, kCp932Test, LOG_FILTER_IR | LOG_FILTER_OTHER_OP | LOG_FILTER_POWER | 0x80);
    EXPECT_EQ(lan.windowTitle(), "Select Kind");
    EXPECT_EQ(lan.Box(1)->text(), "Operation by RS-232C/LAN/Browser");
    EXPECT_EQ(lan.Box(5)->text(), QString::fromUtf8("テスト"));
    const bool expected[6] = {true, false, true, false, false, true};  // "Other Operation" follows 0x40
    for (int i = 0; i < 6; ++i) EXPECT_EQ(lan.Box(i)->isChecked(), expected[i]) << i;
    lan.accept();
    EXPECT_EQ(lan.m_nFilter, LOG_FILTER_IR | LOG_FILTER_DDC | LOG_FILTER_OTHER_OP | LOG_FILTER_POWER);

    CSetFilterDlg serial(false, "", 0xFF);
    EXPECT_EQ(serial.Box(1)->text(), "Operation by RS-232C");
    EXPECT_EQ(serial.Box(5)->text(), "Power Change Reason");
    serial.show();
    QTest::mouseClick(serial.findChild<QPushButton*>("selectNone"), Qt::LeftButton);
    serial.reject();
    EXPECT_EQ(serial.m_nFilter, 0xFFu);  // Cancel keeps the filter
    serial.accept();
    EXPECT_EQ(serial.m_nFilter, 0u);
    QTest::mouseClick(serial.findChild<QPushButton*>("selectAll"), Qt::LeftButton);
    serial.accept();
    EXPECT_EQ(serial.m_nFilter, 0x7Fu);  // every box, 0x80 never
}

// ---- Views ----------------------------------------------------------------

// A sample log decoded and shown in the list and temperature models.
struct ShownSample {
    CQuendraLog log{kSamples};
    CLogListCtrl list;
    CTempLogCtrl temp;
    ShownSample(const char* file, const char* folder, int timeMode) {
        EXPECT_EQ(log.ReadBin(kSamples / "logs" / file), 1) << file;
        stReportOptions options;
        options.nTimeMode = timeMode;
        ShowLogInViews(log, kSamples / folder, options, list, temp);
    }
};

TEST_F(WidgetTest, LogListShowsTheRowsColoursAndImages) {
    testsupport::ScopedTimeZone tz("UTC");
    ShownSample sample("abnormal.dat", "QMX001", 0);
    const CLogListCtrl& list = sample.list;
    ASSERT_GT(list.Rows().size(), 20u);

    LogListView view;
    view.resize(1000, 400);
    view.show();
    view.horizontalHeader()->resizeSection(LOG_COL_INFO, 321);
    view.ShowList(list);
    const LogListModel& model = view.Model();
    ASSERT_EQ(model.rowCount(), static_cast<int>(list.Rows().size()));
    EXPECT_EQ(view.horizontalHeader()->sectionSize(LOG_COL_INFO), 321);  // kept over a refresh
    EXPECT_GE(view.horizontalHeader()->sectionSize(LOG_COL_ID), 50);     // at least, and room for "6509"
    EXPECT_GE(view.horizontalHeader()->sectionSize(LOG_COL_ID),
              16 + view.fontMetrics().horizontalAdvance(QStringLiteral("6509")));
    EXPECT_EQ(view.horizontalHeader()->sectionSize(LOG_COL_DATE), 200);
    EXPECT_EQ(model.headerData(LOG_COL_DATE, Qt::Horizontal, Qt::DisplayRole).toString(), "Date");
    EXPECT_EQ(view.selectionBehavior(), QAbstractItemView::SelectRows);

    // Every cell, image and colour is the list's own.
    bool sawAbnormal = false;
    for (int r = 0; r < model.rowCount(); ++r) {
        const stLogRow& row = list.Rows()[static_cast<std::size_t>(r)];
        for (int c = 0; c < LOG_COLUMN_COUNT; ++c)
            ASSERT_EQ(model.index(r, c).data().toString().toStdString(),
                      row.aText[static_cast<std::size_t>(c)]);
        const QColor back = model.index(r, 3).data(Qt::BackgroundRole).value<QBrush>().color();
        ASSERT_EQ(back, QColor(row.crBack.r, row.crBack.g, row.crBack.b));
        ASSERT_FALSE(model.index(r, LOG_COL_ID).data(Qt::DecorationRole).value<QIcon>().isNull());
        ASSERT_FALSE(model.index(r, LOG_COL_KIND).data(Qt::DecorationRole).value<QIcon>().isNull());
        ASSERT_TRUE(model.index(r, LOG_COL_INPUT).data(Qt::DecorationRole).isNull());
        if (row.bAbnormal) {
            sawAbnormal = true;
            ASSERT_EQ(back, QColor(255, 0, 0));
        }
    }
    EXPECT_TRUE(sawAbnormal);

    // The eight images are real pictures, each its own.
    std::set<QByteArray> images;
    for (int i = LOG_IMAGE_PLAIN; i <= LOG_IMAGE_DEVINFO; ++i) {
        const QImage image = RowIcon(i).pixmap(16, 16).toImage();
        ASSERT_EQ(image.size(), QSize(16, 16)) << i;
        images.insert(QByteArray(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes()));
    }
    EXPECT_EQ(images.size(), 8u);
    EXPECT_EQ(RowIcon(LOG_IMAGE_ABNORMAL).pixmap(16, 16).toImage().pixelColor(3, 8),
              QColor(0xD0, 0x10, 0x10));
}

TEST_F(WidgetTest, ElapsedTimeModeMarksThePowerSupplyRows) {
    testsupport::ScopedTimeZone tz("UTC");
    ShownSample sample("code-paths.dat", "QMY210", 1);
    LogListView view;
    view.ShowList(sample.list);
    EXPECT_EQ(view.Model().headerData(LOG_COL_DATE, Qt::Horizontal, Qt::DisplayRole).toString(),
              "Time elapsed from Power Supply");
    int marked = 0;
    for (int r = 0; r < view.Model().rowCount(); ++r) {
        const bool line = view.Model().index(r, 4).data(LogListModel::kSeparatorRole).toBool();
        const stLogItem& item = sample.log.m_listLog[static_cast<std::size_t>(view.Model().Row(r).nItemData)];
        ASSERT_EQ(line, item.nKind == LOG_KIND_POWER && item.nCode == kPowerOnReason) << r;
        marked += line ? 1 : 0;
    }
    EXPECT_GT(marked, 0);

    // The line is painted along the bottom of the row.
    view.resize(900, 600);
    view.show();
    int row = 0;
    while (!view.Model().Row(row).bPowerOnLine) ++row;
    view.scrollTo(view.Model().index(row, 0));
    QApplication::processEvents();
    const QRect cell = view.visualRect(view.Model().index(row, 4));
    const QImage shot = view.viewport()->grab().toImage();
    EXPECT_EQ(shot.pixelColor(cell.center().x(), cell.bottom()), QColor(Qt::black));
    EXPECT_NE(shot.pixelColor(cell.center().x(), cell.bottom() - 2), QColor(Qt::black));

    TempLogView page;
    page.ShowText(sample.temp.GetText());
    EXPECT_FALSE(sample.temp.GetText().empty());
    EXPECT_TRUE(page.isReadOnly());
    std::string expected = sample.temp.GetText();
    for (std::size_t at; (at = expected.find("\r\n")) != std::string::npos;) expected.erase(at, 1);
    EXPECT_EQ(page.toPlainText().toStdString(), expected);
}

}  // namespace
