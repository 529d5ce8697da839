#include "engine/frame_scaler.h"

#include "platform/media_types.h"
#include "tests/engine/guarded_buffer.h"
#include "tests/support/simd_levels.h"
#include "tests/support/test_names.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <stdexcept>
#include <vector>

namespace klova {
namespace {

constexpr uint8_t kSentinel = 0xAB;

std::vector<uint8_t> RandomFrame(int width, int height, uint32_t seed)
{
    std::vector<uint8_t> frame(DibImageSize(width, height));
    std::mt19937 random(seed);
    for (auto& byte : frame)
        byte = static_cast<uint8_t>(random());
    return frame;
}

const uint8_t* Pixel(const uint8_t* frame, int width, int x, int y)
{
    return frame + static_cast<size_t>(y) * DibStride(width) + 3 * static_cast<size_t>(x);
}

const DivideTable& Table()
{
    static const DivideTable table;
    return table;
}

TEST(DivideTable, RoundsDivisionBy225AndClampsTo255)
{
    const DivideTable& table = Table();
    EXPECT_EQ(table[0], 0);
    EXPECT_EQ(table[112], 0);   // 224 / 225
    EXPECT_EQ(table[113], 1);   // exactly one half rounds up
    EXPECT_EQ(table[337], 1);
    EXPECT_EQ(table[338], 2);
    EXPECT_EQ(table[225 * 100], 100);
    EXPECT_EQ(table[255 * 225], 255);
    EXPECT_EQ(table[DivideTable::kSize - 1], 255);
}

TEST(ScaleFrame, HalvingTakesEverySecondPixel)
{
    const auto source = RandomFrame(640, 480, 1);
    std::vector<uint8_t> reference(DibImageSize(320, 240));
    std::vector<uint8_t> fast(reference.size());
    ScaleFrame(Table(), source.data(), 640, 480, reference.data(), 320, 240);
    FrameScaler scaler(640, 480, 320, 240);
    scaler.Scale(source.data(), fast.data());
    for (int y = 0; y < 240; ++y) {
        for (int x = 0; x < 320; ++x) {
            for (int c = 0; c < 3; ++c) {
                ASSERT_EQ(Pixel(reference.data(), 320, x, y)[c], Pixel(source.data(), 640, 2 * x, 2 * y)[c])
                    << "pixel " << x << "," << y;
                ASSERT_EQ(Pixel(fast.data(), 320, x, y)[c], Pixel(source.data(), 640, 2 * x, 2 * y)[c])
                    << "pixel " << x << "," << y;
            }
        }
    }
}

// A source 4 pixels wide doubled to 8: columns use source columns 0, 0, 1, 1, 2, 2, 2, 2
// as the left neighbour with fractions 0, 8, 0, 8, 0, 8, 0, 8.
TEST(ScaleFrame, EnlargingFourColumnsToEightBlendsAndRepeatsTheLastPair)
{
    const uint8_t values[4] = {0, 255, 90, 10};
    std::vector<uint8_t> source(DibImageSize(4, 2));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            for (int c = 0; c < 3; ++c)
                source[static_cast<size_t>(y) * DibStride(4) + 3 * x + c] = values[x];

    auto blend = [](int a, int b) { return (105 * a + 120 * b + 112) / 225; };  // (7a + 8b) / 15, rounded
    const int expected[8] = {0, blend(0, 255), 255, blend(255, 90), 90, blend(90, 10), 90, blend(90, 10)};
    EXPECT_EQ(expected[1], 136);

    std::vector<uint8_t> reference(DibImageSize(8, 2));
    std::vector<uint8_t> fast(reference.size());
    ScaleFrame(Table(), source.data(), 4, 2, reference.data(), 8, 2);
    FrameScaler(4, 2, 8, 2).Scale(source.data(), fast.data());
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 8; ++x) {
            for (int c = 0; c < 3; ++c) {
                EXPECT_EQ(Pixel(reference.data(), 8, x, y)[c], expected[x]) << "column " << x;
                EXPECT_EQ(Pixel(fast.data(), 8, x, y)[c], expected[x]) << "column " << x;
            }
        }
    }
}

struct SizePair {
    int sw, sh, dw, dh;
};

// Sources that end exactly at an inaccessible page (without the padding of the last
// row): a read past the last pixel faults. Destination padding must stay untouched.
TEST(ScaleFrame, ReadsNoByteOutsideTheSourceAndWritesNoPadding)
{
    const SizePair pairs[] = {{2, 2, 7, 5}, {5, 3, 1, 1}, {5, 3, 13, 11}, {17, 9, 3, 2},
                              {33, 7, 64, 30}, {641, 479, 320, 241}, {3, 300, 2, 601}};
    for (const auto& p : pairs) {
        SCOPED_TRACE(testing::Message() << p.sw << "x" << p.sh << " -> " << p.dw << "x" << p.dh);
        const auto frame = RandomFrame(p.sw, p.sh, 7);
        const size_t tightSize = static_cast<size_t>(DibStride(p.sw)) * (p.sh - 1) + 3 * static_cast<size_t>(p.sw);
        test::GuardedBuffer source(tightSize);
        std::copy(frame.begin(), frame.begin() + static_cast<ptrdiff_t>(tightSize), source.data());

        std::vector<uint8_t> reference(DibImageSize(p.dw, p.dh), kSentinel);
        std::vector<uint8_t> fast(reference.size(), kSentinel);
        ScaleFrame(Table(), source.data(), p.sw, p.sh, reference.data(), p.dw, p.dh);
        FrameScaler(p.sw, p.sh, p.dw, p.dh).Scale(source.data(), fast.data());
        EXPECT_EQ(fast, reference);
        for (int y = 0; y < p.dh; ++y) {
            for (int i = 3 * p.dw; i < DibStride(p.dw); ++i) {
                EXPECT_EQ(reference[static_cast<size_t>(y) * DibStride(p.dw) + i], kSentinel);
                EXPECT_EQ(fast[static_cast<size_t>(y) * DibStride(p.dw) + i], kSentinel);
            }
        }
    }
}

TEST(FrameScaler, MatchesTheReferenceOnRandomFramesAndSizes)
{
    std::vector<SizePair> pairs = {{1280, 720, 320, 240}, {720, 576, 320, 256}, {320, 240, 640, 480},
                                   {352, 288, 720, 576},  {2, 2, 1, 1},         {2, 2, 9, 9},
                                   {3, 3, 1, 17},         {101, 77, 1, 40},     {99, 101, 100, 100},
                                   {640, 480, 639, 481},  {7, 5, 1000, 3}};
    std::mt19937 random(42);
    std::uniform_int_distribution<int> sourceSide(2, 90);
    std::uniform_int_distribution<int> outputSide(1, 130);
    for (int i = 0; i < 60; ++i)
        pairs.push_back({sourceSide(random), sourceSide(random), outputSide(random), outputSide(random)});

    uint32_t seed = 100;
    for (const auto& p : pairs) {
        if (p.sw == p.dw && p.sh == p.dh)
            continue;
        SCOPED_TRACE(testing::Message() << p.sw << "x" << p.sh << " -> " << p.dw << "x" << p.dh);
        const auto source = RandomFrame(p.sw, p.sh, ++seed);
        std::vector<uint8_t> reference(DibImageSize(p.dw, p.dh), kSentinel);
        std::vector<uint8_t> fast(reference.size(), kSentinel);
        ScaleFrame(Table(), source.data(), p.sw, p.sh, reference.data(), p.dw, p.dh);
        FrameScaler scaler(p.sw, p.sh, p.dw, p.dh);
        // Twice: the row cache must not carry rows of one frame into the next.
        scaler.Scale(RandomFrame(p.sw, p.sh, seed + 1000).data(), fast.data());
        scaler.Scale(source.data(), fast.data());
        ASSERT_EQ(fast, reference);
    }
}

class FrameScalerLevel : public ::testing::TestWithParam<SimdLevel> {};

// Each instruction set's horizontal filter: the reference's bytes on random frames and
// sizes (widths around the vector lengths of 4 and 8 pixels), nothing read outside the
// source (it ends at an inaccessible page, without the last row's padding), no padding
// of the output written, and no row of one frame carried into the next.
TEST_P(FrameScalerLevel, MatchesTheReferenceReadingOnlyTheSource)
{
    std::vector<SizePair> pairs = {{1280, 720, 320, 240}, {720, 576, 352, 288}, {2, 2, 7, 5},   {5, 3, 1, 1},
                                   {17, 9, 3, 2},         {33, 7, 64, 30},      {3, 300, 2, 601}, {7, 5, 1000, 3},
                                   {2, 2, 9, 9},          {640, 480, 639, 481}};
    std::mt19937 random(7);
    std::uniform_int_distribution<int> sourceSide(2, 70);
    std::uniform_int_distribution<int> outputSide(1, 40);
    for (int i = 0; i < 40; ++i)
        pairs.push_back({sourceSide(random), sourceSide(random), outputSide(random), outputSide(random)});

    uint32_t seed = 500;
    for (const auto& p : pairs) {
        if (p.sw == p.dw && p.sh == p.dh)
            continue;
        SCOPED_TRACE(testing::Message() << p.sw << "x" << p.sh << " -> " << p.dw << "x" << p.dh);
        const auto frame = RandomFrame(p.sw, p.sh, ++seed);
        const size_t tightSize = static_cast<size_t>(DibStride(p.sw)) * (p.sh - 1) + 3 * static_cast<size_t>(p.sw);
        test::GuardedBuffer source(tightSize);
        std::copy(frame.begin(), frame.begin() + static_cast<ptrdiff_t>(tightSize), source.data());

        std::vector<uint8_t> reference(DibImageSize(p.dw, p.dh), kSentinel);
        ScaleFrame(Table(), source.data(), p.sw, p.sh, reference.data(), p.dw, p.dh);
        std::vector<uint8_t> scaled(reference.size(), kSentinel);
        FrameScaler scaler(p.sw, p.sh, p.dw, p.dh, GetParam());
        scaler.Scale(RandomFrame(p.sw, p.sh, seed + 1000).data(), scaled.data());
        scaler.Scale(source.data(), scaled.data());
        ASSERT_EQ(scaled, reference);  // the padding of both still holds the sentinel
    }
}

INSTANTIATE_TEST_SUITE_P(Levels, FrameScalerLevel, ::testing::ValuesIn(SupportedSimdLevels()), test::PrintedName());

// The rows SourceRowsRead leaves out may hold anything: scaling a frame whose other
// rows are garbage gives the same bytes. Downscales by whole factors skip most rows.
TEST(FrameScaler, ReadsOnlyTheSourceRowsItNames)
{
    std::vector<SizePair> pairs = {{1280, 720, 320, 240}, {3840, 2160, 320, 240}, {720, 576, 352, 288},
                                   {720, 576, 320, 240},  {320, 240, 640, 480},   {2, 2, 1, 1},
                                   {5, 3, 1, 1},          {3, 300, 2, 601}};
    std::mt19937 random(11);
    std::uniform_int_distribution<int> sourceSide(2, 70);
    std::uniform_int_distribution<int> outputSide(1, 40);
    for (int i = 0; i < 40; ++i)
        pairs.push_back({sourceSide(random), sourceSide(random), outputSide(random), outputSide(random)});

    uint32_t seed = 900;
    for (const auto& p : pairs) {
        SCOPED_TRACE(testing::Message() << p.sw << "x" << p.sh << " -> " << p.dw << "x" << p.dh);
        FrameScaler scaler(p.sw, p.sh, p.dw, p.dh);
        const std::vector<uint8_t> rows = scaler.SourceRowsRead();
        ASSERT_EQ(rows.size(), static_cast<size_t>(p.sh));
        if (!scaler.NeedsScaling()) {
            EXPECT_EQ(std::count(rows.begin(), rows.end(), 1), p.sh) << "a frame handed on whole";
            continue;
        }
        const auto frame = RandomFrame(p.sw, p.sh, ++seed);
        auto poisoned = frame;
        const auto garbage = RandomFrame(p.sw, p.sh, seed + 5000);
        const auto stride = static_cast<size_t>(DibStride(p.sw));
        for (size_t row = 0; row < rows.size(); ++row) {
            if (!rows[row])
                std::copy_n(garbage.begin() + static_cast<ptrdiff_t>(row * stride), stride,
                            poisoned.begin() + static_cast<ptrdiff_t>(row * stride));
        }
        std::vector<uint8_t> expected(scaler.OutputImageSize(), kSentinel);
        std::vector<uint8_t> scaled(expected.size(), kSentinel);
        scaler.Scale(frame.data(), expected.data());
        scaler.Scale(poisoned.data(), scaled.data());
        ASSERT_EQ(scaled, expected);
    }
    // 720 rows to 240 and 2160 to 240 fall on whole rows: one row in three, one in nine.
    const std::vector<uint8_t> third = FrameScaler(1280, 720, 320, 240).SourceRowsRead();
    EXPECT_EQ(std::count(third.begin(), third.end(), 1), 240);
    const std::vector<uint8_t> ninth = FrameScaler(3840, 2160, 320, 240).SourceRowsRead();
    EXPECT_EQ(std::count(ninth.begin(), ninth.end(), 1), 240);
}

TEST(FrameScaler, ConvertFramePassesEqualSizesThroughAndScalesOthersIntoTheBuffer)
{
    const auto source = RandomFrame(1, 1, 3);
    FrameScaler same(1, 1, 1, 1);
    EXPECT_FALSE(same.NeedsScaling());
    EXPECT_EQ(same.ConvertFrame(source.data(), nullptr), source.data());

    const auto big = RandomFrame(64, 48, 4);
    FrameScaler scaler(64, 48, 30, 20);
    EXPECT_TRUE(scaler.NeedsScaling());
    EXPECT_EQ(scaler.OutputImageSize(), static_cast<size_t>(DibStride(30)) * 20);
    std::vector<uint8_t> frameBuffer(scaler.OutputImageSize());
    EXPECT_EQ(scaler.ConvertFrame(big.data(), frameBuffer.data()), frameBuffer.data());
}

TEST(FrameScaler, RefusesSourcesBelowTwoByTwoAndNonPositiveSizes)
{
    EXPECT_THROW(FrameScaler(1, 10, 2, 10), std::invalid_argument);
    EXPECT_THROW(FrameScaler(10, 1, 10, 2), std::invalid_argument);
    EXPECT_THROW(FrameScaler(0, 0, 0, 0), std::invalid_argument);
    EXPECT_THROW(FrameScaler(10, 10, 0, 5), std::invalid_argument);
    EXPECT_THROW(FrameScaler(10, 10, 5, -5), std::invalid_argument);
    EXPECT_THROW(FrameScaler(-10, 10, -10, 10), std::invalid_argument);
    uint8_t pixel[4] = {};
    EXPECT_THROW(ScaleFrame(Table(), pixel, 1, 1, pixel, 1, 1), std::invalid_argument);
    EXPECT_NO_THROW(FrameScaler(2, 2, 1, 1));
}

}  // namespace
}  // namespace klova
