#include "AboutDlg.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <common/options.h>

#include "RowIcons.h"

namespace qui {

const char* BuildVersion() {
    return cmn::SuiteVersion();
}

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About QuendraReport"));
    auto* icon = new QLabel(this);
    icon->setPixmap(AppIcon().pixmap(48, 48));
    auto* name =
        new QLabel(QStringLiteral("QuendraReport Version %1").arg(QString::fromLatin1(BuildVersion())), this);
    name->setObjectName(QStringLiteral("aboutVersion"));
    auto* role =
        new QLabel(QStringLiteral("Reads a signage display's logs and NVRAM and writes reports."), this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* grid = new QGridLayout(this);
    grid->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
    grid->addWidget(name, 0, 1);
    grid->addWidget(role, 1, 1);
    grid->addWidget(buttons, 2, 0, 1, 2);
    grid->setHorizontalSpacing(16);
    grid->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace qui
