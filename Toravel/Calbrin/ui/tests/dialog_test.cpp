// The Calbrin dialog on the offscreen platform: the mode layouts (also after a
// load) with each heading on its column, read-only centred boxes, the values a
// read brings, and its real message boxes answered by their buttons and keys.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include <calbrin/DataFiles.h>
#include <qtsupport/QtPrompt.h>
#include <testsupport/ModalScript.h>
#include <testsupport/OffscreenApp.h>
#include <testsupport/TempDir.h>
#include <toravel/RecordingLinkara.h>

#include <functional>
#include <optional>

#include "CalbrinDialog.h"

// The font configuration library keeps a cache for the life of the process.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }

using namespace calbrin;

namespace {

class CalbrinDialogTest : public testsupport::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        testsupport::OffscreenApp();
        watchdog.emplace();
        Write("Toravel.ini", "[WB]\r\nREAD_BACK_AFTER_WRITE=1\r\n");
        Write("default.wbd", "[GENERAL]\r\nMODELNAME1=QM-X001\r\nMODELNAME2=QM-X003\r\nSERIALNUMBER=SN7\r\n"
                             "[RED GAIN]\r\nData2=0042\r\n");
        tool = std::make_unique<WhiteBalanceTool>(dir, link, prompt, files);
        dialog = std::make_unique<CalbrinDialog>(*tool);
        prompt.SetOwner(dialog.get());
    }
    void TearDown() override { EXPECT_TRUE(watchdog->Closed().empty()) << watchdog->Closed().front(); }

    // Loads a data file of the given mode through the "&Load File ..." button.
    void LoadMode(const std::string& mode, const std::string& panel = "RGB") {
        Write("m.wni", "[GENERAL]\r\nTOOLMODE=" + mode + "\r\nADV_PANELCOLOR=" + panel + "\r\n");
        files.openAnswer = dir / "m.wni";
        Button("loadFile")->click();
    }

    template <typename W = QWidget>
    W* Find(const QString& name) const {
        auto* w = dialog->findChild<W*>(name);
        EXPECT_NE(w, nullptr) << name.toStdString();
        return w;
    }
    QPushButton* Button(const char* name) const { return Find<QPushButton>(QString::fromLatin1(name)); }
    QLineEdit* CellBox(Column c, int row) const {
        return Find<QLineEdit>(QStringLiteral("cell_%1_%2").arg(static_cast<int>(c)).arg(row));
    }
    // "shown", "disabled" or "hidden".
    std::string State(QWidget* w) const {
        if (w->isHidden()) return "hidden";
        return w->isEnabled() ? "shown" : "disabled";
    }
    std::string State(const char* name) const { return State(Find(QString::fromLatin1(name))); }

    std::optional<testsupport::ModalWatchdog> watchdog;
    toravel::RecordingLinkara link;
    qtsupport::QtPrompt prompt;
    calbrin_test::FakeFiles files;
    std::unique_ptr<WhiteBalanceTool> tool;
    std::unique_ptr<CalbrinDialog> dialog;
};

}  // namespace

TEST_F(CalbrinDialogTest, ControlsCaptionsAndTheDefaultLayout) {
    EXPECT_EQ(dialog->windowTitle(), "Calbrin");
    EXPECT_EQ(Find<QLineEdit>("modelName")->text(), "QM-X001/QM-X003");
    EXPECT_EQ(Find<QLineEdit>("serialNumber")->text(), "SN7");
    EXPECT_TRUE(Find<QLineEdit>("modelName")->isReadOnly() && Find<QLineEdit>("serialNumber")->isReadOnly());
    for (Column c : kAllColumns)
        for (int row = 1; row <= kRows; ++row)
            EXPECT_TRUE(CellBox(c, row)->isReadOnly() && CellBox(c, row)->alignment() == Qt::AlignCenter);
    EXPECT_EQ(CellBox(Column::Red, 2)->text(), "42");
    EXPECT_EQ(CellBox(Column::Red, 3)->text(), "0");
    EXPECT_EQ(Button("readSave")->text(), "&Read && Save ...");
    EXPECT_EQ(Button("reset")->text(), "Re&set");
    EXPECT_TRUE(Button("exit")->isDefault());
    EXPECT_TRUE(Find<QCheckBox>("readBack")->isChecked());
    // Default mode: VAL shown, yellow hidden, the level group shown.
    EXPECT_EQ(State("heading_VAL"), "shown");
    EXPECT_EQ(State("heading_Y"), "hidden");
    EXPECT_EQ(State(CellBox(Column::Yellow, 1)), "hidden");
    EXPECT_EQ(State("levelGroup"), "shown");
    EXPECT_EQ(Find<QLabel>("rowCaption1")->text(), "1");
}

TEST_F(CalbrinDialogTest, EveryLoadAppliesItsModesLayout) {
    LoadMode("WB_SIM");
    EXPECT_EQ(State(CellBox(Column::Red, 1)), "shown");
    EXPECT_EQ(State(CellBox(Column::Blue, 2)), "disabled");
    EXPECT_EQ(State(CellBox(Column::Level, 1)), "disabled");
    EXPECT_EQ(State("levelGroup"), "disabled");
    EXPECT_EQ(State("rowCaption1"), "shown");
    EXPECT_EQ(State("rowCaption6"), "disabled");
    EXPECT_EQ(State("heading_VAL"), "hidden");
    EXPECT_EQ(State(CellBox(Column::Val, 1)), "hidden");

    LoadMode("WB_SIM2");
    EXPECT_EQ(Find<QLabel>("rowCaption1")->text() + Find<QLabel>("rowCaption3")->text(), "02");
    EXPECT_EQ(State(CellBox(Column::Blue, 3)), "shown");
    EXPECT_EQ(State(CellBox(Column::Blue, 4)), "hidden");
    EXPECT_EQ(State("rowCaption4"), "hidden");
    EXPECT_EQ(State("levelGroup"), "hidden");
    EXPECT_EQ(State("heading_VAL"), "hidden");

    LoadMode("WB_ADV", "RGBY");
    EXPECT_EQ(Find<QLabel>("rowCaption1")->text(), "1");
    EXPECT_EQ(State(CellBox(Column::Blue, 6)), "shown");
    EXPECT_EQ(State("levelGroup"), "shown");
    EXPECT_EQ(State("heading_Y"), "shown");
    EXPECT_EQ(State(CellBox(Column::Yellow, 6)), "shown");
    EXPECT_EQ(State("heading_VAL"), "hidden");

    LoadMode("WB_ADV2");
    EXPECT_EQ(State("heading_Y"), "hidden");
    EXPECT_EQ(State("heading_VAL"), "shown");
    EXPECT_EQ(State(CellBox(Column::Val, 3)), "shown");
}

// Each heading stands on its column right above the column's first row, in
// every mode, however many rows the mode hides.
TEST_F(CalbrinDialogTest, HeadingsStayOnTheirColumns) {
    dialog->show();
    const struct {
        const char* mode;
        const char* panel;
    } modes[] = {{"", "RGB"}, {"WB_SIM", "RGB"}, {"WB_SIM2", "RGB"}, {"WB_ADV", "RGBY"}, {"WB_ADV2", "RGB"}};
    const std::pair<const char*, Column> headings[] = {{"heading_VAL", Column::Val},
                                                       {"heading_R", Column::Red},
                                                       {"heading_G", Column::Green},
                                                       {"heading_B", Column::Blue},
                                                       {"heading_Y", Column::Yellow}};
    for (const auto& m : modes) {
        SCOPED_TRACE(m.mode);
        LoadMode(m.mode, m.panel);
        QApplication::processEvents();
        const QRect first = CellBox(Column::Red, 1)->geometry(), second = CellBox(Column::Red, 2)->geometry();
        const int rowGap = second.top() - first.bottom();
        for (const auto& [name, column] : headings) {
            QWidget* heading = Find(QString::fromLatin1(name));
            if (heading->isHidden()) continue;
            // The text is drawn centred in the heading's cell.
            const QRect box = CellBox(column, 1)->geometry();
            const int textBottom = heading->geometry().center().y() + heading->fontMetrics().height() / 2;
            EXPECT_GT(box.top(), textBottom) << name;
            EXPECT_LE(box.top() - textBottom, 2 * rowGap) << name;
            EXPECT_NEAR(heading->geometry().center().x(), box.center().x(), 1) << name;
        }
    }
}

TEST_F(CalbrinDialogTest, ReadShowsTheDisplaysValues) {
    link.Answer(u"SRID????", u"00000000000000");
    link.Answer(u"INF1????", u"QM-X009");
    link.Answer(u"SRNO????", u"SN9");
    for (const char16_t* q : {u"WBLP????", u"WBRP????", u"WBGP????", u"WBBP????"}) link.Answer(q, u"11,22,0033");
    testsupport::ModalScript boxes;
    boxes.Press(QMessageBox::Ok);
    Button("readSave")->click();
    EXPECT_EQ(boxes.BoxTexts(), std::vector<std::string>{"Read is completed."});
    EXPECT_EQ(Find<QLineEdit>("modelName")->text(), "QM-X009");
    EXPECT_EQ(Find<QLineEdit>("serialNumber")->text(), "SN9");
    EXPECT_EQ(CellBox(Column::Level, 3)->text(), "33");
    EXPECT_EQ(CellBox(Column::Blue, 2)->text(), "22");
    EXPECT_EQ(CellBox(Column::Blue, 4)->text(), "0");
}

// "Re&set" asks first: Yes (clicked or by Return) writes the default data and
// says how it went; No and Escape send nothing.
TEST_F(CalbrinDialogTest, ResetGoesOutOnlyAfterYes) {
    using Answer = std::function<void(testsupport::ModalScript&)>;
    const struct {
        const char* how;
        Answer answer;
        bool confirmed;
    } cases[] = {
        {"click Yes", [](testsupport::ModalScript& s) { s.Press(QMessageBox::Yes); }, true},
        {"Return", [](testsupport::ModalScript& s) { s.PressKey(Qt::Key_Return); }, true},
        {"click No", [](testsupport::ModalScript& s) { s.Press(QMessageBox::No); }, false},
        {"Escape", [](testsupport::ModalScript& s) { s.PressKey(Qt::Key_Escape); }, false},
    };
    link.Answer(u"SRID????", u"00000000000000");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        link.ClearCalls();
        testsupport::ModalScript boxes;
        c.answer(boxes);
        if (c.confirmed) boxes.Press(QMessageBox::Ok);
        QTest::mouseClick(Button("reset"), Qt::LeftButton);
        EXPECT_TRUE(boxes.Done());
        ASSERT_FALSE(boxes.Boxes().empty());
        EXPECT_EQ(boxes.Boxes()[0].text, "Does reset begin?");
        EXPECT_EQ(boxes.Boxes()[0].buttons, QMessageBox::Yes | QMessageBox::No);
        EXPECT_EQ(link.Commands().empty(), !c.confirmed);
        if (c.confirmed) {
            EXPECT_EQ(boxes.BoxTexts().back(), "Reset is completed.");
        }
    }
}
