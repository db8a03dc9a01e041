// quendra-acquire: its command line, and the tool as a process against
// display-sim (summary, exit codes, Ctrl+C with the display put back, two
// runs on one display taking turns).
#include <gtest/gtest.h>
#include <signal.h>
#include <testsupport/ChildProcess.h>
#include <testsupport/SimProcess.h>
#include <testsupport/TempDir.h>

#include <sys/stat.h>

#include <chrono>
#include <algorithm>
#include <functional>
#include <fstream>
#include <regex>
#include <thread>

#include "cli/AcquireCli.h"
#include "common/namedlock.h"
#include "linkio/DisplayTurn.h"

namespace fs = std::filesystem;

namespace {

TEST(AcquireArgsTest, AcceptsTheDocumentedFormsAndRefusesTheRest) {
    stAcquireOptions o;
    std::string error;
    ASSERT_TRUE(ParseAcquireArgs({"get-all", "--lan", "127.0.0.5:2000", "--id", "3", "--user", "svc",
                                  "--password-file", "pw", "--out", "d", "--json"},
                                 o, error))
        << error;
    EXPECT_EQ(o.strCommand, "get-all");
    EXPECT_EQ(o.strHost, "127.0.0.5");
    EXPECT_EQ(o.nLanPort, 2000);
    EXPECT_EQ(o.nDisplayId, 3);
    EXPECT_TRUE(o.bJson);
    ASSERT_TRUE(
        ParseAcquireArgs({"write-nvram", "img.bin", "--serial", "COM3", "--baud", "38400"}, o, error));
    EXPECT_EQ(o.strFile, "img.bin");
    EXPECT_EQ(o.nBaud, 38400);
    ASSERT_TRUE(ParseAcquireArgs({"dump-temperature", "t.txt", "--lan", "display.local"}, o, error));
    EXPECT_EQ(o.nLanPort, 10008);
    ASSERT_TRUE(ParseAcquireArgs(
        {"get-all", "--hosts", "fleet.txt", "--jobs", "16", "--out", "d", "--user", "u"}, o, error))
        << error;
    EXPECT_EQ(o.strHosts, "fleet.txt");
    EXPECT_EQ(o.nJobs, 16);

    const std::vector<std::vector<std::string>> bad = {
        {},
        {"get-all"},                                        // no connection
        {"get-all", "--lan", "a", "--serial", "COM1"},      // two
        {"fetch", "--lan", "a"},                            // unknown command
        {"write-nvram", "--lan", "a"},                      // no file
        {"get-all", "--lan", "a:0"},                        // bad port
        {"get-all", "--lan", ":10008"},                     // no host
        {"get-all", "--lan", "a", "--id", "256"},           // bad id
        {"get-all", "--lan", "a", "--baud", "9600"},        // baud on LAN
        {"get-all", "--serial", "COM1", "--baud", "4800"},  // unsupported baud
        {"get-all", "--serial", "COM1", "--user", "u"},     // account on serial
        {"get-all", "--lan", "a", "extra"},                 // stray argument
        {"get-all", "--lan", "a", "--out"},                 // missing value
        {"get-all", "--lan", "a", "--verbose"},             // unknown option
        {"get-all", "--hosts", "h", "--lan", "a"},          // a fleet names its hosts in the file
        {"get-all", "--hosts", "h", "--id", "2"},           // ... and their IDs
        {"write-nvram", "f", "--hosts", "h"},               // a fleet only reads
        {"get-all", "--hosts", "h", "--jobs", "65"},        // too many jobs
        {"get-all", "--lan", "a", "--jobs", "2"},           // jobs without a fleet
    };
    for (const auto& args : bad) {
        EXPECT_FALSE(ParseAcquireArgs(args, o, error)) << (args.empty() ? "" : args[0]);
        EXPECT_FALSE(error.empty());
    }
}

class AcquireToolTest : public testsupport::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        fs::create_directories(dir / "out");
        fs::create_directories(dir / "scratch");
        options = testsupport::ScratchChildOptions(dir / "scratch");
    }
    int Tool(std::vector<std::string> args) {
        args.insert(args.begin(), QUENDRA_ACQUIRE_EXE);
        return testsupport::RunChild(args, options, out, err);
    }
    std::vector<std::string> Lan() { return {"--lan", address.Text()}; }
    std::vector<std::string> With(std::vector<std::string> a, const std::vector<std::string>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    }

    testsupport::LoopbackAddress address;
    testsupport::SimProcess sim;
    testsupport::ChildOptions options;
    std::string out, err;
};

TEST_F(AcquireToolTest, GetAllWithSummary) {
    ASSERT_TRUE(sim.Start({"--listen", address.Text(), "--nvram-size", "3000"}));
    ASSERT_EQ(Tool(With({"get-all", "--out", (dir / "out").string(), "--json"}, Lan())), ACQCLI_OK) << err;
    const fs::path dat = dir / "out" / "QM-X003_QX30001001.dat";
    ASSERT_TRUE(fs::exists(dat));
    EXPECT_EQ(fs::file_size(dir / "out" / "NvramDump1.bin"), 3000u);
    EXPECT_EQ(
        out.rfind("{\"command\":\"get-all\",\"exit_code\":0,\"model\":\"QM-X003\",\"serial\":\"QX30001001\","
                  "\"files\":[{\"path\":\"" +
                      dat.string() + "\",\"bytes\":" + std::to_string(fs::file_size(dat)) + "},{\"path\":\"" +
                      (dir / "out" / "NvramDump1.bin").string() + "\",\"bytes\":3000}],\"duration_ms\":",
                  0),
        0u)
        << out;
    EXPECT_NE(out.find("\"steps\":[{\"exit_code\":0,"), std::string::npos);
    EXPECT_EQ(out.find("\"error\""), std::string::npos);  // only a failure says why
    // Plain progress lines and the final message, as standard error is no terminal.
    EXPECT_NE(err.find("Communicating 1/2: Log data reading...\n"), std::string::npos);
    EXPECT_NE(err.find("Complete to communicate and create file.\n"), std::string::npos);

    // get-logs writes the same report, making the missing folder; dump-temperature its text.
    fs::remove_all(dir / "out");
    ASSERT_EQ(Tool(With({"get-logs", "--out", (dir / "out").string()}, Lan())), ACQCLI_OK) << err;
    EXPECT_TRUE(fs::exists(dat));
    ASSERT_EQ(Tool(With({"dump-temperature", (dir / "t.txt").string()}, Lan())), ACQCLI_OK) << err;
    EXPECT_EQ(testsupport::ReadFile(dir / "t.txt").rfind("SERIAL NUMBER : QX30001001\r\n\r\n", 0), 0u);
}

TEST_F(AcquireToolTest, GetAllAddsTheLogToTheArchive) {
    ASSERT_TRUE(sim.Start({"--listen", address.Text()}));
    const std::string archive = "--archive=" + (dir / "a.sqlite").string();
    ASSERT_EQ(Tool(With({"get-all", "--out", (dir / "out").string(), archive}, Lan())), ACQCLI_OK) << err;
    std::smatch m;
    ASSERT_TRUE(std::regex_search(err, m, std::regex("Archive: .*a\\.sqlite: ([0-9]+) records, ([0-9]+) new\n")))
        << err;
    EXPECT_EQ(m[1], m[2]);
    EXPECT_NE(m.str(1), "0");
    ASSERT_EQ(Tool(With({"get-logs", "--out", (dir / "out").string(), archive}, Lan())), ACQCLI_OK) << err;
    EXPECT_NE(err.find("records, 0 new\n"), std::string::npos) << err;
    // An archive that cannot take it fails the run, with its reason on
    // standard error and in the JSON summary; the log is still saved.
    fs::remove_all(dir / "out");
    testsupport::WriteFile(dir / "text.sqlite", std::string(300, 't'));
    EXPECT_EQ(Tool(With({"get-logs", "--json", "--out", (dir / "out").string(),
                         "--archive=" + (dir / "text.sqlite").string()},
                        Lan())),
              ACQCLI_FILE);
    EXPECT_NE(err.find("the log was not added to the archive: "), std::string::npos) << err;
    EXPECT_NE(err.find("quendra-acquire: reason file-error, step history-archive: " + (dir / "text.sqlite").string()),
              std::string::npos)
        << err;
    EXPECT_NE(out.find("\"exit_code\":4,"), std::string::npos) << out;
    EXPECT_NE(out.find("\"error\":{\"reason\":\"file-error\",\"step\":\"history-archive\""), std::string::npos) << out;
    EXPECT_TRUE(fs::exists(dir / "out" / "QM-X003_QX30001001.dat"));
    EXPECT_EQ(Tool(With({"dump-nvram", archive}, Lan())), ACQCLI_USAGE);
}

TEST_F(AcquireToolTest, ExitCodesTellWhatHappened) {
    ASSERT_TRUE(sim.Start({"--listen", address.Text(), "--chain", "5"}));
    testsupport::WriteFile(dir / "img.bin", std::string(4096, 'x'));
    EXPECT_EQ(Tool(With({"write-nvram", (dir / "img.bin").string(), "--id", "5"}, Lan())), ACQCLI_REFUSED);
    EXPECT_NE(err.find("Not support to write NvramData with a specific display ID.\n"
                       "quendra-acquire: reason refused, step check: "),
              std::string::npos)
        << err;
    EXPECT_EQ(Tool(With({"write-nvram", (dir / "missing.bin").string()}, Lan())), ACQCLI_FILE);
    EXPECT_EQ(Tool(With({"get-all", "--out", (dir / "img.bin").string()}, Lan())), ACQCLI_FILE);
    EXPECT_NE(err.find("img.bin is not a folder"), std::string::npos);
    EXPECT_EQ(Tool(With({"clear-logs"}, Lan())), ACQCLI_CANCEL);  // no terminal to confirm
    EXPECT_NE(err.find("not cleared"), std::string::npos);
    EXPECT_EQ(Tool(With({"clear-logs", "--yes"}, Lan())), ACQCLI_OK) << err;
    EXPECT_NE(err.find("Logs are cleared.\n"), std::string::npos);
    EXPECT_EQ(Tool({"get-all", "--lan"}), ACQCLI_USAGE);
    EXPECT_EQ(Tool(With({"list-ports"}, Lan())), ACQCLI_USAGE);
    EXPECT_EQ(Tool({"list-ports", "--json"}), ACQCLI_OK) << err;
    EXPECT_EQ(out.rfind("{\"com\":[", 0), 0u) << out;
    EXPECT_NE(out.find("],\"adapters\":["), std::string::npos) << out;
    EXPECT_EQ(Tool({"--help"}), ACQCLI_OK);
    EXPECT_NE(out.find("Exit status"), std::string::npos);
    // Nobody answers any more: the message, then why, on standard error and
    // in the summary.
    sim.Stop();
    EXPECT_EQ(Tool(With({"get-logs", "--out", (dir / "out").string(), "--json"}, Lan())), ACQCLI_COMM);
    EXPECT_TRUE(fs::is_empty(dir / "out"));
    const std::string detail =
        "LAN" + address.Text() + ":10008: cannot connect to " + address.Text() + ":10008: Connection refused";
    EXPECT_NE(err.find("Failed to communicate with Quendra display. Check cable connection and interface "
                       "settings.\nquendra-acquire: reason cannot-connect, step open-text-port: " +
                       detail + "\n"),
              std::string::npos)
        << err;
    EXPECT_NE(out.find(",\"error\":{\"reason\":\"cannot-connect\",\"step\":\"open-text-port\",\"detail\":\"" +
                       detail + "\"}}\n"),
              std::string::npos)
        << out;
}

// write-nvram and clear-logs name the display (and the file) before they
// change anything; without a terminal to ask on they need --yes and send
// nothing at all.
TEST_F(AcquireToolTest, ChangingCommandsShowTheDisplayAndAsk) {
    const fs::path transcript = dir / "transcript.txt";
    ASSERT_TRUE(sim.Start({"--listen", address.Text(), "--transcript", transcript.string()}));
    const std::string image = (dir / "img.bin").string();
    testsupport::WriteFile(image, std::string(4096, 'x'));
    EXPECT_EQ(Tool(With({"write-nvram", image}, Lan())), ACQCLI_CANCEL);
    EXPECT_EQ(err, "quendra-acquire: nothing was written: write-nvram asks first, and standard input is no "
                   "terminal (give --yes to go on without asking)\n");
    EXPECT_EQ(Tool(With({"clear-logs"}, Lan())), ACQCLI_CANCEL);
    EXPECT_EQ(err.rfind("quendra-acquire: the logs were not cleared: clear-logs asks first", 0), 0u) << err;
    EXPECT_EQ(testsupport::ReadFile(transcript), "");

    ASSERT_EQ(Tool(With({"write-nvram", image, "--yes", "--json"}, {"--lan=" + address.Text()})), ACQCLI_OK) << err;
    EXPECT_EQ(err.rfind("Display: " + address.Text() + " (QM-X003 QX30001001)\nFile: " + image + " (4096 bytes)\n", 0),
              0u)
        << err;
    EXPECT_EQ(out.rfind("{\"command\":\"write-nvram\",\"exit_code\":0,\"model\":\"QM-X003\",\"serial\":\"QX30001001\"",
                        0),
              0u)
        << out;
    EXPECT_NE(out.find(",\"display\":\"" + address.Text() + "\"}"), std::string::npos) << out;
    // The two queries come before anything that changes the display.
    const std::string sent = testsupport::ReadFile(transcript);
    EXPECT_LT(sent.find("SRNO????"), sent.find("SRLG0000")) << sent;

    ASSERT_EQ(Tool(With({"clear-logs", "--yes"}, Lan())), ACQCLI_OK) << err;
    EXPECT_EQ(err.rfind("Display: " + address.Text() + " (QM-X003 QX30001001)\n", 0), 0u) << err;
}

// --stamp keeps every collection in one folder; "-" is standard output; an
// output path that is a folder is refused before the display is asked.
TEST_F(AcquireToolTest, StampedNamesAndStandardOutput) {
    ASSERT_TRUE(sim.Start({"--listen", address.Text()}));
    ASSERT_EQ(Tool(With({"get-all", "--stamp", "--out", (dir / "out").string()}, Lan())), ACQCLI_OK) << err;
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir / "out")) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    ASSERT_EQ(names.size(), 2u);
    const std::regex stamp("_[0-9]{8}-[0-9]{6}\\.");
    EXPECT_TRUE(std::regex_search(names[0], stamp) && names[0].rfind("NvramDump1_", 0) == 0) << names[0];
    EXPECT_TRUE(std::regex_search(names[1], stamp) && names[1].rfind("QM-X003_QX30001001_", 0) == 0) << names[1];
    EXPECT_EQ(Tool(With({"dump-temperature", "t.txt", "--stamp"}, Lan())), ACQCLI_USAGE);

    ASSERT_EQ(Tool(With({"dump-temperature", "-"}, Lan())), ACQCLI_OK) << err;
    EXPECT_EQ(out.rfind("SERIAL NUMBER : QX30001001\r\n\r\n", 0), 0u) << out;
    EXPECT_EQ(Tool(With({"dump-temperature", "-", "--json"}, Lan())), ACQCLI_USAGE);
    sim.Stop();
    EXPECT_EQ(Tool(With({"dump-temperature", dir.string()}, Lan())), ACQCLI_FILE);
    EXPECT_EQ(err, "quendra-acquire: " + dir.string() +
                       ": is a folder; only a file, a character device or a FIFO can be written\n");
}

// Ctrl+C in the middle of a slow NVRAM read: no dump, binary mode left,
// logging back on, exit code 2.
TEST_F(AcquireToolTest, InterruptPutsTheDisplayBack) {
    const fs::path transcript = dir / "transcript.txt";
    ASSERT_TRUE(sim.Start({"--listen", address.Text(), "--nvram-size", "65535", "--delay", "bin:every:1",
                           "--delay-ms", "150", "--transcript", transcript.string()}));
    testsupport::ChildProcess tool;
    ASSERT_TRUE(tool.Start(With({QUENDRA_ACQUIRE_EXE, "dump-nvram", "--out", (dir / "out").string()}, Lan()),
                           options));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (testsupport::ReadFile(transcript).find("18081 bin 45 00040004") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    tool.Signal(SIGINT);
    EXPECT_EQ(tool.Wait(), ACQCLI_CANCEL) << tool.ErrorText();
    EXPECT_NE(tool.ErrorText().find("Canceled communication.\n"), std::string::npos);
    EXPECT_TRUE(fs::is_empty(dir / "out"));
    std::vector<std::string> lines;
    std::ifstream in(transcript);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_LT(lines.size(), 40u);  // stopped long before the 64 blocks
    EXPECT_EQ(lines.back(), "10008 text \"SRLG0001\"");
    EXPECT_NE(std::find(lines.begin(), lines.end(), "18081 bin F0 00"), lines.end());
}

bool WaitFor(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// Two runs on one daisy chain through two spellings of its address: the
// second says that it waits and starts only after the first, so each dump
// holds its own display's bytes.
TEST_F(AcquireToolTest, TwoSpellingsOfOneAddressTakeTurns) {
    const std::string image1(16384, '\x11'), image2(16384, '\x22');
    Write("n1.bin", image1);
    Write("n2.bin", image2);
    Write("chain.state", "[display 1]\nnvram_file=n1.bin\n[display 2]\nnvram_file=n2.bin\n");
    const fs::path transcript = dir / "transcript.txt";
    ASSERT_TRUE(sim.Start({"--listen", address.Text(), "--chain", "2", "--state", (dir / "chain.state").string(),
                           "--delay", "bin:every:1", "--delay-ms", "100", "--transcript", transcript.string()}));
    testsupport::ChildProcess first, second;
    ASSERT_TRUE(first.Start({QUENDRA_ACQUIRE_EXE, "dump-nvram", "--lan", address.Text(), "--id", "1", "--out",
                             (dir / "one").string()},
                            options));
    ASSERT_TRUE(WaitFor([&] { return testsupport::ReadFile(transcript).find(" bin 45 ") != std::string::npos; }));
    ASSERT_TRUE(second.Start({QUENDRA_ACQUIRE_EXE, "dump-nvram", "--lan", address.ShortForm(), "--id", "2",
                              "--out", (dir / "two").string()},
                             options));
    const std::string waiting =
        "quendra-acquire: waiting for display " + address.Text() + ": another program is using it\n";
    EXPECT_TRUE(WaitFor([&] { return second.ErrorText().find(waiting) != std::string::npos; }))
        << second.ErrorText();
    EXPECT_EQ(first.Wait(), ACQCLI_OK) << first.ErrorText();
    EXPECT_EQ(second.Wait(), ACQCLI_OK) << second.ErrorText();
    EXPECT_TRUE(Read("one/NvramDump1.bin") == image1) << "display 1's dump holds other bytes";
    EXPECT_TRUE(Read("two/NvramDump1.bin") == image2) << "display 2's dump holds other bytes";
}

// A FIFO planted at the display's lock file: the run fails at once and says why.
TEST_F(AcquireToolTest, AFifoAtTheLockFileFailsAtOnce) {
    linkio::DisplayIdentity display;
    ASSERT_TRUE(linkio::IdentifyDisplay("LAN" + address.Text(), {}, display, err)) << err;
    const fs::path fifo = cmn::NamedLock(linkio::DisplayTurnName(display), dir / "scratch").FilePath();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Tool(With({"dump-nvram", "--out", (dir / "out").string()}, Lan())), ACQCLI_COMM);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_NE(err.find("quendra-acquire: cannot use display " + address.Text() + ": " + fifo.string() +
                       ": is a FIFO, not a regular file\n"),
              std::string::npos)
        << err;
    EXPECT_NE(err.find("Failed to communicate with Quendra display."), std::string::npos);
    EXPECT_TRUE(fs::is_empty(dir / "out"));
}

}  // namespace
