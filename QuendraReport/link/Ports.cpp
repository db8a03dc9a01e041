#include "link/Ports.h"

#include "common/strutil.h"

namespace qlink {

std::string LanPort(std::uint32_t ip, int port) {
    return cmn::StrPrintf("LAN%u.%u.%u.%u:%d", (ip >> 24) & 0xFFu, (ip >> 16) & 0xFFu, (ip >> 8) & 0xFFu,
                          ip & 0xFFu, port);
}

std::string LanPortText(const std::string& host, const std::string& port) {
    return "LAN" + host + ":" + port;
}

std::string ComPort(int n) {
    return cmn::StrPrintf("COM%d", n);
}

stPortChoice LanChoice(std::uint32_t ip, int dataPort, const std::string& user, const std::string& password,
                       int displayId) {
    stPortChoice c;
    c.strControlPort = LanPort(ip, dataPort);
    c.strBinaryPort = LanPort(ip, kBinaryLanPort);
    c.strUser = user;
    c.strPassword = password;
    c.nDisplayId = displayId;
    return c;
}

stPortChoice LanHostChoice(const std::string& host, int dataPort, const std::string& user,
                           const std::string& password, int displayId) {
    stPortChoice c;
    c.strControlPort = LanPortText(host, std::to_string(dataPort));
    c.strBinaryPort = LanPortText(host, std::to_string(kBinaryLanPort));
    c.strUser = user;
    c.strPassword = password;
    c.nDisplayId = displayId;
    return c;
}

stPortChoice SerialChoice(const std::string& port, int controlBaud, int displayId) {
    stPortChoice c;
    c.strControlPort = port;
    c.strBinaryPort = port;
    c.nControlBaud = controlBaud;
    c.nDisplayId = displayId;
    return c;
}

stPortChoice SilentLanChoice(const std::string& ip, const std::string& port, const std::string& user,
                             const std::string& password) {
    stPortChoice c;
    c.strControlPort = LanPortText(ip, port);
    c.strBinaryPort = LanPortText(ip, std::to_string(kBinaryLanPort));
    c.strUser = user;
    c.strPassword = password;
    return c;
}

stPortChoice SilentComChoice(const std::string& port, const std::string& rate) {
    const int baud = cmn::DecimalToInt(rate);
    return SerialChoice(port, baud > 0 ? baud : kDefaultControlBaud, 0);
}

}  // namespace qlink
