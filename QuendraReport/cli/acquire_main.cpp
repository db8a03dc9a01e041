// quendra-acquire: the report program's display commands without a window.
#include <signal.h>
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "cli/AcquireCli.h"
#include "common/paths.h"
#include "link/NativeDisplayLink.h"

namespace {
void OnInterrupt(int) {
    InterruptAcquireCli();
}
}  // namespace

int main(int argc, char** argv) {
    // The first Ctrl+C cancels between requests; a second one ends at once.
    struct sigaction sa {};
    sa.sa_handler = &OnInterrupt;
    sa.sa_flags = SA_RESETHAND;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);

    std::vector<std::string> args(argv + 1, argv + argc);
    qlink::NativeDisplayLink link;
    return RunAcquireCli(args, cmn::ProgramDir(), link, std::cout, std::cerr, isatty(STDERR_FILENO) == 1);
}
