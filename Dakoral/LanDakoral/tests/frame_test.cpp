// Request frames, the reply parser, login text and interface strings.

#include <gtest/gtest.h>

#include <random>

#include "Frame.h"

using lan::ReplyParser;
using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes Frame(std::uint8_t cmd, const Bytes& params) {
    Bytes out;
    EXPECT_TRUE(lan::BuildRequest(cmd, params.data(), params.size(), out));
    return out;
}

// A reply as the display sends it: AA cmd L status data sum.
Bytes Reply(std::uint8_t cmd, const Bytes& data, std::uint8_t status = 0) {
    Bytes f{0xAA, cmd, static_cast<std::uint8_t>((data.size() + 1) & 0xFF),
            static_cast<std::uint8_t>((data.size() + 1) >> 8), status};
    f.insert(f.end(), data.begin(), data.end());
    std::uint8_t sum = 0xFF;
    for (auto b : f) sum = static_cast<std::uint8_t>(sum - b);
    f.push_back(sum);
    return f;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

struct Parsed {
    int state;
    Bytes data;
};

Parsed Parse(std::uint8_t cmd, const Bytes& stream) {
    ReplyParser p(cmd);
    p.FeedAll(stream.data(), stream.size());
    return {p.State(), Bytes(p.Data(), p.Data() + p.Stored())};
}

}  // namespace

TEST(RequestFrame, LayoutChecksumAndLimits) {
    EXPECT_EQ(Frame(0x40, {}), (Bytes{0xAA, 0x40, 0x00, 0x00, 0x15}));
    EXPECT_EQ(Frame(0x41, {0x00, 0x04, 0x00, 0x04}), (Bytes{0xAA, 0x41, 0x04, 0x00, 0x00, 0x04, 0x00, 0x04, 0x08}));

    // The largest request: little-endian length, and the frame sums to 0xFF.
    const Bytes max(65535, 0x5A);
    const Bytes f = Frame(0x48, max);
    EXPECT_EQ(f[2], 0xFF);
    EXPECT_EQ(f[3], 0xFF);
    std::uint8_t total = 0;
    for (auto b : f) total = static_cast<std::uint8_t>(total + b);
    EXPECT_EQ(total, 0xFF);

    Bytes keep{9};
    const Bytes tooBig(65536, 0x01);
    EXPECT_FALSE(lan::BuildRequest(0x48, tooBig.data(), tooBig.size(), keep));
    EXPECT_FALSE(lan::BuildRequest(0x48, nullptr, 4, keep));
    EXPECT_EQ(keep, Bytes{9});
}

TEST(ReplyParser, CompleteRefusedAndEmptyReplies) {
    const Parsed ok = Parse(0x40, {0xAA, 0x40, 0x03, 0x00, 0x00, 0x12, 0x34, 0xCC});
    EXPECT_EQ(ok.state, ReplyParser::kComplete);
    EXPECT_EQ(ok.data, (Bytes{0x12, 0x34}));

    EXPECT_EQ(Parse(0x40, {0xAA, 0x40, 0x01, 0x00, 0xFE}).state, ReplyParser::kRefused);

    const Parsed empty = Parse(0x42, Reply(0x42, {}));
    EXPECT_EQ(empty.state, ReplyParser::kComplete);
    EXPECT_TRUE(empty.data.empty());

    // Any status other than 0xFE is accepted.
    EXPECT_EQ(Parse(0x44, Reply(0x44, {7}, 0x01)).state, ReplyParser::kComplete);

    // An incomplete reply stays undecided.
    EXPECT_EQ(Parse(0x40, {0xAA, 0x40, 0x03, 0x00, 0x00, 0x12}).state, ReplyParser::kData);
}

TEST(ReplyParser, FindsTheReplyAfterNoise) {
    const Bytes good = Reply(0x41, {1, 2, 3});
    struct Case {
        const char* what;
        Bytes stream;
    } cases[] = {
        {"garbage before the frame", Cat({{0x00, 0x13, 0x55, 0xFF}, good})},
        {"stray start byte", Cat({{0xAA}, good})},
        {"several stray start bytes", Cat({{0xAA, 0xAA, 0xAA}, good})},
        {"reply to another command", Cat({Reply(0x40, {9, 9}), good})},
        {"bad checksum, next frame right behind", Cat({{0xAA, 0x41, 0x02, 0x00, 0x00, 0x07, 0x00}, good})},
        {"zero length field", Cat({{0xAA, 0x41, 0x00, 0x00, 0x00}, good})},
        {"length above the buffer", Cat({{0xAA, 0x41, 0x82, 0x04}, Bytes(1200, 0x00), good})},
        {"largest length field", Cat({{0xAA, 0x41, 0xFF, 0xFF}, Bytes(50, 0x11), good})},
    };
    for (const auto& c : cases) {
        const Parsed r = Parse(0x41, c.stream);
        EXPECT_EQ(r.state, ReplyParser::kComplete) << c.what;
        EXPECT_EQ(r.data, (Bytes{1, 2, 3})) << c.what;
    }

    // Damaged or foreign frames alone never complete.
    Bytes bad = good;
    bad.back() ^= 0x01;
    Bytes oversized{0xAA, 0x41, 0x82, 0x04, 0x00};
    oversized.resize(oversized.size() + 1153, 0x00);
    for (const Bytes& stream : {bad, oversized, Bytes{0xAA, 0x40, 0x01, 0x00, 0xFE}})
        EXPECT_NE(Parse(0x41, stream).state, ReplyParser::kComplete);
}

TEST(ReplyParser, LargestReplyAndBytesAfterTheEnd) {
    Bytes data(1152);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7);
    const Bytes stream = Cat({Reply(0x45, data), Reply(0x45, {1})});
    ReplyParser p(0x45);
    const std::size_t used = p.FeedAll(stream.data(), stream.size());
    EXPECT_EQ(p.State(), ReplyParser::kComplete);
    EXPECT_EQ(used, data.size() + 6);
    EXPECT_EQ(Bytes(p.Data(), p.Data() + p.Stored()), data);
    // A finished parser ignores further bytes until it is reset.
    EXPECT_EQ(p.Feed(0xAA), ReplyParser::kComplete);
    p.Reset(0x45);
    EXPECT_EQ(p.State(), ReplyParser::kWaitStart);
    EXPECT_EQ(p.Stored(), 0);
}

TEST(ReplyParser, RoundTripOfRandomReplies) {
    std::mt19937 rng(12345);
    for (int i = 0; i < 300; ++i) {
        Bytes data(rng() % 1153);
        for (auto& b : data) b = static_cast<std::uint8_t>(rng());
        const auto cmd = static_cast<std::uint8_t>(rng());
        const Parsed r = Parse(cmd, Reply(cmd, data));
        ASSERT_EQ(r.state, ReplyParser::kComplete) << "size " << data.size();
        ASSERT_EQ(r.data, data);
    }
}

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
