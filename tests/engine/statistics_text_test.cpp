#include "engine/statistics_text.h"

#include <gtest/gtest.h>

namespace klova {
namespace {

TEST(FormatDuration, SplitsHoursMinutesSecondsAndHundredths)
{
    EXPECT_EQ(FormatDuration(3'723'456), "1:02:03.45 (3723.45 sec)");
    EXPECT_EQ(FormatDuration(0), "0:00:00.00 (0.00 sec)");
    EXPECT_EQ(FormatDuration(59'999), "0:00:59.99 (59.99 sec)");
    EXPECT_EQ(FormatDuration(60'000), "0:01:00.00 (60.00 sec)");
    // The largest value stays positive: unsigned arithmetic throughout.
    EXPECT_EQ(FormatDuration(4'294'967'295u), "1193:02:47.29 (4294967.29 sec)");
}

TEST(FormatStatistics, FormatsTheFourLines)
{
    // 250 frames in 2.5 s; 10 s of source (100,000,000 units); 3 clips.
    EXPECT_EQ(FormatStatistics(250, 2'500, 100'000'000, 3),
              " Frames processed\t       250 (100.00 fps)\r\n"
              " Time processed\t0:00:10.00 (10.00 sec)\r\n"
              " Time elapsed\t0:00:02.50 (2.50 sec)\r\n"
              " Clips processed\t3");
}

TEST(FormatStatistics, ShowsNoRateBeforeTheFirstMillisecond)
{
    EXPECT_EQ(FormatStatistics(1, 0, 0, 1),
              " Frames processed\t         1 (0.00 fps)\r\n"
              " Time processed\t0:00:00.00 (0.00 sec)\r\n"
              " Time elapsed\t0:00:00.00 (0.00 sec)\r\n"
              " Clips processed\t1");
}

TEST(FormatStatistics, ShowsTheLow32BitsOfLargeCounts)
{
    // 2^32 + 5 frames read: the text shows 5, the rate uses the whole count. The source
    // time in milliseconds wraps at 32 bits the same way.
    const int64_t frames = (int64_t{1} << 32) + 5;
    const MediaTime sourceTime = ((int64_t{1} << 32) + 1'500) * 10'000;
    const std::string text = FormatStatistics(frames, 1'000'000, sourceTime, 0);
    EXPECT_NE(text.find("\t         5 (4294967.30 fps)"), std::string::npos) << text;
    EXPECT_NE(text.find("Time processed\t0:00:01.50 (1.50 sec)"), std::string::npos) << text;
}

}  // namespace
}  // namespace klova
