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
    std::unique_ptr<Session> session;
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

// The server: its set-up, its loop and its tear-down. One thread.
class Server {
public:
    Server(const Options& o, Chain& chain)
        : m_options(o),
          m_chain(chain),
          m_faults(o.faults),
          m_login{o.account, o.password},
          m_textLabel(std::to_string(o.port)),
          m_binLabel(std::to_string(o.binPort)) {}
    ~Server() { CloseAll(); }
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Opens the transcript, catches the stop signals and opens the ports (or
    // the pseudo-terminal), then announces them. 0, or the exit code.
    int Open(void (*announce)(const std::string&));
    // Serves until a stop signal. 0, or 2 when waiting fails.
    int Loop();
    // Closes everything and saves the state when asked to; the exit code.
    int Close(int rc);

private:
    bool OpenSerial(void (*announce)(const std::string&), std::string& error);
    bool OpenTcp(void (*announce)(const std::string&), std::string& error);
    // The poll set: the stop signal, the listening ports, then one entry per connection.
    std::vector<pollfd> PollSet() const;
    // How long the next wait may last: until the next held-back reply is due.
    int PollTimeout();
    void Service(Conn& c, short revents);
    void DropDeadConnections();
    void AcceptAll(int listenFd, bool binary);
    void CloseAll();

    const Options& m_options;
    Chain& m_chain;
    Faults m_faults;
    LoginConfig m_login;
    Transcript m_transcript;
    TranscriptFn m_note;
    std::string m_textLabel, m_binLabel;
    int m_textFd = -1, m_binFd = -1, m_ptySlave = -1;
    std::vector<std::unique_ptr<Conn>> m_conns;
    std::vector<std::uint8_t> m_buf = std::vector<std::uint8_t>(8192);
    std::vector<Output> m_outs;
};

int Server::Open(void (*announce)(const std::string&)) {
    std::string error;
    if (!m_transcript.Open(m_options.transcriptPath, error)) {
        std::fprintf(stderr, "display-sim: %s\n", error.c_str());
        return 2;
    }
    m_note = m_transcript.Fn();
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
    if (!(m_options.serial ? OpenSerial(announce, error) : OpenTcp(announce, error))) {
        std::fprintf(stderr, "display-sim: %s\n", error.c_str());
        return 2;
    }
    return 0;
}

bool Server::OpenSerial(void (*announce)(const std::string&), std::string& error) {
    std::string path;
    const int master = OpenPty(path, m_ptySlave, error);
    if (master < 0) return false;
    auto c = std::make_unique<Conn>();
    c->fd = master;
    c->isPty = true;
    c->session = std::make_unique<SerialSession>(m_chain, m_faults, m_note);
    m_conns.push_back(std::move(c));
    announce(path);
    return true;
}

bool Server::OpenTcp(void (*announce)(const std::string&), std::string& error) {
    sockaddr_in addr{};
    if (!Resolve(m_options.listen, addr, error) || (m_textFd = Listen(addr, m_options.port, error)) < 0 ||
        (m_binFd = Listen(addr, m_options.binPort, error)) < 0)
        return false;
    char text[INET_ADDRSTRLEN] = "?";
    ::inet_ntop(AF_INET, &addr.sin_addr, text, sizeof text);
    announce(std::string("listening ") + text + " " + m_textLabel + " " + m_binLabel);
    return true;
}

int Server::Loop() {
    while (true) {
        const int timeout = PollTimeout();
        std::vector<pollfd> pfds = PollSet();
        const int n = ::poll(pfds.data(), pfds.size(), timeout);
        if (n < 0 && errno != EINTR) {
            std::fprintf(stderr, "display-sim: poll: %s\n", std::strerror(errno));
            return 2;
        }
        const bool stop = n > 0 && (pfds[0].revents & POLLIN);
        const std::size_t connBase = pfds.size() - m_conns.size();
        for (std::size_t i = 0; i < m_conns.size(); ++i) Service(*m_conns[i], pfds[connBase + i].revents);
        DropDeadConnections();
        if (m_textFd >= 0 && (pfds[1].revents & POLLIN)) AcceptAll(m_textFd, false);
        if (m_binFd >= 0 && (pfds[2].revents & POLLIN)) AcceptAll(m_binFd, true);
        if (stop) return 0;
    }
}

std::vector<pollfd> Server::PollSet() const {
    std::vector<pollfd> pfds;
    pfds.push_back({g_signalPipe[0], POLLIN, 0});
    if (m_textFd >= 0) pfds.push_back({m_textFd, POLLIN, 0});
    if (m_binFd >= 0) pfds.push_back({m_binFd, POLLIN, 0});
    for (const auto& c : m_conns)
        pfds.push_back({c->fd, static_cast<short>(POLLIN | (c->out.empty() ? 0 : POLLOUT)), 0});
    return pfds;
}

int Server::PollTimeout() {
    const auto now = Clock::now();
    int timeout = kTickMs;
    for (auto& c : m_conns) {
        Promote(*c, now);
        if (!c->pending.empty()) {
            const auto ms =
                std::chrono::duration_cast<std::chrono::milliseconds>(c->pending.front().due - now);
            timeout = std::clamp(static_cast<int>(ms.count()) + 1, 0, timeout);
        }
    }
    return timeout;
}

void Server::Service(Conn& c, short revents) {
    if (revents & (POLLIN | POLLHUP | POLLERR)) {
        const ssize_t got = ::read(c.fd, m_buf.data(), m_buf.size());
        if (got > 0) {
            c.lastActivity = Clock::now();
            // A TCP session that has finished waits for its last bytes to go out.
            if (!c.closeWhenFlushed) c.session->Feed(m_buf.data(), static_cast<std::size_t>(got), m_outs);
            Queue(c, m_outs);
        } else if (got == 0 || (errno != EAGAIN && errno != EINTR && errno != EIO)) {
            if (!c.isPty) c.dead = true;
        }
    }
    Promote(c, Clock::now());
    Flush(c);
    if (!c.isPty && Clock::now() - c.lastActivity > std::chrono::seconds(m_options.idleTimeoutSec))
        c.dead = true;
}

void Server::DropDeadConnections() {
    std::erase_if(m_conns, [](const std::unique_ptr<Conn>& c) {
        if (c->dead) ::close(c->fd);
        return c->dead;
    });
}

void Server::AcceptAll(int listenFd, bool binary) {
    while (true) {
        const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) return;
        if (m_conns.size() >= kMaxConnections) {
            ::close(fd);
            continue;
        }
        auto c = std::make_unique<Conn>();
        c->fd = fd;
        const bool login = binary ? m_options.tlmode : !m_login.account.empty() || !m_login.password.empty();
        std::unique_ptr<PortSession> session;
        if (binary)
            session = std::make_unique<BinarySession>(m_chain, m_faults, m_note, m_binLabel,
                                                      login ? &m_login : nullptr);
        else
            session = std::make_unique<TextSession>(m_chain, m_faults, m_note, m_textLabel,
                                                    login ? &m_login : nullptr);
        c->out = session->Greeting();
        c->session = std::move(session);
        Flush(*c);
        m_conns.push_back(std::move(c));
    }
}

void Server::CloseAll() {
    for (auto& c : m_conns) ::close(c->fd);
    m_conns.clear();
    for (int* fd : {&m_ptySlave, &m_textFd, &m_binFd, &g_signalPipe[0], &g_signalPipe[1]}) {
        if (*fd >= 0) ::close(*fd);
        *fd = -1;
    }
}

int Server::Close(int rc) {
    CloseAll();
    std::string error;
    if (!m_options.saveStatePath.empty() && !SaveStateFile(m_options.saveStatePath, m_chain, error)) {
        std::fprintf(stderr, "display-sim: %s\n", error.c_str());
        return 1;
    }
    return rc;
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
    Server server(o, chain);
    const int rc = server.Open(announce);
    if (rc != 0) return rc;
    return server.Close(server.Loop());
}

}  // namespace dsim
