#include "qtsupport/QtPrompt.h"

#include <QMessageBox>

namespace qtsupport {

namespace {

QMessageBox::Icon IconOf(unsigned type) {
    switch (type & 0xF0) {
        case cmn::MB_ICONERROR: return QMessageBox::Critical;
        case cmn::MB_ICONQUESTION: return QMessageBox::Question;
        case cmn::MB_ICONWARNING: return QMessageBox::Warning;
        case cmn::MB_ICONINFORMATION: return QMessageBox::Information;
        default: return QMessageBox::NoIcon;
    }
}

}  // namespace

int QtPrompt::Message(const std::string& text, unsigned type, const std::string& caption) {
    const unsigned buttons = type & 0x0F;
    QMessageBox::StandardButtons set = QMessageBox::Ok;
    if (buttons == cmn::MB_YESNO) set = QMessageBox::Yes | QMessageBox::No;
    if (buttons == cmn::MB_OKCANCEL) set = QMessageBox::Ok | QMessageBox::Cancel;
    QMessageBox box(IconOf(type), QString::fromStdString(caption), QString::fromStdString(text), set, m_owner);
    switch (box.exec()) {
        case QMessageBox::Yes: return cmn::IDYES;
        case QMessageBox::No: return cmn::IDNO;
        case QMessageBox::Cancel: return cmn::IDCANCEL;
        default: return buttons == cmn::MB_YESNO ? cmn::IDNO : cmn::IDOK;
    }
}

}  // namespace qtsupport
