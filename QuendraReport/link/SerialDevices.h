#pragma once
// The serial ports of this machine as a service engineer picks them: the
// "COMn" names that lead to a device, and the USB serial adapters by their
// stable names. The link libraries take either form as a port.
// Thread-safe (reads the file system and a settings file only).

#include <filesystem>
#include <string>
#include <vector>

namespace qlink {

// USB serial adapters under `devRoot` ("/dev" on a real system): first every
// entry of serial/by-id (stable names that survive re-plugging, sorted), then
// every ttyUSB<n> and ttyACM<n> that no such name points to (in number
// order). Full paths; empty when there are none or the folder cannot be read.
std::vector<std::string> ListSerialAdapters(const std::filesystem::path& devRoot = "/dev");

// The settings file in which the text link library looks up the device of a
// "COMn" name (key "COMn" of [Ports]): the user's own copy when the library
// reads that one.
std::filesystem::path SerialNamesFile();

struct stComPort {
    std::string strName;    // "COM1" .. "COM256"
    std::string strDevice;  // the device it leads to, as the settings or the default name it
};
// The "COMn" names whose device (from `settings`, else /dev/ttyS<n-1>) is a
// character device that exists, in number order.
std::vector<stComPort> ListComPorts(const std::filesystem::path& settings = SerialNamesFile());

}  // namespace qlink
