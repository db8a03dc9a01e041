#include <gtest/gtest.h>

#include "logimage/LogImage.h"

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
