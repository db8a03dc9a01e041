#include "sim_client.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace simtest {

namespace {

using Clock = std::chrono::steady_clock;

int Remaining(Clock::time_point end) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
    return ms < 0 ? 0 : static_cast<int>(ms);
}

}  // namespace

Bytes Frame(std::uint8_t cmd, const Bytes& params) {
    Bytes f;
    f.reserve(params.size() + 5);
    f.push_back(0xAA);
    f.push_back(cmd);
    f.push_back(static_cast<std::uint8_t>(params.size() & 0xFF));
    f.push_back(static_cast<std::uint8_t>(params.size() >> 8));
    for (auto b : params) f.push_back(b);  // (insert() trips a false -Warray-bounds in g++ 12)
    unsigned sum = 0;
    for (auto b : f) sum += b;
    f.push_back(static_cast<std::uint8_t>(0xFF - (sum & 0xFF)));
    return f;
}

Conn::~Conn() { Close(); }

void Conn::Close() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    m_buf.clear();
    m_closed = false;
}

bool Conn::ConnectTcp(const std::string& addr, int port) {
    Close();
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    ::inet_pton(AF_INET, addr.c_str(), &a.sin_addr);
    return m_fd >= 0 && ::connect(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
}

bool Conn::OpenTty(const std::string& path) {
    Close();
    m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_fd < 0) return false;
    termios t{};
    if (::tcgetattr(m_fd, &t) == 0) {
        ::cfmakeraw(&t);
        ::cfsetspeed(&t, B115200);
        ::tcsetattr(m_fd, TCSANOW, &t);
    }
    return true;
}

bool Conn::Send(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool Conn::Fill(int timeoutMs) {
    if (m_closed || m_fd < 0) return false;
    pollfd p{m_fd, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0) return false;
    char buf[4096];
    const ssize_t n = ::read(m_fd, buf, sizeof buf);
    if (n <= 0) {
        m_closed = true;
        return false;
    }
    m_buf.append(buf, static_cast<std::size_t>(n));
    return true;
}

std::string Conn::ReadUntil(const std::string& until, int timeoutMs) {
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (m_buf.find(until) == std::string::npos && Remaining(end) > 0)
        if (!Fill(Remaining(end)) && m_closed) break;
    std::string out;
    out.swap(m_buf);
    return out;
}

std::string Conn::ReadFor(int timeoutMs) {
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Remaining(end) > 0)
        if (!Fill(Remaining(end)) && m_closed) break;
    std::string out;
    out.swap(m_buf);
    return out;
}

bool Conn::WaitClosed(int timeoutMs) {
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!m_closed && Remaining(end) > 0) Fill(Remaining(end));
    return m_closed;
}

std::optional<std::string> Conn::Command(const std::string& cmd, int timeoutMs) {
    if (!Send(cmd + "\r")) return std::nullopt;
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        const std::size_t cr = m_buf.find('\r');
        if (cr != std::string::npos) {
            std::string line = m_buf.substr(0, cr);
            m_buf.erase(0, cr + 1);
            if (line == "OK" || line == "NG" || (!line.empty() && line[0] == '=')) return line;
            continue;  // not a reply: skipped
        }
        if (Remaining(end) <= 0 || !Fill(Remaining(end))) return std::nullopt;
    }
}

std::optional<Conn::Reply> Conn::Request(std::uint8_t cmd, const Bytes& params, int timeoutMs) {
    if (!Send(Frame(cmd, params))) return std::nullopt;
    return ReadReply(cmd, timeoutMs);
}

std::optional<Conn::Reply> Conn::ReadReply(std::uint8_t cmd, int timeoutMs) {
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        const std::size_t start = m_buf.find(static_cast<char>(0xAA));
        if (start != std::string::npos) {
            m_buf.erase(0, start);
            if (m_buf.size() >= 5) {
                const std::size_t l = static_cast<std::uint8_t>(m_buf[2]) | (static_cast<std::uint8_t>(m_buf[3]) << 8);
                const bool refused = static_cast<std::uint8_t>(m_buf[4]) == 0xFE;
                const std::size_t total = refused ? 6 : 4 + l + 1;
                if (m_buf.size() >= total) {
                    Reply r;
                    r.cmd = static_cast<std::uint8_t>(m_buf[1]);
                    r.status = static_cast<std::uint8_t>(m_buf[4]);
                    if (!refused && l >= 1) r.data.assign(m_buf.begin() + 5, m_buf.begin() + 4 + static_cast<long>(l));
                    unsigned sum = 0;
                    for (std::size_t i = 0; i + 1 < total; ++i) sum += static_cast<std::uint8_t>(m_buf[i]);
                    r.checksumOk = static_cast<std::uint8_t>(m_buf[total - 1]) == static_cast<std::uint8_t>(0xFF - (sum & 0xFF));
                    m_buf.erase(0, total);
                    if (r.cmd == cmd) return r;
                    continue;
                }
            }
        } else {
            m_buf.clear();
        }
        if (Remaining(end) <= 0 || !Fill(Remaining(end))) return std::nullopt;
    }
}

}  // namespace simtest
