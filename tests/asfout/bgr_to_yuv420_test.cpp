// The Windows Media library's BGR to 4:2:0 conversion: the picture comes out the right
// way up with BT.601 limited-range values, and every instruction set writes the same
// bytes.
#include "asfout/asf_error.h"
#include "asfout/av_handles.h"
#include "asfout/bgr_to_yuv420.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <vector>

namespace asfout {
namespace {

ptrdiff_t DibStride(int32_t width)
{
    return (3 * static_cast<ptrdiff_t>(width) + 3) / 4 * 4;
}

FramePtr MakeFrame(int32_t width, int32_t height)
{
    FramePtr frame(av_frame_alloc());
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = width;
    frame->height = height;
    EXPECT_EQ(av_frame_get_buffer(frame.get(), 0), 0);
    return frame;
}

void Convert(const std::vector<uint8_t>& dib, int32_t width, int32_t height, klova::SimdLevel level, AVFrame& frame)
{
    BgrToYuv420 converter(width, height, level);
    converter.Convert(dib.data() + DibStride(width) * (height - 1), -DibStride(width), frame);
}

class BgrToYuv420Level : public testing::TestWithParam<klova::SimdLevel> {};

// Red over blue, as a bottom-up DIB: its first rows are the picture's blue bottom.
TEST_P(BgrToYuv420Level, RedOverBlueComesOutUprightInLimitedRange)
{
    for (auto [width, height] : {std::pair{6, 4}, {34, 18}, {130, 2}}) {
        SCOPED_TRACE(testing::Message() << width << "x" << height);
        std::vector<uint8_t> dib(static_cast<size_t>(DibStride(width) * height), 0);
        for (int32_t row = 0; row < height; ++row) {
            const bool blue = row < height / 2;
            for (int32_t x = 0; x < width; ++x) {
                uint8_t* pixel = dib.data() + DibStride(width) * row + 3 * x;
                pixel[0] = blue ? 255 : 0;
                pixel[2] = blue ? 0 : 255;
            }
        }
        FramePtr frame = MakeFrame(width, height);
        Convert(dib, width, height, GetParam(), *frame);
        const auto near = [](int value, int expected) { return std::abs(value - expected) <= 1; };
        for (int32_t y = 0; y < height; ++y) {
            const bool red = y < height / 2;
            for (int32_t x = 0; x < width; ++x)
                ASSERT_TRUE(near(frame->data[0][frame->linesize[0] * y + x], red ? 82 : 41)) << x << "," << y;
        }
        for (int32_t y = 0; y < height / 2; ++y) {
            const bool red = y < height / 4;
            // A chroma row that straddles the edge (a height of 2 mod 4) mixes both.
            if (height % 4 != 0 && y == height / 4)
                continue;
            for (int32_t x = 0; x < width / 2; ++x) {
                ASSERT_TRUE(near(frame->data[1][frame->linesize[1] * y + x], red ? 90 : 240)) << x << "," << y;
                ASSERT_TRUE(near(frame->data[2][frame->linesize[2] * y + x], red ? 240 : 110)) << x << "," << y;
            }
        }
    }
}

TEST_P(BgrToYuv420Level, WritesTheSameBytesAsTheScalarKernels)
{
    std::mt19937 random(3);
    for (auto [width, height] : {std::pair{2, 2}, {66, 34}, {322, 240}}) {
        SCOPED_TRACE(testing::Message() << width << "x" << height);
        std::vector<uint8_t> dib(static_cast<size_t>(DibStride(width) * height));
        for (auto& byte : dib)
            byte = static_cast<uint8_t>(random());
        FramePtr expected = MakeFrame(width, height);
        FramePtr actual = MakeFrame(width, height);
        Convert(dib, width, height, klova::SimdLevel::Scalar, *expected);
        Convert(dib, width, height, GetParam(), *actual);
        for (int plane = 0; plane < 3; ++plane) {
            const int32_t rows = plane == 0 ? height : height / 2;
            const int32_t columns = plane == 0 ? width : width / 2;
            for (int32_t y = 0; y < rows; ++y)
                for (int32_t x = 0; x < columns; ++x)
                    ASSERT_EQ(actual->data[plane][actual->linesize[plane] * y + x],
                              expected->data[plane][expected->linesize[plane] * y + x])
                        << "plane " << plane << " at " << x << "," << y;
        }
    }
}

std::vector<klova::SimdLevel> Levels()
{
    std::vector<klova::SimdLevel> levels{klova::SimdLevel::Scalar};
    if (BgrToYuv420::BestLevel() >= klova::SimdLevel::Sse2)
        levels.push_back(klova::SimdLevel::Sse2);
    if (BgrToYuv420::BestLevel() >= klova::SimdLevel::Avx2)
        levels.push_back(klova::SimdLevel::Avx2);
    return levels;
}

INSTANTIATE_TEST_SUITE_P(Levels, BgrToYuv420Level, testing::ValuesIn(Levels()),
                         [](const testing::TestParamInfo<klova::SimdLevel>& info) {
                             return std::to_string(static_cast<int>(info.param));
                         });

TEST(BgrToYuv420, RefusesOddOrTinySizes)
{
    EXPECT_THROW(BgrToYuv420(3, 2), AsfError);
    EXPECT_THROW(BgrToYuv420(2, 1), AsfError);
    EXPECT_THROW(BgrToYuv420(0, 0), AsfError);
}

}  // namespace
}  // namespace asfout
