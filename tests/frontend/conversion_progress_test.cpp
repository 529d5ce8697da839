#include "frontend/conversion_progress.h"

#include <gtest/gtest.h>

namespace klova {
namespace {

TEST(EstimateProgress, MeasuresSourceTimeAgainstTheDurationAndProjectsTheTimeLeft)
{
    const ConversionProgress quarter = EstimateProgress(25 * kUnitsPerSecond, 100 * kUnitsPerSecond, 10'000);
    EXPECT_TRUE(quarter.known);
    EXPECT_EQ(quarter.permille, 250);
    ASSERT_TRUE(quarter.msLeft);
    EXPECT_EQ(*quarter.msLeft, 30'000u);
    EXPECT_EQ(ProgressText(quarter), "25%, 0:00:30 left");
}

TEST(EstimateProgress, HasNoEstimateBeforeAnythingIsConvertedAndStopsAtTheEnd)
{
    const ConversionProgress start = EstimateProgress(0, 100 * kUnitsPerSecond, 500);
    EXPECT_EQ(start.permille, 0);
    EXPECT_FALSE(start.msLeft);
    EXPECT_EQ(ProgressText(start), "0%");

    // Audio after the video can carry the source time past the stated duration.
    const ConversionProgress beyond = EstimateProgress(120 * kUnitsPerSecond, 100 * kUnitsPerSecond, 9'000);
    EXPECT_EQ(beyond.permille, kProgressRange);
    EXPECT_EQ(*beyond.msLeft, 0u);
    EXPECT_EQ(ProgressText(beyond), "100%, 0:00:00 left");
}

TEST(EstimateProgress, AnUnknownDurationGivesNoProgress)
{
    const ConversionProgress unknown = EstimateProgress(5 * kUnitsPerSecond, 0, 1000);
    EXPECT_FALSE(unknown.known);
    EXPECT_EQ(ProgressText(unknown), "");
}

TEST(EndedFarShortOfDuration, OnlyAnInputThatStopsWellBeforeItsDurationIsSuspect)
{
    constexpr MediaTime second = kUnitsPerSecond;
    EXPECT_TRUE(EndedFarShortOfDuration(5 * second, 10 * second));
    EXPECT_TRUE(EndedFarShortOfDuration(0, 10 * second));
    // Rounding at the end, a last frame or two, a stated duration a little long.
    EXPECT_FALSE(EndedFarShortOfDuration(10 * second - 400'000, 10 * second));
    EXPECT_FALSE(EndedFarShortOfDuration(95 * second, 100 * second));
    // Short clips: under a second missing is not worth a word.
    EXPECT_FALSE(EndedFarShortOfDuration(second, 19 * second / 10));
    // More than promised, or nothing promised.
    EXPECT_FALSE(EndedFarShortOfDuration(12 * second, 10 * second));
    EXPECT_FALSE(EndedFarShortOfDuration(5 * second, 0));
    EXPECT_EQ(ShortInputWarning(49'200'000, 100'000'000),
              "warning: the input ended after 4.9 s of the 10.0 s it states; it may be damaged. "
              "The output holds what could be read.");
}

TEST(ProgressText, RoundsTheSecondsLeftUpAndShowsHours)
{
    ConversionProgress progress{true, 500, 3'723'001u};
    EXPECT_EQ(ProgressText(progress), "50%, 1:02:04 left");
}

}  // namespace
}  // namespace klova
