// The simulator as a real server, driven by a plain client. Each test listens
// on a loopback address of its own.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "sim_client.h"
#include <testsupport/SimProcess.h>

using namespace simtest;
using testsupport::LoopbackAddress;
using testsupport::RunSimToExit;
using testsupport::SimProcess;

namespace {

std::filesystem::path TempPath(const std::string& name) {
    return std::filesystem::temp_directory_path() /
           ("displaysim-it-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name() + "-" + name);
}

std::vector<std::string> ReadLines(const std::filesystem::path& p) {
    std::ifstream in(p);
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

Bytes Le16(std::size_t v) { return {static_cast<std::uint8_t>(v & 0xFF), static_cast<std::uint8_t>(v >> 8)}; }

Bytes BlockParams(std::size_t offset, std::size_t length) {
    Bytes p = Le16(offset);
    const Bytes l = Le16(length);
    p.insert(p.end(), l.begin(), l.end());
    return p;
}

// Reads an image the way the report program does: start code, 1024-byte
// blocks, end code.
std::optional<Bytes> ReadImage(Conn& c, std::uint8_t start, std::uint8_t block, std::uint8_t end) {
    auto s = c.Request(start, {});
    if (!s || s->refused || s->data.size() < 2) return std::nullopt;
    const std::size_t n = s->data[0] | (s->data[1] << 8);
    Bytes image;
    for (std::size_t off = 0; off < n; off += 1024) {
        auto r = c.Request(block, BlockParams(off, std::min<std::size_t>(1024, n - off)));
        if (!r || r->refused) return std::nullopt;
        image.insert(image.end(), r->data.begin(), r->data.end());
    }
    auto e = c.Request(end, {});
    if (!e || e->refused) return std::nullopt;
    return image;
}

Bytes WriteParams(std::size_t offset, const Bytes& image) {
    Bytes p = Le16(offset);
    for (std::size_t i = 0; i < 1024; ++i) p.push_back(offset + i < image.size() ? image[offset + i] : 0);
    return p;
}

bool EnterBinary(const std::string& addr) {
    Conn t;
    return t.ConnectTcp(addr, 10008) && t.Command("FIRM0000") == "OK";
}

}  // namespace

TEST(SimServer, TextPortAnswersAndTheTranscriptKeepsTheOrder) {
    const LoopbackAddress ip;
    const auto transcript = TempPath("transcript.txt");
    SimProcess sim;
    ASSERT_TRUE(sim.Start({"--listen", ip, "--transcript", transcript.string()}));
    EXPECT_EQ(sim.Line(), "listening " + ip.Text() + " 10008 18081");

    Conn c;
    ASSERT_TRUE(c.ConnectTcp(ip, 10008));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(c.Command(""), "OK");
    EXPECT_EQ(c.Command("SRLG0000"), "OK");
    EXPECT_EQ(c.Command("INF1????"), "=QM-X003");
    EXPECT_EQ(c.Command("ERRT????"), "NG");
    EXPECT_EQ(c.Command("ESPC0001"), "OK");
    EXPECT_EQ(c.Command("ERRT????"), "=25,30,28");
    EXPECT_EQ(c.Command("WBRP20600"), "OK");
    EXPECT_EQ(c.Command("WBRP????"), "=512,600,512,512,512,512");
    EXPECT_EQ(c.Command("GCVW1050"), "OK");
    EXPECT_EQ(c.Command("GCVL????"), "=50,100,100,100,100,100");
    EXPECT_EQ(c.Command("IFSNNEW-001"), "OK");
    EXPECT_EQ(c.Command("SRNO????"), "=NEW-001");
    // Two commands in one write, and a command split over two writes.
    ASSERT_TRUE(c.Send(std::string("SRLG0001\rUTIM????\rSRI")));
    EXPECT_EQ(c.ReadUntil("\r=12345\r", 3000), "OK\r=12345\r");
    EXPECT_EQ(c.Command("D????"), "=00000000000000");
    c.Close();

    EXPECT_EQ(sim.Stop(SIGTERM), 0);
    const auto lines = ReadLines(transcript);
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0], "10008 text \"\"");
    EXPECT_EQ(lines[3], "10008 text \"SRLG0000\"");
    EXPECT_EQ(lines.back(), "10008 text \"SRID????\"");
    std::filesystem::remove(transcript);
}

TEST(SimServer, LoginOnTheTextPortAndTheBinaryPort) {
    const LoopbackAddress ip;
    SimProcess sim;
    ASSERT_TRUE(sim.Start({"--listen", ip, "--account", "svc", "--password", "pw", "--tlmode"}));

    Conn ok;
    ASSERT_TRUE(ok.ConnectTcp(ip, 10008));
    EXPECT_EQ(ok.ReadUntil("Login: ", 3000), "Login: ");
    ok.Send(std::string("svc\r\n"));
    EXPECT_EQ(ok.ReadUntil("Password: ", 3000), "Password: ");
    ok.Send(std::string("pw\r\n"));
    EXPECT_EQ(ok.ReadUntil("OK\r\n", 3000), "OK\r\n");
    EXPECT_EQ(ok.Command("SRNO????"), "=QX30001001");

    Conn bad;
    ASSERT_TRUE(bad.ConnectTcp(ip, 10008));
    bad.ReadUntil("Login: ", 3000);
    bad.Send(std::string("svc\r\n"));
    bad.ReadUntil("Password: ", 3000);
    bad.Send(std::string("guess\r\n"));
    EXPECT_EQ(bad.ReadUntil("\r\n", 3000), "Login incorrect\r\n");
    EXPECT_TRUE(bad.WaitClosed(3000));

    // Binary port: silence after the password is acceptance.
    Conn bin;
    ASSERT_TRUE(bin.ConnectTcp(ip, 18081));
    EXPECT_EQ(bin.ReadUntil("Login: ", 3000), "Login: ");
    bin.Send(std::string("svc\r\n"));
    EXPECT_EQ(bin.ReadUntil("Password: ", 3000), "Password: ");
    bin.Send(std::string("pw\r\n"));
    EXPECT_EQ(bin.ReadFor(300), "");
    auto r = bin.Request(0xF0, {0});
    ASSERT_TRUE(r);
    EXPECT_FALSE(r->refused);

    Conn binBad;
    ASSERT_TRUE(binBad.ConnectTcp(ip, 18081));
    binBad.ReadUntil("Login: ", 3000);
    binBad.Send(std::string("svc\r\n"));
    binBad.ReadUntil("Password: ", 3000);
    binBad.Send(std::string("nope\r\n"));
    EXPECT_EQ(binBad.ReadUntil("\r\n", 3000).substr(0, 4), "User");
    EXPECT_TRUE(binBad.WaitClosed(3000));
    EXPECT_EQ(sim.Stop(SIGINT), 0);
}

TEST(SimServer, BinaryReadsAndAStagedNvramWrite) {
    const LoopbackAddress ip;
    SimProcess sim;
    ASSERT_TRUE(sim.Start({"--listen", ip, "--nvram-size", "2600"}));
    const std::string addr = ip;

    Conn bin;
    ASSERT_TRUE(bin.ConnectTcp(addr, 18081));
    auto refused = bin.Request(0x40, {});  // text mode: refused
    ASSERT_TRUE(refused);
    EXPECT_TRUE(refused->refused);
    auto leave = bin.Request(0xF0, {0});  // accepted in any mode
    ASSERT_TRUE(leave);
    EXPECT_FALSE(leave->refused);

    ASSERT_TRUE(EnterBinary(addr));
    auto log = ReadImage(bin, 0x40, 0x41, 0x42);
    ASSERT_TRUE(log);
    ASSERT_GT(log->size(), 1024u);
    EXPECT_EQ((*log)[0], 2);  // file version
    const std::string header(log->begin() + 1, log->begin() + 40);
    EXPECT_NE(header.find("QX30001001"), std::string::npos);
    auto nvram = ReadImage(bin, 0x44, 0x45, 0x46);
    ASSERT_TRUE(nvram);
    ASSERT_EQ(nvram->size(), 2600u);
    auto outOfRange = bin.Request(0x45, BlockParams(2048, 1024));
    ASSERT_TRUE(outOfRange);
    EXPECT_TRUE(outOfRange->refused);

    Bytes image(2600);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(255 - i % 251);

    // Interrupted: blocks sent, the connection closes before 0x49.
    {
        Conn w;
        ASSERT_TRUE(w.ConnectTcp(addr, 18081));
        auto s = w.Request(0x47, {});
        ASSERT_TRUE(s);
        EXPECT_EQ(s->data, Le16(2600));
        for (std::size_t off : {0u, 1024u, 2048u})
            EXPECT_FALSE(w.Request(0x48, WriteParams(off, image))->refused);
    }
    EXPECT_EQ(ReadImage(bin, 0x44, 0x45, 0x46), nvram);

    // Complete: committed by 0x49.
    EXPECT_TRUE(bin.Request(0x48, WriteParams(0, image))->refused);  // no 0x47 on this connection
    ASSERT_FALSE(bin.Request(0x47, {})->refused);
    for (std::size_t off : {0u, 1024u, 2048u})
        ASSERT_FALSE(bin.Request(0x48, WriteParams(off, image))->refused);
    ASSERT_FALSE(bin.Request(0x49, {})->refused);
    EXPECT_EQ(ReadImage(bin, 0x44, 0x45, 0x46), image);

    EXPECT_FALSE(bin.Request(0xF0, {0})->refused);
    EXPECT_TRUE(bin.Request(0x44, {})->refused);

    // Logout: the display answers 0x03 (after the refusal's checksum, which
    // the PC does not read) and closes.
    bin.Send(std::string(1, '\x03'));
    const std::string answer = bin.ReadFor(500);
    ASSERT_FALSE(answer.empty());
    EXPECT_EQ(answer.back(), '\x03');
    EXPECT_TRUE(bin.WaitClosed(3000));
    EXPECT_EQ(sim.Stop(), 0);
}

TEST(SimServer, ChainDisplaysAreReachedByIdSelection) {
    const LoopbackAddress ip;
    SimProcess sim;
    ASSERT_TRUE(sim.Start({"--listen", ip, "--chain", "3"}));
    Conn t;
    ASSERT_TRUE(t.ConnectTcp(ip, 10008));
    EXPECT_EQ(t.Command("IDSL4"), "NG");
    EXPECT_EQ(t.Command("IDSL3"), "OK");
    EXPECT_EQ(t.Command("SRNO????"), "=QX30001004");
    EXPECT_EQ(t.Command("BNMD3"), "=BNMD9999");
    Conn bin;
    ASSERT_TRUE(bin.ConnectTcp(ip, 18081));
    auto log = ReadImage(bin, 0x40, 0x41, 0x42);
    ASSERT_TRUE(log);
    const std::string header(log->begin() + 1, log->begin() + 40);
    EXPECT_NE(header.find("QX30001004"), std::string::npos);
    EXPECT_FALSE(bin.Request(0xF0, {3})->refused);
    EXPECT_TRUE(bin.Request(0x40, {})->refused);
    EXPECT_EQ(sim.Stop(), 0);
}

TEST(SimServer, SerialLineThroughThePseudoTerminal) {
    const auto transcript = TempPath("serial.txt");
    SimProcess sim;
    ASSERT_TRUE(sim.Start({"--serial", "--transcript", transcript.string()}));
    const std::string path = sim.Line();
    ASSERT_EQ(path.rfind("/dev/", 0), 0u) << path;
    Conn line;
    ASSERT_TRUE(line.OpenTty(path));
    EXPECT_EQ(line.Command(""), "OK");
    EXPECT_EQ(line.Command("SRNO????"), "=QX30001001");
    EXPECT_EQ(line.Command("FIRM0000"), "OK");
    auto log = ReadImage(line, 0x40, 0x41, 0x42);
    ASSERT_TRUE(log);
    EXPECT_EQ((*log)[0], 2);
    EXPECT_FALSE(line.Request(0xF0, {0})->refused);
    EXPECT_EQ(line.Command("SRLG0001"), "OK");  // text framing again
    line.Close();
    EXPECT_EQ(sim.Stop(), 0);
    const auto lines = ReadLines(transcript);
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[2], "serial text \"FIRM0000\"");
    EXPECT_EQ(lines[3], "serial bin 40 ");
    EXPECT_EQ(lines.back(), "serial text \"SRLG0001\"");
    std::filesystem::remove(transcript);
}

TEST(SimServer, DropAndDelayFaults) {
    const LoopbackAddress ip;
    SimProcess sim;
    ASSERT_TRUE(sim.Start({"--listen", ip, "--drop", "text:first:1", "--delay", "bin:first:1",
                           "--delay-ms", "800"}));
    Conn t;
    ASSERT_TRUE(t.ConnectTcp(ip, 10008));
    EXPECT_EQ(t.Command("SRNO????", 500), std::nullopt);
    EXPECT_EQ(t.Command("SRNO????"), "=QX30001001");

    Conn b;
    ASSERT_TRUE(b.ConnectTcp(ip, 18081));
    ASSERT_TRUE(b.Send(Frame(0xF0, {0})));
    EXPECT_EQ(b.ReadFor(200), "");  // held back
    auto r = b.ReadReply(0xF0, 3000);
    ASSERT_TRUE(r);
    EXPECT_FALSE(r->refused);
    EXPECT_EQ(sim.Stop(), 0);
}

TEST(SimServer, RefuseCorruptAndGarbageFaults) {
    const LoopbackAddress ip;
    SimProcess sim;
    ASSERT_TRUE(sim.Start({"--listen", ip, "--refuse", "every:2", "--corrupt", "bin:every:2",
                           "--garbage", "text:first:1", "--garbage-bytes", "6"}));
    Conn t;
    ASSERT_TRUE(t.ConnectTcp(ip, 10008));
    ASSERT_TRUE(t.Send(std::string("\r")));
    const std::string raw = t.ReadUntil("OK\r", 3000);
    EXPECT_EQ(raw.size(), 6u + 1u + 3u);  // a garbage line, then the reply
    EXPECT_EQ(raw.substr(7), "OK\r");
    EXPECT_EQ(t.Command("SRLG0000"), "NG");  // second reply: refused
    EXPECT_EQ(t.Command("SRLG0000"), "OK");

    Conn b;
    ASSERT_TRUE(b.ConnectTcp(ip, 18081));
    auto first = b.Request(0xF0, {0});  // 4th reply overall: refused
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->refused);
    // The second binary reply has a spoilt checksum: never taken for the reply.
    EXPECT_FALSE(b.Request(0xF0, {0}, 500).has_value());
    auto third = b.Request(0xF0, {0});  // 6th reply overall: refused
    ASSERT_TRUE(third);
    EXPECT_TRUE(third->refused);
    EXPECT_EQ(sim.Stop(), 0);
}

TEST(SimServer, CloseAfterBinaryBlocks) {
    const LoopbackAddress ip;
    SimProcess sim;
    ASSERT_TRUE(sim.Start({"--listen", ip, "--close-after-blocks", "2"}));
    ASSERT_TRUE(EnterBinary(ip));
    Conn b;
    ASSERT_TRUE(b.ConnectTcp(ip, 18081));
    ASSERT_TRUE(b.Request(0x44, {}));
    EXPECT_TRUE(b.Request(0x45, BlockParams(0, 1024)));
    EXPECT_TRUE(b.Request(0x45, BlockParams(1024, 1024)));
    EXPECT_TRUE(b.WaitClosed(3000));
    EXPECT_EQ(sim.Stop(), 0);
}

TEST(SimServer, StateIsSavedOnStopAndLoadedAgain) {
    const LoopbackAddress ip, ip2;
    const auto state = TempPath("state.txt");
    {
        SimProcess sim;
        ASSERT_TRUE(sim.Start({"--listen", ip, "--chain", "1", "--save-state", state.string()}));
        Conn t;
        ASSERT_TRUE(t.ConnectTcp(ip, 10008));
        EXPECT_EQ(t.Command("IDSL1"), "OK");
        EXPECT_EQ(t.Command("IFSNKEPT-1"), "OK");
        EXPECT_EQ(t.Command("MG2Y0777"), "OK");
        EXPECT_EQ(t.Command("TRST0002"), "OK");
        EXPECT_EQ(t.Command("ACLG0000"), "OK");
        EXPECT_EQ(sim.Stop(SIGTERM), 0);
    }
    ASSERT_TRUE(std::filesystem::exists(state));
    SimProcess again;
    ASSERT_TRUE(again.Start({"--listen", ip2, "--state", state.string()}));
    Conn t;
    ASSERT_TRUE(t.ConnectTcp(ip2, 10008));
    EXPECT_EQ(t.Command("IDSL1"), "OK");
    EXPECT_EQ(t.Command("SRNO????"), "=KEPT-1");
    EXPECT_EQ(t.Command("MG2Y????"), "=777");
    EXPECT_EQ(t.Command("BNMD1"), "=BNMD9999");
    Conn b;
    ASSERT_TRUE(b.ConnectTcp(ip2, 18081));
    auto log = ReadImage(b, 0x40, 0x41, 0x42);
    ASSERT_TRUE(log);
    EXPECT_LT(log->size(), 1024u);  // the groups were cleared before saving
    EXPECT_EQ(again.Stop(), 0);
    std::filesystem::remove(state);
}

TEST(SimServer, BadStartsFailWithAMessage) {
    const LoopbackAddress ip;
    std::string err;
    EXPECT_EQ(RunSimToExit({"--chain", "x"}, err), 64);  // a usage error
    EXPECT_NE(err.find("--chain"), std::string::npos) << err;
    const auto state = TempPath("bad.txt");
    std::ofstream(state) << "[display 0]\nwb.val=1,2\n";
    EXPECT_EQ(RunSimToExit({"--listen", ip, "--state", state.string()}, err), 2);
    EXPECT_NE(err.find("line 2: wb.val"), std::string::npos) << err;
    std::filesystem::remove(state);
    EXPECT_EQ(RunSimToExit({"--listen", "no-such-host.invalid"}, err), 2);
    EXPECT_NE(err.find("cannot resolve"), std::string::npos) << err;
}
