// 64 blocks of 1,024 bytes through DAKRIF_GetCommand (trace log on), and the
// same 64 round trips with the same frames over a bare socket. Each iteration
// runs both, one after the other, against two instances of one display on
// loopback, so that both see the same load: each iteration is one pair. The
// counters give the median times of both and the median of the pairs' ratios
// (library / bare socket), which a busy moment of the machine moves little.
// A third loop shows how much of that the trace log costs by its nature: the
// bare round trips writing a trace line before each request and after each
// reply, each line appended to a file as it happens (traced_ms, and the
// medians of traced / bare and library / traced). A fourth runs the library
// with its log off (unlogged_ms, and the median of unlogged / bare): what the
// library costs by itself.

#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <dakoral/Frame.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "FakeDisplay.h"
#include "LanDakoral.h"
#include "Log.h"
#include "TestEnv.h"
#include "testsupport/SimProcess.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kBlocks = 64;
constexpr int kBlockSize = 1024;
constexpr std::uint8_t kCommand = 0x41;

fake::Bytes MakeBlock() {
    fake::Bytes b(kBlockSize);
    for (std::size_t i = 0; i < b.size(); ++i) b[i] = static_cast<std::uint8_t>(i * 13);
    return b;
}

// A display that answers every request with a 1,024-byte block.
fake::FakeDisplay::Handler BlockDisplay() {
    return fake::FakeDisplay::Answering(
        [block = MakeBlock()](const fake::Request& r) { return fake::Reply(r.command, block); });
}

std::vector<std::uint8_t> BlockParams(int b) {
    const auto offset = static_cast<std::uint16_t>(b * kBlockSize);
    return {static_cast<std::uint8_t>(offset & 0xFF), static_cast<std::uint8_t>(offset >> 8), 0x00, 0x04};
}

bool LibraryBlocks(DAKRIF_HANDLE h, std::vector<std::uint8_t>& reply) {
    for (int b = 0; b < kBlocks; ++b) {
        const auto params = BlockParams(b);
        int len = 0;
        if (DAKRIF_GetCommand(h, &kCommand, params.data(), reply.data(), 4, &len) != 0 || len != kBlockSize)
            return false;
    }
    return true;
}

int ConnectBare(const std::string& ip, int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    ::inet_pton(AF_INET, ip.c_str(), &addr.sin_addr);
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0) return fd;
    ::close(fd);
    return -1;
}

bool ReadExactly(int fd, std::uint8_t* p, std::size_t n) {
    for (std::size_t got = 0; got < n;) {
        const ssize_t r = ::recv(fd, p + got, n - got, 0);
        if (r <= 0) return false;
        got += static_cast<std::size_t>(r);
    }
    return true;
}

// The same round trips with nothing but send and recv.
bool BareBlocks(int fd) {
    std::vector<std::uint8_t> frame;
    std::uint8_t reply[kBlockSize + 6];
    for (int b = 0; b < kBlocks; ++b) {
        const auto params = BlockParams(b);
        dakoral::BuildRequest(kCommand, params.data(), params.size(), frame);
        if (::send(fd, frame.data(), frame.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(frame.size()) ||
            !ReadExactly(fd, reply, sizeof reply))
            return false;
    }
    return true;
}

// Appends one trace line as the library's log has it: local time, level,
// what was sent or received in hexadecimal.
void AppendTraceLine(int log, const char* what, const std::uint8_t* bytes, std::size_t n) {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    char line[160];
    int len = std::snprintf(line, sizeof line, "%04d/%02d/%02d %02d:%02d:%02d: Trace: [%s] bin  =", tm.tm_year + 1900,
                            tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, what);
    for (std::size_t i = 0; i < n && i < 10 && len + 4 < static_cast<int>(sizeof line); ++i)
        len += std::snprintf(line + len, sizeof line - static_cast<std::size_t>(len), " %02X", bytes[i]);
    len += std::snprintf(line + len, sizeof line - static_cast<std::size_t>(len), "\r\n");
    [[maybe_unused]] const ssize_t written = ::write(log, line, static_cast<std::size_t>(len));
}

// The bare round trips with a trace line written before each request and
// after each reply.
bool TracedBlocks(int fd, int log) {
    std::vector<std::uint8_t> frame;
    std::uint8_t reply[kBlockSize + 6];
    for (int b = 0; b < kBlocks; ++b) {
        const auto params = BlockParams(b);
        dakoral::BuildRequest(kCommand, params.data(), params.size(), frame);
        AppendTraceLine(log, "Send", frame.data(), frame.size());
        if (::send(fd, frame.data(), frame.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(frame.size()) ||
            !ReadExactly(fd, reply, sizeof reply))
            return false;
        AppendTraceLine(log, "Recv", reply, sizeof reply);
    }
    return true;
}

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

void BM_Read64Blocks(benchmark::State& state) {
    testenv::LanEnv env;  // the library's settings and log
    const testsupport::LoopbackAddress ip;
    fake::FakeDisplay forLibrary(ip, BlockDisplay());
    fake::FakeDisplay forBare(ip, BlockDisplay());
    fake::FakeDisplay forTraced(ip, BlockDisplay());
    // A display of its own address: the library keeps one connection to an address at a time.
    const testsupport::LoopbackAddress unloggedIp;
    fake::FakeDisplay forUnlogged(unloggedIp, BlockDisplay());
    DAKRIF_HANDLE h = DAKRIF_Open(forLibrary.Iface().c_str(), (5u << 16) | (3u << 8));
    DAKRIF_HANDLE unlogged = DAKRIF_Open(forUnlogged.Iface().c_str(), (5u << 16) | (3u << 8));
    // The same log as the library's own, put back after each unlogged loop.
    const auto logger = std::make_shared<lan::CLoggingLock>(env.Dir());
    lan::InstallLogger(logger);
    const int fd = ConnectBare(ip, forBare.Port());
    const int tracedFd = ConnectBare(ip, forTraced.Port());
    // The traced loop's log lies beside the library's, on the same disk.
    const std::string tracePath = (env.LogPath().parent_path() / "bare-trace.log").string();
    const int log = ::open(tracePath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_TRUNC | O_CLOEXEC, 0600);
    std::vector<std::uint8_t> reply(DAKRIF_MAX_REPLY);
    std::vector<double> libraryMs, bareMs, tracedMs, unloggedMs, ratios, tracedRatios, overTraced, unloggedRatios;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        const bool libraryOk = h && LibraryBlocks(h, reply);
        const auto t1 = Clock::now();
        const bool bareOk = fd >= 0 && BareBlocks(fd);
        const auto t2 = Clock::now();
        const bool tracedOk = tracedFd >= 0 && log >= 0 && TracedBlocks(tracedFd, log);
        const auto t3 = Clock::now();
        lan::InstallLogger(nullptr);
        const auto t4 = Clock::now();
        const bool unloggedOk = unlogged && LibraryBlocks(unlogged, reply);
        const auto t5 = Clock::now();
        lan::InstallLogger(logger);
        if (!libraryOk || !bareOk || !tracedOk || !unloggedOk) {
            state.SkipWithError(!libraryOk  ? "library exchange failed"
                                : !bareOk   ? "bare socket exchange failed"
                                : !tracedOk ? "traced bare socket exchange failed"
                                            : "library exchange without its log failed");
            break;
        }
        libraryMs.push_back(Ms(t1 - t0));
        bareMs.push_back(Ms(t2 - t1));
        tracedMs.push_back(Ms(t3 - t2));
        unloggedMs.push_back(Ms(t5 - t4));
        ratios.push_back(libraryMs.back() / bareMs.back());
        tracedRatios.push_back(tracedMs.back() / bareMs.back());
        overTraced.push_back(libraryMs.back() / tracedMs.back());
        unloggedRatios.push_back(unloggedMs.back() / bareMs.back());
        state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
    }
    if (log >= 0) ::close(log);
    ::unlink(tracePath.c_str());
    if (tracedFd >= 0) ::close(tracedFd);
    if (fd >= 0) ::close(fd);
    if (h) DAKRIF_Close(h);
    if (unlogged) DAKRIF_Close(unlogged);
    if (!ratios.empty()) {
        state.counters["library_ms"] = Median(libraryMs);
        state.counters["bare_ms"] = Median(bareMs);
        state.counters["ratio"] = Median(ratios);
        state.counters["traced_ms"] = Median(tracedMs);
        state.counters["traced_ratio"] = Median(tracedRatios);
        state.counters["over_traced"] = Median(overTraced);
        state.counters["unlogged_ms"] = Median(unloggedMs);
        state.counters["unlogged_ratio"] = Median(unloggedRatios);
        state.counters["pairs"] = static_cast<double>(ratios.size());
    }
    state.SetBytesProcessed(state.iterations() * kBlocks * kBlockSize);
}
BENCHMARK(BM_Read64Blocks)->Unit(benchmark::kMillisecond)->UseManualTime();

}  // namespace

BENCHMARK_MAIN();
