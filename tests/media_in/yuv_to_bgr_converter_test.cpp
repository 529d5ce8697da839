#include "media_in/yuv_to_bgr_converter.h"

#include "platform/media_types.h"
#include "tests/support/simd_levels.h"
#include "tests/support/test_names.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <utility>
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

// A frame of random bytes in every plane (padding included).
struct RandomFrame {
    RandomFrame(GstVideoFormat format, int width, int height, GstVideoColorMatrix matrix, GstVideoColorRange range,
                uint32_t seed)
    {
        gst_video_info_set_format(&info, format, width, height);
        info.colorimetry.matrix = matrix;
        info.colorimetry.range = range;
        buffer = gst_buffer_new_allocate(nullptr, info.size, nullptr);
        GstMapInfo map;
        gst_buffer_map(buffer, &map, GST_MAP_WRITE);
        std::mt19937 random(seed);
        for (gsize i = 0; i < map.size; ++i)
            map.data[i] = static_cast<uint8_t>(random());
        gst_buffer_unmap(buffer, &map);
        gst_video_frame_map(&frame, &info, buffer, GST_MAP_READ);
    }
    ~RandomFrame()
    {
        gst_video_frame_unmap(&frame);
        gst_buffer_unref(buffer);
    }

    GstVideoInfo info;
    GstBuffer* buffer = nullptr;
    GstVideoFrame frame;
};

std::vector<uint8_t> ConvertWith(SimdLevel level, const RandomFrame& input)
{
    YuvToBgrConverter converter(level);
    converter.Configure(input.info);
    std::vector<uint8_t> dib(DibImageSize(input.info.width, input.info.height), 0xEE);
    converter.Convert(input.frame, dib.data());
    return dib;
}

class YuvToBgrLevel : public ::testing::TestWithParam<SimdLevel> {};

// Every instruction set writes the bytes the scalar code writes: every format, both
// ranges and matrices, widths around the vector lengths (16 and 32 pixels) and odd
// heights, where the last chroma row serves one luma row.
TEST_P(YuvToBgrLevel, WritesTheSameBytesAsTheScalarCode)
{
    const GstVideoFormat formats[] = {GST_VIDEO_FORMAT_I420, GST_VIDEO_FORMAT_YV12, GST_VIDEO_FORMAT_NV12};
    const GstVideoColorMatrix matrices[] = {GST_VIDEO_COLOR_MATRIX_BT601, GST_VIDEO_COLOR_MATRIX_BT709};
    const GstVideoColorRange ranges[] = {GST_VIDEO_COLOR_RANGE_16_235, GST_VIDEO_COLOR_RANGE_0_255};
    const int sizes[][2] = {{1, 1}, {2, 3}, {15, 2}, {16, 5}, {17, 4}, {31, 7}, {32, 6}, {33, 9},
                            {47, 3}, {48, 2}, {63, 11}, {64, 8}, {65, 5}, {130, 33}, {641, 17}};
    uint32_t seed = 1;
    for (const GstVideoFormat format : formats)
        for (const GstVideoColorMatrix matrix : matrices)
            for (const GstVideoColorRange range : ranges)
                for (const auto& size : sizes) {
                    SCOPED_TRACE(testing::Message() << gst_video_format_to_string(format) << " " << size[0] << "x"
                                                    << size[1] << " matrix " << matrix << " range " << range);
                    const RandomFrame input(format, size[0], size[1], matrix, range, ++seed);
                    ASSERT_EQ(ConvertWith(GetParam(), input), ConvertWith(SimdLevel::Scalar, input));
                }
}

INSTANTIATE_TEST_SUITE_P(Levels, YuvToBgrLevel, ::testing::ValuesIn(SupportedSimdLevels()), test::PrintedName());

// With a set of DIB rows, exactly those rows (padding included) are written, with the
// bytes a whole conversion gives them; every other byte keeps what it held. Rows are
// chosen singly and in pairs that split chroma rows both ways, and odd heights end
// with a chroma row that serves one luma row.
TEST(YuvToBgrRows, WritesOnlyTheRowsAskedForAsAWholeConversionWould)
{
    std::mt19937 random(3);
    uint32_t seed = 70;
    for (const GstVideoFormat format : {GST_VIDEO_FORMAT_I420, GST_VIDEO_FORMAT_NV12})
        for (const auto& size : {std::pair{64, 48}, std::pair{33, 9}, std::pair{130, 33}, std::pair{2, 1}}) {
            const RandomFrame input(format, size.first, size.second, GST_VIDEO_COLOR_MATRIX_BT601,
                                    GST_VIDEO_COLOR_RANGE_16_235, ++seed);
            const std::vector<uint8_t> whole = ConvertWith(BestSimdLevel(), input);
            const auto stride = static_cast<size_t>(DibStride(size.first));
            for (int pattern = 0; pattern < 4; ++pattern) {
                SCOPED_TRACE(testing::Message() << gst_video_format_to_string(format) << " " << size.first << "x"
                                                << size.second << " pattern " << pattern);
                std::vector<uint8_t> rows(static_cast<size_t>(size.second));
                for (size_t row = 0; row < rows.size(); ++row)
                    rows[row] = pattern == 0   ? row % 3 == 0
                                : pattern == 1 ? row % 2 == 1
                                : pattern == 2 ? (row / 2) % 2 == 0
                                               : random() % 2;
                YuvToBgrConverter converter;
                converter.Configure(input.info);
                std::vector<uint8_t> dib(whole.size(), 0xEE);
                converter.Convert(input.frame, dib.data(), &rows);
                for (size_t row = 0; row < rows.size(); ++row) {
                    const auto begin = dib.begin() + static_cast<ptrdiff_t>(row * stride);
                    if (rows[row])
                        ASSERT_TRUE(std::equal(begin, begin + static_cast<ptrdiff_t>(stride),
                                               whole.begin() + static_cast<ptrdiff_t>(row * stride)))
                            << "row " << row;
                    else
                        ASSERT_EQ(std::count(begin, begin + static_cast<ptrdiff_t>(stride), 0xEE),
                                  static_cast<ptrdiff_t>(stride))
                            << "row " << row;
                }
            }
        }
}

TEST(YuvToBgrFormats, OnlyEightBitFourTwoZeroIsConvertedHere)
{
    EXPECT_TRUE(YuvToBgrConverter::Supports(GST_VIDEO_FORMAT_I420));
    EXPECT_FALSE(YuvToBgrConverter::Supports(GST_VIDEO_FORMAT_BGR));
    EXPECT_FALSE(YuvToBgrConverter::Supports(GST_VIDEO_FORMAT_Y444));
    EXPECT_FALSE(YuvToBgrConverter::Supports(GST_VIDEO_FORMAT_I420_10LE));
}

}  // namespace
}  // namespace klova
