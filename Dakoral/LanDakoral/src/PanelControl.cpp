#include "PanelControl.h"

#include <cstring>

#include "Log.h"

namespace lan {

CPanelControl::~CPanelControl() {
    // Normally released by the close; this covers handles left open at unload.
    m_link.reset();
}

void CPanelControl::SetParams(const std::string& host, int port, int id, bool flagA, bool flagB, int retry,
                              bool flagC, int timeoutSec, const char* account, const char* password,
                              const int* cancelFlag) {
    m_host = host;
    m_port = port;
    m_flagA = flagA ? 1 : 0;
    m_flagB = flagB ? 1 : 0;
    m_flagC = flagC ? 1 : 0;
    m_id = flagB ? 0 : id;
    m_retry = retry;
    m_timeout = timeoutSec;
    if (m_timeout == 0 || m_retry == 0) {
        const LanSettings s = ReadLanSettings(ConfigDir());
        if (m_timeout == 0) m_timeout = s.timeout;
        if (m_retry == 0) m_retry = s.retry;
    }
    // The time-out is multiplied into a deadline: keep it within one day.
    m_timeout = ClampSetting(m_timeout);
    m_account = account ? account : "";
    m_password = password ? password : "";
    m_cancelFlag = cancelFlag;
}

int CPanelControl::Lock() {
    if (m_link) return 0;
    auto link = std::make_unique<CLanLink>(ReadLanSettings(ConfigDir()));
    link->SetCancelFlag(m_cancelFlag);
    if (!link->LockHost(m_host)) return 0;
    m_link = std::move(link);
    return 1;
}

int CPanelControl::Release() {
    if (m_link) {
        m_link->UnlockHost();
        m_link.reset();
    }
    return 1;
}

int CPanelControl::Connect() {
    if (m_connected) return 1;
    if (!m_link) return 0;
    m_link->SetTarget(m_host, m_port, m_flagC != 0, m_timeout);
    const int opened = m_link->OpenSocket();
    if (m_link->CancelRequested()) {
        m_link->CloseSocket();
        return -5;
    }
    if (opened != 1) return 0;
    Logf(kTrace, "%s%s Connected. (Port=%d, ID=%d, Retry=%d, Timeout=%d, flag=%d,%d,%d).", "", m_host.c_str(),
         m_link->Port(), m_id, m_retry, m_timeout, m_flagA, m_flagB, m_flagC);
    const int login = m_link->Login(m_account, m_password);
    m_connected = 1;
    if (login != 1) {
        Disconnect();
        return login;
    }
    return 1;
}

int CPanelControl::Disconnect() {
    if (!m_connected) return 1;
    if (m_link) {
        if (m_link->LoginMode() == 0) m_link->Logout();
        m_link->SetLoggedIn(false);
        m_link->CloseSocket();
        Log(kTrace, "Disconnect //////////");
    }
    m_connected = 0;
    return 1;
}

void CPanelControl::DropConnection() {
    if (!m_connected) return;
    if (m_link) {
        m_link->SetLoggedIn(false);
        m_link->CloseSocket();
        Log(kTrace, "Disconnect //////////");
    }
    m_connected = 0;
}

void CPanelControl::CheckConnection() {
    if (m_connected && m_link && !m_link->DiscardPending()) DropConnection();
}

int CPanelControl::Exchange(const std::uint8_t* command, const std::uint8_t* params, std::uint8_t* reply,
                            int paramLen, int* replyLen) {
    std::vector<std::uint8_t> frame;
    if (!command || !replyLen || paramLen < 0 ||
        !dakoral::BuildRequest(*command, params, static_cast<std::size_t>(paramLen), frame)) {
        Log(kError, "Failed to send command.");
        return 1;
    }
    dakoral::ReplyParser parser;
    for (int attempt = 0; m_link && attempt < m_retry; ++attempt) {
        if (!m_connected) {
            // The attempt before timed out: this one runs on a new connection.
            const int connected = Connect();
            if (connected == -5) {
                Log(kTrace, "User's cancel.");
                return 1;
            }
            if (connected != 1) break;
        }
        switch (m_link->Transaction(*command, frame, parser)) {
            case CLanLink::TxResult::kOk:
                if (reply && parser.Stored() > 0)
                    std::memcpy(reply, parser.Data(), static_cast<std::size_t>(parser.Stored()));
                *replyLen = parser.Stored();
                return 0;
            case CLanLink::TxResult::kRefused:
                continue;
            case CLanLink::TxResult::kTimedOut:
                // Its reply may still come and would be read as the next request's:
                // the connection is not used again.
                DropConnection();
                continue;
            case CLanLink::TxResult::kCancelled:
                DropConnection();
                return 1;
            case CLanLink::TxResult::kLost:
                // The display hung up in the middle of the exchange; the next command connects again.
                DropConnection();
                Log(kError, "Retry Over!");
                return 1;
        }
    }
    Log(kError, "Retry Over!");
    return 1;
}

}  // namespace lan
