#include <gtest/gtest.h>
#include <testsupport/TimeZone.h>

#include <array>
#include <cstdlib>
#include <ctime>

#include "common/timeutil.h"

using namespace cmn;

using TzGuard = testsupport::ScopedTimeZone;

TEST(TimeUtil, DisplayEpochFollowsLocalZone) {
    {
        TzGuard tz("UTC0");
        EXPECT_EQ(DisplayEpoch(), 946684800);
        EXPECT_EQ(DisplayToTime(86400 + 3661), 946684800 + 86400 + 3661);
        EXPECT_EQ(TimeToDisplay(946684800 + 10), 10);
        EXPECT_EQ(FormatLocal(DisplayToTime(0), "%Y/%m/%d %H:%M:%S"), "2000/01/01 00:00:00");
        EXPECT_EQ(TimeToDigits12(DisplayToTime(0)), "000101000000");
    }
    {
        TzGuard tz("JST-9");
        EXPECT_EQ(DisplayEpoch(), 946684800 - 9 * 3600);
        EXPECT_EQ(FormatLocal(DisplayToTime(0xFFFFFFFFu), "%Y/%m/%d %H:%M:%S"), "2136/02/07 06:28:15");
        EXPECT_EQ(TimeToDigits12(LocalTime(2024, 2, 29, 23, 59, 58)), "240229235958");
    }
}

TEST(TimeUtil, DaylightSavingFlagIsLeftToTheLibrary) {
    // In a zone with daylight saving, a summer date must not be shifted by an hour.
    TzGuard tz("CET-1CEST,M3.5.0,M10.5.0/3");
    std::time_t t = LocalTime(2020, 7, 1, 12, 0, 0);
    EXPECT_EQ(FormatLocal(t, "%H:%M"), "12:00");
    EXPECT_EQ(DisplayEpoch(), 946684800 - 3600);
    LocalFields f;
    ASSERT_TRUE(SplitLocal(t, f));
    EXPECT_EQ((std::array{f.year, f.month, f.day, f.hour, f.minute, f.second}),
              (std::array{2020, 7, 1, 12, 0, 0}));
    // Read as standard time, a summer clock is an hour later than the same clock in summer time.
    EXPECT_EQ(LocalStandardTime(2020, 7, 1, 12, 0, 0) - t, 3600);
    EXPECT_EQ(LocalStandardTime(2020, 1, 1, 12, 0, 0), LocalTime(2020, 1, 1, 12, 0, 0));
}

TEST(TimeUtil, SpanFormat) {
    EXPECT_EQ(FormatSpan(0), "0day 00:00:00");
    EXPECT_EQ(FormatSpan(93784), "1day 02:03:04");
    EXPECT_EQ(FormatSpan(-93784), "-1day 02:03:04");
    EXPECT_EQ(FormatSpan(400LL * 86400 + 59), "400day 00:00:59");
    EXPECT_EQ(FormatSpan(INT64_MIN).substr(0, 1), "-");
    EXPECT_EQ(FormatLocal(0, ""), "");
}
