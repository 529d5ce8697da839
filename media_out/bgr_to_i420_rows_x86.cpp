// The SSE2 and AVX2 kernels of bgr_to_i420_rows.h. The pixels are split into B, G and
// R planes (bgr_planes_x86.h) and widened to 16-bit lanes; each component is three
// 16-bit products and the offset added modulo 2^16, which is exact because the true
// sum lies within 0..65535, then shifted down by 8. The tails of rows the vectors do
// not cover run the scalar kernels.
#include "media_out/bgr_to_i420_rows.h"

#include "platform/bgr_planes_x86.h"

#include <immintrin.h>

namespace klova {
namespace {

// --- SSE2 -----------------------------------------------------------------------------

struct Weights128 {
    explicit Weights128(const I420Weights& w)
        : b(_mm_set1_epi16(w.b)), g(_mm_set1_epi16(w.g)), r(_mm_set1_epi16(w.r)),
          offset(_mm_set1_epi16(static_cast<int16_t>(w.offset)))
    {
    }
    __m128i b, g, r, offset;
};

inline __m128i Component(const Weights128& w, __m128i b, __m128i g, __m128i r)
{
    const __m128i sum = _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(b, w.b), _mm_mullo_epi16(g, w.g)),
                                      _mm_add_epi16(_mm_mullo_epi16(r, w.r), w.offset));
    return _mm_srli_epi16(sum, 8);
}

// The three components of 16 pixels as 16-bit values, pixels 0-7 then 8-15.
struct Components128 {
    __m128i y[2], u[2], v[2];
};

inline Components128 Convert16(const uint8_t* pixels, const Weights128& wy, const Weights128& wu,
                               const Weights128& wv)
{
    __m128i b, g, r;
    simd::LoadBgrPlanes(pixels, b, g, r);
    const __m128i zero = _mm_setzero_si128();
    Components128 out;
    for (int half = 0; half < 2; ++half) {
        const __m128i b16 = half ? _mm_unpackhi_epi8(b, zero) : _mm_unpacklo_epi8(b, zero);
        const __m128i g16 = half ? _mm_unpackhi_epi8(g, zero) : _mm_unpacklo_epi8(g, zero);
        const __m128i r16 = half ? _mm_unpackhi_epi8(r, zero) : _mm_unpacklo_epi8(r, zero);
        out.y[half] = Component(wy, b16, g16, r16);
        out.u[half] = Component(wu, b16, g16, r16);
        out.v[half] = Component(wv, b16, g16, r16);
    }
    return out;
}

inline void Store16(uint8_t* to, __m128i low, __m128i high)
{
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to), _mm_packus_epi16(low, high));
}

void ConvertRowPairSse2(const uint8_t* top, const uint8_t* bottom, int32_t width, const BgrToI420Coefficients& k,
                        uint8_t* yTop, uint8_t* yBottom, uint8_t* uMix, uint8_t* vMix)
{
    const Weights128 wy(k.y), wu(k.u), wv(k.v);
    int32_t x = 0;
    for (; x + 16 <= width; x += 16) {
        const Components128 upper = Convert16(top + 3 * x, wy, wu, wv);
        const Components128 lower = Convert16(bottom + 3 * x, wy, wu, wv);
        Store16(yTop + x, upper.y[0], upper.y[1]);
        Store16(yBottom + x, lower.y[0], lower.y[1]);
        Store16(uMix + x, _mm_avg_epu16(upper.u[0], lower.u[0]), _mm_avg_epu16(upper.u[1], lower.u[1]));
        Store16(vMix + x, _mm_avg_epu16(upper.v[0], lower.v[0]), _mm_avg_epu16(upper.v[1], lower.v[1]));
    }
    ScalarBgrToI420Rows().convertRowPair(top + 3 * x, bottom + 3 * x, width - x, k, yTop + x, yBottom + x, uMix + x,
                                         vMix + x);
}

inline __m128i Load16(const uint8_t* from)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
}

// Sixteen samples from 32 values at a time.
void HalveCentredSse2(const uint8_t* mix, int32_t width, uint8_t* out)
{
    const __m128i even = _mm_set1_epi16(0x00FF);
    const auto halve = [&](__m128i values) {
        return _mm_avg_epu16(_mm_and_si128(values, even), _mm_srli_epi16(values, 8));
    };
    int32_t c = 0;
    for (; 2 * c + 32 <= width; c += 16)
        Store16(out + c, halve(Load16(mix + 2 * c)), halve(Load16(mix + 2 * c + 16)));
    for (; 2 * c < width; ++c)
        out[c] = CentredSample(mix, width, c);
}

// The middle samples, sixteen at a time from sample 1 on; the edges and the tail run
// the scalar rule.
void HalveCositedSse2(const uint8_t* mix, int32_t width, uint8_t* out)
{
    const __m128i even = _mm_set1_epi16(0x00FF);
    const __m128i two = _mm_set1_epi16(2);
    // From the 16 values at p: (p[-1] + 2 p[0] + p[1] + 2) >> 2 for the 8 even positions.
    const auto filter = [&](const uint8_t* p) {
        const __m128i previous = _mm_and_si128(Load16(p - 1), even);
        const __m128i values = Load16(p);
        const __m128i centre = _mm_and_si128(values, even);
        const __m128i next = _mm_srli_epi16(values, 8);
        const __m128i sum = _mm_add_epi16(_mm_add_epi16(previous, next), _mm_add_epi16(_mm_add_epi16(centre, centre), two));
        return _mm_srli_epi16(sum, 2);
    };
    int32_t c = 0;
    if (width > 0)
        out[c++] = CositedSample(mix, width, 0);
    for (; 2 * c + 32 < width; c += 16)
        Store16(out + c, filter(mix + 2 * c), filter(mix + 2 * c + 16));
    for (; 2 * c < width; ++c)
        out[c] = CositedSample(mix, width, c);
}

// --- AVX2 -----------------------------------------------------------------------------

#define KLOVA_AVX2 __attribute__((target("avx2")))

struct Weights256 {
    KLOVA_AVX2 explicit Weights256(const I420Weights& w)
        : b(_mm256_set1_epi16(w.b)), g(_mm256_set1_epi16(w.g)), r(_mm256_set1_epi16(w.r)),
          offset(_mm256_set1_epi16(static_cast<int16_t>(w.offset)))
    {
    }
    __m256i b, g, r, offset;
};

KLOVA_AVX2 inline __m256i Component(const Weights256& w, __m256i b, __m256i g, __m256i r)
{
    const __m256i sum = _mm256_add_epi16(_mm256_add_epi16(_mm256_mullo_epi16(b, w.b), _mm256_mullo_epi16(g, w.g)),
                                         _mm256_add_epi16(_mm256_mullo_epi16(r, w.r), w.offset));
    return _mm256_srli_epi16(sum, 8);
}

// The components of 32 pixels: [0-7 | 16-23] and [8-15 | 24-31], as the per-lane
// unpacks leave them; packing the two back restores the pixel order.
struct Components256 {
    __m256i y[2], u[2], v[2];
};

KLOVA_AVX2 inline Components256 Convert32(const uint8_t* pixels, const Weights256& wy, const Weights256& wu,
                                          const Weights256& wv)
{
    __m256i b, g, r;
    simd::LoadBgrPlanes(pixels, b, g, r);
    const __m256i zero = _mm256_setzero_si256();
    Components256 out;
    for (int half = 0; half < 2; ++half) {
        const __m256i b16 = half ? _mm256_unpackhi_epi8(b, zero) : _mm256_unpacklo_epi8(b, zero);
        const __m256i g16 = half ? _mm256_unpackhi_epi8(g, zero) : _mm256_unpacklo_epi8(g, zero);
        const __m256i r16 = half ? _mm256_unpackhi_epi8(r, zero) : _mm256_unpacklo_epi8(r, zero);
        out.y[half] = Component(wy, b16, g16, r16);
        out.u[half] = Component(wu, b16, g16, r16);
        out.v[half] = Component(wv, b16, g16, r16);
    }
    return out;
}

KLOVA_AVX2 inline void Store32(uint8_t* to, __m256i low, __m256i high)
{
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(to), _mm256_packus_epi16(low, high));
}

KLOVA_AVX2 void ConvertRowPairAvx2(const uint8_t* top, const uint8_t* bottom, int32_t width,
                                   const BgrToI420Coefficients& k, uint8_t* yTop, uint8_t* yBottom, uint8_t* uMix,
                                   uint8_t* vMix)
{
    const Weights256 wy(k.y), wu(k.u), wv(k.v);
    int32_t x = 0;
    for (; x + 32 <= width; x += 32) {
        const Components256 upper = Convert32(top + 3 * x, wy, wu, wv);
        const Components256 lower = Convert32(bottom + 3 * x, wy, wu, wv);
        Store32(yTop + x, upper.y[0], upper.y[1]);
        Store32(yBottom + x, lower.y[0], lower.y[1]);
        Store32(uMix + x, _mm256_avg_epu16(upper.u[0], lower.u[0]), _mm256_avg_epu16(upper.u[1], lower.u[1]));
        Store32(vMix + x, _mm256_avg_epu16(upper.v[0], lower.v[0]), _mm256_avg_epu16(upper.v[1], lower.v[1]));
    }
    ConvertRowPairSse2(top + 3 * x, bottom + 3 * x, width - x, k, yTop + x, yBottom + x, uMix + x, vMix + x);
}

KLOVA_AVX2 inline __m256i Load32(const uint8_t* from)
{
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from));
}

// Samples [0-7 | 8-15] and [16-23 | 24-31] as 16-bit lanes, stored as 32 bytes in order.
KLOVA_AVX2 inline void StoreSamples32(uint8_t* to, __m256i low, __m256i high)
{
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(to),
                        _mm256_permute4x64_epi64(_mm256_packus_epi16(low, high), 0xD8));
}

KLOVA_AVX2 void HalveCentredAvx2(const uint8_t* mix, int32_t width, uint8_t* out)
{
    const __m256i even = _mm256_set1_epi16(0x00FF);
    const auto halve = [&](__m256i values) KLOVA_AVX2 {
        return _mm256_avg_epu16(_mm256_and_si256(values, even), _mm256_srli_epi16(values, 8));
    };
    int32_t c = 0;
    for (; 2 * c + 64 <= width; c += 32)
        StoreSamples32(out + c, halve(Load32(mix + 2 * c)), halve(Load32(mix + 2 * c + 32)));
    HalveCentredSse2(mix + 2 * c, width - 2 * c, out + c);
}

KLOVA_AVX2 void HalveCositedAvx2(const uint8_t* mix, int32_t width, uint8_t* out)
{
    const __m256i even = _mm256_set1_epi16(0x00FF);
    const __m256i two = _mm256_set1_epi16(2);
    const auto filter = [&](const uint8_t* p) KLOVA_AVX2 {
        const __m256i previous = _mm256_and_si256(Load32(p - 1), even);
        const __m256i values = Load32(p);
        const __m256i centre = _mm256_and_si256(values, even);
        const __m256i next = _mm256_srli_epi16(values, 8);
        const __m256i sum =
            _mm256_add_epi16(_mm256_add_epi16(previous, next), _mm256_add_epi16(_mm256_add_epi16(centre, centre), two));
        return _mm256_srli_epi16(sum, 2);
    };
    int32_t c = 0;
    if (width > 0)
        out[c++] = CositedSample(mix, width, 0);
    for (; 2 * c + 64 < width; c += 32)
        StoreSamples32(out + c, filter(mix + 2 * c), filter(mix + 2 * c + 32));
    for (; 2 * c < width; ++c)
        out[c] = CositedSample(mix, width, c);
}

#undef KLOVA_AVX2

}  // namespace

const BgrToI420Rows& Sse2BgrToI420Rows()
{
    static const BgrToI420Rows rows{ConvertRowPairSse2, HalveCentredSse2, HalveCositedSse2};
    return rows;
}

const BgrToI420Rows& Avx2BgrToI420Rows()
{
    static const BgrToI420Rows rows{ConvertRowPairAvx2, HalveCentredAvx2, HalveCositedAvx2};
    return rows;
}

}  // namespace klova
