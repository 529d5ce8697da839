// Scene-change detection: the mean colour of each quarter of a frame, in an integer
// hue/saturation/value space, compared with the same quarter of the previously
// analysed frame against the user's thresholds.
#pragma once

#include "engine/conversion_settings.h"
#include "platform/simd_level.h"

#include <array>
#include <cstdint>
#include <string>

namespace klova {

// Hue, saturation and value of one region's mean colour.
struct RegionStats {
    int32_t hue = 0;         // 0 to 1535; 256 units per sextant, 0 for greys
    int32_t saturation = 0;  // 0 to 256: (max - min) * 256 / max
    int32_t value = 0;       // 0 to 255: the largest channel

    bool operator==(const RegionStats&) const = default;
};

// Integer conversion of a colour (channels 0 to 255), divisions truncating. Red wins a
// tie for the largest channel, then green: (255, 128, 0) gives hue 129.
RegionStats RgbToHsv(uint16_t r, uint16_t g, uint16_t b);

// The quarters of a frame W x H (W / 2 and H / 2 truncated; right and bottom edges
// exclusive), counted from the start of the buffer:
//   0: x 0..W/2, y 0..H/2    1: x W/2..W, y 0..H/2
//   2: x 0..W/2, y H/2..H    3: x W/2..W, y H/2..H
inline constexpr int kRegionCount = 4;
using RegionSet = std::array<RegionStats, kRegionCount>;

// The HSV of a region's mean colour, each channel's mean rounded to nearest (halves
// up) from 64-bit sums. frame is an RGB24 DIB (B, G, R; rows DibStride(width) bytes).
// An empty region (a frame 1 pixel wide or high) measures as black; no byte outside
// the region is read. Throws std::invalid_argument for a region outside 0 to 3.
RegionStats MeasureRegion(const uint8_t* frame, int32_t width, int32_t height, int region);

// All four regions in one pass over the pixels, with the pixel sums of the given
// instruction set (every set gives the same sums; tests force each).
RegionSet MeasureRegions(const uint8_t* frame, int32_t width, int32_t height, SimdLevel level = BestSimdLevel());

// Decides for each source frame read whether a new scene starts with it, and keeps the
// region reference (the last analysed frame) and the scene values line.
// Single-threaded: called on the conversion's thread only.
class SceneDetector {
public:
    // Reads SceneDetection, ShowStatistics and the hue, saturation and value
    // thresholds (a threshold of 0 or less switches its test off). width and height
    // are the source frame size; throws std::invalid_argument unless both are positive.
    SceneDetector(const ConversionSettings& settings, int32_t width, int32_t height);

    // framesRead is the 0-based index of this frame; the first frame always starts a
    // scene. With SceneDetection 0 that is all: nothing is measured. Otherwise the frame
    // becomes the new reference whether or not it changed, so a cut is reported once.
    bool DetectSceneChange(const uint8_t* frame, int64_t framesRead, int32_t clipIndex);

    // "frame/clips: v0 v1 v2 v3" after each analysed frame but the first when
    // ShowStatistics is set; empty otherwise.
    const std::string& statusLine() const { return statusLine_; }
    const RegionSet& regionReference() const { return reference_; }

private:
    bool RegionChanged(const RegionStats& current, const RegionStats& reference) const;

    int32_t splitMode_;
    bool showStatistics_;
    double hueThreshold_;
    double satThreshold_;
    double valThreshold_;
    int32_t width_;
    int32_t height_;
    RegionSet reference_{};
    std::string statusLine_;
};

}  // namespace klova
