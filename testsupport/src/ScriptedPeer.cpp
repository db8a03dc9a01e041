#include "testsupport/ScriptedPeer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace testsupport {

ScriptedPeer::ScriptedPeer(const std::string& addr, int port, std::vector<std::string> answers,
                           std::string greeting)
    : m_listening(true), m_answers(std::move(answers)), m_greeting(std::move(greeting)) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    ::inet_pton(AF_INET, addr.c_str(), &a.sin_addr);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 4) != 0) {
        if (fd >= 0) ::close(fd);
        return;
    }
    m_fd = fd;
    m_thread = std::thread([this] { Run(); });
}

ScriptedPeer::ScriptedPeer(std::vector<std::string> answers) : m_answers(std::move(answers)) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        if (master >= 0) ::close(master);
        return;
    }
    m_path = ::ptsname(master);
    m_slave = ::open(m_path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios t{};
    ::tcgetattr(m_slave, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(m_slave, TCSANOW, &t);
    m_fd = master;
    m_thread = std::thread([this] { Run(); });
}

ScriptedPeer::~ScriptedPeer() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
    if (m_slave >= 0) ::close(m_slave);
    if (m_fd >= 0) ::close(m_fd);
}

std::vector<std::string> ScriptedPeer::Requests() {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_requests;
}

void ScriptedPeer::Run() {
    int conn = m_listening ? -1 : m_fd;
    std::string burst;
    while (!m_stop) {
        if (conn < 0) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0) continue;
            conn = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
            if (conn >= 0 && !m_greeting.empty())
                (void)::send(conn, m_greeting.data(), m_greeting.size(), MSG_NOSIGNAL);
            if (conn >= 0) ++m_connections;
            continue;
        }
        pollfd p{conn, POLLIN, 0};
        if (::poll(&p, 1, 20) > 0) {
            char buf[512];
            const ssize_t n = ::read(conn, buf, sizeof buf);
            if (n > 0) {
                burst.append(buf, static_cast<std::size_t>(n));
            } else if (m_listening) {
                ::close(conn);
                conn = -1;
            }
            continue;
        }
        if (burst.empty()) continue;
        std::size_t i;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_requests.push_back(burst);
            i = m_requests.size() - 1;
        }
        burst.clear();
        const std::string answer = i < m_answers.size() ? m_answers[i] : std::string();
        if (answer == "<close>" && m_listening) {
            ::close(conn);
            conn = -1;
        } else if (!answer.empty()) {
            (void)::write(conn, answer.data(), answer.size());
        }
    }
    if (m_listening && conn >= 0) ::close(conn);
}

}  // namespace testsupport
