// State file and command line.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "log_image.h"
#include "options.h"
#include "state_file.h"
#include "text_protocol.h"
#include <testsupport/TempDir.h>

using namespace dsim;

namespace {

Chain MakeChain(int extra = 0) {
    Chain c;
    for (int id = 0; id <= extra; ++id) c.displays.push_back(DefaultDisplay(id, 2048));
    return c;
}


}  // namespace

TEST(StateFile, SavedStateReadsBackToTheSameDisplays) {
    Chain c = MakeChain(2);
    TextContext ctx;
    for (const char* cmd : {"IDSL2", "IFSNSAVED-2", "WBLP30321", "GCVW6999", "ESPC0001", "TRST0002", "ACLG0000",
                            "SRLG0000", "CLKS2001020304"})
        ASSERT_EQ(HandleTextCommand(c, ctx, cmd).reply, "OK") << cmd;
    c.displays[2].nvram[100] = 0x42;
    c.displays[2].events[1][3].start = "2026/01/01 00:00,T1:1,T2:2,T3:3";

    const std::string text = StateText(c);
    Chain back = MakeChain();
    std::string err;
    ASSERT_TRUE(ApplyStateText(text, ".", 2048, back, err)) << err;
    ASSERT_EQ(back.displays.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        const Display& a = c.displays[i];
        const Display& b = back.displays[i];
        EXPECT_EQ(b.id, a.id);
        EXPECT_EQ(b.model, a.model);
        EXPECT_EQ(b.serial, a.serial);
        EXPECT_EQ(b.log, a.log);
        EXPECT_EQ(b.nvram, a.nvram);
        EXPECT_EQ(b.wb, a.wb);
        EXPECT_EQ(b.logging, a.logging);
        EXPECT_EQ(b.numbers, a.numbers);
        EXPECT_EQ(b.eventCounts, a.eventCounts);
        EXPECT_EQ(b.lastValues, a.lastValues);
        for (int k = 0; k < kEventKinds; ++k)
            for (int e = 0; e < kEventsPerKind; ++e) {
                EXPECT_EQ(b.events[k][e].start, a.events[k][e].start);
                EXPECT_EQ(b.events[k][e].max, a.events[k][e].max);
                EXPECT_EQ(b.events[k][e].time, a.events[k][e].time);
            }
    }
    EXPECT_EQ(SecondsToDigits12(back.displays[2].ClockNow()).substr(0, 8), "20010203");
    EXPECT_EQ(back.displays[2].serial, "SAVED-2");
    // Modes of a session are not part of the state.
    EXPECT_FALSE(back.displays[2].maintenance);
}

TEST(StateFile, ErrorsNameTheLineAndLeaveTheChainAlone) {
    struct Case {
        const char* text;
        const char* expect;
    } cases[] = {
        {"model=X\n", "line 1"},
        {"[display 0]\nmodel=0123456789ABCDEF\n", "line 2: model"},
        {"[display 300]\n", "line 1"},
        {"[display 0]\n\n# note\nlog=abc\n", "line 4: log"},
        {"[display 0]\nnvram=zz\n", "line 2: nvram"},
        {"[display 0]\nwb.level=1,2,3\n", "line 2: wb.level"},
        {"[display 0]\nwb.level=1,2,3,4,5,6,7\n", "line 2: wb.level"},
        {"[display 0]\nevent.3.0.start=x\n", "line 2: event.3.0.start"},
        {"[display 0]\nnumber.ZZZZ=1\n", "line 2: number.ZZZZ"},
        {"[display 0]\nclock=261307000000\n", "line 2: clock"},
        {"[display 0]\nclock=250229120000\n", "line 2: clock"},  // no 29 February in 2025
        {"[display 0]\nsimple_points=2\n", "line 2: simple_points"},
        {"[display 0]\nunknown=1\n", "line 2: unknown"},
        {"[display 0]\nlog_file=does-not-exist.dat\n", "line 2: log_file"},
        {"[display 0]\nnoequals\n", "line 2"},
        // Texts that come back in replies: a CR inside would split the reply line.
        {"[display 0]\nseries=AB\rCD\n", "line 2: series"},
        {"[display 0]\nevent.0.1.max=T1:1\rT2:2\n", "line 2: event.0.1.max"},
        {"[display 0]\nlast.LTOF=3\x01" "5\n", "line 2: last.LTOF"},
    };
    testsupport::TempDir tmp;
    for (const auto& tc : cases) {
        Chain c = MakeChain();
        const std::string before = StateText(c);
        std::string err;
        EXPECT_FALSE(ApplyStateText(tc.text, tmp.Path(), 2048, c, err)) << tc.text;
        EXPECT_NE(err.find(tc.expect), std::string::npos) << tc.text << " -> " << err;
        EXPECT_EQ(StateText(c).substr(0, 200), before.substr(0, 200));
        EXPECT_EQ(c.displays.size(), 1u);
    }
}

TEST(StateFile, LogFileGivesTheDisplayItsIdentityAndAddsChainDisplays) {
    testsupport::TempDir tmp;
    const auto& dir = tmp.Path();
    Display source = DefaultDisplay(0, 16);
    source.model = "QM-X001";
    source.serial = "FROMFILE9";
    const Bytes image = BuildDefaultLog(source);
    {
        std::ofstream(dir / "mine.dat", std::ios::binary).write(reinterpret_cast<const char*>(image.data()),
                                                                 static_cast<std::streamsize>(image.size()));
        std::ofstream(dir / "nv.bin", std::ios::binary).write("\x01\x02\x03", 3);
    }
    Chain c = MakeChain();
    std::string err;
    ASSERT_TRUE(ApplyStateText("[display 4]\r\nlog_file=mine.dat\r\nnvram_file=nv.bin\r\n", dir, 2048, c, err)) << err;
    ASSERT_NE(c.Find(4), nullptr);
    EXPECT_EQ(c.Find(4)->log, image);
    EXPECT_EQ(c.Find(4)->model, "QM-X001");
    EXPECT_EQ(c.Find(4)->serial, "FROMFILE9");
    EXPECT_EQ(c.Find(4)->nvram, (Bytes{1, 2, 3}));
    EXPECT_EQ(c.displays.back().id, 4);

    // Explicit identity keys win over the file's header.
    ASSERT_TRUE(ApplyStateText("[display 4]\nlog_file=mine.dat\nserial=EXPLICIT\n", dir, 2048, c, err)) << err;
    EXPECT_EQ(c.Find(4)->serial, "EXPLICIT");

    std::filesystem::resize_file(dir / "nv.bin", 70000);
    EXPECT_FALSE(ApplyStateText("[display 0]\nnvram_file=nv.bin\n", dir, 2048, c, err));
    EXPECT_NE(err.find("65535"), std::string::npos) << err;
}

TEST(StateFile, SaveReplacesTheFileWhole) {
    testsupport::TempDir tmp;
    const auto& dir = tmp.Path();
    const auto path = dir / "state.txt";
    std::ofstream(path) << "old content that is longer than nothing";
    Chain c = MakeChain(1);
    std::string err;
    ASSERT_TRUE(SaveStateFile(path, c, err)) << err;
    Chain back;
    back.displays.push_back(DefaultDisplay(0, 16));
    ASSERT_TRUE(LoadStateFile(path, 16, back, err)) << err;
    EXPECT_EQ(back.displays.size(), 2u);
    EXPECT_EQ(back.displays[1].nvram, c.displays[1].nvram);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);  // no temporary left
    EXPECT_FALSE(SaveStateFile(dir / "missing" / "state.txt", c, err));

    // A link planted where a temporary file might be made is never written through.
    const auto planted = dir / ("state.txt.tmp" + std::to_string(::getpid()));
    std::filesystem::create_symlink(dir / "victim", planted);
    ASSERT_TRUE(SaveStateFile(path, c, err)) << err;
    EXPECT_FALSE(std::filesystem::exists(dir / "victim"));
    EXPECT_TRUE(std::filesystem::is_symlink(planted));
}

TEST(StateFile, ReadsStopAtTheirLimitAndRefuseWhatIsNoFile) {
    testsupport::TempDir tmp;
    const auto fifo = tmp / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    Chain c = MakeChain();
    std::string err;
    // Neither blocks nor reads without end.
    for (const std::filesystem::path& p : {std::filesystem::path("/dev/zero"), fifo}) {
        EXPECT_FALSE(LoadStateFile(p, 16, c, err)) << p;
        EXPECT_NE(err.find("not a regular file"), std::string::npos) << err;
        EXPECT_FALSE(ApplyStateText("[display 0]\nlog_file=" + p.string() + "\n", tmp.Path(), 16, c, err)) << p;
    }
    EXPECT_FALSE(LoadStateFile(tmp / "missing", 16, c, err));
    EXPECT_NE(err.find("cannot read state file"), std::string::npos) << err;
}

TEST(LogImage, EditsRefuseImagesTheyCannotWalk) {
    const Bytes good = DefaultDisplay(0, 16).log;
    std::string err;
    for (std::size_t n : {0u, 20u, 100u}) {
        Bytes cut(good.begin(), good.begin() + static_cast<long>(n));
        EXPECT_FALSE(ClearLogGroups(cut, err)) << n;
        EXPECT_FALSE(RewriteLogIdentity(cut, "QM-X003", "A", err)) << n;
        EXPECT_EQ(cut.size(), n);
    }
    Bytes foreign = good;
    foreign[0] = 3;
    EXPECT_FALSE(ClearLogGroups(foreign, err));
    EXPECT_NE(err.find("version"), std::string::npos);
    EXPECT_EQ(foreign[0], 3);
}

TEST(Options, ParseAndRefuse) {
    Options o;
    std::string err;
    ASSERT_TRUE(ParseOptions({"--listen", "127.0.0.9", "--port", "11000", "--chain", "3", "--tlmode", "--drop",
                              "bin:every:2", "--delay", "first:1", "--delay-ms", "50", "--close-after-blocks", "4"},
                             o, err))
        << err;
    EXPECT_EQ(o.listen, "127.0.0.9");
    EXPECT_EQ(o.port, 11000);
    EXPECT_EQ(o.chain, 3);
    EXPECT_TRUE(o.tlmode);
    ASSERT_TRUE(o.faults.drop);
    EXPECT_EQ(o.faults.drop->k, 2);
    EXPECT_EQ(o.faults.delayMs, 50);
    EXPECT_EQ(o.faults.closeAfterBlocks, 4);

    for (std::vector<std::string> bad : {std::vector<std::string>{"--port"}, {"--port", "0"}, {"--port", "70000"},
                                         {"--chain", "256"}, {"--nvram-size", "65536"}, {"--frobnicate"},
                                         {"--corrupt", "text:first:1"}, {"--port", "18081"}, {"--drop", "first:"},
                                         {"--listen", ""}, {"--port", "12x"}, {"--zero-size", "disk"},
                                         {"--refuse-command", ""}, {"--refuse-command", "ESPC\t"},
                                         {"--refuse-command-count", "1"}}) {
        EXPECT_FALSE(ParseOptions(bad, o, err)) << bad[0];
        EXPECT_FALSE(err.empty());
    }
}
