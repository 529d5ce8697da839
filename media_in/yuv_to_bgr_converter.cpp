#include "media_in/yuv_to_bgr_converter.h"

#include "platform/media_types.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace klova {
namespace {

constexpr double kOne = 65536.0;

inline uint8_t Clamp(int32_t value)
{
    return static_cast<uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value);
}

// One row of pixels. Built for two instruction sets; the loader picks the better one
// the processor has.
__attribute__((target_clones("avx2", "default"))) void ConvertRow(const uint8_t* luma, const int32_t* red,
                                                                   const int32_t* green, const int32_t* blue,
                                                                   int32_t lumaOffset, int32_t lumaScale,
                                                                   int32_t width, uint8_t* out)
{
    for (int32_t x = 0; x < width; ++x) {
        const int32_t y = (luma[x] - lumaOffset) * lumaScale;
        out[3 * x] = Clamp((y + blue[x]) >> 16);
        out[3 * x + 1] = Clamp((y + green[x]) >> 16);
        out[3 * x + 2] = Clamp((y + red[x]) >> 16);
    }
}

}  // namespace

bool YuvToBgrConverter::Supports(GstVideoFormat format)
{
    return format == GST_VIDEO_FORMAT_I420 || format == GST_VIDEO_FORMAT_YV12 || format == GST_VIDEO_FORMAT_NV12;
}

bool YuvToBgrConverter::ConfiguredFor(const GstVideoInfo& info) const
{
    return width_ == GST_VIDEO_INFO_WIDTH(&info) && height_ == GST_VIDEO_INFO_HEIGHT(&info) &&
           gst_video_colorimetry_is_equal(&colorimetry_, &info.colorimetry);
}

void YuvToBgrConverter::Configure(const GstVideoInfo& info)
{
    width_ = GST_VIDEO_INFO_WIDTH(&info);
    height_ = GST_VIDEO_INFO_HEIGHT(&info);
    colorimetry_ = info.colorimetry;

    gdouble kr = 0.299;
    gdouble kb = 0.114;
    if (!gst_video_color_matrix_get_Kr_Kb(info.colorimetry.matrix, &kr, &kb)) {
        kr = 0.299;  // BT.601 when the stream does not say
        kb = 0.114;
    }
    const double kg = 1.0 - kr - kb;
    const bool full = info.colorimetry.range == GST_VIDEO_COLOR_RANGE_0_255;
    const double lumaScale = full ? 1.0 : 255.0 / 219.0;
    const double chromaScale = full ? 1.0 : 255.0 / 224.0;
    lumaOffset_ = full ? 0 : 16;
    lumaScale_ = static_cast<int32_t>(std::lround(lumaScale * kOne));
    crToRed_ = static_cast<int32_t>(std::lround(2.0 * (1.0 - kr) * chromaScale * kOne));
    cbToBlue_ = static_cast<int32_t>(std::lround(2.0 * (1.0 - kb) * chromaScale * kOne));
    cbToGreen_ = static_cast<int32_t>(std::lround(2.0 * kb * (1.0 - kb) / kg * chromaScale * kOne));
    crToGreen_ = static_cast<int32_t>(std::lround(2.0 * kr * (1.0 - kr) / kg * chromaScale * kOne));

    const auto columns = static_cast<size_t>(std::max(width_, 1));
    redTerm_.assign(columns + 1, 0);
    greenTerm_.assign(columns + 1, 0);
    blueTerm_.assign(columns + 1, 0);
}

void YuvToBgrConverter::PrepareChromaRow(const uint8_t* u, const uint8_t* v, ptrdiff_t step)
{
    // Each chroma sample serves the two columns (and two rows) it covers, as
    // videoconvert's own 4:2:0 to RGB conversion does.
    constexpr int32_t kHalf = 1 << 15;
    const int32_t chromaWidth = (width_ + 1) / 2;
    for (int32_t c = 0; c < chromaWidth; ++c) {
        const int32_t cb = u[c * step] - 128;
        const int32_t cr = v[c * step] - 128;
        const int32_t red = cr * crToRed_ + kHalf;
        const int32_t green = kHalf - cb * cbToGreen_ - cr * crToGreen_;
        const int32_t blue = cb * cbToBlue_ + kHalf;
        redTerm_[2 * c] = redTerm_[2 * c + 1] = red;
        greenTerm_[2 * c] = greenTerm_[2 * c + 1] = green;
        blueTerm_[2 * c] = blueTerm_[2 * c + 1] = blue;
    }
}

void YuvToBgrConverter::Convert(const GstVideoFrame& frame, uint8_t* dib)
{
    const GstVideoFormat format = GST_VIDEO_FRAME_FORMAT(&frame);
    const auto* luma = static_cast<const uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0));
    const ptrdiff_t lumaStride = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0);
    const uint8_t* uPlane = nullptr;
    const uint8_t* vPlane = nullptr;
    ptrdiff_t chromaStride = 0;
    ptrdiff_t step = 1;
    if (format == GST_VIDEO_FORMAT_NV12) {
        uPlane = static_cast<const uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 1));
        vPlane = uPlane + 1;
        chromaStride = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 1);
        step = 2;
    } else {
        // The component accessors know where YV12 keeps its V plane.
        uPlane = static_cast<const uint8_t*>(GST_VIDEO_FRAME_COMP_DATA(&frame, GST_VIDEO_COMP_U));
        vPlane = static_cast<const uint8_t*>(GST_VIDEO_FRAME_COMP_DATA(&frame, GST_VIDEO_COMP_V));
        chromaStride = GST_VIDEO_FRAME_COMP_STRIDE(&frame, GST_VIDEO_COMP_U);
    }

    const int32_t dibStride = DibStride(width_);
    const int32_t rowBytes = 3 * width_;
    for (int32_t y = 0; y < height_; ++y) {
        if (y % 2 == 0)
            PrepareChromaRow(uPlane + (y / 2) * chromaStride, vPlane + (y / 2) * chromaStride, step);
        uint8_t* out = dib + static_cast<ptrdiff_t>(height_ - 1 - y) * dibStride;
        ConvertRow(luma + y * lumaStride, redTerm_.data(), greenTerm_.data(), blueTerm_.data(), lumaOffset_,
                   lumaScale_, width_, out);
        std::memset(out + rowBytes, 0, static_cast<size_t>(dibStride - rowBytes));
    }
}

}  // namespace klova
