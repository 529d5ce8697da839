// End-to-end runs of klova-convert on how the sound keeps to the pictures: exact amounts
// of audio per frame (no drift, exact pitch), long runs that never stall, and AVI files
// whose audio and video chunks alternate in time order.
#include "tests/conversion/looped_tone_video.h"
#include "tests/support/test_names.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cmath>

namespace klova {
namespace {

class AudioSync : public ::testing::Test {
protected:
    test::TempDir dir_;
};

// Ten minutes at 29.97 fps to 11,025 Hz 8-bit mono: the conversion stalled for good
// after about 3.6 minutes when the audio was cut short by every frame's rounding; now it
// runs to the end with the sound within a frame of the pictures and at its pitch.
TEST_F(AudioSync, TenMinutesAt2997To11025HzMonoRunToTheEndInStep)
{
    const std::string input = dir_.File("in.avi");
    test::MakeLoopedToneVideo(input, {.copies = 10});
    const double inputSeconds = 10 * test::kLoopPieceSeconds;
    const std::string output = dir_.File("out.avi");
    const test::CommandResult result =
        test::RunKlovaConvert({"SrcFileName=" + input, "DstFileName=" + output, "VideoCodec=<Uncompressed>",
                               "KeepSettings=0", "KeepSound=0", "SampleRate=0", "Bits=0", "Channels=0"});
    ASSERT_EQ(result.exitStatus, 0) << result.err;

    const test::ProbeFields video = test::ProbeStream(output, "video");
    const double frameSeconds = 1001.0 / 30000.0;
    const double videoSeconds = std::stod(video.at("nb_frames")) * frameSeconds;
    EXPECT_NEAR(videoSeconds, inputSeconds, frameSeconds);
    const test::ProbeFields audio = test::ProbeStream(output, "audio");
    EXPECT_EQ(audio.at("sample_rate"), "11025");
    EXPECT_EQ(audio.at("codec_name"), "pcm_u8");
    EXPECT_NEAR(test::DecodedAudioSeconds(output), videoSeconds, frameSeconds);
    EXPECT_NEAR(test::ToneFrequency(output, 590.0, 5.0), 1000.0, 0.5);  // 0.22 % sharp was 1002.2 Hz
}

struct InterleaveCase {
    const char* videoCodec;
    const char* audioCodec;
};

void PrintTo(const InterleaveCase& c, std::ostream* out) { *out << c.videoCodec << " and " << c.audioCodec; }

class AudioSyncInterleave : public AudioSync, public ::testing::WithParamInterface<InterleaveCase> {};

// Audio and video chunks alternate in the file in time order, never more than half a
// second of one stream in a row, whether or not an encoder sits on a stream (an encoder
// on the video used to put every audio chunk before every video chunk).
TEST_P(AudioSyncInterleave, AviChunksAlternateInTimeOrder)
{
    const InterleaveCase& c = GetParam();
    const std::string input = dir_.File("in.avi");
    test::Ffmpeg("-f lavfi -i testsrc=size=160x120:rate=25:duration=60 "
                 "-f lavfi -i sine=frequency=1000:sample_rate=44100:duration=60 "
                 "-c:v mjpeg -q:v 8 -c:a pcm_s16le -ac 2 " + test::ShellQuote(input));
    const std::string output = dir_.File("out.avi");
    const test::CommandResult result =
        test::RunKlovaConvert({"SrcFileName=" + input, "DstFileName=" + output,
                               std::string("VideoCodec=") + c.videoCodec, std::string("AudioCodec=") + c.audioCodec});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    const std::vector<test::PacketInfo> packets = test::ProbePacketsInFileOrder(output);
    ASSERT_GT(packets.size(), 1500u);
    EXPECT_LE(test::LongestSingleStreamRun(packets), 0.5);
    // The two streams run the whole minute, side by side.
    double lastVideo = 0.0, lastAudio = 0.0;
    for (const test::PacketInfo& packet : packets)
        (packet.stream == 0 ? lastVideo : lastAudio) = packet.seconds;
    EXPECT_NEAR(lastVideo, 60.0, 0.1);
    EXPECT_NEAR(lastAudio, 60.0, 0.1);
    EXPECT_EQ(test::DecodeErrors(output), "");
}

INSTANTIATE_TEST_SUITE_P(Encoders, AudioSyncInterleave,
                         ::testing::Values(InterleaveCase{"<Uncompressed>", "PCM"},
                                           InterleaveCase{"libav MPEG-4 part 2 encoder", "PCM"},
                                           InterleaveCase{"x264 H.264 Encoder", "L.A.M.E. mp3 encoder"}),
                         test::PrintedName());

}  // namespace
}  // namespace klova
