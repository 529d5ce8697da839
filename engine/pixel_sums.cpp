#include "engine/pixel_sums.h"

#include <algorithm>

namespace klova {

// Sixteen pixels are 48 bytes, in which every byte position always holds the same
// channel (position j holds channel j mod 3). So 48 16-bit lanes add up blocks of 48
// bytes with no shuffling; after at most 257 blocks (257 x 255 = 65,535) the lanes are
// folded into the 64-bit sums.
void AddPixelsScalar(const uint8_t* p, size_t pixels, ChannelSums& sums)
{
    constexpr size_t kBlockPixels = 16;
    constexpr size_t kBlockBytes = 3 * kBlockPixels;
    constexpr size_t kMaxBlocks = 257;

    size_t blocks = pixels / kBlockPixels;
    while (blocks > 0) {
        const size_t count = std::min(blocks, kMaxBlocks);
        uint16_t lanes[kBlockBytes] = {};
        for (size_t k = 0; k < count; ++k, p += kBlockBytes) {
            for (size_t j = 0; j < kBlockBytes; ++j)
                lanes[j] = static_cast<uint16_t>(lanes[j] + p[j]);
        }
        for (size_t j = 0; j < kBlockBytes; j += 3) {
            sums.blue += lanes[j];
            sums.green += lanes[j + 1];
            sums.red += lanes[j + 2];
        }
        blocks -= count;
    }
    for (size_t i = pixels % kBlockPixels; i > 0; --i, p += 3) {
        sums.blue += p[0];
        sums.green += p[1];
        sums.red += p[2];
    }
}

PixelSummer PixelSummerFor(SimdLevel level)
{
#if defined(__x86_64__)
    switch (level) {
    case SimdLevel::Avx2: return AddPixelsAvx2;
    case SimdLevel::Sse2: return AddPixelsSse2;
    case SimdLevel::Scalar: break;
    }
#else
    (void)level;
#endif
    return AddPixelsScalar;
}

}  // namespace klova
