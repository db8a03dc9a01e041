// Request frames and the reply parser of the binary transports.

#include <dakoral/Frame.h>
#include <gtest/gtest.h>

#include <random>

using dakoral::ReplyParser;
using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes Request(std::uint8_t cmd, const Bytes& params) {
    Bytes out;
    EXPECT_TRUE(dakoral::BuildRequest(cmd, params.data(), params.size(), out));
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
    ReplyParser::State state;
    Bytes data;
};

Parsed Parse(std::uint8_t cmd, const Bytes& stream) {
    ReplyParser p(cmd);
    p.FeedAll(stream.data(), stream.size());
    return {p.Current(), Bytes(p.Data(), p.Data() + p.Stored())};
}

}  // namespace

TEST(RequestFrame, LayoutChecksumAndLimits) {
    EXPECT_EQ(Request(0x40, {}), (Bytes{0xAA, 0x40, 0x00, 0x00, 0x15}));
    EXPECT_EQ(Request(0x41, {0x00, 0x04, 0x00, 0x04}),
              (Bytes{0xAA, 0x41, 0x04, 0x00, 0x00, 0x04, 0x00, 0x04, 0x08}));

    // The largest request: little-endian length, and the frame sums to 0xFF.
    const Bytes f = Request(0x48, Bytes(65535, 0x5A));
    ASSERT_EQ(f.size(), 65540u);
    EXPECT_EQ(f[2], 0xFF);
    EXPECT_EQ(f[3], 0xFF);
    std::uint8_t total = 0;
    for (auto b : f) total = static_cast<std::uint8_t>(total + b);
    EXPECT_EQ(total, 0xFF);

    Bytes keep{9};
    const Bytes tooBig(65536, 0x01);
    EXPECT_FALSE(dakoral::BuildRequest(0x48, tooBig.data(), tooBig.size(), keep));
    EXPECT_FALSE(dakoral::BuildRequest(0x48, nullptr, 4, keep));
    EXPECT_EQ(keep, Bytes{9});
}

TEST(ReplyParser, CompleteRefusedAndEmptyReplies) {
    const Parsed ok = Parse(0x40, {0xAA, 0x40, 0x03, 0x00, 0x00, 0x12, 0x34, 0xCC});
    EXPECT_EQ(ok.state, ReplyParser::kComplete);
    EXPECT_EQ(ok.data, (Bytes{0x12, 0x34}));

    const Parsed refused = Parse(0x40, {0xAA, 0x40, 0x01, 0x00, 0xFE});
    EXPECT_EQ(refused.state, ReplyParser::kRefused);
    EXPECT_TRUE(refused.data.empty());

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
    Bytes badSum = Reply(0x41, {9, 9, 9});
    badSum.back() ^= 0xFF;
    struct Case {
        const char* what;
        Bytes stream;
    } cases[] = {
        {"garbage before the frame", Cat({{0x00, 0x13, 0x55, 0xFF}, good})},
        {"stray start byte", Cat({{0xAA}, good})},
        {"several stray start bytes", Cat({{0xAA, 0xAA, 0xAA}, good})},
        {"reply to another command", Cat({Reply(0x40, {9, 9}), good})},
        {"bad checksum, next frame right behind", Cat({badSum, good})},
        {"bad checksum byte that starts the next frame", Cat({{0xAA, 0x41, 0x02, 0x00, 0x00, 0x07}, good})},
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
    Bytes oversized{0xAA, 0x41, 0x82, 0x04, 0x00};
    oversized.resize(oversized.size() + 1153, 0x00);
    for (const Bytes& stream : {badSum, oversized, Bytes{0xAA, 0x40, 0x01, 0x00, 0xFE}})
        EXPECT_NE(Parse(0x41, stream).state, ReplyParser::kComplete);

    // A frame that failed its checksum is counted, with the check values, so
    // that a damaged reply is told from silence; Reset forgets it.
    ReplyParser parser(0x41);
    parser.FeedAll(badSum.data(), badSum.size());
    EXPECT_EQ(parser.Damaged(), 1);
    EXPECT_EQ(parser.DamagedChecksum(), badSum.back());
    EXPECT_EQ(parser.DamagedExpected(), static_cast<std::uint8_t>(badSum.back() ^ 0xFF));
    parser.Reset(0x41);
    EXPECT_EQ(parser.Damaged(), 0);
}

TEST(ReplyParser, LargestReplyAndBytesAfterTheEnd) {
    Bytes data(1152);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7);
    const Bytes stream = Cat({Reply(0x45, data), Reply(0x45, {1})});
    ReplyParser p(0x45);
    const std::size_t used = p.FeedAll(stream.data(), stream.size());
    EXPECT_EQ(p.Current(), ReplyParser::kComplete);
    EXPECT_EQ(used, data.size() + 6);
    EXPECT_EQ(Bytes(p.Data(), p.Data() + p.Stored()), data);
    // A finished parser ignores further bytes until it is reset.
    EXPECT_EQ(p.Feed(0xAA), ReplyParser::kComplete);
    p.Reset(0x45);
    EXPECT_EQ(p.Current(), ReplyParser::kWaitStart);
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
