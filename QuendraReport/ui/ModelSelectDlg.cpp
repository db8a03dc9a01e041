#include "ModelSelectDlg.h"

#include <qtsupport/DisplayText.h>

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace qui {

CModelSelectDlg::CModelSelectDlg(std::vector<stModelEntry> models, QWidget* parent)
    : QDialog(parent), m_models(std::move(models)) {
    setWindowTitle(QStringLiteral("Select Model"));
    auto* label = new QLabel(QStringLiteral("Model Name :"), this);
    m_box = new QComboBox(this);
    m_box->setObjectName(QStringLiteral("modelBox"));
    m_box->setMinimumContentsLength(20);
    for (const stModelEntry& m : m_models) m_box->addItem(qtsupport::FromCp932(m.m_strName));
    if (m_box->count() > 0) m_box->setCurrentIndex(0);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* grid = new QGridLayout(this);
    grid->addWidget(label, 0, 0);
    grid->addWidget(m_box, 0, 1);
    grid->addWidget(buttons, 1, 1);
    grid->setColumnStretch(1, 1);
    grid->setSizeConstraint(QLayout::SetFixedSize);
}

void CModelSelectDlg::accept() {
    m_choice = {};
    const int index = m_box->currentIndex();
    if (index >= 0 && static_cast<std::size_t>(index) < m_models.size()) {
        const stModelEntry& m = m_models[static_cast<std::size_t>(index)];
        m_choice = {m.m_strName, m.m_strFolder, m.LanDefault()};
    }
    QDialog::accept();
}

}  // namespace qui
