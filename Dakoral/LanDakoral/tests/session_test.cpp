// Exchanges through the exported functions against a display on loopback.
// Each test uses a loopback address of its own.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "FakeDisplay.h"
#include "LanDakoral.h"
#include "Library.h"
#include "Log.h"
#include "TestEnv.h"
#include "common/namedlock.h"
#include "testsupport/SimProcess.h"

using fake::Bytes;
using fake::Conn;
using fake::FakeDisplay;
using fake::Request;
using testenv::CountOf;
using testenv::LanEnv;

namespace {

constexpr unsigned Flags(int retry, int timeout) {
    return (static_cast<unsigned>(timeout) << 16) | (static_cast<unsigned>(retry) << 8);
}

// Answers every request with its own parameters reversed.
Bytes Echo(const Request& r) { return fake::Reply(r.command, Bytes(r.params.rbegin(), r.params.rend())); }

struct Call {
    int rc;
    Bytes reply;
    int len;
};

Call Get(DAKRIF_HANDLE h, std::uint8_t cmd, const Bytes& params = {}) {
    Call c{0, Bytes(DAKRIF_MAX_REPLY, 0xEE), -1};
    c.rc = DAKRIF_GetCommand(h, &cmd, params.data(), c.reply.data(), static_cast<int>(params.size()), &c.len);
    if (c.rc == 0 && c.len >= 0 && c.len <= DAKRIF_MAX_REPLY) c.reply.resize(static_cast<std::size_t>(c.len));
    return c;
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

TEST(Session, LazyConnectExchangeAndClose) {
    LanEnv env;
    const testsupport::LoopbackAddress ip;
    FakeDisplay display(ip, FakeDisplay::Answering([](const Request& r) {
        if (r.command != 0x45) return Echo(r);
        Bytes block(1024);
        for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(i);
        return fake::Reply(r.command, block);
    }));
    // ID 5, flag A off (bit 30), flag C on (bit 28).
    DAKRIF_HANDLE h = DAKRIF_Open(display.Iface().c_str(), Flags(2, 3) | 0x50000005u);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(lan::OpenHandleCount(), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(display.Connections(), 0) << "open must not connect";

    const Call c = Get(h, 0x41, {0x00, 0x04, 0x00, 0x04});
    ASSERT_EQ(c.rc, DAKRIF_OK);
    EXPECT_EQ(c.reply, (Bytes{0x04, 0x00, 0x04, 0x00}));

    const Call block = Get(h, 0x45, {0, 0, 0, 4});
    ASSERT_EQ(block.len, 1024);
    EXPECT_EQ(block.reply[1023], 0xFF);

    // A null reply buffer still gets the length.
    std::uint8_t cmd = 0x44;
    const Bytes p{1, 2, 3};
    int len = -1;
    EXPECT_EQ(DAKRIF_GetCommand(h, &cmd, p.data(), nullptr, 3, &len), DAKRIF_OK);
    EXPECT_EQ(len, 3);
    EXPECT_EQ(display.Connections(), 1) << "the connection is kept between calls";

    ASSERT_EQ(DAKRIF_Close(h), 1);
    EXPECT_EQ(lan::OpenHandleCount(), 0);
    // Login mode 0: the logout byte is the last thing the display receives.
    const auto reqs = display.Requests();
    ASSERT_EQ(reqs.size(), 4u);
    EXPECT_TRUE(reqs.back().logout);
    EXPECT_TRUE(reqs[0].checksumOk);

    // The handle is gone now.
    EXPECT_EQ(DAKRIF_Close(h), 0);
    EXPECT_EQ(Get(h, 0x40).rc, DAKRIF_ERR_HANDLE);

    const std::string log = env.Log();
    EXPECT_NE(log.find("Trace: ////////// Connect to " + ip.Text()), std::string::npos);
    EXPECT_NE(log.find(" Connected. (Port=" + std::to_string(display.Port()) +
                       ", ID=5, Retry=2, Timeout=3, flag=0,0,1)."),
              std::string::npos);
    EXPECT_NE(log.find("Trace: [Send] bin  = AA 41 04 00 00 04 00 04 08 \r\n"), std::string::npos);
    EXPECT_NE(log.find("Trace: [Recv] bin  = AA 41 05 00 00 04 00 04 00 "), std::string::npos);
    // Long replies are logged up to their tenth data byte.
    EXPECT_NE(log.find("Trace: [Recv] bin  = AA 45 01 04 00 00 01 02 03 04 05 06 07 08 09 \r\n"), std::string::npos);
    EXPECT_NE(log.find("Trace: [Send] bin  = 03 \r\n"), std::string::npos);
    EXPECT_NE(log.find("Trace: Disconnect //////////"), std::string::npos);
    EXPECT_NE(log.find("ERROR: [Close] Invalid Handle!"), std::string::npos);
    EXPECT_NE(log.find("ERROR: [Get] Invalid Handle!"), std::string::npos);
}

TEST(Session, RefusalIsRetriedThenRetryOver) {
    LanEnv env;
    const testsupport::LoopbackAddress ip;
    FakeDisplay display(ip, FakeDisplay::Answering([](const Request& r) { return fake::Nack(r.command); }));
    DAKRIF_HANDLE h = DAKRIF_Open(display.Iface().c_str(), Flags(3, 5));
    ASSERT_NE(h, nullptr);
    const auto start = std::chrono::steady_clock::now();
    const Call c = Get(h, 0x40);
    EXPECT_EQ(c.rc, DAKRIF_ERR_FAILED);
    EXPECT_LT(Seconds(start), 4.0) << "a refusal must not wait for the time-out";
    DAKRIF_Close(h);
    int frames = 0;
    for (const auto& r : display.Requests()) frames += r.logout ? 0 : 1;
    EXPECT_EQ(frames, 3);
    const std::string log = env.Log();
    EXPECT_EQ(CountOf(log, "ERROR: NACK ERR"), 3);
    EXPECT_EQ(CountOf(log, "ERROR: Retry Over!"), 1);
    EXPECT_EQ(CountOf(log, "[Send] bin  = AA 40 00 00 15 "), 3);
}

TEST(Session, NoiseAndOversizedFrames) {
    LanEnv env;
    const testsupport::LoopbackAddress ip;
    FakeDisplay display(ip, FakeDisplay::Answering([](const Request& r) {
        const Bytes huge = fake::RawFrame(r.command, 1154, Bytes(1153, 0x42));
        if (r.command == 0x41) return huge;  // nothing but a frame too large to be a reply
        Bytes out{0x00, 0x13, 0xAA, 0x55, 0xAA, 0xAA};
        const Bytes zero = fake::RawFrame(r.command, 0, {});
        const Bytes good = fake::Reply(r.command, {0x12, 0x34});
        for (const Bytes* part : {&zero, &huge, &good}) out.insert(out.end(), part->begin(), part->end());
        return out;
    }));
    DAKRIF_HANDLE h = DAKRIF_Open(display.Iface().c_str(), Flags(1, 1));
    ASSERT_NE(h, nullptr);
    const Call c = Get(h, 0x40);
    EXPECT_EQ(c.rc, DAKRIF_OK);
    EXPECT_EQ(c.reply, (Bytes{0x12, 0x34}));

    const Call big = Get(h, 0x41);
    EXPECT_EQ(big.rc, DAKRIF_ERR_FAILED);
    EXPECT_EQ(big.len, -1) << "the length is stored only for a reply";
    EXPECT_EQ(big.reply, Bytes(DAKRIF_MAX_REPLY, 0xEE)) << "nothing is copied";
    DAKRIF_Close(h);
    EXPECT_EQ(CountOf(env.Log(), "ERROR: Timeout..."), 1);
}

TEST(Session, EndlessNoiseEndsAtTheTimeOut) {
    LanEnv env;
    const testsupport::LoopbackAddress ip;
    FakeDisplay display(ip, [](Conn& c) {
        Request req;
        if (!c.ReadRequest(req)) return;
        const Bytes junk(4096, 0x55);
        while (c.Send(junk)) {
        }
    });
    DAKRIF_HANDLE h = DAKRIF_Open(display.Iface().c_str(), Flags(1, 1));
    ASSERT_NE(h, nullptr);
    // Neither the reply wait nor dropping stale bytes before the next request
    // may go on for as long as the display keeps sending.
    for (int call = 0; call < 2; ++call) {
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(Get(h, 0x40).rc, DAKRIF_ERR_FAILED);
        EXPECT_LT(Seconds(start), 5.0);
    }
    DAKRIF_Close(h);
    EXPECT_EQ(CountOf(env.Log(), "ERROR: Timeout..."), 2);
}

TEST(Session, SilenceTimesOutEachAttempt) {
    LanEnv env;
    const testsupport::LoopbackAddress ip;
    FakeDisplay display(ip, FakeDisplay::Answering([](const Request&) { return Bytes{}; }));
    DAKRIF_HANDLE h = DAKRIF_Open(display.Iface().c_str(), Flags(2, 1));
    ASSERT_NE(h, nullptr);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Get(h, 0x40).rc, DAKRIF_ERR_FAILED);
    const double took = Seconds(start);
    EXPECT_GE(took, 1.9);
    EXPECT_LT(took, 6.0);
    EXPECT_EQ(display.Requests().size(), 2u);
    DAKRIF_Close(h);
    const std::string log = env.Log();
    EXPECT_EQ(CountOf(log, "ERROR: Timeout..."), 2);
    EXPECT_EQ(CountOf(log, "ERROR: Retry Over!"), 1);
}

TEST(Session, LateReplyIsNeverReadAsTheNextRequestsReply) {
    // The display answers the first request of its first connection late:
    // after the caller has given up on it and sent its next request.
    LanEnv env("[LAN]\r\nTLMode=1\r\nLoginTimeout=1\r\n");
    const testsupport::LoopbackAddress ip;
    std::atomic<int> connection{0};
    FakeDisplay display(ip, [&](Conn& c) {
        const int n = ++connection;
        std::string line;
        c.Send("Login: ");
        if (!c.ReadLine(line)) return;
        c.Send("Password: ");
        if (!c.ReadLine(line)) return;
        Request req;
        for (bool first = n == 1; c.ReadRequest(req) && !req.logout; first = false) {
            if (first) std::this_thread::sleep_for(std::chrono::milliseconds(1300));
            c.Send(Echo(req));
        }
    });
    DAKRIF_HANDLE h = DAKRIF_OpenEx(display.Iface().c_str(), "svc", "pw", Flags(1, 1), nullptr);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(Get(h, 0x45, {0x00, 0x00}).rc, DAKRIF_ERR_FAILED);
    // Sent at once: block 0's reply comes while this one waits for its own.
    const Call next = Get(h, 0x45, {0x00, 0x04});
    ASSERT_EQ(next.rc, DAKRIF_OK);
    EXPECT_EQ(next.reply, (Bytes{0x04, 0x00})) << "the reply of another request";
    // The timed-out connection was given up; the new one logged in again.
    EXPECT_EQ(display.Connections(), 2);
    DAKRIF_Close(h);
    const std::string log = env.Log();
    EXPECT_EQ(CountOf(log, "ERROR: Timeout..."), 1);
    EXPECT_EQ(CountOf(log, "Trace: [Auth] Logged in"), 2);
}

TEST(Session, EachAttemptAfterATimeOutRunsOnANewConnection) {
    // The first request is answered too late; the retry, on a fresh
    // connection, gets through within the same call.
    LanEnv env;
    const testsupport::LoopbackAddress ip;
    std::atomic<int> connection{0};
    FakeDisplay display(ip, [&](Conn& c) {
        Request req;
        for (bool first = ++connection == 1; c.ReadRequest(req) && !req.logout; first = false) {
            if (first) std::this_thread::sleep_for(std::chrono::milliseconds(1300));
            c.Send(Echo(req));
        }
    });
    DAKRIF_HANDLE h = DAKRIF_Open(display.Iface().c_str(), Flags(3, 1));
    ASSERT_NE(h, nullptr);
    const Call c = Get(h, 0x45, {0x01, 0x02});
    ASSERT_EQ(c.rc, DAKRIF_OK);
    EXPECT_EQ(c.reply, (Bytes{0x02, 0x01}));
    EXPECT_EQ(Get(h, 0x45, {0x03, 0x04}).reply, (Bytes{0x04, 0x03})) << "the new connection is kept";
    EXPECT_EQ(display.Connections(), 2);
    DAKRIF_Close(h);
    EXPECT_EQ(CountOf(env.Log(), "ERROR: Timeout..."), 1);
}

TEST(Session, HeldLogLocksNeitherStallNorFailExchanges) {
    LanEnv env;
    const testsupport::LoopbackAddress ip;
    FakeDisplay display(ip, FakeDisplay::Answering(Echo));
    lan::Log(lan::kTrace, "the log exists");
    // A writer stuck in the middle of a rotation holds both locks of the log.
    cmn::NamedLock rotation = cmn::NamedLock::AtPath(env.LogPath().string() + ".lock");
    ASSERT_TRUE(rotation.TryLock());
    const int held = ::open(env.LogPath().c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);

    DAKRIF_HANDLE h = DAKRIF_Open(display.Iface().c_str(), Flags(1, 1));
    ASSERT_NE(h, nullptr);
    const auto start = std::chrono::steady_clock::now();
    for (std::uint8_t block = 0; block < 4; ++block) EXPECT_EQ(Get(h, 0x45, {block}).rc, DAKRIF_OK);
    EXPECT_LT(Seconds(start), 5.0);
    ::close(held);
    DAKRIF_Close(h);
    // Every line was written all the same.
    EXPECT_EQ(CountOf(env.Log(), "Trace: [Send] bin  = AA 45 01 00 "), 4);
    EXPECT_EQ(CountOf(env.Log(), "Trace: [Recv] bin  = AA 45 02 00 00 "), 4);
}

TEST(Session, CancelDuringExchangeAndBeforeConnect) {
    LanEnv env;
    const testsupport::LoopbackAddress ip;
    FakeDisplay display(ip, FakeDisplay::Answering([](const Request& r) {
        return r.command == 0x40 ? Bytes{} : fake::Reply(r.command, {1});
    }));
    int cancel = 0;
    DAKRIF_HANDLE h = DAKRIF_OpenEx(display.Iface().c_str(), nullptr, nullptr, Flags(3, 10), &cancel);
    ASSERT_NE(h, nullptr);

    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        std::atomic_ref<int>(cancel).store(1);
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Get(h, 0x40).rc, DAKRIF_ERR_FAILED);
    EXPECT_LT(Seconds(start), 3.0) << "the cancel flag must be seen within a receive period";
    canceller.join();
    EXPECT_EQ(display.Requests().size(), 1u) << "a cancelled exchange is not retried";
    std::string log = env.Log();
    EXPECT_EQ(CountOf(log, "Trace: User's cancel."), 1);
    EXPECT_EQ(CountOf(log, "Retry Over!"), 0);

    // Still set at the next call: the (re)connection is abandoned with code 11.
    ASSERT_EQ(DAKRIF_Close(h), 1);
    h = DAKRIF_OpenEx(display.Iface().c_str(), nullptr, nullptr, Flags(3, 10), &cancel);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(Get(h, 0x41).rc, DAKRIF_ERR_CANCEL_OPEN);
    EXPECT_NE(env.Log().find("Trace: [Get] User cancel to Open."), std::string::npos);
    std::atomic_ref<int>(cancel).store(0);
    EXPECT_EQ(Get(h, 0x41).rc, DAKRIF_OK);
    EXPECT_EQ(display.Connections(), 3);
    DAKRIF_Close(h);
}

TEST(Session, ReconnectsAfterTheDisplayClosed) {
    LanEnv env;
    fake::Event closed;
    std::atomic<int> conn{0};
    const testsupport::LoopbackAddress ip;
    FakeDisplay display(ip, [&](Conn& c) {
        const int n = ++conn;
        Request req;
        if (!c.ReadRequest(req)) return;
        if (n == 1) {
            c.Send(fake::Reply(req.command, {1}));  // answer, then hang up while idle
            c.Close();
            closed.Set();
        } else if (n == 2) {
            c.Close();  // hang up in the middle of an exchange
        } else {
            c.Send(fake::Reply(req.command, {3}));
            while (c.ReadRequest(req) && !req.logout) c.Send(fake::Reply(req.command, {4}));
        }
    });
    DAKRIF_HANDLE h = DAKRIF_Open(display.Iface().c_str(), Flags(3, 5));
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(Get(h, 0x41).reply, Bytes{1});
    ASSERT_TRUE(closed.Wait(3000));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));

    // The idle close is noticed before sending: a new connection, which the
    // display drops mid-exchange; that call fails at once, without retries.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Get(h, 0x41).rc, DAKRIF_ERR_FAILED);
    EXPECT_LT(Seconds(start), 3.0);
    EXPECT_EQ(display.Connections(), 2);

    // The next call connects again.
    EXPECT_EQ(Get(h, 0x41).reply, Bytes{3});
    EXPECT_EQ(Get(h, 0x41).reply, Bytes{4});
    EXPECT_EQ(display.Connections(), 3);
    DAKRIF_Close(h);
    EXPECT_GE(CountOf(env.Log(), "Trace: ////////// Connect to " + ip.Text()), 3);
}

TEST(Session, ConnectionRefused) {
    LanEnv env;
    // Nothing listens on port 1 of this address.
    const testsupport::LoopbackAddress ip;
    DAKRIF_HANDLE h = DAKRIF_Open(("LAN" + ip.Text() + ":1").c_str(), Flags(1, 1));
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(Get(h, 0x40).rc, DAKRIF_ERR_CONNECT);
    DAKRIF_Close(h);
    const std::string log = env.Log();
    EXPECT_NE(log.find("ERROR: Cannot connect host \"" + ip.Text() + "\" Port=1 Err=111"), std::string::npos);
    EXPECT_NE(log.find("ERROR: [Get] Cannot open (" + ip.Text() + ":1)"), std::string::npos);
}

TEST(Session, InterfaceStringsAndOpenVariants) {
    LanEnv env("[Common]\r\nOpenTimeout=0\r\n");
    const testsupport::LoopbackAddress ip;
    FakeDisplay display(ip, FakeDisplay::Answering(Echo), 10008);
    for (const std::string& iface : {"lan" + ip.Text(), "Lan" + ip.Text() + ":0", "LAN" + ip.Text() + ":abc",
                                     "LAN" + ip.Text() + ":70000"}) {
        DAKRIF_HANDLE h = DAKRIF_Open(iface.c_str(), Flags(1, 2));
        ASSERT_NE(h, nullptr) << iface;
        EXPECT_EQ(Get(h, 0x41, {7}).rc, DAKRIF_OK) << iface;
        DAKRIF_Close(h);
    }
    EXPECT_EQ(display.Connections(), 4);

    EXPECT_EQ(DAKRIF_Open("COM1", 0), nullptr);
    EXPECT_EQ(DAKRIF_OpenIF((" LAN" + ip.Text()).c_str(), nullptr, nullptr, 0, 1, 1, 115200, 0, nullptr), nullptr);
    EXPECT_EQ(DAKRIF_OpenEx(nullptr, nullptr, nullptr, 0, nullptr), nullptr);
    EXPECT_EQ(lan::OpenHandleCount(), 0);

    // DAKRIF_OpenIF: separate time-out and retry count, flag B clears the ID, baud rate ignored.
    const std::string iface = "LAN" + ip.Text() + ":10008";
    DAKRIF_HANDLE h = DAKRIF_OpenIF(iface.c_str(), "", "", 7, 2, 4, 115200, 0x20000000u | 0x0000FFFFu, nullptr);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(Get(h, 0x41, {1}).rc, DAKRIF_OK);
    DAKRIF_Close(h);

    const std::string log = env.Log();
    EXPECT_NE(log.find("ERROR: [OpenIF] Invalid Interface(COM1)\r\n"), std::string::npos);
    EXPECT_NE(log.find("ERROR: [Open] Invalid Interface( LAN" + ip.Text() + ")\r\n"), std::string::npos);
    EXPECT_NE(log.find("ERROR: [OpenIF] Invalid Interface()\r\n"), std::string::npos);
    EXPECT_NE(log.find(ip.Text() + " Connected. (Port=10008, ID=0, Retry=4, Timeout=2, flag=1,1,0)."),
              std::string::npos);
}

TEST(Session, BadArgumentsAreRefusedWithoutSending) {
    LanEnv env;
    const testsupport::LoopbackAddress ip;
    FakeDisplay display(ip, FakeDisplay::Answering([](const Request& r) {
        return fake::Reply(r.command, {static_cast<std::uint8_t>(r.params.size() & 0xFF),
                                       static_cast<std::uint8_t>(r.params.size() >> 8)});
    }));
    DAKRIF_HANDLE h = DAKRIF_Open(display.Iface().c_str(), Flags(1, 5));
    ASSERT_NE(h, nullptr);
    std::uint8_t cmd = 0x48;
    Bytes params(65536, 0x5A);
    Bytes reply(DAKRIF_MAX_REPLY);
    int len = 0;
    EXPECT_EQ(DAKRIF_GetCommand(h, nullptr, params.data(), reply.data(), 4, &len), 1);
    EXPECT_EQ(DAKRIF_GetCommand(h, &cmd, params.data(), reply.data(), 4, nullptr), 1);
    EXPECT_EQ(DAKRIF_GetCommand(h, &cmd, params.data(), reply.data(), -1, &len), 1);
    EXPECT_EQ(DAKRIF_GetCommand(h, &cmd, params.data(), reply.data(), 65536, &len), 1);
    EXPECT_EQ(DAKRIF_GetCommand(h, &cmd, nullptr, reply.data(), 4, &len), 1);
    EXPECT_EQ(display.Connections(), 0);
    EXPECT_EQ(CountOf(env.Log(), "ERROR: Failed to send command."), 5);

    // The largest request goes out whole.
    ASSERT_EQ(DAKRIF_GetCommand(h, &cmd, params.data(), reply.data(), 65535, &len), 0);
    EXPECT_EQ(len, 2);
    EXPECT_EQ(reply[0], 0xFF);
    EXPECT_EQ(reply[1], 0xFF);
    DAKRIF_Close(h);
}

TEST(Session, RetryCountZeroFailsAtOnce) {
    LanEnv env("[Common]\r\nRetry=0\r\n");
    const testsupport::LoopbackAddress ip;
    FakeDisplay display(ip, FakeDisplay::Answering(Echo));
    DAKRIF_HANDLE h = DAKRIF_Open(display.Iface().c_str(), Flags(0, 1));
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(Get(h, 0x40).rc, DAKRIF_ERR_FAILED);
    DAKRIF_Close(h);
    for (const auto& r : display.Requests()) EXPECT_TRUE(r.logout) << "no request may be sent";
    EXPECT_EQ(CountOf(env.Log(), "ERROR: Retry Over!"), 1);
}
