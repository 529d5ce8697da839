// Turns the engine's bottom-up BGR24 frames into the encoder's YUV 4:2:0 planes in one
// pass, flip included, with the row kernels the AVI writer's proxy uses (scalar, SSE2
// or AVX2, chosen at run time; the library shares their object code, not our other
// libraries). BT.601 limited range, as the WMV decoders assume; each chroma sample is
// the mean of its 2 x 2 pixels.
#pragma once

#include "media_out/bgr_to_i420_rows.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" {
#include <libavutil/frame.h>
}

namespace asfout {

class BgrToYuv420 {
public:
    // width x height: the part of each frame that is converted, from its top-left
    // corner; both even and at least 2. level: the kernels' instruction set (tests force
    // each); the best the processor runs by default.
    BgrToYuv420(int32_t width, int32_t height, klova::SimdLevel level = BestLevel());

    // dibTop: the first byte of the picture's top row, the DIB's last; going down the
    // picture, each row lies rowStep bytes from the one above (the DIB's stride, negated).
    // Writes width x height luma and the chroma planes of frame (a YUV420P frame of at
    // least that size).
    void Convert(const uint8_t* dibTop, ptrdiff_t rowStep, AVFrame& frame);

    // The weights used, for tests.
    const klova::BgrToI420Coefficients& Coefficients() const { return coefficients_; }

    static klova::SimdLevel BestLevel();

private:
    const klova::BgrToI420Rows& rows_;
    int32_t width_;
    int32_t height_;
    klova::BgrToI420Coefficients coefficients_;
    std::vector<uint8_t> uMix_;
    std::vector<uint8_t> vMix_;
};

}  // namespace asfout
