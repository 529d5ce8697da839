#include "media_in/yuv_to_bgr_converter.h"

#include "platform/media_types.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace klova {
namespace {

constexpr double kOne = 65536.0;

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
    coefficients_.lumaOffset = full ? 0 : 16;
    coefficients_.lumaScale = static_cast<int32_t>(std::lround(lumaScale * kOne));
    coefficients_.crToRed = static_cast<int32_t>(std::lround(2.0 * (1.0 - kr) * chromaScale * kOne));
    coefficients_.cbToBlue = static_cast<int32_t>(std::lround(2.0 * (1.0 - kb) * chromaScale * kOne));
    coefficients_.cbToGreen = static_cast<int32_t>(std::lround(2.0 * kb * (1.0 - kb) / kg * chromaScale * kOne));
    coefficients_.crToGreen = static_cast<int32_t>(std::lround(2.0 * kr * (1.0 - kr) / kg * chromaScale * kOne));
    rows_ = &YuvToBgrRowsFor(level_, coefficients_);

    // Each chroma sample serves the two columns (and two rows) it covers, as
    // videoconvert's own 4:2:0 to RGB conversion does.
    const auto chromaColumns = static_cast<size_t>(std::max((width_ + 1) / 2, 1));
    redTerm_.assign(chromaColumns, 0);
    greenTerm_.assign(chromaColumns, 0);
    blueTerm_.assign(chromaColumns, 0);
}

void YuvToBgrConverter::Convert(const GstVideoFrame& frame, uint8_t* dib, const std::vector<uint8_t>* dibRows)
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
    const int32_t chromaColumns = (width_ + 1) / 2;
    const ChromaTerms terms{redTerm_.data(), greenTerm_.data(), blueTerm_.data()};
    const bool allRows = !dibRows || dibRows->size() != static_cast<size_t>(height_);
    int32_t preparedChromaRow = -1;
    for (int32_t y = 0; y < height_; ++y) {
        const int32_t dibRow = height_ - 1 - y;
        if (!allRows && !(*dibRows)[static_cast<size_t>(dibRow)])
            continue;
        if (y / 2 != preparedChromaRow) {
            preparedChromaRow = y / 2;
            rows_->prepareChroma(uPlane + (y / 2) * chromaStride, vPlane + (y / 2) * chromaStride, step,
                                 chromaColumns, coefficients_, terms);
        }
        uint8_t* out = dib + static_cast<ptrdiff_t>(dibRow) * dibStride;
        rows_->convertRow(luma + y * lumaStride, terms, coefficients_, width_, out);
        std::memset(out + rowBytes, 0, static_cast<size_t>(dibStride - rowBytes));
    }
}

}  // namespace klova
