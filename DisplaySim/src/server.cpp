#include "server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>

#include "session.h"
#include "state_file.h"

namespace dsim {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kMaxConnections = 64;
constexpr std::size_t kMaxQueuedOutput = 1u << 20;
constexpr std::size_t kMaxPendingReplies = 4096;
constexpr int kTickMs = 200;

int g_signalPipe[2] = {-1, -1};

extern "C" void OnStopSignal(int) {
    const int saved = errno;
    const char b = 1;
    [[maybe_unused]] ssize_t n = ::write(g_signalPipe[1], &b, 1);
    errno = saved;
}

bool SetNonBlocking(int fd) {
    const int fl = ::fcntl(fd, F_GETFL, 0);
    return fl >= 0 && ::fcntl(fd, F_SETFL, fl | O_NONBLOCK) == 0;
}

struct Pending {
    Clock::time_point due;
    std::string bytes;
    bool close = false;
};

struct Conn {
    int fd = -1;
    bool isPty = false;
    std::unique_ptr<TextSession> text;
    std::unique_ptr<BinarySession> bin;
    std::deque<Pending> pending;
    std::string out;
    bool closeWhenFlushed = false;
    bool dead = false;
    Clock::time_point lastActivity = Clock::now();
};

class Transcript {
public:
    bool Open(const std::string& path, std::string& error) {
        if (path.empty()) return true;
        // "-" is standard output, after the line that says where the server listens.
        if (path == "-") {
            const int fd = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
            m_file = fd < 0 ? nullptr : ::fdopen(fd, "a");
            if (!m_file && fd >= 0) ::close(fd);
        } else {
            m_file = std::fopen(path.c_str(), "a");
        }
        if (!m_file) error = "cannot open transcript \"" + path + "\": " + std::strerror(errno);
        return m_file != nullptr;
    }
    ~Transcript() {
        if (m_file) std::fclose(m_file);
    }
    TranscriptFn Fn() {
        if (!m_file) return {};
        return [this](const std::string& line) {
            std::fprintf(m_file, "%s\n", line.c_str());
            std::fflush(m_file);
        };
    }

private:
    std::FILE* m_file = nullptr;
};

int Listen(const sockaddr_in& addr, int port, std::string& error) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = std::string("socket: ") + std::strerror(errno);
        return -1;
    }
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a = addr;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 16) != 0 || !SetNonBlocking(fd)) {
        char text[INET_ADDRSTRLEN] = "?";
        ::inet_ntop(AF_INET, &a.sin_addr, text, sizeof text);
        error = std::string("cannot listen on ") + text + ":" + std::to_string(port) + ": " + std::strerror(errno);
        ::close(fd);
        return -1;
    }
    return fd;
}

bool Resolve(const std::string& host, sockaddr_in& out, std::string& error) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* res = nullptr;
    const int rc = ::getaddrinfo(host.c_str(), nullptr, &hints, &res);
    if (rc != 0 || !res) {
        error = "cannot resolve \"" + host + "\": " + ::gai_strerror(rc);
        return false;
    }
    std::memcpy(&out, res->ai_addr, sizeof out);
    ::freeaddrinfo(res);
    return true;
}

void Queue(Conn& c, std::vector<Output>& outs) {
    const auto now = Clock::now();
    for (Output& o : outs) {
        auto due = now + std::chrono::milliseconds(o.delayMs);
        if (!c.pending.empty()) due = std::max(due, c.pending.back().due);  // replies keep their order
        // A client that floods a delayed connection loses replies, never memory.
        if (c.pending.size() >= kMaxPendingReplies && !o.close) continue;
        c.pending.push_back({due, std::move(o.bytes), o.close});
    }
    outs.clear();
}

void Promote(Conn& c, Clock::time_point now) {
    while (!c.pending.empty() && c.pending.front().due <= now && !c.closeWhenFlushed) {
        Pending& p = c.pending.front();
        if (c.out.size() + p.bytes.size() <= kMaxQueuedOutput) c.out += p.bytes;
        if (p.close) c.closeWhenFlushed = true;
        c.pending.pop_front();
    }
}

void Flush(Conn& c) {
    while (!c.out.empty()) {
        const ssize_t n = c.isPty ? ::write(c.fd, c.out.data(), c.out.size())
                                  : ::send(c.fd, c.out.data(), c.out.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            c.out.erase(0, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
        if (!c.isPty) c.dead = true;
        c.out.clear();
        return;
    }
    if (c.closeWhenFlushed && !c.isPty) c.dead = true;
}

int OpenPty(std::string& path, int& slave, std::string& error) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        error = std::string("cannot open a pseudo-terminal: ") + std::strerror(errno);
        if (master >= 0) ::close(master);
        return -1;
    }
    const char* name = ::ptsname(master);
    if (!name) {
        error = "ptsname failed";
        ::close(master);
        return -1;
    }
    path = name;
    // Hold the line open ourselves, raw, so clients may come and go without
    // the line hanging up and without echo or line editing.
    slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave >= 0) {
        termios t{};
        if (::tcgetattr(slave, &t) == 0) {
            ::cfmakeraw(&t);
            ::tcsetattr(slave, TCSANOW, &t);
        }
    }
    SetNonBlocking(master);
    return master;
}

}  // namespace

bool BuildChain(const Options& o, Chain& chain, std::string& error) {
    chain = Chain{};
    for (int id = 0; id <= o.chain; ++id) chain.displays.push_back(DefaultDisplay(id, o.nvramSize));
    if (!o.statePath.empty() && !LoadStateFile(o.statePath, o.nvramSize, chain, error)) return false;
    if (!chain.Find(0)) {
        error = "the chain has no display 0";
        return false;
    }
    Display& first = *chain.Find(0);
    if (!o.logPath.empty()) {
        Bytes b;
        if (!ReadImageFile(o.logPath, b, error)) return false;
        AdoptLogImage(first, std::move(b), true);
    }
    if (!o.nvramPath.empty() && !ReadImageFile(o.nvramPath, first.nvram, error)) return false;
    return true;
}

int RunServer(const Options& o, Chain& chain, void (*announce)(const std::string&)) {
    std::string error;
    Transcript transcript;
    if (!transcript.Open(o.transcriptPath, error)) {
        std::fprintf(stderr, "display-sim: %s\n", error.c_str());
        return 2;
    }
    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::fprintf(stderr, "display-sim: pipe: %s\n", std::strerror(errno));
        return 2;
    }
    struct sigaction sa{};
    sa.sa_handler = OnStopSignal;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGINT, &sa, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    Faults faults(o.faults);
    const TranscriptFn tfn = transcript.Fn();
    LoginConfig login{o.account, o.password};
    const bool textLogin = !o.account.empty() || !o.password.empty();

    int textFd = -1, binFd = -1, ptySlave = -1;
    std::vector<std::unique_ptr<Conn>> conns;
    std::unique_ptr<SerialSession> serial;
    Conn* ptyConn = nullptr;
    int rc = 0;

    if (o.serial) {
        std::string path;
        const int master = OpenPty(path, ptySlave, error);
        if (master < 0) {
            std::fprintf(stderr, "display-sim: %s\n", error.c_str());
            return 2;
        }
        auto c = std::make_unique<Conn>();
        c->fd = master;
        c->isPty = true;
        ptyConn = c.get();
        conns.push_back(std::move(c));
        serial = std::make_unique<SerialSession>(chain, faults, tfn);
        announce(path);
    } else {
        sockaddr_in addr{};
        if (!Resolve(o.listen, addr, error) || (textFd = Listen(addr, o.port, error)) < 0 ||
            (binFd = Listen(addr, o.binPort, error)) < 0) {
            std::fprintf(stderr, "display-sim: %s\n", error.c_str());
            if (textFd >= 0) ::close(textFd);
            return 2;
        }
        char text[INET_ADDRSTRLEN] = "?";
        ::inet_ntop(AF_INET, &addr.sin_addr, text, sizeof text);
        announce(std::string("listening ") + text + " " + std::to_string(o.port) + " " + std::to_string(o.binPort));
    }

    const std::string textLabel = std::to_string(o.port), binLabel = std::to_string(o.binPort);
    std::vector<std::uint8_t> buf(8192);
    std::vector<Output> outs;
    bool stop = false;
    while (!stop) {
        const auto now = Clock::now();
        int timeout = kTickMs;
        for (auto& c : conns) {
            Promote(*c, now);
            if (!c->pending.empty()) {
                const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(c->pending.front().due - now);
                timeout = std::clamp(static_cast<int>(ms.count()) + 1, 0, timeout);
            }
        }
        std::vector<pollfd> pfds;
        pfds.push_back({g_signalPipe[0], POLLIN, 0});
        if (textFd >= 0) pfds.push_back({textFd, POLLIN, 0});
        if (binFd >= 0) pfds.push_back({binFd, POLLIN, 0});
        const std::size_t connBase = pfds.size();
        for (auto& c : conns)
            pfds.push_back({c->fd, static_cast<short>(POLLIN | (c->out.empty() ? 0 : POLLOUT)), 0});
        const int n = ::poll(pfds.data(), pfds.size(), timeout);
        if (n < 0 && errno != EINTR) {
            std::fprintf(stderr, "display-sim: poll: %s\n", std::strerror(errno));
            rc = 2;
            break;
        }
        if (n > 0 && (pfds[0].revents & POLLIN)) stop = true;

        for (std::size_t i = 0; i < conns.size(); ++i) {
            Conn& c = *conns[i];
            const short re = pfds[connBase + i].revents;
            if (re & (POLLIN | POLLHUP | POLLERR)) {
                const ssize_t got = ::read(c.fd, buf.data(), buf.size());
                if (got > 0) {
                    c.lastActivity = Clock::now();
                    if (c.isPty)
                        serial->Feed(buf.data(), static_cast<std::size_t>(got), outs);
                    else if (c.text && !c.closeWhenFlushed)
                        c.text->Feed(buf.data(), static_cast<std::size_t>(got), outs);
                    else if (c.bin && !c.closeWhenFlushed)
                        c.bin->Feed(buf.data(), static_cast<std::size_t>(got), outs);
                    Queue(c, outs);
                } else if (got == 0 || (errno != EAGAIN && errno != EINTR && errno != EIO)) {
                    if (!c.isPty) c.dead = true;
                }
            }
            Promote(c, Clock::now());
            Flush(c);
            if (!c.isPty && Clock::now() - c.lastActivity > std::chrono::seconds(o.idleTimeoutSec)) c.dead = true;
        }
        conns.erase(std::remove_if(conns.begin(), conns.end(),
                                   [](const std::unique_ptr<Conn>& c) {
                                       if (c->dead) ::close(c->fd);
                                       return c->dead;
                                   }),
                    conns.end());

        auto accept = [&](int lfd, bool binary) {
            while (true) {
                const int fd = ::accept4(lfd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
                if (fd < 0) return;
                if (conns.size() >= kMaxConnections) {
                    ::close(fd);
                    continue;
                }
                auto c = std::make_unique<Conn>();
                c->fd = fd;
                std::string greeting;
                if (binary) {
                    c->bin = std::make_unique<BinarySession>(chain, faults, tfn, binLabel, o.tlmode ? &login : nullptr);
                    greeting = c->bin->Greeting();
                } else {
                    c->text = std::make_unique<TextSession>(chain, faults, tfn, textLabel, textLogin ? &login : nullptr);
                    greeting = c->text->Greeting();
                }
                c->out = greeting;
                Flush(*c);
                conns.push_back(std::move(c));
            }
        };
        if (textFd >= 0 && (pfds[1].revents & POLLIN)) accept(textFd, false);
        if (binFd >= 0 && (pfds[2].revents & POLLIN)) accept(binFd, true);
    }
    (void)ptyConn;

    for (auto& c : conns) ::close(c->fd);
    if (ptySlave >= 0) ::close(ptySlave);
    if (textFd >= 0) ::close(textFd);
    if (binFd >= 0) ::close(binFd);
    ::close(g_signalPipe[0]);
    ::close(g_signalPipe[1]);
    if (!o.saveStatePath.empty() && !SaveStateFile(o.saveStatePath, chain, error)) {
        std::fprintf(stderr, "display-sim: %s\n", error.c_str());
        return 1;
    }
    return rc;
}

}  // namespace dsim
