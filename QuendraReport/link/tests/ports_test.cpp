// Port strings and the open flags of each control baud.
#include "link/DisplayLink.h"
#include "link/Ports.h"

#include <gtest/gtest.h>


namespace {

TEST(PortsTest, PortStringsOfEveryForm) {
    const qlink::stPortChoice lan = qlink::LanChoice(0xC0A80114u, 10008, "svc", "pw", 3);
    EXPECT_EQ(lan.strControlPort, "LAN192.168.1.20:10008");
    EXPECT_EQ(lan.strBinaryPort, "LAN192.168.1.20:18081");
    EXPECT_EQ(lan.strUser, "svc");
    EXPECT_EQ(lan.strPassword, "pw");
    EXPECT_EQ(lan.nDisplayId, 3);
    EXPECT_EQ(lan.nBinaryBaud, 115200);

    const qlink::stPortChoice silentLan = qlink::SilentLanChoice("disp.local", "2000", "", "");
    EXPECT_EQ(silentLan.strControlPort, "LANdisp.local:2000");
    EXPECT_EQ(silentLan.strBinaryPort, "LANdisp.local:18081");
    EXPECT_EQ(silentLan.nDisplayId, 0);

    const qlink::stPortChoice com = qlink::SilentComChoice("COM3", "38400");
    EXPECT_EQ(com.strControlPort, "COM3");
    EXPECT_EQ(com.strBinaryPort, "COM3");
    EXPECT_EQ(com.nControlBaud, 38400);
    EXPECT_EQ(com.nBinaryBaud, 115200);
    EXPECT_TRUE(com.strUser.empty());
    EXPECT_EQ(qlink::SilentComChoice("COM3", "fast").nControlBaud, 9600);
    EXPECT_EQ(qlink::SilentComChoice("COM3", "-5").nControlBaud, 9600);

    EXPECT_EQ(qlink::LanHostChoice("127.0.0.5", 10008, "", "", 0).strBinaryPort, "LAN127.0.0.5:18081");
    EXPECT_EQ(qlink::ComPort(256), "COM256");
}

TEST(PortsTest, OpenFlagsFollowTheControlBaud) {
    EXPECT_EQ(qlink::OpenFlagsForBaud(19200), 0x05010200u);
    EXPECT_EQ(qlink::OpenFlagsForBaud(38400), 0x06010200u);
    EXPECT_EQ(qlink::OpenFlagsForBaud(9600), 0x00010200u);
    EXPECT_EQ(qlink::OpenFlagsForBaud(115200), 0x00010200u);
}

}  // namespace
