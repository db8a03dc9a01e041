#include "SimProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>

namespace linktest {

namespace {

bool WaitChild(pid_t pid, int timeoutMs, int& status) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        const pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid) return true;
        if (r < 0 || std::chrono::steady_clock::now() >= end) return false;
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
        // The simulator must not outlive a test that dies.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        ::dup2(fds[1], 1);
        const int devnull = ::open("/dev/null", O_WRONLY);
        if (devnull >= 0) ::dup2(devnull, 2);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    m_out = fds[0];
    if (m_pid < 0) return false;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (m_line.find('\n') == std::string::npos) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
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

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace linktest {

ScriptedDisplay::ScriptedDisplay(const std::string& addr, int port, std::vector<std::string> answers,
                                 std::string greeting)
    : m_answers(std::move(answers)), m_greeting(std::move(greeting)) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return;
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    ::inet_pton(AF_INET, addr.c_str(), &a.sin_addr);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 4) != 0) {
        ::close(fd);
        return;
    }
    m_listen = fd;
    m_thread = std::thread([this] { Run(); });
}

ScriptedDisplay::~ScriptedDisplay() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
    if (m_listen >= 0) ::close(m_listen);
}

std::string ScriptedDisplay::Received() {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_received;
}

void ScriptedDisplay::Run() {
    while (!m_stop) {
        pollfd p{m_listen, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        const int c = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
        if (c < 0) continue;
        if (!m_greeting.empty()) (void)::send(c, m_greeting.data(), m_greeting.size(), MSG_NOSIGNAL);
        std::size_t n = 0;
        bool open = true;
        while (open && !m_stop) {
            pollfd q{c, POLLIN, 0};
            if (::poll(&q, 1, 50) <= 0) continue;
            char buf[256];
            const ssize_t k = ::read(c, buf, sizeof buf);
            if (k <= 0) break;
            {
                std::lock_guard<std::mutex> lock(m_lock);
                m_received.append(buf, static_cast<std::size_t>(k));
            }
            for (ssize_t i = 0; i < k && open; ++i) {
                if (buf[i] != '\r') continue;
                if (n < m_answers.size()) {
                    const std::string& a = m_answers[n];
                    if (a == "<close>")
                        open = false;
                    else
                        (void)::send(c, a.data(), a.size(), MSG_NOSIGNAL);
                }
                ++n;
            }
        }
        ::close(c);
    }
}

}  // namespace linktest
