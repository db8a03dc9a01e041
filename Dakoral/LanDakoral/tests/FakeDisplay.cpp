#include "FakeDisplay.h"

#include <arpa/inet.h>
#include <dakoral/Frame.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <stdexcept>

namespace fake {

namespace {

using Clock = std::chrono::steady_clock;

int MsLeft(Clock::time_point deadline) {
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return ms < 0 ? 0 : static_cast<int>(ms);
}

}  // namespace

Bytes RawFrame(std::uint8_t command, std::uint16_t lengthField, const Bytes& body) {
    Bytes f{dakoral::kFrameStart, command, static_cast<std::uint8_t>(lengthField & 0xFF),
            static_cast<std::uint8_t>(lengthField >> 8)};
    for (auto b : body) f.push_back(b);  // (insert() trips a false -Warray-bounds in g++ 12)
    f.push_back(dakoral::Checksum(f.data(), f.size()));
    return f;
}

Bytes Reply(std::uint8_t command, const Bytes& data, std::uint8_t status) {
    Bytes f;
    dakoral::BuildReply(command, status, data.data(), data.size(), f);
    return f;
}

Bytes Nack(std::uint8_t command) {
    return Reply(command, {}, dakoral::kStatusRefused);
}

bool Conn::ReadByte(std::uint8_t& b, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (m_pos >= m_buf.size()) {
        if (m_server.Stopping() || m_fd < 0) return false;
        pollfd p{m_fd, POLLIN, 0};
        const int left = MsLeft(deadline);
        const int r = ::poll(&p, 1, left < 50 ? left : 50);
        if (r < 0 && errno != EINTR) return false;
        if (r > 0) {
            std::uint8_t chunk[4096];
            const ssize_t n = ::recv(m_fd, chunk, sizeof chunk, 0);
            if (n > 0) {
                m_buf.assign(chunk, chunk + n);
                m_pos = 0;
                break;
            }
            if (n == 0 || (errno != EINTR && errno != EAGAIN)) return false;
        }
        if (left == 0) return false;
    }
    b = m_buf[m_pos++];
    return true;
}

bool Conn::ReadRequest(Request& req, int timeoutMs) {
    using Event = dakoral::RequestParser::Event;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    dakoral::RequestParser parser(dakoral::kMaxRequestParams, true);
    req = Request{};
    for (std::uint8_t b = 0; ReadByte(b, MsLeft(deadline));) {
        const Event ev = parser.Feed(b);
        if (ev == Event::kNone) continue;
        if (ev == Event::kLogout) {
            req.logout = true;
        } else {
            req.command = parser.Command();
            req.params = parser.Params();
            req.checksumOk = ev == Event::kFrame;
        }
        m_server.RecordRequest(req);
        return true;
    }
    return false;
}

bool Conn::ReadLine(std::string& line, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    line.clear();
    std::uint8_t b = 0;
    while (ReadByte(b, MsLeft(deadline))) {
        if (b == '\n') {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            return true;
        }
        line.push_back(static_cast<char>(b));
    }
    return false;
}

bool Conn::Send(const Bytes& bytes) {
    if (m_server.Stopping()) return false;
    std::size_t off = 0;
    while (m_fd >= 0 && off < bytes.size()) {
        const ssize_t n = ::send(m_fd, bytes.data() + off, bytes.size() - off, MSG_NOSIGNAL);
        if (n <= 0) {
            if (n < 0 && errno == EINTR) continue;
            return false;
        }
        off += static_cast<std::size_t>(n);
    }
    return m_fd >= 0;
}

bool Conn::Send(std::string_view text) { return Send(Bytes(text.begin(), text.end())); }

void Conn::DrainUntilClosed(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::uint8_t b = 0;
    while (ReadByte(b, MsLeft(deadline))) {
    }
}

void Conn::Close() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

FakeDisplay::FakeDisplay(const std::string& ip, Handler handler, int port) : m_ip(ip), m_handler(std::move(handler)) {
    m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    ::setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    ::inet_pton(AF_INET, ip.c_str(), &addr.sin_addr);
    if (::bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(m_listen, 8) != 0)
        throw std::runtime_error("fake display: cannot listen on " + ip);
    socklen_t len = sizeof addr;
    ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len);
    m_port = ntohs(addr.sin_port);
    m_thread = std::thread([this] { Run(); });
}

FakeDisplay::~FakeDisplay() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
    if (m_listen >= 0) ::close(m_listen);
}

std::string FakeDisplay::Iface() const { return "LAN" + m_ip + ":" + std::to_string(m_port); }

std::vector<Request> FakeDisplay::Requests() const {
    std::lock_guard<std::mutex> g(m_mutex);
    return m_requests;
}

void FakeDisplay::RecordRequest(const Request& r) {
    std::lock_guard<std::mutex> g(m_mutex);
    m_requests.push_back(r);
}

void FakeDisplay::Run() {
    while (!m_stop) {
        pollfd p{m_listen, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        const int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        ++m_connections;
        Conn conn(*this, fd);
        m_handler(conn);
        conn.Close();
    }
}

FakeDisplay::Handler FakeDisplay::Answering(std::function<Bytes(const Request&)> answer) {
    return [answer](Conn& c) {
        Request req;
        while (c.ReadRequest(req)) {
            if (req.logout) {
                c.Send(Bytes{0x03});
                return;
            }
            const Bytes out = answer(req);
            if (!out.empty()) c.Send(out);
        }
    };
}

void Event::Set() {
    {
        std::lock_guard<std::mutex> g(m_mutex);
        m_set = true;
    }
    m_cv.notify_all();
}

bool Event::Wait(int timeoutMs) {
    std::unique_lock<std::mutex> g(m_mutex);
    return m_cv.wait_for(g, std::chrono::milliseconds(timeoutMs), [this] { return m_set; });
}

}  // namespace fake
