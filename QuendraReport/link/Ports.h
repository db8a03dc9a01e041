#pragma once
// The ports, credentials, baud rates and display ID of one command, chosen
// before its worker starts (on the user-interface thread, or from the command
// line of an unattended run) and handed to the worker by value.
// Pure functions: safe from any thread.

#include <cstdint>
#include <string>

namespace qlink {

constexpr int kBinaryLanPort = 18081;
constexpr int kBinaryBaud = 115200;
constexpr int kDefaultControlBaud = 9600;
constexpr int kDefaultLanDataPort = 10008;

struct stPortChoice {
    std::string strControlPort;  // "COM3", "LAN192.168.1.20:10008", a device path
    std::string strBinaryPort;   // same serial port, or the LAN address with port 18081
    std::string strUser;         // LAN only; empty for serial ports
    std::string strPassword;     // LAN only
    int nControlBaud = kDefaultControlBaud;
    int nBinaryBaud = kBinaryBaud;
    int nDisplayId = 0;  // 0: none ("Non"), else 1..255
};

// "LAN%d.%d.%d.%d:%d" from a packed IPv4 address (first octet in bits 31..24).
std::string LanPort(std::uint32_t ip, int port);
// "LAN%s:%s" from texts (a host name or dotted address, and a port).
std::string LanPortText(const std::string& host, const std::string& port);
// "COM%d".
std::string ComPort(int n);

// Interactive LAN choice (control bar): control port on the data port,
// binary port on 18081, both from the packed address.
stPortChoice LanChoice(std::uint32_t ip, int dataPort, const std::string& user, const std::string& password,
                       int displayId);
// LAN choice from a host text (command-line tool): "LAN<host>:<dataPort>"
// and "LAN<host>:18081".
stPortChoice LanHostChoice(const std::string& host, int dataPort, const std::string& user,
                           const std::string& password, int displayId);
// Serial choice (a COM name or a device path): control baud as given (9600
// without baud selection), binary baud 115200, no credentials.
stPortChoice SerialChoice(const std::string& port, int controlBaud, int displayId);
// Unattended run, from the command line: LAN ("LAN%s:%s" for control and
// "LAN%s:%d" with 18081 for binary) or COM (PORT= for both, RATE= converted
// decimally as the control baud; 9600 when it gives no positive number).
// Display ID 0.
stPortChoice SilentLanChoice(const std::string& ip, const std::string& port, const std::string& user,
                             const std::string& password);
stPortChoice SilentComChoice(const std::string& port, const std::string& rate);

}  // namespace qlink
