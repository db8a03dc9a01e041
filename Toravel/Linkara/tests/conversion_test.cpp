// Linkara without a display: UTF-16 conversions, reply buffers, settings file.
#include <gtest/gtest.h>

#include "LinkaraCore.h"
#include <common/codepage.h>
#include <testsupport/ScriptedPeer.h>
#include <testsupport/SimProcess.h>
#include <testsupport/TempDir.h>

using namespace linkara;

TEST(LinkaraText, AsciiOnTheWireAndRepliesWithinTheirLimit) {
    // Text outside ASCII cannot be sent as it is: refused, never a stand-in.
    EXPECT_EQ(ToWire(u"IFSN0042 ~"), "IFSN0042 ~");
    for (const char16_t* text : {u"IFSN\u00e9X", u"A\U0001F600B", u"A\xD800" u"B", u"\u0080"})
        EXPECT_FALSE(ToWire(text)) << cmn::Utf16ToUtf8(text);
    EXPECT_EQ(FromWire("QX3\xE9\x80" "1"), u"QX3??1");

    char16_t buf[600];
    // The serial number tool passes a byte count (520) for 260 characters:
    // 259 characters fit, one more fails and leaves the buffer empty.
    std::fill(std::begin(buf), std::end(buf), u'#');
    ASSERT_TRUE(CopyReply(std::u16string(259, u'7'), buf, 520));
    EXPECT_EQ(std::u16string(buf), std::u16string(259, u'7'));
    EXPECT_EQ(buf[260], u'#');
    EXPECT_FALSE(CopyReply(std::u16string(260, u'7'), buf, 520));
    EXPECT_EQ(buf[0], 0);
    EXPECT_EQ(buf[260], u'#');
    // A smaller size is kept too; a short value clears the rest.
    std::fill(std::begin(buf), std::end(buf), u'#');
    EXPECT_FALSE(CopyReply(u"QX30001001", buf, 10));
    EXPECT_EQ(buf[0], 0);
    EXPECT_EQ(buf[10], u'#');
    ASSERT_TRUE(CopyReply(u"QX30001001", buf, 11));
    EXPECT_EQ(std::u16string(buf), u"QX30001001");
    ASSERT_TRUE(CopyReply(u"1", buf, 260));
    EXPECT_EQ(buf[259], 0);
    EXPECT_FALSE(CopyReply(u"1", nullptr, 260));
    EXPECT_FALSE(CopyReply(u"1", buf, 0));
}

TEST(LinkaraSettings, RoundTripDefaultsAndChecks) {
    testsupport::TempDir dir;
    const auto file = dir.Path() / "Linkara.ini";
    const Settings d = LoadSettings(file);  // no file: the defaults
    EXPECT_EQ(d.interfaceKind, u"COM");
    EXPECT_EQ(d.port, u"COM1");
    EXPECT_EQ(d.baud, 9600);
    EXPECT_TRUE(CheckSettings(d).empty());

    Settings s;
    s.interfaceKind = u"LAN";
    s.address = u"display-7.local";
    s.dataPort = 10010;
    s.account = u"svc \u00e9";
    ASSERT_TRUE(SaveSettings(file, s));
    const Settings r = LoadSettings(file);
    EXPECT_EQ(r.interfaceKind, u"LAN");
    EXPECT_EQ(r.address, u"display-7.local");
    EXPECT_EQ(r.dataPort, 10010);
    EXPECT_EQ(r.account, u"svc \u00e9");
    EXPECT_EQ(testsupport::ReadFile(file).find("assword"), std::string::npos);
    testsupport::WriteFile(file, "[connection]\r\ninterface = lan\r\n");
    EXPECT_EQ(LoadSettings(file).interfaceKind, u"LAN");

    Settings bad = s;
    bad.address.clear();
    EXPECT_FALSE(CheckSettings(bad).empty());
    bad = d;
    bad.port = u"COM0";
    EXPECT_FALSE(CheckSettings(bad).empty());
    bad.port = u"/dev/ttyUSB0";
    EXPECT_TRUE(CheckSettings(bad).empty());
    bad.baud = 12345;
    EXPECT_FALSE(CheckSettings(bad).empty());
}
