#include "cli/FleetCli.h"

#include "archive/HistoryArchive.h"
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <map>
#include <ostream>
#include <set>
#include <system_error>

#include "acquire/Interrupt.h"
#include "acquire/Names.h"
#include "archive/HistoryArchive.h"
#include "cli/ArchiveCli.h"
#include "cli/LogCli.h"
#include "report/Overview.h"
#include "report/LogJson.h"
#include "common/codepage.h"
#include "common/strutil.h"
#include "common/textfile.h"
#include "linkio/DisplayTurn.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kMaxUser = 64;
// What is kept of a display run's output per stream; the rest is read and dropped.
constexpr std::size_t kMaxCaptured = 64 * 1024;
// A display run that has not ended by then is interrupted, and killed
// kKillAfter later: a fleet always comes to its end.
constexpr auto kRunLimit = std::chrono::minutes(10);
constexpr auto kKillAfter = std::chrono::seconds(30);
constexpr int kPollMs = 100;
// Without a process descriptor, how often a run whose streams have ended is
// looked at for its exit.
constexpr int kExitPollMs = 10;

bool IsSeparator(char c) {
    return c == ' ' || c == '\t' || c == ',';
}

// The fields of one line, without its comment.
std::vector<std::string> SplitFields(std::string_view line) {
    const std::size_t hash = line.find('#');
    if (hash != std::string_view::npos) line = line.substr(0, hash);
    std::vector<std::string> fields;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && IsSeparator(line[i])) ++i;
        const std::size_t start = i;
        while (i < line.size() && !IsSeparator(line[i])) ++i;
        if (i > start) fields.emplace_back(line.substr(start, i - start));
    }
    return fields;
}

bool IsPrintableWord(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) {
        return static_cast<unsigned char>(c) > 0x20 && static_cast<unsigned char>(c) < 0x7F;
    });
}

// One line into `d`; false with the reason (without the line number).
bool ParseHostLine(const std::vector<std::string>& fields, stFleetDisplay& d, std::string& why) {
    if (fields.size() > 3) {
        why = "more than three fields (HOST[:PORT] [ID [USER]])";
        return false;
    }
    if (!ParseLanAddress(fields[0], d.strHost, d.nPort) || !IsPrintableWord(d.strHost)) {
        why = "the address must be HOST or HOST:PORT (port 1..65535)";
        return false;
    }
    if (fields.size() > 1 && !ParseDecimalArg(fields[1], 0, 255, d.nDisplayId)) {
        why = "the display ID must be a number 0..255";
        return false;
    }
    if (fields.size() > 2) {
        d.strUser = fields[2];
        if (d.strUser.size() > kMaxUser || !IsPrintableWord(d.strUser)) {
            why = "the user must be at most 64 printable ASCII characters";
            return false;
        }
    }
    return true;
}

std::string LowerAscii(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// "host", "host:port" and " id N" as a display is named in messages.
std::string Label(const stFleetDisplay& d) {
    std::string label = d.strHost;
    if (d.nPort != qlink::kDefaultLanDataPort) label += ":" + std::to_string(d.nPort);
    if (d.nDisplayId != 0) label += " id " + std::to_string(d.nDisplayId);
    return label;
}

// One display of the run.
struct Job {
    const stFleetDisplay* display = nullptr;
    fs::path folder;
    pid_t pid = -1;
    int fds[2] = {-1, -1};  // its standard output and error
    int exitFd = -1;        // readable once the process has ended (-1: the kernel has none)
    std::string captured[2];
    Clock::time_point start;
    double seconds = 0;
    bool interrupted = false, killed = false;
    bool cancelled = false;  // Ctrl+C reached it: not started, or interrupted
    int exitCode = -1;    // set when it has ended (or could not start)
    std::string problem;  // why it did not run
    bool madeFolder = false;
    std::string displayKey;  // the display it reaches (linkio::DisplayIdentity::key), once looked up
    std::string address;     // the address its run talks to; empty: the host as written
};

// Looks the display's host up once: its runs all go to that address, and
// two spellings of one address are one display.
void IdentifyOnce(Job& job) {
    if (!job.displayKey.empty()) return;
    linkio::PortSpec port;
    port.kind = linkio::PortSpec::kTcp;
    port.host = job.display->strHost;
    linkio::DisplayIdentity display;
    std::string error;
    if (linkio::IdentifyDisplay(port, display, error)) {
        job.displayKey = display.key;
        job.address = display.name;
    } else {
        // Its own run fails on the same look-up and says why.
        job.displayKey = "host " + LowerAscii(job.display->strHost);
    }
}

void CloseFds(Job& job) {
    for (int& fd : job.fds) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
    if (job.exitFd >= 0) ::close(job.exitFd);
    job.exitFd = -1;
}

// A descriptor of the process that poll finds readable once it has ended
// (always closed on exec), so the wait for an exit needs no fixed sleep; -1
// where the kernel has none.
int OpenExitFd(pid_t pid) {
#ifdef SYS_pidfd_open
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    return -1;
#endif
}

// Sets up the forked child as a run of its own: a process group of its own
// (a Ctrl+C at the terminal reaches the fleet, which passes it on once),
// standard input from /dev/null, standard output and error on the pipes, no
// descriptor of the other runs, no blocked signal, and the signals as a
// freshly started tool has them.
void BecomeRun(int outFd, int errFd, const std::vector<Job*>& others) {
    ::setpgid(0, 0);
    for (const Job* other : others) {
        for (int fd : other->fds)
            if (fd >= 0) ::close(fd);
        if (other->exitFd >= 0) ::close(other->exitFd);
    }
    const int null = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (null >= 0) {
        ::dup2(null, 0);
        ::close(null);
    }
    ::dup2(outFd, 1);
    ::dup2(errFd, 2);
    ::close(outFd);
    ::close(errFd);
    ::signal(SIGPIPE, SIG_DFL);
    acq::InstallInterruptHandlers();
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
}

// The forked child's whole life: the display's run, its streams flushed,
// and its end, never a return into the fleet's loop.
[[noreturn]] void RunInChild(const FleetRunner& runDisplay, const std::vector<std::string>& args) {
    int code = ACQCLI_COMM;
    try {
        code = runDisplay(args);
    } catch (...) {
        std::cerr << "quendra-acquire: unexpected failure\n";
    }
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    ::_exit(code);
}

// Starts the run of one display in a forked copy of this process, which
// saves each display the start of a program (loading and linking its
// libraries). The fleet's process has one thread, so the copy may do
// anything its parent could.
bool Spawn(Job& job, const FleetRunner& runDisplay, const std::vector<std::string>& args,
           const std::vector<Job*>& running) {
    auto cannotStart = [&job](int error) {
        job.problem = std::string("cannot start the run: ") + std::strerror(error);
        return false;
    };
    int out[2], err[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return cannotStart(errno);
    if (::pipe2(err, O_CLOEXEC) != 0) {
        const int error = errno;
        ::close(out[0]);
        ::close(out[1]);
        return cannotStart(error);
    }
    // What the fleet has written stays its own: the child starts with empty buffers.
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    // Ctrl+C waits until the child is in its own group with its own handlers.
    sigset_t interrupts, before;
    sigemptyset(&interrupts);
    sigaddset(&interrupts, SIGINT);
    sigaddset(&interrupts, SIGTERM);
    ::sigprocmask(SIG_BLOCK, &interrupts, &before);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(out[0]);
        ::close(err[0]);
        BecomeRun(out[1], err[1], running);
        RunInChild(runDisplay, args);
    }
    const int forkError = errno;
    if (pid > 0) ::setpgid(pid, pid);
    ::sigprocmask(SIG_SETMASK, &before, nullptr);
    ::close(out[1]);
    ::close(err[1]);
    if (pid < 0) {
        ::close(out[0]);
        ::close(err[0]);
        return cannotStart(forkError);
    }
    job.pid = pid;
    job.fds[0] = out[0];
    job.fds[1] = err[0];
    for (int fd : job.fds) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    job.exitFd = OpenExitFd(job.pid);
    job.start = Clock::now();
    return true;
}

// Reads what is there; a stream that ended is closed.
void Drain(Job& job, int stream) {
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(job.fds[stream], buf, sizeof buf);
        if (n > 0) {
            std::string& into = job.captured[stream];
            const std::size_t room = into.size() < kMaxCaptured ? kMaxCaptured - into.size() : 0;
            into.append(buf, std::min(static_cast<std::size_t>(n), room));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) return;
        ::close(job.fds[stream]);
        job.fds[stream] = -1;
        return;
    }
}

// The last message of a run's standard error: its last non-empty line, the
// line naming a failure's reason passed over (the reason has a field of its own).
std::string LastMessage(const std::string& text) {
    const std::string reasonLine = "quendra-acquire: reason ";
    std::string last;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        if (!line.empty() && line.rfind(reasonLine, 0) != 0) last = line;
        start = end + 1;
    }
    return last;
}

// The summary object the display's own run printed, when it printed one.
std::string RunSummary(const Job& job) {
    std::string json = job.captured[0];
    while (!json.empty() && (json.back() == '\n' || json.back() == '\r')) json.pop_back();
    if (json.size() < 2 || json.front() != '{' || json.back() != '}' ||
        json.find_first_of("\r\n") != std::string::npos || !cmn::IsValidUtf8(json))
        return "null";
    return json;
}

// Value of "key":"..." in the run's summary (plain texts only), for the text line.
std::string SummaryText(const std::string& json, const std::string& key) {
    const std::string head = "\"" + key + "\":\"";
    const std::size_t at = json.find(head);
    if (at == std::string::npos) return "";
    const std::size_t from = at + head.size();
    const std::size_t end = json.find('"', from);
    return end == std::string::npos ? "" : json.substr(from, end - from);
}

// Why a display failed: the reason its own run gave, or for a run that did
// not start, the tool's; empty when it did not fail or nothing says why.
std::string Reason(const Job& job) {
    if (job.exitCode == ACQCLI_OK) return "";
    const std::string reason = SummaryText(RunSummary(job), "reason");
    if (!reason.empty()) return reason;
    if (job.cancelled && job.pid <= 0 && !job.problem.empty()) return "cancelled";
    if (job.exitCode == ACQCLI_FILE && !job.problem.empty()) return "file-error";
    return "";
}

std::string Message(const Job& job) {
    if (!job.problem.empty()) return job.problem;
    std::string m = LastMessage(job.captured[1]);
    if (job.killed) m = "no end after " + std::to_string(kRunLimit.count()) + " minutes; stopped";
    return m;
}

// What became of a display: "collected", "cancelled" (Ctrl+C stopped it or
// kept it from starting) or "failed".
const char* Status(const Job& job) {
    if (job.exitCode == ACQCLI_OK) return "collected";
    if (job.cancelled && job.exitCode == ACQCLI_CANCEL) return "cancelled";
    return "failed";
}

std::string JsonLine(const Job& job) {
    const stFleetDisplay& d = *job.display;
    const std::string message = Message(job);
    const std::string reason = Reason(job);
    const std::string folder = job.folder.string();
    return "{\"host\":" + JsonAnyText(d.strHost) +
           ",\"port\":" + std::to_string(d.nPort) + ",\"id\":" + std::to_string(d.nDisplayId) +
           ",\"line\":" + std::to_string(d.nLine) +
           ",\"folder\":" + JsonAnyText(folder) +
           ",\"exit_code\":" + std::to_string(job.exitCode) + ",\"message\":" +
           JsonString(cmn::IsValidUtf8(message) ? message : cmn::EscapeNonPrintable(message)) +
           ",\"status\":\"" + Status(job) + "\",\"reason\":" + (reason.empty() ? "null" : JsonString(reason)) +
           ",\"seconds\":" + cmn::StrPrintf("%.3f", job.seconds) + ",\"run\":" + RunSummary(job) + "}";
}

// The line of a display as it ends, after its place in the run ("[17/40] ").
std::string TextLine(const Job& job) {
    std::string line = cmn::EscapeNonPrintable(Label(*job.display)) + ": ";
    if (job.exitCode == ACQCLI_OK) {
        const std::string run = RunSummary(job);
        line += "ok " + SummaryText(run, "model") + " " + SummaryText(run, "serial") +
                cmn::StrPrintf(" in %.2f s -> ", job.seconds) + cmn::EscapeNonPrintable(job.folder.string());
    } else {
        const std::string reason = Reason(job);
        line += std::string(Status(job)) + " (exit " + std::to_string(job.exitCode) +
                (reason.empty() ? std::string() : ", " + reason) + cmn::StrPrintf(", %.2f s): ", job.seconds) +
                cmn::EscapeNonPrintable(Message(job));
    }
    return line;
}

// Arguments of the display's own run.
std::vector<std::string> RunArgs(const stAcquireOptions& o, const Job& job) {
    const stFleetDisplay& d = *job.display;
    const std::string& host = job.address.empty() ? d.strHost : job.address;
    std::vector<std::string> a = {o.strCommand, "--lan", host + ":" + std::to_string(d.nPort)};
    if (d.nDisplayId != 0) a.insert(a.end(), {"--id", std::to_string(d.nDisplayId)});
    const std::string& user = d.strUser.empty() ? o.strUser : d.strUser;
    if (!user.empty()) a.insert(a.end(), {"--user", user});
    if (!o.strPasswordFile.empty()) a.insert(a.end(), {"--password-file", o.strPasswordFile});
    if (!o.strModel.empty()) a.insert(a.end(), {"--model", o.strModel});
    if (o.bStamp) a.push_back("--stamp");
    if (o.bArchive) a.push_back("--archive=" + o.strArchive);
    a.insert(a.end(), {"--out", job.folder.string(), "--json"});
    return a;
}

class Fleet {
public:
    Fleet(const stAcquireOptions& o, const FleetRunner& runDisplay, std::ostream& out, std::size_t total)
        : m_o(o), m_runDisplay(runDisplay), m_out(out), m_total(total) {}

    // Runs every job; returns when all have ended.
    void Run(std::vector<Job>& jobs) {
        std::size_t next = 0;  // jobs before it have been started or settled
        for (;;) {
            if (AcquireCliInterrupted()) CancelAll(jobs);
            StartFree(jobs, next);
            if (m_running.empty() && AllSettled(jobs, next)) return;
            Wait();
            Reap();
        }
    }

private:
    void StartFree(std::vector<Job>& jobs, std::size_t& next) {
        while (next < jobs.size() && jobs[next].exitCode >= 0) ++next;
        if (AcquireCliInterrupted()) return;
        for (std::size_t i = next; i < jobs.size() && m_running.size() < static_cast<std::size_t>(m_o.nJobs);
             ++i) {
            Job& job = jobs[i];
            if (job.exitCode >= 0 || job.pid > 0) continue;
            IdentifyOnce(job);
            if (m_busyDisplays.count(job.displayKey) != 0) continue;
            std::error_code ec;
            job.madeFolder = fs::create_directories(job.folder, ec);
            if (ec || !fs::is_directory(job.folder, ec)) {
                job.problem = "cannot create the folder " + job.folder.string();
                Settle(job, ACQCLI_FILE);
                continue;
            }
            if (!Spawn(job, m_runDisplay, RunArgs(m_o, job), m_running)) {
                Settle(job, ACQCLI_FILE);
                continue;
            }
            m_busyDisplays.insert(job.displayKey);
            m_running.push_back(&job);
        }
    }

    static bool AllSettled(const std::vector<Job>& jobs, std::size_t next) {
        return std::all_of(jobs.begin() + static_cast<std::ptrdiff_t>(next), jobs.end(),
                           [](const Job& j) { return j.exitCode >= 0; });
    }

    // Nothing more starts; each running display is cancelled once (it still
    // puts its display back).
    void CancelAll(std::vector<Job>& jobs) {
        for (Job& job : jobs) {
            if (job.pid > 0 && !job.interrupted) {
                ::kill(job.pid, SIGINT);
                job.interrupted = true;
                job.cancelled = true;
            } else if (job.pid <= 0 && job.exitCode < 0) {
                job.problem = "not started";
                job.cancelled = true;
                Settle(job, ACQCLI_CANCEL);
            }
        }
    }

    // Waits (at most kPollMs) for output of the running displays, or for the
    // end of a run whose streams have ended, and reads what came.
    void Wait() {
        std::vector<pollfd> fds;
        int timeout = kPollMs;
        for (Job* job : m_running) {
            for (int fd : job->fds)
                if (fd >= 0) fds.push_back({fd, POLLIN, 0});
            if (job->fds[0] >= 0 || job->fds[1] >= 0) continue;
            // Its streams have ended: what is left is the process's exit.
            if (job->exitFd >= 0) {
                fds.push_back({job->exitFd, POLLIN, 0});
            } else {
                timeout = kExitPollMs;
            }
        }
        if (::poll(fds.data(), fds.size(), timeout) <= 0) return;
        for (Job* job : m_running)
            for (int s = 0; s < 2; ++s)
                if (job->fds[s] >= 0) Drain(*job, s);
    }

    // Settles every display whose run has ended.
    void Reap() {
        for (auto it = m_running.begin(); it != m_running.end();) {
            Job& job = **it;
            EnforceLimit(job);
            int status = 0;
            if (job.fds[0] >= 0 || job.fds[1] >= 0 || ::waitpid(job.pid, &status, WNOHANG) != job.pid) {
                ++it;
                continue;
            }
            m_busyDisplays.erase(job.displayKey);
            job.pid = -1;
            Settle(job, WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
            it = m_running.erase(it);
        }
    }

    void EnforceLimit(Job& job) {
        const auto age = Clock::now() - job.start;
        if (age > kRunLimit + kKillAfter && !job.killed) {
            ::kill(job.pid, SIGKILL);
            job.killed = true;
        } else if (age > kRunLimit && !job.interrupted) {
            ::kill(job.pid, SIGINT);
            job.interrupted = true;
        }
    }

    // The display has its outcome: its line goes out at once. A folder made
    // for a display that left nothing in it goes again.
    void Settle(Job& job, int exitCode) {
        CloseFds(job);
        job.exitCode = exitCode;
        std::error_code ec;
        if (job.madeFolder && fs::is_empty(job.folder, ec)) fs::remove(job.folder, ec);
        if (job.start != Clock::time_point{})
            job.seconds = std::chrono::duration<double>(Clock::now() - job.start).count();
        ++m_settled;
        if (m_o.bJson)
            m_out << JsonLine(job) << '\n';
        else
            m_out << '[' << m_settled << '/' << m_total << "] " << TextLine(job) << '\n';
        m_out.flush();
    }

    const stAcquireOptions& m_o;
    const FleetRunner& m_runDisplay;
    std::ostream& m_out;
    const std::size_t m_total;
    std::size_t m_settled = 0;
    std::vector<Job*> m_running;
    std::set<std::string> m_busyDisplays;  // keys of the displays a run talks to
};

// The archive of a fleet run as an absolute path (the default one when
// `path` is empty), opened once for writing so that a path that cannot be an
// archive stops the run before it starts.
bool ResolveArchive(std::string& path, std::ostream& err) {
    std::string error;
    fs::path p = path.empty() ? hist::DefaultArchivePath(true, error) : fs::path(path);
    std::error_code ec;
    if (!p.empty()) p = fs::absolute(p, ec).lexically_normal();
    if (p.empty() || !hist::OpenArchiveFile(p, hist::ArchiveAccess::kWrite, error)) {
        err << "quendra-acquire: " << cmn::EscapeNonPrintable(error) << '\n';
        return false;
    }
    path = p.string();
    return true;
}

// The fleet overview of the run's folder: its logs and its summary.
bool WriteFleetOverview(const stAcquireOptions& o, const fs::path& outDir, const fs::path& programDir,
                        std::ostream& err) {
    stOverviewRequest request;
    request.paths = {outDir};
    request.programDir = programDir;
    if (o.bArchive) {
        std::string error;
        request.history = ArchiveHistoryLookup(o.strArchive, programDir, false, error);
        if (!request.history) {
            err << "quendra-acquire: " << cmn::EscapeNonPrintable(error) << '\n';
            return false;
        }
    }
    const fs::path page = outDir / "overview.html";
    if (RunOverview("quendra-acquire", request, page, true, err) != LOGCLI_OK) return false;
    err << "quendra-acquire: overview: " << cmn::EscapeNonPrintable(page.string()) << '\n';
    return true;
}

}  // namespace

bool ParseHostsFile(std::string_view text, std::vector<stFleetDisplay>& displays, std::string& error) {
    displays.clear();
    std::map<std::string, int> folders;  // folder name -> line
    cmn::LineReader lines(text);
    std::string_view line;
    while (lines.Next(line)) {
        const int number = lines.Number();
        const std::vector<std::string> fields = SplitFields(line);
        if (fields.empty()) continue;
        stFleetDisplay d;
        d.nLine = number;
        std::string why;
        if (!ParseHostLine(fields, d, why)) {
            error = "hosts file line " + std::to_string(number) + ": " + why;
            return false;
        }
        const auto [at, fresh] = folders.emplace(FleetFolderName(d), number);
        if (!fresh) {
            error = "hosts file line " + std::to_string(number) + " names the display of line " +
                    std::to_string(at->second) + " again";
            return false;
        }
        if (displays.size() == kMaxFleetDisplays) {
            error = "hosts file: more than " + std::to_string(kMaxFleetDisplays) + " displays";
            return false;
        }
        displays.push_back(std::move(d));
    }
    if (displays.empty()) {
        error = "hosts file: no display listed";
        return false;
    }
    return true;
}

std::string FleetFolderName(const stFleetDisplay& d) {
    std::string name = acq::SafeFileName(LowerAscii(d.strHost));
    if (d.nPort != qlink::kDefaultLanDataPort) name += "_" + std::to_string(d.nPort);
    if (d.nDisplayId != 0) name += "_id" + std::to_string(d.nDisplayId);
    return name;
}

int RunFleet(const stAcquireOptions& o, const fs::path& programDir, const FleetRunner& runDisplay,
             std::ostream& out, std::ostream& err) {
    const auto started = Clock::now();
    std::string text;
    if (!cmn::ReadFileBytes(o.strHosts, text, kMaxHostsFileBytes)) {
        err << "quendra-acquire: cannot read the hosts file " << cmn::EscapeNonPrintable(o.strHosts)
            << " (at most " << kMaxHostsFileBytes << " bytes)\n";
        return ACQCLI_FILE;
    }
    std::vector<stFleetDisplay> displays;
    std::string error;
    if (!ParseHostsFile(text, displays, error)) {
        err << "quendra-acquire: " << cmn::EscapeNonPrintable(error) << '\n';
        return ACQCLI_USAGE;
    }
    if (!MakeOutFolder(o.strOut, err)) return ACQCLI_FILE;
    // Each display's run reads the file again; a file that cannot be read
    // stops the fleet before any display is started.
    std::string password;
    if (!ReadPasswordOption(o, password, err)) return ACQCLI_FILE;

    // Every display's run adds to one archive, checked (and made) before
    // any display is started.
    stAcquireOptions run = o;
    if (o.bArchive && !ResolveArchive(run.strArchive, err)) return ACQCLI_FILE;

    std::error_code ec;
    const fs::path outDir = fs::absolute(o.strOut, ec).lexically_normal();
    std::vector<Job> jobs(displays.size());
    for (std::size_t i = 0; i < displays.size(); ++i) {
        jobs[i].display = &displays[i];
        jobs[i].folder = outDir / FleetFolderName(displays[i]);
    }
    Fleet(run, runDisplay, out, jobs.size()).Run(jobs);

    std::string summary;
    std::map<std::string, int> counts;
    for (const Job& job : jobs) {
        summary += JsonLine(job) + "\n";
        ++counts[Status(job)];
    }
    const int failed = counts["failed"];
    const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
    err << "quendra-acquire: " << jobs.size() << " displays, " << counts["collected"] << " collected, " << failed
        << " failed, " << counts["cancelled"] << " cancelled, " << cmn::StrPrintf("%.2f", seconds) << " s\n";
    if (!cmn::WriteFileAtomic(outDir / "summary.jsonl", summary)) {
        err << "quendra-acquire: cannot write "
            << cmn::EscapeNonPrintable((outDir / "summary.jsonl").string()) << '\n';
        return ACQCLI_FILE;
    }
    if (o.bOverview && !WriteFleetOverview(run, outDir, programDir, err)) return ACQCLI_FILE;
    if (AcquireCliInterrupted()) return ACQCLI_CANCEL;
    return failed == 0 ? ACQCLI_OK : ACQCLI_COMM;
}
