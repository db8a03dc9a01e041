// The message boxes behind the prompt, answered as a user answers them: every
// button clicked, Return, Escape and the window's close button, for each set
// of buttons; and a box asked for from a worker thread.
#include <common/prompt.h>
#include <gtest/gtest.h>
#include <qtsupport/QtPrompt.h>
#include <testsupport/ModalScript.h>
#include <testsupport/OffscreenApp.h>

#include <QElapsedTimer>
#include <QMessageBox>
#include <QThread>
#include <functional>
#include <optional>

// The font configuration library keeps a cache for the life of the process.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }

using testsupport::ModalScript;

namespace {

using Answer = std::function<void(ModalScript&)>;

Answer Click(QMessageBox::StandardButton b) {
    return [b](ModalScript& s) { s.Press(b); };
}
Answer Key(Qt::Key k) {
    return [k](ModalScript& s) { s.PressKey(k); };
}
void CloseButton(ModalScript& s) {
    s.On<QMessageBox>([](QMessageBox* box) { box->close(); });
}

class QtPromptTest : public ::testing::Test {
protected:
    void SetUp() override {
        testsupport::OffscreenApp();
        watchdog.emplace();
    }
    void TearDown() override { EXPECT_TRUE(watchdog->Closed().empty()); }

    std::optional<testsupport::ModalWatchdog> watchdog;
    qtsupport::QtPrompt prompt;
};

TEST_F(QtPromptTest, EveryButtonAndKeyOfEveryBox) {
    using QMB = QMessageBox;
    const struct {
        const char* how;
        unsigned type;
        Answer answer;
        int expected;
    } cases[] = {
        {"OK box, OK", cmn::MB_OK, Click(QMB::Ok), cmn::IDOK},
        {"OK box, Return", cmn::MB_OK, Key(Qt::Key_Return), cmn::IDOK},
        {"OK box, Escape", cmn::MB_OK, Key(Qt::Key_Escape), cmn::IDOK},
        {"OK box, closed", cmn::MB_OK, CloseButton, cmn::IDOK},
        {"OK/Cancel, OK", cmn::MB_OKCANCEL, Click(QMB::Ok), cmn::IDOK},
        {"OK/Cancel, Cancel", cmn::MB_OKCANCEL, Click(QMB::Cancel), cmn::IDCANCEL},
        {"OK/Cancel, Return", cmn::MB_OKCANCEL, Key(Qt::Key_Return), cmn::IDOK},
        {"OK/Cancel, Escape", cmn::MB_OKCANCEL, Key(Qt::Key_Escape), cmn::IDCANCEL},
        {"OK/Cancel, closed", cmn::MB_OKCANCEL, CloseButton, cmn::IDCANCEL},
        {"Yes/No, Yes", cmn::MB_YESNO, Click(QMB::Yes), cmn::IDYES},
        {"Yes/No, No", cmn::MB_YESNO, Click(QMB::No), cmn::IDNO},
        {"Yes/No, Return", cmn::MB_YESNO, Key(Qt::Key_Return), cmn::IDYES},
        {"Yes/No, Escape", cmn::MB_YESNO, Key(Qt::Key_Escape), cmn::IDNO},
        {"Yes/No, closed", cmn::MB_YESNO, CloseButton, cmn::IDNO},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        ModalScript script;
        c.answer(script);
        const int answer = prompt.Message("Go on?", c.type | cmn::MB_ICONWARNING, "Confirm");
        EXPECT_TRUE(script.Done());
        EXPECT_EQ(answer, c.expected);
    }
}

TEST_F(QtPromptTest, ShowsTheButtonsIconAndCaptionAsked) {
    ModalScript script;
    script.Press(QMessageBox::Ok).Press(QMessageBox::No);
    EXPECT_EQ(prompt.Message("Logs are cleared.", cmn::MB_OK | cmn::MB_ICONINFORMATION, {}), cmn::IDOK);
    // Asked from a worker: the box is shown by the GUI thread, the worker waits for the answer.
    int fromWorker = 0;
    QThread* worker = QThread::create(
        [&] { fromWorker = prompt.Message("Replace it?", cmn::MB_YESNO | cmn::MB_ICONQUESTION, "Confirm"); });
    worker->start();
    QElapsedTimer waited;
    waited.start();
    while (!worker->wait(10) && waited.elapsed() < 20000) QApplication::processEvents();
    ASSERT_TRUE(worker->isFinished());
    delete worker;
    EXPECT_EQ(fromWorker, cmn::IDNO);

    ASSERT_EQ(script.Boxes().size(), 2u);
    const ModalScript::Box& info = script.Boxes()[0];
    EXPECT_EQ(info.title, QApplication::applicationName().toStdString());  // no caption: the program's name
    EXPECT_EQ(info.icon, QMessageBox::Information);
    EXPECT_EQ(info.buttons, QMessageBox::Ok);
    const ModalScript::Box& question = script.Boxes()[1];
    EXPECT_EQ(question.title, "Confirm");
    EXPECT_EQ(question.text, "Replace it?");
    EXPECT_EQ(question.icon, QMessageBox::Question);
    EXPECT_EQ(question.buttons, QMessageBox::Yes | QMessageBox::No);
}

}  // namespace
