// The byte channel over TCP (on the test's own loopback address) and over a
// pseudo-terminal, at every speed the serial line offers.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linkio/Channel.h>
#include <linux/sockios.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <testsupport/SimProcess.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

using namespace linkio;

namespace {

// Up to n bytes from a channel within ms; `last` gets the result that ended the reading.
std::string ReadSome(Channel& c, std::size_t n, int ms, IoResult* last = nullptr, int* cancel = nullptr) {
    std::string got(n, '\0');
    std::size_t have = 0, k = 0;
    IoResult r = IoResult::kOk;
    for (const Deadline d(ms); have < n && r == IoResult::kOk; have += k)
        r = c.Read(reinterpret_cast<std::uint8_t*>(got.data() + have), n - have, k, d, cancel);
    if (last) *last = r;
    return got.substr(0, have);
}

// A connection made with ConnectTcp, and the peer's socket.
struct TcpPair {
    testsupport::LoopbackAddress address;
    int peer = -1;
    std::unique_ptr<Channel> channel;

    explicit TcpPair(int peerBuffer = 0) {
        const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (peerBuffer > 0) ::setsockopt(listener, SOL_SOCKET, SO_RCVBUF, &peerBuffer, sizeof peerBuffer);
        sockaddr_in a{AF_INET, 0, {}, {}};
        socklen_t len = sizeof a;
        std::string error;
        if (::inet_pton(AF_INET, address.Text().c_str(), &a.sin_addr) == 1 &&
            ::bind(listener, reinterpret_cast<sockaddr*>(&a), len) == 0 && ::listen(listener, 1) == 0 &&
            ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len) == 0 &&
            (channel = ConnectTcp(address.Text(), ntohs(a.sin_port), 3000, nullptr, error)))
            peer = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        ::close(listener);
    }
    ~TcpPair() { ::close(peer); }
    void Send(const std::string& s) const { ::send(peer, s.data(), s.size(), MSG_NOSIGNAL); }
    // True once everything the peer sent has reached the channel's side.
    bool Delivered() const {
        int queued = 1;
        for (const Deadline d(3000); !d.Passed() && ::ioctl(peer, SIOCOUTQ, &queued) == 0 && queued > 0;)
            ::poll(nullptr, 0, 1);
        return queued == 0;
    }
};

}  // namespace

TEST(Channel, DeadlinesCancellingAndAWriteThePeerDoesNotTake) {
    TcpPair p(4096);
    ASSERT_TRUE(p.channel && p.peer >= 0);
    auto start = std::chrono::steady_clock::now();
    auto elapsedMs = [&] {
        return (std::chrono::steady_clock::now() - start) / std::chrono::milliseconds(1);
    };
    IoResult r = IoResult::kOk;
    EXPECT_EQ(ReadSome(*p.channel, 1, 150, &r), "");
    EXPECT_TRUE(r == IoResult::kTimeout && elapsedMs() >= 140 && elapsedMs() < 1500) << elapsedMs();
    int cancel = 0;
    std::thread canceller([&] { std::atomic_ref<int>(cancel).store(1); });
    start = std::chrono::steady_clock::now();
    EXPECT_EQ(ReadSome(*p.channel, 1, 5000, &r, &cancel), "");
    canceller.join();
    EXPECT_TRUE(r == IoResult::kCancelled && elapsedMs() < 1500) << elapsedMs();

    std::string data(16 << 20, '\0');
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7 + i / 251);
    std::size_t sent = 0;
    EXPECT_EQ(p.channel->Write(data, Deadline(300), nullptr, &sent), IoResult::kTimeout);
    ASSERT_TRUE(sent > 0 && sent < data.size()) << sent;
    // The peer gets exactly the bytes counted as sent, and nothing after them.
    Channel peer(::dup(p.peer), true, "peer");
    EXPECT_TRUE(ReadSome(peer, sent, 10000) == data.substr(0, sent));
    EXPECT_EQ(ReadSome(peer, 1, 100), "");
}

TEST(Channel, StaleBytesLateRepliesAndAPeerThatHangsUp) {
    TcpPair p;
    ASSERT_TRUE(p.channel && p.peer >= 0);
    // Bytes there before a request are dropped, a flood only up to the limit.
    p.Send(std::string(10000, 'x'));
    ASSERT_TRUE(p.Delivered());
    EXPECT_EQ(p.channel->DiscardInput(4096), IoResult::kOk);
    EXPECT_EQ(ReadSome(*p.channel, 1, 1000), "x");
    EXPECT_EQ(p.channel->DiscardInput(), IoResult::kOk);
    // A reply after its request gave up is dropped; the next one is read.
    p.Send("LATE\r");
    EXPECT_EQ(p.channel->DiscardLateReply(100, 4, nullptr), IoResult::kOk);
    p.Send("NEXT\r");
    EXPECT_EQ(ReadSome(*p.channel, 5, 3000), "NEXT\r");
    // A line that never falls quiet gives the caller up after the limit.
    std::atomic<bool> stop{false};
    std::thread chatter([&] {
        for (; !stop; ::poll(nullptr, 0, 10)) p.Send("~");  // a peer talking at its own pace
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(p.channel->DiscardLateReply(60, 3, nullptr), IoResult::kTimeout);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    stop = true;
    chatter.join();
    // A peer that hangs up in the middle of a reply ends every later call.
    ASSERT_TRUE(p.Delivered() && p.channel->DiscardInput() == IoResult::kOk);
    p.Send("AB");
    ::shutdown(p.peer, SHUT_RDWR);
    IoResult last = IoResult::kOk;
    EXPECT_EQ(ReadSome(*p.channel, 10, 3000, &last), "AB");
    EXPECT_EQ(last, IoResult::kClosed);
    EXPECT_EQ(p.channel->Write("Q\r", Deadline(1000), nullptr), IoResult::kClosed);
    EXPECT_EQ(p.channel->DiscardInput(), IoResult::kClosed);
}

TEST(SerialChannel, APseudoTerminalOpensRawAtEverySpeedOffered) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_TRUE(master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0);
    const std::string line = ::ptsname(master);
    const int hold = ::open(line.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);  // keeps the line up between opens
    Channel display(master, false, "display");
    int opened = 0;
    for (int baud : {0, 50, 300, 1200, 2400, 4800, 9600, 14400, 19200, 38400, 57600, 115200, 230400, 460800,
                     921600, 4000000, -9600}) {
        std::string err;
        const auto ch = OpenSerial(line, baud, err);
        ASSERT_EQ(ch != nullptr, IsSupportedBaud(baud)) << baud << ": " << err;
        if (!ch) continue;
        ++opened;
        struct {  // termios2: the speed the kernel keeps, in bits per second
            tcflag_t flags[4];
            cc_t line, cc[19];
            speed_t ispeed, ospeed;
        } t2{};
        ASSERT_EQ(::ioctl(hold, _IOR('T', 0x2A, decltype(t2)), &t2), 0);
        EXPECT_EQ(static_cast<int>(t2.ospeed), baud);
        EXPECT_EQ(t2.flags[2] & (CSIZE | PARENB | CSTOPB | CRTSCTS), tcflag_t{CS8}) << baud;
        EXPECT_EQ((t2.flags[3] & (ICANON | ECHO | ISIG)) | (t2.flags[0] & (IXON | ICRNL)), 0u) << baud;
        ASSERT_EQ(ch->Write("Q\r", Deadline(1000), nullptr), IoResult::kOk);
        EXPECT_EQ(ReadSome(display, 2, 3000), "Q\r") << baud;
        ASSERT_EQ(::write(master, "OK\r", 3), 3);
        EXPECT_EQ(ReadSome(*ch, 3, 3000), "OK\r") << baud;
    }
    EXPECT_TRUE(opened >= 2 && IsSupportedBaud(9600) && IsSupportedBaud(115200));
    std::string err;
    EXPECT_TRUE(!OpenSerial("/dev/null", 9600, err) && err.find("not a serial line") != err.npos) << err;
    EXPECT_TRUE(!OpenSerial(line + "-gone", 9600, err) && err.find("cannot open") != err.npos) << err;
    ::close(hold);
}
