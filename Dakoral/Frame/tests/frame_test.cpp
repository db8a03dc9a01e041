// Both sides of the binary frames: the PC's request builder and reply parser,
// the display's request parser and reply builder.

#include <dakoral/Frame.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

using dakoral::ReplyParser;
using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes Request(std::uint8_t cmd, const Bytes& params) {
    Bytes out;
    EXPECT_TRUE(dakoral::BuildRequest(cmd, params.data(), params.size(), out));
    return out;
}

Bytes Reply(std::uint8_t cmd, const Bytes& data, std::uint8_t status = 0) {
    Bytes out;
    EXPECT_TRUE(dakoral::BuildReply(cmd, status, data.data(), data.size(), out));
    return out;
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
    EXPECT_FALSE(dakoral::BuildReply(0x41, 0, tooBig.data(), 65535, keep));
    EXPECT_FALSE(dakoral::BuildReply(0x41, 0, nullptr, 1, keep));
    EXPECT_EQ(keep, Bytes{9});
}

TEST(ReplyFrame, LayoutOfDataAndRefusal) {
    EXPECT_EQ(Reply(0x40, {0x12, 0x34}), (Bytes{0xAA, 0x40, 0x03, 0x00, 0x00, 0x12, 0x34, 0xCC}));
    EXPECT_EQ(Reply(0x40, {}, 0xFE), (Bytes{0xAA, 0x40, 0x01, 0x00, 0xFE, 0x16}));
}

namespace {

// What the display's parser reports for a stream: one letter per event
// (F frame, B bad checksum, O oversize, L logout), and the last frame.
struct RequestEvents {
    std::string events;
    std::uint8_t command = 0;
    Bytes params;
    bool idle = false;
};

RequestEvents ParseRequests(const Bytes& stream, std::size_t maxParams = 4096, bool logout = true) {
    using Event = dakoral::RequestParser::Event;
    dakoral::RequestParser p(maxParams, logout);
    RequestEvents r;
    for (auto b : stream) {
        const Event ev = p.Feed(b);
        if (ev == Event::kNone) continue;
        r.events += " FBOL"[static_cast<int>(ev)];
        if (ev == Event::kFrame) {
            r.command = p.Command();
            r.params = p.Params();
        }
    }
    r.idle = p.Idle();
    return r;
}

}  // namespace

TEST(RequestParser, FramesChecksumsLogoutAndOversizeRequests) {
    const Bytes block = Request(0x41, {1, 2, 3, 4});
    Bytes spoilt = block;
    spoilt.back() ^= 1;
    // 8193 parameter bytes announced: refused once they and the checksum have
    // passed; a logout byte or 0xAA among them is data, not a new frame.
    Bytes oversize{0xAA, 0x48, 0x01, 0x20};
    for (std::size_t i = 0; i < 0x2001 + 1; ++i) oversize.push_back(i % 2 ? 0x03 : 0xAA);
    struct Case {
        const char* what;
        Bytes stream;
        std::size_t maxParams;
        bool logout;
        std::string events;
    } cases[] = {
        {"noise, then a frame", Cat({{0x00, 0x55}, block}), 4096, true, "F"},
        {"a spoilt checksum, then a frame", Cat({spoilt, block}), 4096, true, "BF"},
        {"logout between frames", Cat({block, {0x03}, block}), 4096, true, "FLF"},
        {"no logout byte on a serial line", Cat({{0x03}, block}), 4096, false, "F"},
        {"oversize request passed over whole", Cat({oversize, block}), 4096, true, "OF"},
        {"the largest request within the limit", Request(0x48, Bytes(65535, 0x03)), 65535, true, "F"},
        {"an empty request", Request(0xF0, {}), 0, true, "F"},
        {"one byte above the limit", Cat({Request(0xF0, {7, 7}), Request(0xF0, {7})}), 1, true, "OF"},
    };
    for (const auto& c : cases) {
        const RequestEvents r = ParseRequests(c.stream, c.maxParams, c.logout);
        EXPECT_EQ(r.events, c.events) << c.what;
        EXPECT_TRUE(r.idle) << c.what;
    }
    const RequestEvents r = ParseRequests(Cat({block, {0xAA, 0x40}}));
    EXPECT_EQ(r.command, 0x41);
    EXPECT_EQ(r.params, (Bytes{1, 2, 3, 4}));
    EXPECT_FALSE(r.idle);
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

// A socket hands replies on in pieces of any size: fed piece by piece, the
// parser ends as it does fed byte by byte, a damaged frame before the reply
// included.
TEST(ReplyParser, PiecesOfAnySizeDecideAsSingleBytes) {
    Bytes data(1024);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 13 + 5);
    Bytes damaged = Reply(0x41, Bytes(data.begin(), data.begin() + 300));
    damaged.back() ^= 0x5A;
    const Bytes stream = Cat({damaged, Bytes{0x00, 0xAA}, Reply(0x41, data)});

    ReplyParser single(0x41);
    for (std::uint8_t b : stream) single.Feed(b);
    ASSERT_EQ(single.Current(), ReplyParser::kComplete);
    for (std::size_t piece : {1u, 2u, 9u, 64u, 1000u, 4096u}) {
        ReplyParser p(0x41);
        for (std::size_t pos = 0; pos < stream.size() && !p.Finished(); pos += piece)
            p.FeedAll(stream.data() + pos, std::min(piece, stream.size() - pos));
        EXPECT_EQ(p.Current(), single.Current()) << piece;
        EXPECT_EQ(p.Damaged(), 1) << piece;
        EXPECT_EQ(Bytes(p.Data(), p.Data() + p.Stored()), data) << piece;
    }
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

TEST(Frames, RoundTripOfRandomRequestsAndReplies) {
    std::mt19937 rng(12345);
    for (int i = 0; i < 300; ++i) {
        Bytes data(rng() % 1153);
        for (auto& b : data) b = static_cast<std::uint8_t>(rng());
        const auto cmd = static_cast<std::uint8_t>(rng());
        const Parsed r = Parse(cmd, Reply(cmd, data));
        ASSERT_EQ(r.state, ReplyParser::kComplete) << "size " << data.size();
        ASSERT_EQ(r.data, data);
        const RequestEvents q = ParseRequests(Request(cmd, data));
        ASSERT_EQ(q.events, "F") << "size " << data.size();
        ASSERT_EQ(q.command, cmd);
        ASSERT_EQ(q.params, data);
    }
}
