#pragma once
// display-sim as a child process of a test, and loopback addresses that no
// other test process uses at the same time. Every wait is bounded.
// Not thread-safe: one SimProcess belongs to one test thread.

#include <sys/types.h>

#include <string>
#include <vector>

namespace testsupport {

// The display-sim executable of this build.
const char* DisplaySimPath();

class SimProcess {
public:
    SimProcess() = default;
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // Starts display-sim with `args`; waits at most 10 s for its first line
    // ("listening ..." or, with --serial, the pseudo-terminal's path). The
    // child is killed when the test process dies.
    bool Start(const std::vector<std::string>& args);
    // The first line the simulator printed, without its line end.
    const std::string& Line() const { return m_line; }
    pid_t Pid() const { return m_pid; }
    // Sends `sig` (SIGTERM by default), then SIGKILL after 10 s; returns the
    // exit code, 128 + signal for a killed child, or -1.
    int Stop(int sig = 15);
    // What the simulator wrote to standard error so far.
    std::string ErrorText() const;

private:
    pid_t m_pid = -1;
    int m_out = -1;
    std::string m_line;
    std::string m_errPath;
};

// Runs display-sim to its end (bad command lines, --help); returns the exit
// code (-1 when it could not run or did not end within 10 s) and its standard
// error in `err`.
int RunSimToExit(const std::vector<std::string>& args, std::string& err);

// A loopback address held for this process until the object dies: an
// address in 127.0.1.1 .. 127.0.9.254, claimed with a lock file in the
// temporary folder that the kernel releases when the process ends. Tests
// that start servers take one each, so parallel tests never meet on a port.
class LoopbackAddress {
public:
    LoopbackAddress();
    ~LoopbackAddress();
    LoopbackAddress(const LoopbackAddress&) = delete;
    LoopbackAddress& operator=(const LoopbackAddress&) = delete;
    // Empty when every address is taken.
    const std::string& Text() const { return m_text; }
    operator const std::string&() const { return m_text; }
    // The same address written otherwise: "127.N" for "127.0.X.Y".
    const std::string& ShortForm() const { return m_shortForm; }

private:
    int m_lockFd = -1;
    std::string m_text;
    std::string m_shortForm;
};

}  // namespace testsupport
