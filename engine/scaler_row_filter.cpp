#include "engine/scaler_row_filter.h"

namespace klova {

void FilterScalerRowScalar(const uint8_t* in, const uint32_t* offsets, const uint32_t* weights, int32_t width,
                           uint16_t* row)
{
    for (int32_t x = 0; x < width; ++x) {
        const uint8_t* p = in + offsets[x];
        const uint32_t l = weights[x] & 0xFF;
        const uint32_t r = (weights[x] >> 8) & 0xFF;
        row[0] = static_cast<uint16_t>(l * p[0] + r * p[3]);
        row[1] = static_cast<uint16_t>(l * p[1] + r * p[4]);
        row[2] = static_cast<uint16_t>(l * p[2] + r * p[5]);
        row += 3;
    }
}

ScalerRowFilter ScalerRowFilterFor(SimdLevel level)
{
#if defined(__x86_64__)
    switch (level) {
    case SimdLevel::Avx2: return FilterScalerRowAvx2;
    case SimdLevel::Sse2: return FilterScalerRowSse2;
    case SimdLevel::Scalar: break;
    }
#else
    (void)level;
#endif
    return FilterScalerRowScalar;
}

}  // namespace klova
