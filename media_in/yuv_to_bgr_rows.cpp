#include "media_in/yuv_to_bgr_rows.h"

namespace klova {
namespace {

constexpr int32_t kHalf = 1 << 15;

inline uint8_t Clamp(int32_t value)
{
    return static_cast<uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value);
}

void PrepareChromaScalar(const uint8_t* u, const uint8_t* v, ptrdiff_t step, int32_t count,
                         const YuvToBgrCoefficients& k, const ChromaTerms& terms)
{
    for (int32_t c = 0; c < count; ++c) {
        const int32_t cb = u[c * step] - 128;
        const int32_t cr = v[c * step] - 128;
        terms.red[c] = cr * k.crToRed + kHalf;
        terms.green[c] = kHalf - cb * k.cbToGreen - cr * k.crToGreen;
        terms.blue[c] = cb * k.cbToBlue + kHalf;
    }
}

void ConvertRowScalar(const uint8_t* luma, const ChromaTerms& terms, const YuvToBgrCoefficients& k, int32_t width,
                      uint8_t* out)
{
    for (int32_t x = 0; x < width; ++x) {
        const int32_t y = (luma[x] - k.lumaOffset) * k.lumaScale;
        const int32_t c = x / 2;
        out[3 * x] = Clamp((y + terms.blue[c]) >> 16);
        out[3 * x + 1] = Clamp((y + terms.green[c]) >> 16);
        out[3 * x + 2] = Clamp((y + terms.red[c]) >> 16);
    }
}

}  // namespace

const YuvToBgrRows& YuvToBgrRowsFor(SimdLevel level, const YuvToBgrCoefficients& k)
{
    static const YuvToBgrRows scalar{PrepareChromaScalar, ConvertRowScalar};
#if defined(__x86_64__)
    if (FitsVectorYuvToBgr(k)) {
        switch (level) {
        case SimdLevel::Avx2: return Avx2YuvToBgrRows();
        case SimdLevel::Sse2: return Sse2YuvToBgrRows();
        case SimdLevel::Scalar: break;
        }
    }
#else
    (void)level;
    (void)k;
#endif
    return scalar;
}

}  // namespace klova
