// quendra-log: saved display logs to reports, without a GUI.
#include <iostream>
#include <string>
#include <vector>

#include "cli/LogCli.h"
#include "common/paths.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return RunLogCli(args, cmn::ProgramDir(), std::cout, std::cerr);
}
