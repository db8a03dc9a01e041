// Protocol handlers as pure functions: text commands, binary requests,
// sessions and fault decisions.
#include <gtest/gtest.h>

#include <cctype>

#include "binary_protocol.h"
#include "log_image.h"
#include "logimage/LogImage.h"
#include "session.h"
#include "text_protocol.h"

using namespace dsim;

namespace {

Chain MakeChain(int extra = 0, std::size_t nvramSize = 4096) {
    Chain c;
    for (int id = 0; id <= extra; ++id) c.displays.push_back(DefaultDisplay(id, nvramSize));
    return c;
}

std::string Say(Chain& c, TextContext& ctx, std::string_view cmd) { return HandleTextCommand(c, ctx, cmd).reply; }

// The temperature dump takes the digits that follow the next colon.
bool SplitTempLog(int& out, std::string& text) {
    const auto colon = text.find(':');
    if (colon == std::string::npos) return false;
    std::size_t i = colon + 1, n = 0;
    out = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) out = out * 10 + (text[i++] - '0'), ++n;
    if (n == 0) return false;
    text.erase(0, i);
    return true;
}

BinaryResult Bin(Chain& c, BinaryContext& ctx, std::uint8_t cmd, Bytes p = {}) {
    return HandleBinaryRequest(c, ctx, cmd, p);
}

Bytes Request(std::uint8_t cmd, const Bytes& params) {
    Bytes frame;
    EXPECT_TRUE(dakoral::BuildRequest(cmd, params.data(), params.size(), frame));
    return frame;
}

bool ChecksumHolds(const std::string& frame) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(frame.data());
    return !frame.empty() && dakoral::Checksum(bytes, frame.size() - 1) == bytes[frame.size() - 1];
}

Bytes BlockParams(std::size_t offset, std::size_t length) {
    return {static_cast<std::uint8_t>(offset & 0xFF), static_cast<std::uint8_t>(offset >> 8),
            static_cast<std::uint8_t>(length & 0xFF), static_cast<std::uint8_t>(length >> 8)};
}

Bytes WriteParams(std::size_t offset, const Bytes& image) {
    Bytes p = {static_cast<std::uint8_t>(offset & 0xFF), static_cast<std::uint8_t>(offset >> 8)};
    for (std::size_t i = 0; i < kBlockSize; ++i) p.push_back(offset + i < image.size() ? image[offset + i] : 0xEE);
    return p;
}

}  // namespace

TEST(TextCommands, IdentityQueriesAndSerialWriteKeepTheLogHeaderInStep) {
    Chain c = MakeChain();
    TextContext ctx;
    EXPECT_EQ(Say(c, ctx, ""), "OK");
    EXPECT_EQ(Say(c, ctx, "INF1????"), "=QM-X003");
    EXPECT_EQ(Say(c, ctx, "SRID????"), "=00000000000000");
    EXPECT_EQ(Say(c, ctx, "IFSNAB-12345"), "OK");
    EXPECT_EQ(Say(c, ctx, "SRNO????"), "=AB-12345");

    logimage::LogLayout L;
    std::string err;
    const Bytes& log = c.displays[0].log;
    ASSERT_TRUE(logimage::LocateLog(log, L, err)) << err;
    EXPECT_EQ(L.serial, "AB-12345");
    EXPECT_EQ(logimage::Crc16(log.data(), log.size() - 2), log[log.size() - 2] | (log[log.size() - 1] << 8));

    EXPECT_EQ(Say(c, ctx, "IFSN"), "NG");                  // nothing to write
    EXPECT_EQ(Say(c, ctx, "IFSN0123456789ABCDEF"), "NG");  // does not fit the log header
    EXPECT_EQ(Say(c, ctx, "SRNO????"), "=AB-12345");
    EXPECT_EQ(Say(c, ctx, "XXXX????"), "NG");
    EXPECT_EQ(Say(c, ctx, std::string(65, 'A')), "NG");
    EXPECT_EQ(Say(c, ctx, "SRNO\x01???"), "NG");
}

TEST(TextCommands, DisplaySelectionAddressesTheChain) {
    Chain c = MakeChain(2);
    TextContext ctx;
    EXPECT_EQ(Say(c, ctx, "IDSL3"), "NG");
    EXPECT_EQ(Say(c, ctx, "IDSL"), "NG");
    EXPECT_EQ(Say(c, ctx, "IDSL2"), "OK");
    EXPECT_EQ(Say(c, ctx, "SRNO????"), "=" + c.displays[2].serial);
    EXPECT_EQ(Say(c, ctx, "IFSNCHAIN2"), "OK");
    EXPECT_EQ(c.displays[2].serial, "CHAIN2");
    EXPECT_NE(c.displays[0].serial, "CHAIN2");
    EXPECT_EQ(Say(c, ctx, "IDSL0"), "OK");
    EXPECT_EQ(Say(c, ctx, "SRNO????"), "=" + c.displays[0].serial);
}

TEST(TextCommands, BinaryModeByFirmOrByIdQuery) {
    Chain c = MakeChain(5);
    TextContext ctx;
    TextResult r = HandleTextCommand(c, ctx, "BNMD5");
    EXPECT_EQ(r.reply, "=BNMD9999");
    EXPECT_TRUE(r.enteredBinary);
    EXPECT_TRUE(c.Find(5)->binary);
    EXPECT_EQ(Say(c, ctx, "BNMD6"), "NG");
    EXPECT_EQ(Say(c, ctx, "FIRM0000"), "OK");
    EXPECT_TRUE(c.Find(0)->binary);
    EXPECT_EQ(c.BinaryTarget()->id, 0);  // the latest to enter binary mode
}

TEST(TextCommands, TemperatureDumpRepliesParseAndNeedMaintenanceMode) {
    Chain c = MakeChain();
    TextContext ctx;
    EXPECT_EQ(Say(c, ctx, "ERRT????"), "NG");
    EXPECT_EQ(Say(c, ctx, "BRIG????"), "NG");
    EXPECT_EQ(Say(c, ctx, "BLRS0000"), "NG");
    EXPECT_EQ(Say(c, ctx, "UTIM????"), "=12345");  // usage time answers in any mode
    ASSERT_EQ(Say(c, ctx, "ESPC0001"), "OK");

    EXPECT_EQ(Say(c, ctx, "ERRT????"), "=25,30,28");
    for (const auto& w : TemperatureSettingWords()) {
        const std::string r = Say(c, ctx, w + "????");
        ASSERT_GE(r.size(), 2u) << w;
        EXPECT_EQ(r[0], '=');
        EXPECT_NO_THROW((void)std::stoi(r.substr(1))) << w;
    }
    for (const auto& w : TemperatureDataWords()) EXPECT_EQ(Say(c, ctx, w + "????")[0], '=') << w;

    const char* starts[] = {"BLRS", "POLR", "TLRS"};
    const char* maxes[] = {"BLRE", nullptr, "TLRE"};
    for (int k = 0; k < 3; ++k) {
        for (int i = 0; i < 5; ++i) {
            char cmd[16];
            std::snprintf(cmd, sizeof cmd, "%s%04d", starts[k], i);
            std::string r = Say(c, ctx, cmd);
            ASSERT_EQ(r[0], '=') << cmd;
            std::string rest = r.substr(r.find(',') + 1);  // after the date text
            int t[3];
            for (int& v : t) ASSERT_TRUE(SplitTempLog(v, rest)) << cmd;
            if (maxes[k]) {
                std::snprintf(cmd, sizeof cmd, "%s%04d", maxes[k], i);
                r = Say(c, ctx, cmd);
                std::string first = r.substr(1, r.find(',') - 1);
                for (int& v : t) ASSERT_TRUE(SplitTempLog(v, first)) << cmd;
            }
            std::snprintf(cmd, sizeof cmd, "%s%04d", starts[k], i + 1000);
            r = Say(c, ctx, cmd);
            EXPECT_EQ(r, "=" + std::to_string(c.displays[0].events[k][i].time));
        }
    }
    EXPECT_EQ(Say(c, ctx, "BLRS0005"), "NG");
    EXPECT_EQ(Say(c, ctx, "BLRE1000"), "NG");
    EXPECT_EQ(Say(c, ctx, "POLR0000").substr(0, 11), "=2026/10/02");
    EXPECT_EQ(Say(c, ctx, "TLCN????"), "=9");
    EXPECT_EQ(Say(c, ctx, "ESPC0000"), "OK");
    EXPECT_EQ(Say(c, ctx, "TLCN????"), "NG");
}

TEST(TextCommands, ClearLogsNeedsTheResetFirstAndKeepsTheRestOfTheImage) {
    Chain c = MakeChain();
    TextContext ctx;
    Display& d = c.displays[0];
    logimage::LogLayout before;
    std::string err;
    ASSERT_TRUE(logimage::LocateLog(d.log, before, err)) << err;
    ASSERT_GT(before.recordCount, 0u);
    const Bytes head(d.log.begin(), d.log.begin() + static_cast<long>(before.groupOffsets[0]));
    const Bytes temperature(d.log.begin() + static_cast<long>(before.temperatureOffset), d.log.end() - 2);

    EXPECT_EQ(Say(c, ctx, "ACLG0000"), "NG");
    EXPECT_EQ(Say(c, ctx, "TRST0002"), "OK");
    EXPECT_EQ(Say(c, ctx, "SRLG0000"), "OK");
    EXPECT_FALSE(d.logging);
    EXPECT_EQ(Say(c, ctx, "ACLG0000"), "OK");
    EXPECT_EQ(Say(c, ctx, "SRLG0001"), "OK");
    EXPECT_TRUE(d.logging);

    logimage::LogLayout after;
    ASSERT_TRUE(logimage::LocateLog(d.log, after, err)) << err;
    EXPECT_EQ(after.recordCount, 0u);
    EXPECT_EQ(Bytes(d.log.begin(), d.log.begin() + static_cast<long>(after.groupOffsets[0])), head);
    EXPECT_EQ(Bytes(d.log.begin() + static_cast<long>(after.temperatureOffset), d.log.end() - 2),
              temperature);
    EXPECT_EQ(logimage::Crc16(d.log.data(), d.log.size() - 2),
              d.log[d.log.size() - 2] | (d.log[d.log.size() - 1] << 8));
    EXPECT_EQ(Say(c, ctx, "ACLG0000"), "NG");  // the reset is used up
}

TEST(TextCommands, WhiteBalanceSetsReadBackWhatWasWrittenAndResetToFactory) {
    Chain c = MakeChain();
    TextContext ctx;
    Display& d = c.displays[0];
    const WhiteBalance factory = FactoryWhiteBalance();

    // default set
    EXPECT_EQ(Say(c, ctx, "WBST0000"), "OK");
    EXPECT_EQ(Say(c, ctx, "WBLP10123"), "OK");
    EXPECT_EQ(Say(c, ctx, "WBLE0000"), "=0");
    EXPECT_EQ(Say(c, ctx, "WBBP60007"), "OK");
    EXPECT_EQ(Say(c, ctx, "WBLP70001"), "NG");   // rows 1..6
    EXPECT_EQ(Say(c, ctx, "WBLP1012a"), "NG");
    EXPECT_EQ(Say(c, ctx, "WBLP1-001"), "NG");
    EXPECT_EQ(Say(c, ctx, "WBLP110000"), "NG");  // above 9999
    EXPECT_EQ(Say(c, ctx, "WBLP????"), "=123,256,384,512,640,768");
    EXPECT_EQ(Say(c, ctx, "WBBP????"), "=488,488,488,488,488,7");

    // advanced set and VAL
    EXPECT_EQ(Say(c, ctx, "LEV20456"), "OK");
    EXPECT_EQ(Say(c, ctx, "MG3B0100"), "OK");
    EXPECT_EQ(Say(c, ctx, "MG3Q0100"), "NG");
    EXPECT_EQ(Say(c, ctx, "LEV2????"), "=456");
    EXPECT_EQ(Say(c, ctx, "MG3B????"), "=100");
    EXPECT_EQ(Say(c, ctx, "GCVW2150"), "OK");
    EXPECT_EQ(Say(c, ctx, "GCVL????"), "=100,150,100,100,100,100");
    EXPECT_EQ(Say(c, ctx, "MSET0004"), "OK");
    EXPECT_EQ(d.wb.advLevel, factory.advLevel);
    EXPECT_EQ(d.wb.advBlue, factory.advBlue);
    EXPECT_EQ(d.wb.level, factory.level);
    EXPECT_EQ(d.wb.val[1], 150);  // VAL has its own reset
    EXPECT_EQ(Say(c, ctx, "GCRS0001"), "OK");
    EXPECT_EQ(d.wb, factory);

    // simple set with one point, then with three
    EXPECT_EQ(Say(c, ctx, "RGAN0300"), "OK");
    EXPECT_EQ(Say(c, ctx, "RGAN????"), "=300");
    d.simplePoints = 3;
    EXPECT_EQ(Say(c, ctx, "GGAN20042"), "OK");
    EXPECT_EQ(Say(c, ctx, "GGAN30042"), "NG");
    EXPECT_EQ(Say(c, ctx, "GGAN????"), "=250,250,42");
}

TEST(TextCommands, ClockSetAndUsageQueries) {
    Chain c = MakeChain();
    TextContext ctx;
    EXPECT_EQ(Say(c, ctx, "CLKS2612072213"), "OK");
    const std::string clock = Say(c, ctx, "CLKS????");
    ASSERT_EQ(clock.size(), 13u);
    EXPECT_EQ(clock.substr(0, 11), "=2612072213");
    EXPECT_EQ(Say(c, ctx, "CLKS2613072213"), "NG");  // month 13
    EXPECT_EQ(Say(c, ctx, "CLKS2502290000"), "NG");  // no 29 February in 2025
    EXPECT_EQ(Say(c, ctx, "CLKS2402290000"), "OK");
    EXPECT_EQ(Say(c, ctx, "CLKS26120722"), "NG");
    EXPECT_EQ(Say(c, ctx, "LUDT????"), "=12001");
    EXPECT_EQ(Say(c, ctx, "LTDT????"), "=61");
    EXPECT_EQ(Say(c, ctx, "LUOF????"), "=12340");
    EXPECT_EQ(Say(c, ctx, "LTOF????"), "=35");
}

TEST(BinaryRequests, RefusedOutsideBinaryModeExceptLeaving) {
    Chain c = MakeChain(1);
    BinaryContext ctx;
    EXPECT_FALSE(Bin(c, ctx, dakoral::kLogStart).ok);
    EXPECT_FALSE(Bin(c, ctx, dakoral::kNvramBlock, BlockParams(0, 16)).ok);
    EXPECT_TRUE(Bin(c, ctx, dakoral::kLeaveBinary, {0}).ok);
    EXPECT_TRUE(Bin(c, ctx, dakoral::kLeaveBinary, {1}).ok);
    EXPECT_FALSE(Bin(c, ctx, dakoral::kLeaveBinary, {9}).ok);  // not in the chain
    c.EnterBinary(*c.Find(1));
    EXPECT_TRUE(Bin(c, ctx, dakoral::kLogStart).ok);
    EXPECT_FALSE(Bin(c, ctx, 0x43).ok);  // unknown code
    EXPECT_TRUE(Bin(c, ctx, dakoral::kLeaveBinary, {1}).ok);
    EXPECT_FALSE(c.Find(1)->binary);
    EXPECT_FALSE(Bin(c, ctx, dakoral::kLogStart).ok);
}

TEST(BinaryRequests, BlockReadsRebuildTheImageAndRefuseOutOfRange) {
    Chain c = MakeChain();
    BinaryContext ctx;
    Display& d = c.displays[0];
    c.EnterBinary(d);
    for (auto [start, block, image] : {std::tuple{dakoral::kLogStart, dakoral::kLogBlock, &d.log},
                                       std::tuple{dakoral::kNvramStart, dakoral::kNvramBlock, &d.nvram}}) {
        const BinaryResult s = Bin(c, ctx, start);
        ASSERT_TRUE(s.ok);
        const std::size_t n = s.data[0] | (s.data[1] << 8);
        ASSERT_EQ(n, image->size());
        Bytes got;
        for (std::size_t off = 0; off < n; off += kBlockSize) {
            const BinaryResult r = Bin(c, ctx, block, BlockParams(off, std::min(kBlockSize, n - off)));
            ASSERT_TRUE(r.ok) << off;
            got.insert(got.end(), r.data.begin(), r.data.end());
        }
        EXPECT_EQ(got, *image);
        EXPECT_FALSE(Bin(c, ctx, block, BlockParams(n, 1)).ok);
        EXPECT_FALSE(Bin(c, ctx, block, BlockParams(n - 10, 11)).ok);
        EXPECT_FALSE(Bin(c, ctx, block, BlockParams(0, 1025)).ok);
        EXPECT_FALSE(Bin(c, ctx, block, BlockParams(0, 0)).ok);
        EXPECT_FALSE(Bin(c, ctx, block, {0, 0, 4}).ok);
    }
}

TEST(BinaryRequests, NvramWriteIsStagedUntilEveryBlockAndTheEndCode) {
    Chain c = MakeChain(0, 2500);  // three blocks, the last one short
    Display& d = c.displays[0];
    c.EnterBinary(d);
    const Bytes original = d.nvram;
    Bytes image(2500);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 7 + 3);

    BinaryContext early;
    EXPECT_FALSE(Bin(c, early, dakoral::kWriteBlock, WriteParams(0, image)).ok);  // before 0x47
    EXPECT_FALSE(Bin(c, early, dakoral::kWriteEnd).ok);

    // An interrupted write: blocks staged, no 0x49, connection gone.
    {
        BinaryContext ctx;
        const BinaryResult s = Bin(c, ctx, dakoral::kWriteStart);
        ASSERT_TRUE(s.ok);
        EXPECT_EQ(s.data[0] | (s.data[1] << 8), 2500);
        EXPECT_TRUE(Bin(c, ctx, dakoral::kWriteBlock, WriteParams(0, image)).ok);
        EXPECT_TRUE(Bin(c, ctx, dakoral::kWriteBlock, WriteParams(1024, image)).ok);
    }
    EXPECT_EQ(d.nvram, original);

    BinaryContext ctx;
    ASSERT_TRUE(Bin(c, ctx, dakoral::kWriteStart).ok);
    EXPECT_TRUE(Bin(c, ctx, dakoral::kWriteBlock, WriteParams(0, image)).ok);
    EXPECT_TRUE(Bin(c, ctx, dakoral::kWriteBlock, WriteParams(2048, image)).ok);
    EXPECT_FALSE(Bin(c, ctx, dakoral::kWriteBlock, WriteParams(2500, image)).ok);
    EXPECT_FALSE(Bin(c, ctx, dakoral::kWriteEnd).ok);  // block 1024 missing
    EXPECT_EQ(d.nvram, original);
    EXPECT_TRUE(Bin(c, ctx, dakoral::kWriteBlock, WriteParams(1024, image)).ok);
    EXPECT_TRUE(Bin(c, ctx, dakoral::kWriteEnd).ok);
    EXPECT_EQ(d.nvram, image);  // padding of the last block dropped, size unchanged
    EXPECT_FALSE(Bin(c, ctx, dakoral::kWriteEnd).ok);  // the write is over
}

TEST(Faults, RulesCountRepliesPerPort) {
    FaultRule r;
    std::string err;
    EXPECT_FALSE(ParseFaultRule("first:0", r, err));
    EXPECT_FALSE(ParseFaultRule("every:x", r, err));
    EXPECT_FALSE(ParseFaultRule("sometimes:2", r, err));
    EXPECT_FALSE(ParseFaultRule("bin:first:2x", r, err));
    ASSERT_TRUE(ParseFaultRule("every:3", r, err)) << err;
    std::string hits;
    for (int i = 0; i < 7; ++i) hits += r.Hit(i % 2 ? PortKind::Text : PortKind::Binary) ? 'x' : '.';
    EXPECT_EQ(hits, "..x..x.");
    ASSERT_TRUE(ParseFaultRule("bin:first:2", r, err));
    hits.clear();
    for (PortKind p : {PortKind::Text, PortKind::Binary, PortKind::Text, PortKind::Binary, PortKind::Binary})
        hits += r.Hit(p) ? 'x' : '.';
    EXPECT_EQ(hits, ".x.x.");
}

TEST(Sessions, TextLoginAcceptsOnlyTheAccountAndPassword) {
    for (auto [account, password, ok] : {std::tuple{"admin", "secret", true}, std::tuple{"admin", "wrong", false},
                                         std::tuple{"other", "secret", false}}) {
        Chain c = MakeChain();
        Faults f;
        LoginConfig login{"admin", "secret"};
        std::vector<std::string> lines;
        TextSession s(c, f, [&](const std::string& l) { lines.push_back(l); }, "10008", &login);
        EXPECT_EQ(s.Greeting(), "Login: ");
        std::vector<Output> out;
        const std::string in = std::string(account) + "\r\n" + password + "\r\nSRNO????\r";
        s.Feed(reinterpret_cast<const std::uint8_t*>(in.data()), in.size(), out);
        std::string all;
        for (auto& o : out) all += o.bytes;
        if (ok) {
            EXPECT_EQ(all, "Password: OK\r\n=" + c.displays[0].serial + "\r");
            EXPECT_FALSE(s.Finished());
        } else {
            EXPECT_EQ(all, "Password: Login incorrect\r\n");
            EXPECT_TRUE(out.back().close);
            EXPECT_TRUE(s.Finished());
        }
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines[0], std::string("10008 login \"") + account + "\"" + (ok ? " accepted" : " refused"));
    }
}

TEST(Sessions, BinaryLoginIsSilentOnSuccessAndSaysUserOnFailure) {
    Chain c = MakeChain();
    Faults f;
    LoginConfig login{"", ""};
    BinarySession s(c, f, nullptr, "18081", &login);
    EXPECT_EQ(s.Greeting(), "Login: ");
    std::vector<Output> out;
    std::string in = "\r\n\r\n";
    const Bytes frame = Request(dakoral::kLeaveBinary, Bytes{0});
    in.append(frame.begin(), frame.end());
    in += '\x03';
    s.Feed(reinterpret_cast<const std::uint8_t*>(in.data()), in.size(), out);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0].bytes, "Password: ");
    const Bytes ok = ReplyFrame(dakoral::kLeaveBinary, true);
    EXPECT_EQ(out[1].bytes, std::string(ok.begin(), ok.end()));
    EXPECT_EQ(out[2].bytes, "\x03");
    EXPECT_TRUE(out[2].close);

    LoginConfig strict{"svc", "pw"};
    BinarySession bad(c, f, nullptr, "18081", &strict);
    out.clear();
    const std::string wrong = "svc\r\nnope\r\n";
    bad.Feed(reinterpret_cast<const std::uint8_t*>(wrong.data()), wrong.size(), out);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[1].bytes.substr(0, 4), "User");
    EXPECT_TRUE(out[1].close);
}

TEST(Sessions, FaultsShapeTheReplies) {
    Chain c = MakeChain();
    FaultConfig cfg;
    FaultRule first1;
    std::string err;
    ASSERT_TRUE(ParseFaultRule("first:1", first1, err));
    auto run = [&](FaultConfig config, const std::string& cmd) {
        Faults f(config);
        TextSession s(c, f, nullptr, "10008", nullptr);
        std::vector<Output> out;
        const std::string in = cmd + "\r" + cmd + "\r";
        s.Feed(reinterpret_cast<const std::uint8_t*>(in.data()), in.size(), out);
        return out;
    };
    cfg = {};
    cfg.drop = first1;
    auto out = run(cfg, "SRLG0000");
    ASSERT_EQ(out.size(), 1u);  // first reply dropped, the command still done
    EXPECT_FALSE(c.displays[0].logging);

    cfg = {};
    cfg.refuse = first1;
    out = run(cfg, "SRLG0001");
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].bytes, "NG\r");
    EXPECT_EQ(out[1].bytes, "OK\r");

    cfg = {};
    cfg.garbage = first1;
    cfg.garbageBytes = 5;
    cfg.delay = first1;
    cfg.delayMs = 250;
    out = run(cfg, "");
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].bytes.size(), 5u + 1u + 3u);
    EXPECT_EQ(out[0].bytes.substr(6), "OK\r");
    EXPECT_EQ(out[0].delayMs, 250);
    EXPECT_EQ(out[1].delayMs, 0);

    // corrupt and close-after-blocks on the binary port
    cfg = {};
    cfg.corrupt = first1;
    cfg.closeAfterBlocks = 2;
    Faults f(cfg);
    c.EnterBinary(c.displays[0]);
    BinarySession b(c, f, nullptr, "18081", nullptr);
    std::vector<Output> bout;
    Bytes in;
    for (std::size_t off : {0u, 16u, 32u}) {
        const Bytes fr = Request(dakoral::kNvramBlock, BlockParams(off, 16));
        in.insert(in.end(), fr.begin(), fr.end());
    }
    b.Feed(in.data(), in.size(), bout);
    ASSERT_EQ(bout.size(), 2u);  // the third request is never answered
    EXPECT_FALSE(ChecksumHolds(bout[0].bytes));
    EXPECT_TRUE(ChecksumHolds(bout[1].bytes));
    EXPECT_TRUE(bout[1].close);
    EXPECT_TRUE(b.Finished());
}

TEST(Sessions, SerialLineSwitchesFramingWithBinaryMode) {
    Chain c = MakeChain();
    Faults f;
    SerialSession s(c, f, nullptr);
    std::vector<Output> out;
    auto feed = [&](const Bytes& b) {
        out.clear();
        s.Feed(b.data(), b.size(), out);
        std::string all;
        for (auto& o : out) all += o.bytes;
        return all;
    };
    auto text = [](const std::string& t) { return Bytes(t.begin(), t.end()); };
    EXPECT_EQ(feed(Request(dakoral::kLogStart, {})), "");    // a frame in text framing is no command
    EXPECT_EQ(feed(text("\r")), "OK\r");                     // ... and does not spoil the next one
    // Leaving binary mode for display 13 (a CR among the frame's bytes) before
    // clearing the logs, as the report program does on a serial line.
    EXPECT_EQ(feed(Request(dakoral::kLeaveBinary, Bytes{13})), "");
    EXPECT_EQ(feed(text("TRST0002\r")), "OK\r");
    EXPECT_FALSE(s.BinaryFraming());
    EXPECT_EQ(feed(text("FIRM0000\r")), "OK\r");
    EXPECT_TRUE(s.BinaryFraming());
    const std::string size = feed(Request(dakoral::kLogStart, {}));
    const Bytes expect = ReplyFrame(dakoral::kLogStart, true,
                                    Bytes{static_cast<std::uint8_t>(c.displays[0].log.size() & 0xFF),
                                          static_cast<std::uint8_t>(c.displays[0].log.size() >> 8)});
    EXPECT_EQ(size, std::string(expect.begin(), expect.end()));
    feed(Request(dakoral::kLeaveBinary, Bytes{0}));
    EXPECT_FALSE(s.BinaryFraming());
    EXPECT_EQ(feed(text("SRNO????\r")), "=" + c.displays[0].serial + "\r");

    // A text line between frames brings the line back to text.
    feed(text("FIRM0000\r"));
    EXPECT_TRUE(s.BinaryFraming());
    EXPECT_EQ(feed(text("\r")), "OK\r");
    EXPECT_FALSE(s.BinaryFraming());
}
