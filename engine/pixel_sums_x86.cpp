// The SSE2 and AVX2 forms of the pixel sums. A block of three vectors holds whole pixels
// (48 or 96 bytes), and within it each vector's bytes cycle through the channels with
// their own phase. Masking each vector by byte position mod 3 and merging the three
// masked vectors gathers one channel into one vector with no shuffling, every byte
// position filled once; psadbw against zero then adds its bytes into 64-bit lanes,
// which cannot overflow.
#include "engine/pixel_sums.h"

#include <immintrin.h>

namespace klova {
namespace {

// Byte i of the mask is all ones when i mod 3 == phase.
template <int Bytes>
struct PhaseMasks {
    alignas(32) uint8_t bytes[3][Bytes];

    constexpr PhaseMasks() : bytes()
    {
        for (int phase = 0; phase < 3; ++phase)
            for (int i = 0; i < Bytes; ++i)
                bytes[phase][i] = i % 3 == phase ? 0xFF : 0x00;
    }
};

constexpr PhaseMasks<16> kMasks16;
constexpr PhaseMasks<32> kMasks32;

inline uint64_t FoldSse2(__m128i sums)
{
    return static_cast<uint64_t>(_mm_cvtsi128_si64(sums)) +
           static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums)));
}

__attribute__((target("avx2"))) inline uint64_t FoldAvx2(__m256i sums)
{
    return FoldSse2(_mm_add_epi64(_mm256_castsi256_si128(sums), _mm256_extracti128_si256(sums, 1)));
}

}  // namespace

// Sixteen pixels a block. Vector k holds bytes 16k to 16k + 15, so its byte i is of
// channel (16k + i) mod 3: blue sits at phase 0 in the first vector, 2 in the second
// and 1 in the third.
void AddPixelsSse2(const uint8_t* p, size_t pixels, ChannelSums& sums)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i m0 = _mm_load_si128(reinterpret_cast<const __m128i*>(kMasks16.bytes[0]));
    const __m128i m1 = _mm_load_si128(reinterpret_cast<const __m128i*>(kMasks16.bytes[1]));
    const __m128i m2 = _mm_load_si128(reinterpret_cast<const __m128i*>(kMasks16.bytes[2]));
    __m128i blue = zero;
    __m128i green = zero;
    __m128i red = zero;
    size_t blocks = pixels / 16;
    for (; blocks > 0; --blocks, p += 48) {
        const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
        const __m128i v2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32));
        const __m128i b = _mm_or_si128(_mm_or_si128(_mm_and_si128(v0, m0), _mm_and_si128(v1, m2)), _mm_and_si128(v2, m1));
        const __m128i g = _mm_or_si128(_mm_or_si128(_mm_and_si128(v0, m1), _mm_and_si128(v1, m0)), _mm_and_si128(v2, m2));
        const __m128i r = _mm_or_si128(_mm_or_si128(_mm_and_si128(v0, m2), _mm_and_si128(v1, m1)), _mm_and_si128(v2, m0));
        blue = _mm_add_epi64(blue, _mm_sad_epu8(b, zero));
        green = _mm_add_epi64(green, _mm_sad_epu8(g, zero));
        red = _mm_add_epi64(red, _mm_sad_epu8(r, zero));
    }
    sums.blue += FoldSse2(blue);
    sums.green += FoldSse2(green);
    sums.red += FoldSse2(red);
    AddPixelsScalar(p, pixels % 16, sums);
}

// Thirty-two pixels a block: vector k holds bytes 32k to 32k + 31, so blue sits at
// phase 0, 1 and 2 in the three vectors.
__attribute__((target("avx2"))) void AddPixelsAvx2(const uint8_t* p, size_t pixels, ChannelSums& sums)
{
    const __m256i zero = _mm256_setzero_si256();
    const __m256i m0 = _mm256_load_si256(reinterpret_cast<const __m256i*>(kMasks32.bytes[0]));
    const __m256i m1 = _mm256_load_si256(reinterpret_cast<const __m256i*>(kMasks32.bytes[1]));
    const __m256i m2 = _mm256_load_si256(reinterpret_cast<const __m256i*>(kMasks32.bytes[2]));
    __m256i blue = zero;
    __m256i green = zero;
    __m256i red = zero;
    size_t blocks = pixels / 32;
    for (; blocks > 0; --blocks, p += 96) {
        const __m256i v0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        const __m256i v1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
        const __m256i v2 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 64));
        const __m256i b =
            _mm256_or_si256(_mm256_or_si256(_mm256_and_si256(v0, m0), _mm256_and_si256(v1, m1)), _mm256_and_si256(v2, m2));
        const __m256i g =
            _mm256_or_si256(_mm256_or_si256(_mm256_and_si256(v0, m1), _mm256_and_si256(v1, m2)), _mm256_and_si256(v2, m0));
        const __m256i r =
            _mm256_or_si256(_mm256_or_si256(_mm256_and_si256(v0, m2), _mm256_and_si256(v1, m0)), _mm256_and_si256(v2, m1));
        blue = _mm256_add_epi64(blue, _mm256_sad_epu8(b, zero));
        green = _mm256_add_epi64(green, _mm256_sad_epu8(g, zero));
        red = _mm256_add_epi64(red, _mm256_sad_epu8(r, zero));
    }
    sums.blue += FoldAvx2(blue);
    sums.green += FoldAvx2(green);
    sums.red += FoldAvx2(red);
    AddPixelsSse2(p, pixels % 32, sums);
}

}  // namespace klova
