#include "qtsupport/QtPrompt.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>

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

}  // namespace

int QtPrompt::Message(const std::string& text, unsigned type, const std::string& caption) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) return cmn::NegativeAnswer(type);
    if (QThread::currentThread() == app->thread()) return ShowOnGuiThread(text, type, caption);
    int answer = cmn::NegativeAnswer(type);
    const bool called = QMetaObject::invokeMethod(
        app, [&] { answer = ShowOnGuiThread(text, type, caption); }, Qt::BlockingQueuedConnection);
    return called ? answer : cmn::NegativeAnswer(type);
}

int QtPrompt::ShowOnGuiThread(const std::string& text, unsigned type, const std::string& caption) {
    const unsigned buttons = type & 0x0F;
    QMessageBox::StandardButtons set = QMessageBox::Ok;
    if (buttons == cmn::MB_YESNO) set = QMessageBox::Yes | QMessageBox::No;
    if (buttons == cmn::MB_OKCANCEL) set = QMessageBox::Ok | QMessageBox::Cancel;
    // Without a caption the box carries the program's name, as message boxes do.
    const QString title = caption.empty() ? QCoreApplication::applicationName() : FromAnyBytes(caption);
    QMessageBox box(IconOf(type), title, FromAnyBytes(text), set, m_owner);
    switch (box.exec()) {
        case QMessageBox::Yes:
            return cmn::IDYES;
        case QMessageBox::No:
            return cmn::IDNO;
        case QMessageBox::Cancel:
            return cmn::IDCANCEL;
        default:
            return cmn::NegativeAnswer(type);
    }
}

}  // namespace qtsupport
