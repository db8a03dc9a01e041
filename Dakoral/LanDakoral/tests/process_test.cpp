// Several processes: the host lock, the shared log file, and the shared library itself.

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include "LanDakoral.h"
#include "Log.h"
#include "TestEnv.h"
#include "testsupport/SimProcess.h"

using testenv::CountOf;
using testenv::LanEnv;

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void WriteIni(const LanEnv& env, const std::string& text) {
    std::ofstream(env.Dir() / "Dakoral.ini", std::ios::binary | std::ios::trunc) << text;
}

}  // namespace

TEST(HostLock, HeldByAnotherProcessUntilItDies) {
    LanEnv env("[Common]\r\nOpenTimeout=1\r\n");
    const testsupport::LoopbackAddress ip, otherIp;
    const std::string iface = "LAN" + ip.Text() + ":18081";
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Holds the lock for the host until it is killed.
        const char ok = DAKRIF_Open(iface.c_str(), 0) != nullptr ? '1' : '0';
        [[maybe_unused]] ssize_t w = ::write(ready[1], &ok, 1);
        for (;;) ::pause();
    }
    ::close(ready[1]);
    char ok = 0;
    ASSERT_EQ(::read(ready[0], &ok, 1), 1);
    ::close(ready[0]);
    ASSERT_EQ(ok, '1');

    // Same address, any port, any spelling: waits the open time-out, then fails.
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(DAKRIF_Open(("lan" + ip.ShortForm() + ":10008").c_str(), 0), nullptr);
    EXPECT_GE(Seconds(start), 0.9);
    EXPECT_NE(env.Log().find("ERROR: " + ip.ShortForm() + " 's LAN Port is locked"), std::string::npos);

    // Another host is not held up.
    DAKRIF_HANDLE other = DAKRIF_Open(("LAN" + otherIp.Text()).c_str(), 0);
    EXPECT_NE(other, nullptr);
    DAKRIF_Close(other);

    // The lock of a killed holder is free at once (an open time-out of 0 still gets one try).
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    WriteIni(env, "[Common]\r\nOpenTimeout=0\r\n");
    DAKRIF_HANDLE h = DAKRIF_Open(iface.c_str(), 0);
    EXPECT_NE(h, nullptr);
    EXPECT_EQ(DAKRIF_Close(h), 1);
}

TEST(HostLock, SecondHandleInOneProcessAndCancel) {
    LanEnv env("[Common]\r\nOpenTimeout=0\r\n");
    const testsupport::LoopbackAddress ip;
    const std::string iface = "LAN" + ip.Text();
    DAKRIF_HANDLE first = DAKRIF_Open(iface.c_str(), 0);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(DAKRIF_Open((iface + ":18081").c_str(), 0), nullptr);
    EXPECT_EQ(CountOf(env.Log(), "ERROR: " + ip.Text() + " 's LAN Port is locked"), 1);

    // A cancel flag set while waiting ends the wait long before the open time-out.
    WriteIni(env, "[Common]\r\nOpenTimeout=30\r\n");
    int cancel = 0;
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        std::atomic_ref<int>(cancel).store(1);
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(DAKRIF_OpenEx(iface.c_str(), nullptr, nullptr, 0, &cancel), nullptr);
    EXPECT_LT(Seconds(start), 5.0);
    canceller.join();
    EXPECT_NE(env.Log().find("ERROR: Opening " + ip.Text() + " 's LAN Port is canceled"), std::string::npos);

    // A free lock is taken even with the cancel flag set.
    ASSERT_EQ(DAKRIF_Close(first), 1);
    DAKRIF_HANDLE again = DAKRIF_OpenEx(iface.c_str(), nullptr, nullptr, 0, &cancel);
    EXPECT_NE(again, nullptr);
    DAKRIF_Close(again);
}

TEST(LogFile, SeveralProcessesLoseAndTearNoLine) {
    LanEnv env;
    constexpr int kWriters = 4;
    constexpr int kLines = 1600;  // about 640 KB in all: the log rotates once on the way
    const std::string pad(60, 'x');
    std::vector<pid_t> children;
    for (int w = 0; w < kWriters; ++w) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            for (int i = 0; i < kLines; ++i) lan::Logf(lan::kTrace, "writer %d line %04d %s", w, i, pad.c_str());
            ::_exit(0);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }

    const std::string old = testenv::ReadFile(env.LogPath().string() + ".old");
    EXPECT_GT(old.size(), static_cast<std::size_t>(lan::kLogRotateSize)) << "one rotation expected";
    const std::string all = old + env.Log();
    const std::regex line(R"(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d: Trace: writer (\d) line (\d{4}) x{60})");
    std::map<int, int> next;
    std::size_t pos = 0;
    int count = 0;
    while (pos < all.size()) {
        const std::size_t end = all.find("\r\n", pos);
        ASSERT_NE(end, std::string::npos) << "unterminated line at " << pos;
        const std::string text = all.substr(pos, end - pos);
        std::smatch m;
        ASSERT_TRUE(std::regex_match(text, m, line)) << "torn line: " << text;
        const int w = std::stoi(m[1]);
        EXPECT_EQ(std::stoi(m[2]), next[w]) << "writer " << w;
        next[w] = std::stoi(m[2]) + 1;
        ++count;
        pos = end + 2;
    }
    EXPECT_EQ(count, kWriters * kLines);
}

TEST(SharedLibrary, LoadsItsLogAndExportsOnlyTheInterface) {
    LanEnv env("[Log]\r\nFolder=solog\r\n[Common]\r\nOpenTimeout=0\r\n", false);
    void* lib = ::dlopen(LANDAKORAL_SO_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << ::dlerror();
    using OpenFn = DAKRIF_HANDLE (*)(const char*, unsigned);
    using CloseFn = int (*)(DAKRIF_HANDLE);
    auto open = reinterpret_cast<OpenFn>(::dlsym(lib, "DAKRIF_Open"));
    auto close = reinterpret_cast<CloseFn>(::dlsym(lib, "DAKRIF_Close"));
    ASSERT_NE(open, nullptr);
    ASSERT_NE(close, nullptr);
    for (const char* name : {"DAKRIF_OpenEx", "DAKRIF_OpenIF", "DAKRIF_GetCommand"})
        EXPECT_NE(::dlsym(lib, name), nullptr) << name;

    EXPECT_EQ(open("COM3", 0), nullptr);
    const testsupport::LoopbackAddress ip;
    DAKRIF_HANDLE h = open(("LAN" + ip.Text()).c_str(), 0);
    EXPECT_NE(h, nullptr);
    EXPECT_EQ(close(h), 1);
    EXPECT_EQ(close(h), 0);
    ::dlclose(lib);

    // The library's load built its log in the configured folder.
    const std::string log = testenv::ReadFile(env.Dir() / "solog" / "DakoralLan.log");
    EXPECT_NE(log.find("ERROR: [OpenIF] Invalid Interface(COM3)\r\n"), std::string::npos);
    EXPECT_NE(log.find("ERROR: [Close] Invalid Handle!\r\n"), std::string::npos);

    // No other function is visible, the common layer's included.
    if (FILE* nm = ::popen("nm -D --defined-only " LANDAKORAL_SO_PATH " 2>/dev/null", "r")) {
        std::set<std::string> exported;
        char buf[512];
        while (std::fgets(buf, sizeof buf, nm)) {
            std::istringstream in(buf);
            std::string addr, type, name;
            if (in >> addr >> type >> name && (type == "T" || type == "W" || type == "D" || type == "B"))
                exported.insert(name);
        }
        if (::pclose(nm) == 0) {
            EXPECT_EQ(exported, (std::set<std::string>{"DAKRIF_Close", "DAKRIF_GetCommand", "DAKRIF_Open",
                                                       "DAKRIF_OpenEx", "DAKRIF_OpenIF"}));
        }
    }
}
