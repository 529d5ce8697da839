// Every encoder the compressor lists offer, driven through klova-convert as a user
// would drive it: video encoders at the extremes of quality and at three key-frame
// spacings, audio encoders on 11,025 Hz 8-bit mono and 48 kHz stereo sound. ffprobe
// judges the files; each case is named after the encoder's factory.
#include "codecs/encoder_input_format.h"
#include "codecs/video_compression_adapter.h"
#include "platform/ini_file.h"
#include "platform/media_types.h"
#include "tests/support/listed_encoders.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace klova {
namespace {

constexpr int kVideoFrames = 60;  // 2.4 s at 25 frames per second
constexpr double kAudioSeconds = 2.0;

using test::ListedEncoder;

// The "VideoFormat" profile value for a quality and a key-frame spacing.
std::string VideoFormat(uint32_t quality, uint32_t keyFrameEvery)
{
    AVICOMPRESSOPTIONS options;
    options.dwQuality = quality;
    options.dwKeyFrameEvery = keyFrameEvery;
    options.dwFlags = AVICOMPRESSF_KEYFRAMES;
    return IniFile::EncodeBlock(&options, sizeof options);
}

// The decoded video frames' key-frame flags, in display order.
std::string KeyFrames(const std::string& file, std::string* errors)
{
    const test::CommandResult result = test::RunCommand(
        "ffprobe -v error -select_streams v:0 -show_entries frame=key_frame -of csv=p=0 " + test::ShellQuote(file));
    *errors = result.err;
    std::string flags;
    std::istringstream lines(result.out);
    for (std::string line; std::getline(lines, line);)
        flags += line.substr(0, 1);
    return flags;
}

// "1" at each multiple of the spacing, "0" elsewhere.
std::string KeyFramesEvery(int spacing)
{
    std::string flags;
    for (int i = 0; i < kVideoFrames; ++i)
        flags += i % spacing == 0 ? '1' : '0';
    return flags;
}

// Codecs that code every frame on its own, as ffprobe names them.
bool IsIntraOnly(const std::string& codec)
{
    static const std::set<std::string> intraOnly = {"mjpeg", "ljpeg", "png", "jpeg2000", "huffyuv", "dvvideo"};
    return intraOnly.count(codec) > 0;
}

// The inputs live in one folder per test program run.
class EncoderWalk : public ::testing::Test {
protected:
    static void TearDownTestSuite()
    {
        delete dir_;
        dir_ = nullptr;
    }

    static test::TempDir* dir_;
};

test::TempDir* EncoderWalk::dir_ = nullptr;

class VideoEncoderWalk : public EncoderWalk, public ::testing::WithParamInterface<ListedEncoder> {
protected:
    // Moving pictures with detail and no sound, nearly lossless, so decoding them costs little.
    static void SetUpTestSuite()
    {
        dir_ = new test::TempDir;
        test::Ffmpeg("-f lavfi -i testsrc2=size=352x288:rate=25 -frames:v " + std::to_string(kVideoFrames) +
                     " -c:v mjpeg -q:v 2 " + test::ShellQuote(dir_->File("video.avi")));
    }

    // Converts the clip; false (with the reason recorded) when klova-convert fails or
    // the file does not hold every frame.
    bool ConvertVideo(const std::string& output, uint32_t quality, uint32_t keyFrameEvery)
    {
        SCOPED_TRACE("quality " + std::to_string(quality) + ", key frames every " + std::to_string(keyFrameEvery));
        std::vector<std::string> settings = {"SrcFileName=" + dir_->File("video.avi"), "DstFileName=" + output,
                                             "VideoCodec=" + GetParam().friendlyName,
                                             "VideoFormat=" + VideoFormat(quality, keyFrameEvery)};
        settings.insert(settings.end(), sizeSettings_.begin(), sizeSettings_.end());
        const test::CommandResult result = test::RunKlovaConvert(settings);
        EXPECT_EQ(result.exitStatus, 0) << result.err;
        if (result.exitStatus != 0)
            return false;
        const test::ProbeFields video = test::ProbeStream(output, "video");
        EXPECT_FALSE(video.empty()) << "no video stream";
        if (video.empty())
            return false;
        EXPECT_NE(video.at("codec_name"), "rawvideo");
        if (GetParam().factory == "jpegenc" || GetParam().factory == "avenc_mjpeg") {
            EXPECT_EQ(video.at("codec_name"), "mjpeg");
        }
        // Players decode H.264 as 4:2:0 in the common profiles only.
        if (video.at("codec_name") == "h264") {
            EXPECT_EQ(video.at("pix_fmt"), "yuv420p");
            EXPECT_NE(video.at("profile"), "High 4:4:4 Predictive");
        }
        std::string errors;
        const std::string keyFrames = KeyFrames(output, &errors);
        EXPECT_EQ(errors, "");
        EXPECT_EQ(static_cast<int>(keyFrames.size()), kVideoFrames);
        return true;
    }

    // Settings that scale the clip to a size the encoder takes; none for 352 x 288.
    std::vector<std::string> sizeSettings_;

    void ExpectKeyFramesEvery(const std::string& file, int spacing)
    {
        std::string errors;
        const std::string keyFrames = KeyFrames(file, &errors);
        const std::string codec = test::ProbeStream(file, "video").at("codec_name");
        const std::string expected = IsIntraOnly(codec) ? std::string(kVideoFrames, '1') : KeyFramesEvery(spacing);
        EXPECT_EQ(keyFrames, expected) << "key frames every " << spacing << " (" << codec << ")";
    }
};

TEST_P(VideoEncoderWalk, QualityAndKeyFramesDoWhatTheyAsk)
{
    SCOPED_TRACE(GetParam().friendlyName);
    GstPtr<GstElement> encoder = MakeElement(GetParam().factory.c_str());
    ASSERT_TRUE(encoder);
    int32_t capabilities = 0;
    VideoCompressionAdapter(encoder.get()).GetInfo(nullptr, nullptr, nullptr, nullptr, nullptr, &capabilities);
    // DV takes its broadcast sizes only: 352 x 288 is refused when the file opens, and
    // the walk goes on at 720 x 576.
    if (!EncoderInputFormat::FixedInput(encoder.get(), nullptr, 352, 288, 25.0)) {
        const test::CommandResult refused =
            test::RunKlovaConvert({"SrcFileName=" + dir_->File("video.avi"), "DstFileName=" + dir_->File("refused.avi"),
                                   "VideoCodec=" + GetParam().friendlyName});
        EXPECT_EQ(refused.exitStatus, 1);
        EXPECT_NE(refused.err.find("Cannot open output file."), std::string::npos) << refused.err;
        ASSERT_TRUE(EncoderInputFormat::FixedInput(encoder.get(), nullptr, 720, 576, 25.0));
        sizeSettings_ = {"KeepSettings=0", "KeepFrameRate=1", "KeepSound=1", "KeepFrameSize=0", "KeepAspect=0",
                         "FrameWidth=720", "FrameHeight=576"};
    }

    const std::string lowest = dir_->File(GetParam().factory + "-q0.avi");
    const std::string middle = dir_->File(GetParam().factory + "-q5000.avi");
    const std::string highest = dir_->File(GetParam().factory + "-q10000.avi");
    ASSERT_TRUE(ConvertVideo(lowest, 0, 30));
    ASSERT_TRUE(ConvertVideo(middle, 5000, 30));
    ASSERT_TRUE(ConvertVideo(highest, 10000, 30));
    if (capabilities & VideoCompressionAdapter::CompressionCaps_CanQuality) {
        const long long sizes[] = {test::FileSize(lowest), test::FileSize(middle), test::FileSize(highest)};
        SCOPED_TRACE("bytes at quality 0, 5000, 10000: " + std::to_string(sizes[0]) + ", " + std::to_string(sizes[1]) +
                     ", " + std::to_string(sizes[2]));
        EXPECT_GE(sizes[2], 2 * sizes[0]);
        EXPECT_GT(sizes[1], sizes[0]);
        // An encoder's own bit-rate cap (mpeg2enc's) may flatten the top of the scale.
        EXPECT_LE(sizes[1], sizes[2] + sizes[2] / 50);
    }

    if (!(capabilities & VideoCompressionAdapter::CompressionCaps_CanKeyFrame))
        return;
    ExpectKeyFramesEvery(middle, 30);
    for (int spacing : {10, 1}) {
        const std::string file = dir_->File(GetParam().factory + "-k" + std::to_string(spacing) + ".avi");
        ASSERT_TRUE(ConvertVideo(file, 5000, static_cast<uint32_t>(spacing)));
        ExpectKeyFramesEvery(file, spacing);
    }
}

INSTANTIATE_TEST_SUITE_P(Listed, VideoEncoderWalk,
                         ::testing::ValuesIn(test::ListedEncoders(CompressorCategory::Video, true)),
                         test::ListedEncoderTestName);

class AudioEncoderWalk : public EncoderWalk, public ::testing::WithParamInterface<ListedEncoder> {
protected:
    // Sound in the two formats at the ends of what users bring, beside small pictures.
    static void SetUpTestSuite()
    {
        dir_ = new test::TempDir;
        const std::string seconds = std::to_string(kAudioSeconds);
        test::Ffmpeg("-f lavfi -i testsrc=size=160x120:rate=25:duration=" + seconds +
                     " -f lavfi -i sine=frequency=440:sample_rate=11025:duration=" + seconds +
                     " -c:v mjpeg -c:a pcm_u8 -ac 1 " + test::ShellQuote(dir_->File("mono11k.avi")));
        test::Ffmpeg("-f lavfi -i testsrc=size=160x120:rate=25:duration=" + seconds +
                     " -f lavfi -i sine=frequency=440:sample_rate=48000:duration=" + seconds +
                     " -c:v mjpeg -c:a pcm_s16le -ac 2 " + test::ShellQuote(dir_->File("stereo48k.avi")));
    }
};

TEST_P(AudioEncoderWalk, ConvertsMonoElevenKilohertzEightBitAndStereoFortyEightKilohertz)
{
    SCOPED_TRACE(GetParam().friendlyName);
    for (const char* source : {"mono11k.avi", "stereo48k.avi"}) {
        SCOPED_TRACE(source);
        const std::string output = dir_->File(GetParam().factory + "-" + source);
        const test::CommandResult result =
            test::RunKlovaConvert({"SrcFileName=" + dir_->File(source), "DstFileName=" + output,
                                   "VideoCodec=<Uncompressed>", "AudioCodec=" + GetParam().friendlyName});
        ASSERT_EQ(result.exitStatus, 0) << result.err;
        const test::ProbeFields audio = test::ProbeStream(output, "audio");
        ASSERT_FALSE(audio.empty()) << "no audio stream";
        EXPECT_TRUE(audio.at("codec_name") != "pcm_u8" && audio.at("codec_name") != "pcm_s16le")
            << "stored unencoded: " << audio.at("codec_name");
        EXPECT_EQ(test::DecodeErrors(output), "");
        // Encoders pad the last frame and may lead with a little silence.
        EXPECT_NEAR(test::DecodedAudioSeconds(output), kAudioSeconds, 0.15);
    }
}

INSTANTIATE_TEST_SUITE_P(Listed, AudioEncoderWalk,
                         ::testing::ValuesIn(test::ListedEncoders(CompressorCategory::Audio, true)),
                         test::ListedEncoderTestName);

}  // namespace
}  // namespace klova
