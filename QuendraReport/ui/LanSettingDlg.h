#pragma once
// "LAN Settings": the display's IP address (four fields of 0..255), its data
// port (digits only, 1..65535), the user name and the password (hidden).
// OK refuses an empty port, 0 or a port above 65535 with a message and
// stays open. GUI thread only.

#include <QDialog>
#include <array>
#include <cstdint>
#include <string>

class QLineEdit;

namespace qui {

struct stLanSettings {
    std::uint32_t dwIp = 0;  // first octet in bits 31..24
    int nPort = 10008;
    std::string strUser;  // CP932 bytes, as sent to the display
    std::string strPassword;
};

// An IPv4 address control: four fields of at most three digits (0..255);
// typing "." or a third digit moves on to the next field.
class IpAddressEdit final : public QWidget {
public:
    explicit IpAddressEdit(QWidget* parent = nullptr);
    void SetAddress(std::uint32_t ip);
    std::uint32_t Address() const;
    QLineEdit* Field(int i) const { return m_fields.at(static_cast<std::size_t>(i)); }

private:
    bool eventFilter(QObject* watched, QEvent* event) override;
    std::array<QLineEdit*, 4> m_fields{};
};

class CLanSettingDlg final : public QDialog {
public:
    CLanSettingDlg(const stLanSettings& settings, QWidget* parent = nullptr);
    // The values taken by OK.
    const stLanSettings& GetSettings() const { return m_settings; }

    IpAddressEdit* IpEdit() const { return m_ip; }
    QLineEdit* PortEdit() const { return m_port; }
    QLineEdit* UserEdit() const { return m_user; }
    QLineEdit* PasswordEdit() const { return m_password; }

    void accept() override;

private:
    stLanSettings m_settings;
    IpAddressEdit* m_ip = nullptr;
    QLineEdit* m_port = nullptr;
    QLineEdit* m_user = nullptr;
    QLineEdit* m_password = nullptr;
};

// The message shown for a port that is empty, 0 or above 65535.
extern const char* const kMsgBadPort;

}  // namespace qui
