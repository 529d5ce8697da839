// Splits 16 packed B, G, R pixels (48 bytes) into their three 16-byte planes and joins
// them again, with SSE2 unpacks only (no byte shuffle instruction needed); the AVX2
// forms do the same in each 128-bit lane, so one 256-bit register holds the planes of
// two 16-pixel blocks. x86-64 only; included by the vector kernels.
//
// Why it works: interleaving the first and second halves of the 48 bytes (a "riffle")
// moves byte j to 2j mod 47 (byte 47 stays). Four riffles move it to 16j mod 47, which
// takes byte 3i + c (pixel i, channel c) to 16c + i: the planes. The inverse step
// (even bytes first, then odd bytes) applied four times packs the planes again.
#pragma once

#if defined(__x86_64__)

#include <immintrin.h>

#include <cstdint>

namespace klova::simd {

// The bytes in a, b, c (in that order) riffled.
inline void Riffle(__m128i& a, __m128i& b, __m128i& c)
{
    const __m128i first = _mm_unpacklo_epi8(a, _mm_unpackhi_epi64(b, b));
    const __m128i second = _mm_unpacklo_epi8(_mm_unpackhi_epi64(a, a), c);
    const __m128i third = _mm_unpacklo_epi8(b, _mm_unpackhi_epi64(c, c));
    a = first;
    b = second;
    c = third;
}

// The inverse of Riffle: the even bytes of a, b, c, then the odd ones.
inline void Unriffle(__m128i& a, __m128i& b, __m128i& c)
{
    const __m128i low = _mm_set1_epi16(0x00FF);
    const __m128i first = _mm_packus_epi16(_mm_and_si128(a, low), _mm_and_si128(b, low));
    const __m128i second = _mm_packus_epi16(_mm_and_si128(c, low), _mm_srli_epi16(a, 8));
    const __m128i third = _mm_packus_epi16(_mm_srli_epi16(b, 8), _mm_srli_epi16(c, 8));
    a = first;
    b = second;
    c = third;
}

__attribute__((target("avx2"))) inline void Riffle(__m256i& a, __m256i& b, __m256i& c)
{
    const __m256i first = _mm256_unpacklo_epi8(a, _mm256_unpackhi_epi64(b, b));
    const __m256i second = _mm256_unpacklo_epi8(_mm256_unpackhi_epi64(a, a), c);
    const __m256i third = _mm256_unpacklo_epi8(b, _mm256_unpackhi_epi64(c, c));
    a = first;
    b = second;
    c = third;
}

__attribute__((target("avx2"))) inline void Unriffle(__m256i& a, __m256i& b, __m256i& c)
{
    const __m256i low = _mm256_set1_epi16(0x00FF);
    const __m256i first = _mm256_packus_epi16(_mm256_and_si256(a, low), _mm256_and_si256(b, low));
    const __m256i second = _mm256_packus_epi16(_mm256_and_si256(c, low), _mm256_srli_epi16(a, 8));
    const __m256i third = _mm256_packus_epi16(_mm256_srli_epi16(b, 8), _mm256_srli_epi16(c, 8));
    a = first;
    b = second;
    c = third;
}

// 32 pixels at pixels (96 bytes) as planes: pixels 0-15 in the low lanes, 16-31 in the
// high lanes, so each plane holds its 32 bytes in pixel order.
__attribute__((target("avx2"))) inline void LoadBgrPlanes(const uint8_t* pixels, __m256i& b, __m256i& g, __m256i& r)
{
    const auto at = [pixels](int offset) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels + offset)); };
    b = _mm256_inserti128_si256(_mm256_castsi128_si256(at(0)), at(48), 1);
    g = _mm256_inserti128_si256(_mm256_castsi128_si256(at(16)), at(64), 1);
    r = _mm256_inserti128_si256(_mm256_castsi128_si256(at(32)), at(80), 1);
    for (int round = 0; round < 4; ++round)
        Riffle(b, g, r);
}

// The inverse: planes of 32 pixels in pixel order written as 96 bytes.
__attribute__((target("avx2"))) inline void StoreBgrPlanes(__m256i b, __m256i g, __m256i r, uint8_t* pixels)
{
    for (int round = 0; round < 4; ++round)
        Unriffle(b, g, r);
    const auto put = [pixels](int offset, __m128i value) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels + offset), value);
    };
    put(0, _mm256_castsi256_si128(b));
    put(16, _mm256_castsi256_si128(g));
    put(32, _mm256_castsi256_si128(r));
    put(48, _mm256_extracti128_si256(b, 1));
    put(64, _mm256_extracti128_si256(g, 1));
    put(80, _mm256_extracti128_si256(r, 1));
}

// 16 pixels (48 bytes) as planes.
inline void LoadBgrPlanes(const uint8_t* pixels, __m128i& b, __m128i& g, __m128i& r)
{
    b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels));
    g = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels + 16));
    r = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels + 32));
    for (int round = 0; round < 4; ++round)
        Riffle(b, g, r);
}

// Planes of 16 pixels written as 48 bytes.
inline void StoreBgrPlanes(__m128i b, __m128i g, __m128i r, uint8_t* pixels)
{
    for (int round = 0; round < 4; ++round)
        Unriffle(b, g, r);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels), b);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels + 16), g);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels + 32), r);
}

}  // namespace klova::simd

#endif
