#pragma once
// Test support shared by the link library tests: display-sim as a child
// process, a scripted misbehaving peer, temporary folders. Every wait is bounded.

#include <sys/types.h>

#include <atomic>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace linktest {

class SimProcess {
public:
    SimProcess() = default;
    ~SimProcess() { Stop(); }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // Starts display-sim with `args`; waits at most 10 s for its first line
    // ("listening ..." or, with --serial, the pseudo-terminal's path).
    bool Start(const std::vector<std::string>& args);
    const std::string& Line() const { return m_line; }
    // SIGTERM, then SIGKILL after 10 s; the exit status or -1.
    int Stop();

private:
    pid_t m_pid = -1;
    int m_out = -1;
    std::string m_line;
};

// What display-sim does not do: a peer that answers the n-th request (a
// burst of bytes followed by 20 ms of quiet) with answers[n], nothing when the
// answer is empty or missing, and closes the connection for "<close>".
// Over TCP it accepts connections one after another and sends `greeting` on
// each; over a pseudo-terminal it keeps the line open.
class ScriptedPeer {
public:
    ScriptedPeer(const std::string& addr, int port, std::vector<std::string> answers, std::string greeting = "");
    explicit ScriptedPeer(std::vector<std::string> answers);  // pseudo-terminal
    ~ScriptedPeer();
    bool Ok() const { return m_fd >= 0; }
    const std::string& Path() const { return m_path; }  // the pseudo-terminal's device
    std::vector<std::string> Requests();

private:
    void Run();
    bool m_listening = false;
    int m_fd = -1;     // listening socket or pseudo-terminal master
    int m_slave = -1;  // pseudo-terminal: held open like a display's line
    std::string m_path;
    std::vector<std::string> m_answers;
    std::string m_greeting;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    std::mutex m_lock;
    std::vector<std::string> m_requests;
};

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

void WriteFile(const std::filesystem::path& p, const std::string& bytes);
std::string ReadFile(const std::filesystem::path& p);

}  // namespace linktest
