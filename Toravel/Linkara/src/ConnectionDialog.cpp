// The connection setting dialog (Qt Widgets): interface, serial port and baud
// rate, or address and data port with the account and password.

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "LinkaraCore.h"

namespace linkara {

namespace {

QString Q(const std::u16string& s) { return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size())); }
std::u16string U(const QString& s) { return s.trimmed().toStdU16String(); }

}  // namespace

bool ShowConnectionDialog(void* owner, Settings& s, std::u16string& password) {
    if (QApplication::instance() == nullptr) return false;
    QDialog dialog(static_cast<QWidget*>(owner));
    dialog.setWindowTitle(QStringLiteral("Connection Setting"));

    auto* kind = new QComboBox(&dialog);
    kind->setObjectName(QStringLiteral("interface"));
    kind->addItems({QStringLiteral("COM"), QStringLiteral("LAN")});
    kind->setCurrentIndex(s.interfaceKind == u"LAN" ? 1 : 0);

    auto* port = new QComboBox(&dialog);
    port->setObjectName(QStringLiteral("port"));
    port->setEditable(true);
    for (int i = 1; i <= 16; ++i) port->addItem(QStringLiteral("COM%1").arg(i));
    port->setEditText(Q(s.port));

    auto* baud = new QComboBox(&dialog);
    baud->setObjectName(QStringLiteral("baud"));
    for (int b : {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200}) baud->addItem(QString::number(b), b);
    const int baudIndex = baud->findData(s.baud);
    baud->setCurrentIndex(baudIndex >= 0 ? baudIndex : baud->findData(9600));

    auto* address = new QLineEdit(Q(s.address), &dialog);
    address->setObjectName(QStringLiteral("address"));
    auto* dataPort = new QSpinBox(&dialog);
    dataPort->setObjectName(QStringLiteral("dataPort"));
    dataPort->setRange(1, 65535);
    dataPort->setValue(s.dataPort >= 1 && s.dataPort <= 65535 ? s.dataPort : 10008);
    auto* account = new QLineEdit(Q(s.account), &dialog);
    account->setObjectName(QStringLiteral("account"));
    auto* pass = new QLineEdit(Q(password), &dialog);
    pass->setObjectName(QStringLiteral("password"));
    pass->setEchoMode(QLineEdit::Password);

    auto* problem = new QLabel(&dialog);
    problem->setObjectName(QStringLiteral("problem"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Interface:"), kind);
    form->addRow(QStringLiteral("&Port:"), port);
    form->addRow(QStringLiteral("&Baud rate:"), baud);
    form->addRow(QStringLiteral("&Address:"), address);
    form->addRow(QStringLiteral("&Data port:"), dataPort);
    form->addRow(QStringLiteral("A&ccount:"), account);
    form->addRow(QStringLiteral("Pass&word:"), pass);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addLayout(form);
    layout->addWidget(problem);
    layout->addWidget(buttons);

    auto collect = [&]() {
        Settings r = s;
        r.interfaceKind = kind->currentIndex() == 1 ? u"LAN" : u"COM";
        r.port = U(port->currentText());
        r.baud = baud->currentData().toInt();
        r.address = U(address->text());
        r.dataPort = dataPort->value();
        r.account = U(account->text());
        return r;
    };
    // Only the fields of the chosen interface are editable; OK needs settings that can open a link.
    auto refresh = [&]() {
        const bool lan = kind->currentIndex() == 1;
        port->setEnabled(!lan);
        baud->setEnabled(!lan);
        address->setEnabled(lan);
        dataPort->setEnabled(lan);
        account->setEnabled(lan);
        pass->setEnabled(lan);
        const std::u16string why = CheckSettings(collect());
        problem->setText(Q(why));
        buttons->button(QDialogButtonBox::Ok)->setEnabled(why.empty());
    };
    QObject::connect(kind, &QComboBox::currentIndexChanged, &dialog, refresh);
    QObject::connect(port, &QComboBox::editTextChanged, &dialog, refresh);
    QObject::connect(address, &QLineEdit::textChanged, &dialog, refresh);
    QObject::connect(dataPort, &QSpinBox::valueChanged, &dialog, refresh);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    refresh();

    if (dialog.exec() != QDialog::Accepted) return false;
    s = collect();
    password = pass->text().toStdU16String();
    return true;
}

}  // namespace linkara
