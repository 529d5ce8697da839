// Row kernels of the BGR to I420 conversion (BgrToI420Converter): a scalar set and, on
// x86-64, SSE2 and AVX2 sets, chosen at run time. Every set does the same integer
// arithmetic, so each writes the same bytes.
#pragma once

#include "platform/simd_level.h"

#include <cstdint>

namespace klova {

// One output component (Y, U or V) of a pixel: (b * B + g * G + r * R + offset) >> 8,
// weights and offset in 1/256. The sum before the shift lies within 0..65535 for every
// pixel (BgrToI420Converter checks it), so the vector kernels form it in 16-bit lanes.
struct I420Weights {
    int16_t b = 0;
    int16_t g = 0;
    int16_t r = 0;
    uint16_t offset = 0;
};

struct BgrToI420Coefficients {
    I420Weights y;
    I420Weights u;
    I420Weights v;
};

struct BgrToI420Rows {
    // Two rows of width B, G, R pixels (bottom may be top, for the last row of an odd
    // height; then yBottom is yTop): the luma of each row, and per pixel the chroma of
    // the two rows averaged, (top + bottom + 1) >> 1.
    void (*convertRowPair)(const uint8_t* top, const uint8_t* bottom, int32_t width, const BgrToI420Coefficients& k,
                           uint8_t* yTop, uint8_t* yBottom, uint8_t* uMix, uint8_t* vMix);
    // Halves a row of width chroma values into (width + 1) / 2 samples centred between
    // each pair: (a + b + 1) >> 1; the last sample of an odd width is the last value.
    void (*halveCentred)(const uint8_t* mix, int32_t width, uint8_t* out);
    // Halves with the samples sited on the even values: (p + 2c + n + 2) >> 2 of the
    // value and its neighbours, (3c + n + 2) >> 2 at the left edge, (p + 3c + 2) >> 2
    // at the right one (from the third-last value on).
    void (*halveCosited)(const uint8_t* mix, int32_t width, uint8_t* out);
};

const BgrToI420Rows& BgrToI420RowsFor(SimdLevel level);

// Sample c of halveCentred and of halveCosited.
inline uint8_t CentredSample(const uint8_t* mix, int32_t width, int32_t c)
{
    return 2 * c + 1 < width ? static_cast<uint8_t>((mix[2 * c] + mix[2 * c + 1] + 1) >> 1) : mix[2 * c];
}

inline uint8_t CositedSample(const uint8_t* mix, int32_t width, int32_t c)
{
    if (width < 2)
        return mix[0];
    if (c == 0)
        return static_cast<uint8_t>((3 * mix[0] + mix[1] + 2) >> 2);
    if (2 * c < width - 2)
        return static_cast<uint8_t>((mix[2 * c - 1] + 2 * mix[2 * c] + mix[2 * c + 1] + 2) >> 2);
    return static_cast<uint8_t>((mix[2 * c - 1] + 3 * mix[2 * c] + 2) >> 2);
}

// The scalar kernels; the vector ones finish their rows with them.
const BgrToI420Rows& ScalarBgrToI420Rows();

#if defined(__x86_64__)
// In bgr_to_i420_rows_x86.cpp.
const BgrToI420Rows& Sse2BgrToI420Rows();
const BgrToI420Rows& Avx2BgrToI420Rows();
#endif

}  // namespace klova
