#include <linkio/Channel.h>
#include <linkio/Cancel.h>

#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include "common/ini.h"
#include "common/paths.h"
#include "common/strutil.h"
#include "common/userfiles.h"

namespace linkio {

namespace {

// Longest single wait between two looks at the cancel flag.
constexpr int kSliceMs = 100;

struct BaudEntry {
    int baud;
    speed_t speed;
};
constexpr BaudEntry kBauds[] = {{1200, B1200},     {2400, B2400},     {4800, B4800},   {9600, B9600},
                                {19200, B19200},   {38400, B38400},   {57600, B57600}, {115200, B115200},
                                {230400, B230400}};

std::optional<speed_t> SpeedOf(int baud) {
    for (const auto& e : kBauds)
        if (e.baud == baud) return e.speed;
    return std::nullopt;
}

}  // namespace

int Deadline::Remaining() const {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(m_end - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(left);
}

Channel::Channel(int fd, bool socket, std::string name) : m_fd(fd), m_socket(socket), m_name(std::move(name)) {}

Channel::~Channel() {
    if (m_fd >= 0) ::close(m_fd);
}

IoResult Channel::Wait(short events, const Deadline& deadline, const int* cancel) {
    while (true) {
        if (IsCancelled(cancel)) return IoResult::kCancelled;
        const int left = deadline.Remaining();
        if (left == 0) return IoResult::kTimeout;
        pollfd p{m_fd, events, 0};
        const int r = ::poll(&p, 1, left < kSliceMs ? left : kSliceMs);
        if (r < 0) {
            if (errno == EINTR) continue;
            return IoResult::kError;
        }
        if (r == 0) continue;
        if (p.revents & events) return IoResult::kOk;
        if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) return IoResult::kClosed;
    }
}

IoResult Channel::WaitWritable(const Deadline& deadline, const int* cancel) {
    return Wait(POLLOUT, deadline, cancel);
}

IoResult Channel::Write(const std::uint8_t* data, std::size_t n, const Deadline& deadline, const int* cancel,
                        std::size_t* sent) {
    std::size_t ignored = 0;
    std::size_t& done = sent != nullptr ? *sent : ignored;
    done = 0;
    if (m_closed) return IoResult::kClosed;
    // The descriptor does not block: a write is tried at once and the wait
    // for room comes only when there is none, which saves a poll per request.
    while (done < n) {
        if (IsCancelled(cancel)) return IoResult::kCancelled;
        if (deadline.Remaining() == 0) return IoResult::kTimeout;
        const ssize_t k = m_socket ? ::send(m_fd, data + done, n - done, MSG_NOSIGNAL | MSG_DONTWAIT)
                                   : ::write(m_fd, data + done, n - done);
        if (k < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                const IoResult w = Wait(POLLOUT, deadline, cancel);
                if (w != IoResult::kOk) return w;
                continue;
            }
            m_closed = true;
            return IoResult::kClosed;
        }
        done += static_cast<std::size_t>(k);
    }
    return IoResult::kOk;
}

void Channel::WaitInRecv() {
    const int flags = ::fcntl(m_fd, F_GETFL);
    const timeval slice{0, kSliceMs * 1000};
    if (!m_socket || flags < 0 ||
        ::setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &slice, sizeof slice) != 0 ||
        ::fcntl(m_fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
        return;
    m_waitInRecv = true;
}

IoResult Channel::Read(std::uint8_t* buf, std::size_t cap, std::size_t& got, const Deadline& deadline,
                       const int* cancel) {
    got = 0;
    if (m_closed) return IoResult::kClosed;
    if (cap == 0) return IoResult::kError;
    while (true) {
        ssize_t k = 0;
        if (m_waitInRecv && deadline.Remaining() >= kSliceMs) {
            // One call waits and reads; its receive timeout (one slice)
            // brings it back in time to see the cancel flag and the deadline.
            if (IsCancelled(cancel)) return IoResult::kCancelled;
            k = ::recv(m_fd, buf, cap, 0);
        } else {
            const IoResult w = Wait(POLLIN, deadline, cancel);
            if (w == IoResult::kClosed) m_closed = true;
            if (w != IoResult::kOk) return w;
            k = ::read(m_fd, buf, cap);
        }
        if (k > 0) {
            got = static_cast<std::size_t>(k);
            return IoResult::kOk;
        }
        if (k < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
        // End of stream, or a failed line.
        m_closed = true;
        return IoResult::kClosed;
    }
}

IoResult Channel::ReadArrived(std::uint8_t* buf, std::size_t cap, std::size_t& got) {
    got = 0;
    if (m_closed) return IoResult::kClosed;
    if (cap == 0) return IoResult::kError;
    while (true) {
        pollfd p{m_fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, 0);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0 || !(p.revents & (POLLIN | POLLHUP | POLLERR))) return IoResult::kOk;
        const ssize_t k = ::read(m_fd, buf, cap);
        if (k > 0) {
            got = static_cast<std::size_t>(k);
            return IoResult::kOk;
        }
        if (k < 0 && errno == EINTR) continue;
        if (k < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return IoResult::kOk;
        if (k == 0) {
            m_closed = true;
            return IoResult::kClosed;
        }
        return IoResult::kError;
    }
}

IoResult Channel::DiscardInput(std::size_t maxBytes) {
    if (m_closed) return IoResult::kClosed;
    if (!m_socket) ::tcflush(m_fd, TCIFLUSH);
    std::uint8_t buf[4096];
    // Whatever is already there, without waiting.
    for (std::size_t dropped = 0; dropped < maxBytes;) {
        std::size_t got = 0;
        const IoResult r = ReadArrived(buf, sizeof buf, got);
        if (r != IoResult::kOk || got == 0) return r;
        dropped += got;
    }
    return IoResult::kOk;
}

IoResult Channel::DiscardUntilQuiet(int quietMs, const Deadline& deadline, const int* cancel) {
    std::uint8_t buf[512];
    while (true) {
        const Deadline quiet(quietMs);
        std::size_t got = 0;
        const IoResult r = Read(buf, sizeof buf, got, quiet, cancel);
        if (r == IoResult::kTimeout) return IoResult::kOk;
        if (r != IoResult::kOk) return r;
        if (deadline.Passed()) return IoResult::kTimeout;
    }
}

IoResult Channel::DiscardLateReply(int replyMs, int limitInReplyTimes, const int* cancel) {
    const long long limitMs = static_cast<long long>(replyMs) * limitInReplyTimes;
    const Deadline limit(limitMs < INT_MAX ? static_cast<int>(limitMs) : INT_MAX);
    return DiscardUntilQuiet(replyMs, limit, cancel);
}

bool ResolveIpv4(const std::string& host, in_addr& out, int& lookupCode) {
    lookupCode = 0;
    if (::inet_pton(AF_INET, host.c_str(), &out) == 1) return true;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* res = nullptr;
    const int rc = ::getaddrinfo(host.c_str(), nullptr, &hints, &res);
    if (rc != 0 || res == nullptr) {
        lookupCode = rc;
        if (res) ::freeaddrinfo(res);
        return false;
    }
    out = reinterpret_cast<const sockaddr_in*>(res->ai_addr)->sin_addr;
    ::freeaddrinfo(res);
    return true;
}

std::unique_ptr<Channel> ConnectIpv4(const in_addr& address, int port, const std::string& name, int timeoutMs,
                                     const int* cancel, IoResult& result, int& err) {
    result = IoResult::kError;
    err = 0;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    addr.sin_addr = address;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        err = errno;
        return nullptr;
    }
    auto channel = std::make_unique<Channel>(fd, true, name);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        err = errno;
        if (err != EINPROGRESS && err != EINTR) return nullptr;
        // The connect goes on in the background; the wait sees the cancel flag.
        const IoResult w = channel->WaitWritable(Deadline(timeoutMs), cancel);
        if (w == IoResult::kCancelled || w == IoResult::kTimeout) {
            result = w;
            err = w == IoResult::kTimeout ? ETIMEDOUT : 0;
            return nullptr;
        }
        socklen_t len = sizeof err;
        err = 0;
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0) {
            err = errno;
        } else if (err == 0 && w != IoResult::kOk) {
            err = ECONNREFUSED;
        }
        if (err != 0) return nullptr;
    }
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    channel->WaitInRecv();
    result = IoResult::kOk;
    return channel;
}

std::unique_ptr<Channel> ConnectTcp(const std::string& host, int port, int timeoutMs, const int* cancel,
                                    std::string& error) {
    in_addr address{};
    int lookupCode = 0;
    if (!ResolveIpv4(host, address, lookupCode)) {
        error = "cannot resolve host \"" + host + "\"";
        return nullptr;
    }
    return ConnectTcp(address, port, host + ":" + std::to_string(port), timeoutMs, cancel, error);
}

std::unique_ptr<Channel> ConnectTcp(const in_addr& address, int port, const std::string& name, int timeoutMs,
                                    const int* cancel, std::string& error) {
    if (port <= 0 || port > 65535) {
        error = "bad TCP port " + std::to_string(port);
        return nullptr;
    }
    IoResult result = IoResult::kError;
    int err = 0;
    auto channel = ConnectIpv4(address, port, name, timeoutMs, cancel, result, err);
    if (!channel) {
        const std::string why = result == IoResult::kTimeout     ? std::string("time-out")
                                : result == IoResult::kCancelled ? std::string("cancelled")
                                                                 : std::string(std::strerror(err));
        error = "cannot connect to " + name + ": " + why;
    }
    return channel;
}

bool IsSupportedBaud(int baud) { return SpeedOf(baud).has_value(); }

std::unique_ptr<Channel> OpenSerial(const std::string& device, int baud, std::string& error) {
    const auto speed = SpeedOf(baud);
    if (!speed) {
        error = "unsupported baud rate " + std::to_string(baud);
        return nullptr;
    }
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = "cannot open " + device + ": " + std::strerror(errno);
        return nullptr;
    }
    auto channel = std::make_unique<Channel>(fd, false, device);
    termios t{};
    if (::tcgetattr(fd, &t) != 0) {
        error = device + " is not a serial line: " + std::strerror(errno);
        return nullptr;
    }
    ::cfmakeraw(&t);
    t.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | PARENB | CSIZE | CRTSCTS);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    if (::cfsetispeed(&t, *speed) != 0 || ::cfsetospeed(&t, *speed) != 0 || ::tcsetattr(fd, TCSANOW, &t) != 0) {
        error = "cannot set up " + device + ": " + std::strerror(errno);
        return nullptr;
    }
    ::tcflush(fd, TCIOFLUSH);
    return channel;
}

std::optional<PortSpec> ParsePort(std::string_view text, const std::filesystem::path& settings) {
    PortSpec spec;
    if (text.size() >= 3 && cmn::EqualsNoCase(text.substr(0, 3), "LAN")) {
        const std::string_view rest = text.substr(3);
        const std::size_t colon = rest.find(':');
        spec.kind = PortSpec::kTcp;
        spec.host = std::string(colon == std::string_view::npos ? rest : rest.substr(0, colon));
        if (colon != std::string_view::npos) {
            const int port = cmn::DecimalToInt(rest.substr(colon + 1));
            if (port > 0 && port <= 65535) spec.port = port;
        }
        if (spec.host.empty()) return std::nullopt;
        return spec;
    }
    if (text.size() >= 4 && cmn::EqualsNoCase(text.substr(0, 3), "COM")) {
        const std::string_view digits = text.substr(3);
        if (digits.size() > 3 || digits.front() == '0') return std::nullopt;
        int n = 0;
        for (char c : digits) {
            if (c < '0' || c > '9') return std::nullopt;
            n = n * 10 + (c - '0');
        }
        if (n < 1 || n > 256) return std::nullopt;
        const std::string name = "COM" + std::to_string(n);
        spec.kind = PortSpec::kSerial;
        spec.device = std::string(cmn::Trim(cmn::IniGetString(settings, "Ports", name, "")));
        if (spec.device.empty()) spec.device = "/dev/ttyS" + std::to_string(n - 1);
        return spec;
    }
    if (!text.empty() && text.front() == '/') {
        spec.kind = PortSpec::kSerial;
        spec.device = std::string(text);
        return spec;
    }
    return std::nullopt;
}

std::filesystem::path SettingsDir(const char* envName) {
    if (const char* v = std::getenv(envName); v != nullptr && *v != '\0') return v;
    return cmn::ProgramDir();
}

std::filesystem::path SettingsFile(const char* envName, std::string_view name) {
    return cmn::SettingsFileToRead(SettingsDir(envName), name);
}

}  // namespace linkio
