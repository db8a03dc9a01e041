#include "ControlBarDlg.h"

#include <common/strutil.h>
#include <qtsupport/DisplayText.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QTreeWidget>
#include <cstdio>

#include "LanSettingDlg.h"
#include "syslog/QuendraLog.h"

namespace qui {

namespace {

constexpr int kComPorts = 256;
constexpr int kBauds[] = {9600, 19200, 38400};
constexpr int kDisplayIds = 255;
constexpr int kInfoColumnWidth = 150;
constexpr int kInfoRows = 8;

// One ITEM/VALUE entry: the text before the first comma, and the text after
// it up to the next comma.
std::pair<std::string, std::string> SplitEntry(const std::string& entry) {
    const std::size_t comma = entry.find(',');
    if (comma == std::string::npos) return {entry, {}};
    const std::size_t next = entry.find(',', comma + 1);
    return {entry.substr(0, comma),
            entry.substr(comma + 1, next == std::string::npos ? std::string::npos : next - comma - 1)};
}

// The entries of the composed text, split at tabs by the log's item rule.
std::vector<std::pair<std::string, std::string>> InfoEntries(std::string text) {
    std::vector<std::pair<std::string, std::string>> rows;
    std::string item;
    while (CQuendraLog::GetItem(item, text, '\t')) rows.push_back(SplitEntry(item));
    return rows;
}

}  // namespace

CControlBarDlg::CControlBarDlg(const stControlBarSetup& setup, CIniManaged& settings, QWidget* parent)
    : QWidget(parent), m_features(setup.features), m_ini(settings) {
    setObjectName(QStringLiteral("controlBar"));

    auto* interfaceLabel = new QLabel(QStringLiteral("&Interface"), this);
    m_interface = new QComboBox(this);
    m_interface->setObjectName(QStringLiteral("interfaceBox"));
    m_interface->setMaxVisibleItems(16);
    m_interface->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_interface->setMinimumContentsLength(12);
    interfaceLabel->setBuddy(m_interface);
    m_lanSettings = new QPushButton(QStringLiteral("LAN &Settings"), this);
    m_lanSettings->setObjectName(QStringLiteral("lanSettings"));
    m_lanSettings->setAutoDefault(false);
    m_baud = new QComboBox(this);
    m_baud->setObjectName(QStringLiteral("baudBox"));
    m_displayIdLabel = new QLabel(QStringLiteral("Display ID"), this);
    m_displayId = new QComboBox(this);
    m_displayId->setObjectName(QStringLiteral("displayIdBox"));
    m_displayId->setMaxVisibleItems(16);
    m_displayIdLabel->setBuddy(m_displayId);

    m_getLogs = CommandButton("Get &Logs", "getLogs", kCmdGetLogs);
    m_createReport = CommandButton("&Create Report", "createReport", kCmdCreateReport);
    m_getAll = CommandButton("Get &All Reports", "getAll", kCmdGetAll);
    m_writeNvram = CommandButton("Write Nvram", "writeNvram", kCmdWriteNvram);
    m_getAll->setDefault(true);

    m_info = new QTreeWidget(this);
    m_info->setObjectName(QStringLiteral("infoList"));
    m_info->setColumnCount(2);
    m_info->setHeaderLabels({QStringLiteral("ITEM"), QStringLiteral("VALUE")});
    m_info->setRootIsDecorated(false);
    m_info->setUniformRowHeights(true);
    m_info->header()->setStretchLastSection(false);
    m_info->header()->resizeSection(0, kInfoColumnWidth);
    m_info->header()->resizeSection(1, kInfoColumnWidth);
    m_info->setContextMenuPolicy(Qt::CustomContextMenu);
    m_info->setMinimumWidth(2 * kInfoColumnWidth + 24);
    // Room for the header and eight entries (a log's identity); more scroll.
    m_info->setFixedHeight(m_info->header()->sizeHint().height() + kInfoRows * (fontMetrics().height() + 2) +
                           2 * m_info->frameWidth() + 4);
    connect(m_info, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu menu(this);
        QAction* copy = menu.addAction(QStringLiteral("&Copy"));
        if (menu.exec(m_info->viewport()->mapToGlobal(at)) == copy) CopyToClipboard();
    });
    // Ctrl+C copies the list from anywhere in the window; text boxes that have
    // a selection keep their own copy (they take the key first).
    auto* copyKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_C), this);
    copyKey->setContext(Qt::WindowShortcut);
    connect(copyKey, &QShortcut::activated, this, [this] { CopyToClipboard(); });

    auto* grid = new QGridLayout(this);
    grid->addWidget(interfaceLabel, 0, 0);
    grid->addWidget(m_interface, 0, 1);
    grid->addWidget(m_baud, 1, 1);
    grid->addWidget(m_lanSettings, 1, 1);
    grid->addWidget(m_displayIdLabel, 2, 0);
    grid->addWidget(m_displayId, 2, 1);
    grid->addWidget(m_getLogs, 0, 3);
    grid->addWidget(m_createReport, 1, 3);
    grid->addWidget(m_getAll, 0, 4);
    grid->addWidget(m_writeNvram, 1, 4);
    grid->addWidget(m_info, 0, 6, 4, 1);
    grid->setColumnMinimumWidth(2, 12);
    grid->setColumnMinimumWidth(5, 12);
    grid->setColumnStretch(6, 1);
    grid->setRowStretch(3, 1);

    // Interface box: COM ports and adapters with the serial line, "LAN" first with the LAN.
    FillInterfaceBox(setup.serialAdapters);
    if (m_features.m_bLan) {
        m_interface->insertItem(0, QStringLiteral("LAN"));
        m_lanSettings->setEnabled(false);
    } else {
        m_lanSettings->hide();
    }
    m_writeNvram->setVisible(m_ini.m_nWriteNvram != 0);
    if (m_features.m_bRs232) {
        int index = m_interface->findText(QString::fromStdString(m_ini.m_strPort), Qt::MatchExactly);
        if (index < 0) index = m_interface->findText(QStringLiteral("COM1"), Qt::MatchExactly);
        m_interface->setCurrentIndex(index);
    } else if (m_features.m_bLan) {
        m_interface->setCurrentIndex(0);
    } else {
        m_interface->setEnabled(false);
        m_getLogs->setEnabled(false);
        m_getAll->setEnabled(false);
    }

    if (m_features.m_bRs232) {
        for (int baud : kBauds) m_baud->addItem(QString::fromStdString(cmn::StrPrintf("%d bps", baud)), baud);
        const int index = m_features.m_nBaudIndex;
        m_baud->setCurrentIndex(index >= 0 && index < 3 ? index : 0);
    } else {
        m_baud->setEnabled(false);
    }

    m_displayId->addItem(QStringLiteral("Non"));
    for (int id = 1; id <= kDisplayIds; ++id) m_displayId->addItem(QString::number(id));
    m_displayId->setCurrentIndex(0);

    ApplyInterfaceRule();
    connect(m_interface, &QComboBox::currentIndexChanged, this, [this] { ApplyInterfaceRule(); });
    connect(m_lanSettings, &QPushButton::clicked, this, [this] { OnLanSettings(); });

    if (!m_features.m_bMulti) {
        m_displayIdLabel->setEnabled(false);
        m_displayId->setEnabled(false);
    }
    m_createReport->setEnabled(false);
    m_dwIp = m_ini.m_dwIp;
    m_nLanPort = m_ini.m_nLanPort;
}

QPushButton* CControlBarDlg::CommandButton(const char* text, const char* name, int id) {
    auto* button = new QPushButton(QString::fromLatin1(text), this);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, [this, id] {
        if (m_onCommand) m_onCommand(id);
    });
    return button;
}

void CControlBarDlg::FillInterfaceBox(const std::vector<std::string>& adapters) {
    if (!m_features.m_bRs232) return;
    QStringList names;
    names.reserve(kComPorts + static_cast<int>(adapters.size()));
    for (int n = 1; n <= kComPorts; ++n) names << QStringLiteral("COM%1").arg(n);
    for (const std::string& path : adapters) names << QString::fromStdString(path);
    m_interface->addItems(names);
}

bool CControlBarDlg::LanSelected() const {
    return m_features.m_bLan && m_interface->currentIndex() == 0;
}

void CControlBarDlg::ApplyInterfaceRule() {
    if (LanSelected()) {
        m_lanSettings->show();
        m_lanSettings->setEnabled(true);
        m_baud->hide();
    } else {
        m_lanSettings->hide();
        m_lanSettings->setEnabled(false);
        m_baud->setVisible(m_features.m_bBaudRate);
    }
}

stLinkChoice CControlBarDlg::GetLinkChoice() const {
    stLinkChoice choice;
    choice.nDisplayId = GetDisplayId();
    if (LanSelected()) {
        choice.bLan = true;
        choice.dwIp = m_dwIp;
        choice.nLanPort = m_nLanPort;
        choice.strUser = m_strUser;
        choice.strPassword = m_strPassword;
        return choice;
    }
    if (m_features.m_bBaudRate && m_baud->currentIndex() >= 0) choice.nBaud = m_baud->currentData().toInt();
    choice.strPort = m_interface->currentText().toStdString();
    return choice;
}

int CControlBarDlg::GetDisplayId() const {
    return m_displayId->currentIndex() > 0 ? m_displayId->currentIndex() : 0;
}

void CControlBarDlg::OnLanSettings() {
    CLanSettingDlg dialog({m_dwIp, m_nLanPort, m_strUser, m_strPassword}, window());
    if (dialog.exec() != QDialog::Accepted) return;
    const stLanSettings& s = dialog.GetSettings();
    TakeLanSettings(s.dwIp, s.nPort, s.strUser, s.strPassword);
}

void CControlBarDlg::TakeLanSettings(std::uint32_t ip, int port, const std::string& user,
                                     const std::string& password) {
    m_dwIp = ip;
    m_nLanPort = port;
    m_strUser = user;
    m_strPassword = password;
    SaveSetting();
}

bool CControlBarDlg::SaveSetting() {
    m_ini.m_strPort = m_interface->currentText().toStdString();
    m_ini.m_dwIp = m_dwIp;
    m_ini.m_nLanPort = m_nLanPort;
    if (m_ini.SaveIniFile()) return true;
    // No box: this runs while the window closes. The reason names the file or folder.
    std::fprintf(stderr, "QuendraReport: settings not saved: %s\n", m_ini.m_strSaveError.c_str());
    return false;
}

void CControlBarDlg::SetLogInfo(bool present, const std::string& model, const std::string& serial,
                                const std::string& info, int /*fileVersion: kept by the log only*/) {
    m_strComposed =
        present ? "Model Name," + model + "\tSerial Number," + serial + "\t" + info : std::string();
    m_rows = InfoEntries(m_strComposed);
    FillInfoList();
}

void CControlBarDlg::FillInfoList() {
    m_info->clear();
    QList<QTreeWidgetItem*> items;
    for (const auto& [name, value] : m_rows) {
        items << new QTreeWidgetItem(QStringList{qtsupport::FromCp932(name), qtsupport::FromCp932(value)});
    }
    m_info->addTopLevelItems(items);
}

void CControlBarDlg::EnableCreateReport(bool enable) {
    m_createReport->setEnabled(enable);
}

std::string CControlBarDlg::CopyText() const {
    std::string text;
    for (const auto& [name, value] : m_rows) text += name + "\t" + value + "\n";
    return text;
}

void CControlBarDlg::CopyToClipboard() const {
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->setText(qtsupport::FromCp932(CopyText()));
}

}  // namespace qui
