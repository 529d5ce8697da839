#include "engine/scene_detector.h"

#include "engine/pixel_sums.h"

#include "platform/media_types.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

namespace klova {
namespace {

uint16_t MeanChannel(uint64_t sum, uint64_t pixels)
{
    return pixels == 0 ? 0 : static_cast<uint16_t>((sum + pixels / 2) / pixels);
}

RegionStats HsvOfMean(const ChannelSums& sums, uint64_t pixels)
{
    return RgbToHsv(MeanChannel(sums.red, pixels), MeanChannel(sums.green, pixels), MeanChannel(sums.blue, pixels));
}

struct RegionBounds {
    int32_t left, top, right, bottom;
};

RegionBounds BoundsOf(int region, int32_t width, int32_t height)
{
    const int32_t midX = width / 2;
    const int32_t midY = height / 2;
    const bool rightHalf = region == 1 || region == 3;
    const bool lowerHalf = region == 2 || region == 3;
    return {rightHalf ? midX : 0, lowerHalf ? midY : 0, rightHalf ? width : midX, lowerHalf ? height : midY};
}

// |c - r| / ((c + r + 1) / 2), the divisor in integers; 0 when either side is 0.
double RelativeDistance(int32_t current, int32_t reference)
{
    if (current == 0 || reference == 0)
        return 0.0;
    return std::abs(current - reference) / static_cast<double>((current + reference + 1) / 2);
}

// The same for hues, measured the short way round the circle of 1536 units.
double HueDistance(int32_t current, int32_t reference)
{
    if (current == 0 || reference == 0)
        return 0.0;
    int32_t distance = std::abs(current - reference);
    if (distance >= 768)
        distance = 1536 - distance;
    return distance / static_cast<double>((current + reference + 1) / 2);
}

}  // namespace

RegionStats RgbToHsv(uint16_t r, uint16_t g, uint16_t b)
{
    const int32_t red = r;
    const int32_t green = g;
    const int32_t blue = b;
    const int32_t max = std::max({red, green, blue});
    const int32_t min = std::min({red, green, blue});
    RegionStats stats;
    stats.value = max;
    stats.saturation = max != 0 ? (max - min) * 256 / max : 0;
    if (stats.saturation == 0)
        return stats;
    const int32_t d = max - min;
    const int32_t rc = (max - red) * 256 / d;
    const int32_t gc = (max - green) * 256 / d;
    const int32_t bc = (max - blue) * 256 / d;
    if (red == max)
        stats.hue = bc - gc;
    else if (green == max)
        stats.hue = 512 + rc - bc;
    else
        stats.hue = 1024 + gc - rc;
    if (stats.hue < 0)
        stats.hue += 1536;
    return stats;
}

RegionStats MeasureRegion(const uint8_t* frame, int32_t width, int32_t height, int region)
{
    const PixelSummer addPixels = PixelSummerFor(BestSimdLevel());
    if (region < 0 || region >= kRegionCount)
        throw std::invalid_argument("no region " + std::to_string(region));
    const RegionBounds bounds = BoundsOf(region, width, height);
    const size_t stride = static_cast<size_t>(DibStride(width));
    const size_t pixelsPerRow = static_cast<size_t>(bounds.right - bounds.left);
    ChannelSums sums;
    for (int32_t y = bounds.top; y < bounds.bottom; ++y)
        addPixels(frame + static_cast<size_t>(y) * stride + 3 * static_cast<size_t>(bounds.left), pixelsPerRow, sums);
    return HsvOfMean(sums, pixelsPerRow * static_cast<uint64_t>(bounds.bottom - bounds.top));
}

RegionSet MeasureRegions(const uint8_t* frame, int32_t width, int32_t height, SimdLevel level)
{
    const PixelSummer addPixels = PixelSummerFor(level);
    const size_t stride = static_cast<size_t>(DibStride(width));
    const int32_t midX = width / 2;
    const int32_t midY = height / 2;
    const size_t leftPixels = static_cast<size_t>(midX);
    const size_t rightPixels = static_cast<size_t>(width - midX);
    ChannelSums sums[kRegionCount];
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* row = frame + static_cast<size_t>(y) * stride;
        const int upperRegion = y < midY ? 0 : 2;
        addPixels(row, leftPixels, sums[upperRegion]);
        addPixels(row + 3 * leftPixels, rightPixels, sums[upperRegion + 1]);
    }
    const uint64_t upperRows = static_cast<uint64_t>(midY);
    const uint64_t lowerRows = static_cast<uint64_t>(height - midY);
    return {HsvOfMean(sums[0], leftPixels * upperRows), HsvOfMean(sums[1], rightPixels * upperRows),
            HsvOfMean(sums[2], leftPixels * lowerRows), HsvOfMean(sums[3], rightPixels * lowerRows)};
}

SceneDetector::SceneDetector(const ConversionSettings& settings, int32_t width, int32_t height)
    : splitMode_(settings.SceneDetection),
      showStatistics_(settings.ShowStatistics),
      hueThreshold_(settings.HueThreshold),
      satThreshold_(settings.SatThreshold),
      valThreshold_(settings.ValThreshold),
      width_(width),
      height_(height)
{
    if (width <= 0 || height <= 0)
        throw std::invalid_argument("scene detection needs a positive frame size");
    statusLine_.reserve(64);  // the longest line has 40 characters: no allocation per frame
}

bool SceneDetector::RegionChanged(const RegionStats& current, const RegionStats& reference) const
{
    return (hueThreshold_ > 0 && HueDistance(current.hue, reference.hue) >= hueThreshold_) ||
           (satThreshold_ > 0 && RelativeDistance(current.saturation, reference.saturation) >= satThreshold_) ||
           (valThreshold_ > 0 && RelativeDistance(current.value, reference.value) >= valThreshold_);
}

bool SceneDetector::DetectSceneChange(const uint8_t* frame, int64_t framesRead, int32_t clipIndex)
{
    if (splitMode_ == kSplitNone)
        return framesRead == 0;
    const RegionSet current = MeasureRegions(frame, width_, height_);
    if (framesRead == 0) {
        reference_ = current;
        return true;
    }
    bool changed = false;
    for (int i = 0; i < kRegionCount && !changed; ++i)
        changed = RegionChanged(current[static_cast<size_t>(i)], reference_[static_cast<size_t>(i)]);
    if (showStatistics_) {
        // The frame index is shown as the 32-bit value it always was.
        char line[64];
        const int length = std::snprintf(line, sizeof line, "%ld/%ld: %d %d %d %d",
                                         static_cast<long>(static_cast<int32_t>(framesRead)),
                                         static_cast<long>(clipIndex), current[0].value, current[1].value,
                                         current[2].value, current[3].value);
        statusLine_.assign(line, static_cast<size_t>(std::clamp(length, 0, static_cast<int>(sizeof line) - 1)));
    }
    reference_ = current;
    return changed;
}

}  // namespace klova
