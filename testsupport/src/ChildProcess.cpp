#include "testsupport/ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include "ProcessWait.h"

namespace testsupport {

ChildProcess::~ChildProcess() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
}

bool ChildProcess::Start(const std::vector<std::string>& argv, const ChildOptions& options) {
    if (argv.empty() || m_pid > 0 || m_dir.Path().empty()) return false;
    std::vector<std::string> args = argv;
    std::vector<char*> ptrs;
    for (std::string& a : args) ptrs.push_back(a.data());
    ptrs.push_back(nullptr);
    const std::string out = (m_dir.Path() / "stdout").string(), err = (m_dir.Path() / "stderr").string();
    const pid_t pid = ::fork();
    if (pid < 0) return false;
    if (pid == 0) {
        if (options.ownGroup) ::setpgid(0, 0);
        const int in = ::open("/dev/null", O_RDONLY);
        const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || o < 0 || e < 0) ::_exit(126);
        if (!options.cwd.empty() && ::chdir(options.cwd.c_str()) != 0) ::_exit(126);
        ::dup2(in, 0);
        ::dup2(o, 1);
        ::dup2(e, 2);
        for (const std::string& v : options.unsetEnv) ::unsetenv(v.c_str());
        for (const auto& [name, value] : options.setEnv) ::setenv(name.c_str(), value.c_str(), 1);
        ::execv(ptrs[0], ptrs.data());
        ::_exit(127);
    }
    // Set on both sides: a signal to the group may follow at once.
    if (options.ownGroup) ::setpgid(pid, pid);
    m_pid = pid;
    return true;
}

void ChildProcess::Signal(int sig) {
    if (m_pid > 0) ::kill(m_pid, sig);
}

void ChildProcess::SignalGroup(int sig) {
    if (m_pid > 0) ::kill(-m_pid, sig);
}

int ChildProcess::Wait(int timeoutMs) {
    if (m_pid <= 0) return -1;
    int status = 0;
    const bool ended = detail::WaitChild(m_pid, timeoutMs, status);
    if (!ended) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    m_pid = -1;
    return ended ? detail::ExitCode(status) : -1;
}

std::string ChildProcess::Output() const {
    return ReadFile(m_dir.Path() / "stdout");
}
std::string ChildProcess::ErrorText() const {
    return ReadFile(m_dir.Path() / "stderr");
}

int RunChild(const std::vector<std::string>& argv, const ChildOptions& options, std::string& out,
             std::string& err, int timeoutMs) {
    ChildProcess child;
    if (!child.Start(argv, options)) return -1;
    const int code = child.Wait(timeoutMs);
    out = child.Output();
    err = child.ErrorText();
    return code;
}

ChildOptions ScratchChildOptions(const std::filesystem::path& scratch) {
    ChildOptions options;
    options.setEnv = {{"QUENDRA_DAKORAL_DIR", scratch.string()}, {"QUENDRA_LOCK_DIR", scratch.string()}};
    return options;
}

}  // namespace testsupport
