// The text protocol without I/O: reply lines, values, command texts, prompts,
// port names.
#include <gtest/gtest.h>

#include <climits>

#include <linkio/Channel.h>
#include <testsupport/ScriptedPeer.h>
#include <testsupport/SimProcess.h>
#include <testsupport/TempDir.h>
#include <linkio/TextProtocol.h>

using namespace linkio;

namespace {

std::vector<TextReply> Scan(ReplyScanner& s, std::string_view bytes) {
    std::vector<TextReply> out;
    for (char c : bytes)
        if (auto r = s.Feed(static_cast<std::uint8_t>(c))) out.push_back(*r);
    return out;
}

}  // namespace

TEST(ReplyScanner, KeepsOnlyTheThreeFormsAndNeverGrowsALine) {
    ReplyScanner s;
    // The LF left by the login, a garbage line, a prompt, then the replies.
    auto r = Scan(s, "\n#@!garbage\rLogin: \rOK\rNG\r=QX3\r=\r\nok\rNGX\r");
    ASSERT_EQ(r.size(), 4u);
    EXPECT_EQ(r[0].kind, TextReply::kOk);
    EXPECT_EQ(r[1].kind, TextReply::kRefused);
    EXPECT_EQ(r[2].value, "QX3");
    EXPECT_EQ(r[3].kind, TextReply::kValue);
    EXPECT_EQ(r[3].value, "");
    EXPECT_EQ(s.SkippedLines(), 4);
    // Half a line is never a reply; a new request drops it.
    EXPECT_TRUE(Scan(s, "=12").empty());
    s.Reset();
    r = Scan(s, "=34\r");
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].value, "34");
    r = Scan(s, "=" + std::string(kMaxReplyLine * 3, '7') + "\r");
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].value.size(), kMaxReplyLine - 1);
}

TEST(TextProtocol, DecimalValuesCommandTextsAndPrompts) {
    EXPECT_EQ(ParseDecimalValue("0012345"), 12345);
    EXPECT_EQ(ParseDecimalValue("-7"), -7);
    EXPECT_EQ(ParseDecimalValue("2147483647"), INT_MAX);
    EXPECT_EQ(ParseDecimalValue("-2147483648"), INT_MIN);
    for (const char* bad : {"", "-", "2147483648", "-2147483649", "99999999999999999999", "12a", " 12", "1,2"})
        EXPECT_FALSE(ParseDecimalValue(bad).has_value()) << bad;

    EXPECT_TRUE(IsValidCommandText(std::string(64, 'A')));
    EXPECT_FALSE(IsValidCommandText(std::string(65, 'A')));
    EXPECT_FALSE(IsValidCommandText("SRLG0000\r"));
    EXPECT_FALSE(IsValidCommandText("IFSN\xC3\xA9"));
    EXPECT_EQ(StripCommandPrefix("command:BNMD5"), "BNMD5");
    EXPECT_EQ(StripCommandPrefix("Comman"), "Comman");

    EXPECT_EQ(MatchPrompt("Log", "Login:"), PromptMatch::kIncomplete);
    EXPECT_EQ(MatchPrompt("\r\n login: ", "Login:"), PromptMatch::kMatch);
    EXPECT_EQ(MatchPrompt("OK\r", "Login:"), PromptMatch::kMismatch);
}

TEST(PortNames, LanComAndDevicePaths) {
    testsupport::TempDir dir;
    const auto ini = dir.Path() / "Links.ini";
    testsupport::WriteFile(ini, "[Ports]\r\nCOM5 = /dev/pts/77\r\ncom12=\"/dev/ttyUSB0\"\r\n");

    auto p = ParsePort("lan127.0.0.61:10010", ini);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->kind, PortSpec::kTcp);
    EXPECT_EQ(p->host, "127.0.0.61");
    EXPECT_EQ(p->port, 10010);
    EXPECT_EQ(ParsePort("LANdisplay", ini)->port, 10008);
    EXPECT_EQ(ParsePort("LAN10.0.0.1:99999", ini)->port, 10008);

    EXPECT_EQ(ParsePort("COM1", ini)->device, "/dev/ttyS0");
    EXPECT_EQ(ParsePort("COM5", ini)->device, "/dev/pts/77");
    EXPECT_EQ(ParsePort("COM12", ini)->device, "/dev/ttyUSB0");
    EXPECT_EQ(ParsePort("/dev/ttyACM0", ini)->device, "/dev/ttyACM0");
    for (const char* bad : {"", "LAN", "LAN:10008", "COM0", "COM257", "COM05", "COM1x", " COM1", "dev/ttyS0"})
        EXPECT_FALSE(ParsePort(bad, ini).has_value()) << bad;
}
