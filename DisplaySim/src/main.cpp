// display-sim: a simulated display for tests, demos and training.
#include <cstdio>
#include <string>
#include <vector>

#include "common/options.h"
#include "server.h"

namespace {

void Announce(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    dsim::Options options;
    std::string error;
    if (!dsim::ParseOptions(args, options, error)) {
        std::fprintf(stderr, "display-sim: %s\n%s", error.c_str(), dsim::UsageText());
        return cmn::kExitUsage;
    }
    if (options.help) {
        std::fputs(dsim::UsageText(), stdout);
        return 0;
    }
    if (options.version) {
        std::fputs(cmn::VersionLine("display-sim").c_str(), stdout);
        return 0;
    }
    dsim::Chain chain;
    if (!dsim::BuildChain(options, chain, error)) {
        std::fprintf(stderr, "display-sim: %s\n", error.c_str());
        return 2;
    }
    return dsim::RunServer(options, chain, Announce);
}
