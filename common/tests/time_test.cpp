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

TEST(TimeUtil, FormatLocalWritesWhatStrftimeWrites) {
    TzGuard tz("CET-1CEST,M3.5.0,M10.5.0/3");
    const char* const formats[] = {"%Y/%m/%d %H:%M:%S", "%y%m%d%H%M%S", "%Y%m%d-%H%M%S", "at %H:%M 100%%",
                                   "%a %e %j", "%Y/%m/%d %H:%M %", "no fields"};
    // Around a change to summer time, the first and last seconds of years,
    // and years of other widths.
    const std::time_t times[] = {LocalTime(2020, 3, 29, 1, 59, 59), LocalTime(2020, 3, 29, 3, 0, 0),
                                 LocalTime(1999, 12, 31, 23, 59, 59), LocalTime(2136, 2, 7, 6, 28, 15),
                                 LocalTime(999, 6, 1, 0, 0, 0), LocalTime(12000, 1, 1, 0, 0, 0), 0};
    for (const char* format : formats) {
        for (const std::time_t t : times) {
            std::tm tm{};
            ASSERT_NE(localtime_r(&t, &tm), nullptr);
            char expected[128];
            const std::size_t n = std::strftime(expected, sizeof expected, format, &tm);
            EXPECT_EQ(FormatLocal(t, format), std::string(expected, n)) << format << " at " << t;
        }
    }
}
