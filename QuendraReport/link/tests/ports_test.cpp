// Port strings, baud flags and the recording fake's own bookkeeping.
#include <gtest/gtest.h>

#include "link/Ports.h"
#include "link/RecordingDisplayLink.h"

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

TEST(RecordingLinkTest, ScriptedAnswersAndHandleBookkeeping) {
    qlink::RecordingDisplayLink link;
    link.Fail("QnSet(\"FIRM0000\")", 2);
    void* h = link.QnOpenEx("COM1", "", "", 0x00010200u);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(link.QnSetCommand(h, "FIRM0000"), 0);
    EXPECT_NE(link.QnSetCommand(h, "FIRM0000"), 0);
    EXPECT_EQ(link.QnSetCommand(h, "FIRM0000"), 0);
    link.QnClose(h);
    link.QnClose(h);
    EXPECT_EQ(link.OpenHandles(), 0);
    EXPECT_EQ(link.BadCloses(), 1);

    void* d = link.DkOpenIF("COM1", 5, 3, 115200);
    std::uint8_t reply[qlink::kBinReplyBuffer];
    int len = -1;
    const std::uint8_t params[4] = {0x00, 0x02, 0x10, 0x00};  // offset 512, 16 bytes
    EXPECT_EQ(link.DkGetData(d, 0x45, params, 4, reply, len), 0);
    EXPECT_EQ(len, 16);
    EXPECT_EQ(reply[0], link.nvramImage[512]);
    EXPECT_EQ(reply[16], 0);
    link.DkClose(d);
    EXPECT_EQ(link.Calls(), (std::vector<std::string>{
                                "QnOpenEx(COM1,,,0x00010200)", "QnSet(\"FIRM0000\")", "QnSet(\"FIRM0000\")",
                                "QnSet(\"FIRM0000\")", "QnClose", "QnClose", "DkOpen(COM1,5,3,115200)",
                                "Dk(45 00021000)", "DkClose"}));
}

}  // namespace
