// Login text and interface strings.

#include <gtest/gtest.h>

#include "LanProtocol.h"

TEST(LoginText, CleaningAndPrompts) {
    using namespace std::string_literals;
    EXPECT_EQ(lan::CleanText("\r\nLogin: "), "Login: ");
    EXPECT_EQ(lan::CleanText("\xFF\xFB\x01Password: x\r\nmore"), "Password: x");
    EXPECT_EQ(lan::CleanText("\0Login: "s), "");  // a leading zero ends the text
    EXPECT_EQ(lan::CleanText("\r\n\r\n"), "");
    EXPECT_EQ(lan::PromptWord("\r\n  Login: "), "Login:");
    EXPECT_EQ(lan::PromptWord("User name or password incorrect"), "User");

    EXPECT_TRUE(lan::StartsWithNoCase(lan::PromptWord("LOGIN:"), "Login:"));
    EXPECT_TRUE(lan::StartsWithNoCase(lan::PromptWord("password:"), "Password:"));
    EXPECT_FALSE(lan::StartsWithNoCase(lan::PromptWord("Login :"), "Login:"));
    EXPECT_FALSE(lan::StartsWithNoCase(lan::PromptWord("Log"), "Login:"));
    EXPECT_TRUE(lan::StartsWithNoCase(lan::PromptWord("username?"), "User"));
}

TEST(InterfaceString, HostAndPort) {
    struct Case {
        const char* text;
        const char* host;
        int port;
    } cases[] = {
        {"LAN192.168.0.10:5000", "192.168.0.10", 5000},
        {"lan10.0.0.1", "10.0.0.1", 10008},
        {"Lan10.0.0.1:0", "10.0.0.1", 10008},
        {"LAN10.0.0.1:abc", "10.0.0.1", 10008},
        {"LAN10.0.0.1:-5", "10.0.0.1", 10008},
        {"LAN10.0.0.1:65535", "10.0.0.1", 65535},
        {"LAN10.0.0.1:65536", "10.0.0.1", 10008},
        {"LAN10.0.0.1:99999999999999999999", "10.0.0.1", 10008},
        {"LAN10.0.0.1:18081x", "10.0.0.1", 18081},
        {"lanpanel-3.example:80", "PANEL-3.EXAMPLE", 80},
        {"LAN:80", ":80", 10008},  // a colon directly after "LAN" is part of the host
        {"LAN", "", 10008},
    };
    for (const auto& c : cases) {
        lan::InterfaceSpec spec;
        ASSERT_TRUE(lan::ParseInterface(c.text, spec)) << c.text;
        EXPECT_EQ(spec.host, c.host) << c.text;
        EXPECT_EQ(spec.port, c.port) << c.text;
    }
    lan::InterfaceSpec spec;
    for (const char* bad : {"COM1", " LAN10.0.0.1", "", "LA", "XLAN1.2.3.4"})
        EXPECT_FALSE(lan::ParseInterface(bad, spec)) << bad;
}
