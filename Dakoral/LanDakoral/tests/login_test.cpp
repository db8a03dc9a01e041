// The login dialogue (login mode 1) in each of its outcomes.

#include <gtest/gtest.h>

#include <atomic>

#include "FakeDisplay.h"
#include "LanDakoral.h"
#include "TestEnv.h"
#include "testsupport/SimProcess.h"

using fake::Bytes;
using fake::Conn;
using fake::FakeDisplay;
using fake::Request;
using testenv::CountOf;
using testenv::LanEnv;

namespace {

constexpr const char* kLoginIni = "[LAN]\r\nTLMode=1\r\nLoginTimeout=1\r\nLogoutTimeout=1\r\n";
constexpr unsigned kFlags = (2u << 16) | (1u << 8);
constexpr const char* kAccount = "svc-admin";
constexpr const char* kPassword = "pW9!secret";

// Answers binary requests until the client leaves.
void Serve(Conn& c) {
    Request req;
    while (c.ReadRequest(req) && !req.logout) c.Send(fake::Reply(req.command, {0x5A}));
}

int Get(DAKRIF_HANDLE h) {
    std::uint8_t cmd = 0x40;
    Bytes reply(DAKRIF_MAX_REPLY);
    int len = 0;
    return DAKRIF_GetCommand(h, &cmd, nullptr, reply.data(), 0, &len);
}

struct Seen {
    std::string account, password;
};

// How a text of n bytes appears in the log once a credential was sent.
std::string Masked(std::size_t n) {
    std::string m;
    for (std::size_t i = 0; i < n; ++i) m += "** ";
    return m;
}

// Prompts for account and password; `after` decides what follows the password.
FakeDisplay::Handler Dialogue(Seen& seen, std::function<void(Conn&)> after) {
    return [&seen, after](Conn& c) {
        c.Send("\r\nLogin: ");
        if (!c.ReadLine(seen.account)) return;
        c.Send("Password: ");
        if (!c.ReadLine(seen.password)) return;
        after(c);
    };
}

}  // namespace

TEST(Login, AcceptedWhenSilenceFollowsThePassword) {
    LanEnv env(kLoginIni);
    Seen seen;
    const testsupport::LoopbackAddress ip;
    FakeDisplay display(ip, Dialogue(seen, Serve));
    DAKRIF_HANDLE h = DAKRIF_OpenEx(display.Iface().c_str(), kAccount, kPassword, kFlags, nullptr);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(Get(h), DAKRIF_OK);
    EXPECT_EQ(Get(h), DAKRIF_OK);
    ASSERT_EQ(DAKRIF_Close(h), 1);
    EXPECT_EQ(seen.account, kAccount);
    EXPECT_EQ(seen.password, kPassword);
    EXPECT_EQ(display.Connections(), 1);
    // Login mode 1 closes without the logout byte.
    ASSERT_EQ(display.Requests().size(), 2u);
    for (const auto& r : display.Requests()) EXPECT_FALSE(r.logout);

    const std::string log = env.Log();
    EXPECT_NE(log.find("Trace: [Auth-Recv] Login: \r\n"), std::string::npos);
    EXPECT_NE(log.find("Trace: [Auth-Send] Account\r\n"), std::string::npos);
    EXPECT_NE(log.find("Trace: [Auth-Recv] " + Masked(10) + "\r\n"), std::string::npos);  // "Password: "
    EXPECT_NE(log.find("Trace: [Auth-Send] Password\r\n"), std::string::npos);
    EXPECT_NE(log.find("Trace: [Auth] Logged in\r\n"), std::string::npos);
    // Credentials are logged as one mask per byte (text and CR LF).
    for (const char* credential : {kAccount, kPassword}) {
        const std::string sent =
            "Trace: [Send] bin  = " + Masked(std::string(credential).size() + 2) + "\r\n";
        EXPECT_NE(log.find(sent), std::string::npos) << credential;
    }
    EXPECT_EQ(log.find(kPassword), std::string::npos);
    EXPECT_EQ(log.find(kAccount), std::string::npos);
    EXPECT_EQ(log.find("70 57 39 21"), std::string::npos);  // the password's bytes in hex
}

TEST(Login, DisplayWithoutPrompt) {
    LanEnv env(kLoginIni);
    const testsupport::LoopbackAddress ip;
    FakeDisplay display(ip, Serve);
    // No credentials: the silent display is taken as logged in.
    DAKRIF_HANDLE h = DAKRIF_OpenEx(display.Iface().c_str(), "", nullptr, kFlags, nullptr);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(Get(h), DAKRIF_OK);
    DAKRIF_Close(h);
    EXPECT_NE(env.Log().find("Trace: [Auth] Logged in"), std::string::npos);

    // With credentials the missing prompt is a refusal.
    h = DAKRIF_OpenEx(display.Iface().c_str(), kAccount, "", kFlags, nullptr);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(Get(h), DAKRIF_ERR_AUTH);
    DAKRIF_Close(h);
    const std::string log = env.Log();
    EXPECT_NE(log.find("ERROR: [Auth] Account or Password is set, though Login message does not come."),
              std::string::npos);
    EXPECT_NE(log.find("ERROR: [Get] Authentification Error."), std::string::npos);
}

TEST(Login, NoPasswordPromptTimesOut) {
    LanEnv env(kLoginIni);
    std::string account;
    const testsupport::LoopbackAddress ip;
    FakeDisplay display(ip, [&](Conn& c) {
        c.Send("Login: ");
        c.ReadLine(account);
        c.DrainUntilClosed(5000);
    });
    DAKRIF_HANDLE h = DAKRIF_OpenEx(display.Iface().c_str(), kAccount, kPassword, kFlags, nullptr);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(Get(h), DAKRIF_ERR_LOGIN_TIMEOUT);
    DAKRIF_Close(h);
    const std::string log = env.Log();
    EXPECT_NE(log.find("ERROR: [Auth] Timeout to login..."), std::string::npos);
    EXPECT_NE(log.find("ERROR: [Get] Cannot open because of timeout (" + ip.Text() + ":" +
                       std::to_string(display.Port()) + ")"),
              std::string::npos);
}

TEST(Login, RejectedPasswordThenLoginAgain) {
    LanEnv env(kLoginIni);
    Seen seen;
    std::atomic<int> n{0};
    const testsupport::LoopbackAddress ip;
    FakeDisplay display(ip, Dialogue(seen, [&](Conn& c) {
                            if (++n == 1) {
                                c.Send("User name or password is incorrect.\r\n");
                                c.DrainUntilClosed(3000);
                            } else {
                                Serve(c);
                            }
                        }));
    DAKRIF_HANDLE h = DAKRIF_OpenEx(display.Iface().c_str(), kAccount, kPassword, kFlags, nullptr);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(Get(h), DAKRIF_ERR_AUTH);
    // The failed login closed the connection; the next call dials and logs in again.
    EXPECT_EQ(Get(h), DAKRIF_OK);
    EXPECT_EQ(display.Connections(), 2);
    DAKRIF_Close(h);
    const std::string log = env.Log();
    EXPECT_NE(log.find("ERROR: [Auth] Login incorrect"), std::string::npos);
    EXPECT_NE(log.find("ERROR: [Get] Authentification Error."), std::string::npos);
    EXPECT_EQ(CountOf(log, "Trace: [Auth] Logged in"), 1);
}

TEST(Login, UnexpectedTextsFailTheLoginAndEchoesStayOutOfTheLog) {
    LanEnv env(kLoginIni);
    std::atomic<int> n{0};
    const testsupport::LoopbackAddress ip;
    FakeDisplay display(ip, [&](Conn& c) {
        std::string line;
        const int k = ++n;
        if (k == 1) {
            c.Send("\xFF\xFD\x18Welcome to the panel\r\n");  // not a login prompt
            c.DrainUntilClosed(3000);
            return;
        }
        c.Send("Login: ");
        c.ReadLine(line);
        if (k == 2) {
            c.Send(line + "\r\n");  // echoes the account instead of asking for the password
        } else if (k == 3) {
            c.Send("Password: ");
            c.ReadLine(line);
            c.Send(line + "\r\nWelcome\r\n");  // echoes the password: neither silence nor a rejection
        } else {
            return;  // hangs up during the dialogue
        }
        c.DrainUntilClosed(3000);
    });
    DAKRIF_HANDLE h = DAKRIF_OpenEx(display.Iface().c_str(), kAccount, kPassword, kFlags, nullptr);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(Get(h), DAKRIF_ERR_ACCESS);
    EXPECT_EQ(Get(h), DAKRIF_ERR_FAILED);
    EXPECT_EQ(Get(h), DAKRIF_ERR_FAILED);
    EXPECT_EQ(Get(h), DAKRIF_ERR_FAILED);
    DAKRIF_Close(h);
    const std::string log = env.Log();
    // Before anything was sent the display's text is logged as it is.
    EXPECT_NE(log.find("Trace: [Auth-Recv] Welcome to the panel\r\n"), std::string::npos);
    EXPECT_NE(log.find("ERROR: [Auth] Access denied."), std::string::npos);
    EXPECT_NE(log.find("ERROR: [Get] Access is denied."), std::string::npos);
    // Afterwards only its length.
    const std::string account = Masked(std::string(kAccount).size());
    const std::string password = Masked(std::string(kPassword).size());
    EXPECT_NE(log.find("Trace: [Auth-Recv] " + account + "\r\n"), std::string::npos);
    EXPECT_NE(log.find("ERROR: [Auth] Invalid Reply - " + account + "\r\n"), std::string::npos);
    EXPECT_NE(log.find("Trace: [Auth-Recv] " + password + "\r\n"), std::string::npos);
    EXPECT_NE(log.find("ERROR: [Auth] Invalid Reply - " + password + "\r\n"), std::string::npos);
    EXPECT_EQ(log.find(kAccount), std::string::npos);
    EXPECT_EQ(log.find(kPassword), std::string::npos);
    EXPECT_NE(log.find("ERROR: [Auth] Connection closed by the display."), std::string::npos);
    EXPECT_EQ(CountOf(log, "ERROR: [Get] Cannot login ..."), 3);
    EXPECT_EQ(CountOf(log, "[Auth] Logged in"), 0);
}
