#pragma once
// The serial adapters present on this machine, listed beside "COM1" ...
// "COM256" so that a service engineer picks a USB adapter by its name. The
// link libraries take a device path as a port as it is.
// Thread-safe (reads the file system only).

#include <filesystem>
#include <string>
#include <vector>

namespace qui {

// USB serial adapters under `devRoot` ("/dev" on a real system): first every
// entry of serial/by-id (stable names that survive re-plugging, sorted), then
// every ttyUSB<n> and ttyACM<n> that no such name points to (in number
// order). Full paths; empty when there are none or the folder cannot be read.
std::vector<std::string> ListSerialAdapters(const std::filesystem::path& devRoot = "/dev");

}  // namespace qui
