#include "ProgressDlg.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <atomic>

namespace qui {

const char* const kProgressText = "Now communicating with Quendra display. Just a moment.";

namespace {
const char* const kCaption = "Communicating";
}

CProgressDlg::CProgressDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromLatin1(kCaption));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setModal(true);
    m_text = new QLabel(QString::fromLatin1(kProgressText), this);
    m_text->setObjectName(QStringLiteral("progressText"));
    m_bar = new QProgressBar(this);
    m_bar->setObjectName(QStringLiteral("progressBar"));
    m_bar->setTextVisible(false);
    m_cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancelButton->setObjectName(QStringLiteral("progressCancel"));
    m_cancelButton->setAutoDefault(false);
    connect(m_cancelButton, &QPushButton::clicked, this, [this] {
        std::atomic_ref<int>(m_cancel).store(1, std::memory_order_release);
        m_cancelButton->setEnabled(false);
    });

    auto* grid = new QGridLayout(this);
    grid->addWidget(m_text, 0, 0);
    grid->addWidget(m_cancelButton, 0, 1, Qt::AlignRight);
    grid->addWidget(m_bar, 1, 0, 1, 2);
    grid->setColumnStretch(0, 1);
    setMinimumWidth(m_text->sizeHint().width() + 80);
    SetParams(12, false, {});
}

void CProgressDlg::SetParams(int range, bool cancelEnabled, const std::string& suffix) {
    std::atomic_ref<int>(m_cancel).store(0, std::memory_order_release);
    m_finished = false;
    ++m_run;
    setWindowTitle(QString::fromLatin1(kCaption) + QString::fromStdString(suffix));
    m_text->setText(QString::fromLatin1(kProgressText));
    m_bar->setRange(0, range > 0 ? range : 1);
    m_bar->setValue(0);
    m_cancelButton->setVisible(cancelEnabled);
    m_cancelButton->setEnabled(cancelEnabled);
}

void CProgressDlg::RunModal() {
    if (m_finished) return;
    exec();
}

void CProgressDlg::SetText(const char* text) {
    if (text != nullptr) m_text->setText(QString::fromLatin1(text));
}

void CProgressDlg::SetPos(int pos) {
    m_bar->setValue(qBound(m_bar->minimum(), pos, m_bar->maximum()));
}

void CProgressDlg::Finish() {
    m_finished = true;
    if (isVisible()) done(0);
}

void CProgressDlg::closeEvent(QCloseEvent* event) {
    // Only the end of the run closes the window.
    event->ignore();
    if (m_finished) done(0);
}

void CProgressDlg::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Escape:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            event->accept();
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

void CProgressDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // The run may have ended while the window was on its way up.
    if (m_finished) QTimer::singleShot(0, this, [this] { done(0); });
}

}  // namespace qui
