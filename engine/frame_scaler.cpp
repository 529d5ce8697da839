#include "engine/frame_scaler.h"

#include "platform/media_types.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace klova {
namespace {

constexpr int32_t kSubPixels = 16;  // 4-bit sub-pixel positions
constexpr int32_t kFullWeight = 15;
constexpr uint32_t kLargestIndex = 255 * 225;  // every reachable table index

// (n + 112) / 225 as a multiplication and shifts: n * 37283 / 2^23 equals n / 225 for
// every n up to 125,000, far beyond the largest reachable n + 112 = 57,487. Split as
// the high half of a 16 x 16-bit product, then a shift, so it stays in 16-bit lanes.
constexpr uint32_t kDivide225Multiplier = 37283;
constexpr int kDivide225Shift = 7;  // after taking the high 16 bits: 16 + 7 = 23

constexpr uint8_t TableEntry(uint32_t index)
{
    return static_cast<uint8_t>(std::min<uint32_t>(255, (index + 112) / 225));
}

constexpr uint8_t Divide225Rounded(uint32_t weightedSum)
{
    const uint32_t high = ((weightedSum + 112) * kDivide225Multiplier) >> 16;
    return static_cast<uint8_t>(high >> kDivide225Shift);
}

constexpr bool DivisionMatchesTable()
{
    for (uint32_t index = 0; index <= kLargestIndex; ++index) {
        if (Divide225Rounded(index) != TableEntry(index))
            return false;
    }
    return true;
}
static_assert(DivisionMatchesTable(), "FrameScaler's division must reproduce DivideTable");

// A position in sixteenths of a source pixel: (i * sourceLength * 16) / outputLength.
// Computed in 64 bits, so very large frames cannot overflow; for every size where the
// 32-bit product fits, the result is the same.
struct SourcePosition {
    int32_t index;     // left or upper neighbour, at most sourceLength - 2
    int32_t fraction;  // 0 to 15
};

SourcePosition PositionOf(int32_t i, int32_t sourceLength, int32_t outputLength)
{
    const int64_t sixteenths = static_cast<int64_t>(i) * sourceLength * kSubPixels / outputLength;
    return {static_cast<int32_t>(std::min<int64_t>(sixteenths / kSubPixels, sourceLength - 2)),
            static_cast<int32_t>(sixteenths % kSubPixels)};
}

void RequireScalable(int32_t sw, int32_t sh, int32_t dw, int32_t dh)
{
    if (sw < 2 || sh < 2)
        throw std::invalid_argument("frame scaling needs a source of at least 2 x 2 pixels, got " +
                                    std::to_string(sw) + " x " + std::to_string(sh));
    if (dw <= 0 || dh <= 0)
        throw std::invalid_argument("frame scaling needs a positive output size, got " + std::to_string(dw) +
                                    " x " + std::to_string(dh));
}

}  // namespace

DivideTable::DivideTable() : entries_(kSize)
{
    for (size_t i = 0; i < kSize; ++i)
        entries_[i] = TableEntry(static_cast<uint32_t>(i));
}

void ScaleFrame(const DivideTable& table, const uint8_t* src, int sw, int sh, uint8_t* dst, int dw, int dh)
{
    RequireScalable(sw, sh, dw, dh);
    const size_t sourceStride = static_cast<size_t>(DibStride(sw));
    const size_t destinationStride = static_cast<size_t>(DibStride(dw));
    for (int y = 0; y < dh; ++y) {
        const SourcePosition row = PositionOf(y, sh, dh);
        const int wy = row.fraction;
        const uint8_t* upper = src + static_cast<size_t>(row.index) * sourceStride;
        const uint8_t* lower = upper + sourceStride;
        uint8_t* out = dst + static_cast<size_t>(y) * destinationStride;
        for (int x = 0; x < dw; ++x) {
            const SourcePosition column = PositionOf(x, sw, dw);
            const int wx = column.fraction;
            const int w00 = (kFullWeight - wx) * (kFullWeight - wy);
            const int w01 = wx * (kFullWeight - wy);
            const int w10 = (kFullWeight - wx) * wy;
            const int w11 = wx * wy;
            const size_t left = 3 * static_cast<size_t>(column.index);
            for (int c = 0; c < 3; ++c) {
                const int sum = w00 * upper[left + c] + w01 * upper[left + 3 + c] + w10 * lower[left + c] +
                                w11 * lower[left + 3 + c];
                out[3 * static_cast<size_t>(x) + c] = table[static_cast<size_t>(sum)];
            }
        }
    }
}

FrameScaler::FrameScaler(int32_t sourceWidth, int32_t sourceHeight, int32_t outputWidth, int32_t outputHeight,
                         SimdLevel level)
    : sourceWidth_(sourceWidth),
      sourceHeight_(sourceHeight),
      outputWidth_(outputWidth),
      outputHeight_(outputHeight),
      needsScaling_(sourceWidth != outputWidth || sourceHeight != outputHeight),
      filterRow_(ScalerRowFilterFor(level))
{
    if (sourceWidth <= 0 || sourceHeight <= 0 || outputWidth <= 0 || outputHeight <= 0)
        throw std::invalid_argument("frame sizes must be positive");
    sourceStride_ = static_cast<size_t>(DibStride(sourceWidth));
    outputStride_ = static_cast<size_t>(DibStride(outputWidth));
    if (!needsScaling_)
        return;
    RequireScalable(sourceWidth, sourceHeight, outputWidth, outputHeight);

    columnOffset_.resize(static_cast<size_t>(outputWidth));
    columnWeights_.resize(static_cast<size_t>(outputWidth));
    for (int32_t x = 0; x < outputWidth; ++x) {
        const SourcePosition column = PositionOf(x, sourceWidth, outputWidth);
        columnOffset_[static_cast<size_t>(x)] = 3 * static_cast<uint32_t>(column.index);
        columnWeights_[static_cast<size_t>(x)] = ScalerWeights(static_cast<uint32_t>(kFullWeight - column.fraction),
                                                               static_cast<uint32_t>(column.fraction));
    }
    sourceRow_.resize(static_cast<size_t>(outputHeight));
    rowFraction_.resize(static_cast<size_t>(outputHeight));
    for (int32_t y = 0; y < outputHeight; ++y) {
        const SourcePosition row = PositionOf(y, sourceHeight, outputHeight);
        sourceRow_[static_cast<size_t>(y)] = row.index;
        rowFraction_[static_cast<size_t>(y)] = static_cast<uint16_t>(row.fraction);
    }
    for (auto& row : rowCache_)
        row.resize(3 * static_cast<size_t>(outputWidth) + kScalerRowSlack);
}

std::vector<uint8_t> FrameScaler::SourceRowsRead() const
{
    std::vector<uint8_t> rows(static_cast<size_t>(sourceHeight_), needsScaling_ ? 0 : 1);
    if (!needsScaling_)
        return rows;
    for (size_t y = 0; y < sourceRow_.size(); ++y) {
        const auto upper = static_cast<size_t>(sourceRow_[y]);
        rows[upper] = 1;
        // With a fraction of 0 the lower row has no weight and Scale does not read it.
        if (rowFraction_[y] != 0)
            rows[upper + 1] = 1;
    }
    return rows;
}

size_t FrameScaler::OutputImageSize() const
{
    return outputStride_ * static_cast<size_t>(outputHeight_);
}

const uint8_t* FrameScaler::ConvertFrame(const uint8_t* source, uint8_t* frameBuffer)
{
    if (!needsScaling_)
        return source;
    Scale(source, frameBuffer);
    return frameBuffer;
}

const uint16_t* FrameScaler::FilteredRow(const uint8_t* source, int32_t sourceRow, int32_t keepRow)
{
    for (int slot = 0; slot < 2; ++slot) {
        if (cachedRow_[slot] == sourceRow)
            return rowCache_[slot].data();
    }
    const int slot = cachedRow_[0] == keepRow ? 1 : 0;
    filterRow_(source + static_cast<size_t>(sourceRow) * sourceStride_, columnOffset_.data(), columnWeights_.data(),
               outputWidth_, rowCache_[slot].data());
    cachedRow_[slot] = sourceRow;
    return rowCache_[slot].data();
}

void FrameScaler::Scale(const uint8_t* source, uint8_t* destination)
{
    // The cache holds rows of the previous frame.
    cachedRow_[0] = cachedRow_[1] = -1;
    const size_t bytesPerRow = 3 * static_cast<size_t>(outputWidth_);
    for (int32_t y = 0; y < outputHeight_; ++y) {
        const int32_t upperRow = sourceRow_[static_cast<size_t>(y)];
        const uint16_t wy = rowFraction_[static_cast<size_t>(y)];
        // With wy 0 the lower row has weight 0; the upper one stands in for it.
        const uint16_t* upper = FilteredRow(source, upperRow, wy ? upperRow + 1 : -1);
        const uint16_t* lower = wy ? FilteredRow(source, upperRow + 1, upperRow) : upper;
        const uint16_t upperWeight = static_cast<uint16_t>(kFullWeight - wy);
        uint8_t* out = destination + static_cast<size_t>(y) * outputStride_;
        // Every sum is at most 15 * 3825 = 57,375: it fits 16 bits, and so does + 112.
        for (size_t i = 0; i < bytesPerRow; ++i) {
            const uint16_t sum = static_cast<uint16_t>(upperWeight * upper[i] + wy * lower[i] + 112);
            const uint16_t high = static_cast<uint16_t>((static_cast<uint32_t>(sum) * kDivide225Multiplier) >> 16);
            out[i] = static_cast<uint8_t>(high >> kDivide225Shift);
        }
    }
}

}  // namespace klova
