#include "app/IniManaged.h"

#include <cstdint>
#include <string>

#include <testsupport/ScopedEnv.h>
#include <testsupport/TempDir.h>
#include <unistd.h>

namespace {

using IniTest = testsupport::TempDirTest;

TEST(IpPacking, ValidTexts) {
    EXPECT_EQ(CIniManaged::PackIp("192.168.0.1"), 0xC0A80001u);
    EXPECT_EQ(CIniManaged::PackIp("10.0.0.1"), 0x0A000001u);
    EXPECT_EQ(CIniManaged::PackIp("255.255.255.255"), 0xFFFFFFFFu);
    EXPECT_EQ(CIniManaged::PackIp("0.0.0.0"), 0u);
    EXPECT_EQ(CIniManaged::PackIp("010.001.000.009"), 0x0A010009u);  // leading zeros are decimal
    for (std::uint32_t ip : {0xC0A80001u, 0x0A000001u, 0x7F000102u, 0u, 0xFFFFFFFFu}) {
        EXPECT_EQ(CIniManaged::PackIp(CIniManaged::UnpackIp(ip)), ip);
    }
    EXPECT_EQ(CIniManaged::UnpackIp(0xC0A80001u), "192.168.0.1");
}

TEST(IpPacking, AnythingElseGivesTheDefault) {
    for (const char* bad : {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1.2.3.999", "1..2.3", ".1.2.3",
                            "1.2.3.4.", "a.b.c.d", "1.2.3.4x", " 1.2.3.4", "1.2.3.4 ", "-1.2.3.4", "+1.2.3.4",
                            "99999999999.1.1.1", "1.2.3.00000000000000000000256", "host.example"}) {
        EXPECT_EQ(CIniManaged::PackIp(bad), 0xC0A80000u) << bad;
    }
}

TEST_F(IniTest, MissingFileGivesDefaults) {
    CIniManaged ini(dir);
    ini.LoadIniFile();
    EXPECT_EQ(ini.m_strIniPath, dir / "QuendraReport.ini");
    EXPECT_EQ(ini.m_strProgDir, dir);
    EXPECT_EQ(ini.m_nCompare, 0);
    EXPECT_EQ(ini.m_strComparePath, "C:\\WinMergeU.exe");
    EXPECT_EQ(ini.m_nWriteNvram, 0);
    EXPECT_EQ(ini.m_strPort, "COM1");
    EXPECT_EQ(ini.m_strIp, "192.168.0.0");
    EXPECT_EQ(ini.m_dwIp, 0xC0A80000u);
    EXPECT_EQ(ini.m_strLanPort, "10008");
    EXPECT_EQ(ini.m_nLanPort, 10008);
    EXPECT_EQ(ini.m_nChecksum, 1);
    EXPECT_FALSE(std::filesystem::exists(dir / "QuendraReport.ini"));  // reading creates nothing
}

TEST_F(IniTest, ValuesAreReadAndConverted) {
    Write("QuendraReport.ini",
          "[common]\r\nCOMPARE=1\r\nCPASS=\"/usr/bin/meld\"\r\nWRITENVR=2\r\nPORT=LAN\r\nIP=10.0.0.1\r\n"
          "LANPORT=10010x\r\nCHECKSUM=0\r\n");
    CIniManaged ini(dir);
    ini.LoadIniFile();
    EXPECT_EQ(ini.m_nCompare, 1);
    EXPECT_EQ(ini.m_strComparePath, "/usr/bin/meld");
    EXPECT_EQ(ini.m_nWriteNvram, 2);
    EXPECT_EQ(ini.m_strPort, "LAN");
    EXPECT_EQ(ini.m_strIp, "10.0.0.1");
    EXPECT_EQ(ini.m_dwIp, 0x0A000001u);
    EXPECT_EQ(ini.m_strLanPort, "10010x");
    EXPECT_EQ(ini.m_nLanPort, 10010);
    EXPECT_EQ(ini.m_nChecksum, 0);
    // A second load gives the same address, not a mixture with the first.
    ini.LoadIniFile();
    EXPECT_EQ(ini.m_dwIp, 0x0A000001u);
}

TEST_F(IniTest, InvalidIpInFileGivesDefault) {
    Write("QuendraReport.ini", "[COMMON]\r\nIP=192.168.300.1\r\n");
    CIniManaged ini(dir);
    ini.LoadIniFile();
    EXPECT_EQ(ini.m_strIp, "192.168.300.1");
    EXPECT_EQ(ini.m_dwIp, 0xC0A80000u);
}

TEST_F(IniTest, SaveWritesThreeKeysAndKeepsEveryOtherLine) {
    Write("QuendraReport.ini",
          "; report program settings\r\n[COMMON]\r\nCOMPARE=1\r\nPORT=COM2\r\nCPASS=/usr/bin/meld\r\n"
          "IP=10.0.0.1\r\nCustom=keep me\r\nLANPORT=10008\r\nCHECKSUM=0\r\n\r\n[Other]\r\nPORT=COM9\r\n");
    CIniManaged ini(dir);
    ini.LoadIniFile();
    ini.m_strPort = "LAN";
    ini.m_dwIp = CIniManaged::PackIp("172.16.5.9");
    ini.m_nLanPort = 10010;
    ini.m_nCompare = 0;              // never written
    ini.m_strComparePath = "other";  // never written
    ini.m_nWriteNvram = 1;           // never written
    ini.m_nChecksum = 1;             // never written
    ASSERT_TRUE(ini.SaveIniFile());
    EXPECT_EQ(
        Read("QuendraReport.ini"),
        "; report program settings\r\n[COMMON]\r\nCOMPARE=1\r\nPORT=LAN\r\nCPASS=/usr/bin/meld\r\n"
        "IP=172.16.5.9\r\nCustom=keep me\r\nLANPORT=10010\r\nCHECKSUM=0\r\n\r\n[Other]\r\nPORT=COM9\r\n");
}

TEST_F(IniTest, SaveCreatesTheFileAndRoundTrips) {
    CIniManaged ini(dir);
    ini.LoadIniFile();
    ini.m_dwIp = CIniManaged::PackIp("10.0.0.1");
    ASSERT_TRUE(ini.SaveIniFile());
    EXPECT_EQ(Read("QuendraReport.ini"), "[COMMON]\r\nPORT=COM1\r\nIP=10.0.0.1\r\nLANPORT=10008\r\n");
    CIniManaged again(dir);
    again.LoadIniFile();
    EXPECT_EQ(again.m_dwIp, 0x0A000001u);
    EXPECT_EQ(again.m_strIp, "10.0.0.1");
    EXPECT_EQ(again.m_strPort, "COM1");
    EXPECT_EQ(again.m_nLanPort, 10008);
}

// A program folder of someone else keeps its file as the installed default:
// read until the user's first change, which makes the user's own copy (every
// other line kept); a link planted there is never written through.
TEST_F(IniTest, ForeignProgramFolderKeepsTheDefaultAndTheUserGetsACopy) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs chown to give the program folder away";
    Write("prog/QuendraReport.ini", "; installed\r\n[COMMON]\r\nCPASS=/usr/bin/meld\r\nPORT=COM2\r\n");
    Write("victim", "keep");
    std::filesystem::create_symlink(dir / "victim", dir / "prog" / "link.ini");
    ASSERT_EQ(::chown((dir / "prog").c_str(), 65534, 65534), 0);
    testsupport::ScopedEnv config("XDG_CONFIG_HOME", (dir / "config").string());

    CIniManaged ini(dir / "prog");
    ini.LoadIniFile();
    EXPECT_EQ(ini.m_strPort, "COM2");
    EXPECT_FALSE(std::filesystem::exists(dir / "config")) << "reading makes nothing";
    ini.m_strPort = "LAN";
    ASSERT_TRUE(ini.SaveIniFile()) << ini.m_strSaveError;
    EXPECT_EQ(Read("config/quendra/QuendraReport.ini"),
              "; installed\r\n[COMMON]\r\nCPASS=/usr/bin/meld\r\nPORT=LAN\r\nIP=192.168.0.0\r\nLANPORT=10008\r\n");
    // The default is never written, and no longer read once the user has a copy.
    Write("prog/QuendraReport.ini", "[COMMON]\r\nCPASS=/tmp/planted\r\n");
    ini.LoadIniFile();
    EXPECT_EQ(ini.m_strComparePath, "/usr/bin/meld");

    std::filesystem::remove_all(dir / "config");
    std::filesystem::rename(dir / "prog" / "link.ini", dir / "prog" / "QuendraReport.ini");
    ASSERT_TRUE(ini.SaveIniFile()) << ini.m_strSaveError;
    EXPECT_EQ(Read("victim"), "keep");
}

}  // namespace
