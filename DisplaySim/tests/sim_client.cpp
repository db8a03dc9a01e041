#include "sim_client.h"

#include <arpa/inet.h>
#include <dakoral/Frame.h>
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
    dakoral::BuildRequest(cmd, params.data(), params.size(), f);
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
    dakoral::ReplyParser parser(cmd);
    while (true) {
        const std::size_t used =
            parser.FeedAll(reinterpret_cast<const std::uint8_t*>(m_buf.data()), m_buf.size());
        m_buf.erase(0, used);
        if (parser.Finished()) {
            Reply r;
            r.refused = parser.Current() == dakoral::ReplyParser::kRefused;
            r.data.assign(parser.Data(), parser.Data() + parser.Stored());
            return r;
        }
        if (Remaining(end) <= 0 || !Fill(Remaining(end))) return std::nullopt;
    }
}

}  // namespace simtest
