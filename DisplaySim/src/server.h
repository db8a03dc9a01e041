#pragma once
// The simulator's I/O: TCP ports or a pseudo-terminal, one poll() loop, every
// wait bounded, stopped by SIGTERM/SIGINT.

#include <csignal>
#include <string>

#include "display.h"
#include "options.h"

namespace dsim {

// The displays the options ask for: defaults for IDs 0..chain, then the state
// file, then --log / --nvram for display 0.
bool BuildChain(const Options& options, Chain& chain, std::string& error);

// Runs until SIGTERM or SIGINT. `announce` is called once the ports (or the
// pseudo-terminal) are ready with the line to print. Returns the exit code.
int RunServer(const Options& options, Chain& chain, void (*announce)(const std::string& line));

}  // namespace dsim
