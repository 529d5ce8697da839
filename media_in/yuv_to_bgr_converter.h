// Converts decoded 8-bit 4:2:0 frames (I420, YV12, NV12) straight into the reader's
// bottom-up BGR24 DIB, in the one pass that would otherwise only copy and flip an
// already converted frame. Other formats reach the sink as BGR from videoconvert.
// The row kernels are vector code where the processor has it (yuv_to_bgr_rows.h).
#pragma once

#include "media_in/yuv_to_bgr_rows.h"
#include "platform/simd_level.h"

#include <gst/video/video.h>

#include <cstdint>
#include <vector>

namespace klova {

class YuvToBgrConverter {
public:
    // The instruction set of the row kernels; tests force each.
    explicit YuvToBgrConverter(SimdLevel level = BestSimdLevel()) : level_(level) {}

    static bool Supports(GstVideoFormat format);

    // Takes the frame size, the matrix (BT.601, BT.709, ...) and the range of the
    // colorimetry; sizes the row buffers. Called when the format is negotiated, on the
    // streaming thread.
    void Configure(const GstVideoInfo& info);

    // Whether Configure was last called with this size and colorimetry.
    bool ConfiguredFor(const GstVideoInfo& info) const;

    // Writes the DIB: DibStride(width) x height bytes, the last row of the frame first,
    // row padding zeroed. frame must be of the configured format and size. dibRows,
    // when given (one flag per DIB row, in buffer order), limits the writing to the rows
    // flagged; the others keep whatever they held.
    void Convert(const GstVideoFrame& frame, uint8_t* dib, const std::vector<uint8_t>* dibRows = nullptr);

private:
    const SimdLevel level_;
    const YuvToBgrRows* rows_ = nullptr;  // chosen by Configure
    int32_t width_ = 0;
    int32_t height_ = 0;
    GstVideoColorimetry colorimetry_{};
    YuvToBgrCoefficients coefficients_;
    // The chroma terms of the current chroma row, one per chroma sample.
    std::vector<int32_t> redTerm_;
    std::vector<int32_t> greenTerm_;
    std::vector<int32_t> blueTerm_;
};

}  // namespace klova
