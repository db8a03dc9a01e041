#pragma once
// Waiting for a child process of a test, shared by the child helpers.

#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

namespace testsupport::detail {

// Waits at most `timeoutMs` for `pid` to end; false on time-out or when it
// is no child of this process.
inline bool WaitChild(pid_t pid, int timeoutMs, int& status) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        const pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid) return true;
        if (r < 0 || std::chrono::steady_clock::now() >= end) return false;
        ::usleep(5000);
    }
}

// The exit code of an ended child, 128 + signal for a killed one.
inline int ExitCode(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}

}  // namespace testsupport::detail
