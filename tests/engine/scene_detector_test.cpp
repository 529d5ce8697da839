#include "engine/scene_detector.h"

#include "platform/media_types.h"
#include "tests/engine/guarded_buffer.h"

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>
#include <vector>

namespace klova {
namespace {

struct Rgb {
    uint8_t r, g, b;
};

// A frame whose four quarters have the given colours (regions 0 to 3).
std::vector<uint8_t> QuarterFrame(int width, int height, const Rgb (&colours)[4])
{
    std::vector<uint8_t> frame(DibImageSize(width, height), 0xEE);  // padding has junk
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Rgb& c = colours[(y < height / 2 ? 0 : 2) + (x < width / 2 ? 0 : 1)];
            uint8_t* p = frame.data() + static_cast<size_t>(y) * DibStride(width) + 3 * x;
            p[0] = c.b;
            p[1] = c.g;
            p[2] = c.r;
        }
    }
    return frame;
}

std::vector<uint8_t> UniformFrame(int width, int height, Rgb colour)
{
    return QuarterFrame(width, height, {colour, colour, colour, colour});
}

ConversionSettings DetectionSettings()
{
    ConversionSettings settings;
    settings.SceneDetection = kSplitClips;
    return settings;  // thresholds: hue 1.0, saturation off, value 0.7
}

// Whether frame b is a change after frame a, with the default thresholds.
bool ChangeBetween(Rgb a, Rgb b, const ConversionSettings& settings = DetectionSettings())
{
    SceneDetector detector(settings, 32, 18);
    EXPECT_TRUE(detector.DetectSceneChange(UniformFrame(32, 18, a).data(), 0, 0));
    return detector.DetectSceneChange(UniformFrame(32, 18, b).data(), 1, 1);
}

TEST(RgbToHsv, ConvertsTheExampleColours)
{
    EXPECT_EQ(RgbToHsv(255, 0, 0), (RegionStats{0, 256, 255}));
    EXPECT_EQ(RgbToHsv(0, 255, 0), (RegionStats{512, 256, 255}));
    EXPECT_EQ(RgbToHsv(0, 0, 255), (RegionStats{1024, 256, 255}));
    EXPECT_EQ(RgbToHsv(255, 128, 0), (RegionStats{129, 256, 255}));  // bc 256 - gc 127
    EXPECT_EQ(RgbToHsv(77, 77, 77), (RegionStats{0, 0, 77}));
    EXPECT_EQ(RgbToHsv(0, 0, 0), (RegionStats{0, 0, 0}));
    // Red below blue wraps round: hue 1536 - 36.
    EXPECT_EQ(RgbToHsv(255, 0, 35).hue, 1500);
    // Ties: red wins over blue, green over blue.
    EXPECT_EQ(RgbToHsv(200, 0, 200).hue, 1536 - 256);
    EXPECT_EQ(RgbToHsv(0, 200, 200).hue, 512 + 256);
    EXPECT_EQ(RgbToHsv(100, 50, 0).saturation, 256);
    EXPECT_EQ(RgbToHsv(200, 100, 100).saturation, 128);
}

TEST(MeasureRegion, RoundsTheMeanOfEachQuarter)
{
    // 5 x 3 frame: regions 0 (2 x 1), 1 (3 x 1), 2 (2 x 2), 3 (3 x 2).
    std::vector<uint8_t> frame(DibImageSize(5, 3), 0xFF);
    auto set = [&](int x, int y, uint8_t grey) {
        uint8_t* p = frame.data() + static_cast<size_t>(y) * DibStride(5) + 3 * x;
        p[0] = p[1] = p[2] = grey;
    };
    set(0, 0, 10), set(1, 0, 11);                 // mean 10.5 rounds up to 11
    set(2, 0, 0), set(3, 0, 0), set(4, 0, 2);     // mean 0.67 rounds to 1
    set(0, 1, 100), set(1, 1, 100), set(0, 2, 100), set(1, 2, 101);  // 100.25 -> 100
    set(2, 1, 255), set(3, 1, 255), set(4, 1, 255), set(2, 2, 255), set(3, 2, 255), set(4, 2, 254);
    EXPECT_EQ(MeasureRegion(frame.data(), 5, 3, 0).value, 11);
    EXPECT_EQ(MeasureRegion(frame.data(), 5, 3, 1).value, 1);
    EXPECT_EQ(MeasureRegion(frame.data(), 5, 3, 2).value, 100);
    EXPECT_EQ(MeasureRegion(frame.data(), 5, 3, 3).value, 255);
    const RegionSet all = MeasureRegions(frame.data(), 5, 3);
    for (int region = 0; region < 4; ++region)
        EXPECT_EQ(all[static_cast<size_t>(region)], MeasureRegion(frame.data(), 5, 3, region));
}

// The one-pass measurement adds 16-pixel blocks in 16-bit lanes: wide rows, odd widths
// and saturated bytes must give the same result as a plain sum.
TEST(MeasureRegions, MatchesPlainSumsOnLargeAndOddFrames)
{
    std::mt19937 random(5);
    for (auto [width, height] : {std::pair{1280, 720}, {9000, 3}, {17, 33}, {33, 17}, {3, 3}}) {
        SCOPED_TRACE(testing::Message() << width << "x" << height);
        std::vector<uint8_t> frame(DibImageSize(width, height));
        for (auto& byte : frame)
            byte = static_cast<uint8_t>(random() % 4 == 0 ? 255 : random());
        const RegionSet measured = MeasureRegions(frame.data(), width, height);
        for (int region = 0; region < 4; ++region) {
            const int x0 = region % 2 ? width / 2 : 0, x1 = region % 2 ? width : width / 2;
            const int y0 = region / 2 ? height / 2 : 0, y1 = region / 2 ? height : height / 2;
            uint64_t sum[3] = {};
            for (int y = y0; y < y1; ++y)
                for (int x = x0; x < x1; ++x)
                    for (int c = 0; c < 3; ++c)
                        sum[c] += frame[static_cast<size_t>(y) * DibStride(width) + 3 * x + c];
            const uint64_t n = static_cast<uint64_t>(x1 - x0) * (y1 - y0);
            auto mean = [&](int c) { return static_cast<uint16_t>((sum[c] + n / 2) / n); };
            EXPECT_EQ(measured[static_cast<size_t>(region)], RgbToHsv(mean(2), mean(1), mean(0)));
        }
    }
}

TEST(MeasureRegions, ReadsNothingOutsideTheFrameEvenWhenOnePixelWide)
{
    for (auto [width, height] : {std::pair{1, 1}, {1, 7}, {7, 1}, {2, 2}, {37, 5}}) {
        SCOPED_TRACE(testing::Message() << width << "x" << height);
        const size_t tightSize = static_cast<size_t>(DibStride(width)) * (height - 1) + 3 * static_cast<size_t>(width);
        test::GuardedBuffer frame(tightSize);
        std::fill(frame.data(), frame.data() + tightSize, uint8_t{200});
        const RegionSet regions = MeasureRegions(frame.data(), width, height);
        // Empty quarters of a frame one pixel wide or high measure as black.
        for (int region = 0; region < 4; ++region) {
            const bool empty = (region % 2 == 0 && width < 2) || (region / 2 == 0 && height < 2);
            EXPECT_EQ(regions[static_cast<size_t>(region)].value, empty ? 0 : 200) << "region " << region;
            EXPECT_EQ(MeasureRegion(frame.data(), width, height, region).value, empty ? 0 : 200);
        }
    }
}

TEST(SceneDetector, ValueDistanceNeedsSeventyPercentOfTheMean)
{
    EXPECT_FALSE(ChangeBetween({100, 100, 100}, {200, 200, 200}));  // 100 / 150
    EXPECT_TRUE(ChangeBetween({100, 100, 100}, {220, 220, 220}));   // 120 / 160
    EXPECT_TRUE(ChangeBetween({220, 220, 220}, {100, 100, 100}));
}

TEST(SceneDetector, HueDistanceGoesTheShortWayRound)
{
    ASSERT_EQ(RgbToHsv(255, 99, 0).hue, 100);
    ASSERT_EQ(RgbToHsv(211, 255, 0).hue, 300);
    ASSERT_EQ(RgbToHsv(255, 0, 35).hue, 1500);
    ASSERT_EQ(RgbToHsv(255, 19, 0).hue, 20);
    EXPECT_TRUE(ChangeBetween({255, 99, 0}, {211, 255, 0}));   // 200 / 200
    EXPECT_FALSE(ChangeBetween({255, 0, 35}, {255, 19, 0}));   // 56 / 760
}

TEST(SceneDetector, AFadeFromBlackIsNoChangeByValue)
{
    EXPECT_FALSE(ChangeBetween({0, 0, 0}, {90, 90, 90}));
    EXPECT_FALSE(ChangeBetween({0, 0, 0}, {255, 255, 255}));
}

TEST(SceneDetector, ThresholdsOfZeroOrLessSwitchTheirTestOff)
{
    ConversionSettings settings = DetectionSettings();
    settings.ValThreshold = 0.0;
    EXPECT_FALSE(ChangeBetween({100, 100, 100}, {250, 250, 250}, settings));
    settings.HueThreshold = -1.0;
    EXPECT_FALSE(ChangeBetween({255, 99, 0}, {211, 255, 0}, settings));
    // Saturation: off by default, on with a positive threshold.
    EXPECT_FALSE(ChangeBetween({200, 100, 100}, {200, 190, 190}));
    settings.SatThreshold = 0.5;
    EXPECT_TRUE(ChangeBetween({200, 100, 100}, {200, 190, 190}, settings));  // 128 -> 12
}

TEST(SceneDetector, AChangeInOneQuarterIsEnough)
{
    const Rgb grey{100, 100, 100}, bright{230, 230, 230};
    SceneDetector detector(DetectionSettings(), 64, 36);
    EXPECT_TRUE(detector.DetectSceneChange(UniformFrame(64, 36, grey).data(), 0, 0));
    EXPECT_FALSE(detector.DetectSceneChange(UniformFrame(64, 36, grey).data(), 1, 1));
    EXPECT_TRUE(detector.DetectSceneChange(QuarterFrame(64, 36, {grey, grey, grey, bright}).data(), 2, 1));
}

TEST(SceneDetector, IdenticalFramesAreNoChangeAndACutIsReportedOnce)
{
    std::mt19937 random(9);
    std::vector<uint8_t> noise(DibImageSize(48, 30));
    for (auto& byte : noise)
        byte = static_cast<uint8_t>(random());
    const auto dark = UniformFrame(48, 30, {10, 10, 30});
    const auto light = UniformFrame(48, 30, {200, 200, 250});

    SceneDetector detector(DetectionSettings(), 48, 30);
    EXPECT_TRUE(detector.DetectSceneChange(noise.data(), 0, 0));
    EXPECT_FALSE(detector.DetectSceneChange(noise.data(), 1, 1));
    EXPECT_TRUE(detector.DetectSceneChange(dark.data(), 2, 1));
    // The frame that changed is the new reference: no second report.
    EXPECT_FALSE(detector.DetectSceneChange(dark.data(), 3, 2));
    EXPECT_FALSE(detector.DetectSceneChange(dark.data(), 4, 2));
    EXPECT_TRUE(detector.DetectSceneChange(light.data(), 5, 2));
    EXPECT_EQ(detector.regionReference(), MeasureRegions(light.data(), 48, 30));
    EXPECT_FALSE(detector.DetectSceneChange(light.data(), 6, 3));
}

TEST(SceneDetector, SceneDetectionZeroCountsOnlyTheFirstFrameAndMeasuresNothing)
{
    ConversionSettings settings;
    settings.SceneDetection = kSplitNone;
    settings.ShowStatistics = true;
    SceneDetector detector(settings, 16, 16);
    // A null frame would crash any measurement.
    EXPECT_TRUE(detector.DetectSceneChange(nullptr, 0, 0));
    for (int64_t frame = 1; frame < 50; ++frame)
        EXPECT_FALSE(detector.DetectSceneChange(nullptr, frame, 1));
    EXPECT_EQ(detector.statusLine(), "");
}

TEST(SceneDetector, StatusLineShowsFrameClipsAndTheFourValues)
{
    ConversionSettings settings = DetectionSettings();
    settings.ShowStatistics = true;
    SceneDetector detector(settings, 40, 20);
    const auto frame = QuarterFrame(40, 20, {{10, 20, 30}, {0, 0, 0}, {255, 0, 0}, {7, 7, 7}});
    EXPECT_TRUE(detector.DetectSceneChange(frame.data(), 0, 0));
    EXPECT_EQ(detector.statusLine(), "");  // not after the first frame
    EXPECT_FALSE(detector.DetectSceneChange(frame.data(), 1, 1));
    EXPECT_EQ(detector.statusLine(), "1/1: 30 0 255 7");
    EXPECT_FALSE(detector.DetectSceneChange(frame.data(), (int64_t{1} << 32) + 12, 3));
    EXPECT_EQ(detector.statusLine(), "12/3: 30 0 255 7");  // the index's low 32 bits

    settings.ShowStatistics = false;
    SceneDetector quiet(settings, 40, 20);
    quiet.DetectSceneChange(frame.data(), 0, 0);
    quiet.DetectSceneChange(frame.data(), 1, 1);
    EXPECT_EQ(quiet.statusLine(), "");
}

TEST(SceneDetector, RefusesNonPositiveSizes)
{
    EXPECT_THROW(SceneDetector(DetectionSettings(), 0, 10), std::invalid_argument);
    EXPECT_THROW(SceneDetector(DetectionSettings(), 10, -1), std::invalid_argument);
}

}  // namespace
}  // namespace klova
