#include "LanLink.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>

#include "Log.h"

namespace lan {

namespace {

constexpr int kPeriodMs = 500;        // one receive period
constexpr int kConnectLimitMs = 20000;
constexpr int kConnectStepMs = 100;   // cancel flag checked this often while connecting
constexpr std::size_t kLoginReadMax = 255;
constexpr std::size_t kSendLogBytes = 20;
constexpr int kRecvLogData = 10;      // bytes are logged while fewer data bytes are stored
constexpr std::size_t kRecvLogMax = 1024;
constexpr std::size_t kDiscardMax = 1 << 20;  // stale bytes dropped before one request

int MsUntil(CLanLink::Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - CLanLink::Clock::now());
    return left.count() <= 0 ? 0 : static_cast<int>(std::min<long long>(left.count(), 1 << 30));
}

// Waits for `events` on fd; >0 ready, 0 time-out, <0 error.
int WaitFor(int fd, short events, int ms) {
    pollfd p{fd, events, 0};
    for (;;) {
        const int r = ::poll(&p, 1, ms);
        if (r < 0 && errno == EINTR) continue;
        return r;
    }
}

}  // namespace

CLanLink::CLanLink(const LanSettings& s)
    : m_openTimeout(s.openTimeout),
      m_loginTimeout(s.loginTimeout),
      m_logoutTimeout(s.logoutTimeout),
      m_loginMode(s.loginMode) {}

CLanLink::~CLanLink() {
    CloseSocket();
    UnlockHost();
}

bool CLanLink::CancelRequested() const {
    if (!m_cancelFlag) return false;
    return std::atomic_ref<int>(*m_cancelFlag).load(std::memory_order_relaxed) != 0;
}

bool CLanLink::LockHost(const std::string& host) {
    m_lock = std::make_unique<cmn::NamedLock>("QNC Lan Controller Lock " + host);
    if (m_lock->TryLock()) return true;
    int waited = 0;
    for (;;) {
        if (waited >= m_openTimeout) {
            Logf(kError, "%s 's LAN Port is locked", host.c_str());
            break;
        }
        if (CancelRequested()) {
            Logf(kError, "Opening %s 's LAN Port is canceled", host.c_str());
            break;
        }
        const auto r = m_lock->Lock(1000, [this] { return CancelRequested(); }, 50);
        if (r == cmn::NamedLock::Result::Acquired) return true;
        if (r == cmn::NamedLock::Result::Error) {
            Logf(kError, "%s 's LAN Port cannot be locked (%s)", host.c_str(), m_lock->FilePath().c_str());
            break;
        }
        if (r == cmn::NamedLock::Result::TimedOut) ++waited;
    }
    m_lock.reset();
    return false;
}

void CLanLink::UnlockHost() { m_lock.reset(); }

void CLanLink::SetTarget(const std::string& host, int port, bool flagC, int timeoutSec) {
    m_host = host;
    if (port != 0) m_port = port;
    m_flagC = flagC;
    m_timeout = timeoutSec;
}

void CLanLink::CloseSocket() {
    if (m_socket >= 0) ::close(m_socket);
    m_socket = -1;
}

int CLanLink::OpenSocket() {
    CloseSocket();
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        Logf(kError, "Cannot connect host \"%s\" Port=%d Err=%d", m_host.c_str(), m_port, errno);
        return 0;
    }
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(m_port));
    if (::inet_pton(AF_INET, m_host.c_str(), &addr.sin_addr) != 1) {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_protocol = IPPROTO_TCP;
        addrinfo* res = nullptr;
        const int rc = ::getaddrinfo(m_host.c_str(), nullptr, &hints, &res);
        if (rc != 0 || res == nullptr) {
            Logf(kError, "Failed to get host by name(%s). - 0x%X", m_host.c_str(), static_cast<unsigned>(rc));
            if (res) ::freeaddrinfo(res);
            ::close(fd);
            return 0;
        }
        addr.sin_addr = reinterpret_cast<const sockaddr_in*>(res->ai_addr)->sin_addr;
        ::freeaddrinfo(res);
        const auto* a = reinterpret_cast<const unsigned char*>(&addr.sin_addr);
        Logf(kTrace, "%s is %d.%d.%d.%d", m_host.c_str(), a[0], a[1], a[2], a[3]);
    }

    int err = 0;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        err = errno;
        if (err == EINPROGRESS || err == EINTR) {
            err = ETIMEDOUT;
            const auto deadline = Clock::now() + std::chrono::milliseconds(kConnectLimitMs);
            for (;;) {
                if (CancelRequested()) {
                    ::close(fd);
                    return 0;  // the caller sees the cancel flag
                }
                const int left = MsUntil(deadline);
                if (left == 0) break;
                const int r = WaitFor(fd, POLLOUT, std::min(left, kConnectStepMs));
                if (r < 0) {
                    err = errno;
                    break;
                }
                if (r > 0) {
                    socklen_t len = sizeof err;
                    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0) err = errno;
                    break;
                }
            }
        }
    }
    if (err != 0) {
        Logf(kError, "Cannot connect host \"%s\" Port=%d Err=%d", m_host.c_str(), m_port, err);
        ::close(fd);
        return 0;
    }
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    m_socket = fd;
    Logf(kTrace, "////////// Connect to %s", m_host.c_str());
    return 1;
}

bool CLanLink::SendAll(const std::uint8_t* p, std::size_t n, Clock::time_point deadline, std::size_t& sent,
                       int& err) {
    sent = 0;
    err = 0;
    while (sent < n) {
        const ssize_t s = ::send(m_socket, p + sent, n - sent, MSG_NOSIGNAL);
        if (s > 0) {
            sent += static_cast<std::size_t>(s);
            continue;
        }
        if (s < 0 && errno == EINTR) continue;
        if (s < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            const int left = MsUntil(deadline);
            if (left == 0) {
                err = ETIMEDOUT;
                return false;
            }
            if (WaitFor(m_socket, POLLOUT, std::min(left, kPeriodMs)) < 0) {
                err = errno;
                return false;
            }
            continue;
        }
        err = s < 0 ? errno : EPIPE;
        return false;
    }
    return true;
}

CLanLink::Period CLanLink::ReceiveText(std::string& text) {
    text.clear();
    const int r = WaitFor(m_socket, POLLIN, kPeriodMs);
    if (r == 0) return Period::kSilence;
    if (r < 0) return Period::kClosed;
    char buf[kLoginReadMax];
    const ssize_t n = ::recv(m_socket, buf, sizeof buf, 0);
    if (n == 0) return Period::kClosed;
    if (n < 0) return (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) ? Period::kSilence : Period::kClosed;
    text = CleanText(std::string_view(buf, static_cast<std::size_t>(n)));
    return text.empty() ? Period::kSilence : Period::kText;
}

CLanLink::Period CLanLink::WaitText(int periods, std::string& text) {
    for (int i = 0; i < periods; ++i) {
        const Period p = ReceiveText(text);
        if (p != Period::kSilence) return p;
    }
    text.clear();
    return Period::kSilence;
}

int CLanLink::SendLoginText(const std::string& text) {
    const std::string line = text + "\r\n";
    const auto* p = reinterpret_cast<const std::uint8_t*>(line.data());
    // Account and password never reach the log.
    Log(kTrace, "[Send] bin  = " + MaskedBytes(line.size(), kSendLogBytes));
    std::size_t sent = 0;
    int err = 0;
    const auto deadline = Clock::now() + std::chrono::seconds(std::max(m_timeout, 1));
    if (!SendAll(p, line.size(), deadline, sent, err)) {
        Logf(kError, "[Auth-Send] Send Error (Error code = %d", err);
        return -9;
    }
    return 1;
}

int CLanLink::Login(const std::string& account, const std::string& password) {
    if (m_loginMode == 0) {
        m_loggedIn = true;
        return 1;
    }
    const int periods = m_loginTimeout * 2;
    auto closed = [] {
        Log(kError, "[Auth] Connection closed by the display.");
        return -9;
    };
    std::string text;

    Period p = WaitText(periods, text);
    if (p == Period::kClosed) return closed();
    if (p == Period::kSilence) {
        if (!account.empty() || !password.empty()) {
            Log(kError, "[Auth] Account or Password is set, though Login message does not come.");
            return -7;
        }
        Log(kTrace, "[Auth] Logged in");
        m_loggedIn = true;
        return 1;
    }
    Log(kTrace, "[Auth-Recv] " + text);
    if (!StartsWithNoCase(PromptWord(text), "Login:")) {
        Log(kError, "[Auth] Access denied.");
        return -8;
    }

    Log(kTrace, "[Auth-Send] Account");
    if (SendLoginText(account) != 1) return -9;

    p = WaitText(periods, text);
    if (p == Period::kClosed) return closed();
    if (p == Period::kSilence) {
        Log(kError, "[Auth] Timeout to login...");
        return -1;
    }
    Log(kTrace, "[Auth-Recv] " + text);
    if (!StartsWithNoCase(PromptWord(text), "Password:")) {
        Log(kError, "[Auth] Invalid Reply - " + text);
        return -9;
    }

    Log(kTrace, "[Auth-Send] Password");
    if (SendLoginText(password) != 1) return -9;

    // Silence after the password means it was accepted.
    p = WaitText(periods, text);
    if (p == Period::kClosed) return closed();
    if (p == Period::kText) {
        Log(kTrace, "[Auth-Recv] " + text);
        if (StartsWithNoCase(PromptWord(text), "User")) {
            Log(kError, "[Auth] Login incorrect");
            return -7;
        }
        Log(kError, "[Auth] Invalid Reply - " + text);
        return -9;
    }
    Log(kTrace, "[Auth] Logged in");
    m_loggedIn = true;
    return 1;
}

bool CLanLink::DiscardPending() {
    if (m_socket < 0) return false;
    std::uint8_t buf[4096];
    // Bounded, so a display that never stops sending cannot hold the caller here;
    // whatever is left is skipped by the reply parser.
    for (std::size_t dropped = 0; dropped < kDiscardMax;) {
        const ssize_t n = ::recv(m_socket, buf, sizeof buf, MSG_DONTWAIT);
        if (n > 0) {
            dropped += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
        Logf(kError, "Connection closed by the display. Err=%d", n < 0 ? errno : 0);
        CloseSocket();
        return false;
    }
    return true;
}

CLanLink::TxResult CLanLink::Transaction(std::uint8_t command, const std::vector<std::uint8_t>& frame,
                                         ReplyParser& parser) {
    // A late reply to an earlier request must not be read as this one's.
    if (!DiscardPending()) return TxResult::kLost;

    const auto deadline = Clock::now() + std::chrono::seconds(m_timeout);
    Log(kTrace, "[Send] bin  = " + HexBytes(frame.data(), frame.size(), kSendLogBytes));
    std::size_t sent = 0;
    int err = 0;
    if (!SendAll(frame.data(), frame.size(), deadline, sent, err)) {
        Log(kError, "Failed to send command.");
        // A refused socket, or half a frame on the wire: the stream cannot be used again.
        if (err != ETIMEDOUT || sent > 0) {
            CloseSocket();
            return TxResult::kLost;
        }
        return TxResult::kFailed;
    }

    parser.Reset(command);
    m_cancelled = false;
    std::vector<std::uint8_t> seen;
    std::uint8_t buf[4096];
    for (;;) {
        const int left = MsUntil(deadline);
        if (left == 0) break;
        const int r = WaitFor(m_socket, POLLIN, std::min(left, kPeriodMs));
        if (r < 0) {
            Logf(kError, "Connection closed by the display. Err=%d", errno);
            CloseSocket();
            return TxResult::kLost;
        }
        if (r > 0) {
            const ssize_t n = ::recv(m_socket, buf, sizeof buf, 0);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
                Logf(kError, "Connection closed by the display. Err=%d", n < 0 ? errno : 0);
                CloseSocket();
                return TxResult::kLost;
            }
            for (ssize_t i = 0; i < n && !parser.Finished(); ++i) {
                if (parser.Stored() < kRecvLogData && seen.size() < kRecvLogMax) seen.push_back(buf[i]);
                parser.Feed(buf[i]);
            }
        }
        if (parser.Finished()) {
            Log(kTrace, "[Recv] bin  = " + HexBytes(seen.data(), seen.size(), seen.size()));
            break;
        }
        if (CancelRequested()) {
            m_cancelled = true;
            Log(kTrace, "User's cancel.");
            return TxResult::kCancelled;
        }
    }
    if (parser.State() == ReplyParser::kComplete) return TxResult::kOk;
    if (parser.State() == ReplyParser::kRefused) {
        Log(kError, "NACK ERR");
    } else {
        Log(kError, "Timeout...");
    }
    return TxResult::kFailed;
}

void CLanLink::Logout() {
    if (m_loginMode != 0 || !m_loggedIn || m_socket < 0) return;
    const std::uint8_t bye = kLogoutByte;
    Log(kTrace, "[Send] bin  = " + HexBytes(&bye, 1, kSendLogBytes));
    std::size_t sent = 0;
    int err = 0;
    if (!SendAll(&bye, 1, Clock::now() + std::chrono::seconds(1), sent, err)) return;
    for (int i = 0; i < m_logoutTimeout * 2; ++i) {
        const int r = WaitFor(m_socket, POLLIN, kPeriodMs);
        if (r != 0) {
            std::uint8_t buf[256];
            [[maybe_unused]] ssize_t n = ::recv(m_socket, buf, sizeof buf, MSG_DONTWAIT);
            return;  // the first answer (or the close) ends the wait
        }
    }
}

}  // namespace lan
