#pragma once
// A program of this build run as a child process of a test: its own working
// folder and environment changes, standard input from /dev/null, standard
// output and error collected in files. Every wait is bounded; the child is
// killed when the object dies.
// Not thread-safe: one object belongs to one test thread.

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "testsupport/TempDir.h"

namespace testsupport {

struct ChildOptions {
    std::filesystem::path cwd;                                // empty: the test's folder
    std::vector<std::pair<std::string, std::string>> setEnv;  // variables set in the child
    std::vector<std::string> unsetEnv;                        // variables removed in the child
    bool ownGroup = false;  // the child leads a process group of its own, as a shell's job does
};

// Options whose child keeps the LAN library's log and the lock files in
// `scratch` (one folder per test), so that tests never share them.
ChildOptions ScratchChildOptions(const std::filesystem::path& scratch);

class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts argv[0] with the arguments; false when it could not be started.
    bool Start(const std::vector<std::string>& argv, const ChildOptions& options = {});
    pid_t Pid() const { return m_pid; }
    // Sends a signal to the running child.
    void Signal(int sig);
    // Sends a signal to the child's whole process group (ownGroup), as a
    // terminal sends Ctrl+C to its foreground job.
    void SignalGroup(int sig);
    // Waits at most `timeoutMs` for the end; the exit code, 128 + signal for a
    // killed child, or -1 on time-out (the child is then killed).
    int Wait(int timeoutMs = 60000);
    // What the child wrote so far.
    std::string Output() const;
    std::string ErrorText() const;

private:
    TempDir m_dir;
    pid_t m_pid = -1;
};

// Runs a program to its end (at most `timeoutMs`); the exit code as Wait()
// gives it, standard output and error in `out` and `err`.
int RunChild(const std::vector<std::string>& argv, const ChildOptions& options, std::string& out,
             std::string& err, int timeoutMs = 60000);

}  // namespace testsupport
