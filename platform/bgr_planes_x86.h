// Splits 16 packed B, G, R pixels (48 bytes) into their three 16-byte planes and joins
// them again. The SSE2 forms use unpacks only (SSE2 has no byte shuffle); the AVX2 forms
// use byte shuffles, in each 128-bit lane, so one 256-bit register holds the planes of
// two 16-pixel blocks. x86-64 only; included by the vector kernels.
//
// Why the unpacks work: interleaving the first and second halves of the 48 bytes (a
// "riffle") moves byte j to 2j mod 47 (byte 47 stays). Four riffles move it to 16j mod
// 47, which takes byte 3i + c (pixel i, channel c) to 16c + i: the planes. The inverse
// step (even bytes first, then odd bytes) applied four times packs the planes again.
//
// The shuffles: plane c's byte i is byte 3i + c of the 48, which sits in 16-byte block
// (3i + c) / 16 at (3i + c) % 16; each plane is the OR of one shuffle of each block,
// with the bytes other blocks supply zeroed (index 0x80). Packing runs the other way.
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

// Shuffle indices of the 48-byte blocks: split[c][j] gathers plane c's bytes from block
// j, join[j][c] places plane c's bytes into block j; 0x80 zeroes a byte.
struct BgrShuffles {
    alignas(16) int8_t split[3][3][16];
    alignas(16) int8_t join[3][3][16];
};

constexpr BgrShuffles MakeBgrShuffles()
{
    BgrShuffles s{};
    for (int c = 0; c < 3; ++c)
        for (int j = 0; j < 3; ++j)
            for (int i = 0; i < 16; ++i) {
                const int at = 3 * i + c;  // plane c, pixel i: byte at of the 48
                s.split[c][j][i] = static_cast<int8_t>(at / 16 == j ? at % 16 : 0x80);
            }
    for (int j = 0; j < 3; ++j)
        for (int c = 0; c < 3; ++c)
            for (int p = 0; p < 16; ++p) {
                const int at = 16 * j + p;  // byte p of block j: pixel at / 3, channel at % 3
                s.join[j][c][p] = static_cast<int8_t>(at % 3 == c ? at / 3 : 0x80);
            }
    return s;
}

inline constexpr BgrShuffles kBgrShuffles = MakeBgrShuffles();

__attribute__((target("avx2"))) inline __m256i Shuffle(__m256i block, const int8_t (&indices)[16])
{
    return _mm256_shuffle_epi8(block, _mm256_broadcastsi128_si256(
                                          _mm_load_si128(reinterpret_cast<const __m128i*>(indices))));
}

// Three blocks (each lane a 16-byte third of 48 bytes) to planes, or planes to blocks.
__attribute__((target("avx2"))) inline __m256i Gather3(const __m256i blocks[3], const int8_t (&indices)[3][16])
{
    return _mm256_or_si256(_mm256_or_si256(Shuffle(blocks[0], indices[0]), Shuffle(blocks[1], indices[1])),
                           Shuffle(blocks[2], indices[2]));
}

// 32 pixels at pixels (96 bytes) as planes: pixels 0-15 in the low lanes, 16-31 in the
// high lanes, so each plane holds its 32 bytes in pixel order.
__attribute__((target("avx2"))) inline void LoadBgrPlanes(const uint8_t* pixels, __m256i& b, __m256i& g, __m256i& r)
{
    const auto at = [pixels](int offset) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels + offset)); };
    const __m256i blocks[3] = {_mm256_inserti128_si256(_mm256_castsi128_si256(at(0)), at(48), 1),
                               _mm256_inserti128_si256(_mm256_castsi128_si256(at(16)), at(64), 1),
                               _mm256_inserti128_si256(_mm256_castsi128_si256(at(32)), at(80), 1)};
    b = Gather3(blocks, kBgrShuffles.split[0]);
    g = Gather3(blocks, kBgrShuffles.split[1]);
    r = Gather3(blocks, kBgrShuffles.split[2]);
}

// The inverse: planes of 32 pixels in pixel order written as 96 bytes.
__attribute__((target("avx2"))) inline void StoreBgrPlanes(__m256i b, __m256i g, __m256i r, uint8_t* pixels)
{
    const __m256i planes[3] = {b, g, r};
    const __m256i first = Gather3(planes, kBgrShuffles.join[0]);
    const __m256i second = Gather3(planes, kBgrShuffles.join[1]);
    const __m256i third = Gather3(planes, kBgrShuffles.join[2]);
    const auto put = [pixels](int offset, __m128i value) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels + offset), value);
    };
    put(0, _mm256_castsi256_si128(first));
    put(16, _mm256_castsi256_si128(second));
    put(32, _mm256_castsi256_si128(third));
    put(48, _mm256_extracti128_si256(first, 1));
    put(64, _mm256_extracti128_si256(second, 1));
    put(80, _mm256_extracti128_si256(third, 1));
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
