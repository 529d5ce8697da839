// Converts the engine's bottom-up BGR24 frames (DIB rows, padded to 4 bytes) to I420
// for an encoder, inside the one copy the video writer proxy makes of each frame. The
// arithmetic is GStreamer's own videoconvert's, so the result matches it (tested within
// +-1 per sample, equal in practice): each component (weights . (R, G, B) + offset) >> 8
// with the weights of the colorimetry's matrix and range in 1/256; the chroma of two
// rows averaged, then of two columns, or filtered 1-2-1 for chroma sited on the even
// columns (as GStreamer assumes for frames higher than 576 lines).
#pragma once

#include "media_out/bgr_to_i420_rows.h"
#include "platform/simd_level.h"

#include <gst/video/video.h>

#include <cstdint>
#include <vector>

namespace klova {

class BgrToI420Converter {
public:
    // The instruction set of the row kernels; tests force each.
    explicit BgrToI420Converter(SimdLevel level = BestSimdLevel());

    // The I420 frames to make: size, plane offsets and strides, matrix, range and chroma
    // siting. Sizes the row buffers. False when the format is not I420 or the matrix is
    // one the conversion cannot take (RGB, unknown); the converter is then unusable.
    bool Configure(const GstVideoInfo& info);

    // frame: DibStride(width) x height bytes, the last row first. out: the configured
    // info's size in bytes, every one written (padding zeroed).
    void Convert(const uint8_t* frame, uint8_t* out);

    // The weights in use (after Configure), for tests.
    const BgrToI420Coefficients& Coefficients() const { return coefficients_; }

private:
    const BgrToI420Rows& rows_;
    GstVideoInfo info_{};
    bool cosited_ = false;
    BgrToI420Coefficients coefficients_;
    // Per-pixel chroma of the current row pair.
    std::vector<uint8_t> uMix_;
    std::vector<uint8_t> vMix_;
};

}  // namespace klova
