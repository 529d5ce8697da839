// Bilinear scaling of RGB24 DIB frames with 4-bit sub-pixel positions and integer
// weights: the reference ScaleFrame and the FrameScaler used by the frame loop.
//
// Frames are B, G, R bytes with rows padded to DibStride(width) bytes; rows are
// processed in buffer order, so the vertical orientation is kept. Padding bytes of
// destination rows are never written.
#pragma once

#include "engine/scaler_row_filter.h"
#include "platform/simd_level.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace klova {

// The scaler's division table, 510 x 510 entries: entry i = min(255, (i + 112) / 225),
// i.e. a weighted sum of four pixels divided by 225 (the total weight) rounded to
// nearest. Only entries up to 255 x 225 = 57,375 are reachable.
class DivideTable {
public:
    static constexpr size_t kSize = 510 * 510;

    DivideTable();

    uint8_t operator[](size_t index) const { return entries_[index]; }
    const uint8_t* data() const { return entries_.data(); }

private:
    std::vector<uint8_t> entries_;
};

// The reference algorithm, one pixel at a time with two divisions per column.
// Throws std::invalid_argument for a source narrower or lower than 2 pixels or an
// output size that is not positive: the 2 x 2 neighbourhood would leave the frame.
void ScaleFrame(const DivideTable& table, const uint8_t* src, int sw, int sh, uint8_t* dst, int dw, int dh);

// Scales every frame of one conversion from the source size to the output size.
// Built once at the start of a conversion: the column positions and weights are
// computed here, so a frame costs no division and no allocation. Its output is
// identical, byte for byte, to ScaleFrame's.
//
// The weighted sum is separable: w00*a + w01*b + w10*c + w11*d equals
// (15 - wy) * ((15 - wx) * a + wx * b) + wy * ((15 - wx) * c + wx * d), exactly, in
// integers. So each source row needed is filtered horizontally once (and kept while
// consecutive output rows share it), and the vertical blend and the rounded division
// by 225 run over whole rows in 16-bit lanes the compiler vectorises. The division is a
// multiplication and shifts that equal every reachable DivideTable entry (checked at
// compile time), so the scaler needs no table. The horizontal filter is vector code
// where the processor has it (scaler_row_filter.h).
//
// Not thread-safe: Scale uses the scaler's own row buffers.
class FrameScaler {
public:
    // Throws std::invalid_argument when a size is not positive, or when the sizes
    // differ and the source is narrower or lower than 2 pixels. Equal sizes of any
    // positive value are accepted: such frames pass through unchanged. level picks the
    // instruction set of the horizontal filter; tests force each.
    FrameScaler(int32_t sourceWidth, int32_t sourceHeight, int32_t outputWidth, int32_t outputHeight,
                SimdLevel level = BestSimdLevel());

    FrameScaler(const FrameScaler&) = delete;
    FrameScaler& operator=(const FrameScaler&) = delete;

    bool NeedsScaling() const { return needsScaling_; }

    // Bytes the caller's frame buffer must hold: DibStride(outputWidth) x outputHeight.
    size_t OutputImageSize() const;

    // The frame to hand on: source itself when the sizes are equal (nothing is
    // copied), otherwise source scaled into frameBuffer (OutputImageSize() bytes,
    // owned by the caller), and frameBuffer is returned.
    const uint8_t* ConvertFrame(const uint8_t* source, uint8_t* frameBuffer);
    // The same for a writable source: the frame handed on is writable too.
    uint8_t* ConvertFrame(uint8_t* source, uint8_t* frameBuffer)
    {
        return NeedsScaling() ? (Scale(source, frameBuffer), frameBuffer) : source;
    }

    // Which source rows (in buffer order) Scale reads: one flag per row, 1 for a row it
    // reads. Every row when the sizes are equal (the frame is handed on whole).
    std::vector<uint8_t> SourceRowsRead() const;

    // Scales source (DibStride(sourceWidth) x sourceHeight bytes) into destination.
    // Only the pixel bytes of each destination row are written. Must not be called
    // when NeedsScaling() is false.
    void Scale(const uint8_t* source, uint8_t* destination);

private:
    // The filtered source row sourceRow (3 values per output pixel, the horizontal
    // blend (15 - wx) * left + wx * right), from the two-row cache or computed into the
    // slot that does not hold keepRow.
    const uint16_t* FilteredRow(const uint8_t* source, int32_t sourceRow, int32_t keepRow);

    int32_t sourceWidth_;
    int32_t sourceHeight_;
    int32_t outputWidth_;
    int32_t outputHeight_;
    size_t sourceStride_;
    size_t outputStride_;
    bool needsScaling_;

    ScalerRowFilter filterRow_;
    // Per output column: byte offset of the left neighbour within a source row, and
    // the two horizontal weights 15 - wx and wx (ScalerWeights).
    std::vector<uint32_t> columnOffset_;
    std::vector<uint32_t> columnWeights_;
    // Per output row: the upper source row and the vertical fraction wy.
    std::vector<int32_t> sourceRow_;
    std::vector<uint16_t> rowFraction_;

    // Two horizontally filtered source rows (with kScalerRowSlack values to spare) and
    // the source rows they hold (-1: none).
    std::vector<uint16_t> rowCache_[2];
    int32_t cachedRow_[2] = {-1, -1};
};

}  // namespace klova
