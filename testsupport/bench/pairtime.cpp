// pairtime: times whole processes the way scripts/bench compares a program
// with its floor. Command A and command B run one after the other, A B A B
// ..., so that both meet the same load of a busy machine; each pair gives
// one ratio A/B, and the figure is the median of those ratios. With one
// command it times that command alone. Peak resident sizes come from wait4
// (the largest process of the command's tree that ended).
//
//   pairtime [--pairs N] [--warmup N] [--setup SHELL-CMD] A-PROGRAM ARGS... [';' B-PROGRAM ARGS...]
//
// --setup runs before every timed run through /bin/sh, untimed (a fresh
// output folder, say). Standard output and error of the commands go to
// /dev/null; a command that fails ends the tool with its exit code 1 and the
// command named. Prints one line of key=value fields:
//   pairs=N a_ms=MEDIAN a_min_ms=MIN a_cpu_ms=MEDIAN a_rss_kib=MAX
//   [b_ms=... b_min_ms=... b_cpu_ms=... b_rss_kib=... ratio=MEDIAN ratio_min=MIN ratio_max=MAX]
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct Run {
    double wallMs = 0;
    double cpuMs = 0;
    long rssKib = 0;
};

struct Options {
    int pairs = 10;
    int warmup = 1;
    std::string setup;
    std::vector<std::string> a, b;
};

[[noreturn]] void Usage(const char* why) {
    std::fprintf(stderr,
                 "pairtime: %s\nusage: pairtime [--pairs N] [--warmup N] [--setup SHELL-CMD] A-PROGRAM ARGS... "
                 "[';' B-PROGRAM ARGS...]\n",
                 why);
    std::exit(2);
}

int Count(const char* text, int min) {
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v < min || v > 100000) Usage("bad count");
    return static_cast<int>(v);
}

Options Parse(int argc, char** argv) {
    Options o;
    int i = 1;
    for (; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "--pairs" || arg == "--warmup" || arg == "--setup") && i + 1 >= argc) Usage("missing value");
        if (arg == "--pairs") {
            o.pairs = Count(argv[++i], 1);
        } else if (arg == "--warmup") {
            o.warmup = Count(argv[++i], 0);
        } else if (arg == "--setup") {
            o.setup = argv[++i];
        } else {
            break;
        }
    }
    std::vector<std::string>* into = &o.a;
    for (; i < argc; ++i) {
        if (std::strcmp(argv[i], ";") == 0 && into == &o.a) {
            into = &o.b;
            continue;
        }
        into->push_back(argv[i]);
    }
    if (o.a.empty()) Usage("no command");
    if (into == &o.b && o.b.empty()) Usage("no command after ';'");
    return o;
}

double Ms(const timeval& t) { return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3; }

// Runs `argv` to its end with its output on /dev/null; false when it could
// not start, was killed or ended with a non-zero status.
bool Spawn(const std::vector<std::string>& argv, Run& run) {
    std::vector<std::string> copies = argv;
    std::vector<char*> ptrs;
    for (std::string& a : copies) ptrs.push_back(a.data());
    ptrs.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = -1;
    const int rc = ::posix_spawnp(&pid, ptrs[0], &actions, nullptr, ptrs.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        std::fprintf(stderr, "pairtime: cannot start %s: %s\n", ptrs[0], std::strerror(rc));
        return false;
    }
    int status = 0;
    rusage usage{};
    while (::wait4(pid, &status, 0, &usage) < 0) {
        if (errno != EINTR) return false;
    }
    run.wallMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    run.cpuMs = Ms(usage.ru_utime) + Ms(usage.ru_stime);
    run.rssKib = usage.ru_maxrss;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "pairtime: %s ended with %s %d\n", ptrs[0], WIFEXITED(status) ? "exit code" : "signal",
                     WIFEXITED(status) ? WEXITSTATUS(status) : WTERMSIG(status));
        return false;
    }
    return true;
}

void Setup(const std::string& command) {
    if (command.empty()) return;
    Run ignored;
    if (!Spawn({"/bin/sh", "-c", command}, ignored)) std::exit(1);
}

bool Timed(const Options& o, const std::vector<std::string>& argv, Run& run) {
    Setup(o.setup);
    return Spawn(argv, run);
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

void PrintSide(const char* side, const std::vector<Run>& runs) {
    std::vector<double> wall, cpu;
    long rss = 0;
    for (const Run& r : runs) {
        wall.push_back(r.wallMs);
        cpu.push_back(r.cpuMs);
        rss = std::max(rss, r.rssKib);
    }
    std::printf(" %s_ms=%.3f %s_min_ms=%.3f %s_cpu_ms=%.3f %s_rss_kib=%ld", side, Median(wall), side,
                *std::min_element(wall.begin(), wall.end()), side, Median(cpu), side, rss);
}

}  // namespace

int main(int argc, char** argv) {
    const Options o = Parse(argc, argv);
    const bool paired = !o.b.empty();
    Run run;
    for (int i = 0; i < o.warmup; ++i) {
        if (!Timed(o, o.a, run) || (paired && !Timed(o, o.b, run))) return 1;
    }
    std::vector<Run> as, bs;
    std::vector<double> ratios;
    for (int i = 0; i < o.pairs; ++i) {
        Run a, b;
        if (!Timed(o, o.a, a)) return 1;
        as.push_back(a);
        if (!paired) continue;
        if (!Timed(o, o.b, b)) return 1;
        bs.push_back(b);
        ratios.push_back(b.wallMs > 0 ? a.wallMs / b.wallMs : 0);
    }
    std::printf("pairs=%d", o.pairs);
    PrintSide("a", as);
    if (paired) {
        PrintSide("b", bs);
        std::printf(" ratio=%.3f ratio_min=%.3f ratio_max=%.3f", Median(ratios),
                    *std::min_element(ratios.begin(), ratios.end()), *std::max_element(ratios.begin(), ratios.end()));
    }
    std::printf("\n");
    return 0;
}
