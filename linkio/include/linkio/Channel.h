#pragma once
// Byte channels of the link libraries: a TCP connection or a serial line, with
// every read and write bounded by a deadline and an optional cancel flag.
// A Channel belongs to one thread at a time; the functions are reentrant.

#include <netinet/in.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace linkio {

using Clock = std::chrono::steady_clock;

// A point in time after which a wait gives up.
class Deadline {
public:
    explicit Deadline(int ms) : m_end(Clock::now() + std::chrono::milliseconds(ms < 0 ? 0 : ms)) {}
    // Milliseconds left, 0 when passed.
    int Remaining() const;
    bool Passed() const { return Remaining() == 0; }

private:
    Clock::time_point m_end;
};

enum class IoResult { kOk, kTimeout, kClosed, kError, kCancelled };

class Channel {
public:
    // Takes `fd`, which must not block (O_NONBLOCK): writes are tried at once.
    Channel(int fd, bool socket, std::string name);
    ~Channel();
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;

    // Writes every byte before the deadline. `sent` (may be null) receives how
    // many bytes went out, also when the write fails part-way: kOk means all n;
    // kTimeout, kCancelled, kClosed or kError may leave a fragment on the wire.
    IoResult Write(const std::uint8_t* data, std::size_t n, const Deadline& deadline, const int* cancel,
                   std::size_t* sent = nullptr);
    IoResult Write(std::string_view text, const Deadline& deadline, const int* cancel,
                   std::size_t* sent = nullptr) {
        return Write(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), deadline, cancel, sent);
    }
    // Waits for bytes until the deadline and reads what is there (at most cap);
    // `got` receives the count (> 0 with kOk).
    IoResult Read(std::uint8_t* buf, std::size_t cap, std::size_t& got, const Deadline& deadline,
                  const int* cancel);
    // Reads what has already arrived (at most cap), without waiting: kOk with
    // `got` 0 when nothing has; kClosed when the peer closed the connection;
    // kError when reading failed.
    IoResult ReadArrived(std::uint8_t* buf, std::size_t cap, std::size_t& got);
    // Drops bytes that arrived before now (a late reply to an earlier
    // request), at most `maxBytes` so that a flooding peer cannot hold the
    // caller. kOk; kClosed when the peer closed the connection; kError when
    // reading failed (errno tells why).
    IoResult DiscardInput(std::size_t maxBytes = 128 * 1024);
    // Reads and drops bytes until `quietMs` pass without one (a serial line
    // after a request that timed out: its late reply must not be taken for
    // the next one). kOk once the line was quiet; kTimeout when it never fell
    // quiet before `deadline`; kClosed, kError or kCancelled as for Read.
    IoResult DiscardUntilQuiet(int quietMs, const Deadline& deadline, const int* cancel);
    // DiscardUntilQuiet after a request that gave up: quiet for one reply
    // time, and given up (kTimeout) after `limitInReplyTimes` reply times so
    // that a line that never falls quiet fails the caller instead of holding it.
    IoResult DiscardLateReply(int replyMs, int limitInReplyTimes, const int* cancel);

    // Waits until bytes can be written (a TCP connect in progress has ended).
    IoResult WaitWritable(const Deadline& deadline, const int* cancel);
    // For a connected socket: Read then waits in the receive call itself, in
    // slices of the socket's receive timeout, instead of polling before it
    // (one system call a read instead of two). Makes the descriptor block;
    // writes still never wait but for room. Nothing changes when the socket
    // refuses either setting.
    void WaitInRecv();

    bool IsSocket() const { return m_socket; }
    const std::string& Name() const { return m_name; }

private:
    // Waits for `events` in slices so that the cancel flag is seen.
    IoResult Wait(short events, const Deadline& deadline, const int* cancel);

    int m_fd;
    bool m_socket;
    bool m_closed = false;
    bool m_waitInRecv = false;  // Read waits in recv (see WaitInRecv)
    std::string m_name;
};

// The IPv4 address of `host` (dotted, or a name looked up). False with the
// look-up's code (getaddrinfo) in `lookupCode`.
bool ResolveIpv4(const std::string& host, in_addr& out, int& lookupCode);

// TCP connection to address:port within timeoutMs (TCP_NODELAY set), the
// channel named `name`. Null with `result` kTimeout (err ETIMEDOUT),
// kCancelled (as soon as `cancel`, may be null, is set; err 0) or kError
// (err the errno of the failure).
std::unique_ptr<Channel> ConnectIpv4(const in_addr& address, int port, const std::string& name, int timeoutMs,
                                     const int* cancel, IoResult& result, int& err);

// TCP connection to host:port (IPv4 address or host name), within timeoutMs;
// gives up as soon as `cancel` (may be null) is set.
std::unique_ptr<Channel> ConnectTcp(const std::string& host, int port, int timeoutMs, const int* cancel,
                                    std::string& error);
// The same to an address already looked up; `name` names the channel and
// the peer in `error`.
std::unique_ptr<Channel> ConnectTcp(const in_addr& address, int port, const std::string& name, int timeoutMs,
                                    const int* cancel, std::string& error);

// Opens a serial device raw, 8 data bits, no parity, 1 stop bit, no flow control.
// Fails for a baud rate the line does not know.
std::unique_ptr<Channel> OpenSerial(const std::string& device, int baud, std::string& error);
bool IsSupportedBaud(int baud);

// Port names.
//   "LAN" + host [":" port]: a TCP port (host kept as given, port 10008 when
//   missing, 0 or not a number in 1..65535).
//   "COMn" (n 1..256, any case): a serial port; its device is the value of the
//   key "COMn" in the section [Ports] of `settings` when set, else /dev/ttyS<n-1>.
//   A text starting with "/": a serial device path used as it is.
struct PortSpec {
    enum Kind { kTcp, kSerial } kind = kTcp;
    std::string host;  // kTcp
    int port = 10008;  // kTcp
    std::string device;  // kSerial
};
std::optional<PortSpec> ParsePort(std::string_view text, const std::filesystem::path& settings);

// The folder of a link library's settings file: the environment variable
// `envName` when set and not empty (tests, unusual installations), else the
// folder of the running program.
std::filesystem::path SettingsDir(const char* envName);
// The settings file `name` of that folder to read: the user's own copy when
// the folder is not the user's and the user has one, else the folder's file
// (cmn::SettingsFileToRead).
std::filesystem::path SettingsFile(const char* envName, std::string_view name);

}  // namespace linkio
