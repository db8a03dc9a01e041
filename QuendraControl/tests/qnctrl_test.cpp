// QuendraControl through its exports, against display-sim (each test on a
// loopback address of its own, or a pseudo-terminal) and a scripted display.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <cstring>

#include "QuendraControl.h"
#include <testsupport/ScriptedPeer.h>
#include <testsupport/SimProcess.h>
#include <testsupport/TempDir.h>

using testsupport::LoopbackAddress;
using testsupport::ScriptedPeer;
using testsupport::SimProcess;

namespace {

// The flags the report program passes: 2 s reply time, 1 s login wait, 9600 baud.
constexpr unsigned kFlags = 0x00010200u;

double SecondsSince(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

// The port text of a display at `address`, e.g. "LAN127.0.1.5:10008".
std::string Lan(const std::string& address, const std::string& port = ":10008") { return "LAN" + address + port; }

int Set(QNCTRL_HANDLE h, const char* text) { return QNCTRL_SetCommand(h, "Command", text, nullptr, 0, 0); }

// QNCTRL_GetLastError, its text into `text` when given.
int LastError(std::string* text = nullptr) {
    char buf[256];
    const int code = QNCTRL_GetLastError(buf, sizeof buf);
    if (text) *text = buf;
    return code;
}

std::string GetString(QNCTRL_HANDLE h, const char* query, int* rc = nullptr) {
    char buf[256];
    std::memset(buf, 'X', sizeof buf);
    const int r = QNCTRL_GetStringEx(h, query, buf, sizeof buf);
    if (rc) *rc = r;
    return buf;
}

}  // namespace

// The six calls of the report program, and the reason of a failure.
TEST(QuendraControl, ExportsTheSixCallsAndTheReason) {
    void* lib = ::dlopen(QNCTRL_SO_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << ::dlerror();
    for (const char* name : {"QNCTRL_OpenEx", "QNCTRL_OpenIF", "QNCTRL_Close", "QNCTRL_SetCommand",
                             "QNCTRL_GetStringEx", "QNCTRL_GetNumber", "QNCTRL_GetLastError"})
        EXPECT_NE(::dlsym(lib, name), nullptr) << name;
    ::dlclose(lib);
}

TEST(QuendraControl, EveryCallOverTcpWithoutAccount) {
    const LoopbackAddress ip;
    SimProcess sim;
    ASSERT_TRUE(sim.Start({"--listen", ip}));
    QNCTRL_HANDLE h = QNCTRL_OpenEx(Lan(ip).c_str(), "", "", kFlags, nullptr);
    ASSERT_NE(h, nullptr);

    for (int i = 0; i < 3; ++i) EXPECT_EQ(Set(h, ""), QNCTRL_OK);
    EXPECT_EQ(Set(h, "SRLG0000"), QNCTRL_OK);
    EXPECT_EQ(GetString(h, "Command:SRNO????"), "QX30001001");
    EXPECT_EQ(GetString(h, "Command:BNMD0"), "BNMD9999");
    int value = -1;
    EXPECT_EQ(QNCTRL_GetNumber(h, "Command:UTIM????", &value, nullptr, 0, 0), QNCTRL_OK);
    EXPECT_EQ(value, 12345);

    // Refusals: an unknown command, a query outside maintenance mode, a set
    // command answered by a value, a number query whose value is text.
    EXPECT_EQ(Set(h, "XXXX0000"), QNCTRL_ERR_REFUSED);
    std::string refused;
    EXPECT_EQ(LastError(&refused), QNCTRL_ERR_REFUSED);
    EXPECT_EQ(refused.rfind("\"XXXX0000\"", 0), 0u) << refused;
    int rc = 0;
    EXPECT_EQ(GetString(h, "Command:ERRT????", &rc), "");
    EXPECT_EQ(rc, QNCTRL_ERR_REFUSED);
    EXPECT_EQ(Set(h, "SRNO????"), QNCTRL_ERR_REFUSED);
    value = -1;
    EXPECT_EQ(QNCTRL_GetNumber(h, "Command:INF1????", &value, nullptr, 0, 0), QNCTRL_ERR_VALUE);
    EXPECT_EQ(value, -1);
    // Texts the wire cannot carry are refused before sending; the link stays usable.
    EXPECT_EQ(Set(h, std::string(65, 'A').c_str()), QNCTRL_ERR_ARGUMENT);
    EXPECT_EQ(Set(h, "SRLG\r0001"), QNCTRL_ERR_ARGUMENT);
    EXPECT_EQ(QNCTRL_SetCommand(h, "Status", "SRLG0001", nullptr, 0, 0), QNCTRL_ERR_ARGUMENT);

    // A value that does not fit the buffer fails instead of passing for a
    // shorter one; the buffer stays empty, nothing is written past its size.
    char small[12];
    std::memset(small, 'X', sizeof small);
    EXPECT_EQ(QNCTRL_GetStringEx(h, "Command:SRNO????", small, 10), QNCTRL_ERR_ARGUMENT);
    EXPECT_STREQ(small, "");
    EXPECT_EQ(small[10], 'X');
    EXPECT_EQ(QNCTRL_GetStringEx(h, "Command:SRNO????", small, 11), QNCTRL_OK);
    EXPECT_STREQ(small, "QX30001001");
    EXPECT_EQ(QNCTRL_GetStringEx(h, "Command:SRNO????", nullptr, 256), QNCTRL_ERR_ARGUMENT);
    EXPECT_EQ(QNCTRL_GetStringEx(h, "Command:SRNO????", small, 0), QNCTRL_ERR_ARGUMENT);
    EXPECT_EQ(QNCTRL_GetNumber(h, "Command:UTIM????", nullptr, nullptr, 0, 0), QNCTRL_ERR_ARGUMENT);
    EXPECT_EQ(Set(h, nullptr), QNCTRL_ERR_ARGUMENT);

    EXPECT_EQ(QNCTRL_Close(h), QNCTRL_OK);
    // Closed, null and foreign handles are refused.
    EXPECT_EQ(QNCTRL_Close(h), QNCTRL_ERR_HANDLE);
    EXPECT_EQ(GetString(h, "Command:SRNO????", &rc), "");
    EXPECT_EQ(rc, QNCTRL_ERR_HANDLE);
    EXPECT_EQ(QNCTRL_GetNumber(nullptr, "Command:UTIM????", &value, nullptr, 0, 0), QNCTRL_ERR_HANDLE);
    int local = 0;
    EXPECT_EQ(Set(&local, ""), QNCTRL_ERR_HANDLE);

    // A reply time beyond the millisecond range is a long wait, not none.
    h = QNCTRL_OpenIF(Lan(ip).c_str(), "", "", 1, 0, 3000000, 0, 0, 0, nullptr);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(Set(h, ""), QNCTRL_OK);
    EXPECT_EQ(GetString(h, "Command:SRNO????"), "QX30001001");
    EXPECT_EQ(QNCTRL_Close(h), QNCTRL_OK);

    // Ports that name nothing, credentials for a display without an account.
    EXPECT_EQ(QNCTRL_OpenEx(nullptr, "", "", kFlags, nullptr), nullptr);
    EXPECT_EQ(QNCTRL_OpenEx(("TCP" + ip.Text() + ":10008").c_str(), "", "", kFlags, nullptr), nullptr);
    EXPECT_EQ(QNCTRL_OpenEx(Lan(ip).c_str(), "svc", "pw", kFlags, nullptr), nullptr);
    EXPECT_EQ(LastError(), QNCTRL_ERR_LOGIN);
    EXPECT_EQ(QNCTRL_OpenEx(Lan(ip, ":10009").c_str(), nullptr, nullptr, kFlags, nullptr), nullptr);
    std::string why;
    EXPECT_EQ(LastError(&why), QNCTRL_ERR_CONNECT);
    EXPECT_NE(why.find("Connection refused"), std::string::npos) << why;
}

TEST(QuendraControl, LoginRightWrongAndMissingCredentials) {
    const LoopbackAddress ip;
    SimProcess sim;
    ASSERT_TRUE(sim.Start({"--listen", ip, "--account", "svc", "--password", "pw"}));
    const std::string lan = Lan(ip);
    const char* port = lan.c_str();
    QNCTRL_HANDLE h = QNCTRL_OpenEx(port, "svc", "pw", kFlags, nullptr);
    ASSERT_NE(h, nullptr);
    // The LF after the login's "OK" does not disturb the first reply.
    EXPECT_EQ(Set(h, ""), QNCTRL_OK);
    EXPECT_EQ(GetString(h, "Command:SRNO????"), "QX30001001");
    EXPECT_EQ(QNCTRL_Close(h), QNCTRL_OK);

    EXPECT_EQ(QNCTRL_OpenEx(port, "svc", "wrong", kFlags, nullptr), nullptr);
    EXPECT_EQ(QNCTRL_OpenEx(port, "other", "pw", kFlags, nullptr), nullptr);
    // No credentials: the open fails when the prompt comes within the short
    // look for it, else the first command does.
    if (QNCTRL_HANDLE none = QNCTRL_OpenEx(port, nullptr, nullptr, kFlags, nullptr)) {
        EXPECT_NE(Set(none, ""), QNCTRL_OK);
        QNCTRL_Close(none);
    }
    h = QNCTRL_OpenIF(port, "svc", "pw", 1, 0, 2, 0, 0, 0, nullptr);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(Set(h, "SRLG0001"), QNCTRL_OK);
    EXPECT_EQ(QNCTRL_Close(h), QNCTRL_OK);
}

TEST(QuendraControl, OpenSelectsTheDisplayOfTheChain) {
    const LoopbackAddress ip;
    SimProcess sim;
    ASSERT_TRUE(sim.Start({"--listen", ip, "--chain", "3"}));
    const std::string lan = Lan(ip);
    const char* port = lan.c_str();
    QNCTRL_HANDLE h = QNCTRL_OpenIF(port, "", "", 1, 2, 5, 0, 9600, 0, nullptr);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(GetString(h, "Command:SRNO????"), "QX30001003");
    EXPECT_EQ(QNCTRL_Close(h), QNCTRL_OK);
    h = QNCTRL_OpenEx(port, "", "", kFlags | 1u, nullptr);  // the ID bits of the flags
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(GetString(h, "Command:SRNO????"), "QX30001002");
    EXPECT_EQ(QNCTRL_Close(h), QNCTRL_OK);

    EXPECT_EQ(QNCTRL_OpenIF(port, "", "", 1, 9, 5, 0, 9600, 0, nullptr), nullptr);    // not in the chain
    EXPECT_EQ(QNCTRL_OpenIF(port, "", "", 1, 256, 5, 0, 9600, 0, nullptr), nullptr);  // not an ID
    EXPECT_EQ(QNCTRL_OpenIF(port, "", "", 2, 0, 5, 0, 9600, 0, nullptr), nullptr);    // unknown mode
}

TEST(QuendraControl, DroppedAndLateRepliesFailInTimeWithoutMixingUp) {
    const LoopbackAddress ip;
    SimProcess sim;
    ASSERT_TRUE(sim.Start({"--listen", ip, "--drop", "first:1", "--delay", "every:3", "--delay-ms", "1500"}));
    QNCTRL_HANDLE h = QNCTRL_OpenIF(Lan(ip, "").c_str(), "", "", 1, 0, 1, 0, 0, 0, nullptr);
    ASSERT_NE(h, nullptr);
    const auto t = std::chrono::steady_clock::now();
    EXPECT_EQ(Set(h, ""), QNCTRL_ERR_TIMEOUT);  // reply 1 dropped
    EXPECT_GE(SecondsSince(t), 0.9);
    EXPECT_LT(SecondsSince(t), 2.5);
    EXPECT_EQ(GetString(h, "Command:SRNO????"), "QX30001001");
    int rc = 0;
    GetString(h, "Command:INF1????", &rc);  // reply 3 comes after the reply time
    EXPECT_EQ(rc, QNCTRL_ERR_TIMEOUT);
    // The late "=QM-X003" is not taken for the answer to the next query.
    int value = 0;
    EXPECT_EQ(QNCTRL_GetNumber(h, "Command:UTIM????", &value, nullptr, 0, 0), QNCTRL_OK);
    EXPECT_EQ(value, 12345);
    EXPECT_EQ(QNCTRL_Close(h), QNCTRL_OK);
}

TEST(QuendraControl, GarbageHalfLinesClosedLinksStrangersAndCancel) {
    // Request 1 gets a garbage line, request 2 half a line, request 3 a closed
    // connection (the next open), request 4 nothing.
    const LoopbackAddress ip;
    const std::string port = Lan(ip, "");
    ScriptedPeer d(ip, 10008, {"#%&garbage\r", "=QX3", "<close>"});
    ASSERT_TRUE(d.Ok());
    QNCTRL_HANDLE h = QNCTRL_OpenIF(port.c_str(), "", "", 1, 0, 1, 0, 0, 0, nullptr);
    ASSERT_NE(h, nullptr);
    const auto t = std::chrono::steady_clock::now();
    EXPECT_EQ(Set(h, "SRLG0000"), QNCTRL_ERR_TIMEOUT);
    int rc = 0;
    EXPECT_EQ(GetString(h, "Command:SRNO????", &rc), "");
    EXPECT_EQ(rc, QNCTRL_ERR_TIMEOUT);
    EXPECT_LT(SecondsSince(t), 4.5);
    EXPECT_EQ(QNCTRL_Close(h), QNCTRL_OK);
    const auto requests = d.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0], "SRLG0000\r");
    EXPECT_EQ(requests[1], "SRNO????\r");

    h = QNCTRL_OpenIF(port.c_str(), "", "", 1, 0, 1, 0, 0, 0, nullptr);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(Set(h, ""), QNCTRL_ERR_LINK);
    EXPECT_EQ(Set(h, ""), QNCTRL_ERR_LINK);
    EXPECT_EQ(QNCTRL_Close(h), QNCTRL_OK);

    int cancel = 0;
    h = QNCTRL_OpenIF(port.c_str(), "", "", 1, 0, 30, 0, 0, 0, &cancel);
    ASSERT_NE(h, nullptr);
    cancel = 1;
    const auto c = std::chrono::steady_clock::now();
    EXPECT_EQ(Set(h, ""), QNCTRL_ERR_CANCEL);
    EXPECT_LT(SecondsSince(c), 2.0);
    EXPECT_EQ(QNCTRL_Close(h), QNCTRL_OK);

    // A display whose first words are not a login prompt is not logged in to.
    const LoopbackAddress otherIp;
    ScriptedPeer stranger(otherIp, 10008, {}, "Welcome\r\n");
    ASSERT_TRUE(stranger.Ok());
    EXPECT_EQ(QNCTRL_OpenIF(Lan(otherIp, "").c_str(), "svc", "pw", 1, 0, 1, 0, 0, 0, nullptr), nullptr);
}

TEST(QuendraControl, SerialLineByComNameAndByDevicePath) {
    SimProcess sim;
    ASSERT_TRUE(sim.Start({"--serial"}));
    const std::string pty = sim.Line();
    ASSERT_EQ(pty.rfind("/dev/", 0), 0u) << pty;
    testsupport::TempDir dir;
    testsupport::WriteFile(dir.Path() / "QuendraControl.ini", "[Ports]\r\nCOM5=" + pty + "\r\n");
    ::setenv("QUENDRA_QNCTRL_DIR", dir.Path().c_str(), 1);

    QNCTRL_HANDLE h = QNCTRL_OpenEx("COM5", "", "", 0x05010200u, nullptr);  // 19200 baud
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(Set(h, ""), QNCTRL_OK);
    EXPECT_EQ(GetString(h, "Command:SRNO????"), "QX30001001");
    int value = 0;
    EXPECT_EQ(QNCTRL_GetNumber(h, "Command:UTIM????", &value, nullptr, 0, 0), QNCTRL_OK);
    EXPECT_EQ(value, 12345);
    EXPECT_EQ(Set(h, "BOGUS"), QNCTRL_ERR_REFUSED);
    EXPECT_EQ(QNCTRL_Close(h), QNCTRL_OK);

    h = QNCTRL_OpenIF(pty.c_str(), "", "", 1, 0, 2, 0, 38400, 0, nullptr);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(GetString(h, "Command:INF1????"), "QM-X003");
    EXPECT_EQ(QNCTRL_Close(h), QNCTRL_OK);

    EXPECT_EQ(QNCTRL_OpenIF(pty.c_str(), "", "", 1, 0, 2, 0, 12345, 0, nullptr), nullptr);  // no such baud
    EXPECT_EQ(QNCTRL_OpenEx("COM5", "", "", 0x0F010200u, nullptr), nullptr);               // no such baud code
    EXPECT_EQ(QNCTRL_OpenEx((dir.Path() / "no-device").c_str(), "", "", kFlags, nullptr), nullptr);
    ::unsetenv("QUENDRA_QNCTRL_DIR");
}
