// BgrToI420Converter against GStreamer's videoconvert element on random frames, and each
// instruction set against the scalar code.
#include "media_out/bgr_to_i420_converter.h"

#include "platform/gst_ptr.h"
#include "platform/media_types.h"
#include "tests/support/simd_levels.h"
#include "tests/support/test_names.h"

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace klova {
namespace {

// A random picture as the engine hands it over: a bottom-up DIB, and its rows top-down
// without padding.
struct Picture {
    Picture(int32_t width, int32_t height, uint32_t seed) : width(width), height(height)
    {
        std::mt19937 random(seed);
        rows.resize(static_cast<size_t>(3 * width) * height);
        for (auto& byte : rows)
            byte = static_cast<uint8_t>(random());
        dib.assign(DibImageSize(width, height), 0);
        for (int32_t y = 0; y < height; ++y)
            std::copy_n(rows.begin() + 3 * width * y, 3 * width,
                        dib.begin() + static_cast<ptrdiff_t>(DibStride(width)) * (height - 1 - y));
    }

    int32_t width;
    int32_t height;
    std::vector<uint8_t> rows;
    std::vector<uint8_t> dib;
};

// The picture through appsrc ! videoconvert ! video/x-raw,format=I420 ! appsink, and the
// I420 format the element chose.
std::vector<uint8_t> Videoconvert(const Picture& picture, GstVideoInfo* info)
{
    const std::string description = "appsrc name=in caps=\"video/x-raw, format=BGR, width=" +
                                    std::to_string(picture.width) + ", height=" + std::to_string(picture.height) +
                                    ", framerate=25/1\" ! videoconvert ! video/x-raw, format=I420 ! appsink name=out";
    GError* error = nullptr;
    GstPtr<GstElement> pipeline = retain(gst_parse_launch(description.c_str(), &error));
    EXPECT_EQ(error, nullptr);
    if (error)
        g_error_free(error);
    GstPtr<GstElement> in = adopt(gst_bin_get_by_name(GST_BIN(pipeline.get()), "in"));
    GstPtr<GstElement> out = adopt(gst_bin_get_by_name(GST_BIN(pipeline.get()), "out"));
    gst_element_set_state(pipeline.get(), GST_STATE_PLAYING);

    GstVideoInfo bgr;
    gst_video_info_set_format(&bgr, GST_VIDEO_FORMAT_BGR, picture.width, picture.height);
    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, bgr.size, nullptr);
    GstVideoFrame frame;
    gst_video_frame_map(&frame, &bgr, buffer, GST_MAP_WRITE);
    for (int32_t y = 0; y < picture.height; ++y)
        std::copy_n(picture.rows.begin() + 3 * picture.width * y, 3 * picture.width,
                    static_cast<uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0)) +
                        y * GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0));
    gst_video_frame_unmap(&frame);
    GST_BUFFER_PTS(buffer) = 0;
    gst_app_src_push_buffer(GST_APP_SRC(in.get()), buffer);
    gst_app_src_end_of_stream(GST_APP_SRC(in.get()));

    GstPtr<GstSample> sample(gst_app_sink_pull_sample(GST_APP_SINK(out.get())));
    std::vector<uint8_t> bytes;
    if (sample) {
        gst_video_info_from_caps(info, gst_sample_get_caps(sample.get()));
        GstBuffer* converted = gst_sample_get_buffer(sample.get());
        bytes.resize(gst_buffer_get_size(converted));
        gst_buffer_extract(converted, 0, bytes.data(), bytes.size());
    }
    gst_element_set_state(pipeline.get(), GST_STATE_NULL);
    return bytes;
}

struct Size {
    int32_t width;
    int32_t height;
};

void PrintTo(const Size& size, std::ostream* out)
{
    *out << size.width << "x" << size.height;
}

class BgrToI420VersusVideoconvert : public ::testing::TestWithParam<Size> {};

// Every sample within 1 of videoconvert's, with the colorimetry it assumes for the size:
// BT.601 limited range, chroma centred, up to 576 lines; BT.709 limited range, chroma
// sited on the even columns, above.
TEST_P(BgrToI420VersusVideoconvert, EverySampleIsWithinOne)
{
    const Size size = GetParam();
    const Picture picture(size.width, size.height, static_cast<uint32_t>(size.width * 7919 + size.height));
    GstVideoInfo info;
    const std::vector<uint8_t> theirs = Videoconvert(picture, &info);
    ASSERT_FALSE(theirs.empty());
    EXPECT_EQ(info.colorimetry.range, GST_VIDEO_COLOR_RANGE_16_235);
    EXPECT_EQ(info.colorimetry.matrix,
              size.height > 576 ? GST_VIDEO_COLOR_MATRIX_BT709 : GST_VIDEO_COLOR_MATRIX_BT601);

    BgrToI420Converter converter;
    ASSERT_TRUE(converter.Configure(info));
    std::vector<uint8_t> ours(info.size, 0xEE);
    converter.Convert(picture.dib.data(), ours.data());

    int largest = 0;
    size_t different = 0;
    for (int plane = 0; plane < 3; ++plane) {
        for (int32_t y = 0; y < GST_VIDEO_INFO_COMP_HEIGHT(&info, plane); ++y) {
            const size_t row = GST_VIDEO_INFO_PLANE_OFFSET(&info, plane) +
                               static_cast<size_t>(y) * GST_VIDEO_INFO_PLANE_STRIDE(&info, plane);
            for (int32_t x = 0; x < GST_VIDEO_INFO_COMP_WIDTH(&info, plane); ++x) {
                const int difference = std::abs(ours[row + x] - theirs[row + x]);
                largest = std::max(largest, difference);
                different += difference != 0;
            }
        }
    }
    EXPECT_LE(largest, 1) << different << " samples differ";
}

INSTANTIATE_TEST_SUITE_P(Sizes, BgrToI420VersusVideoconvert,
                         ::testing::Values(Size{1, 1}, Size{2, 2}, Size{3, 3}, Size{17, 5}, Size{64, 48},
                                           Size{65, 47}, Size{321, 241}, Size{720, 576}, Size{4, 578},
                                           Size{641, 579}, Size{1280, 720}),
                         test::PrintedName());

// A format of the given size with another matrix, range or siting.
GstVideoInfo I420Info(int32_t width, int32_t height, GstVideoColorMatrix matrix, GstVideoColorRange range,
                      GstVideoChromaSite site)
{
    GstVideoInfo info;
    gst_video_info_set_format(&info, GST_VIDEO_FORMAT_I420, width, height);
    info.colorimetry.matrix = matrix;
    info.colorimetry.range = range;
    info.chroma_site = site;
    return info;
}

class BgrToI420Level : public ::testing::TestWithParam<SimdLevel> {};

// Every instruction set writes the scalar code's bytes, padding included: both sitings,
// matrices and ranges, widths around the vector lengths (16, 32 and 64 pixels) and odd
// heights.
TEST_P(BgrToI420Level, WritesTheSameBytesAsTheScalarCode)
{
    const GstVideoColorMatrix matrices[] = {GST_VIDEO_COLOR_MATRIX_BT601, GST_VIDEO_COLOR_MATRIX_BT709,
                                            GST_VIDEO_COLOR_MATRIX_BT2020};
    const GstVideoColorRange ranges[] = {GST_VIDEO_COLOR_RANGE_16_235, GST_VIDEO_COLOR_RANGE_0_255};
    const GstVideoChromaSite sites[] = {GST_VIDEO_CHROMA_SITE_JPEG, GST_VIDEO_CHROMA_SITE_MPEG2};
    const Size sizes[] = {{1, 1},  {2, 3},  {3, 2},  {15, 4}, {16, 5},  {17, 2},  {31, 3},  {32, 4},
                          {33, 1}, {63, 2}, {64, 3}, {65, 4}, {66, 5},  {97, 2},  {130, 7}, {641, 9}};
    uint32_t seed = 10;
    for (const GstVideoColorMatrix matrix : matrices)
        for (const GstVideoColorRange range : ranges)
            for (const GstVideoChromaSite site : sites)
                for (const Size& size : sizes) {
                    SCOPED_TRACE(testing::Message() << size.width << "x" << size.height << " matrix " << matrix
                                                    << " range " << range << " site " << site);
                    const Picture picture(size.width, size.height, ++seed);
                    const GstVideoInfo info = I420Info(size.width, size.height, matrix, range, site);
                    std::vector<uint8_t> expected(info.size, 0xEE);
                    std::vector<uint8_t> actual(info.size, 0xDD);
                    BgrToI420Converter scalar(SimdLevel::Scalar);
                    BgrToI420Converter vector(GetParam());
                    ASSERT_TRUE(scalar.Configure(info));
                    ASSERT_TRUE(vector.Configure(info));
                    scalar.Convert(picture.dib.data(), expected.data());
                    vector.Convert(picture.dib.data(), actual.data());
                    ASSERT_EQ(actual, expected);
                }
}

INSTANTIATE_TEST_SUITE_P(Levels, BgrToI420Level, ::testing::ValuesIn(SupportedSimdLevels()), test::PrintedName());

TEST(BgrToI420Converter, TakesOnlyI420WithAYuvMatrix)
{
    BgrToI420Converter converter;
    GstVideoInfo info = I420Info(16, 16, GST_VIDEO_COLOR_MATRIX_BT601, GST_VIDEO_COLOR_RANGE_16_235,
                                 GST_VIDEO_CHROMA_SITE_JPEG);
    EXPECT_TRUE(converter.Configure(info));
    // Limited-range BT.601 in 1/256: 16 + (0.257 R + 0.504 G + 0.098 B) for luma.
    EXPECT_EQ(converter.Coefficients().y.r, 66);
    EXPECT_EQ(converter.Coefficients().y.g, 129);
    EXPECT_EQ(converter.Coefficients().y.b, 25);
    EXPECT_EQ(converter.Coefficients().y.offset, 16 * 256);

    info.colorimetry.matrix = GST_VIDEO_COLOR_MATRIX_RGB;
    EXPECT_FALSE(converter.Configure(info));
    gst_video_info_set_format(&info, GST_VIDEO_FORMAT_NV12, 16, 16);
    EXPECT_FALSE(converter.Configure(info));
}

}  // namespace
}  // namespace klova
