#include "engine/clip_naming.h"

#include "tests/support/test_names.h"

#include <gtest/gtest.h>

namespace klova {
namespace {

struct ClipNameCase {
    const char* destination;
    int32_t fileType;
    int32_t splitMode;
    int32_t clipIndex;
    const char* expected;
};

void PrintTo(const ClipNameCase& c, std::ostream* out)
{
    *out << c.destination << " type " << c.fileType << " mode " << c.splitMode << " clip " << c.clipIndex;
}

class MakeClipNameTest : public testing::TestWithParam<ClipNameCase> {};

TEST_P(MakeClipNameTest, NamesTheClip)
{
    const ClipNameCase& c = GetParam();
    ConversionSettings settings;
    settings.DstFileName = c.destination;
    settings.DstFileType = c.fileType;
    settings.SceneDetection = c.splitMode;
    EXPECT_EQ(MakeClipName(settings, c.clipIndex), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, MakeClipNameTest,
    testing::Values(
        // The destination unchanged with one output file; numbered clips otherwise.
        ClipNameCase{"/video/holiday.avi", 0, 0, 0, "/video/holiday.avi"},
        ClipNameCase{"/video/holiday.avi", 0, 1, 0, "/video/holiday00000.avi"},
        ClipNameCase{"/video/holiday.avi", 0, 1, 1, "/video/holiday00001.avi"},
        ClipNameCase{"/video/holiday.avi", 0, 1, 123456, "/video/holiday123456.avi"},
        ClipNameCase{"/video/holiday.avi", 0, 2, 7, "/video/holiday00007.avi"},
        // No extension: the output type supplies it, in both modes.
        ClipNameCase{"/video/holiday", 1, 1, 0, "/video/holiday00000.wmv"},
        ClipNameCase{"/video/holiday", 1, 0, 0, "/video/holiday.wmv"},
        ClipNameCase{"/video/holiday", 0, 0, 0, "/video/holiday.avi"},
        ClipNameCase{"/video/holiday", 0, 1, 2, "/video/holiday00002.avi"},
        // The name's own extension wins over the output type.
        ClipNameCase{"clip.wmv", 0, 1, 0, "clip00000.wmv"},
        ClipNameCase{"clip.wmv", 0, 1, 1, "clip00001.wmv"},
        ClipNameCase{"/video/movie.tar.avi", 0, 1, 3, "/video/movie.tar00003.avi"},
        // A dot in a folder name is no extension.
        ClipNameCase{"/home/me/my.videos/holiday", 0, 1, 0, "/home/me/my.videos/holiday00000.avi"},
        ClipNameCase{"/home/me/my.videos/holiday", 1, 0, 0, "/home/me/my.videos/holiday.wmv"},
        ClipNameCase{"C:\\video.d\\holiday", 0, 1, 4, "C:\\video.d\\holiday00004.avi"},
        ClipNameCase{"C:\\video\\holiday.avi", 0, 1, 0, "C:\\video\\holiday00000.avi"},
        // A leading dot does not start an extension; a folder-only name gets a number.
        ClipNameCase{"/video/.hidden", 0, 1, 0, "/video/.hidden00000.avi"},
        ClipNameCase{"/video/", 0, 1, 5, "/video/00005.avi"},
        ClipNameCase{"holiday.avi", 0, 1, 99999, "holiday99999.avi"}),
    test::PrintedName());

TEST(GetOutputExtension, FollowsTheOutputType)
{
    ConversionSettings settings;
    settings.DstFileName = "/video/holiday.wmv";
    settings.DstFileType = 0;
    EXPECT_EQ(GetOutputExtension(settings), ".avi");
    settings.DstFileType = 1;
    EXPECT_EQ(GetOutputExtension(settings), ".wmv");
    settings.DstFileType = 7;
    EXPECT_EQ(GetOutputExtension(settings), ".avi");
}

}  // namespace
}  // namespace klova
