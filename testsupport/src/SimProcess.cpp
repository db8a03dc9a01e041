#include "testsupport/SimProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "ProcessWait.h"
#include "testsupport/TempDir.h"

namespace testsupport {

namespace {

using detail::ExitCode;
using detail::WaitChild;

using Clock = std::chrono::steady_clock;

int Remaining(Clock::time_point end) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
    return ms < 0 ? 0 : static_cast<int>(ms);
}

// Forks display-sim with standard output to `outFd` and standard error to
// `errFd`; the child dies with the test.
pid_t Spawn(const std::vector<std::string>& args, int outFd, int errFd) {
    std::vector<std::string> store{DisplaySimPath()};
    store.insert(store.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& s : store) argv.push_back(s.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        ::dup2(outFd, 1);
        ::dup2(errFd, 2);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    return pid;
}

int MakeErrorFile(std::string& path) {
    std::string tmpl = (std::filesystem::temp_directory_path() / "display-sim-err-XXXXXX").string();
    const int fd = ::mkstemp(tmpl.data());
    if (fd >= 0) path = tmpl;
    return fd;
}

}  // namespace

const char* DisplaySimPath() { return DISPLAY_SIM_PATH; }

SimProcess::~SimProcess() {
    Stop(SIGKILL);
    if (!m_errPath.empty()) ::unlink(m_errPath.c_str());
}

bool SimProcess::Start(const std::vector<std::string>& args) {
    // A stopped simulator may be started again: its first line is the new one's.
    m_line.clear();
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return false;
    const int errFd = MakeErrorFile(m_errPath);
    if (errFd < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return false;
    }
    m_pid = Spawn(args, fds[1], errFd);
    ::close(fds[1]);
    ::close(errFd);
    m_out = fds[0];
    if (m_pid < 0) return false;
    const auto end = Clock::now() + std::chrono::seconds(10);
    while (m_line.find('\n') == std::string::npos) {
        pollfd p{m_out, POLLIN, 0};
        if (::poll(&p, 1, Remaining(end)) <= 0) return false;
        char buf[256];
        const ssize_t n = ::read(m_out, buf, sizeof buf);
        if (n <= 0) return false;
        m_line.append(buf, static_cast<std::size_t>(n));
    }
    m_line.erase(m_line.find('\n'));
    return true;
}

int SimProcess::Stop(int sig) {
    if (m_pid <= 0) return -1;
    ::kill(m_pid, sig);
    int status = 0;
    bool ended = WaitChild(m_pid, 10000, status);
    if (!ended) {
        ::kill(m_pid, SIGKILL);
        WaitChild(m_pid, 10000, status);
    }
    m_pid = -1;
    if (m_out >= 0) ::close(m_out);
    m_out = -1;
    return ended ? ExitCode(status) : -1;
}

std::string SimProcess::ErrorText() const { return m_errPath.empty() ? std::string() : ReadFile(m_errPath); }

int RunSimToExit(const std::vector<std::string>& args, std::string& err) {
    std::string errPath;
    const int errFd = MakeErrorFile(errPath);
    if (errFd < 0) return -1;
    const int devnull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    const pid_t pid = Spawn(args, devnull, errFd);
    ::close(errFd);
    if (devnull >= 0) ::close(devnull);
    int status = 0;
    int code = -1;
    if (pid > 0) {
        if (WaitChild(pid, 10000, status)) {
            code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        } else {
            ::kill(pid, SIGKILL);
            WaitChild(pid, 10000, status);
        }
    }
    err = ReadFile(errPath);
    ::unlink(errPath.c_str());
    return code;
}

LoopbackAddress::LoopbackAddress() {
    const auto dir = std::filesystem::temp_directory_path();
    for (int hi = 1; hi <= 9 && m_text.empty(); ++hi) {
        for (int lo = 1; lo <= 254; ++lo) {
            const std::string text = "127.0." + std::to_string(hi) + "." + std::to_string(lo);
            const auto lockPath = dir / ("quendra-test-addr-" + text + ".lock");
            const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
            if (fd < 0) continue;
            if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
                m_lockFd = fd;
                m_text = text;
                m_shortForm = "127." + std::to_string(hi * 256 + lo);
                break;
            }
            ::close(fd);
        }
    }
}

LoopbackAddress::~LoopbackAddress() {
    if (m_lockFd >= 0) ::close(m_lockFd);
}

}  // namespace testsupport
