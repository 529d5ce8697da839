// Sums of the blue, green and red bytes of a run of BGR24 pixels, for the scene
// detector's region means: a scalar form and, on x86-64, SSE2 and AVX2 forms, chosen at
// run time. The sums are exact integers, so every form gives the same result.
#pragma once

#include "platform/simd_level.h"

#include <cstddef>
#include <cstdint>

namespace klova {

struct ChannelSums {
    uint64_t blue = 0;
    uint64_t green = 0;
    uint64_t red = 0;

    bool operator==(const ChannelSums&) const = default;
};

// Adds the B, G and R bytes of `pixels` consecutive pixels starting at p to sums. Reads
// no byte beyond the last pixel.
using PixelSummer = void (*)(const uint8_t* p, size_t pixels, ChannelSums& sums);

PixelSummer PixelSummerFor(SimdLevel level);

// The scalar form; the vector forms finish their runs with it.
void AddPixelsScalar(const uint8_t* p, size_t pixels, ChannelSums& sums);

#if defined(__x86_64__)
// In pixel_sums_x86.cpp.
void AddPixelsSse2(const uint8_t* p, size_t pixels, ChannelSums& sums);
void AddPixelsAvx2(const uint8_t* p, size_t pixels, ChannelSums& sums);
#endif

}  // namespace klova
