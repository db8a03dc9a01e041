#include "SetFilterDlg.h"

#include <qtsupport/DisplayText.h>

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "syslog/LogListCtrl.h"

namespace qui {

CSetFilterDlg::CSetFilterDlg(bool lan, const std::string& powerCaption, std::uint32_t filter, QWidget* parent)
    : QDialog(parent), m_nFilter(filter) {
    setWindowTitle(QStringLiteral("Select Kind"));
    const QString captions[6] = {
        QStringLiteral("Operation with IR Remote/Key"),
        lan ? QStringLiteral("Operation by RS-232C/LAN/Browser") : QStringLiteral("Operation by RS-232C"),
        QStringLiteral("Other Operation"),
        QStringLiteral("Change Signal"),
        QStringLiteral("Abnormal State"),
        powerCaption.empty() ? QStringLiteral("Power Change Reason") : qtsupport::FromCp932(powerCaption),
    };
    const CLogListCtrl::stFilterChecks checks = CLogListCtrl::ChecksFromFilter(filter);
    const bool checked[6] = {checks.irKey,  checks.command,  checks.otherOperation,
                             checks.signal, checks.abnormal, checks.power};

    auto* boxes = new QVBoxLayout;
    for (std::size_t i = 0; i < m_boxes.size(); ++i) {
        m_boxes[i] = new QCheckBox(captions[i], this);
        m_boxes[i]->setObjectName(QStringLiteral("kind%1").arg(i));
        m_boxes[i]->setChecked(checked[i]);
        boxes->addWidget(m_boxes[i]);
    }

    auto* none = new QPushButton(QStringLiteral("Select &None"), this);
    auto* all = new QPushButton(QStringLiteral("Select &All"), this);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    none->setObjectName(QStringLiteral("selectNone"));
    all->setObjectName(QStringLiteral("selectAll"));
    ok->setDefault(true);
    connect(none, &QPushButton::clicked, this, [this] { CheckAll(false); });
    connect(all, &QPushButton::clicked, this, [this] { CheckAll(true); });
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {ok, cancel, all, none}) {
        b->setAutoDefault(b == ok);
        buttons->addWidget(b);
    }
    buttons->addStretch(1);

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("Select Kind of Log to Display."), this), 0, 0);
    grid->addLayout(boxes, 1, 0);
    grid->addLayout(buttons, 0, 1, 2, 1);
    grid->setHorizontalSpacing(24);
    grid->setSizeConstraint(QLayout::SetFixedSize);
}

void CSetFilterDlg::CheckAll(bool checked) {
    for (QCheckBox* box : m_boxes) box->setChecked(checked);
}

void CSetFilterDlg::accept() {
    m_nFilter = CLogListCtrl::FilterFromChecks(m_boxes[0]->isChecked(), m_boxes[1]->isChecked(),
                                               m_boxes[2]->isChecked(), m_boxes[3]->isChecked(),
                                               m_boxes[4]->isChecked(), m_boxes[5]->isChecked());
    QDialog::accept();
}

}  // namespace qui
