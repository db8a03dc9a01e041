#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/MyCommandLine.h"

namespace {

using Args = std::vector<std::string>;
using R = CMyCommandLine::Result;

CMyCommandLine Parse(const Args& args) {
    CMyCommandLine c;
    c.ParseArguments(args);
    return c;
}

TEST(CommandLine, CompleteComSequence) {
    CMyCommandLine c =
        Parse({"SILENT", "MODEL=QM-X001", "PATH=/tmp/out", "INTERFACE=COM", "PORT=COM3", "RATE=9600"});
    EXPECT_EQ(c.GetResult(), R::Silent);
    EXPECT_TRUE(c.m_bSilent);
    EXPECT_EQ(c.m_nParseState, 10);
    EXPECT_EQ(c.m_strModel, "QM-X001");
    EXPECT_EQ(c.m_strPath, "/tmp/out");
    EXPECT_TRUE(c.m_bCom);
    EXPECT_FALSE(c.m_bLan);
    EXPECT_EQ(c.m_strComPort, "COM3");
    EXPECT_EQ(c.m_strRate, "9600");
    EXPECT_EQ(c.m_strLanPort, "");
}

TEST(CommandLine, CompleteLanSequence) {
    CMyCommandLine c = Parse({"SILENT", "MODEL=QM-X001", "PATH=D:\\out", "INTERFACE=LAN", "IP=192.168.1.5",
                              "PORT=10008", "USER=admin", "PASS=secret", "extra", "more"});
    EXPECT_EQ(c.GetResult(), R::Silent);
    EXPECT_TRUE(c.m_bSilent);
    EXPECT_TRUE(c.m_bLan);
    EXPECT_FALSE(c.m_bCom);
    EXPECT_EQ(c.m_strPath, "D:\\out");
    EXPECT_EQ(c.m_strIp, "192.168.1.5");
    EXPECT_EQ(c.m_strLanPort, "10008");
    EXPECT_EQ(c.m_strComPort, "");
    EXPECT_EQ(c.m_strUser, "admin");
    EXPECT_EQ(c.m_strPassword, "secret");
}

TEST(CommandLine, UserAndPasswordTakeWhateverFollowsPort) {
    // The two arguments after PORT= are consumed whatever they are.
    CMyCommandLine c =
        Parse({"SILENT", "MODEL=M", "PATH=P", "INTERFACE=LAN", "IP=1.2.3.4", "PORT=1", "USER=", "something"});
    EXPECT_EQ(c.GetResult(), R::Silent);
    EXPECT_EQ(c.m_strUser, "");
    EXPECT_EQ(c.m_strPassword, "");
    c = Parse({"SILENT", "MODEL=M", "PATH=P", "INTERFACE=LAN", "IP=1.2.3.4", "PORT=1", "PASS=x", "USER=y"});
    EXPECT_EQ(c.GetResult(), R::Silent);
    EXPECT_EQ(c.m_strUser, "");
    EXPECT_EQ(c.m_strPassword, "");
}

TEST(CommandLine, EveryIncompleteStateIsInvalid) {
    // Cutting the LAN and COM sequences after each argument leaves states 1..9.
    const Args lan = {"SILENT", "MODEL=M", "PATH=P", "INTERFACE=LAN", "IP=1.2.3.4", "PORT=10008", "USER=u"};
    const Args com = {"SILENT", "MODEL=M", "PATH=P", "INTERFACE=COM", "PORT=COM1"};
    const int lanStates[] = {1, 2, 3, 4, 5, 6, 7};
    const int comStates[] = {1, 2, 3, 8, 9};
    for (std::size_t n = 1; n <= lan.size(); ++n) {
        CMyCommandLine c = Parse(Args(lan.begin(), lan.begin() + n));
        EXPECT_EQ(c.m_nParseState, lanStates[n - 1]) << n;
        EXPECT_EQ(c.GetResult(), R::Invalid) << n;
        EXPECT_FALSE(c.m_bSilent);
    }
    for (std::size_t n = 1; n <= com.size(); ++n) {
        CMyCommandLine c = Parse(Args(com.begin(), com.begin() + n));
        EXPECT_EQ(c.m_nParseState, comStates[n - 1]) << n;
        EXPECT_EQ(c.GetResult(), R::Invalid) << n;
    }
}

TEST(CommandLine, EachStateIgnoresArgumentsThatDoNotFit) {
    // Misfits between the expected arguments leave the state where it is.
    CMyCommandLine c = Parse({"MODEL=early", "SILENT", "SILENT", "MODEL=", "PATH=early", "MODEL=M", "MODEL=N",
                              "PATH=", "PATH=P", "INTERFACE=lan", "INTERFACE=LANX", "INTERFACE=COM", "RATE=1",
                              "PORT=", "PORT=COM2", "PORT=COM9", "RATE=", "RATE=115200"});
    EXPECT_EQ(c.GetResult(), R::Silent);
    EXPECT_EQ(c.m_strModel, "M");
    EXPECT_EQ(c.m_strPath, "P");
    EXPECT_EQ(c.m_strComPort, "COM2");
    EXPECT_EQ(c.m_strRate, "115200");
    EXPECT_FALSE(c.m_bLan);

    c = Parse({"SILENT", "MODEL=M", "PATH=P", "INTERFACE=LAN", "PORT=1", "IP=", "IP=10.0.0.1", "IP=2",
               "PORT=", "PORT=77", "u", "p"});
    EXPECT_EQ(c.GetResult(), R::Silent);
    EXPECT_EQ(c.m_strIp, "10.0.0.1");
    EXPECT_EQ(c.m_strLanPort, "77");
}

TEST(CommandLine, WrongOrderAndEmptyValues) {
    EXPECT_EQ(Parse({"MODEL=QM-X001", "SILENT"}).GetResult(), R::Invalid);
    EXPECT_EQ(Parse({"SILENT", "MODEL="}).m_nParseState, 1);
    EXPECT_EQ(Parse({"SILENT", "MODEL="}).GetResult(), R::Invalid);
    // LAN without USER/PASS stops in state 6.
    CMyCommandLine c =
        Parse({"SILENT", "MODEL=QM-X001", "PATH=D:\\out", "INTERFACE=LAN", "IP=192.168.1.5", "PORT=10008"});
    EXPECT_EQ(c.m_nParseState, 6);
    EXPECT_EQ(c.GetResult(), R::Invalid);
}

TEST(CommandLine, InteractiveWithoutSilent) {
    EXPECT_EQ(Parse({}).GetResult(), R::Interactive);
    CMyCommandLine c = Parse({"MODEL=M", "PATH=P", "silent", "Silent", "/silent", "SILENTX", "--SILENT"});
    EXPECT_EQ(c.GetResult(), R::Interactive);
    EXPECT_EQ(c.m_nParseState, 0);
    EXPECT_FALSE(c.m_bSilent);
    EXPECT_EQ(c.m_strModel, "");
}

TEST(CommandLine, OneLeadingSlashOrMinusIsRemoved) {
    for (const char* prefix : {"/", "-"}) {
        std::string p = prefix;
        CMyCommandLine c = Parse({p + "SILENT", p + "MODEL=M", p + "PATH=/data", p + "INTERFACE=COM",
                                  p + "PORT=COM1", p + "RATE=9600"});
        EXPECT_EQ(c.GetResult(), R::Silent) << prefix;
        EXPECT_EQ(c.m_strPath, "/data") << prefix;
    }
    // Only one prefix character goes; an argument that is only "/" becomes empty.
    EXPECT_EQ(Parse({"//SILENT"}).GetResult(), R::Interactive);
    EXPECT_EQ(Parse({"-/SILENT"}).GetResult(), R::Interactive);
    EXPECT_EQ(Parse({"/", "SILENT"}).GetResult(), R::Invalid);
}

TEST(CommandLine, ContainsIsReadLiterally) {
    // The key may stand anywhere in the argument; the value is what follows it.
    CMyCommandLine c =
        Parse({"SILENT", "XMODEL=abc", "OUTPATH=x=y", "INTERFACE=COM", "COMPORT=COM4", "BAUDRATE=19200"});
    EXPECT_EQ(c.GetResult(), R::Silent);
    EXPECT_EQ(c.m_strModel, "abc");
    EXPECT_EQ(c.m_strPath, "x=y");
    EXPECT_EQ(c.m_strComPort, "COM4");
    EXPECT_EQ(c.m_strRate, "19200");
}

TEST(CommandLine, TrimCstringData) {
    EXPECT_EQ(CMyCommandLine::TrimCstringData("MODEL=QM-X001", "MODEL="), "QM-X001");
    EXPECT_EQ(CMyCommandLine::TrimCstringData("MODEL=", "MODEL="), "");
    EXPECT_EQ(CMyCommandLine::TrimCstringData("PATH=a", "MODEL="), "");
    EXPECT_EQ(CMyCommandLine::TrimCstringData("model=x", "MODEL="), "");
    EXPECT_EQ(CMyCommandLine::TrimCstringData("A=MODEL=b MODEL=c", "MODEL="), "b MODEL=c");
    EXPECT_EQ(CMyCommandLine::TrimCstringData("", "IP="), "");
}

}  // namespace
