// Feature-length conversions through klova-convert (label "slow"): the sound stays within
// a frame of the pictures and at its pitch for hours, at kept and custom audio rates,
// and a long AVI conversion never stalls.
#include "tests/conversion/looped_tone_video.h"
#include "tests/support/test_names.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cmath>

namespace klova {
namespace {

// Seventy minutes of 16 x 16 MJPEG at 29.97 fps with 44.1 kHz stereo PCM, default settings and
// uncompressed output: the conversion stalled for good at 58 min 26 s of output (the
// kept sound drifted 0.015 % behind the frames) and ignored SIGTERM; it now runs to the
// end with the sound in step.
TEST(LongConversion, SeventyMinutesWithKeptCdSoundRunToTheEnd)
{
    test::TempDir dir;
    const std::string input = dir.File("in.avi");
    test::MakeLoopedToneVideo(input, {.copies = 70});
    const double inputSeconds = 70 * test::kLoopPieceSeconds;
    const std::string output = dir.File("out.avi");
    const test::CommandResult result =
        test::RunKlovaConvert({"SrcFileName=" + input, "DstFileName=" + output, "VideoCodec=<Uncompressed>"});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    const double frameSeconds = 1001.0 / 30000.0;
    const double videoSeconds = std::stod(test::ProbeStream(output, "video").at("nb_frames")) * frameSeconds;
    EXPECT_NEAR(videoSeconds, inputSeconds, frameSeconds);
    EXPECT_NEAR(test::DecodedAudioSeconds(output), videoSeconds, frameSeconds);
}

struct FilmCase {
    const char* name;
    const char* rate;  // ffmpeg's form
    double framesPerSecond;
    std::vector<std::string> audioSettings;  // empty: the sound kept
    const char* sampleRate;                  // expected in the output
};

void PrintTo(const FilmCase& c, std::ostream* out) { *out << c.name; }

class LongConversionFilm : public ::testing::TestWithParam<FilmCase> {};

// Two hours of small frames to uncompressed AVI: the sound ends within a frame of the
// pictures and its 1 kHz tone is 1 kHz at the end.
TEST_P(LongConversionFilm, KeepsTheSoundWithinAFrameForTwoHours)
{
    const FilmCase& c = GetParam();
    test::TempDir dir;
    const std::string input = dir.File("in.avi");
    test::MakeLoopedToneVideo(input, {.rate = c.rate, .copies = 120, .sampleRate = 8000, .audio = "-c:a pcm_u8 -ac 1"});
    const double inputSeconds = 120 * test::kLoopPieceSeconds;  // two hours and seven seconds
    const std::string output = dir.File("out.avi");
    std::vector<std::string> settings{"SrcFileName=" + input, "DstFileName=" + output, "VideoCodec=<Uncompressed>"};
    settings.insert(settings.end(), c.audioSettings.begin(), c.audioSettings.end());
    const test::CommandResult result = test::RunKlovaConvert(settings);
    ASSERT_EQ(result.exitStatus, 0) << result.err;

    const double frameSeconds = 1.0 / c.framesPerSecond;
    const double videoSeconds = std::stod(test::ProbeStream(output, "video").at("nb_frames")) * frameSeconds;
    EXPECT_NEAR(videoSeconds, inputSeconds, frameSeconds);
    EXPECT_EQ(test::ProbeStream(output, "audio").at("sample_rate"), c.sampleRate);
    EXPECT_NEAR(test::DecodedAudioSeconds(output), videoSeconds, frameSeconds);
    EXPECT_NEAR(test::ToneFrequency(output, inputSeconds - 10.0, 5.0), 1000.0, 0.5);
}

INSTANTIATE_TEST_SUITE_P(
    Rates, LongConversionFilm,
    ::testing::Values(FilmCase{"29.97 fps to 11025 Hz", "30000/1001", 30000.0 / 1001.0,
                               {"KeepSettings=0", "KeepSound=0", "SampleRate=0", "Bits=0", "Channels=0"}, "11025"},
                      FilmCase{"23.976 fps with the sound kept", "24000/1001", 24000.0 / 1001.0, {}, "8000"}),
    test::PrintedName());

}  // namespace
}  // namespace klova
