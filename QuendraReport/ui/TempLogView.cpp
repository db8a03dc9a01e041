#include "TempLogView.h"

#include <qtsupport/DisplayText.h>

#include <QPalette>

namespace qui {

TempLogView::TempLogView(QWidget* parent) : QPlainTextEdit(parent) {
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    QPalette white = palette();
    white.setColor(QPalette::Base, Qt::white);
    white.setColor(QPalette::Text, Qt::black);
    setPalette(white);
    // The page aligns its values with tabs; keep them at a fixed, readable width.
    setTabStopDistance(fontMetrics().horizontalAdvance(QLatin1Char(' ')) * 8);
}

void TempLogView::ShowText(std::string_view pageText) {
    QString text = qtsupport::FromCp932(pageText);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    setPlainText(text);
}

}  // namespace qui
