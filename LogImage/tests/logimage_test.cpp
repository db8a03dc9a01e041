#include <gtest/gtest.h>

#include <cstring>

#include "logimage/LogImage.h"

using namespace logimage;

TEST(LogImage, CrcCheckValueAndTrailer) {
    const char* digits = "123456789";
    EXPECT_EQ(Crc16(reinterpret_cast<const std::uint8_t*>(digits), std::strlen(digits)), 0x29B1);
    Bytes block = BuildLog(LogDescription{});
    const std::uint16_t stored = static_cast<std::uint16_t>(block[block.size() - 2] | (block[block.size() - 1] << 8));
    EXPECT_EQ(stored, Crc16(block.data(), block.size() - 2));
}

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

TEST(LogImage, TemperatureSectionSizes) {
    for (unsigned n : {0u, 2u, 4u}) {
        TempSectionV4 t4;
        t4.sensorCount = static_cast<std::uint8_t>(n);
        EXPECT_EQ(BuildTempV4(t4).size(), TempSizeV4(n));
        TempSectionV5 t5;
        t5.sensorCount = static_cast<std::uint8_t>(n);
        EXPECT_EQ(BuildTempV5(t5).size(), TempSizeV5(n));
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
    EXPECT_GT(b.size(), kMaxLogSize - 10);
    EXPECT_GT(LargeLog().groups[0].size(), 6400u);
}
