#include "logimage/LogImage.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

using namespace logimage;

TEST(LogImage, LayoutMatchesSizes) {
    for (const auto& d : {HealthyDisplay(), AbnormalDisplay(), Version5Header(), Version5Temperature(), LargeLog()}) {
        LogLayout l;
        const Bytes b = BuildLog(d, &l);
        EXPECT_EQ(b.size(), LogSize(d));
        EXPECT_EQ(l.size, b.size());
        EXPECT_EQ(b[l.syslogFormatOffset], d.syslogFormat);
        EXPECT_EQ(b[l.temperatureOffset], d.temperature[0]);
        for (int g = 0; g < 4; ++g)
            EXPECT_EQ(b[l.groupOffsets[g]] | (b[l.groupOffsets[g] + 1] << 8), static_cast<int>(d.groups[g].size()));
        // Walking the block finds every part where it was built.
        LogLayout found;
        std::string err;
        ASSERT_TRUE(LocateLog(b, found, err)) << err;
        EXPECT_EQ(found, l);
    }
}

TEST(LogImage, LocateRefusesTruncatedAndForeignBlocks) {
    LogDescription d = Version5Header();
    d.model = std::string(16, 'M');  // no terminator: the serial number starts at 17
    const Bytes good = BuildLog(d);
    LogLayout l, found;
    std::string err;
    ASSERT_TRUE(LocateLog(good, l, err)) << err;
    EXPECT_EQ(l.serialOffset, 17u);
    EXPECT_EQ(l.model, "");
    // Every cut inside the header or the groups is refused, never read past.
    for (std::size_t n = 0; n < l.temperatureOffset + 2; ++n) {
        const Bytes cut(good.begin(), good.begin() + static_cast<long>(n));
        err.clear();
        EXPECT_FALSE(LocateLog(cut, found, err)) << n;
        EXPECT_FALSE(err.empty());
    }
    for (auto [at, value] : {std::pair{std::size_t{0}, 3}, std::pair{l.syslogFormatOffset, 4}}) {
        Bytes foreign = good;
        foreign[at] = static_cast<std::uint8_t>(value);
        EXPECT_FALSE(LocateLog(foreign, found, err)) << at;
        EXPECT_NE(err.find("version"), std::string::npos) << err;
    }
}

TEST(LogImage, LongStringsFillTheFieldWithoutTerminator) {
    LogDescription d;
    d.model = std::string(20, 'M');
    LogLayout l;
    const Bytes b = BuildLog(d, &l);
    EXPECT_EQ(l.serialOffset, 17u);
    EXPECT_EQ(b[16], 'M');
}

TEST(LogImage, LargeLogStaysWithinTheLimit) {
    const Bytes b = BuildLog(LargeLog());
    EXPECT_LE(b.size(), kMaxLogSize);
    EXPECT_EQ(b.size(), kMaxLogSize);
    EXPECT_GT(LargeLog().groups[0].size(), 6400u);
}
