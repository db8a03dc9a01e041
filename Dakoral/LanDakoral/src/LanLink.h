#pragma once
// The TCP link behind one handle: host lock, connection, login dialogue,
// framed transactions and logout.

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Frame.h"
#include "Settings.h"
#include "common/namedlock.h"

namespace lan {

class CLanLink {
public:
    using Clock = std::chrono::steady_clock;
    enum class TxResult { kOk, kFailed, kCancelled, kLost };

    explicit CLanLink(const LanSettings& settings);
    ~CLanLink();
    CLanLink(const CLanLink&) = delete;
    CLanLink& operator=(const CLanLink&) = delete;

    void SetCancelFlag(int* flag) { m_cancelFlag = flag; }
    bool CancelRequested() const;

    // Takes "QNC Lan Controller Lock " + host: one try, then waits in steps of
    // 1 s up to the open time-out while the cancel flag stays clear. Logs failures.
    bool LockHost(const std::string& host);
    void UnlockHost();

    // host and time-out are taken as given; a port of 0 keeps the current one.
    void SetTarget(const std::string& host, int port, bool flagC, int timeoutSec);
    // Resolves the host and connects (bounded by about 20 s, watching the cancel
    // flag). 1 connected; 0 failed, with the socket closed.
    int OpenSocket();
    // Login dialogue (mode non-zero) or immediate login (mode 0).
    // 1 logged in; -1 no password prompt; -7 refused; -8 not a login prompt; -9 other failure.
    int Login(const std::string& account, const std::string& password);
    // Discards bytes already waiting. False when the display closed the
    // connection or it failed (the socket is then closed).
    bool DiscardPending();
    // Sends one request frame and reads its reply into `parser`. kLost means the
    // connection is gone (the socket is then closed).
    TxResult Transaction(std::uint8_t command, const std::vector<std::uint8_t>& frame, ReplyParser& parser);
    // In login mode 0 with a login: sends the logout byte and waits briefly for the answer.
    void Logout();
    void CloseSocket();

    bool IsOpen() const { return m_socket >= 0; }
    int LoginMode() const { return m_loginMode; }
    bool LoggedIn() const { return m_loggedIn; }
    void SetLoggedIn(bool on) { m_loggedIn = on; }
    int Port() const { return m_port; }
    bool Cancelled() const { return m_cancelled; }

private:
    enum class Period { kText, kSilence, kClosed };
    bool SendAll(const std::uint8_t* p, std::size_t n, Clock::time_point deadline, std::size_t& sent, int& err);
    Period ReceiveText(std::string& text);
    Period WaitText(int periods, std::string& text);
    int SendLoginText(const std::string& text);

    std::string m_host;
    int m_port = kDefaultPort;
    int m_socket = -1;
    int m_timeout = 10;
    bool m_flagC = false;
    int m_openTimeout;
    int m_loginTimeout;
    int m_logoutTimeout;
    int m_loginMode;
    bool m_loggedIn = false;
    bool m_cancelled = false;
    int* m_cancelFlag = nullptr;
    std::unique_ptr<cmn::NamedLock> m_lock;
};

}  // namespace lan
