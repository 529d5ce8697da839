// Every encoder the compressor lists offer writes an AVI that ffprobe reads with that
// codec and ffmpeg decodes cleanly: the lists hold nothing that cannot be stored.
#include "media_out/avi_writer.h"
#include "tests/media_out/avi_test_media.h"
#include "tests/support/listed_encoders.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace klova {
namespace {

using test::ListedEncoder;

// The codec names ffprobe gives the streams of each encoder; an encoder not in the
// table must at least not come back as raw data.
std::vector<std::string> ExpectedCodecs(const std::string& factory)
{
    static const std::map<std::string, std::vector<std::string>> known = {
        {"x264enc", {"h264"}},          {"openh264enc", {"h264"}},       {"vp8enc", {"vp8"}},
        {"openjpegenc", {"jpeg2000"}},  {"mpeg2enc", {"mpeg1video", "mpeg2video"}},
        {"avenc_msmpeg4", {"msmpeg4v3"}}, {"avenc_h263p", {"h263", "h263p"}}, {"avenc_dvvideo", {"dvvideo"}},
        {"avenc_ac3_fixed", {"ac3"}},   {"avenc_mp2fixed", {"mp2"}},     {"lamemp3enc", {"mp3"}},
        {"twolamemp2enc", {"mp2"}},     {"voaacenc", {"aac"}},           {"alawenc", {"pcm_alaw"}},
        {"mulawenc", {"pcm_mulaw"}},   {"jpegenc", {"mjpeg"}},          {"avenc_ljpeg", {"mjpeg", "ljpeg"}},
        {"pngenc", {"png"}},
    };
    const auto found = known.find(factory);
    if (found != known.end())
        return found->second;
    if (factory.rfind("avenc_", 0) == 0)
        return {factory.substr(6)};
    return {};
}

void ExpectStream(const std::string& file, const char* kind, const ListedEncoder& encoder)
{
    test::ProbeFields stream = test::ProbeStream(file, kind);
    ASSERT_FALSE(stream.empty()) << "no " << kind << " stream";
    const std::vector<std::string> expected = ExpectedCodecs(encoder.factory);
    if (expected.empty()) {
        EXPECT_NE(stream["codec_name"], "rawvideo");
        EXPECT_NE(stream["codec_name"].rfind("pcm_", 0), 0u);
    } else {
        EXPECT_NE(std::find(expected.begin(), expected.end(), stream["codec_name"]), expected.end())
            << stream["codec_name"];
    }
    EXPECT_EQ(test::DecodeErrors(file), "");
}

// Whether the encoder takes a frame size (DV takes only its broadcast sizes).
bool TakesSize(const std::string& factory, int width, int height)
{
    GstPtr<GstElementFactory> found = adopt(gst_element_factory_find(factory.c_str()));
    GstPtr<GstCaps> size = adopt(gst_caps_new_simple("video/x-raw", "width", G_TYPE_INT, width, "height", G_TYPE_INT,
                                                     height, nullptr));
    for (const GList* item = gst_element_factory_get_static_pad_templates(found.get()); item; item = item->next) {
        auto* padTemplate = static_cast<GstStaticPadTemplate*>(item->data);
        GstPtr<GstCaps> caps = adopt(gst_static_pad_template_get_caps(padTemplate));
        if (padTemplate->direction == GST_PAD_SINK && gst_caps_can_intersect(caps.get(), size.get()))
            return true;
    }
    return false;
}


class VideoEncoderTest : public ::testing::TestWithParam<ListedEncoder> {};

TEST_P(VideoEncoderTest, WritesAnAviFfmpegDecodes)
{
    const ListedEncoder& encoder = GetParam();
    test::TempDir dir;
    test::ClipPlan plan;
    plan.videoCodec = encoder.friendlyName;
    const bool cif = TakesSize(encoder.factory, 352, 288);
    plan.width = cif ? 352 : 720;
    plan.height = cif ? 288 : 576;
    plan.videoFrames = plan.audioFrames = 10;
    const std::string file = dir.File("video.avi");
    const test::ClipResult written = test::WriteClip(file, plan);
    ASSERT_TRUE(written.allWritesOk && written.endOk);
    ExpectStream(file, "video", encoder);
    EXPECT_EQ(test::ProbeStream(file, "video", true)["nb_read_frames"], "10");
    EXPECT_EQ(test::ProbeStream(file, "audio")["codec_name"], "pcm_s16le");
}

INSTANTIATE_TEST_SUITE_P(Listed, VideoEncoderTest,
                         ::testing::ValuesIn(test::ListedEncoders(CompressorCategory::Video, false)),
                         test::ListedEncoderTestName);

class AudioEncoderTest : public ::testing::TestWithParam<ListedEncoder> {};

TEST_P(AudioEncoderTest, WritesAnAviFfmpegDecodes)
{
    const ListedEncoder& encoder = GetParam();
    test::TempDir dir;
    test::ClipPlan plan;
    plan.audioCodec = encoder.friendlyName;
    plan.videoFrames = plan.audioFrames = 25;  // one second of 44,100 Hz stereo
    const std::string file = dir.File("audio.avi");
    const test::ClipResult written = test::WriteClip(file, plan);
    ASSERT_TRUE(written.allWritesOk && written.endOk);
    ExpectStream(file, "audio", encoder);
    EXPECT_EQ(test::ProbeStream(file, "video")["codec_name"], "rawvideo");
}

INSTANTIATE_TEST_SUITE_P(Listed, AudioEncoderTest,
                         ::testing::ValuesIn(test::ListedEncoders(CompressorCategory::Audio, false)),
                         test::ListedEncoderTestName);

}  // namespace
}  // namespace klova
