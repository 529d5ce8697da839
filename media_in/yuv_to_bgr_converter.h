// Converts decoded 8-bit 4:2:0 frames (I420, YV12, NV12) straight into the reader's
// bottom-up BGR24 DIB, in the one pass that would otherwise only copy and flip an
// already converted frame. Other formats reach the sink as BGR from videoconvert.
#pragma once

#include <gst/video/video.h>

#include <cstdint>
#include <vector>

namespace klova {

class YuvToBgrConverter {
public:
    static bool Supports(GstVideoFormat format);

    // Takes the frame size, the matrix (BT.601, BT.709, ...) and the range of the
    // colorimetry; sizes the row buffers. Called when the format is negotiated, on the
    // streaming thread.
    void Configure(const GstVideoInfo& info);

    // Whether Configure was last called with this size and colorimetry.
    bool ConfiguredFor(const GstVideoInfo& info) const;

    // Writes the whole DIB: DibStride(width) x height bytes, the last row of the frame
    // first, row padding zeroed. frame must be of the configured format and size.
    void Convert(const GstVideoFrame& frame, uint8_t* dib);

private:
    // Per-pixel chroma terms of one chroma row, in 16.16 fixed point with the rounding
    // half already added.
    void PrepareChromaRow(const uint8_t* u, const uint8_t* v, ptrdiff_t step);

    int32_t width_ = 0;
    int32_t height_ = 0;
    GstVideoColorimetry colorimetry_{};
    int32_t lumaOffset_ = 0;   // 16 for limited range, 0 for full
    int32_t lumaScale_ = 0;    // 16.16
    int32_t crToRed_ = 0;      // 16.16, per chroma unit
    int32_t cbToGreen_ = 0;
    int32_t crToGreen_ = 0;
    int32_t cbToBlue_ = 0;
    std::vector<int32_t> redTerm_;
    std::vector<int32_t> greenTerm_;
    std::vector<int32_t> blueTerm_;
};

}  // namespace klova
