#include "SimProcess.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>

namespace linktest {

namespace {

using Clock = std::chrono::steady_clock;

bool WaitChild(pid_t pid, int timeoutMs, int& status) {
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        const pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid) return true;
        if (r < 0 || Clock::now() >= end) return false;
        ::usleep(10000);
    }
}

}  // namespace

bool SimProcess::Start(const std::vector<std::string>& args) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return false;
    std::vector<std::string> store{DISPLAY_SIM_PATH};
    store.insert(store.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& s : store) argv.push_back(s.data());
    argv.push_back(nullptr);
    m_pid = ::fork();
    if (m_pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlive a test that dies
        ::dup2(fds[1], 1);
        const int devnull = ::open("/dev/null", O_WRONLY);
        if (devnull >= 0) ::dup2(devnull, 2);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    m_out = fds[0];
    if (m_pid < 0) return false;
    const auto end = Clock::now() + std::chrono::seconds(10);
    while (m_line.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        pollfd p{m_out, POLLIN, 0};
        if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0) return false;
        char buf[256];
        const ssize_t n = ::read(m_out, buf, sizeof buf);
        if (n <= 0) return false;
        m_line.append(buf, static_cast<std::size_t>(n));
    }
    m_line.erase(m_line.find('\n'));
    return true;
}

int SimProcess::Stop() {
    if (m_pid <= 0) return -1;
    ::kill(m_pid, SIGTERM);
    int status = 0;
    if (!WaitChild(m_pid, 10000, status)) {
        ::kill(m_pid, SIGKILL);
        WaitChild(m_pid, 10000, status);
        status = -1;
    }
    m_pid = -1;
    if (m_out >= 0) ::close(m_out);
    m_out = -1;
    if (status == -1) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

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

TempDir::TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "linktest-XXXXXX").string();
    if (char* p = ::mkdtemp(tmpl.data())) m_path = p;
}

TempDir::~TempDir() {
    std::error_code ec;
    if (!m_path.empty()) std::filesystem::remove_all(m_path, ec);
}

void WriteFile(const std::filesystem::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
}

std::string ReadFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace linktest
