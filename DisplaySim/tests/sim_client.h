#pragma once
// A plain client for the integration tests: talks to display-sim over TCP or
// its pseudo-terminal. Every wait is bounded.

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace simtest {

using Bytes = std::vector<std::uint8_t>;

class Conn {
public:
    Conn() = default;
    ~Conn();
    Conn(const Conn&) = delete;
    Conn& operator=(const Conn&) = delete;

    bool ConnectTcp(const std::string& addr, int port);
    bool OpenTty(const std::string& path);
    void Close();
    bool Send(const std::string& bytes);
    bool Send(const Bytes& bytes) { return Send(std::string(bytes.begin(), bytes.end())); }
    // Reads until `until` appears in the received bytes or timeoutMs passes.
    // Returns everything read so far (and keeps nothing back).
    std::string ReadUntil(const std::string& until, int timeoutMs);
    // Reads whatever arrives within timeoutMs.
    std::string ReadFor(int timeoutMs);
    // True when the peer closed the connection within timeoutMs.
    bool WaitClosed(int timeoutMs);

    // Text command: sends cmd + CR, returns the reply line without CR
    // (skipping lines that are not OK, NG or "=..."); nullopt on time-out.
    std::optional<std::string> Command(const std::string& cmd, int timeoutMs = 3000);

    struct Reply {
        bool refused = false;  // status 0xFE
        Bytes data;
    };
    // Binary exchange: sends a request frame and reads the reply as the PC
    // does (dakoral::ReplyParser: noise, damaged frames and replies to other
    // commands are passed over); nullopt on time-out.
    std::optional<Reply> Request(std::uint8_t cmd, const Bytes& params, int timeoutMs = 3000);
    std::optional<Reply> ReadReply(std::uint8_t cmd, int timeoutMs);

private:
    bool Fill(int timeoutMs);  // one bounded read into m_buf; false on time-out or close
    int m_fd = -1;
    bool m_closed = false;
    std::string m_buf;
};

// A request frame (dakoral::BuildRequest).
Bytes Frame(std::uint8_t cmd, const Bytes& params);

}  // namespace simtest
