// Row kernels of the 4:2:0 to BGR conversion (YuvToBgrConverter) in 16.16 fixed
// point: a scalar set and, on x86-64, SSE2 and AVX2 sets. Every set does the same
// integer arithmetic, so each writes the same bytes.
#pragma once

#include "platform/simd_level.h"

#include <cstddef>
#include <cstdint>

namespace klova {

// The conversion of one colorimetry, 16.16 fixed point.
struct YuvToBgrCoefficients {
    int32_t lumaOffset = 0;  // 16 for limited range, 0 for full
    int32_t lumaScale = 0;   // per luma unit
    int32_t crToRed = 0;     // per chroma unit
    int32_t cbToGreen = 0;
    int32_t crToGreen = 0;
    int32_t cbToBlue = 0;
};

// The chroma terms of one chroma row, one entry per chroma sample, with the rounding
// half already added: red = cr * crToRed + half, green = half - cb * cbToGreen -
// cr * crToGreen, blue = cb * cbToBlue + half, where cb and cr are the samples - 128.
struct ChromaTerms {
    int32_t* red = nullptr;
    int32_t* green = nullptr;
    int32_t* blue = nullptr;
};

struct YuvToBgrRows {
    // The terms of count chroma samples. step is 1 for planar chroma; 2 for interleaved
    // pairs (NV12), where v is u + 1.
    void (*prepareChroma)(const uint8_t* u, const uint8_t* v, ptrdiff_t step, int32_t count,
                          const YuvToBgrCoefficients& k, const ChromaTerms& terms);
    // One row of width pixels, pixel x with the terms of chroma sample x / 2: 3 * width
    // bytes B, G, R, each clamp(((luma - lumaOffset) * lumaScale + term) >> 16, 0, 255).
    void (*convertRow)(const uint8_t* luma, const ChromaTerms& terms, const YuvToBgrCoefficients& k, int32_t width,
                       uint8_t* out);
};

// The kernels of a level; Scalar when the coefficients are outside what the vector
// kernels' 16-bit multiplications take (no colorimetry GStreamer knows is).
const YuvToBgrRows& YuvToBgrRowsFor(SimdLevel level, const YuvToBgrCoefficients& k);

#if defined(__x86_64__)
// The vector sets, in yuv_to_bgr_rows_x86.cpp. They take coefficients for which
// FitsVectorYuvToBgr holds.
const YuvToBgrRows& Sse2YuvToBgrRows();
const YuvToBgrRows& Avx2YuvToBgrRows();
bool FitsVectorYuvToBgr(const YuvToBgrCoefficients& k);
#endif

}  // namespace klova
