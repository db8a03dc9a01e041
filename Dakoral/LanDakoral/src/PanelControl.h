#pragma once
// One handle of the library: the parameters of an open, its link and the
// connection state.

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "LanLink.h"

namespace lan {

class CPanelControl {
public:
    CPanelControl() = default;
    virtual ~CPanelControl();
    CPanelControl(const CPanelControl&) = delete;
    CPanelControl& operator=(const CPanelControl&) = delete;

    // Stores the open's values. Flag B forces the ID to 0; a time-out or retry
    // count of 0 takes the settings file's Timeout / Retry. Null texts are empty.
    virtual void SetParams(const std::string& host, int port, int id, bool flagA, bool flagB, int retry,
                           bool flagC, int timeoutSec, const char* account, const char* password,
                           const int* cancelFlag);
    // Creates the link and takes the host lock: 1 or 0.
    virtual int Lock();
    // Releases the host lock and the link: 1.
    virtual int Release();
    // 1 connected; 0 TCP failure; -5 cancelled; -1 login time-out; -7 refused;
    // -8 access denied; -9 other login failure. The socket is closed on every
    // path that does not end connected.
    virtual int Connect();
    // Logs out (login mode 0) and closes the connection: 1.
    virtual int Disconnect();
    // One request with retries: 0 reply received, 1 failure. An attempt that
    // timed out or was cancelled closes the connection (its reply may still
    // come); the next attempt connects and logs in again.
    virtual int Exchange(const std::uint8_t* command, const std::uint8_t* params, std::uint8_t* reply,
                         int paramLen, int* replyLen);

    // Notices a connection the display has closed while idle and drops it, so
    // that the next Connect makes a new one.
    void CheckConnection();

    // Held for the whole of every call on the handle, so a close waits for a
    // command in progress on another thread. The handle's other functions are
    // called with it held.
    std::mutex& CallMutex() { return m_callMutex; }
    const std::string& Host() const { return m_host; }
    int Port() const { return m_port; }
    bool IsConnected() const { return m_connected != 0; }
    int RetryCount() const { return m_retry; }
    int TimeoutSec() const { return m_timeout; }
    int DisplayId() const { return m_id; }

private:
    void DropConnection();

    std::unique_ptr<CLanLink> m_link;
    std::string m_host;
    int m_port = kDefaultPort;
    int m_connected = 0;
    int m_id = 0;
    int m_retry = 0;
    int m_timeout = 0;
    int m_flagA = 1;
    int m_flagB = 0;
    int m_flagC = 0;
    const int* m_cancelFlag = nullptr;
    std::string m_account;
    std::string m_password;
    std::mutex m_callMutex;
};

}  // namespace lan
