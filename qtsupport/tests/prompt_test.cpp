// The message boxes behind the prompt, answered as a user answers them: every
// button clicked, Return, Escape and the window's close button, for each set
// of buttons.
#include <common/prompt.h>
#include <gtest/gtest.h>
#include <qtsupport/QtPrompt.h>
#include <testsupport/ModalScript.h>
#include <testsupport/OffscreenApp.h>

#include <QMessageBox>
#include <functional>

// The font configuration library keeps a cache for the life of the process.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }

namespace {

using testsupport::ModalScript;
using QMB = QMessageBox;
using Answer = std::function<void(ModalScript&)>;

Answer Click(QMB::StandardButton b) {
    return [b](ModalScript& s) { s.Press(b); };
}
Answer Key(Qt::Key k) {
    return [k](ModalScript& s) { s.PressKey(k); };
}
void CloseButton(ModalScript& s) {
    s.On<QMB>([](QMB* box) { box->close(); });
}

TEST(QtPromptTest, EveryButtonAndKeyOfEveryBox) {
    testsupport::OffscreenApp();
    testsupport::ModalWatchdog watchdog;
    qtsupport::QtPrompt prompt;
    const struct {
        unsigned type;
        QMB::StandardButtons shown;
        const char* how;
        Answer answer;
        int expected;
    } cases[] = {
        {cmn::MB_OK, QMB::Ok, "OK", Click(QMB::Ok), cmn::IDOK},
        {cmn::MB_OK, QMB::Ok, "Return", Key(Qt::Key_Return), cmn::IDOK},
        {cmn::MB_OK, QMB::Ok, "Escape", Key(Qt::Key_Escape), cmn::IDOK},
        {cmn::MB_OK, QMB::Ok, "closed", CloseButton, cmn::IDOK},
        {cmn::MB_OKCANCEL, QMB::Ok | QMB::Cancel, "OK", Click(QMB::Ok), cmn::IDOK},
        {cmn::MB_OKCANCEL, QMB::Ok | QMB::Cancel, "Cancel", Click(QMB::Cancel), cmn::IDCANCEL},
        {cmn::MB_OKCANCEL, QMB::Ok | QMB::Cancel, "Return", Key(Qt::Key_Return), cmn::IDOK},
        {cmn::MB_OKCANCEL, QMB::Ok | QMB::Cancel, "Escape", Key(Qt::Key_Escape), cmn::IDCANCEL},
        {cmn::MB_OKCANCEL, QMB::Ok | QMB::Cancel, "closed", CloseButton, cmn::IDCANCEL},
        {cmn::MB_YESNO, QMB::Yes | QMB::No, "Yes", Click(QMB::Yes), cmn::IDYES},
        {cmn::MB_YESNO, QMB::Yes | QMB::No, "No", Click(QMB::No), cmn::IDNO},
        {cmn::MB_YESNO, QMB::Yes | QMB::No, "Return", Key(Qt::Key_Return), cmn::IDYES},
        {cmn::MB_YESNO, QMB::Yes | QMB::No, "Escape", Key(Qt::Key_Escape), cmn::IDNO},
        {cmn::MB_YESNO, QMB::Yes | QMB::No, "closed", CloseButton, cmn::IDNO},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.type) + " " + c.how);
        ModalScript script;
        script.On<QMB>([&](QMB* box) {
            EXPECT_EQ(box->standardButtons(), c.shown);
            EXPECT_EQ(box->icon(), QMB::Warning);
            EXPECT_EQ(box->windowTitle(), "Confirm");
        });
        c.answer(script);
        EXPECT_EQ(prompt.Message("Go on?", c.type | cmn::MB_ICONWARNING, "Confirm"), c.expected);
        EXPECT_TRUE(script.Done());
    }
    EXPECT_TRUE(watchdog.Closed().empty());
}

}  // namespace
