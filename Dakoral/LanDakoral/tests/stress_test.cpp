// Many processes at once: 8 writers of 10,000 log lines each while the log
// rotates (no line lost or torn), and 8 processes contending for one display
// (never two in an exchange at once; a killed holder frees it at once).

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <testsupport/SimProcess.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <new>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include "LanDakoral.h"
#include "Log.h"
#include "TestEnv.h"

namespace fs = std::filesystem;
using testenv::LanEnv;

namespace {

constexpr int kProcesses = 8;

// Runs `body(index)` in kProcesses forked children; each ends with _exit(0)
// unless the body ends it otherwise.
template <typename Body>
std::vector<pid_t> ForkAll(Body body) {
    std::vector<pid_t> children;
    for (int i = 0; i < kProcesses; ++i) {
        const pid_t pid = ::fork();
        if (pid < 0) break;
        if (pid == 0) {
            body(i);
            ::_exit(0);
        }
        children.push_back(pid);
    }
    return children;
}

// Waits for every child; the number that exited with 0.
int WaitAll(const std::vector<pid_t>& children) {
    int ok = 0;
    for (pid_t pid : children) {
        int status = 0;
        if (::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0) ++ok;
    }
    return ok;
}

long long MonotonicNs() {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

// Keeps every generation of the log: a rotation renames the log to ".old",
// and the next one replaces that, so each file the log folder shows under
// either name gets a hard link in `keep` (the folder's files may be seen
// under both names; a file is kept once, by its inode). A generation is
// missed only if a whole one is written between two looks: `Looks()` counts
// them, in memory shared with forked writers, so writers can keep pace.
// Start() begins the looking, in a thread: only after the writers are forked,
// as a child forked while another thread holds a lock of the memory
// allocator (the sanitizer's among them) would wait for it forever.
class GenerationKeeper {
public:
    GenerationKeeper(fs::path logDir, fs::path keep) : m_logDir(std::move(logDir)), m_keep(std::move(keep)) {
        fs::create_directories(m_keep);
        void* shared = ::mmap(nullptr, sizeof(std::atomic<long>), PROT_READ | PROT_WRITE,
                              MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        m_looks = shared == MAP_FAILED ? &m_localLooks : new (shared) std::atomic<long>(0);
    }
    void Start() {
        m_thread = std::thread([this] {
            while (!m_stop.load()) {
                KeepAll();
                m_looks->fetch_add(1);
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            KeepAll();
        });
    }
    ~GenerationKeeper() {
        Stop();
        if (m_looks != &m_localLooks) ::munmap(m_looks, sizeof(std::atomic<long>));
    }
    // Looks taken so far; readable from a forked child.
    long Looks() const { return m_looks->load(); }
    // Returns once a look has begun and ended after `since` was read (at most 10 s).
    void WaitForLookAfter(long since) const {
        const long long deadline = MonotonicNs() + 10'000'000'000LL;
        while (Looks() <= since + 1 && MonotonicNs() < deadline) {
            const timespec pause{0, 100'000};
            ::nanosleep(&pause, nullptr);
        }
    }
    void Stop() {
        m_stop.store(true);
        if (m_thread.joinable()) m_thread.join();
    }
    // The kept files, one per generation.
    std::vector<fs::path> Files() const { return m_files; }

private:
    void KeepAll() {
        for (const char* name : {"DakoralLan.log", "DakoralLan.log.old"}) Keep(m_logDir / name);
    }
    void Keep(const fs::path& file) {
        const fs::path link = m_keep / ("gen" + std::to_string(m_next));
        if (::link(file.c_str(), link.c_str()) != 0) return;
        struct stat st {};
        if (::stat(link.c_str(), &st) == 0 && m_inodes.insert(st.st_ino).second) {
            m_files.push_back(link);
            ++m_next;
        } else {
            ::unlink(link.c_str());
        }
    }

    fs::path m_logDir, m_keep;
    std::set<ino_t> m_inodes;
    std::vector<fs::path> m_files;
    int m_next = 0;
    std::atomic<long> m_localLooks{0};
    std::atomic<long>* m_looks = &m_localLooks;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

TEST(Stress, EightWritersOfTenThousandLinesLoseAndTearNothingWhileTheLogRotates) {
    LanEnv env;
    constexpr int kLines = 10000;
    lan::Logf(lan::kTrace, "start");  // the log folder and file exist before anybody writes
    GenerationKeeper keeper(env.LogPath().parent_path(), env.Dir() / "kept");
    const std::string pad(40, 'x');
    // 8 writers x 200 lines x about 83 bytes, twice between two looks at most,
    // stay well under one rotation (512 KiB): the keeper sees every generation
    // however busy the machine is.
    constexpr int kBatch = 200;
    const auto children = ForkAll([&](int w) {
        long since = keeper.Looks();
        for (int i = 0; i < kLines; ++i) {
            if (i > 0 && i % kBatch == 0) {
                keeper.WaitForLookAfter(since);
                since = keeper.Looks();
            }
            lan::Logf(lan::kTrace, "writer %d line %05d %s", w, i, pad.c_str());
        }
    });
    keeper.Start();
    ASSERT_EQ(WaitAll(children), kProcesses);
    keeper.Stop();

    const std::regex lineForm(R"(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d: Trace: writer (\d) line (\d{5}) x{40})");
    std::map<int, std::set<int>> seen;
    int lines = 0, duplicates = 0;
    const std::vector<fs::path> files = keeper.Files();
    EXPECT_GE(files.size(), 6u) << "the log should have rotated several times";
    for (const fs::path& file : files) {
        const std::string text = testenv::ReadFile(file);
        std::map<int, int> last;  // within one file each writer's lines go up
        std::size_t pos = 0;
        while (pos < text.size()) {
            const std::size_t end = text.find("\r\n", pos);
            ASSERT_NE(end, std::string::npos) << "unterminated line in " << file;
            const std::string line = text.substr(pos, end - pos);
            pos = end + 2;
            if (line.ends_with(": Trace: start")) continue;
            std::smatch m;
            ASSERT_TRUE(std::regex_match(line, m, lineForm)) << "torn line: " << line;
            const int w = std::stoi(m[1]), n = std::stoi(m[2]);
            const auto before = last.find(w);
            EXPECT_TRUE(before == last.end() || before->second < n) << "writer " << w << " line " << n;
            last[w] = n;
            if (!seen[w].insert(n).second) ++duplicates;
            ++lines;
        }
    }
    EXPECT_EQ(duplicates, 0);
    EXPECT_EQ(lines, kProcesses * kLines);
    for (int w = 0; w < kProcesses; ++w) EXPECT_EQ(seen[w].size(), static_cast<std::size_t>(kLines)) << w;
}

// 8 processes take turns on one display: each round opens the display (its
// host lock), sends three requests naming the process (0xF0 with its display
// ID, answered in any mode) and closes (logout). One process stops holding
// the display in the middle of a round and is killed there. The simulator's
// transcript must show every round whole: its three requests, then its
// logout, never mixed with another process's.
TEST(Stress, EightProcessesTakeTurnsOnOneDisplayAndAKilledHolderFreesIt) {
    LanEnv env("[Common]\r\nOpenTimeout=60\r\n");
    testsupport::LoopbackAddress address;
    ASSERT_FALSE(address.Text().empty());
    testsupport::SimProcess sim;
    const fs::path transcript = env.Dir() / "transcript.txt";
    ASSERT_TRUE(sim.Start({"--listen", address.Text(), "--chain", "7", "--transcript", transcript.string()}));
    const std::string iface = "LAN" + address.Text() + ":18081";
    constexpr int kRounds = 12, kRequests = 3, kStuckRound = 4;

    // Children report "<process> <round> <monotonic ns>\n" when they hold the display.
    // The others keep their last round until the stuck holder is killed, so
    // that someone must take the display after the kill.
    int report[2], release[2];
    ASSERT_EQ(::pipe(report), 0);
    ASSERT_EQ(::pipe(release), 0);
    const auto children = ForkAll([&](int p) {
        ::close(report[0]);
        ::close(release[1]);
        for (int round = 0; round < kRounds; ++round) {
            if (p != 0 && round == kRounds - 1) {
                pollfd go{release[0], POLLIN, 0};
                char byte = 0;
                if (::poll(&go, 1, 60000) != 1 || ::read(release[0], &byte, 1) != 1) ::_exit(5);
            }
            DAKRIF_HANDLE h = DAKRIF_Open(iface.c_str(), 0);
            if (h == nullptr) ::_exit(2);
            const std::string held =
                std::to_string(p) + " " + std::to_string(round) + " " + std::to_string(MonotonicNs()) + "\n";
            if (::write(report[1], held.data(), held.size()) < 0) ::_exit(3);
            const unsigned char command = 0xF0, id = static_cast<unsigned char>(p);
            for (int r = 0; r < kRequests; ++r) {
                unsigned char reply[DAKRIF_MAX_REPLY];
                int length = 0;
                if (DAKRIF_GetCommand(h, &command, &id, reply, 1, &length) != DAKRIF_OK) ::_exit(4);
                if (p == 0 && round == kStuckRound) {
                    if (::write(report[1], "stuck\n", 6) < 0) ::_exit(3);
                    for (;;) ::pause();  // holds the display until it is killed
                }
            }
            DAKRIF_Close(h);
        }
    });
    ::close(report[1]);
    ::close(release[0]);
    ASSERT_EQ(children.size(), static_cast<std::size_t>(kProcesses));

    // Reads the reports; kills process 0 once it is stuck.
    std::string reports;
    long long killedAt = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (;;) {
        pollfd pfd{report[0], POLLIN, 0};
        if (std::chrono::steady_clock::now() > deadline) break;
        if (::poll(&pfd, 1, 100) <= 0) continue;
        char buf[4096];
        const ssize_t n = ::read(report[0], buf, sizeof buf);
        if (n <= 0) break;  // every child has ended
        reports.append(buf, static_cast<std::size_t>(n));
        if (killedAt == 0 && reports.find("stuck\n") != std::string::npos) {
            ::kill(children[0], SIGKILL);
            killedAt = MonotonicNs();
            const std::string go(kProcesses - 1, 'g');
            if (::write(release[1], go.data(), go.size()) < 0) break;
        }
    }
    ::close(report[0]);
    ::close(release[1]);
    for (pid_t pid : children) ::kill(pid, SIGKILL);  // only those still running after the deadline
    std::vector<pid_t> others(children.begin() + 1, children.end());
    EXPECT_EQ(WaitAll(others), kProcesses - 1);
    WaitAll({children[0]});
    ASSERT_NE(killedAt, 0) << reports;

    // The display was free for the next process at once, not after the open time-out.
    long long nextHold = 0;
    int holds = 0;
    std::istringstream in(reports);
    for (std::string line; std::getline(in, line);) {
        int p = 0, round = 0;
        long long at = 0;
        if (std::sscanf(line.c_str(), "%d %d %lld", &p, &round, &at) != 3) continue;
        ++holds;
        if (at > killedAt && (nextHold == 0 || at < nextHold)) nextHold = at;
    }
    EXPECT_EQ(holds, (kProcesses - 1) * kRounds + kStuckRound + 1);
    ASSERT_NE(nextHold, 0);
    EXPECT_LT(nextHold - killedAt, 5'000'000'000LL) << "the killed holder kept the display";

    // Rounds, as the display saw them.
    ASSERT_EQ(sim.Stop(), 0);
    std::map<int, int> whole;
    int current = -1, requests = 0, cutShort = 0;
    std::ifstream lines(transcript);
    for (std::string line; std::getline(lines, line);) {
        int id = 0;
        if (std::sscanf(line.c_str(), "18081 bin F0 %x", &id) == 1) {
            if (requests > 0 && id != current) {
                // Only the killed holder's round ends without its logout.
                EXPECT_TRUE(current == 0 && requests == 1 && cutShort == 0)
                    << "process " << id << " in the round of process " << current;
                ++cutShort;
                requests = 0;
            }
            current = id;
            ++requests;
        } else if (line == "18081 bin logout") {
            EXPECT_EQ(requests, kRequests) << "round of process " << current;
            ++whole[current];
            requests = 0;
        }
    }
    for (int p = 1; p < kProcesses; ++p) EXPECT_EQ(whole[p], kRounds) << "process " << p;
    EXPECT_EQ(whole[0], kStuckRound);
    EXPECT_EQ(cutShort, 1);
}

}  // namespace
