// Linkara through its exports, against display-sim on a loopback address of
// its own or a pseudo-terminal.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>

#include "Linkara.h"
#include "LinkaraCore.h"
#include <linkio/DisplayTurn.h>
#include <testsupport/ScriptedPeer.h>
#include <testsupport/SimProcess.h>
#include <testsupport/TempDir.h>

using testsupport::LoopbackAddress;
using testsupport::SimProcess;

namespace {

// A private settings folder with the given Linkara.ini, for one test; the
// display's lock files go there too.
class LinkaraEnv {
public:
    explicit LinkaraEnv(const std::string& ini) {
        testsupport::WriteFile(m_dir.Path() / "Linkara.ini", ini);
        ::setenv("QUENDRA_LINKARA_DIR", m_dir.Path().c_str(), 1);
        ::setenv("QUENDRA_LOCK_DIR", m_dir.Path().c_str(), 1);
        Linkara_Initialize(nullptr);
    }
    ~LinkaraEnv() {
        Linkara_Terminate();
        ::unsetenv("QUENDRA_LINKARA_DIR");
        ::unsetenv("QUENDRA_LOCK_DIR");
    }

private:
    testsupport::TempDir m_dir;
};

std::string Lan(const std::string& addr, const std::string& account = "") {
    return "[Connection]\r\nInterface=LAN\r\nAddress=" + addr + "\r\nDataPort=10008\r\nAccount=" + account + "\r\n";
}

std::u16string Get(const char16_t* cmd, int* ok = nullptr) {
    char16_t buf[260];
    std::fill(std::begin(buf), std::end(buf), u'#');
    const int r = Linkara_GetString(cmd, buf, 520);
    if (ok) *ok = r;
    return buf;
}

}  // namespace

TEST(Linkara, ExportsTheEightCalls) {
    void* lib = ::dlopen(LINKARA_SO_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << ::dlerror();
    for (const char* name : {"Linkara_Initialize", "Linkara_Terminate", "Linkara_ConnectionSetting", "Linkara_Open",
                             "Linkara_Close", "Linkara_GetString", "Linkara_SetCommand", "Linkara_GetNumber"})
        EXPECT_NE(::dlsym(lib, name), nullptr) << name;
    ::dlclose(lib);
}

TEST(Linkara, EveryCallOverTcpWithUtf16Texts) {
    const LoopbackAddress ip;
    SimProcess sim;
    ASSERT_TRUE(sim.Start({"--listen", ip}));
    LinkaraEnv env(Lan(ip));
    int value = 0;
    // Nothing works before the link is open.
    EXPECT_EQ(Linkara_SetCommand(u""), 0);
    EXPECT_EQ(Linkara_GetNumber(u"UTIM????", &value), 0);
    int ok = -1;
    EXPECT_EQ(Get(u"SRNO????", &ok), u"");
    EXPECT_EQ(ok, 0);

    ASSERT_NE(Linkara_Open(), 0);
    EXPECT_EQ(Get(u"SRNO????"), u"QX30001001");
    EXPECT_NE(Linkara_GetNumber(u"UTIM????", &value), 0);
    EXPECT_EQ(value, 12345);
    EXPECT_NE(Linkara_SetCommand(u"WBRP20600"), 0);
    // Refusals.
    EXPECT_EQ(Linkara_SetCommand(u"XXXX0000"), 0);
    EXPECT_EQ(Get(u"ERRT????", &ok), u"");
    EXPECT_EQ(ok, 0);
    value = -5;
    EXPECT_EQ(Linkara_GetNumber(u"INF1????", &value), 0);
    EXPECT_EQ(value, -5);

    // Text outside ASCII is refused and nothing reaches the display.
    EXPECT_EQ(Linkara_SetCommand(u"IFSNQX3\u00e9\U0001F600"), 0);
    EXPECT_EQ(Linkara_GetNumber(u"UTIM\u00e9???", &value), 0);
    EXPECT_EQ(Get(u"SRNO????"), u"QX30001001");
    // A command too long for the wire is refused, the link stays usable.
    EXPECT_EQ(Linkara_SetCommand(std::u16string(65, u'A').c_str()), 0);
    EXPECT_NE(Linkara_SetCommand(u""), 0);

    // Null arguments are refused without a crash.
    char16_t buf[4] = {u'#', u'#', u'#', u'#'};
    EXPECT_EQ(Linkara_GetString(nullptr, buf, 4), 0);
    EXPECT_EQ(buf[0], 0);
    EXPECT_EQ(Linkara_GetString(u"SRNO????", nullptr, 260), 0);
    EXPECT_EQ(Linkara_GetString(u"SRNO????", buf, 0), 0);
    EXPECT_EQ(Linkara_GetNumber(u"UTIM????", nullptr), 0);
    EXPECT_EQ(Linkara_SetCommand(nullptr), 0);
    // A value that does not fit fails rather than passing for a shorter one.
    std::fill(std::begin(buf), std::end(buf), u'#');
    EXPECT_EQ(Linkara_GetString(u"SRNO????", buf, 4), 0);
    EXPECT_EQ(buf[0], 0);

    Linkara_Close();
    EXPECT_EQ(Linkara_SetCommand(u""), 0);
    Linkara_Close();  // twice is harmless
    // Open again: the settings hold.
    ASSERT_NE(Linkara_Open(), 0);
    EXPECT_EQ(Get(u"INF1????"), u"QM-X003");
    Linkara_Close();
}

TEST(Linkara, AccountFromTheFilePasswordFromMemory) {
    const LoopbackAddress ip;
    SimProcess sim;
    ASSERT_TRUE(sim.Start({"--listen", ip, "--account", "svc", "--password", "pw"}));
    LinkaraEnv env(Lan(ip, "svc"));
    EXPECT_EQ(Linkara_Open(), 0);  // no password yet
    linkara::SetPassword(u"wrong");
    EXPECT_EQ(Linkara_Open(), 0);
    linkara::SetPassword(u"pw");
    ASSERT_NE(Linkara_Open(), 0);
    EXPECT_EQ(Get(u"SRNO????"), u"QX30001001");
    Linkara_Close();
    // Terminate forgets the password.
    Linkara_Terminate();
    Linkara_Initialize(nullptr);
    EXPECT_EQ(Linkara_Open(), 0);
}

TEST(Linkara, SerialLineByComNameAndDevicePath) {
    SimProcess sim;
    ASSERT_TRUE(sim.Start({"--serial"}));
    const std::string pty = sim.Line();
    {
        LinkaraEnv env("[Connection]\r\nInterface=COM\r\nPort=COM7\r\nBaud=19200\r\n[Ports]\r\nCOM7=" + pty + "\r\n");
        ASSERT_NE(Linkara_Open(), 0);
        EXPECT_EQ(Get(u"INF1????"), u"QM-X003");
        EXPECT_NE(Linkara_SetCommand(u"ESPC0001"), 0);
        EXPECT_EQ(Get(u"ERRT????"), u"25,30,28");
        Linkara_Close();
    }
    {
        LinkaraEnv env("[Connection]\r\nInterface=COM\r\nPort=" + pty + "\r\nBaud=115200\r\n");
        ASSERT_NE(Linkara_Open(), 0);
        int v = 0;
        EXPECT_NE(Linkara_GetNumber(u"UTIM????", &v), 0);
        EXPECT_EQ(v, 12345);
        Linkara_Close();
    }
}

TEST(Linkara, SilentDisplayAndNoDisplayFailInTime) {
    const LoopbackAddress ip, silentIp;
    SimProcess sim;
    ASSERT_TRUE(sim.Start({"--listen", ip, "--drop", "every:1"}));
    LinkaraEnv env(Lan(ip));
    ASSERT_NE(Linkara_Open(), 0);
    const auto t = std::chrono::steady_clock::now();
    int ok = -1;
    EXPECT_EQ(Get(u"SRNO????", &ok), u"");
    EXPECT_EQ(ok, 0);
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
    EXPECT_GE(s, 2.5);
    EXPECT_LT(s, 5.0);
    Linkara_Close();

    LinkaraEnv none(Lan(silentIp));  // nothing listens there
    EXPECT_EQ(Linkara_Open(), 0);
    LinkaraEnv empty("[Connection]\r\nInterface=LAN\r\n");  // no address
    EXPECT_EQ(Linkara_Open(), 0);
}

// Linkara holds the display's turn from its open to its close, and waits
// (briefly) for another program's, whatever the spelling of the address.
TEST(Linkara, OpenTakesTheDisplaysTurn) {
    testsupport::LoopbackAddress address;
    SimProcess sim;
    ASSERT_TRUE(sim.Start({"--listen", address.Text()}));
    LinkaraEnv env(Lan(address.Text()));
    linkio::DisplayIdentity display;
    std::string error;
    ASSERT_TRUE(linkio::IdentifyDisplay("LAN" + address.ShortForm(), {}, display, error)) << error;
    linkio::DisplayTurn other(display);

    ASSERT_NE(Linkara_Open(), 0);
    EXPECT_EQ(other.Take(0, nullptr), linkio::DisplayTurn::Result::kBusy);
    Linkara_Close();
    ASSERT_EQ(other.Take(0, nullptr), linkio::DisplayTurn::Result::kHeld);
    const auto t = std::chrono::steady_clock::now();
    EXPECT_EQ(Linkara_Open(), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - t, std::chrono::seconds(10));
    other.Release();
    ASSERT_NE(Linkara_Open(), 0);
    EXPECT_EQ(Get(u"SRNO????"), u"QX30001001");
    Linkara_Close();
}
