// The Pelmark dialog on the offscreen platform: built from its settings
// (visibility, captions, scaled rectangles), the write button rule, the busy
// state and its real message box, the usage rows and the clock check box.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <optional>

#include <qtsupport/QtPrompt.h>
#include <testsupport/ModalScript.h>
#include <testsupport/OffscreenApp.h>
#include <toravel/RecordingLinkara.h>

#include "PelmarkDialog.h"

// The font configuration library keeps a cache for the life of the process.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }

using namespace pelmark;

namespace {

class PelmarkDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        testsupport::OffscreenApp();
        watchdog.emplace();
    }
    void TearDown() override { EXPECT_TRUE(watchdog->Closed().empty()) << watchdog->Closed().front(); }

    void Open(const Settings& s, double factor = 1.0) {
        settings = s;
        form = BuildForm(s, factor, factor);
        tool = std::make_unique<PelmarkTool>(s, link, prompt);
        dialog = std::make_unique<PelmarkDialog>(*tool, form);
        prompt.SetOwner(dialog.get());
    }
    template <typename W = QWidget>
    W* At(Control c) const {
        return static_cast<W*>(dialog->Widget(c));
    }
    QString Text(Control c) const {
        if (auto* b = dynamic_cast<QPushButton*>(dialog->Widget(c))) return b->text();
        if (auto* l = dynamic_cast<QLabel*>(dialog->Widget(c))) return l->text();
        if (auto* e = dynamic_cast<QLineEdit*>(dialog->Widget(c))) return e->text();
        if (auto* g = dynamic_cast<QGroupBox*>(dialog->Widget(c))) return g->title();
        return At<QCheckBox>(c)->text();
    }

    Settings settings;
    Form form;
    std::optional<testsupport::ModalWatchdog> watchdog;
    toravel::RecordingLinkara link;
    qtsupport::QtPrompt prompt;
    std::unique_ptr<PelmarkTool> tool;
    std::unique_ptr<PelmarkDialog> dialog;
};

}  // namespace

TEST_F(PelmarkDialogTest, BuiltFromTheSettingsAtTheScreensDensity) {
    Settings s;
    s.title = u"Model Name Tool";
    s.useHint = 1;
    s.useConnectionSetting = 0;
    s.readTitle = u"Model :";
    s.writeBtn = u"Set";
    Open(s, 1.5);
    EXPECT_EQ(dialog->windowTitle(), "Model Name Tool");
    EXPECT_EQ(dialog->size(), QSize(form.width, form.height));
    for (int i = 0; i < kControlCount; ++i) {
        const auto c = static_cast<Control>(i);
        const Rect& r = form[c].rect;
        EXPECT_EQ(At(c)->geometry(), QRect(r.x, r.y, r.width, r.height)) << i;
        EXPECT_EQ(At(c)->isHidden(), !form[c].visible) << i;
    }
    for (Control c : {Control::ReadLabel, Control::WriteButton, Control::ExitButton, Control::Group})
        EXPECT_EQ(Text(c).toStdU16String(), form[c].text);
    EXPECT_TRUE(At<QLineEdit>(Control::ReadBox)->isReadOnly());
    EXPECT_FALSE(At<QLineEdit>(Control::WriteBox)->isReadOnly());
    EXPECT_EQ(At<QLineEdit>(Control::WriteBox)->maxLength(), 10);
    EXPECT_FALSE(dialog->ClockRunning());

    // The program's own scale follows the screen's density.
    const QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    const Form own = FormForScreen(Settings{}, screen);
    const Form expected = BuildForm(Settings{}, ScaleFactor(screen->logicalDotsPerInchX()),
                                    ScaleFactor(screen->logicalDotsPerInchY()));
    EXPECT_EQ(std::make_pair(own.width, own.height), std::make_pair(expected.width, expected.height));
}

TEST_F(PelmarkDialogTest, WriteButtonFollowsTheLengthRuleAndTheBusyState) {
    Settings s;
    s.writeDataMinLen = 6;
    s.writeDataIsNumeric = 1;
    Open(s);
    auto* box = At<QLineEdit>(Control::WriteBox);
    auto* write = At<QPushButton>(Control::WriteButton);
    EXPECT_FALSE(write->isEnabled());
    box->setText("12345");
    EXPECT_FALSE(write->isEnabled());
    box->insert("6");
    EXPECT_TRUE(write->isEnabled());
    box->insert("x");  // digits only
    EXPECT_EQ(box->text(), "123456");
    box->clear();
    EXPECT_FALSE(write->isEnabled());

    box->setText("123456");
    QString captionDuringWrite;
    bool enabledDuringWrite = true;
    link.onOpen = [&] {
        captionDuringWrite = write->text();
        enabledDuringWrite = write->isEnabled();
    };
    testsupport::ModalScript boxes;
    boxes.Press(QMessageBox::Ok);
    QTest::mouseClick(write, Qt::LeftButton);
    EXPECT_EQ(captionDuringWrite, "Wait...");
    EXPECT_FALSE(enabledDuringWrite);
    EXPECT_EQ(write->text(), "&Write");
    EXPECT_TRUE(write->isEnabled());
    EXPECT_EQ(link.Commands(), std::vector<std::string>{"set IFSN123456"});
    EXPECT_EQ(boxes.BoxTexts(), std::vector<std::string>{"Writting is completed"});
}

TEST_F(PelmarkDialogTest, UsageTimeRowsAreFilledByRead) {
    Settings s;
    s.readFuncNum = 4;
    s.readCmd = u"LUDT;LTDT;LUOF;LTOF";
    Open(s);
    EXPECT_TRUE(At(Control::Group)->isHidden());
    EXPECT_TRUE(At(Control::ReadLabel)->isHidden());
    EXPECT_EQ(Text(ValueLabel(3)), "The last usage time (turned off):");
    link.Answer(u"LUDT????", u"12001");
    link.Answer(u"LTDT????", u"61");
    link.Answer(u"LTOF????", u"35");
    At<QPushButton>(Control::ReadButton)->click();
    EXPECT_EQ(Text(ValueBox(1)) + "|" + Text(ValueBox(2)) + "|" + Text(ValueBox(3)) + "|" + Text(ValueBox(4)),
              "12001|61||35");
    EXPECT_TRUE(At<QLineEdit>(ValueBox(1))->isReadOnly());
}

TEST_F(PelmarkDialogTest, ClockSettingTicksUntickedAndTickedAgain) {
    Settings s;
    s.timeSetting = 1;
    s.useHint = 1;
    s.writeDataMinLen = 10;
    Open(s);
    EXPECT_TRUE(dialog->ClockRunning());
    auto* check = At<QCheckBox>(Control::ClockCheck);
    auto* box = At<QLineEdit>(Control::WriteBox);
    EXPECT_TRUE(check->isChecked());
    EXPECT_TRUE(check->text().startsWith("Set Display Time from PC Current Time "));
    EXPECT_EQ(check->text().size(), 55);
    EXPECT_EQ(box->text().size(), 10);
    EXPECT_TRUE(box->isReadOnly());
    EXPECT_FALSE(At(Control::Hint)->isEnabled());
    EXPECT_TRUE(At(Control::WriteButton)->isEnabled());

    check->setChecked(false);
    EXPECT_FALSE(box->isReadOnly());
    EXPECT_TRUE(At(Control::Hint)->isEnabled());
    box->setText("3001020304");
    check->setChecked(true);
    EXPECT_NE(box->text(), "3001020304");
    EXPECT_TRUE(box->isReadOnly());
    dialog->done(0);
    EXPECT_FALSE(dialog->ClockRunning());
}
