// The Calbrin dialog on the offscreen platform: the mode layouts (also after a
// load), read-only centred boxes, and the values a read brings.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <testsupport/OffscreenApp.h>
#include <testsupport/TempDir.h>

#include "CalbrinDialog.h"
#include "DataFiles.h"

// The font configuration library keeps a cache for the life of the process.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }

using namespace calbrin;

namespace {

class CalbrinDialogTest : public testsupport::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        testsupport::OffscreenApp();
        Write("Toravel.ini", "[WB]\r\nREAD_BACK_AFTER_WRITE=1\r\n");
        Write("default.wbd", "[GENERAL]\r\nMODELNAME1=QM-X001\r\nMODELNAME2=QM-X003\r\nSERIALNUMBER=SN7\r\n"
                             "[RED GAIN]\r\nData2=0042\r\n");
        tool = std::make_unique<WhiteBalanceTool>(dir, link, prompt, files);
        dialog = std::make_unique<CalbrinDialog>(*tool);
    }

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

    toravel::RecordingLinkara link;
    cmn::RecordingPrompt prompt;
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

TEST_F(CalbrinDialogTest, ReadShowsTheDisplaysValues) {
    link.Answer(u"SRID????", u"00000000000000");
    link.Answer(u"INF1????", u"QM-X009");
    link.Answer(u"SRNO????", u"SN9");
    for (const char16_t* q : {u"WBLP????", u"WBRP????", u"WBGP????", u"WBBP????"}) link.Answer(q, u"11,22,0033");
    Button("readSave")->click();
    EXPECT_EQ(prompt.Texts(), std::vector<std::string>{"Read is completed."});
    EXPECT_EQ(Find<QLineEdit>("modelName")->text(), "QM-X009");
    EXPECT_EQ(Find<QLineEdit>("serialNumber")->text(), "SN9");
    EXPECT_EQ(CellBox(Column::Level, 3)->text(), "33");
    EXPECT_EQ(CellBox(Column::Blue, 2)->text(), "22");
    EXPECT_EQ(CellBox(Column::Blue, 4)->text(), "0");
}
