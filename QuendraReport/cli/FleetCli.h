#pragma once
// quendra-acquire's fleet run: one read command (get-all, get-logs,
// dump-nvram) for every display of a hosts file, several at once, each into a
// folder of its own. Every display is collected by a child process of the
// tool (a forked copy making its own run, as with --lan), so that a display that fails, hangs or
// brings its run down never stops the others; two runs never talk to one
// address at the same time, however the file spells it (a daisy chain's
// displays share its binary mode, so the displays of one address are
// collected one after the other; each host is looked up once, and its runs
// are given the address). One summary line per display goes to standard
// output as it ends, starting with its place in the run ("[17/40] "; its
// JSON line with --json), and every JSON line to DIR/summary.jsonl in the
// order of the file. A display ends "collected", "failed", or "cancelled"
// when Ctrl+C kept it from starting or interrupted it; a display that did
// not end collected carries the reason its run gave ("reason" in its line).

#include <filesystem>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "cli/AcquireCli.h"

// One display of a hosts file.
struct stFleetDisplay {
    std::string strHost;
    int nPort = qlink::kDefaultLanDataPort;
    int nDisplayId = 0;   // 0: none
    std::string strUser;  // empty: --user
    int nLine = 0;        // line number in the file, from 1
};

// Limits of a hosts file.
constexpr std::size_t kMaxHostsFileBytes = 1 << 20;
constexpr std::size_t kMaxFleetDisplays = 4096;

// Parses a hosts file: one display per line, "HOST[:PORT] [ID [USER]]" with
// the fields separated by blanks, tabs or commas (ID 0..255, 0 for none;
// USER printable ASCII); "#" starts a comment; blank lines are skipped; LF or
// CR LF line ends. False with a reason naming the line for a line it does not
// understand, for a display listed twice (two lines that would share a
// folder), for more than kMaxFleetDisplays displays or for none at all.
// Pure function: safe from any thread.
bool ParseHostsFile(std::string_view text, std::vector<stFleetDisplay>& displays, std::string& error);

// The folder of a display inside --out: the host in lower case made safe for
// a file name, "_" + port when it is not 10008, "_id" + ID with an ID.
std::string FleetFolderName(const stFleetDisplay& display);

// One display's run, made in a forked child of the fleet: the tool's
// arguments for the display (--lan, --out, --json, ...) in, its exit code
// out. It writes to std::cout and std::cerr, which the fleet reads.
using FleetRunner = std::function<int(const std::vector<std::string>& args)>;

// Runs the fleet of `options` (command, --hosts, --jobs, --out, --user,
// --password-file, --model, --stamp, --json), each display by `runDisplay`
// in a child process of its own; `programDir` holds the overview's
// settings. Returns the exit code: 0 every display collected, 1 at least one
// failed, 2 cancelled (InterruptAcquireCli), 4 the hosts file could not be
// read or the summary not written, 64 a bad hosts file.
// Not thread-safe: one fleet per process, and that process must have a
// single thread (its children are forked copies of it);
// InterruptAcquireCli may come from a signal handler.
int RunFleet(const stAcquireOptions& options, const std::filesystem::path& programDir,
             const FleetRunner& runDisplay, std::ostream& out, std::ostream& err);
