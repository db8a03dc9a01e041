#pragma once
// The control bar across the top of the main window: interface box ("LAN"
// first when the model offers it, "COM1" ... "COM256" and this machine's
// serial adapters when it offers the serial line), "LAN &Settings" in the
// baud box's place, baud box, Display ID box, the command buttons, and the
// ITEM/VALUE list of the current log with "&Copy" (context menu, Ctrl+C).
// It takes its choices from the settings of "QuendraReport.ini" (loaded by
// its owner) and writes them when the LAN settings are confirmed and when
// SaveSetting is called (the window does on close). Buttons hand their
// command id to the window's handler.
// GUI thread only.

#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "CommandIds.h"
#include "app/IniManaged.h"
#include "app/ModelIni.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTreeWidget;

namespace qui {

// What the bar is made from.
struct stControlBarSetup {
    stModelFeatures features;
    std::vector<std::string> serialAdapters;  // device paths listed after COM256
};

// The user's choice of link for one command, read before a worker starts.
struct stLinkChoice {
    bool bLan = false;        // "LAN" selected (the model offers it)
    std::uint32_t dwIp = 0;   // LAN: address, first octet in bits 31..24
    int nLanPort = 10008;     // LAN: data port
    std::string strUser;      // LAN: user name (CP932 bytes)
    std::string strPassword;  // LAN: password
    std::string strPort;      // serial: the interface box text ("COM3" or a device path)
    int nBaud = 9600;         // serial: the selected rate with baud selection, else 9600
    int nDisplayId = 0;       // 0: "Non", else 1..255
};

class CControlBarDlg final : public QWidget {
public:
    // `settings` (loaded) must outlive the bar.
    CControlBarDlg(const stControlBarSetup& setup, CIniManaged& settings, QWidget* parent = nullptr);

    void SetCommandHandler(std::function<void(int id)> handler) { m_onCommand = std::move(handler); }

    stLinkChoice GetLinkChoice() const;
    int GetDisplayId() const;
    // The log's identity for the ITEM/VALUE list (bytes as decoded); an
    // absent log empties the list.
    void SetLogInfo(bool present, const std::string& model, const std::string& serial,
                    const std::string& info, int fileVersion);
    void EnableCreateReport(bool enable);
    // PORT = the interface box text, IP and LANPORT = the bar's values. False
    // when the settings file cannot be written (the reason goes to standard error).
    bool SaveSetting();

    // The rows of the ITEM/VALUE list and the text "&Copy" puts on the clipboard.
    const std::vector<std::pair<std::string, std::string>>& InfoRows() const { return m_rows; }
    std::string CopyText() const;
    void CopyToClipboard() const;

    // The controls, for the window and its tests.
    QComboBox* InterfaceBox() const { return m_interface; }
    QComboBox* BaudBox() const { return m_baud; }
    QComboBox* DisplayIdBox() const { return m_displayId; }
    QLabel* DisplayIdLabel() const { return m_displayIdLabel; }
    QPushButton* LanSettingsButton() const { return m_lanSettings; }
    QPushButton* GetLogsButton() const { return m_getLogs; }
    QPushButton* CreateReportButton() const { return m_createReport; }
    QPushButton* GetAllButton() const { return m_getAll; }
    QPushButton* WriteNvramButton() const { return m_writeNvram; }
    QTreeWidget* InfoList() const { return m_info; }

    // The LAN settings dialog's work after OK: take the values, save the settings.
    void TakeLanSettings(std::uint32_t ip, int port, const std::string& user, const std::string& password);

private:
    void FillInterfaceBox(const std::vector<std::string>& adapters);
    void ApplyInterfaceRule();
    void OnLanSettings();
    void FillInfoList();
    QPushButton* CommandButton(const char* text, const char* name, int id);
    bool LanSelected() const;

    stModelFeatures m_features;
    CIniManaged& m_ini;
    std::uint32_t m_dwIp = 0xC0A89602u;  // 192.168.150.2 until the settings are read
    int m_nLanPort = 10008;
    std::string m_strUser, m_strPassword;
    std::string m_strComposed;  // "Model Name,...\tSerial Number,...\t" + information
    std::vector<std::pair<std::string, std::string>> m_rows;
    std::function<void(int)> m_onCommand;

    QComboBox* m_interface = nullptr;
    QComboBox* m_baud = nullptr;
    QComboBox* m_displayId = nullptr;
    QLabel* m_displayIdLabel = nullptr;
    QPushButton* m_lanSettings = nullptr;
    QPushButton* m_getLogs = nullptr;
    QPushButton* m_createReport = nullptr;
    QPushButton* m_getAll = nullptr;
    QPushButton* m_writeNvram = nullptr;
    QTreeWidget* m_info = nullptr;
};

}  // namespace qui
