#include "media_out/bgr_to_i420_converter.h"

#include "platform/media_types.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace klova {
namespace {

// One component's weights from its row of the R'G'B' to Y'CbCr matrix, scaled from
// 0..255 input to the component's range (scale, offset), in 1/256. False when the sum
// can leave 0..65535 for some pixel, or a weight does not fit 16 bits.
bool MakeWeights(const double (&row)[3], int32_t scale, int32_t offset, I420Weights* weights)
{
    int32_t taken[3];
    int32_t lowest = offset * 256;
    int32_t highest = offset * 256;
    for (int i = 0; i < 3; ++i) {
        taken[i] = static_cast<int32_t>(std::lrint(row[i] * scale / 255.0 * 256.0));
        if (taken[i] < -32768 || taken[i] > 32767)
            return false;
        (taken[i] < 0 ? lowest : highest) += taken[i] * 255;
    }
    if (lowest < 0 || highest > 65535)
        return false;
    weights->r = static_cast<int16_t>(taken[0]);
    weights->g = static_cast<int16_t>(taken[1]);
    weights->b = static_cast<int16_t>(taken[2]);
    weights->offset = static_cast<uint16_t>(offset * 256);
    return true;
}

}  // namespace

BgrToI420Converter::BgrToI420Converter(SimdLevel level) : rows_(BgrToI420RowsFor(level)) {}

bool BgrToI420Converter::Configure(const GstVideoInfo& info)
{
    info_ = GstVideoInfo{};
    if (GST_VIDEO_INFO_FORMAT(&info) != GST_VIDEO_FORMAT_I420 || GST_VIDEO_INFO_WIDTH(&info) <= 0 ||
        GST_VIDEO_INFO_HEIGHT(&info) <= 0)
        return false;
    gdouble kr = 0.0;
    gdouble kb = 0.0;
    if (!gst_video_color_matrix_get_Kr_Kb(info.colorimetry.matrix, &kr, &kb))
        return false;
    gint offsets[GST_VIDEO_MAX_COMPONENTS];
    gint scales[GST_VIDEO_MAX_COMPONENTS];
    gst_video_color_range_offsets(info.colorimetry.range, info.finfo, offsets, scales);

    const double kg = 1.0 - kr - kb;
    const double matrix[3][3] = {
        {kr, kg, kb},                                                // Y
        {-kr / (2.0 * (1.0 - kb)), -kg / (2.0 * (1.0 - kb)), 0.5},  // Cb
        {0.5, -kg / (2.0 * (1.0 - kr)), -kb / (2.0 * (1.0 - kr))},  // Cr
    };
    I420Weights* const components[3] = {&coefficients_.y, &coefficients_.u, &coefficients_.v};
    for (int c = 0; c < 3; ++c) {
        if (!MakeWeights(matrix[c], scales[c], offsets[c], components[c]))
            return false;
    }
    cosited_ = (info.chroma_site & GST_VIDEO_CHROMA_SITE_H_COSITED) != 0;
    const auto width = static_cast<size_t>(GST_VIDEO_INFO_WIDTH(&info));
    uMix_.assign(width, 0);
    vMix_.assign(width, 0);
    info_ = info;
    return true;
}

void BgrToI420Converter::Convert(const uint8_t* frame, uint8_t* out)
{
    const int32_t width = GST_VIDEO_INFO_WIDTH(&info_);
    const int32_t height = GST_VIDEO_INFO_HEIGHT(&info_);
    const int32_t chromaWidth = GST_VIDEO_INFO_COMP_WIDTH(&info_, 1);
    const auto dibStride = static_cast<ptrdiff_t>(DibStride(width));
    const auto planeRow = [&](int plane, int32_t row) {
        return out + GST_VIDEO_INFO_PLANE_OFFSET(&info_, plane) +
               static_cast<ptrdiff_t>(row) * GST_VIDEO_INFO_PLANE_STRIDE(&info_, plane);
    };
    const auto clearPadding = [&](int plane, int32_t row, int32_t used) {
        std::memset(planeRow(plane, row) + used, 0,
                    static_cast<size_t>(GST_VIDEO_INFO_PLANE_STRIDE(&info_, plane) - used));
    };
    const auto halve = cosited_ ? rows_.halveCosited : rows_.halveCentred;
    for (int32_t top = 0; top < height; top += 2) {
        // The last row of an odd height is its own pair.
        const int32_t bottom = std::min(top + 1, height - 1);
        rows_.convertRowPair(frame + (height - 1 - top) * dibStride, frame + (height - 1 - bottom) * dibStride, width,
                             coefficients_, planeRow(0, top), planeRow(0, bottom), uMix_.data(), vMix_.data());
        const int32_t chromaRow = top / 2;
        halve(uMix_.data(), width, planeRow(1, chromaRow));
        halve(vMix_.data(), width, planeRow(2, chromaRow));
        clearPadding(0, top, width);
        clearPadding(0, bottom, width);
        clearPadding(1, chromaRow, chromaWidth);
        clearPadding(2, chromaRow, chromaWidth);
    }
    // A plane may hold more rows than the picture (the luma plane of an odd height
    // holds an even number): whatever lies between the rows written and the next plane,
    // or the end, is zeroed too.
    for (int plane = 0; plane < 3; ++plane) {
        const size_t written = GST_VIDEO_INFO_PLANE_OFFSET(&info_, plane) +
                               static_cast<size_t>(GST_VIDEO_INFO_COMP_HEIGHT(&info_, plane)) *
                                   static_cast<size_t>(GST_VIDEO_INFO_PLANE_STRIDE(&info_, plane));
        const size_t next = plane < 2 ? GST_VIDEO_INFO_PLANE_OFFSET(&info_, plane + 1) : GST_VIDEO_INFO_SIZE(&info_);
        if (next > written)
            std::memset(out + written, 0, next - written);
    }
}

}  // namespace klova
