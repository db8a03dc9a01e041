#include "qtsupport/QtPrompt.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QPushButton>
#include <QThread>
#include <array>
#include <utility>

#include "qtsupport/DisplayText.h"

namespace qtsupport {

namespace {

QMessageBox::Icon IconOf(unsigned type) {
    switch (type & 0xF0) {
        case cmn::MB_ICONERROR:
            return QMessageBox::Critical;
        case cmn::MB_ICONQUESTION:
            return QMessageBox::Question;
        case cmn::MB_ICONWARNING:
            return QMessageBox::Warning;
        case cmn::MB_ICONINFORMATION:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
    }
}

// One box: its buttons with their answers, left to right (the first is the
// default, taken by Return), and the answer of Escape or the close button.
struct ButtonSet {
    unsigned buttons;
    std::array<std::pair<QMessageBox::StandardButton, int>, 2> shown;
    int escapeAnswer;
};

constexpr std::array<ButtonSet, 3> kButtonSets = {{
    {cmn::MB_OK, {{{QMessageBox::Ok, cmn::IDOK}, {QMessageBox::NoButton, 0}}}, cmn::IDOK},
    {cmn::MB_OKCANCEL, {{{QMessageBox::Ok, cmn::IDOK}, {QMessageBox::Cancel, cmn::IDCANCEL}}}, cmn::IDCANCEL},
    {cmn::MB_YESNO, {{{QMessageBox::Yes, cmn::IDYES}, {QMessageBox::No, cmn::IDNO}}}, cmn::IDNO},
}};

// A set this program does not use shows OK alone, as a plain message.
const ButtonSet& ButtonSetOf(unsigned type) {
    for (const ButtonSet& set : kButtonSets)
        if (set.buttons == (type & 0x0F)) return set;
    return kButtonSets[0];
}

}  // namespace

int QtPrompt::Message(const std::string& text, unsigned type, const std::string& caption) {
    return Message(text, type, caption, {});
}

int QtPrompt::Message(const std::string& text, unsigned type, const std::string& caption,
                      const std::string& details) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) return cmn::NegativeAnswer(type);
    if (QThread::currentThread() == app->thread()) return ShowOnGuiThread(text, type, caption, details);
    int answer = cmn::NegativeAnswer(type);
    const bool called = QMetaObject::invokeMethod(
        app, [&] { answer = ShowOnGuiThread(text, type, caption, details); }, Qt::BlockingQueuedConnection);
    return called ? answer : cmn::NegativeAnswer(type);
}

int QtPrompt::ShowOnGuiThread(const std::string& text, unsigned type, const std::string& caption,
                              const std::string& details) {
    const ButtonSet& set = ButtonSetOf(type);
    // Without a caption the box carries the program's name, as message boxes do.
    const QString title = caption.empty() ? QCoreApplication::applicationName() : FromAnyBytes(caption);
    QMessageBox box(IconOf(type), title, FromAnyBytes(text), QMessageBox::NoButton, m_owner);
    QPushButton* escape = nullptr;
    for (const auto& [button, answer] : set.shown) {
        if (button == QMessageBox::NoButton) continue;
        QPushButton* added = box.addButton(button);
        if (box.defaultButton() == nullptr) box.setDefaultButton(added);
        if (answer == set.escapeAnswer) escape = added;
    }
    box.setEscapeButton(escape);
    if (!details.empty()) box.setDetailedText(FromAnyBytes(details));
    box.exec();
    // A box closed without a button (by its owner going away) gets the
    // answer of Escape as well.
    const QMessageBox::StandardButton clicked = box.standardButton(box.clickedButton());
    for (const auto& [button, answer] : set.shown)
        if (button == clicked && button != QMessageBox::NoButton) return answer;
    return set.escapeAnswer;
}

}  // namespace qtsupport
