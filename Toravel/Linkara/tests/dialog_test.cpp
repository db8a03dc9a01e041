// The connection setting dialog on the offscreen platform: its settings reach
// the file (all but the password) and the next open.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <functional>

#include "Linkara.h"
#include <testsupport/OffscreenApp.h>
#include <testsupport/ScriptedPeer.h>
#include <testsupport/SimProcess.h>
#include <testsupport/TempDir.h>

// The font configuration library keeps a cache for the life of the process;
// the leak checker of the sanitizer build is told so.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }

namespace {

// Runs `act` on the modal dialog as soon as it is shown.
void WhenShown(std::function<void(QWidget*)> act) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (QWidget* w = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            act(w);
        }
    });
    timer->start();
}

QPushButton* OkButton(QWidget* w) {
    return w->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
}

}  // namespace

TEST(LinkaraDialog, ConfirmedSettingsAreKeptAndCancelChangesNothing) {
    testsupport::OffscreenApp();
    testsupport::TempDir dir;
    ::setenv("QUENDRA_LINKARA_DIR", dir.Path().c_str(), 1);
    ::setenv("QUENDRA_LOCK_DIR", dir.Path().c_str(), 1);
    const auto ini = dir.Path() / "Linkara.ini";
    Linkara_Initialize(nullptr);
    const testsupport::LoopbackAddress ip;
    const QString address = QString::fromStdString(ip.Text());

    bool okWhileEmpty = true;
    WhenShown([&](QWidget* w) {
        w->findChild<QComboBox*>("interface")->setCurrentIndex(1);
        w->findChild<QLineEdit*>("address")->clear();
        okWhileEmpty = OkButton(w)->isEnabled();
        w->findChild<QLineEdit*>("address")->setText(address);
        w->findChild<QSpinBox*>("dataPort")->setValue(10008);
        w->findChild<QLineEdit*>("account")->setText("svc");
        w->findChild<QLineEdit*>("password")->setText("pw");
        OkButton(w)->click();
    });
    EXPECT_EQ(Linkara_ConnectionSetting(nullptr), 1);
    EXPECT_FALSE(okWhileEmpty);
    const std::string text = testsupport::ReadFile(ini);
    EXPECT_NE(text.find("Interface=LAN\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Address=" + ip.Text() + "\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Account=svc\r\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("pw"), std::string::npos) << text;

    // The password given in the dialog opens a display that asks for it.
    testsupport::SimProcess sim;
    ASSERT_TRUE(sim.Start({"--listen", ip, "--account", "svc", "--password", "pw"}));
    ASSERT_NE(Linkara_Open(), 0);
    char16_t buf[260];
    EXPECT_NE(Linkara_GetString(u"SRNO????", buf, 260), 0);
    EXPECT_EQ(std::u16string(buf), u"QX30001001");
    Linkara_Close();

    // Cancel: nothing changes; the dialog shows what was kept.
    QString shownAddress;
    WhenShown([&](QWidget* w) {
        shownAddress = w->findChild<QLineEdit*>("address")->text();
        w->findChild<QComboBox*>("interface")->setCurrentIndex(0);
        w->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
    });
    EXPECT_EQ(Linkara_ConnectionSetting(nullptr), 0);
    EXPECT_EQ(shownAddress, address);
    EXPECT_EQ(testsupport::ReadFile(ini), text);
    ASSERT_NE(Linkara_Open(), 0);
    Linkara_Close();

    Linkara_Terminate();
    ::unsetenv("QUENDRA_LINKARA_DIR");
    ::unsetenv("QUENDRA_LOCK_DIR");
}
