#pragma once
// What display-sim does not do: a peer that answers the n-th request (a burst
// of bytes followed by 20 ms of quiet) with answers[n], nothing when the answer
// is empty or missing, and closes the connection for "<close>".
// Over TCP it accepts connections one after another and sends `greeting` on
// each; over a pseudo-terminal it keeps the line open.
// Requests() may be called from any thread.

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

class ScriptedPeer {
public:
    ScriptedPeer(const std::string& addr, int port, std::vector<std::string> answers, std::string greeting = "");
    explicit ScriptedPeer(std::vector<std::string> answers);  // pseudo-terminal
    ~ScriptedPeer();
    ScriptedPeer(const ScriptedPeer&) = delete;
    ScriptedPeer& operator=(const ScriptedPeer&) = delete;
    bool Ok() const { return m_fd >= 0; }
    const std::string& Path() const { return m_path; }  // the pseudo-terminal's device
    std::vector<std::string> Requests();
    // Connections accepted so far (TCP), each counted once its greeting is sent.
    int Connections() const { return m_connections.load(); }

private:
    void Run();
    bool m_listening = false;
    int m_fd = -1;     // listening socket or pseudo-terminal master
    int m_slave = -1;  // pseudo-terminal: held open like a display's line
    std::string m_path;
    std::vector<std::string> m_answers;
    std::string m_greeting;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_connections{0};
    std::thread m_thread;
    std::mutex m_lock;
    std::vector<std::string> m_requests;
};

}  // namespace testsupport
