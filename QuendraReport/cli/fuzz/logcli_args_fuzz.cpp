// The quendra-log command line: arguments separated by NUL bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/LogCli.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> args(1);
    for (std::size_t i = 0; i < size && args.size() < 64; ++i) {
        if (data[i] == 0) {
            args.emplace_back();
        } else {
            args.back().push_back(static_cast<char>(data[i]));
        }
    }
    stLogCliOptions options;
    std::string error;
    const bool ok = ParseLogCliArgs(args, options, error);
    // A refusal always explains itself; an accepted line names a log, or an
    // overview with at least one path, or asks for help or the version.
    if (!ok && error.empty()) __builtin_trap();
    const bool overview = !options.strOverview.empty();
    const bool run = ok && !options.bHelp && !options.bVersion;
    if (run && !overview && options.strLogFile.empty()) __builtin_trap();
    if (run && overview && options.paths.empty()) __builtin_trap();
    if (ok && (options.nSortColumn < 0 || options.nSortColumn > 6)) __builtin_trap();
    return 0;
}
