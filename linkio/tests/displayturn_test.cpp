// A display's identity from the many spellings of its port, and its turn.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fcntl.h>

#include <linkio/DisplayTurn.h>
#include <testsupport/TempDir.h>

#include <set>

namespace fs = std::filesystem;
using namespace linkio;

namespace {

// A pseudo-terminal: a character device that exists on every machine.
class Pty {
public:
    Pty() {
        m_fd = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (m_fd >= 0 && ::grantpt(m_fd) == 0 && ::unlockpt(m_fd) == 0) m_path = ::ptsname(m_fd);
    }
    ~Pty() {
        if (m_fd >= 0) ::close(m_fd);
    }
    const std::string& Path() const { return m_path; }

private:
    int m_fd = -1;
    std::string m_path;
};

std::string KeyOf(const std::string& port, const fs::path& settings) {
    DisplayIdentity id;
    std::string error;
    if (!IdentifyDisplay(port, settings, id, error)) return "error: " + error;
    return id.key;
}

// Every spelling in a group reaches one display; no two groups meet.
TEST(DisplayIdentity, SpellingsOfOneDisplayMeetAndOthersDoNot) {
    testsupport::TempDir dir;
    Pty pty;
    ASSERT_FALSE(pty.Path().empty());
    fs::create_symlink(pty.Path(), dir / "line");
    const fs::path settings = dir / "ports.ini";
    testsupport::WriteFile(settings, "[Ports]\r\nCOM1=" + pty.Path() + "\r\nCOM2=" + (dir / "line").string() +
                                         "\r\nCOM3=/dev/null\r\n");
    const std::string missing = (dir / "gone").string();
    const std::vector<std::vector<std::string>> groups = {
        {"LAN127.0.0.66", "LAN127.66:18081", "lan0x7f.0.0.0x42:10008"},
        {"LANlocalhost", "LAN127.0.0.1:18081", "LAN127.1"},
        {"LAN127.0.0.67"},
        {"COM1", "com1", "COM2", pty.Path(), (dir / "line").string(), (dir / "." / "line").string()},
        {"COM3", "/dev/null", "/dev/../dev/null"},
        {missing + "/ttyX", missing + "/sub/../ttyX", missing + "/./ttyX"},
    };
    std::set<std::string> seen;
    for (const auto& group : groups) {
        const std::string key = KeyOf(group.front(), settings);
        EXPECT_EQ(key.rfind("error", 0), std::string::npos) << group.front() << ": " << key;
        for (const std::string& spelling : group) EXPECT_EQ(KeyOf(spelling, settings), key) << spelling;
        EXPECT_TRUE(seen.insert(key).second) << "two displays meet on " << key;
    }

    DisplayIdentity id;
    std::string error;
    ASSERT_TRUE(IdentifyDisplay("LAN127.66:10008", settings, id, error));
    EXPECT_EQ(id.name, "127.0.0.66");
    EXPECT_EQ(DottedIpv4(id.address), "127.0.0.66");
    ASSERT_TRUE(IdentifyDisplay("COM2", settings, id, error));
    EXPECT_EQ(id.name, pty.Path());  // messages name the device, not the link
    EXPECT_FALSE(IdentifyDisplay("LAN:10008", settings, id, error));
    EXPECT_FALSE(IdentifyDisplay("COM0", settings, id, error));
    EXPECT_FALSE(error.empty());
}

// Two spellings wait for each other; the caller hears at once that it waits
// and, on time-out, that the display was busy; a cancel ends the wait; a FIFO
// at the lock path is refused at once.
TEST(DisplayTurn, SecondSpellingWaitsThenHearsItWasBusy) {
    testsupport::TempDir locks;
    DisplayIdentity first, second;
    std::string error;
    ASSERT_TRUE(IdentifyDisplay("LAN127.0.0.66", {}, first, error));
    ASSERT_TRUE(IdentifyDisplay("LAN127.66:18081", {}, second, error));
    DisplayTurn holder(first, locks.Path()), waiter(second, locks.Path());
    std::vector<std::string> notices;
    const auto note = [&notices](const std::string& text) { notices.push_back(text); };

    ASSERT_EQ(holder.Take(0, nullptr, note), DisplayTurn::Result::kHeld);
    EXPECT_TRUE(notices.empty());
    EXPECT_EQ(waiter.Take(300, nullptr, note), DisplayTurn::Result::kBusy);
    ASSERT_EQ(notices.size(), 2u);
    EXPECT_EQ(notices[0], "waiting for display 127.0.0.66: another program is using it");
    EXPECT_EQ(notices[1].rfind("display 127.0.0.66 is busy: another program kept it for ", 0), 0u) << notices[1];
    int cancel = 1;
    EXPECT_EQ(waiter.Take(60000, &cancel), DisplayTurn::Result::kCancelled);
    holder.Release();
    EXPECT_EQ(waiter.Take(0, nullptr), DisplayTurn::Result::kHeld);

    DisplayIdentity other;
    ASSERT_TRUE(IdentifyDisplay("LAN127.0.0.67", {}, other, error));
    const fs::path fifo = locks.Path() / (cmn::SafeLockFileName(DisplayTurnName(other)) + ".lock");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);
    notices.clear();
    DisplayTurn planted(other, locks.Path());
    EXPECT_EQ(planted.Take(60000, nullptr, note), DisplayTurn::Result::kError);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0], "cannot use display 127.0.0.67: " + fifo.string() + ": is a FIFO, not a regular file");
}

}  // namespace
