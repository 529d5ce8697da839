// The horizontal filter of FrameScaler in one form per instruction set: scalar, and on
// x86-64 SSE2 and AVX2, chosen at run time. Every form computes the same 16-bit sums.
#pragma once

#include "platform/simd_level.h"

#include <cstdint>

namespace klova {

// Filters one source row into width output pixels: value c (B, G, R) of pixel x is
// left * in[offsets[x] + c] + right * in[offsets[x] + 3 + c], where weights[x] holds the
// bytes left, right, left, right (lowest first). Reads no byte beyond the right-hand
// neighbour of the last pixel. The vector forms may write up to kScalerRowSlack values
// past 3 * width (the row buffer must have room for them; they hold nothing of use).
using ScalerRowFilter = void (*)(const uint8_t* in, const uint32_t* offsets, const uint32_t* weights, int32_t width,
                                 uint16_t* row);

inline constexpr int32_t kScalerRowSlack = 8;

// The weights word of a pixel.
constexpr uint32_t ScalerWeights(uint32_t left, uint32_t right)
{
    return left | right << 8 | left << 16 | right << 24;
}

ScalerRowFilter ScalerRowFilterFor(SimdLevel level);

// The scalar form; the vector forms finish their rows with it.
void FilterScalerRowScalar(const uint8_t* in, const uint32_t* offsets, const uint32_t* weights, int32_t width,
                           uint16_t* row);

#if defined(__x86_64__)
// In scaler_row_filter_x86.cpp.
void FilterScalerRowSse2(const uint8_t* in, const uint32_t* offsets, const uint32_t* weights, int32_t width,
                         uint16_t* row);
void FilterScalerRowAvx2(const uint8_t* in, const uint32_t* offsets, const uint32_t* weights, int32_t width,
                         uint16_t* row);
#endif

}  // namespace klova
