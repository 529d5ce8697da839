#include "media_in/yuv_to_bgr_converter.h"

#include "platform/media_types.h"
#include "tests/support/test_names.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace klova {
namespace {

// One frame of smooth 4:2:0 content (made from a BGR picture of gradients, so chroma
// interpolation choices do not matter) and GStreamer's own conversion of it to BGR.
struct Frame {
    Frame(GstVideoFormat format, int width, int height, const char* colorimetry)
    {
        gst_video_info_set_format(&info, format, width, height);
        gst_video_colorimetry_from_string(&info.colorimetry, colorimetry);
        GstVideoInfo bgr;
        gst_video_info_set_format(&bgr, GST_VIDEO_FORMAT_BGR, width, height);
        GstBuffer* picture = gst_buffer_new_allocate(nullptr, bgr.size, nullptr);
        GstVideoFrame pictureFrame;
        gst_video_frame_map(&pictureFrame, &bgr, picture, GST_MAP_WRITE);
        auto* pixels = static_cast<uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&pictureFrame, 0));
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                uint8_t* p = pixels + y * GST_VIDEO_FRAME_PLANE_STRIDE(&pictureFrame, 0) + 3 * x;
                p[0] = static_cast<uint8_t>(255 * x / width);
                p[1] = static_cast<uint8_t>(255 * y / height);
                p[2] = static_cast<uint8_t>(255 - 255 * (x + y) / (width + height));
            }
        buffer = gst_buffer_new_allocate(nullptr, info.size, nullptr);
        gst_video_frame_map(&frame, &info, buffer, GST_MAP_READWRITE);
        GstVideoConverter* converter = gst_video_converter_new(&bgr, &info, nullptr);
        gst_video_converter_frame(converter, &pictureFrame, &frame);
        gst_video_converter_free(converter);
        for (int y = 0; y < height; ++y)
            original.insert(original.end(), pixels + y * GST_VIDEO_FRAME_PLANE_STRIDE(&pictureFrame, 0),
                            pixels + y * GST_VIDEO_FRAME_PLANE_STRIDE(&pictureFrame, 0) + 3 * width);
        gst_video_frame_unmap(&pictureFrame);
        gst_buffer_unref(picture);
    }
    ~Frame()
    {
        gst_video_frame_unmap(&frame);
        gst_buffer_unref(buffer);
    }

    // GStreamer's BGR rows, top-down.
    std::vector<uint8_t> Reference() const
    {
        GstVideoInfo bgr;
        gst_video_info_set_format(&bgr, GST_VIDEO_FORMAT_BGR, info.width, info.height);
        GstVideoConverter* converter = gst_video_converter_new(const_cast<GstVideoInfo*>(&info), &bgr, nullptr);
        GstBuffer* out = gst_buffer_new_allocate(nullptr, bgr.size, nullptr);
        GstVideoFrame outFrame;
        gst_video_frame_map(&outFrame, &bgr, out, GST_MAP_WRITE);
        gst_video_converter_frame(converter, &frame, &outFrame);
        std::vector<uint8_t> rows;
        const auto* data = static_cast<const uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&outFrame, 0));
        for (int y = 0; y < info.height; ++y)
            rows.insert(rows.end(), data + y * GST_VIDEO_FRAME_PLANE_STRIDE(&outFrame, 0),
                        data + y * GST_VIDEO_FRAME_PLANE_STRIDE(&outFrame, 0) + 3 * info.width);
        gst_video_frame_unmap(&outFrame);
        gst_buffer_unref(out);
        gst_video_converter_free(converter);
        return rows;
    }

    GstVideoInfo info;
    std::vector<uint8_t> original;  // the BGR picture the frame was made from, top-down
    GstBuffer* buffer = nullptr;
    GstVideoFrame frame;
};

struct Case {
    GstVideoFormat format;
    int width;
    int height;
    const char* colorimetry;
};

void PrintTo(const Case& c, std::ostream* out)
{
    *out << gst_video_format_to_string(c.format) << " " << c.width << "x" << c.height << " " << c.colorimetry;
}

class YuvToBgr : public ::testing::TestWithParam<Case> {};

struct Errors {
    double mean = 0.0;
    int largest = 0;
};

Errors Compare(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b)
{
    Errors errors;
    long long sum = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        const int difference = std::abs(a[i] - b[i]);
        sum += difference;
        errors.largest = std::max(errors.largest, difference);
    }
    errors.mean = static_cast<double>(sum) / static_cast<double>(a.size());
    return errors;
}

// The frame comes out bottom-up with padded rows, and at least as close to the picture
// it was made from as GStreamer's own conversion of it.
TEST_P(YuvToBgr, ComesOutBottomUpAndAsFaithfulAsGStreamersConversion)
{
    const Case& c = GetParam();
    Frame input(c.format, c.width, c.height, c.colorimetry);

    YuvToBgrConverter converter;
    ASSERT_TRUE(YuvToBgrConverter::Supports(c.format));
    converter.Configure(input.info);
    EXPECT_TRUE(converter.ConfiguredFor(input.info));
    const int32_t stride = DibStride(c.width);
    std::vector<uint8_t> dib(DibImageSize(c.width, c.height) + 16, 0xEE);
    converter.Convert(input.frame, dib.data());

    std::vector<uint8_t> ours;
    for (int y = 0; y < c.height; ++y) {
        const uint8_t* row = dib.data() + static_cast<size_t>(c.height - 1 - y) * stride;
        ours.insert(ours.end(), row, row + 3 * c.width);
        for (int x = 3 * c.width; x < stride; ++x)
            ASSERT_EQ(row[x], 0) << "padding of row " << y;
    }
    EXPECT_EQ(dib[DibImageSize(c.width, c.height)], 0xEE);  // nothing past the image

    const Errors ourErrors = Compare(ours, input.original);
    const Errors theirErrors = Compare(input.Reference(), input.original);
    EXPECT_LE(ourErrors.mean, theirErrors.mean + 0.25);
    EXPECT_LE(ourErrors.largest, std::max(theirErrors.largest, 8));
}

INSTANTIATE_TEST_SUITE_P(Formats, YuvToBgr,
                         ::testing::Values(Case{GST_VIDEO_FORMAT_I420, 64, 48, "bt601"},
                                           Case{GST_VIDEO_FORMAT_I420, 321, 241, "bt709"},
                                           Case{GST_VIDEO_FORMAT_YV12, 66, 34, "bt601"},
                                           Case{GST_VIDEO_FORMAT_NV12, 130, 66, "bt709"},
                                           Case{GST_VIDEO_FORMAT_I420, 40, 20, "1:4:0:0"}),
                         test::PrintedName());

TEST(YuvToBgrFormats, OnlyEightBitFourTwoZeroIsConvertedHere)
{
    EXPECT_TRUE(YuvToBgrConverter::Supports(GST_VIDEO_FORMAT_I420));
    EXPECT_FALSE(YuvToBgrConverter::Supports(GST_VIDEO_FORMAT_BGR));
    EXPECT_FALSE(YuvToBgrConverter::Supports(GST_VIDEO_FORMAT_Y444));
    EXPECT_FALSE(YuvToBgrConverter::Supports(GST_VIDEO_FORMAT_I420_10LE));
}

}  // namespace
}  // namespace klova
