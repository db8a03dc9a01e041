// quendra-acquire's fleet run: the hosts file, then the tool as a process
// against 16 simulators on 16 claimed loopback addresses, runs that share a
// daisy chain, and Ctrl+C.
#include <gtest/gtest.h>
#include <signal.h>
#include <testsupport/ChildProcess.h>
#include <testsupport/SimProcess.h>
#include <testsupport/TempDir.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <set>
#include <thread>

#include "archive/HistoryArchive.h"
#include "cli/FleetCli.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = text.find('\n', pos);
        lines.push_back(text.substr(pos, end == std::string::npos ? std::string::npos : end - pos));
        if (end == std::string::npos) break;
        pos = end + 1;
    }
    return lines;
}

// The serial number of display `id` of a simulator with built-in defaults.
std::string SerialOf(int id) {
    char serial[16];
    std::snprintf(serial, sizeof serial, "QX3%07d", 1001 + id);
    return serial;
}

TEST(HostsFileTest, ReadsEveryFormAndNamesTheLineOfAMistake) {
    std::vector<stFleetDisplay> d;
    std::string error;
    ASSERT_TRUE(
        ParseHostsFile("# fleet\r\n127.0.0.5\r\n\r\n  127.0.0.5 3 svc  # chain\n"
                       "Display.Local:2000,0,ops\n127.0.0.6\t7",
                       d, error))
        << error;
    ASSERT_EQ(d.size(), 4u);
    EXPECT_EQ(d[0].strHost, "127.0.0.5");
    EXPECT_EQ(d[0].nPort, 10008);
    EXPECT_EQ(d[0].nLine, 2);
    EXPECT_EQ(d[1].nDisplayId, 3);
    EXPECT_EQ(d[1].strUser, "svc");
    EXPECT_EQ(d[2].nPort, 2000);
    EXPECT_EQ(d[2].strUser, "ops");
    EXPECT_EQ(d[3].nDisplayId, 7);
    EXPECT_EQ(FleetFolderName(d[0]), "127.0.0.5");
    EXPECT_EQ(FleetFolderName(d[1]), "127.0.0.5_id3");
    EXPECT_EQ(FleetFolderName(d[2]), "display.local_2000");

    const std::vector<std::pair<std::string, std::string>> bad = {
        {"127.0.0.5 256", "line 1: the display ID"},
        {"\n127.0.0.5:0", "line 2: the address"},
        {"127.0.0.5 1 u extra", "line 1: more than three fields"},
        {"127.0.0.5 x", "line 1: the display ID"},
        {"127.0.0.5 1 " + std::string(65, 'u'), "line 1: the user"},
        {"a\n127.0.0.5 2\nA:10008", "line 3 names the display of line 1 again"},
        {"# nothing\n\n", "no display listed"},
    };
    for (const auto& [text, reason] : bad) {
        EXPECT_FALSE(ParseHostsFile(text, d, error)) << text;
        EXPECT_NE(error.find(reason), std::string::npos) << error;
    }
    std::string many;
    for (std::size_t i = 0; i <= kMaxFleetDisplays; ++i) many += "h" + std::to_string(i) + "\n";
    EXPECT_FALSE(ParseHostsFile(many, d, error));
}

class FleetTest : public testsupport::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        fs::create_directories(dir / "out");
        fs::create_directories(dir / "scratch");
        options = testsupport::ScratchChildOptions(dir / "scratch");
        Write("password", "pw\n");
    }
    std::vector<std::string> Tool(const std::vector<std::string>& args) {
        std::vector<std::string> argv = {QUENDRA_ACQUIRE_EXE};
        argv.insert(argv.end(), args.begin(), args.end());
        return argv;
    }
    std::vector<std::string> Fleet(const std::string& hosts, int jobs) {
        Write("hosts", hosts);
        return Tool({"get-all", "--hosts", (dir / "hosts").string(), "--jobs", std::to_string(jobs), "--out",
                     (dir / "out").string(), "--password-file", (dir / "password").string()});
    }
    // The log a display's folder holds: its serial number from the file name.
    std::string CollectedSerial(const std::string& folder) {
        std::string serial;
        for (const auto& e : fs::directory_iterator(dir / "out" / folder)) {
            const std::string name = e.path().filename().string();
            if (e.path().extension() == ".dat") serial = name.substr(name.find('_') + 1, 10);
        }
        return serial;
    }

    testsupport::ChildOptions options;
};

// 16 simulators (every other one a chain of two), 24 displays, and one
// address where nobody answers: that display fails, all others are collected.
TEST_F(FleetTest, SixteenSimulatorsAndADeadHost) {
    std::array<testsupport::LoopbackAddress, 17> addresses;
    std::array<testsupport::SimProcess, 16> sims;
    std::string hosts = "# 16 simulators\n";
    for (int i = 0; i < 16; ++i) {
        ASSERT_FALSE(addresses[i].Text().empty());
        std::vector<std::string> args = {"--listen", addresses[i].Text(), "--account",
                                         "svc",      "--password",        "pw"};
        if (i % 2 == 1) args.insert(args.end(), {"--chain", "1"});
        ASSERT_TRUE(sims[i].Start(args));
        hosts += addresses[i].Text() + " 0 svc\n";
        if (i % 2 == 1) hosts += addresses[i].Text() + ",1,svc\n";
    }
    hosts += addresses[16].Text() + " 0 svc\n";
    std::string out, err;
    EXPECT_EQ(testsupport::RunChild(Fleet(hosts, 8), options, out, err), ACQCLI_COMM) << err;

    const std::vector<std::string> lines = Lines(out);
    ASSERT_EQ(lines.size(), 25u) << out;
    int ok = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        // Each line starts with its place in the run.
        EXPECT_EQ(lines[i].rfind("[" + std::to_string(i + 1) + "/25] ", 0), 0u) << lines[i];
        if (lines[i].find(": ok QM-X003 QX3000100") != std::string::npos) ++ok;
    }
    EXPECT_EQ(ok, 24) << out;
    EXPECT_NE(out.find(addresses[16].Text() + ": failed (exit 1, "), std::string::npos) << out;
    EXPECT_NE(err.find("25 displays, 24 collected, 1 failed, 0 cancelled"), std::string::npos) << err;

    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(CollectedSerial(addresses[i].Text()), SerialOf(0));
        EXPECT_EQ(fs::file_size(dir / "out" / addresses[i].Text() / "NvramDump1.bin"), 4096u);
        if (i % 2 == 1) {
            EXPECT_EQ(CollectedSerial(addresses[i].Text() + "_id1"), SerialOf(1));
        }
    }
    EXPECT_FALSE(fs::exists(dir / "out" / addresses[16].Text()));  // nothing was left there

    // The summary: one JSON line per display in the order of the file.
    const std::vector<std::string> summary = Lines(Read("out/summary.jsonl"));
    ASSERT_EQ(summary.size(), 25u);
    EXPECT_EQ(
        summary[0].rfind("{\"host\":\"" + addresses[0].Text() +
                             "\",\"port\":10008,\"id\":0,\"line\":2,\"folder\":\"" +
                             (dir / "out" / addresses[0].Text()).string() +
                             "\",\"exit_code\":0,\"message\":\"Complete to communicate and create file.\"",
                         0),
        0u)
        << summary[0];
    EXPECT_NE(summary[0].find(
                  ",\"run\":{\"command\":\"get-all\",\"exit_code\":0,\"model\":\"QM-X003\",\"serial\":\"" +
                  SerialOf(0) + "\""),
              std::string::npos);
    EXPECT_NE(summary[2].find("\"id\":1,\"line\":4,"), std::string::npos) << summary[2];
    EXPECT_NE(summary[24].find("\"exit_code\":1,\"message\":\"Failed to communicate"), std::string::npos);
    EXPECT_NE(summary[24].find("\"status\":\"failed\",\"reason\":\"cannot-connect\","), std::string::npos)
        << summary[24];
    EXPECT_NE(summary[0].find("\"status\":\"collected\",\"reason\":null,"), std::string::npos) << summary[0];
    EXPECT_NE(summary[24].find("\"run\":{\"command\":\"get-all\",\"exit_code\":1,"), std::string::npos);
}

// A fleet with both displays of one chain and, at the same time, a run of its
// own on the chain. Slow text replies would let the runs' text commands
// overlap, so that one run's binary requests went to the display another run
// had put into binary mode last (the LAN library's host lock covers only the
// binary connections). Binary mode is entered and left in turn, and every
// folder holds its own display's log.
TEST_F(FleetTest, RunsOnOneChainTakeTurns) {
    testsupport::LoopbackAddress address;
    testsupport::SimProcess sim;
    const fs::path transcript = dir / "transcript.txt";
    ASSERT_TRUE(
        sim.Start({"--listen", address.Text(), "--chain", "1", "--account", "svc", "--password", "pw",
                   "--delay", "text:every:1", "--delay-ms", "30", "--transcript", transcript.string()}));
    fs::create_directories(dir / "single");
    testsupport::ChildProcess single, fleet;
    ASSERT_TRUE(fleet.Start(Fleet(address.Text() + " 0 svc\n" + address.Text() + " 1 svc\n", 2), options));
    ASSERT_TRUE(single.Start(
        Tool({"get-all", "--lan", address.Text(), "--id", "1", "--user", "svc", "--password-file",
              (dir / "password").string(), "--out", (dir / "single").string()}),
        options));
    EXPECT_EQ(fleet.Wait(), ACQCLI_OK) << fleet.ErrorText();
    EXPECT_EQ(single.Wait(), ACQCLI_OK) << single.ErrorText();
    EXPECT_EQ(CollectedSerial(address.Text()), SerialOf(0));
    EXPECT_EQ(CollectedSerial(address.Text() + "_id1"), SerialOf(1));
    EXPECT_TRUE(fs::exists(dir / "single" / ("QM-X003_" + SerialOf(1) + ".dat")));

    int transfers = 0;
    bool inBinary = false;
    std::ifstream in(transcript);
    for (std::string line; std::getline(in, line);) {
        const bool enter =
            line.find("\"FIRM0000\"") != std::string::npos || line.find("\"BNMD") != std::string::npos;
        const bool leave = line.find(" bin F0 ") != std::string::npos;
        if (enter) {
            EXPECT_FALSE(inBinary) << "a second transfer began: " << line;
            inBinary = true;
            ++transfers;
        }
        if (leave) inBinary = false;
    }
    EXPECT_EQ(transfers, 6);  // log and NVRAM of three runs
}

// Ctrl+C at the terminal (to the whole job): the running display is cancelled
// once and put back, nothing else starts; both count as cancelled, not failed.
TEST_F(FleetTest, InterruptCancelsTheRunningDisplayAndStartsNoOther) {
    testsupport::LoopbackAddress first, second;
    testsupport::SimProcess slow, other;
    const fs::path transcript = dir / "transcript.txt";
    ASSERT_TRUE(
        slow.Start({"--listen", first.Text(), "--account", "svc", "--password", "pw", "--nvram-size", "65535",
                    "--delay", "bin:every:1", "--delay-ms", "100", "--transcript", transcript.string()}));
    ASSERT_TRUE(other.Start({"--listen", second.Text(), "--account", "svc", "--password", "pw"}));
    testsupport::ChildProcess fleet;
    testsupport::ChildOptions job = options;
    job.ownGroup = true;
    ASSERT_TRUE(fleet.Start(Fleet(first.Text() + " 0 svc\n" + second.Text() + " 0 svc\n", 1), job));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (testsupport::ReadFile(transcript).find("18081 bin 41 ") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    fleet.SignalGroup(SIGINT);
    EXPECT_EQ(fleet.Wait(), ACQCLI_CANCEL) << fleet.ErrorText();
    const std::vector<std::string> lines = Lines(fleet.Output());
    // Lines come as displays end: the one never started first.
    ASSERT_EQ(lines.size(), 2u) << fleet.Output();
    EXPECT_EQ(lines[0], "[1/2] " + second.Text() + ": cancelled (exit 2, cancelled, 0.00 s): not started");
    EXPECT_EQ(lines[1].rfind("[2/2] " + first.Text() + ": cancelled (exit 2, cancelled, ", 0), 0u) << lines[1];
    EXPECT_NE(lines[1].find("Canceled communication."), std::string::npos) << lines[1];
    EXPECT_EQ(Lines(testsupport::ReadFile(transcript)).back(), "10008 text \"SRLG0001\"");
    EXPECT_FALSE(fs::exists(dir / "out" / second.Text()));
    const std::vector<std::string> summary = Lines(Read("out/summary.jsonl"));
    ASSERT_EQ(summary.size(), 2u);
    for (const std::string& line : summary) EXPECT_NE(line.find("\"status\":\"cancelled\""), std::string::npos) << line;
    EXPECT_NE(fleet.ErrorText().find("2 displays, 0 collected, 0 failed, 2 cancelled"), std::string::npos)
        << fleet.ErrorText();
}

}  // namespace

// Every display's run adds its log to one archive as it lands, several at once.
TEST_F(FleetTest, DisplaysAddToOneArchiveAtOnce) {
    std::array<testsupport::LoopbackAddress, 3> addresses;
    std::array<testsupport::SimProcess, 3> sims;
    std::string hosts;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(sims[i].Start({"--listen", addresses[i].Text(), "--account", "svc", "--password", "pw",
                                   "--chain", "1"}));
        hosts += addresses[i].Text() + " 0 svc\n" + addresses[i].Text() + " 1 svc\n";
    }
    std::vector<std::string> args = Fleet(hosts, 6);
    args.insert(args.end(), {"--archive=" + (dir / "archive.sqlite").string(), "--overview"});
    std::string out, err;
    ASSERT_EQ(testsupport::RunChild(args, options, out, err), ACQCLI_OK) << err << out;

    std::set<std::string> collected, archived;
    for (const auto& e : fs::directory_iterator(dir / "out"))
        if (e.is_directory() && e.path().filename() != "overview-reports")
            collected.insert(CollectedSerial(e.path().filename().string()));
    std::string error;
    auto archive = hist::OpenArchiveFile(dir / "archive.sqlite", hist::ArchiveAccess::kRead, error);
    ASSERT_TRUE(archive) << error;
    std::vector<hist::stDisplaySummary> displays;
    ASSERT_TRUE(archive->ListDisplays(displays, error)) << error;
    for (const hist::stDisplaySummary& d : displays) archived.insert(d.display.strSerial);
    EXPECT_EQ(archived, collected);
    EXPECT_FALSE(archived.empty());
    // The overview that ends the run shows each display's history.
    EXPECT_NE(Read("out/overview.json").find("\"history\":{\"newSinceLastCollection\":"), std::string::npos);
}
