#include "media_in/frame_timer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace klova {
namespace {

std::vector<FrameTimer::Times> TimeAll(FrameTimer& timer, const std::vector<std::optional<MediaTime>>& starts,
                                       const std::vector<std::optional<MediaTime>>& durations)
{
    std::vector<FrameTimer::Times> out;
    for (size_t i = 0; i < starts.size(); ++i)
        if (auto times = timer.Push(starts[i], durations[i]))
            out.push_back(*times);
    if (auto last = timer.Finish())
        out.push_back(*last);
    return out;
}

TEST(FrameTimer, NtscRoundingNoiseBecomesTheNominalDuration)
{
    FrameTimer timer;
    const MediaTime nominal = FrameDuration(30000.0 / 1001.0);
    ASSERT_EQ(nominal, 333666);
    timer.Configure(30000.0 / 1001.0, true, 0);
    std::vector<std::optional<MediaTime>> starts;
    std::vector<std::optional<MediaTime>> durations;
    for (int n = 0; n < 300; ++n) {
        starts.push_back(std::llround(n * 1001.0e7 / 30000.0));
        durations.push_back(n % 2 ? 333667 : 333666);
    }
    const auto times = TimeAll(timer, starts, durations);
    ASSERT_EQ(times.size(), 300u);
    for (size_t n = 0; n < times.size(); ++n) {
        EXPECT_EQ(times[n].start, *starts[n]);
        EXPECT_EQ(times[n].stop - times[n].start, nominal) << "frame " << n;
        if (n > 0) {
            EXPECT_GE(times[n].start, times[n - 1].stop);
        }
    }
}

TEST(FrameTimer, GenuinelyLongerFramesKeepTheirOwnDuration)
{
    FrameTimer timer;
    timer.Configure(25.0, true, 0);
    // The third frame is shown twice as long (a frame missing in the source).
    const auto times = TimeAll(timer, {0, 400000, 800000, 1600000, 2000000},
                               {400000, 400000, 400000, 400000, 800000});
    ASSERT_EQ(times.size(), 5u);
    EXPECT_EQ(times[1].stop - times[1].start, 400000);
    EXPECT_EQ(times[2].stop - times[2].start, 800000);
    EXPECT_EQ(times[3].stop - times[3].start, 400000);
    EXPECT_EQ(times[4].stop - times[4].start, 800000);  // the last one by its own duration
}

TEST(FrameTimer, WholeMillisecondStampsStillGiveEveryFrameOneSlot)
{
    // ASF stamps frames in whole milliseconds: 30 fps arrives as 0, 33, 67, 100, ... ms.
    FrameTimer timer;
    timer.Configure(30.0, false, 0);
    std::vector<std::optional<MediaTime>> starts;
    std::vector<std::optional<MediaTime>> durations;
    for (int n = 0; n < 3000; ++n) {
        starts.push_back(std::llround(n * 1000.0 / 30.0) * 10000);
        durations.push_back(std::nullopt);
    }
    const auto times = TimeAll(timer, starts, durations);
    ASSERT_EQ(times.size(), 3000u);
    for (size_t n = 0; n < times.size(); ++n)
        ASSERT_EQ(times[n].stop - times[n].start, FrameDuration(30.0)) << "frame " << n;
}

TEST(FrameTimer, FramesFasterThanTheGridKeepTheirRealTimeInTotal)
{
    // Content at 60 fps in a stream said to be 30 fps: half the frames fall into the
    // slot of the one before; the total still follows the time stamps.
    FrameTimer timer;
    timer.Configure(30.0, true, 0);
    std::vector<std::optional<MediaTime>> starts;
    std::vector<std::optional<MediaTime>> durations;
    for (int n = 0; n <= 600; ++n) {
        starts.push_back(std::llround(n * 1.0e7 / 60.0));
        durations.push_back(std::nullopt);
    }
    const auto times = TimeAll(timer, starts, durations);
    MediaTime total = 0;
    for (size_t n = 0; n + 1 < times.size(); ++n) {
        EXPECT_GT(times[n].stop, times[n].start);
        total += times[n].stop - times[n].start;
    }
    EXPECT_NEAR(static_cast<double>(total), 10.0 * kUnitsPerSecond, FrameDuration(30.0));
}

TEST(FrameTimer, MadeUpDurationsGiveWayToTimeStamps)
{
    // A decoder without a rate from the container says 40 ms; the stamps are 15 fps.
    FrameTimer timer;
    timer.Configure(0, false, 0);
    const auto times = TimeAll(timer, {460000, 1130000, 1790000, 2460000}, {400000, 400000, 400000, 400000});
    ASSERT_EQ(times.size(), 4u);
    EXPECT_EQ(times[0].stop - times[0].start, 670000);
    EXPECT_EQ(times[1].stop - times[1].start, 660000);
    EXPECT_EQ(times[2].stop - times[2].start, 670000);
    EXPECT_EQ(times[3].stop - times[3].start, 670000);  // the last one as the one before it
}

TEST(FrameTimer, FramesWithoutTimeStampsFollowThePreviousOne)
{
    FrameTimer timer;
    timer.Configure(25.0, true, 0);
    const auto times = TimeAll(timer, {0, std::nullopt, std::nullopt}, {std::nullopt, std::nullopt, std::nullopt});
    ASSERT_EQ(times.size(), 3u);
    EXPECT_EQ(times[0].start, 0);
    EXPECT_EQ(times[1].start, 400000);
    EXPECT_EQ(times[2].start, 800000);
    EXPECT_EQ(times[2].stop, 1200000);
}

TEST(FrameTimer, LoneFrameWithoutAnyRateNeverLastsZero)
{
    FrameTimer fromStream;
    fromStream.Configure(0, true, 500000);
    auto times = TimeAll(fromStream, {0}, {std::nullopt});
    ASSERT_EQ(times.size(), 1u);
    EXPECT_EQ(times[0].stop - times[0].start, 500000);

    FrameTimer nothingKnown;
    nothingKnown.Configure(0, true, 0);
    times = TimeAll(nothingKnown, {std::nullopt, std::nullopt}, {std::nullopt, std::nullopt});
    ASSERT_EQ(times.size(), 2u);
    EXPECT_EQ(times[0].stop - times[0].start, FrameTimer::kDefaultFrameDuration);
    EXPECT_EQ(times[1].start, times[0].stop);
    EXPECT_GT(times[1].stop, times[1].start);
}

TEST(FrameTimer, ResetForgetsTheHeldFrame)
{
    FrameTimer timer;
    timer.Configure(25.0, true, 0);
    EXPECT_FALSE(timer.Push(5000000, 400000));
    EXPECT_TRUE(timer.Holding());
    timer.Reset();
    EXPECT_FALSE(timer.Holding());
    EXPECT_FALSE(timer.Finish());
    EXPECT_FALSE(timer.Push(0, 400000));
    const auto first = timer.Finish();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->start, 0);
}

}  // namespace
}  // namespace klova
