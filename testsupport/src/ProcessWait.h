#pragma once
// Waiting for a child process of a test, shared by the child helpers.

#include <poll.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

namespace testsupport::detail {

// Waits at most `timeoutMs` for `pid` to end; false on time-out or when it
// is no child of this process. Waits on the process's descriptor where the
// kernel has one (woken by the exit itself), else looks every 5 ms.
inline bool WaitChild(pid_t pid, int timeoutMs, int& status) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
#ifdef SYS_pidfd_open
    const int exitFd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
    const int exitFd = -1;
#endif
    bool ended = false;
    while (true) {
        const pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid) ended = true;
        const auto now = std::chrono::steady_clock::now();
        if (ended || r < 0 || now >= end) break;
        if (exitFd >= 0) {
            pollfd p{exitFd, POLLIN, 0};
            ::poll(&p, 1, static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(end - now).count()) + 1);
        } else {
            ::usleep(5000);
        }
    }
    if (exitFd >= 0) ::close(exitFd);
    return ended;
}

// The exit code of an ended child, 128 + signal for a killed one.
inline int ExitCode(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}

}  // namespace testsupport::detail
