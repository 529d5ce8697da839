#include "asfout/bgr_to_yuv420.h"

#include "asfout/asf_error.h"

#include <cmath>

namespace asfout {
namespace {

// BT.601: Kr 0.299, Kb 0.114.
constexpr double kKr = 0.299;
constexpr double kKb = 0.114;
constexpr double kKg = 1.0 - kKr - kKb;

// One component's weights in 1/256 from its matrix row, scaled from 0..255 to the
// component's range: the arithmetic of the AVI writer's converter for this matrix.
klova::I420Weights Weights(double r, double g, double b, int32_t scale, int32_t offset)
{
    const auto take = [scale](double weight) {
        return static_cast<int16_t>(std::lrint(weight * scale / 255.0 * 256.0));
    };
    return {take(b), take(g), take(r), static_cast<uint16_t>(offset * 256)};
}

}  // namespace

klova::SimdLevel BgrToYuv420::BestLevel()
{
#if defined(__x86_64__)
    static const klova::SimdLevel best = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") ? klova::SimdLevel::Avx2 : klova::SimdLevel::Sse2;
    }();
    return best;
#else
    return klova::SimdLevel::Scalar;
#endif
}

BgrToYuv420::BgrToYuv420(int32_t width, int32_t height, klova::SimdLevel level)
    : rows_(klova::BgrToI420RowsFor(level)), width_(width), height_(height)
{
    if (width < 2 || height < 2 || width % 2 != 0 || height % 2 != 0)
        throw AsfError("unsupported conversion size", kInvalidArgument);
    // Limited range: luma 16 + 219 steps, chroma 128 +- 112.
    coefficients_.y = Weights(kKr, kKg, kKb, 219, 16);
    coefficients_.u = Weights(-kKr / (2.0 * (1.0 - kKb)), -kKg / (2.0 * (1.0 - kKb)), 0.5, 224, 128);
    coefficients_.v = Weights(0.5, -kKg / (2.0 * (1.0 - kKr)), -kKb / (2.0 * (1.0 - kKr)), 224, 128);
    uMix_.assign(static_cast<size_t>(width), 0);
    vMix_.assign(static_cast<size_t>(width), 0);
}

void BgrToYuv420::Convert(const uint8_t* dibTop, ptrdiff_t rowStep, AVFrame& frame)
{
    for (int32_t top = 0; top < height_; top += 2) {
        const uint8_t* upper = dibTop + rowStep * top;
        uint8_t* yUpper = frame.data[0] + static_cast<ptrdiff_t>(frame.linesize[0]) * top;
        rows_.convertRowPair(upper, upper + rowStep, width_, coefficients_, yUpper, yUpper + frame.linesize[0],
                             uMix_.data(), vMix_.data());
        const ptrdiff_t chromaRow = top / 2;
        rows_.halveCentred(uMix_.data(), width_, frame.data[1] + frame.linesize[1] * chromaRow);
        rows_.halveCentred(vMix_.data(), width_, frame.data[2] + frame.linesize[2] * chromaRow);
    }
}

}  // namespace asfout
