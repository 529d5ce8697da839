// What klova-convert tells about itself: --list-encoders (the names the window's combos
// hold), --list-profiles (the library's built-in profiles and bit rates), --version and
// --help; and that a listed name is one a conversion takes.
#include "codecs/compressor_names.h"
#include "media_out/win_media_library.h"
#include "media_out/win_media_profiles.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

namespace klova {
namespace {

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line);
    return lines;
}

test::CommandResult RunConvert(const std::string& arguments)
{
    return test::RunCommand(test::ShellQuote(test::BuildPath("klova-convert")) + " " + arguments);
}

struct EncoderListing {
    std::vector<std::string> video;
    std::vector<std::string> audio;
};

// The two blocks of --list-encoders, each without its heading line.
EncoderListing ParseEncoderListing(const std::string& text)
{
    EncoderListing listing;
    std::vector<std::string>* block = &listing.video;
    bool heading = true;
    for (const std::string& line : Lines(text)) {
        if (line.empty()) {
            block = &listing.audio;
            heading = true;
        } else if (heading) {
            heading = false;
        } else {
            block->push_back(line);
        }
    }
    return listing;
}

struct ListedProfile {
    std::string name;
    std::string videoKbps;
    std::string audioKbps;
};

// The profile lines of --list-profiles: two right-aligned 12-character columns, each
// followed by two blanks, then the name.
std::vector<ListedProfile> ParseProfileListing(const std::string& text)
{
    std::vector<ListedProfile> profiles;
    const std::vector<std::string> lines = Lines(text);
    for (size_t i = 1; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.size() <= 28)
            return {};
        auto trimmed = [](std::string cell) { return cell.erase(0, cell.find_first_not_of(' ')); };
        profiles.push_back({line.substr(28), trimmed(line.substr(0, 12)), trimmed(line.substr(14, 12))});
    }
    return profiles;
}

std::string Kbps(int64_t bitsPerSecond) { return std::to_string(bitsPerSecond / 1000); }

TEST(ListEncoders, PrintsTheComboNamesUnderAHeadingEach)
{
    const test::CommandResult result = RunConvert("--list-encoders");
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.err, "");
    const std::vector<std::string> lines = Lines(result.out);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "Video encoders (VideoCodec=NAME):");
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Audio encoders (AudioCodec=NAME):"), lines.end());

    const EncoderListing listing = ParseEncoderListing(result.out);
    EXPECT_EQ(listing.video, ListCompressorNames(CompressorCategory::Video));
    EXPECT_EQ(listing.audio, ListCompressorNames(CompressorCategory::Audio));
    EXPECT_TRUE(std::is_sorted(listing.video.begin(), listing.video.end()));
    EXPECT_NE(std::find(listing.video.begin(), listing.video.end(), "<Uncompressed>"), listing.video.end());
    EXPECT_NE(std::find(listing.audio.begin(), listing.audio.end(), "PCM"), listing.audio.end());
}

TEST(ListProfiles, PrintsEachBuiltInProfileWithItsBitRates)
{
    const test::CommandResult result = RunConvert("--list-profiles");
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(Lines(result.out).front(), "Video kbit/s  Audio kbit/s  Windows Media profile (MediaProfile=NAME)");

    const std::vector<ProfileDescription> expected = DescribeProfiles(WinMediaLibrary(KLOVA_BUILD_DIR));
    const std::vector<ListedProfile> listed = ParseProfileListing(result.out);
    ASSERT_EQ(listed.size(), expected.size());
    ASSERT_FALSE(listed.empty());
    for (size_t i = 0; i < listed.size(); ++i) {
        EXPECT_EQ(listed[i].name, expected[i].name);
        EXPECT_EQ(listed[i].videoKbps, Kbps(expected[i].videoBitsPerSecond)) << listed[i].name;
        EXPECT_EQ(listed[i].audioKbps, Kbps(expected[i].audioBitsPerSecond)) << listed[i].name;
    }
}

TEST(ListProfiles, WithoutTheLibraryFailsAndSaysWhy)
{
    test::TempDir dir;
    const std::string program = dir.File("klova-convert");
    std::filesystem::copy_file(test::BuildPath("klova-convert"), program);
    const test::CommandResult result = test::RunCommand(test::ShellQuote(program) + " --list-profiles");
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_NE(result.err.find("libasfout.so"), std::string::npos) << result.err;
}

TEST(ListEncoders, ListedNamesAreTheNamesAConversionTakes)
{
    const EncoderListing listing = ParseEncoderListing(RunConvert("--list-encoders").out);
    const std::vector<ListedProfile> profiles = ParseProfileListing(RunConvert("--list-profiles").out);
    auto listed = [](const std::vector<std::string>& names, const std::string& name) {
        return std::find(names.begin(), names.end(), name) != names.end();
    };
    const std::string video = "libav MPEG-4 part 2 encoder";
    const std::string audio = "libav MP2 (MPEG audio layer 2) encoder";
    ASSERT_TRUE(listed(listing.video, video));
    ASSERT_TRUE(listed(listing.audio, audio));
    ASSERT_FALSE(profiles.empty());

    test::TempDir dir;
    const std::string input = dir.File("in.avi");
    test::Ffmpeg("-f lavfi -i testsrc=size=160x120:rate=10:duration=1 -f lavfi -i sine=frequency=500:duration=1 "
                 "-c:v mpeg4 -c:a pcm_s16le -shortest " + test::ShellQuote(input));

    const std::string avi = dir.File("out.avi");
    test::CommandResult result = RunConvert(test::ShellQuote("SrcFileName=" + input) + " " +
                                            test::ShellQuote("DstFileName=" + avi) + " " +
                                            test::ShellQuote("VideoCodec=" + video) + " " +
                                            test::ShellQuote("AudioCodec=" + audio));
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(test::ProbeStream(avi, "video").at("codec_name"), "mpeg4");
    EXPECT_EQ(test::ProbeStream(avi, "audio").at("codec_name"), "mp2");

    const std::string wmv = dir.File("out.wmv");
    result = RunConvert(test::ShellQuote("SrcFileName=" + input) + " " + test::ShellQuote("DstFileName=" + wmv) +
                        " DstFileType=1 " + test::ShellQuote("MediaProfile=" + profiles.back().name));
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_FALSE(test::ProbeStream(wmv, "video").empty());
}

TEST(Version, PrintsTheProgramsVersionAndGStreamers)
{
    const test::CommandResult result = RunConvert("--version");
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.err, "");
    const std::vector<std::string> lines = Lines(result.out);
    ASSERT_EQ(lines.size(), 2u) << result.out;
    EXPECT_EQ(lines[0], std::string("klova-convert (KLOVA Video Converter) ") + KLOVA_VERSION);
    EXPECT_EQ(lines[1].rfind("GStreamer 1.", 0), 0u) << lines[1];
}

TEST(Help, NamesEveryOptionAndItsExamplesUseAListedProfile)
{
    const test::CommandResult result = RunConvert("--help");
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    for (const char* option : {"--profile", "--list-encoders", "--list-profiles", "--version", "--help"})
        EXPECT_NE(result.out.find(option), std::string::npos) << option;

    std::vector<std::string> names;
    for (const ListedProfile& profile : ParseProfileListing(RunConvert("--list-profiles").out))
        names.push_back(profile.name);
    // Every MediaProfile='...' of the help text, the README and the manual page.
    const std::regex example("MediaProfile='([^']*)'");
    for (const std::string& text : {result.out, test::ReadFile(std::string(KLOVA_SOURCE_DIR) + "/README.md"),
                                    test::ReadFile(std::string(KLOVA_SOURCE_DIR) + "/packaging/klova-convert.1.in")}) {
        int examples = 0;
        for (std::sregex_iterator it(text.begin(), text.end(), example), end; it != end; ++it, ++examples)
            EXPECT_NE(std::find(names.begin(), names.end(), (*it)[1].str()), names.end()) << (*it)[1];
        EXPECT_GT(examples, 0);
    }
}

TEST(CommandLine, UnknownOptionIsABadCommandLine)
{
    const test::CommandResult result = RunConvert("--list-codecs");
    EXPECT_EQ(result.exitStatus, 2);
    EXPECT_NE(result.err.find("unknown option: --list-codecs"), std::string::npos) << result.err;
}

}  // namespace
}  // namespace klova
