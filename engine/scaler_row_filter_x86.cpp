// The SSE2 and AVX2 forms of the scaler's horizontal filter. Each output pixel takes the
// 32-bit words at its left neighbour (B, G, R of it and B of the right one) and two
// bytes further (R of it, then B, G, R of the right one), shifted down a byte: the
// neighbours' channels then pair up byte by byte, and one multiply-add per pair gives
// left * a + right * b. The four 16-bit results per pixel (the fourth is of no use)
// are packed to three and stored with overlapping stores, in ascending order.
#include "engine/scaler_row_filter.h"

#include <immintrin.h>

#include <cstring>

namespace klova {
namespace {

inline int32_t LoadWord(const uint8_t* p)
{
    int32_t word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

}  // namespace

// Four pixels at a time. SSE2 has no gather and no byte shuffle: the words are loaded
// one by one, the products formed with pmaddwd on 16-bit pairs.
void FilterScalerRowSse2(const uint8_t* in, const uint32_t* offsets, const uint32_t* weights, int32_t width,
                         uint16_t* row)
{
    const __m128i zero = _mm_setzero_si128();
    // Keeps values 0-2 of a pixel pair and puts values 4-6 after them.
    const __m128i firstThree = _mm_set_epi16(0, 0, 0, 0, 0, -1, -1, -1);
    const __m128i nextThree = _mm_set_epi16(0, 0, -1, -1, -1, 0, 0, 0);
    int32_t x = 0;
    for (; x + 4 <= width; x += 4) {
        const uint8_t* p0 = in + offsets[x];
        const uint8_t* p1 = in + offsets[x + 1];
        const uint8_t* p2 = in + offsets[x + 2];
        const uint8_t* p3 = in + offsets[x + 3];
        const __m128i left = _mm_set_epi32(LoadWord(p3), LoadWord(p2), LoadWord(p1), LoadWord(p0));
        const __m128i right =
            _mm_srli_epi32(_mm_set_epi32(LoadWord(p3 + 2), LoadWord(p2 + 2), LoadWord(p1 + 2), LoadWord(p0 + 2)), 8);
        // Per pixel: a0 b0 a1 b1 a2 b2 junk 0, a the left and b the right neighbour.
        const __m128i pairs01 = _mm_unpacklo_epi8(left, right);
        const __m128i pairs23 = _mm_unpackhi_epi8(left, right);
        const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(weights + x));
        const __m128i w01 = _mm_unpacklo_epi32(w, w);
        const __m128i w23 = _mm_unpackhi_epi32(w, w);
        const __m128i sums01 =
            _mm_packs_epi32(_mm_madd_epi16(_mm_unpacklo_epi8(pairs01, zero), _mm_unpacklo_epi8(w01, zero)),
                            _mm_madd_epi16(_mm_unpackhi_epi8(pairs01, zero), _mm_unpackhi_epi8(w01, zero)));
        const __m128i sums23 =
            _mm_packs_epi32(_mm_madd_epi16(_mm_unpacklo_epi8(pairs23, zero), _mm_unpacklo_epi8(w23, zero)),
                            _mm_madd_epi16(_mm_unpackhi_epi8(pairs23, zero), _mm_unpackhi_epi8(w23, zero)));
        const auto packThree = [&](__m128i sums) {
            return _mm_or_si128(_mm_and_si128(sums, firstThree), _mm_and_si128(_mm_srli_si128(sums, 2), nextThree));
        };
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row + 3 * x), packThree(sums01));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row + 3 * (x + 2)), packThree(sums23));
    }
    FilterScalerRowScalar(in, offsets + x, weights + x, width - x, row + 3 * x);
}

// Eight pixels at a time. Each pixel's eight bytes from two before its left neighbour
// (so nothing past the right neighbour is read) go into one half of a 128-bit lane; a
// byte shuffle pairs the neighbours' channels (and zeroes the rest), one unsigned-by-
// signed byte multiply-add forms left * a + right * b, and a second shuffle packs each
// pixel pair's six values. Plain loads rather than gathers: the source rows are often
// not in the cache yet, and separate loads wait for memory side by side.
__attribute__((target("avx2"))) void FilterScalerRowAvx2(const uint8_t* in, const uint32_t* offsets,
                                                         const uint32_t* weights, int32_t width, uint16_t* row)
{
    const __m256i pairUp = _mm256_setr_epi8(2, 5, 3, 6, 4, 7, -1, -1, 10, 13, 11, 14, 12, 15, -1, -1,  //
                                            2, 5, 3, 6, 4, 7, -1, -1, 10, 13, 11, 14, 12, 15, -1, -1);
    const __m256i packSix = _mm256_setr_epi8(0, 1, 2, 3, 4, 5, 8, 9, 10, 11, 12, 13, -1, -1, -1, -1,  //
                                             0, 1, 2, 3, 4, 5, 8, 9, 10, 11, 12, 13, -1, -1, -1, -1);
    // Pixels whose left neighbour is among the row's first two bytes have nothing to
    // read before it.
    int32_t x = 0;
    while (x < width && offsets[x] < 2)
        ++x;
    FilterScalerRowScalar(in, offsets, weights, x, row);
    const auto pixelPair = [&](int32_t first) __attribute__((target("avx2"))) {
        const __m128i low = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + offsets[first] - 2));
        return _mm_castpd_si128(
            _mm_loadh_pd(_mm_castsi128_pd(low), reinterpret_cast<const double*>(in + offsets[first + 1] - 2)));
    };
    for (; x + 8 <= width; x += 8) {
        // Lanes hold pixels [0, 1 | 4, 5] and [2, 3 | 6, 7], as the weights' unpacks leave them.
        const __m256i pixels0145 = _mm256_inserti128_si256(_mm256_castsi128_si256(pixelPair(x)), pixelPair(x + 4), 1);
        const __m256i pixels2367 =
            _mm256_inserti128_si256(_mm256_castsi128_si256(pixelPair(x + 2)), pixelPair(x + 6), 1);
        const __m256i w = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(weights + x));
        const __m256i sums0145 = _mm256_shuffle_epi8(
            _mm256_maddubs_epi16(_mm256_shuffle_epi8(pixels0145, pairUp), _mm256_unpacklo_epi32(w, w)), packSix);
        const __m256i sums2367 = _mm256_shuffle_epi8(
            _mm256_maddubs_epi16(_mm256_shuffle_epi8(pixels2367, pairUp), _mm256_unpackhi_epi32(w, w)), packSix);
        uint16_t* out = row + 3 * x;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(sums0145));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 6), _mm256_castsi256_si128(sums2367));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 12), _mm256_extracti128_si256(sums0145, 1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 18), _mm256_extracti128_si256(sums2367, 1));
    }
    FilterScalerRowScalar(in, offsets + x, weights + x, width - x, row + 3 * x);
}

}  // namespace klova
