// The SSE2 and AVX2 kernels of yuv_to_bgr_rows.h. Both compute exactly what the scalar
// kernels compute, in 32-bit lanes: a product x * C of a small value and a coefficient
// wider than 16 bits is one pmaddwd of the pairs (x, 4x) and (a, b) with a + 4b = C.
// The tails of rows the vectors do not cover run the scalar formulas.
#include "media_in/yuv_to_bgr_rows.h"

#include "platform/bgr_planes_x86.h"

#include <immintrin.h>

#include <algorithm>

namespace klova {
namespace {

constexpr int32_t kHalf = 1 << 15;
constexpr int32_t kPairLimit = 32767;

// The int16 pair (a, b), as one 32-bit lane, with a + 4 * b == value.
constexpr bool Splits(int32_t value)
{
    const int32_t b = std::clamp(value / 4, -kPairLimit, kPairLimit);
    const int32_t a = value - 4 * b;
    return a >= -kPairLimit && a <= kPairLimit;
}

int32_t PairWeights(int32_t value)
{
    const int32_t b = std::clamp(value / 4, -kPairLimit, kPairLimit);
    const int32_t a = value - 4 * b;
    return static_cast<int32_t>((static_cast<uint32_t>(b) << 16) | (static_cast<uint32_t>(a) & 0xFFFF));
}

inline uint8_t Clamp(int32_t value)
{
    return static_cast<uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value);
}

void PrepareChromaTail(const uint8_t* u, const uint8_t* v, ptrdiff_t step, int32_t from, int32_t count,
                       const YuvToBgrCoefficients& k, const ChromaTerms& terms)
{
    for (int32_t c = from; c < count; ++c) {
        const int32_t cb = u[c * step] - 128;
        const int32_t cr = v[c * step] - 128;
        terms.red[c] = cr * k.crToRed + kHalf;
        terms.green[c] = kHalf - cb * k.cbToGreen - cr * k.crToGreen;
        terms.blue[c] = cb * k.cbToBlue + kHalf;
    }
}

void ConvertRowTail(const uint8_t* luma, const ChromaTerms& terms, const YuvToBgrCoefficients& k, int32_t from,
                    int32_t width, uint8_t* out)
{
    for (int32_t x = from; x < width; ++x) {
        const int32_t y = (luma[x] - k.lumaOffset) * k.lumaScale;
        const int32_t c = x / 2;
        out[3 * x] = Clamp((y + terms.blue[c]) >> 16);
        out[3 * x + 1] = Clamp((y + terms.green[c]) >> 16);
        out[3 * x + 2] = Clamp((y + terms.red[c]) >> 16);
    }
}

// --- SSE2 -----------------------------------------------------------------------------

// x * C for the int16 values x in the low or high half of an 8-lane vector.
inline __m128i TimesLow(__m128i x, __m128i weights)
{
    return _mm_madd_epi16(_mm_unpacklo_epi16(x, _mm_slli_epi16(x, 2)), weights);
}

inline __m128i TimesHigh(__m128i x, __m128i weights)
{
    return _mm_madd_epi16(_mm_unpackhi_epi16(x, _mm_slli_epi16(x, 2)), weights);
}

inline void Store4(int32_t* to, __m128i value)
{
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to), value);
}

// Eight chroma samples at a time.
void PrepareChromaSse2(const uint8_t* u, const uint8_t* v, ptrdiff_t step, int32_t count,
                       const YuvToBgrCoefficients& k, const ChromaTerms& terms)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i bias = _mm_set1_epi16(128);
    const __m128i half = _mm_set1_epi32(kHalf);
    const __m128i toRed = _mm_set1_epi32(PairWeights(k.crToRed));
    const __m128i cbToGreen = _mm_set1_epi32(PairWeights(-k.cbToGreen));
    const __m128i crToGreen = _mm_set1_epi32(PairWeights(-k.crToGreen));
    const __m128i toBlue = _mm_set1_epi32(PairWeights(k.cbToBlue));
    int32_t c = 0;
    for (; c + 8 <= count; c += 8) {
        __m128i cb;
        __m128i cr;
        if (step == 2) {
            const __m128i pairs = _mm_loadu_si128(reinterpret_cast<const __m128i*>(u + 2 * c));
            cb = _mm_and_si128(pairs, _mm_set1_epi16(0x00FF));
            cr = _mm_srli_epi16(pairs, 8);
        } else {
            cb = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(u + c)), zero);
            cr = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(v + c)), zero);
        }
        cb = _mm_sub_epi16(cb, bias);
        cr = _mm_sub_epi16(cr, bias);
        Store4(terms.red + c, _mm_add_epi32(TimesLow(cr, toRed), half));
        Store4(terms.red + c + 4, _mm_add_epi32(TimesHigh(cr, toRed), half));
        Store4(terms.green + c,
               _mm_add_epi32(half, _mm_add_epi32(TimesLow(cb, cbToGreen), TimesLow(cr, crToGreen))));
        Store4(terms.green + c + 4,
               _mm_add_epi32(half, _mm_add_epi32(TimesHigh(cb, cbToGreen), TimesHigh(cr, crToGreen))));
        Store4(terms.blue + c, _mm_add_epi32(TimesLow(cb, toBlue), half));
        Store4(terms.blue + c + 4, _mm_add_epi32(TimesHigh(cb, toBlue), half));
    }
    PrepareChromaTail(u, v, step, c, count, k, terms);
}

// One channel of 16 pixels: y0..y3 are the scaled lumas of pixels 0-3, 4-7, 8-11 and
// 12-15; the terms of their 8 chroma samples are at term.
inline __m128i Channel16(const __m128i y[4], const int32_t* term)
{
    const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(term));
    const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(term + 4));
    const __m128i v0 = _mm_srai_epi32(_mm_add_epi32(y[0], _mm_unpacklo_epi32(low, low)), 16);
    const __m128i v1 = _mm_srai_epi32(_mm_add_epi32(y[1], _mm_unpackhi_epi32(low, low)), 16);
    const __m128i v2 = _mm_srai_epi32(_mm_add_epi32(y[2], _mm_unpacklo_epi32(high, high)), 16);
    const __m128i v3 = _mm_srai_epi32(_mm_add_epi32(y[3], _mm_unpackhi_epi32(high, high)), 16);
    // Saturating packs clamp to 0..255 as the scalar code does.
    return _mm_packus_epi16(_mm_packs_epi32(v0, v1), _mm_packs_epi32(v2, v3));
}

// Sixteen pixels at a time.
void ConvertRowSse2(const uint8_t* luma, const ChromaTerms& terms, const YuvToBgrCoefficients& k, int32_t width,
                    uint8_t* out)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i offset = _mm_set1_epi16(static_cast<int16_t>(k.lumaOffset));
    const __m128i scale = _mm_set1_epi32(PairWeights(k.lumaScale));
    int32_t x = 0;
    for (; x + 16 <= width; x += 16) {
        const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(luma + x));
        const __m128i low = _mm_sub_epi16(_mm_unpacklo_epi8(pixels, zero), offset);
        const __m128i high = _mm_sub_epi16(_mm_unpackhi_epi8(pixels, zero), offset);
        const __m128i y[4] = {TimesLow(low, scale), TimesHigh(low, scale), TimesLow(high, scale),
                              TimesHigh(high, scale)};
        const int32_t c = x / 2;
        simd::StoreBgrPlanes(Channel16(y, terms.blue + c), Channel16(y, terms.green + c), Channel16(y, terms.red + c),
                             out + 3 * x);
    }
    ConvertRowTail(luma, terms, k, x, width, out);
}

// --- AVX2 -----------------------------------------------------------------------------

#define KLOVA_AVX2 __attribute__((target("avx2")))

KLOVA_AVX2 inline __m256i TimesLow(__m256i x, __m256i weights)
{
    return _mm256_madd_epi16(_mm256_unpacklo_epi16(x, _mm256_slli_epi16(x, 2)), weights);
}

KLOVA_AVX2 inline __m256i TimesHigh(__m256i x, __m256i weights)
{
    return _mm256_madd_epi16(_mm256_unpackhi_epi16(x, _mm256_slli_epi16(x, 2)), weights);
}

// The eight 32-bit results of samples [0-3 | 4-7] (low) and [8-11 | 12-15] (high, lane by
// lane) stored as samples 0-15 in order.
KLOVA_AVX2 inline void Store16(int32_t* to, __m256i low, __m256i high)
{
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(to), _mm256_permute2x128_si256(low, high, 0x20));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + 8), _mm256_permute2x128_si256(low, high, 0x31));
}

// Sixteen chroma samples at a time: within each 128-bit lane as the SSE2 kernel.
KLOVA_AVX2 void PrepareChromaAvx2(const uint8_t* u, const uint8_t* v, ptrdiff_t step, int32_t count,
                                  const YuvToBgrCoefficients& k, const ChromaTerms& terms)
{
    const __m256i bias = _mm256_set1_epi16(128);
    const __m256i half = _mm256_set1_epi32(kHalf);
    const __m256i toRed = _mm256_set1_epi32(PairWeights(k.crToRed));
    const __m256i cbToGreen = _mm256_set1_epi32(PairWeights(-k.cbToGreen));
    const __m256i crToGreen = _mm256_set1_epi32(PairWeights(-k.crToGreen));
    const __m256i toBlue = _mm256_set1_epi32(PairWeights(k.cbToBlue));
    int32_t c = 0;
    for (; c + 16 <= count; c += 16) {
        __m256i cb;
        __m256i cr;
        if (step == 2) {
            const __m256i pairs = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(u + 2 * c));
            cb = _mm256_and_si256(pairs, _mm256_set1_epi16(0x00FF));
            cr = _mm256_srli_epi16(pairs, 8);
        } else {
            cb = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(u + c)));
            cr = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(v + c)));
        }
        cb = _mm256_sub_epi16(cb, bias);
        cr = _mm256_sub_epi16(cr, bias);
        Store16(terms.red + c, _mm256_add_epi32(TimesLow(cr, toRed), half),
                _mm256_add_epi32(TimesHigh(cr, toRed), half));
        Store16(terms.green + c,
                _mm256_add_epi32(half, _mm256_add_epi32(TimesLow(cb, cbToGreen), TimesLow(cr, crToGreen))),
                _mm256_add_epi32(half, _mm256_add_epi32(TimesHigh(cb, cbToGreen), TimesHigh(cr, crToGreen))));
        Store16(terms.blue + c, _mm256_add_epi32(TimesLow(cb, toBlue), half),
                _mm256_add_epi32(TimesHigh(cb, toBlue), half));
    }
    PrepareChromaTail(u, v, step, c, count, k, terms);
}

// One channel of 32 pixels. The lanes hold pixels [0-15 | 16-31]; y0..y3 the scaled
// lumas of pixels [0-3 | 16-19], [4-7 | 20-23], [8-11 | 24-27], [12-15 | 28-31], as
// the per-lane unpacks leave them.
KLOVA_AVX2 inline __m256i Channel32(const __m256i y[4], const int32_t* term)
{
    const auto at = [term](int index) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(term + index)); };
    const __m256i low = _mm256_inserti128_si256(_mm256_castsi128_si256(at(0)), at(8), 1);
    const __m256i high = _mm256_inserti128_si256(_mm256_castsi128_si256(at(4)), at(12), 1);
    const __m256i v0 = _mm256_srai_epi32(_mm256_add_epi32(y[0], _mm256_unpacklo_epi32(low, low)), 16);
    const __m256i v1 = _mm256_srai_epi32(_mm256_add_epi32(y[1], _mm256_unpackhi_epi32(low, low)), 16);
    const __m256i v2 = _mm256_srai_epi32(_mm256_add_epi32(y[2], _mm256_unpacklo_epi32(high, high)), 16);
    const __m256i v3 = _mm256_srai_epi32(_mm256_add_epi32(y[3], _mm256_unpackhi_epi32(high, high)), 16);
    return _mm256_packus_epi16(_mm256_packs_epi32(v0, v1), _mm256_packs_epi32(v2, v3));
}

// Thirty-two pixels at a time.
KLOVA_AVX2 void ConvertRowAvx2(const uint8_t* luma, const ChromaTerms& terms, const YuvToBgrCoefficients& k,
                               int32_t width, uint8_t* out)
{
    const __m256i zero = _mm256_setzero_si256();
    const __m256i offset = _mm256_set1_epi16(static_cast<int16_t>(k.lumaOffset));
    const __m256i scale = _mm256_set1_epi32(PairWeights(k.lumaScale));
    int32_t x = 0;
    for (; x + 32 <= width; x += 32) {
        const __m256i pixels = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(luma + x));
        const __m256i low = _mm256_sub_epi16(_mm256_unpacklo_epi8(pixels, zero), offset);
        const __m256i high = _mm256_sub_epi16(_mm256_unpackhi_epi8(pixels, zero), offset);
        const __m256i y[4] = {TimesLow(low, scale), TimesHigh(low, scale), TimesLow(high, scale),
                              TimesHigh(high, scale)};
        const int32_t c = x / 2;
        simd::StoreBgrPlanes(Channel32(y, terms.blue + c), Channel32(y, terms.green + c),
                             Channel32(y, terms.red + c), out + 3 * x);
    }
    if (x + 16 <= width) {
        ConvertRowSse2(luma + x, ChromaTerms{terms.red + x / 2, terms.green + x / 2, terms.blue + x / 2}, k,
                       width - x, out + 3 * x);
        return;
    }
    ConvertRowTail(luma, terms, k, x, width, out);
}

#undef KLOVA_AVX2

}  // namespace

bool FitsVectorYuvToBgr(const YuvToBgrCoefficients& k)
{
    // The luma offset is an int16 lane; the products are pairs of int16 weights.
    return k.lumaOffset >= 0 && k.lumaOffset <= 255 && Splits(k.lumaScale) && Splits(k.crToRed) &&
           Splits(-k.cbToGreen) && Splits(-k.crToGreen) && Splits(k.cbToBlue);
}

const YuvToBgrRows& Sse2YuvToBgrRows()
{
    static const YuvToBgrRows rows{PrepareChromaSse2, ConvertRowSse2};
    return rows;
}

const YuvToBgrRows& Avx2YuvToBgrRows()
{
    static const YuvToBgrRows rows{PrepareChromaAvx2, ConvertRowAvx2};
    return rows;
}

}  // namespace klova
