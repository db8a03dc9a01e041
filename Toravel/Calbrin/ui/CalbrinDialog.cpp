#include "CalbrinDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace calbrin {

namespace {

QString Q(const std::u16string& s) { return QString::fromStdU16String(s); }

QString CellName(Column c, int row) {
    return QStringLiteral("cell_%1_%2").arg(static_cast<int>(c)).arg(row);
}

void Apply(QWidget* w, const ControlState& s) {
    w->setHidden(!s.visible);
    w->setEnabled(s.enabled);
}

// Gain columns from left to right, as headed.
constexpr std::array<std::pair<Column, const char*>, 5> kGainColumns = {{
    {Column::Val, "VAL"}, {Column::Red, "R"}, {Column::Green, "G"}, {Column::Blue, "B"}, {Column::Yellow, "Y"}}};

constexpr int kValueBoxWidth = 60;

}  // namespace

CalbrinDialog::CalbrinDialog(WhiteBalanceTool& tool, QWidget* parent) : QDialog(parent), m_tool(tool) {
    setWindowTitle(QStringLiteral("Calbrin"));
    setWindowIcon(style()->standardIcon(QStyle::SP_DesktopIcon));

    auto* middle = new QHBoxLayout;
    middle->addWidget(BuildGainGroup());
    middle->addWidget(BuildControlGroup());
    auto* exit = new QPushButton(QStringLiteral("&Exit"), this);
    exit->setObjectName(QStringLiteral("exit"));
    exit->setDefault(true);
    connect(exit, &QPushButton::clicked, this, &QDialog::accept);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(exit);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(BuildIdentity());
    layout->addLayout(middle);
    layout->addWidget(BuildLevelGroup());
    layout->addLayout(bottom);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    m_tool.SetDataObserver([this] { Refresh(); });
    m_tool.Initialise();
    m_readBack->setChecked(m_tool.GetSettings().readBackAfterWrite);
}

QWidget* CalbrinDialog::BuildIdentity() {
    auto* area = new QWidget(this);
    auto* row = new QHBoxLayout(area);
    row->setContentsMargins(0, 0, 0, 0);
    auto addBox = [&](const char* caption, const char* name, int minWidth) {
        auto* box = new QLineEdit(area);
        box->setMinimumWidth(minWidth);
        box->setObjectName(QString::fromLatin1(name));
        box->setReadOnly(true);
        auto* label = new QLabel(QString::fromLatin1(caption), area);
        label->setBuddy(box);
        row->addWidget(label);
        row->addWidget(box, minWidth);
        return box;
    };
    m_modelName = addBox("Model Name :", "modelName", 230);
    m_serialNumber = addBox("Serial Number :", "serialNumber", 130);
    return area;
}

QLineEdit* CalbrinDialog::NewValueBox(QWidget* parent, Column column, int row) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(CellName(column, row));
    box->setReadOnly(true);
    box->setAlignment(Qt::AlignCenter);
    box->setFixedWidth(kValueBoxWidth);
    box->setFocusPolicy(Qt::NoFocus);
    m_cells[static_cast<int>(column)][row - 1] = box;
    return box;
}

QGroupBox* CalbrinDialog::BuildGainGroup() {
    auto* group = new QGroupBox(QStringLiteral("GainData"), this);
    auto* grid = new QGridLayout(group);
    for (std::size_t i = 0; i < kGainColumns.size(); ++i) {
        auto* heading = new QLabel(QString::fromLatin1(kGainColumns[i].second), group);
        heading->setAlignment(Qt::AlignCenter);
        heading->setObjectName(QStringLiteral("heading_") + heading->text());
        grid->addWidget(heading, 0, static_cast<int>(i) + 1);
        if (kGainColumns[i].first == Column::Val) m_valHeading = heading;
        if (kGainColumns[i].first == Column::Yellow) m_yellowHeading = heading;
    }
    for (int row = 1; row <= kRows; ++row) {
        auto* caption = new QLabel(group);
        caption->setObjectName(QStringLiteral("rowCaption%1").arg(row));
        caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_rowCaptions[row - 1] = caption;
        grid->addWidget(caption, row, 0);
        for (std::size_t i = 0; i < kGainColumns.size(); ++i)
            grid->addWidget(NewValueBox(group, kGainColumns[i].first, row), row, static_cast<int>(i) + 1);
    }
    // Spare width goes to the right of the boxes, not between the row captions
    // and them; spare height (the group is as tall as "Control", and a mode may
    // hide rows) goes below the last row, so the headings stay on their rows.
    grid->setColumnStretch(static_cast<int>(kGainColumns.size()) + 1, 1);
    grid->setRowStretch(kRows + 1, 1);
    return group;
}

QGroupBox* CalbrinDialog::BuildLevelGroup() {
    m_levelGroup = new QGroupBox(QStringLiteral("Level"), this);
    m_levelGroup->setObjectName(QStringLiteral("levelGroup"));
    auto* grid = new QGridLayout(m_levelGroup);
    for (int row = 1; row <= kRows; ++row) {
        auto* caption = new QLabel(QStringLiteral("L%1").arg(row), m_levelGroup);
        caption->setObjectName(QStringLiteral("levelCaption%1").arg(row));
        caption->setAlignment(Qt::AlignCenter);
        m_levelCaptions[row - 1] = caption;
        grid->addWidget(caption, 0, row - 1);
        grid->addWidget(NewValueBox(m_levelGroup, Column::Level, row), 1, row - 1);
    }
    return m_levelGroup;
}

QPushButton* CalbrinDialog::AddButton(QWidget* parent, const char* caption, const char* name,
                                      void (CalbrinDialog::*slot)()) {
    auto* button = new QPushButton(QString::fromLatin1(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, slot);
    parent->layout()->addWidget(button);
    return button;
}

QGroupBox* CalbrinDialog::BuildControlGroup() {
    auto* group = new QGroupBox(QStringLiteral("Control"), this);
    auto* column = new QVBoxLayout(group);
    AddButton(group, "&Connection Setting ...", "connectionSetting", &CalbrinDialog::OnConnectionSetting);
    AddButton(group, "&Read && Save ...", "readSave", &CalbrinDialog::OnReadSave);
    AddButton(group, "&Load File ...", "loadFile", &CalbrinDialog::OnLoadFile);
    column->addSpacing(12);
    AddButton(group, "&Write", "write", &CalbrinDialog::OnWrite);
    AddButton(group, "Re&set", "reset", &CalbrinDialog::OnReset);
    column->addSpacing(12);
    m_readBack = new QCheckBox(QStringLiteral("Read &back after writing"), group);
    m_readBack->setObjectName(QStringLiteral("readBack"));
    column->addWidget(m_readBack);
    column->addStretch();
    return group;
}

void CalbrinDialog::Show(const DialogView& view) {
    m_modelName->setText(Q(view.modelName));
    m_serialNumber->setText(Q(view.serialNumber));
    for (Column c : kAllColumns) {
        for (int row = 1; row <= kRows; ++row) {
            QLineEdit* box = m_cells[static_cast<int>(c)][row - 1];
            box->setText(Q(view.cells[static_cast<int>(c)][row - 1]));
            Apply(box, view.layout.Cell(c, row));
        }
    }
    for (int i = 0; i < kRows; ++i) {
        m_rowCaptions[i]->setText(Q(view.layout.rowCaptions[i]));
        Apply(m_rowCaptions[i], view.layout.rowCaptionStates[i]);
        Apply(m_levelCaptions[i], view.layout.levelCaptionStates[i]);
    }
    Apply(m_levelGroup, view.layout.levelGroup);
    Apply(m_valHeading, view.layout.valHeading);
    Apply(m_yellowHeading, view.layout.yellowHeading);
}

bool CalbrinDialog::ReadBackChecked() const { return m_readBack->isChecked(); }

void CalbrinDialog::Refresh() { Show(ViewOf(m_tool)); }

void CalbrinDialog::OnConnectionSetting() { m_tool.ConnectionSetting(this); }

void CalbrinDialog::OnReadSave() { m_tool.ReadAndSave(); }

void CalbrinDialog::OnLoadFile() { m_tool.LoadFile(); }

void CalbrinDialog::OnWrite() { m_tool.Write(ReadBackChecked()); }

void CalbrinDialog::OnReset() { m_tool.Reset(); }

}  // namespace calbrin
