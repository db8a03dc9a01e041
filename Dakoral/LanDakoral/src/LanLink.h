#pragma once
// The TCP link behind one handle: host lock, connection, login dialogue,
// framed transactions and logout. Used by one thread at a time (its handle's
// call mutex); the caller's cancel flag may be set from any thread.

#include <dakoral/Frame.h>
#include <linkio/Channel.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "LanProtocol.h"
#include "Settings.h"
#include "common/namedlock.h"

namespace lan {

class CLanLink {
public:
    // kOk: a complete reply. kRefused: the display refused (status 0xFE); the
    // connection stays usable. kTimedOut: no valid reply in time, or the request
    // could not be sent in time. kCancelled: the caller's cancel flag stopped it.
    // kLost: the connection failed or the display closed it. After kTimedOut
    // and kCancelled a late reply may still arrive: the connection must not be
    // used again.
    enum class TxResult { kOk, kRefused, kTimedOut, kCancelled, kLost };

    explicit CLanLink(const LanSettings& settings);
    ~CLanLink();
    CLanLink(const CLanLink&) = delete;
    CLanLink& operator=(const CLanLink&) = delete;

    void SetCancelFlag(const int* flag) { m_cancelFlag = flag; }
    bool CancelRequested() const;

    // Looks the host up and takes "QNC Lan Controller Lock " + the address it
    // was found at (+ the host as given when it was not found): one try, then
    // waits in steps of 1 s up to the open time-out while the cancel flag
    // stays clear. Logs failures. The connection to this host later uses that
    // address without a second look-up.
    bool LockHost(const std::string& host);
    void UnlockHost();

    // host and time-out are taken as given; a port of 0 keeps the current one.
    void SetTarget(const std::string& host, int port, bool flagC, int timeoutSec);
    // Connects to the address LockHost found for the host (any other host is
    // looked up now), bounded by about 20 s and watching the cancel flag.
    // 1 connected; 0 failed, with the socket closed.
    int OpenSocket();
    // Login dialogue (mode non-zero) or immediate login (mode 0).
    // 1 logged in; -1 no password prompt; -7 refused; -8 not a login prompt; -9 other failure.
    int Login(const std::string& account, const std::string& password);
    // Discards bytes already waiting. False when the display closed the
    // connection or it failed (the socket is then closed).
    bool DiscardPending();
    // Sends one request frame and reads its reply into `parser` (bytes before
    // the reply, like the checksum after a refusal, are skipped by it). The
    // reply time starts once the request is logged. kLost closes the socket.
    TxResult Transaction(std::uint8_t command, const std::vector<std::uint8_t>& frame,
                         dakoral::ReplyParser& parser);
    // In login mode 0 with a login: sends the logout byte and waits briefly for the answer.
    void Logout();
    void CloseSocket();

    bool IsOpen() const { return m_channel != nullptr; }
    int LoginMode() const { return m_loginMode; }
    bool LoggedIn() const { return m_loggedIn; }
    void SetLoggedIn(bool on) { m_loggedIn = on; }
    int Port() const { return m_port; }
    bool Cancelled() const { return m_cancelled; }

private:
    enum class Period { kText, kSilence, kClosed };
    Period ReceiveText(std::string& text);
    Period WaitText(int periods, std::string& text);
    int SendLoginText(const std::string& text);
    // Writes bytes already logged; kLost closes the socket. `err` receives the
    // failure's error number (0 on success).
    TxResult Send(const std::uint8_t* p, std::size_t n, const linkio::Deadline& deadline, const int* cancel,
                  int& err);

    std::string m_host;
    int m_port = kDefaultPort;
    std::unique_ptr<linkio::Channel> m_channel;
    int m_timeout = 10;
    bool m_flagC = false;
    int m_openTimeout;
    int m_loginTimeout;
    int m_logoutTimeout;
    int m_loginMode;
    bool m_loggedIn = false;
    bool m_cancelled = false;
    const int* m_cancelFlag = nullptr;
    std::unique_ptr<cmn::NamedLock> m_lock;
    struct Lookup {
        std::string host;  // as LockHost got it
        bool found = false;
        in_addr address{};
        int code = 0;  // the look-up's error code when not found
    } m_lookup;
};

}  // namespace lan
