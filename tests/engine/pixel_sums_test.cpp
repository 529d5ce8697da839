// The scene detector's pixel sums in every instruction set the processor runs: the same
// exact sums as a plain loop, for runs of every length and alignment, with no byte read
// past the run.
#include "engine/pixel_sums.h"
#include "tests/engine/guarded_buffer.h"

#include <gtest/gtest.h>

#include <random>

namespace klova {
namespace {

ChannelSums PlainSums(const uint8_t* p, size_t pixels)
{
    ChannelSums sums;
    for (size_t i = 0; i < pixels; ++i) {
        sums.blue += p[3 * i];
        sums.green += p[3 * i + 1];
        sums.red += p[3 * i + 2];
    }
    return sums;
}

class PixelSumsLevel : public testing::TestWithParam<SimdLevel> {};

TEST_P(PixelSumsLevel, AddsExactlyWhatAPlainLoopAddsAndReadsNoFurther)
{
    const PixelSummer addPixels = PixelSummerFor(GetParam());
    std::mt19937 random(11);
    for (size_t pixels = 0; pixels <= 200; ++pixels) {
        // The run ends right before an inaccessible page.
        test::GuardedBuffer run(3 * pixels);
        for (size_t i = 0; i < run.size(); ++i)
            run.data()[i] = static_cast<uint8_t>(random());
        ChannelSums sums{1, 2, 3};  // added to, not replaced
        addPixels(run.data(), pixels, sums);
        ChannelSums expected = PlainSums(run.data(), pixels);
        expected.blue += 1;
        expected.green += 2;
        expected.red += 3;
        ASSERT_EQ(sums, expected) << pixels << " pixels";
    }
}

TEST_P(PixelSumsLevel, LongBrightRowsDoNotOverflow)
{
    const PixelSummer addPixels = PixelSummerFor(GetParam());
    constexpr size_t kPixels = 1 << 20;
    std::vector<uint8_t> row(3 * kPixels + 1, 255);
    ChannelSums sums;
    addPixels(row.data() + 1, kPixels, sums);  // unaligned
    EXPECT_EQ(sums, (ChannelSums{255 * kPixels, 255 * kPixels, 255 * kPixels}));
}

INSTANTIATE_TEST_SUITE_P(Levels, PixelSumsLevel, testing::ValuesIn(SupportedSimdLevels()),
                         [](const testing::TestParamInfo<SimdLevel>& info) { return SimdLevelName(info.param); });

}  // namespace
}  // namespace klova
