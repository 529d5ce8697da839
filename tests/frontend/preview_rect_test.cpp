#include "frontend/preview_rect.h"

#include <gtest/gtest.h>

namespace klova {
namespace {

TEST(ComputePreviewRect, AFourToThreeSourceInASquareFillsTheWidthAndIsCentredVertically)
{
    EXPECT_EQ(ComputePreviewRect(320, 240, 100, 100), (PreviewRect{0, 12, 100, 87}));
}

TEST(ComputePreviewRect, AnAreaWiderThanThePictureGetsBarsLeftAndRight)
{
    // 4:3 into 200 x 100: the picture is 133.3 wide; edges trunc(66.6) / 2 and trunc(333.3) / 2.
    EXPECT_EQ(ComputePreviewRect(640, 480, 200, 100), (PreviewRect{33, 0, 166, 100}));
}

TEST(ComputePreviewRect, KeepsTheSourceAspectWhateverTheOutputSize)
{
    // 16:9 source (1280 x 720) in a 4:3 area: height 240 * (3/4) * (4/3) ... = 180.
    const PreviewRect rect = ComputePreviewRect(1280, 720, 320, 240);
    EXPECT_EQ(rect.width(), 320);
    EXPECT_EQ(rect.height(), 180);
    EXPECT_EQ(rect.top, 30);
}

TEST(ComputePreviewRect, AnExactFitAndTopDownSourcesNeedNoBars)
{
    EXPECT_EQ(ComputePreviewRect(160, 120, 160, 120), (PreviewRect{0, 0, 160, 120}));
    EXPECT_EQ(ComputePreviewRect(160, -120, 160, 120), (PreviewRect{0, 0, 160, 120}));
}

TEST(ComputePreviewRect, ASourceOrAreaWithoutASizeFillsTheWholeArea)
{
    EXPECT_EQ(ComputePreviewRect(0, 240, 100, 80), (PreviewRect{0, 0, 100, 80}));
    EXPECT_EQ(ComputePreviewRect(320, 0, 100, 80), (PreviewRect{0, 0, 100, 80}));
    EXPECT_EQ(ComputePreviewRect(320, 240, 0, 0), (PreviewRect{0, 0, 0, 0}));
}

}  // namespace
}  // namespace klova
