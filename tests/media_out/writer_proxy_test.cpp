// The two writer proxy elements in tiny pipelines: caps, row order, time stamps,
// audio chunking, and failures downstream reaching the engine's call.
#include "media_out/audio_writer_proxy.h"
#include "media_out/bgr_to_i420_converter.h"
#include "media_out/video_writer_proxy.h"
#include "platform/frame_rate_fraction.h"
#include "tests/media_out/avi_test_media.h"
#include "platform/gst_ptr.h"

#include <gst/app/gstappsink.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace klova {
namespace {

TEST(FrameRateFraction, StandardRatesBecomeExactFractions)
{
    const struct {
        double rate;
        int32_t numerator;
        int32_t denominator;
    } cases[] = {
        {25.0, 25, 1},          {30.0, 30, 1},          {29.97, 30000, 1001}, {29.97002997, 30000, 1001},
        {23.976, 24000, 1001},  {59.94, 60000, 1001},   {15.0, 15, 1},        {12.5, 25, 2},
        {24.999999, 25, 1},     {0.5, 1, 2},
    };
    for (const auto& c : cases) {
        const FrameRateFraction fraction = ToFrameRateFraction(c.rate);
        EXPECT_EQ(fraction.numerator, c.numerator) << c.rate;
        EXPECT_EQ(fraction.denominator, c.denominator) << c.rate;
    }
    for (double invalid : {0.0, -25.0, std::nan("")})
        EXPECT_EQ(ToFrameRateFraction(invalid).numerator, 0) << invalid;
}

// proxy ! [middle] ! appsink, with samples collected until the end of the stream. The
// proxy is configured (by the test) before Link(), as the writer does.
class ProxyPipeline {
public:
    explicit ProxyPipeline(const char* factory, const char* middle = nullptr) : middle_(middle ? middle : "")
    {
        EXPECT_TRUE(RegisterVideoWriterProxy());
        EXPECT_TRUE(RegisterAudioWriterProxy());
        pipeline_ = retain(gst_pipeline_new(nullptr));
        proxy_ = MakeElement(factory);
        gst_bin_add(GST_BIN(pipeline_.get()), proxy_.get());
    }
    ~ProxyPipeline() { gst_element_set_state(pipeline_.get(), GST_STATE_NULL); }

    // Links without checking formats: a mismatch shows when the stream starts.
    void Link()
    {
        GError* error = nullptr;
        GstElement* rest = gst_parse_bin_from_description(
            (middle_.empty() ? std::string("appsink name=sink sync=false max-buffers=0")
                             : middle_ + " ! appsink name=sink sync=false max-buffers=0")
                .c_str(),
            TRUE, &error);
        ASSERT_EQ(error, nullptr) << error->message;
        gst_bin_add(GST_BIN(pipeline_.get()), rest);
        GstPtr<GstPad> out = adopt(gst_element_get_static_pad(proxy_.get(), "src"));
        GstPtr<GstPad> in = adopt(gst_element_get_static_pad(rest, "sink"));
        ASSERT_EQ(gst_pad_link_full(out.get(), in.get(), GST_PAD_LINK_CHECK_NOTHING), GST_PAD_LINK_OK);
        sink_ = adopt(gst_bin_get_by_name(GST_BIN(rest), "sink"));
    }

    IVideoWriterProxy* video() const { return GetVideoWriterProxy(proxy_.get()); }
    IAudioWriterProxy* audio() const { return GetAudioWriterProxy(proxy_.get()); }
    GstElement* proxy() const { return proxy_.get(); }

    void Start()
    {
        Link();
        ASSERT_NE(gst_element_set_state(pipeline_.get(), GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
    }

    // Every sample up to the end of the stream (the stream must have been ended).
    std::vector<GstPtr<GstSample>> Collect()
    {
        std::vector<GstPtr<GstSample>> samples;
        while (GstSample* sample = gst_app_sink_pull_sample(GST_APP_SINK(sink_.get())))
            samples.emplace_back(sample);
        return samples;
    }

    GstPtr<GstCaps> OfferedCaps() const
    {
        GstPtr<GstPad> pad = adopt(gst_element_get_static_pad(proxy_.get(), "src"));
        return adopt(gst_pad_query_caps(pad.get(), nullptr));
    }

private:
    std::string middle_;
    GstPtr<GstElement> pipeline_;
    GstPtr<GstElement> proxy_;
    GstPtr<GstElement> sink_;
};

std::vector<uint8_t> Bytes(GstSample* sample)
{
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    std::vector<uint8_t> bytes(gst_buffer_get_size(buffer));
    gst_buffer_extract(buffer, 0, bytes.data(), bytes.size());
    return bytes;
}

TEST(VideoWriterProxy, OffersBgrOfTheConfiguredSizeWithTheRateAsAFraction)
{
    ProxyPipeline pipeline(kVideoWriterProxyFactory);
    ASSERT_TRUE(pipeline.video());
    EXPECT_EQ(GetAudioWriterProxy(pipeline.proxy()), nullptr);
    pipeline.video()->SetFrameSize(352, 288);
    pipeline.video()->SetFrameRate(29.97);
    pipeline.video()->SetBitCount(24);
    GstPtr<GstCaps> caps = pipeline.OfferedCaps();
    GstPtr<GstCaps> expected = adopt(gst_caps_from_string(
        "video/x-raw, format=(string)BGR, width=(int)352, height=(int)288, framerate=(fraction)30000/1001"));
    EXPECT_TRUE(gst_caps_is_equal(caps.get(), expected.get())) << gst_caps_to_string(caps.get());

    pipeline.video()->SetBitCount(32);  // only 24-bit frames are offered
    EXPECT_TRUE(gst_caps_is_empty(pipeline.OfferedCaps().get()));
}

TEST(VideoWriterProxy, OffersThePixelShapeFirstAndLeavesItOpenAfter)
{
    ProxyPipeline pipeline(kVideoWriterProxyFactory);
    pipeline.video()->SetFrameSize(720, 576);
    pipeline.video()->SetFrameRate(25.0);
    EXPECT_EQ(pipeline.video()->SetPixelAspect(0, 45), E_INVALIDARG);
    ASSERT_EQ(pipeline.video()->SetPixelAspect(64, 45), S_OK);
    GstPtr<GstCaps> caps = pipeline.OfferedCaps();
    ASSERT_EQ(gst_caps_get_size(caps.get()), 2u) << gst_caps_to_string(caps.get());
    int num = 0;
    int den = 0;
    EXPECT_TRUE(gst_structure_get_fraction(gst_caps_get_structure(caps.get(), 0), "pixel-aspect-ratio", &num, &den));
    EXPECT_EQ(num, 64);
    EXPECT_EQ(den, 45);
    // A DV encoder that takes only its own shape still finds a format.
    EXPECT_FALSE(gst_structure_has_field(gst_caps_get_structure(caps.get(), 1), "pixel-aspect-ratio"));

    // The muxer then stores the shape: fixing the caps keeps the first.
    GstPtr<GstCaps> fixed = adopt(gst_caps_fixate(gst_caps_ref(caps.get())));
    GstPtr<GstCaps> expected = adopt(gst_caps_from_string(
        "video/x-raw, format=(string)BGR, width=(int)720, height=(int)576, framerate=(fraction)25/1, "
        "pixel-aspect-ratio=(fraction)64/45"));
    EXPECT_TRUE(gst_caps_is_equal(fixed.get(), expected.get())) << gst_caps_to_string(fixed.get());
}

TEST(VideoWriterProxy, TurnsBottomUpFramesTopDownWithFrameTimes)
{
    constexpr int32_t kWidth = 322;  // rows of 966 bytes, padded to 968
    constexpr int32_t kHeight = 4;
    constexpr int32_t kStride = DibStride(kWidth);
    ProxyPipeline pipeline(kVideoWriterProxyFactory);
    pipeline.video()->SetFrameSize(kWidth, kHeight);
    pipeline.video()->SetFrameRate(15.0);
    pipeline.Start();

    std::vector<std::vector<uint8_t>> frames;
    for (int f = 0; f < 3; ++f) {
        std::vector<uint8_t> frame(kStride * kHeight);
        for (size_t i = 0; i < frame.size(); ++i)
            frame[i] = static_cast<uint8_t>(f * 50 + i / kStride * 10 + i % 7);
        ASSERT_EQ(pipeline.video()->PutFrame(frame.data()), S_OK);
        frames.push_back(frame);
    }
    EXPECT_EQ(pipeline.video()->PutFrame(nullptr), S_OK);
    EXPECT_EQ(pipeline.video()->PutFrame(nullptr), S_OK);  // a second end is harmless

    const auto samples = pipeline.Collect();
    ASSERT_EQ(samples.size(), 3u);
    for (int f = 0; f < 3; ++f) {
        const std::vector<uint8_t> bytes = Bytes(samples[f].get());
        ASSERT_EQ(bytes.size(), static_cast<size_t>(kStride * kHeight));
        for (int row = 0; row < kHeight; ++row)
            EXPECT_TRUE(std::equal(bytes.begin() + row * kStride, bytes.begin() + (row + 1) * kStride,
                                   frames[f].begin() + (kHeight - 1 - row) * kStride))
                << "frame " << f << " row " << row;
        GstBuffer* buffer = gst_sample_get_buffer(samples[f].get());
        EXPECT_EQ(GST_BUFFER_PTS(buffer), static_cast<GstClockTime>(f) * 666666 * 100);  // trunc(10^7 / 15)
        EXPECT_EQ(GST_BUFFER_DURATION(buffer), 666666u * 100);
        EXPECT_FALSE(GST_BUFFER_FLAG_IS_SET(buffer, GST_BUFFER_FLAG_DELTA_UNIT));
    }
}

// Asked to, the proxy offers I420 first, with the colorimetry GStreamer assumes for
// the size, and BGR after it (for an element that takes no I420).
TEST(VideoWriterProxy, OffersI420AheadOfBgrWhenAsked)
{
    ProxyPipeline pipeline(kVideoWriterProxyFactory);
    pipeline.video()->SetFrameSize(352, 288);
    pipeline.video()->SetFrameRate(25.0);
    pipeline.video()->OfferI420(true);
    GstPtr<GstCaps> caps = pipeline.OfferedCaps();
    ASSERT_EQ(gst_caps_get_size(caps.get()), 2u) << gst_caps_to_string(caps.get());
    GstVideoInfo first;
    ASSERT_TRUE(gst_video_info_from_caps(&first, adopt(gst_caps_copy_nth(caps.get(), 0)).get()));
    EXPECT_EQ(GST_VIDEO_INFO_FORMAT(&first), GST_VIDEO_FORMAT_I420);
    EXPECT_EQ(first.colorimetry.matrix, GST_VIDEO_COLOR_MATRIX_BT601);
    EXPECT_EQ(first.colorimetry.range, GST_VIDEO_COLOR_RANGE_16_235);
    EXPECT_FALSE(gst_structure_has_field(gst_caps_get_structure(caps.get(), 0), "pixel-aspect-ratio"));
    EXPECT_STREQ(gst_structure_get_string(gst_caps_get_structure(caps.get(), 1), "format"), "BGR");

    pipeline.video()->SetFrameSize(1280, 720);
    ASSERT_TRUE(gst_video_info_from_caps(&first, adopt(gst_caps_copy_nth(pipeline.OfferedCaps().get(), 0)).get()));
    EXPECT_EQ(first.colorimetry.matrix, GST_VIDEO_COLOR_MATRIX_BT709);
}

// Negotiated I420, each frame leaves as the converter makes it, flipped top-down in the
// same copy; an element that takes only BGR still gets BGR.
TEST(VideoWriterProxy, ConvertsToI420InTheCopyWhenDownstreamTakesIt)
{
    constexpr int32_t kWidth = 66;
    constexpr int32_t kHeight = 35;
    for (const char* downstream : {"capsfilter caps=video/x-raw,format=I420", "capsfilter caps=video/x-raw,format=BGR"}) {
        SCOPED_TRACE(downstream);
        ProxyPipeline pipeline(kVideoWriterProxyFactory, downstream);
        pipeline.video()->SetFrameSize(kWidth, kHeight);
        pipeline.video()->SetFrameRate(25.0);
        pipeline.video()->OfferI420(true);
        pipeline.Start();
        std::vector<std::vector<uint8_t>> frames;
        for (int f = 0; f < 2; ++f) {
            std::vector<uint8_t> frame(DibImageSize(kWidth, kHeight));
            for (size_t i = 0; i < frame.size(); ++i)
                frame[i] = static_cast<uint8_t>(i * 7 + f * 31 + i / 97);
            ASSERT_EQ(pipeline.video()->PutFrame(frame.data()), S_OK);
            frames.push_back(frame);
        }
        pipeline.video()->PutFrame(nullptr);
        const auto samples = pipeline.Collect();
        ASSERT_EQ(samples.size(), 2u);
        GstVideoInfo info;
        ASSERT_TRUE(gst_video_info_from_caps(&info, gst_sample_get_caps(samples[0].get())));
        const bool i420 = std::string(downstream).find("I420") != std::string::npos;
        EXPECT_EQ(GST_VIDEO_INFO_FORMAT(&info), i420 ? GST_VIDEO_FORMAT_I420 : GST_VIDEO_FORMAT_BGR);
        BgrToI420Converter converter;
        ASSERT_TRUE(!i420 || converter.Configure(info));
        for (size_t f = 0; f < frames.size(); ++f) {
            std::vector<uint8_t> expected(info.size);
            if (i420) {
                converter.Convert(frames[f].data(), expected.data());
            } else {
                for (int32_t row = 0; row < kHeight; ++row)
                    std::copy_n(frames[f].begin() + (kHeight - 1 - row) * DibStride(kWidth), DibStride(kWidth),
                                expected.begin() + row * DibStride(kWidth));
            }
            EXPECT_EQ(Bytes(samples[f].get()), expected) << "frame " << f;
        }
    }
}

struct AudioCase {
    double frameRate;
};

void PrintTo(const AudioCase& c, std::ostream* out)
{
    *out << c.frameRate << " fps";
}

class AudioWriterProxyTest : public ::testing::TestWithParam<AudioCase> {};

// Each chunk leaves as one buffer of its own length, stamped by the byte count of the
// whole stream (so no rounding piles up); chunks that are not whole blocks, or longer
// than a frame's share can be, are refused, and an empty chunk sends nothing.
TEST_P(AudioWriterProxyTest, SendsEachChunkWholeWithTimesFromTheByteCount)
{
    const AudioCase& c = GetParam();
    const WAVEFORMATEX format = MakePcmFormat(2, 44100, 16);
    ProxyPipeline pipeline(kAudioWriterProxyFactory);
    ASSERT_TRUE(pipeline.audio());
    pipeline.audio()->SetFrameRate(c.frameRate);
    pipeline.audio()->SetFormat(&format);
    pipeline.Start();

    constexpr int kChunks = 8;
    std::vector<uint8_t> input;
    std::vector<uint32_t> lengths;
    std::vector<uint8_t> chunk(static_cast<size_t>(176400 / c.frameRate) + 64);
    for (int i = 0; i < kChunks; ++i) {
        const uint32_t length = test::ChunkBytes(format, c.frameRate, static_cast<uint64_t>(i));
        for (size_t b = 0; b < chunk.size(); ++b)
            chunk[b] = static_cast<uint8_t>((input.size() + b) * 13 + 1);
        input.insert(input.end(), chunk.begin(), chunk.begin() + length);
        lengths.push_back(length);
        ASSERT_EQ(pipeline.audio()->PutSamples(chunk.data(), length), S_OK);
        EXPECT_EQ(pipeline.audio()->PutSamples(chunk.data(), 0), S_OK);
    }
    EXPECT_EQ(pipeline.audio()->PutSamples(chunk.data(), 6), E_INVALIDARG);  // a block and a half
    EXPECT_EQ(pipeline.audio()->PutSamples(chunk.data(), 4 * 10000), E_INVALIDARG);
    EXPECT_EQ(pipeline.audio()->PutSamples(nullptr, 0), S_OK);

    const auto samples = pipeline.Collect();
    ASSERT_EQ(samples.size(), static_cast<size_t>(kChunks));
    std::vector<uint8_t> stream;
    uint64_t bytesBefore = 0;
    for (size_t i = 0; i < samples.size(); ++i) {
        const std::vector<uint8_t> bytes = Bytes(samples[i].get());
        EXPECT_EQ(bytes.size(), lengths[i]) << "sample " << i;
        GstBuffer* buffer = gst_sample_get_buffer(samples[i].get());
        const auto time = [](uint64_t bytes) { return bytes * 10000000ull / 176400 * 100; };  // 100-ns units
        EXPECT_EQ(GST_BUFFER_PTS(buffer), time(bytesBefore));
        EXPECT_EQ(GST_BUFFER_DURATION(buffer), time(bytesBefore + bytes.size()) - time(bytesBefore));
        bytesBefore += bytes.size();
        stream.insert(stream.end(), bytes.begin(), bytes.end());
    }
    EXPECT_EQ(stream, input);
}

INSTANTIATE_TEST_SUITE_P(Rates, AudioWriterProxyTest, ::testing::Values(AudioCase{25.0}, AudioCase{29.97}),
                         [](const auto& info) { return info.param.frameRate == 25.0 ? "At25" : "At2997"; });

TEST(AudioWriterProxy, OffersPcmOfTheGivenChannelsBitsAndRate)
{
    ProxyPipeline pipeline(kAudioWriterProxyFactory);
    WAVEFORMATEX format;
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 1;
    format.nSamplesPerSec = 22050;
    format.wBitsPerSample = 8;
    format.nBlockAlign = 7;  // inconsistent on purpose: the offered type derives its own
    pipeline.audio()->SetFormat(&format);
    GstPtr<GstCaps> expected = adopt(gst_caps_from_string(
        "audio/x-raw, format=(string)U8, layout=(string)interleaved, rate=(int)22050, channels=(int)1"));
    GstPtr<GstCaps> caps = pipeline.OfferedCaps();
    EXPECT_TRUE(gst_caps_is_equal(caps.get(), expected.get())) << gst_caps_to_string(caps.get());
}

TEST(WriterProxies, CallsWithoutARunningStreamReturnAtOnce)
{
    ProxyPipeline video(kVideoWriterProxyFactory);
    const uint8_t frame[320 * 240 * 3] = {};
    EXPECT_EQ(video.video()->PutFrame(nullptr), S_OK);
    EXPECT_EQ(video.video()->PutFrame(frame), E_FAIL);
    ProxyPipeline audio(kAudioWriterProxyFactory);
    EXPECT_EQ(audio.audio()->PutSamples(nullptr, 0), S_OK);
    EXPECT_EQ(audio.audio()->PutSamples(frame, 4), E_FAIL);
}

// A failure downstream must reach the engine's next call, not leave it waiting.
class DownstreamFailureTest : public ::testing::TestWithParam<const char*> {};

TEST_P(DownstreamFailureTest, ReachesTheWaitingPutFrame)
{
    ProxyPipeline pipeline(kVideoWriterProxyFactory, GetParam());
    pipeline.video()->SetFrameSize(16, 16);
    pipeline.Start();
    std::vector<uint8_t> frame(DibImageSize(16, 16));
    HRESULT hr = S_OK;
    int accepted = 0;
    for (int i = 0; i < 10 && Succeeded(hr); ++i) {
        hr = pipeline.video()->PutFrame(frame.data());
        accepted += Succeeded(hr);
    }
    EXPECT_LT(hr, 0);
    EXPECT_LE(accepted, 3);
}

INSTANTIATE_TEST_SUITE_P(Failures, DownstreamFailureTest,
                         ::testing::Values("capsfilter caps=video/x-raw,format=I420",  // refused format
                                           "identity error-after=2",                   // error mid-stream
                                           "identity eos-after=2"),                    // unasked end
                         [](const auto& info) {
                             return std::string(info.index == 0 ? "RefusedFormat"
                                                                : info.index == 1 ? "ErrorMidStream"
                                                                                  : "EndOfStreamDownstream");
                         });

}  // namespace
}  // namespace klova
