#include "LanLink.h"

#include <arpa/inet.h>
#include <linkio/Cancel.h>
#include <linkio/DisplayTurn.h>
#include <netinet/in.h>

#include <algorithm>
#include <cerrno>

#include "Log.h"

namespace lan {

namespace {

constexpr int kPeriodMs = 500;  // one receive period of the login dialogue
constexpr int kConnectLimitMs = 20000;
constexpr std::size_t kLoginReadMax = 255;
constexpr std::size_t kSendLogBytes = 20;
constexpr int kRecvLogData = 10;      // bytes are logged while fewer data bytes are stored
constexpr std::size_t kRecvLogMax = 1024;
constexpr std::size_t kDiscardMax = 1 << 20;  // stale bytes dropped before one request

// Logs the outcome of looking `host` up (nothing for a dotted address);
// returns `found`.
bool LogLookup(const std::string& host, bool found, const in_addr& address, int lookupCode) {
    if (!found) {
        Logf(kError, "Failed to get host by name(%s). - 0x%X", host.c_str(), static_cast<unsigned>(lookupCode));
        return false;
    }
    in_addr dotted{};
    if (::inet_pton(AF_INET, host.c_str(), &dotted) != 1) {
        const auto* a = reinterpret_cast<const unsigned char*>(&address);
        Logf(kTrace, "%s is %d.%d.%d.%d", host.c_str(), a[0], a[1], a[2], a[3]);
    }
    return true;
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
    return linkio::IsCancelled(m_cancelFlag);
}

bool CLanLink::LockHost(const std::string& host) {
    // The lock belongs to the address the host is found at, so that every
    // spelling of one display's address meets on it; the connection later
    // goes to that same address (one look-up). A host that is not found keeps
    // its name here and fails when connecting.
    m_lookup.host = host;
    m_lookup.found = linkio::ResolveIpv4(host, m_lookup.address, m_lookup.code);
    const std::string key = m_lookup.found ? linkio::DottedIpv4(m_lookup.address) : host;
    m_lock = std::make_unique<cmn::NamedLock>(linkio::LanHostLockName(key));
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
            Logf(kError, "%s 's LAN Port cannot be locked (%s)", host.c_str(), m_lock->ErrorText().c_str());
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
    m_channel.reset();
}

int CLanLink::OpenSocket() {
    CloseSocket();
    in_addr address{};
    if (m_host == m_lookup.host) {
        address = m_lookup.address;
        if (!LogLookup(m_host, m_lookup.found, address, m_lookup.code)) return 0;
    } else {
        int code = 0;
        const bool found = linkio::ResolveIpv4(m_host, address, code);
        if (!LogLookup(m_host, found, address, code)) return 0;
    }
    linkio::IoResult result = linkio::IoResult::kError;
    int err = 0;
    auto channel = linkio::ConnectIpv4(address, m_port, m_host, kConnectLimitMs, m_cancelFlag, result, err);
    if (result == linkio::IoResult::kCancelled) return 0;  // the caller sees the cancel flag
    if (!channel) {
        Logf(kError, "Cannot connect host \"%s\" Port=%d Err=%d", m_host.c_str(), m_port, err);
        return 0;
    }
    m_channel = std::move(channel);
    Logf(kTrace, "////////// Connect to %s", m_host.c_str());
    return 1;
}

CLanLink::TxResult CLanLink::Send(const std::uint8_t* p, std::size_t n, const linkio::Deadline& deadline,
                                  const int* cancel, int& err) {
    err = EPIPE;
    if (!m_channel) return TxResult::kLost;
    errno = 0;
    switch (m_channel->Write(p, n, deadline, cancel)) {
        case linkio::IoResult::kOk:
            err = 0;
            return TxResult::kOk;
        case linkio::IoResult::kCancelled:
            err = ECANCELED;
            return TxResult::kCancelled;
        case linkio::IoResult::kTimeout:
            err = ETIMEDOUT;
            return TxResult::kTimedOut;
        default:
            if (errno != 0) err = errno;
            CloseSocket();
            return TxResult::kLost;
    }
}

CLanLink::Period CLanLink::ReceiveText(std::string& text) {
    text.clear();
    if (!m_channel) return Period::kClosed;
    std::uint8_t buf[kLoginReadMax];
    std::size_t got = 0;
    switch (m_channel->Read(buf, sizeof buf, got, linkio::Deadline(kPeriodMs), nullptr)) {
        case linkio::IoResult::kOk:
            text = CleanText(std::string_view(reinterpret_cast<const char*>(buf), got));
            return text.empty() ? Period::kSilence : Period::kText;
        case linkio::IoResult::kTimeout:
            return Period::kSilence;
        default:
            return Period::kClosed;
    }
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
    // Account and password never reach the log.
    Log(kTrace, "[Send] bin  = " + MaskedBytes(line.size(), kSendLogBytes));
    const linkio::Deadline deadline(std::max(m_timeout, 1) * 1000);
    int err = 0;
    if (Send(reinterpret_cast<const std::uint8_t*>(line.data()), line.size(), deadline, nullptr, err) !=
        TxResult::kOk) {
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
    // Once a credential has been sent, a display that echoes its input would
    // put it into the log: its answers are logged masked from then on.
    auto masked = [](const std::string& text) { return MaskedBytes(text.size(), kSendLogBytes); };
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
    Log(kTrace, "[Auth-Recv] " + masked(text));
    if (!StartsWithNoCase(PromptWord(text), "Password:")) {
        Log(kError, "[Auth] Invalid Reply - " + masked(text));
        return -9;
    }

    Log(kTrace, "[Auth-Send] Password");
    if (SendLoginText(password) != 1) return -9;

    // Silence after the password means it was accepted.
    p = WaitText(periods, text);
    if (p == Period::kClosed) return closed();
    if (p == Period::kText) {
        Log(kTrace, "[Auth-Recv] " + masked(text));
        if (StartsWithNoCase(PromptWord(text), "User")) {
            Log(kError, "[Auth] Login incorrect");
            return -7;
        }
        Log(kError, "[Auth] Invalid Reply - " + masked(text));
        return -9;
    }
    Log(kTrace, "[Auth] Logged in");
    m_loggedIn = true;
    return 1;
}

bool CLanLink::DiscardPending() {
    if (!m_channel) return false;
    // Bounded, so a display that never stops sending cannot hold the caller here;
    // whatever is left is skipped by the reply parser.
    errno = 0;
    const linkio::IoResult r = m_channel->DiscardInput(kDiscardMax);
    if (r == linkio::IoResult::kOk) return true;
    Logf(kError, "Connection closed by the display. Err=%d", r == linkio::IoResult::kError ? errno : 0);
    CloseSocket();
    return false;
}

CLanLink::TxResult CLanLink::Transaction(std::uint8_t command, const std::vector<std::uint8_t>& frame,
                                         dakoral::ReplyParser& parser) {
    Log(kTrace, "[Send] bin  = " + HexBytes(frame.data(), frame.size(), kSendLogBytes));
    // The reply time starts now, so a slow log cannot use it up.
    const linkio::Deadline deadline(m_timeout * 1000);
    m_cancelled = false;
    int err = 0;
    const TxResult sent = Send(frame.data(), frame.size(), deadline, m_cancelFlag, err);
    if (sent != TxResult::kOk) {
        if (sent == TxResult::kCancelled) {
            m_cancelled = true;
            Log(kTrace, "User's cancel.");
        } else {
            Log(kError, "Failed to send command.");
        }
        return sent;
    }

    parser.Reset(command);
    std::vector<std::uint8_t> seen;
    std::uint8_t buf[4096];
    while (!parser.Finished()) {
        std::size_t got = 0;
        const linkio::IoResult r = m_channel->Read(buf, sizeof buf, got, deadline, m_cancelFlag);
        if (r == linkio::IoResult::kTimeout) break;
        if (r == linkio::IoResult::kCancelled) {
            m_cancelled = true;
            Log(kTrace, "User's cancel.");
            return TxResult::kCancelled;
        }
        if (r != linkio::IoResult::kOk) {
            Log(kError, "Connection closed by the display.");
            CloseSocket();
            return TxResult::kLost;
        }
        for (std::size_t i = 0; i < got && !parser.Finished();) {
            // Past the bytes the log keeps, the frame's data goes in one run.
            if (parser.Stored() >= kRecvLogData) {
                const std::size_t run = parser.FeedData(buf + i, got - i);
                i += run;
                if (run > 0) continue;
            }
            if (parser.Stored() < kRecvLogData && seen.size() < kRecvLogMax) seen.push_back(buf[i]);
            parser.Feed(buf[i++]);
        }
    }
    if (parser.Current() == dakoral::ReplyParser::kComplete) {
        Log(kTrace, "[Recv] bin  = " + HexBytes(seen.data(), seen.size(), seen.size()));
        return TxResult::kOk;
    }
    if (parser.Current() == dakoral::ReplyParser::kRefused) {
        Log(kTrace, "[Recv] bin  = " + HexBytes(seen.data(), seen.size(), seen.size()));
        Log(kError, "NACK ERR");
        return TxResult::kRefused;
    }
    Log(kError, "Timeout...");
    return TxResult::kTimedOut;
}

void CLanLink::Logout() {
    if (m_loginMode != 0 || !m_loggedIn || !m_channel) return;
    const std::uint8_t bye = kLogoutByte;
    Log(kTrace, "[Send] bin  = " + HexBytes(&bye, 1, kSendLogBytes));
    int err = 0;
    if (Send(&bye, 1, linkio::Deadline(1000), nullptr, err) != TxResult::kOk) return;
    // The first answer (or the close) ends the wait.
    std::uint8_t buf[256];
    std::size_t got = 0;
    m_channel->Read(buf, sizeof buf, got, linkio::Deadline(m_logoutTimeout * 2 * kPeriodMs), nullptr);
}

}  // namespace lan
