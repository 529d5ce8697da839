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

TEST(ProgressText, RoundsTheSecondsLeftUpAndShowsHours)
{
    ConversionProgress progress{true, 500, 3'723'001u};
    EXPECT_EQ(ProgressText(progress), "50%, 1:02:04 left");
}

}  // namespace
}  // namespace klova
