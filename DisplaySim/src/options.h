#pragma once
// The simulator's command line.

#include <string>
#include <vector>

#include "faults.h"

namespace dsim {

struct Options {
    std::string listen = "127.0.0.1";
    int port = 10008;
    int binPort = 18081;
    bool serial = false;
    std::string statePath, saveStatePath;
    int chain = 0;
    std::string account, password;
    bool tlmode = false;
    std::string logPath, nvramPath;
    std::size_t nvramSize = 4096;
    std::string transcriptPath;
    FaultConfig faults;
    int idleTimeoutSec = 300;
    bool help = false;
    bool version = false;
};

// Parses the arguments after the program name. False with a message on any
// unknown option, missing value or value out of range.
bool ParseOptions(const std::vector<std::string>& args, Options& options, std::string& error);

const char* UsageText();

}  // namespace dsim
