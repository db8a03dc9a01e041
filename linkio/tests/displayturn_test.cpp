// A display's identity from the many spellings of its port.
#include <gtest/gtest.h>

#include <linkio/DisplayTurn.h>
#include <testsupport/ScriptedPeer.h>
#include <testsupport/TempDir.h>

#include <set>

namespace fs = std::filesystem;
using namespace linkio;

namespace {

std::string KeyOf(const std::string& port, const fs::path& settings) {
    DisplayIdentity id;
    std::string error;
    return IdentifyDisplay(port, settings, id, error) ? id.key : "error: " + error;
}

// Every spelling in a group reaches one display; no two groups meet.
TEST(DisplayIdentity, SpellingsOfOneDisplayMeetAndOthersDoNot) {
    testsupport::TempDir dir;
    testsupport::ScriptedPeer pty({});  // a pseudo-terminal: a serial device on every machine
    ASSERT_TRUE(pty.Ok());
    fs::create_symlink(pty.Path(), dir / "line");
    const fs::path settings = dir / "ports.ini";
    testsupport::WriteFile(settings, "[Ports]\r\nCOM1=" + pty.Path() + "\r\nCOM2=" + (dir / "line").string() +
                                         "\r\nCOM3=/dev/null\r\n");
    const std::string gone = (dir / "gone").string();
    const std::vector<std::vector<std::string>> groups = {
        {"LAN127.0.0.66", "LAN127.66:18081", "lan0x7f.0.0.0x42:10008"},
        {"LANlocalhost", "LAN127.0.0.1:18081", "LAN127.1"},
        {"LAN127.0.0.67"},
        {"COM1", "com1", "COM2", pty.Path(), (dir / "line").string(), (dir / "." / "line").string()},
        {"COM3", "/dev/null", "/dev/../dev/null"},
        {gone + "/ttyX", gone + "/sub/../ttyX", gone + "/./ttyX"},
    };
    std::set<std::string> seen;
    for (const auto& group : groups) {
        const std::string key = KeyOf(group.front(), settings);
        EXPECT_EQ(key.rfind("error", 0), std::string::npos) << group.front() << ": " << key;
        for (const std::string& spelling : group) EXPECT_EQ(KeyOf(spelling, settings), key) << spelling;
        EXPECT_TRUE(seen.insert(key).second) << "two displays meet on " << key;
    }

    // Messages name the address found and the device, not the link.
    DisplayIdentity id;
    std::string error;
    ASSERT_TRUE(IdentifyDisplay("LAN127.66:10008", settings, id, error));
    EXPECT_EQ(id.name, "127.0.0.66");
    ASSERT_TRUE(IdentifyDisplay("COM2", settings, id, error));
    EXPECT_EQ(id.name, pty.Path());
    EXPECT_FALSE(IdentifyDisplay("LAN:10008", settings, id, error));
}

}  // namespace
