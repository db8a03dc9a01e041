#pragma once
// A small display for the tests: listens on one loopback address, serves one
// connection at a time with a scripted handler and records what it received.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace fake {

using Bytes = std::vector<std::uint8_t>;

struct Request {
    bool logout = false;  // the single logout byte instead of a frame
    std::uint8_t command = 0;
    Bytes params;
    bool checksumOk = false;
};

// Reply frame AA cmd LLo LHi status data... sum (dakoral::BuildReply).
Bytes Reply(std::uint8_t command, const Bytes& data, std::uint8_t status = 0x00);
// Refusal AA cmd 01 00 FE sum.
Bytes Nack(std::uint8_t command);
// A frame with any length field and body (also one no display sends, such as
// a length field that does not match the body), checksum computed over what
// is given.
Bytes RawFrame(std::uint8_t command, std::uint16_t lengthField, const Bytes& body);

class FakeDisplay;

class Conn {
public:
    Conn(FakeDisplay& server, int fd) : m_server(server), m_fd(fd) {}
    // Reads one request frame with dakoral::RequestParser (bytes before 0xAA
    // are skipped; a lone 0x03 is the logout). False when the client closed,
    // the server stops or time runs out.
    bool ReadRequest(Request& req, int timeoutMs = 5000);
    // Reads one CR LF terminated line (without the CR LF).
    bool ReadLine(std::string& line, int timeoutMs = 5000);
    // False when the client is gone or the server stops.
    bool Send(const Bytes& bytes);
    bool Send(std::string_view text);
    // Reads and drops whatever comes until the client closes (or time runs out).
    void DrainUntilClosed(int timeoutMs);
    void Close();

private:
    bool ReadByte(std::uint8_t& b, int timeoutMs);

    FakeDisplay& m_server;
    int m_fd;
    Bytes m_buf;  // received, not yet consumed
    std::size_t m_pos = 0;
};

class FakeDisplay {
public:
    using Handler = std::function<void(Conn&)>;
    // Listens on ip and port (0: an ephemeral port) and runs `handler` for
    // every connection, one after the other.
    FakeDisplay(const std::string& ip, Handler handler, int port = 0);
    ~FakeDisplay();
    FakeDisplay(const FakeDisplay&) = delete;
    FakeDisplay& operator=(const FakeDisplay&) = delete;

    int Port() const { return m_port; }
    // "LAN<ip>:<port>"
    std::string Iface() const;
    int Connections() const { return m_connections.load(); }
    std::vector<Request> Requests() const;
    bool Stopping() const { return m_stop.load(); }

    // A handler that answers every request with answer(request) (nothing when
    // empty) and the logout byte with 0x03 before closing.
    static Handler Answering(std::function<Bytes(const Request&)> answer);

private:
    friend class Conn;
    void Run();
    void RecordRequest(const Request& r);

    std::string m_ip;
    Handler m_handler;
    int m_listen = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_connections{0};
    mutable std::mutex m_mutex;
    std::vector<Request> m_requests;
    std::thread m_thread;
};

// A one-shot signal between the server thread and the test.
class Event {
public:
    void Set();
    bool Wait(int timeoutMs);

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_set = false;
};

}  // namespace fake
