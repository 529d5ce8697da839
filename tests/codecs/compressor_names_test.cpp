// The encoder names the compressor combos and klova-convert --list-encoders share.
#include "codecs/compressor_names.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace klova {
namespace {

TEST(SortEntries, SortsByteWiseAndCaseSensitively)
{
    std::vector<std::string> entries = {"libav MPEG-4", "Zeta", "<Uncompressed>", "3ivx", "alpha", "Alpha",
                                        "\xC3\xA9t\xC3\xA9", "Z", ""};
    SortEntries(entries);
    // "<" (0x3C) sorts after the digits and before the capitals; capitals before small
    // letters; a UTF-8 lead byte after everything ASCII.
    EXPECT_EQ(entries, (std::vector<std::string>{"", "3ivx", "<Uncompressed>", "Alpha", "Z", "Zeta", "alpha",
                                                 "libav MPEG-4", "\xC3\xA9t\xC3\xA9"}));
}

TEST(ListCompressorNames, VideoIsTheCategoryPlusUncompressedSorted)
{
    std::vector<std::string> expected = FillCompressorList(CompressorCategory::Video);
    ASSERT_FALSE(expected.empty());
    expected.push_back("<Uncompressed>");
    std::sort(expected.begin(), expected.end());

    const std::vector<std::string> names = ListCompressorNames(CompressorCategory::Video);
    EXPECT_EQ(names, expected);
    EXPECT_EQ(std::count(names.begin(), names.end(), "<Uncompressed>"), 1);
    EXPECT_NE(std::find(names.begin(), names.end(), "libav MPEG-4 part 2 encoder"), names.end());
}

TEST(ListCompressorNames, AudioIsTheCategoryPlusPcmSorted)
{
    std::vector<std::string> expected = FillCompressorList(CompressorCategory::Audio);
    ASSERT_FALSE(expected.empty());
    expected.push_back("PCM");
    std::sort(expected.begin(), expected.end());

    const std::vector<std::string> names = ListCompressorNames(CompressorCategory::Audio);
    EXPECT_EQ(names, expected);
    EXPECT_EQ(std::count(names.begin(), names.end(), "<Uncompressed>"), 0);
}

// Encoders that share a name (libav's two AC-3 encoders) are offered once: both
// entries would choose the same, first, encoder.
TEST(ListCompressorNames, EachNameOnce)
{
    for (const CompressorCategory category : {CompressorCategory::Video, CompressorCategory::Audio}) {
        const std::vector<std::string> names = ListCompressorNames(category);
        EXPECT_EQ(std::adjacent_find(names.begin(), names.end()), names.end());
    }
}

}  // namespace
}  // namespace klova
