#include "PelmarkDialog.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QStyle>
#include <ctime>

namespace pelmark {

namespace {

constexpr int kClockIntervalMs = 1000;

QString Q(const std::u16string& s) { return QString::fromStdU16String(s); }

// The button's busy state for the length of one exchange: "Wait..." and
// disabled, painted at once because the exchange blocks the dialog thread.
class BusyButton {
public:
    explicit BusyButton(QPushButton* button) : m_button(button), m_caption(button->text()) {
        m_button->setEnabled(false);
        m_button->setText(QStringLiteral("Wait..."));
        m_button->repaint();
    }
    ~BusyButton() {
        m_button->setText(m_caption);
        m_button->setEnabled(true);
        m_button->repaint();
    }
    BusyButton(const BusyButton&) = delete;
    BusyButton& operator=(const BusyButton&) = delete;

private:
    QPushButton* m_button;
    QString m_caption;
};

}  // namespace

Form FormForScreen(const Settings& s, const QScreen* screen) {
    const double fx = screen ? ScaleFactor(screen->logicalDotsPerInchX()) : 1.0;
    const double fy = screen ? ScaleFactor(screen->logicalDotsPerInchY()) : 1.0;
    return BuildForm(s, fx, fy);
}

PelmarkDialog::PelmarkDialog(PelmarkTool& tool, const Form& form, QWidget* parent)
    : QDialog(parent), m_tool(tool) {
    setWindowTitle(Q(form.title));
    setWindowIcon(style()->standardIcon(QStyle::SP_DriveHDIcon));
    CreateControls(form);
    Place(form);
    if (form.clockTicked) {
        m_clock.setInterval(kClockIntervalMs);
        connect(&m_clock, &QTimer::timeout, this, &PelmarkDialog::OnClockTick);
        connect(m_clockCheck, &QCheckBox::toggled, this, &PelmarkDialog::OnClockTick);
        connect(this, &QDialog::finished, &m_clock, &QTimer::stop);
        OnClockTick();
        m_clock.start();
    }
}

void PelmarkDialog::CreateControls(const Form& form) {
    auto keep = [&](Control c, QWidget* w) {
        const ControlView& v = form[c];
        w->setVisible(v.visible);
        w->setEnabled(v.enabled);
        w->setObjectName(QStringLiteral("control%1").arg(static_cast<int>(c)));
        m_widgets[static_cast<int>(c)] = w;
    };
    auto button = [&](Control c) {
        auto* b = new QPushButton(Q(form[c].text), this);
        b->setAutoDefault(false);
        keep(c, b);
        return b;
    };
    auto label = [&](Control c, QLineEdit* buddy) {
        auto* l = new QLabel(Q(form[c].text), this);
        if (buddy) l->setBuddy(buddy);
        keep(c, l);
        return l;
    };
    // Created bottom to top: the group box lies under every other control.
    keep(Control::Group, new QGroupBox(Q(form[Control::Group].text), this));
    connect(button(Control::ConnectionButton), &QPushButton::clicked, this, [this] { m_tool.ConnectionSetting(this); });
    m_readBox = new QLineEdit(this);
    label(Control::ReadLabel, m_readBox);
    m_readBox->setText(Q(form[Control::ReadBox].text));
    m_readBox->setReadOnly(true);
    keep(Control::ReadBox, m_readBox);
    m_readButton = button(Control::ReadButton);
    connect(m_readButton, &QPushButton::clicked, this, &PelmarkDialog::OnRead);
    m_writeBox = new QLineEdit(this);
    label(Control::WriteLabel, m_writeBox);
    if (form.writeMaxLength > 0) m_writeBox->setMaxLength(form.writeMaxLength);
    if (form.writeDigitsOnly)
        m_writeBox->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), m_writeBox));
    m_writeBox->setText(Q(form[Control::WriteBox].text));
    keep(Control::WriteBox, m_writeBox);
    connect(m_writeBox, &QLineEdit::textChanged, this, &PelmarkDialog::OnWriteTextChanged);
    m_writeButton = button(Control::WriteButton);
    connect(m_writeButton, &QPushButton::clicked, this, &PelmarkDialog::OnWrite);
    m_clockCheck = new QCheckBox(Q(form[Control::ClockCheck].text), this);
    m_clockCheck->setChecked(form.clockTicked);
    keep(Control::ClockCheck, m_clockCheck);
    label(Control::Hint, nullptr);
    auto* exit = button(Control::ExitButton);
    exit->setDefault(true);
    connect(exit, &QPushButton::clicked, this, &QDialog::accept);
    for (int row = 1; row <= kValueRows; ++row) {
        auto* value = new QLineEdit(this);
        label(ValueLabel(row), value);
        value->setReadOnly(true);
        keep(ValueBox(row), value);
    }
}

void PelmarkDialog::Place(const Form& form) {
    setFixedSize(form.width, form.height);
    for (int i = 0; i < kControlCount; ++i) {
        const Rect& r = form.controls[i].rect;
        m_widgets[i]->setGeometry(r.x, r.y, r.width, r.height);
    }
    if (const QScreen* s = screen()) {
        const auto [x, y] = CentredOrigin(s->geometry().width(), s->geometry().height(), form.width, form.height);
        move(s->geometry().x() + x, s->geometry().y() + y);
    }
}

void PelmarkDialog::OnRead() {
    ReadResult result;
    {
        BusyButton busy(m_readButton);
        m_readBox->clear();
        for (int row = 1; row <= kValueRows; ++row) static_cast<QLineEdit*>(Widget(ValueBox(row)))->clear();
        m_readBox->repaint();
        result = m_tool.Read();
    }
    m_readBox->setText(Q(result.readText));
    for (int row = 1; row <= kValueRows; ++row)
        static_cast<QLineEdit*>(Widget(ValueBox(row)))->setText(Q(result.values[row - 1]));
}

void PelmarkDialog::OnWrite() {
    {
        BusyButton busy(m_writeButton);
        m_tool.Write(m_writeBox->text().toStdU16String());
    }
    OnWriteTextChanged();
}

void PelmarkDialog::OnWriteTextChanged() {
    m_writeButton->setEnabled(WriteAllowed(m_tool.GetSettings(), m_writeBox->text().toStdU16String()));
}

void PelmarkDialog::OnClockTick() {
    if (isMinimized()) return;
    const ClockView view = ClockAt(std::time(nullptr), m_clockCheck->isChecked());
    m_clockCheck->setText(Q(view.caption));
    if (view.writeText) m_writeBox->setText(Q(*view.writeText));
    m_writeBox->setReadOnly(view.writeReadOnly);
    Widget(Control::Hint)->setEnabled(view.hintEnabled);
}

}  // namespace pelmark
