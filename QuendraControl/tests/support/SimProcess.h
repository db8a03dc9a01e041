#pragma once
// Test support shared by the link library tests: display-sim as a child
// process (on its own 127.0.0.x address or a pseudo-terminal) and a private
// settings folder. Every wait is bounded.

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace linktest {

class SimProcess {
public:
    SimProcess() = default;
    ~SimProcess() { Stop(); }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // Starts display-sim with `args` and waits at most 10 s for its first line
    // ("listening ..." or the pseudo-terminal's path).
    bool Start(const std::vector<std::string>& args);
    // The first line; for --serial the device path.
    const std::string& Line() const { return m_line; }
    // SIGTERM, then SIGKILL after 10 s; returns the exit status or -1.
    int Stop();

private:
    pid_t m_pid = -1;
    int m_out = -1;
    std::string m_line;
};

// A temporary folder removed with the object.
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

#include <atomic>
#include <mutex>
#include <thread>

namespace linktest {

// A misbehaving display for what display-sim does not do: listens on
// addr:port, accepts connections one after another and answers the n-th
// request line (ended by CR) of a connection with answers[n] (nothing when
// there are fewer answers); "<close>" closes the connection instead.
// `greeting` is sent on connect.
class ScriptedDisplay {
public:
    ScriptedDisplay(const std::string& addr, int port, std::vector<std::string> answers,
                    std::string greeting = "");
    ~ScriptedDisplay();
    bool Ok() const { return m_listen >= 0; }
    // Everything received so far (all connections).
    std::string Received();

private:
    void Run();
    int m_listen = -1;
    std::vector<std::string> m_answers;
    std::string m_greeting;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    std::mutex m_lock;
    std::string m_received;
};

}  // namespace linktest
