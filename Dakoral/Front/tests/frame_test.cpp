// Frames of the serial path: request bytes and the reply parser's rules.
#include <gtest/gtest.h>

#include "BinFrame.h"

using dakr::ReplyParser;

namespace {

using Bytes = std::vector<std::uint8_t>;

ReplyParser::State FeedAll(ReplyParser& p, const Bytes& bytes) {
    for (auto b : bytes) p.Feed(b);
    return p.Current();
}

Bytes Reply(std::uint8_t cmd, std::uint8_t status, const Bytes& data) {
    const std::size_t l = data.size() + 1;
    Bytes f{0xAA, cmd, static_cast<std::uint8_t>(l & 0xFF), static_cast<std::uint8_t>(l >> 8), status};
    f.insert(f.end(), data.begin(), data.end());
    std::uint8_t sum = 0xFF;
    for (auto b : f) sum = static_cast<std::uint8_t>(sum - b);
    f.push_back(sum);
    return f;
}

}  // namespace

TEST(BinFrame, Requests) {
    Bytes f;
    ASSERT_TRUE(dakr::BuildRequest(0x40, nullptr, 0, f));
    EXPECT_EQ(f, (Bytes{0xAA, 0x40, 0x00, 0x00, 0x15}));
    const std::uint8_t p[] = {0x00, 0x04, 0x00, 0x04};
    ASSERT_TRUE(dakr::BuildRequest(0x41, p, 4, f));
    EXPECT_EQ(f, (Bytes{0xAA, 0x41, 0x04, 0x00, 0x00, 0x04, 0x00, 0x04, 0x08}));
    Bytes big(65536, 1);
    EXPECT_FALSE(dakr::BuildRequest(0x48, big.data(), big.size(), f));
    EXPECT_EQ(f.size(), 9u);  // untouched
    EXPECT_FALSE(dakr::BuildRequest(0x48, nullptr, 2, f));
    ASSERT_TRUE(dakr::BuildRequest(0x48, big.data(), 65535, f));
    EXPECT_EQ(f.size(), 65540u);
}

TEST(BinFrame, RepliesAfterGarbageRefusalsAndEmptyData) {
    ReplyParser p(0x40);
    // Garbage, a stray 0xAA, then the reply with data 12 34.
    EXPECT_EQ(FeedAll(p, {0x00, 0x13, 0xAA, 0xAA, 0x40, 0x03, 0x00, 0x00, 0x12, 0x34, 0xCC}),
              ReplyParser::kComplete);
    ASSERT_EQ(p.Length(), 2);
    EXPECT_EQ(p.Data()[0], 0x12);
    EXPECT_EQ(p.Data()[1], 0x34);
    // Bytes after the reply change nothing.
    p.Feed(0xAA);
    EXPECT_EQ(p.Current(), ReplyParser::kComplete);

    p.Reset(0x41);
    EXPECT_EQ(FeedAll(p, {0xAA, 0x41, 0x01, 0x00, 0xFE}), ReplyParser::kRefused);
    p.Reset(0x42);
    EXPECT_EQ(FeedAll(p, Reply(0x42, 0x00, {})), ReplyParser::kComplete);
    EXPECT_EQ(p.Length(), 0);
}

TEST(BinFrame, DamagedForeignAndOversizedFramesAreNotTheReply) {
    ReplyParser p(0x41);
    // A reply to another command, then one with a bad checksum, then the real one.
    Bytes bad = Reply(0x41, 0x00, {1, 2, 3});
    bad.back() ^= 0xFF;
    Bytes stream = Reply(0x45, 0x00, {9, 9});
    stream.insert(stream.end(), bad.begin(), bad.end());
    const Bytes good = Reply(0x41, 0x00, {7, 8});
    stream.insert(stream.end(), good.begin(), good.end());
    EXPECT_EQ(FeedAll(p, stream), ReplyParser::kComplete);
    ASSERT_EQ(p.Length(), 2);
    EXPECT_EQ(p.Data()[0], 7);

    // A length field of 0, and one announcing more than 1,152 data bytes.
    p.Reset(0x41);
    EXPECT_EQ(FeedAll(p, {0xAA, 0x41, 0x00, 0x00}), ReplyParser::kSearching);
    EXPECT_EQ(FeedAll(p, {0xAA, 0x41, 0x82, 0x04}), ReplyParser::kSearching);  // 1 + 1153
    // The largest reply that fits is taken whole.
    p.Reset(0x41);
    EXPECT_EQ(FeedAll(p, Reply(0x41, 0x00, Bytes(1152, 0x5A))), ReplyParser::kComplete);
    EXPECT_EQ(p.Length(), 1152);
    EXPECT_EQ(p.Data()[1151], 0x5A);
}
