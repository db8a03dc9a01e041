#include "LanSettingDlg.h"

#include <common/prompt.h>
#include <qtsupport/DisplayText.h>
#include <qtsupport/QtPrompt.h>

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

namespace qui {

const char* const kMsgBadPort = "Please enter a port number between 1 and 65535.";

namespace {

constexpr int kMaxPort = 65535;

QLabel* Caption(const char* text, QWidget* buddy, QWidget* parent) {
    auto* label = new QLabel(QString::fromLatin1(text), parent);
    label->setBuddy(buddy);
    return label;
}

}  // namespace

IpAddressEdit::IpAddressEdit(QWidget* parent) : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        auto* field = new QLineEdit(this);
        field->setObjectName(QStringLiteral("ipField%1").arg(i));
        field->setValidator(new QIntValidator(0, 255, field));
        field->setMaxLength(3);
        field->setAlignment(Qt::AlignCenter);
        field->setFixedWidth(field->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 8);
        field->installEventFilter(this);
        m_fields[i] = field;
        if (i > 0) row->addWidget(new QLabel(QStringLiteral("."), this));
        row->addWidget(field);
        if (i + 1 < m_fields.size()) {
            // A third digit completes the field: go on to the next one.
            connect(field, &QLineEdit::textEdited, this, [this, i](const QString& text) {
                if (text.size() == 3 && m_fields[i]->cursorPosition() == 3) {
                    m_fields[i + 1]->setFocus();
                    m_fields[i + 1]->selectAll();
                }
            });
        }
    }
    setFocusProxy(m_fields[0]);
}

bool IpAddressEdit::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        for (std::size_t i = 0; i + 1 < m_fields.size(); ++i) {
            if (watched == m_fields[i] && (key->key() == Qt::Key_Period || key->key() == Qt::Key_Comma)) {
                m_fields[i + 1]->setFocus();
                m_fields[i + 1]->selectAll();
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void IpAddressEdit::SetAddress(std::uint32_t ip) {
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        m_fields[i]->setText(QString::number((ip >> (24 - 8 * i)) & 0xFFu));
    }
}

std::uint32_t IpAddressEdit::Address() const {
    std::uint32_t ip = 0;
    for (const QLineEdit* field : m_fields) {
        // An empty field counts as 0; the validator keeps every field within 0..255.
        const unsigned octet = field->text().toUInt();
        ip = (ip << 8) | (octet > 255 ? 255u : octet);
    }
    return ip;
}

CLanSettingDlg::CLanSettingDlg(const stLanSettings& settings, QWidget* parent)
    : QDialog(parent), m_settings(settings) {
    setWindowTitle(QStringLiteral("LAN Settings"));
    m_ip = new IpAddressEdit(this);
    m_ip->setObjectName(QStringLiteral("ipAddress"));
    m_ip->SetAddress(settings.dwIp);
    m_port = new QLineEdit(QString::number(settings.nPort), this);
    m_port->setObjectName(QStringLiteral("dataPort"));
    m_port->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), m_port));
    m_port->setMaxLength(5);
    m_user = new QLineEdit(qtsupport::FromCp932(settings.strUser), this);
    m_user->setObjectName(QStringLiteral("userName"));
    m_password = new QLineEdit(qtsupport::FromCp932(settings.strPassword), this);
    m_password->setObjectName(QStringLiteral("password"));
    m_password->setEchoMode(QLineEdit::Password);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* grid = new QGridLayout(this);
    grid->addWidget(Caption("&IP Address :", m_ip, this), 0, 0);
    grid->addWidget(m_ip, 0, 1);
    grid->addWidget(Caption("&Data Port :", m_port, this), 1, 0);
    grid->addWidget(m_port, 1, 1);
    grid->addWidget(Caption("&User name :", m_user, this), 2, 0);
    grid->addWidget(m_user, 2, 1);
    grid->addWidget(Caption("&Password :", m_password, this), 3, 0);
    grid->addWidget(m_password, 3, 1);
    grid->addWidget(buttons, 4, 0, 1, 2);
    grid->setSizeConstraint(QLayout::SetFixedSize);
}

void CLanSettingDlg::accept() {
    bool ok = false;
    const uint port = m_port->text().toUInt(&ok);
    if (!ok || port == 0 || port > kMaxPort) {
        qtsupport::QtPrompt boxes;
        boxes.SetOwner(this);
        boxes.Message(kMsgBadPort, cmn::MB_OK | cmn::MB_ICONWARNING, {});
        m_port->setFocus();
        m_port->selectAll();
        return;
    }
    m_settings.dwIp = m_ip->Address();
    m_settings.nPort = static_cast<int>(port);
    m_settings.strUser = qtsupport::ToCp932(m_user->text());
    m_settings.strPassword = qtsupport::ToCp932(m_password->text());
    QDialog::accept();
}

}  // namespace qui
