#include "media_out/bgr_to_i420_rows.h"

namespace klova {
namespace {

inline int32_t Sample(const I420Weights& w, const uint8_t* pixel)
{
    return (w.b * pixel[0] + w.g * pixel[1] + w.r * pixel[2] + w.offset) >> 8;
}

void ConvertRowPairScalar(const uint8_t* top, const uint8_t* bottom, int32_t width, const BgrToI420Coefficients& k,
                          uint8_t* yTop, uint8_t* yBottom, uint8_t* uMix, uint8_t* vMix)
{
    for (int32_t x = 0; x < width; ++x) {
        const uint8_t* upper = top + 3 * x;
        const uint8_t* lower = bottom + 3 * x;
        yTop[x] = static_cast<uint8_t>(Sample(k.y, upper));
        yBottom[x] = static_cast<uint8_t>(Sample(k.y, lower));
        uMix[x] = static_cast<uint8_t>((Sample(k.u, upper) + Sample(k.u, lower) + 1) >> 1);
        vMix[x] = static_cast<uint8_t>((Sample(k.v, upper) + Sample(k.v, lower) + 1) >> 1);
    }
}

void HalveCentredScalar(const uint8_t* mix, int32_t width, uint8_t* out)
{
    for (int32_t c = 0; 2 * c < width; ++c)
        out[c] = CentredSample(mix, width, c);
}

void HalveCositedScalar(const uint8_t* mix, int32_t width, uint8_t* out)
{
    for (int32_t c = 0; 2 * c < width; ++c)
        out[c] = CositedSample(mix, width, c);
}

}  // namespace

const BgrToI420Rows& ScalarBgrToI420Rows()
{
    static const BgrToI420Rows rows{ConvertRowPairScalar, HalveCentredScalar, HalveCositedScalar};
    return rows;
}

const BgrToI420Rows& BgrToI420RowsFor(SimdLevel level)
{
#if defined(__x86_64__)
    switch (level) {
    case SimdLevel::Avx2: return Avx2BgrToI420Rows();
    case SimdLevel::Sse2: return Sse2BgrToI420Rows();
    case SimdLevel::Scalar: break;
    }
#else
    (void)level;
#endif
    return ScalarBgrToI420Rows();
}

}  // namespace klova
