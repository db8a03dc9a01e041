// quendra-acquire: the report program's display commands without a window.
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "acquire/Interrupt.h"
#include "cli/AcquireCli.h"
#include "common/paths.h"
#include "link/NativeDisplayLink.h"

int main(int argc, char** argv) {
    // The first Ctrl+C cancels between requests; a second one ends at once.
    acq::InstallInterruptHandlers();

    std::vector<std::string> args(argv + 1, argv + argc);
    qlink::NativeDisplayLink link;
    return RunAcquireCli(args, cmn::ProgramDir(), link, std::cout, std::cerr, isatty(STDERR_FILENO) == 1);
}
