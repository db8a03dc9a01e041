// The serial ports offered to the user: adapters by their stable names first,
// and the COM names that lead to a device.
#include "link/SerialDevices.h"

#include <gtest/gtest.h>
#include <testsupport/TempDir.h>

#include <algorithm>

namespace fs = std::filesystem;

namespace {

class SerialTest : public testsupport::TempDirTest {};

TEST_F(SerialTest, AdaptersByStableNameFirst) {
    for (const char* name : {"ttyUSB0", "ttyUSB10", "ttyUSB2", "ttyACM0", "ttyS0", "ttyUSBx"}) Write(name, "");
    fs::create_directories(dir / "serial" / "by-id");
    fs::create_symlink("../../ttyUSB2", dir / "serial" / "by-id" / "usb-Maker_Cable_A1-if00-port0");
    EXPECT_EQ(qlink::ListSerialAdapters(dir),
              (std::vector<std::string>{(dir / "serial/by-id/usb-Maker_Cable_A1-if00-port0").string(),
                                        (dir / "ttyACM0").string(), (dir / "ttyUSB0").string(),
                                        (dir / "ttyUSB10").string()}));
    EXPECT_TRUE(qlink::ListSerialAdapters(dir / "missing").empty());
}

TEST_F(SerialTest, ComNamesThatLeadToADevice) {
    Write("plain", "");
    Write("QuendraControl.ini", "[Ports]\r\nCOM7=/dev/null\r\nCOM8=" + (dir / "plain").string() +
                                    "\r\nCOM9=" + (dir / "missing").string() + "\r\n");
    const std::vector<qlink::stComPort> ports = qlink::ListComPorts(dir / "QuendraControl.ini");
    const auto named = [&](const std::string& name) {
        return std::find_if(ports.begin(), ports.end(), [&](const qlink::stComPort& p) { return p.strName == name; });
    };
    ASSERT_NE(named("COM7"), ports.end());
    EXPECT_EQ(named("COM7")->strDevice, "/dev/null");
    EXPECT_EQ(named("COM8"), ports.end());
    EXPECT_EQ(named("COM9"), ports.end());
    EXPECT_TRUE(std::is_sorted(ports.begin(), ports.end(), [](const qlink::stComPort& a, const qlink::stComPort& b) {
        return std::stoi(a.strName.substr(3)) < std::stoi(b.strName.substr(3));
    }));
}

}  // namespace
