// Whole AVI files written through AviWriter, judged by ffprobe and ffmpeg.
#include "media_out/avi_writer.h"

#include "codecs/encoder_config_store.h"
#include "media_in/input_reader.h"
#include "platform/errors.h"
#include "tests/media_out/avi_test_media.h"
#include "tests/support/test_support.h"

#include <gst/base/gstbasesink.h>
#include <gst/base/gstbasetransform.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>

namespace klova {
namespace {

using test::ClipPlan;
using test::ClipResult;
using test::MakeFrame;
using test::ProbeFields;
using test::ProbeStream;
using test::ProbeStreams;
using test::RunCommand;
using test::ShellQuote;
using test::TempDir;
using test::WriteClip;

constexpr const char* kMpeg4 = "libav MPEG-4 part 2 encoder";
constexpr const char* kDv = "libav DV (Digital Video) encoder";

std::vector<uint8_t> ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// The audio chunks stored in the file, as (bytes, duration in samples). ffmpeg's AVI
// reader hands a PCM chunk out in packets of at most 4,096 bytes; packets that continue
// the previous one in the file belong to the same chunk.
struct StoredChunk {
    long bytes = 0;
    long samples = 0;
};

std::vector<StoredChunk> AudioChunks(const std::string& file)
{
    const auto result = RunCommand("ffprobe -v error -select_streams a -show_entries packet=pos,size,duration -of csv=p=0 " +
                                   ShellQuote(file));
    std::vector<StoredChunk> chunks;
    long nextPosition = -1;
    std::istringstream lines(result.out);
    for (std::string line; std::getline(lines, line);) {
        long duration = 0;
        long size = 0;
        long position = 0;
        if (std::sscanf(line.c_str(), "%ld,%ld,%ld", &duration, &size, &position) != 3)
            continue;
        if (position != nextPosition || chunks.empty())
            chunks.emplace_back();
        chunks.back().bytes += size;
        chunks.back().samples += duration;
        nextPosition = position + size;
    }
    return chunks;
}

int ErrorCodeOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const CMyException& error) {
        return error.code();
    }
    return 0;
}

struct ReadBackCase {
    double frameRate;
    const char* rateFraction;
};

void PrintTo(const ReadBackCase& c, std::ostream* out)
{
    *out << c.frameRate << " fps";
}

class UncompressedReadBackTest : public ::testing::TestWithParam<ReadBackCase> {};

TEST_P(UncompressedReadBackTest, FramesAndAudioComeBackIdentical)
{
    const ReadBackCase& c = GetParam();
    TempDir dir;
    const std::string file = dir.File("clip.avi");
    ClipPlan plan;
    plan.width = 322;  // rows padded from 966 to 968 bytes
    plan.height = 240;
    plan.frameRate = c.frameRate;
    plan.videoFrames = plan.audioFrames = 20;
    const ClipResult written = WriteClip(file, plan);
    ASSERT_TRUE(written.allWritesOk);
    ASSERT_TRUE(written.endOk);

    const std::vector<ProbeFields> streams = ProbeStreams(file, true);
    ASSERT_EQ(streams.size(), 2u);
    ProbeFields video = ProbeStream(file, "video", true);
    EXPECT_EQ(video["codec_name"], "rawvideo");
    EXPECT_EQ(video["width"], "322");
    EXPECT_EQ(video["height"], "240");
    EXPECT_EQ(video["r_frame_rate"], c.rateFraction);
    EXPECT_EQ(video["nb_read_frames"], "20");
    ProbeFields audio = ProbeStream(file, "audio");
    EXPECT_EQ(audio["codec_name"], "pcm_s16le");
    EXPECT_EQ(audio["sample_rate"], "44100");
    EXPECT_EQ(audio["channels"], "2");

    // Pixels: ffmpeg gives top-down rows without padding.
    const std::string raw = dir.File("video.raw");
    test::Ffmpeg("-i " + ShellQuote(file) + " -map 0:v -f rawvideo -pix_fmt bgr24 " + ShellQuote(raw));
    const std::vector<uint8_t> pixels = ReadFile(raw);
    const size_t rowBytes = 322 * 3;
    const size_t stride = DibStride(322);
    ASSERT_EQ(pixels.size(), rowBytes * 240 * 20);
    for (size_t f = 0; f < 20; ++f) {
        for (size_t row = 0; row < 240; ++row) {
            const uint8_t* got = pixels.data() + (f * 240 + row) * rowBytes;
            const uint8_t* sent = written.frames[f].data() + (239 - row) * stride;
            ASSERT_TRUE(std::equal(got, got + rowBytes, sent)) << "frame " << f << " row " << row;
        }
    }

    // Audio: every chunk one sample of whole blocks lasting its bytes' worth of time,
    // and the stream byte for byte.
    const std::vector<StoredChunk> chunks = AudioChunks(file);
    ASSERT_EQ(chunks.size(), 20u);
    for (size_t i = 0; i < chunks.size(); ++i) {
        EXPECT_EQ(chunks[i].bytes, written.chunkLengths[i]) << "chunk " << i;
        EXPECT_EQ(chunks[i].samples * 4, chunks[i].bytes) << "chunk " << i;  // 7,056 bytes: 1,764 samples, 0.04 s
    }
    const std::string pcm = dir.File("audio.pcm");
    test::Ffmpeg("-i " + ShellQuote(file) + " -map 0:a -c copy -f s16le " + ShellQuote(pcm));
    EXPECT_EQ(ReadFile(pcm), written.audio);

    // Our own reader gives back the very frames (bottom-up, padded rows) and bytes.
    {
        InputReader reader(file, VideoRequestType, true);
        const BITMAPINFOHEADER& header = reader.GetMediaType().videoInfo.bmiHeader;
        EXPECT_EQ(header.biWidth, 322);
        EXPECT_EQ(header.biHeight, 240);
        double rate = 0.0;
        reader.GetProperty(PropFrameRate, &rate);
        EXPECT_NEAR(rate, c.frameRate, 1e-4);  // 30000/1001 for 29.97
        size_t frames = 0;
        uint32_t length = 0;
        MediaTime start = 0;
        MediaTime stop = 0;
        while (const uint8_t* frame = reader.ReadSample(&length, &start, &stop)) {
            if (length == 0)
                break;
            ASSERT_LT(frames, written.frames.size());
            ASSERT_EQ(length, written.frames[frames].size());
            EXPECT_TRUE(std::equal(frame, frame + length, written.frames[frames].begin())) << "frame " << frames;
            ++frames;
        }
        EXPECT_EQ(frames, written.frames.size());
    }
    {
        InputReader reader(file, AudioRequestType, true);
        const WAVEFORMATEX& format = reader.GetMediaType().waveFormat;
        EXPECT_EQ(format.nSamplesPerSec, 44100u);
        EXPECT_EQ(format.nChannels, 2);
        EXPECT_EQ(format.wBitsPerSample, 16);
        std::vector<uint8_t> stream;
        uint32_t length = 0;
        MediaTime start = 0;
        MediaTime stop = 0;
        while (const uint8_t* data = reader.ReadSample(&length, &start, &stop)) {
            if (length == 0)
                break;
            stream.insert(stream.end(), data, data + length);
        }
        EXPECT_EQ(stream, written.audio);
    }
}

INSTANTIATE_TEST_SUITE_P(Rates, UncompressedReadBackTest,
                         ::testing::Values(ReadBackCase{25.0, "25/1"}, ReadBackCase{29.97, "30000/1001"}),
                         [](const auto& info) { return info.param.frameRate == 25.0 ? "At25" : "At2997"; });

TEST(AviWriter, FileWithoutSoundHasOneStream)
{
    TempDir dir;
    ClipPlan plan;
    plan.withAudio = false;
    const ClipResult written = WriteClip(dir.File("silent.avi"), plan);
    EXPECT_TRUE(written.allWritesOk && written.endOk);
    const auto streams = ProbeStreams(dir.File("silent.avi"), true);
    ASSERT_EQ(streams.size(), 1u);
    EXPECT_EQ(ProbeStream(dir.File("silent.avi"), "video", true)["nb_read_frames"], "10");
}

TEST(AviWriter, AudioCodecNamesPcmAndEmptyMeanNoEncoderOthersAreLookedUp)
{
    TempDir dir;
    for (const char* name : {"PCM", "pcm", ""}) {
        ClipPlan plan;
        plan.audioCodec = name;
        const std::string file = dir.File(std::string("pcm") + name + ".avi");
        ASSERT_TRUE(WriteClip(file, plan).endOk) << name;
        EXPECT_EQ(ProbeStream(file, "audio")["codec_name"], "pcm_s16le") << '"' << name << '"';
    }
    for (const char* name : {"Pcm", "No Such Encoder"}) {
        ClipPlan plan;
        plan.audioCodec = name;
        EXPECT_EQ(ErrorCodeOf([&] { WriteClip(dir.File("other.avi"), plan); }), 5) << name;
    }
}

TEST(AviWriter, UnknownVideoEncoderOrUnwritablePathFailsOnOpen)
{
    TempDir dir;
    EncoderConfigStore settings;
    {
        AviWriter writer(settings);
        writer.SetVideoFormat({}, 25.0, 160, 120, "No Such Encoder");
        EXPECT_EQ(ErrorCodeOf([&] { writer.OpenFile(dir.File("unknown.avi")); }), 5);
    }
    for (const std::string& path : {dir.File("missing/folder/out.avi"), dir.path()}) {
        AviWriter writer(settings);
        writer.SetVideoFormat({}, 25.0, 160, 120, "<Uncompressed>");
        EXPECT_EQ(ErrorCodeOf([&] { writer.OpenFile(path); }), 5) << path;
    }
}

TEST(AviWriter, ExistingFileIsReplaced)
{
    TempDir dir;
    const std::string file = dir.File("old.avi");
    {
        std::ofstream junk(file, std::ios::binary);
        const std::string block(1 << 20, 'x');
        for (int i = 0; i < 4; ++i)
            junk << block;
    }
    ClipPlan plan;
    plan.videoFrames = plan.audioFrames = 3;
    ASSERT_TRUE(WriteClip(file, plan).endOk);
    EXPECT_LT(test::FileSize(file), 1 << 20);
    EXPECT_EQ(ProbeStream(file, "video", true)["nb_read_frames"], "3");
    EXPECT_EQ(test::DecodeErrors(file), "");
}

TEST(AviWriter, WriteFailuresEndTheWritingInsteadOfWaiting)
{
    // Small enough to sit in the file writer's buffer: the failure shows only while the
    // file is completed, and the end call reports it.
    ClipPlan small;
    small.width = 32;
    small.height = 24;
    small.videoFrames = small.audioFrames = 2;
    const ClipResult late = WriteClip("/dev/full", small);
    EXPECT_TRUE(late.allWritesOk);
    EXPECT_FALSE(late.endOk);

    // Large frames fail while they are written; a later write returns false.
    ClipPlan large;
    large.width = 640;
    large.height = 480;
    large.videoFrames = large.audioFrames = 60;
    const ClipResult early = WriteClip("/dev/full", large);
    EXPECT_FALSE(early.allWritesOk);
    EXPECT_LT(early.frames.size(), 60u);
    EXPECT_FALSE(early.endOk);
}

TEST(AviWriter, StreamsOfUnequalLengthDoNotStallTheEngine)
{
    TempDir dir;
    ClipPlan audioLonger;
    audioLonger.videoFrames = 5;
    audioLonger.audioFrames = 40;  // audio-only frames at the end
    const ClipResult a = WriteClip(dir.File("audio_longer.avi"), audioLonger);
    EXPECT_TRUE(a.allWritesOk && a.endOk);
    EXPECT_EQ(AudioChunks(dir.File("audio_longer.avi")).size(), 40u);
    EXPECT_EQ(ProbeStream(dir.File("audio_longer.avi"), "video", true)["nb_read_frames"], "5");

    ClipPlan videoLonger;
    videoLonger.videoCodec = kMpeg4;
    videoLonger.videoFrames = 40;  // far more than the video queue holds
    videoLonger.audioFrames = 5;
    const ClipResult v = WriteClip(dir.File("video_longer.avi"), videoLonger);
    EXPECT_TRUE(v.allWritesOk && v.endOk);
    EXPECT_EQ(ProbeStream(dir.File("video_longer.avi"), "video", true)["nb_read_frames"], "40");
    EXPECT_EQ(AudioChunks(dir.File("video_longer.avi")).size(), 5u);

    ClipPlan audioOnly;  // the video ends before its first frame
    audioOnly.videoFrames = 0;
    audioOnly.audioFrames = 10;
    const ClipResult o = WriteClip(dir.File("audio_only.avi"), audioOnly);
    EXPECT_TRUE(o.allWritesOk && o.endOk);
    EXPECT_EQ(AudioChunks(dir.File("audio_only.avi")).size(), 10u);
}

// Whatever the audio's drift, neither stream's hand-off blocks for good: with sound
// that falls behind by half of every frame's share, the muxer waits for audio while the
// video queue fills, and the queue is allowed to hold more until the sound catches up.
TEST(AviWriter, SoundFallingFarBehindNeverStallsTheWriter)
{
    TempDir dir;
    EncoderConfigStore settings;
    const WAVEFORMATEX format = MakePcmFormat(2, 44100, 16);
    const std::string file = dir.File("drift.avi");
    AviWriter writer(settings);
    writer.SetVideoFormat({}, 25.0, 160, 120, "<Uncompressed>");
    writer.OpenFile(file);
    writer.AddAudioStream(format, 25.0, "PCM");
    const std::vector<uint8_t> chunk(882 * 4, 0);  // half of 1,764 blocks per frame
    const int frames = 100;                      // four seconds of video, two of sound
    for (int i = 0; i < frames; ++i) {
        ASSERT_TRUE(writer.WriteVideo(MakeFrame(160, 120, i).data())) << "frame " << i;
        ASSERT_TRUE(writer.WriteAudio(chunk.data(), static_cast<uint32_t>(chunk.size()), nullptr)) << "chunk " << i;
    }
    EXPECT_TRUE(writer.WriteVideo(nullptr));
    EXPECT_EQ(ProbeStream(file, "video", true)["nb_read_frames"], "100");
    EXPECT_NEAR(test::DecodedAudioSeconds(file), 2.0, 0.01);
}

TEST(AviWriter, FirstAudioWriteStartsTheGraphAndWritesAfterTheEndFail)
{
    TempDir dir;
    EncoderConfigStore settings;
    const WAVEFORMATEX format = MakePcmFormat(1, 22050, 8);
    const std::string file = dir.File("audio_first.avi");
    {
        AviWriter writer(settings);
        writer.SetVideoFormat({}, 25.0, 160, 120, "");
        writer.OpenFile(file);
        writer.AddAudioStream(format, 25.0, "PCM");
        std::vector<uint8_t> chunk(test::ChunkBytes(format, 25.0), 0x80);
        const auto length = static_cast<uint32_t>(chunk.size());
        for (int i = 0; i < 4; ++i) {
            const std::vector<uint8_t> frame = MakeFrame(160, 120, i);
            ASSERT_TRUE(writer.WriteAudio(chunk.data(), length, nullptr));
            ASSERT_TRUE(writer.WriteVideo(frame.data()));
        }
        HRESULT hr = E_FAIL;
        EXPECT_TRUE(writer.WriteAudio(nullptr, 0, &hr));
        EXPECT_EQ(hr, S_OK);
        EXPECT_TRUE(writer.WriteVideo(nullptr));  // a second end only repeats the stop
        EXPECT_FALSE(writer.WriteAudio(chunk.data(), length, &hr));
        EXPECT_LT(hr, 0);
    }
    EXPECT_EQ(ProbeStream(file, "video", true)["nb_read_frames"], "4");
    EXPECT_EQ(ProbeStream(file, "audio")["codec_name"], "pcm_u8");
}

TEST(AviWriter, EncoderThatCannotTakeTheFrameSizeFailsOnOpen)
{
    TempDir dir;
    const struct {
        const char* encoder;
        int32_t width;
        int32_t height;
    } refused[] = {
        {kDv, 352, 288},                                     // DV takes only its broadcast sizes
        {"libav Windows Media Video 8 encoder", 351, 287},  // refuses odd sizes when it opens
        {"libav H.263 / H.263-1996 encoder", 320, 240},     // takes only the H.263 picture sizes
        {"mpeg2enc video encoder", 352, 287},  // would end the whole program at the first frame
        // The muxer holds these formats from 16 x 16 to 4096 x 4096 only.
        {"<Uncompressed>", 8, 8},
        {"<Uncompressed>", 4112, 2048},
        {"libav MPEG-4 part 2 encoder", 2, 2},
        {"x264 H.264 Encoder", 5760, 2880},
    };
    for (const auto& c : refused) {
        ClipPlan plan;
        plan.videoCodec = c.encoder;
        plan.width = c.width;
        plan.height = c.height;
        EXPECT_EQ(ErrorCodeOf([&] { WriteClip(dir.File("refused.avi"), plan); }), 5)
            << c.encoder << " at " << c.width << " x " << c.height;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("refused.avi")));
}

// Most players decode only 4:2:0 H.264 and JPEG; a converter left to itself would
// feed these encoders 4:4:4, the format nearest the BGR frames.
TEST(AviWriter, EncodersAreFedFourTwoZeroUnlessTheirConfigurationAsksOtherwise)
{
    TempDir dir;
    EncoderConfigStore settings;
    ClipPlan plan;
    plan.width = 352;
    plan.height = 288;
    plan.encoderConfigs = &settings;
    for (const char* encoder : {"x264 H.264 Encoder", "JPEG image encoder", "libav MJPEG (Motion JPEG) encoder"}) {
        plan.videoCodec = encoder;
        const std::string file = dir.File("yuv420.avi");
        const ClipResult written = WriteClip(file, plan);
        ASSERT_TRUE(written.allWritesOk && written.endOk) << encoder;
        const ProbeFields video = ProbeStream(file, "video");
        EXPECT_TRUE(video.at("pix_fmt") == "yuv420p" || video.at("pix_fmt") == "yuvj420p")
            << encoder << ": " << video.at("pix_fmt");
        if (video.at("codec_name") == "h264")
            EXPECT_EQ(video.at("profile"), "High");
    }

    settings.RememberInputFormat("x264enc", "Y444");
    plan.videoCodec = "x264 H.264 Encoder";
    ASSERT_TRUE(WriteClip(dir.File("yuv444.avi"), plan).endOk);
    EXPECT_EQ(ProbeStream(dir.File("yuv444.avi"), "video").at("pix_fmt"), "yuv444p");

    // At an odd size 4:2:0 cannot be had; x264 codes what the converter gives it.
    settings.Clear();
    plan.width = 351;
    plan.height = 287;
    ASSERT_TRUE(WriteClip(dir.File("odd.avi"), plan).endOk);
    EXPECT_EQ(ProbeStream(dir.File("odd.avi"), "video").at("width"), "351");
}

// The format that leaves the video proxy once the pipeline runs.
std::string ProxyFormat(AviWriter& writer)
{
    GstPtr<GstElement> proxy = adopt(gst_bin_get_by_name(writer.Graph(), "VideoWriterProxy"));
    GstPtr<GstPad> output = adopt(gst_element_get_static_pad(proxy.get(), "src"));
    GstPtr<GstCaps> caps = adopt(gst_pad_get_current_caps(output.get()));
    return caps ? gst_structure_get_string(gst_caps_get_structure(caps.get(), 0), "format") : "";
}

// An encoder that takes I420 gets it from the proxy, converted in the proxy's one copy
// of each frame: the converter in front of the encoder passes the frames through. An
// encoder that takes no 4:2:0 (at this size, or by its configuration) is fed through
// the converter from BGR, as is the muxer without an encoder.
TEST(AviWriter, EncoderTakingI420GetsItFromTheProxyAndTheConverterPassesItThrough)
{
    TempDir dir;
    EncoderConfigStore settings;
    const struct {
        const char* encoder;
        int32_t width;
        int32_t height;
        const char* requestedFormat;
        const char* proxyFormat;
        const char* codedFormat;
    } cases[] = {
        {"x264 H.264 Encoder", 352, 288, "", "I420", "yuv420p"},
        {kMpeg4, 1280, 720, "", "I420", "yuv420p"},
        {"x264 H.264 Encoder", 352, 288, "Y444", "BGR", "yuv444p"},
        {"x264 H.264 Encoder", 351, 287, "", "BGR", nullptr},
        {"<Uncompressed>", 64, 48, "", "BGR", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.encoder << " " << c.width << "x" << c.height << " " << c.requestedFormat);
        settings.Clear();
        if (*c.requestedFormat)
            settings.RememberInputFormat("x264enc", c.requestedFormat);
        const std::string file = dir.File("fed.avi");
        AviWriter writer(settings);
        writer.SetVideoFormat(AVICOMPRESSOPTIONS{}, 25.0, c.width, c.height, c.encoder);
        writer.OpenFile(file);
        for (int i = 0; i < 3; ++i)
            ASSERT_TRUE(writer.WriteVideo(MakeFrame(c.width, c.height, i).data(), nullptr));
        EXPECT_EQ(ProxyFormat(writer), c.proxyFormat);
        GstPtr<GstElement> converter = adopt(gst_bin_get_by_name(writer.Graph(), "Encoder Input Converter"));
        if (std::string(c.proxyFormat) == "I420") {
            ASSERT_TRUE(converter);
            EXPECT_TRUE(gst_base_transform_is_passthrough(GST_BASE_TRANSFORM(converter.get())));
        }
        ASSERT_TRUE(writer.WriteVideo(nullptr, nullptr));
        if (c.codedFormat)
            EXPECT_EQ(ProbeStream(file, "video").at("pix_fmt"), c.codedFormat);
    }
}

TEST(AviWriter, DvEncoderWritesDvVideoWithPcmBesideIt)
{
    TempDir dir;
    ClipPlan plan;
    plan.videoCodec = kDv;
    plan.width = 720;
    plan.height = 576;
    plan.audioCodec = "libav MP2 (MPEG audio layer 2) encoder";  // not used behind DV
    plan.videoFrames = plan.audioFrames = 8;
    const ClipResult written = WriteClip(dir.File("dv.avi"), plan);
    ASSERT_TRUE(written.allWritesOk && written.endOk);
    ProbeFields video = ProbeStream(dir.File("dv.avi"), "video", true);
    EXPECT_EQ(video["codec_name"], "dvvideo");
    EXPECT_EQ(video["nb_read_frames"], "8");
    ProbeFields audio = ProbeStream(dir.File("dv.avi"), "audio");
    EXPECT_EQ(audio["codec_name"], "pcm_s16le");
    EXPECT_EQ(audio["sample_rate"], "44100");
    EXPECT_EQ(test::DecodeErrors(dir.File("dv.avi")), "");
}

double NumberProperty(GstElement* element, const char* name)
{
    GValue value = G_VALUE_INIT;
    g_value_init(&value, G_TYPE_DOUBLE);
    GParamSpec* spec = g_object_class_find_property(G_OBJECT_GET_CLASS(element), name);
    GValue raw = G_VALUE_INIT;
    g_value_init(&raw, spec->value_type);
    g_object_get_property(G_OBJECT(element), name, &raw);
    g_value_transform(&raw, &value);
    const double number = g_value_get_double(&value);
    g_value_unset(&raw);
    return number;
}

TEST(AviWriter, QualityAndKeyFramesFromTheOptionsReachTheEncoder)
{
    TempDir dir;
    EncoderConfigStore settings;
    const struct {
        uint32_t quality;
        uint32_t flags;
        double qmin;
        double qmax;
        double gop;
    } cases[] = {
        {7500, AVICOMPRESSF_KEYFRAMES, 2.0, 2.0, 10.0},  // quantizers 31..1 in equal ratios: 31^0.25, rounded
        {10000, 0, 1.0, 1.0, 12.0},                      // key frames only with the flag
        {100000, AVICOMPRESSF_KEYFRAMES, 2.0, 31.0, 10.0},  // out of range: the encoder's own range
    };
    for (const auto& c : cases) {
        AviWriter writer(settings);
        AVICOMPRESSOPTIONS options;
        options.dwQuality = c.quality;
        options.dwFlags = c.flags;
        options.dwKeyFrameEvery = 10;
        writer.SetVideoFormat(options, 25.0, 160, 120, kMpeg4);
        writer.OpenFile(dir.File("quality.avi"));
        GstPtr<GstElement> encoder = adopt(gst_bin_get_by_name(writer.Graph(), kMpeg4));
        ASSERT_TRUE(encoder);
        EXPECT_EQ(NumberProperty(encoder.get(), "qmin"), c.qmin) << c.quality;
        EXPECT_EQ(NumberProperty(encoder.get(), "qmax"), c.qmax) << c.quality;
        EXPECT_EQ(NumberProperty(encoder.get(), "gop-size"), c.gop) << c.quality;
    }
}

TEST(AviWriter, RememberedEncoderSettingsApplyToEveryLaterWriter)
{
    TempDir dir;
    EncoderConfigStore settings;
    GValue bitrate = G_VALUE_INIT;
    g_value_init(&bitrate, G_TYPE_INT);
    g_value_set_int(&bitrate, 123456);
    settings.Remember("avenc_mpeg4", "bitrate", bitrate);
    g_value_unset(&bitrate);
    for (int clip = 0; clip < 2; ++clip) {
        AviWriter writer(settings);
        writer.SetVideoFormat({}, 25.0, 160, 120, kMpeg4);
        writer.OpenFile(dir.File("remembered.avi"));
        GstPtr<GstElement> encoder = adopt(gst_bin_get_by_name(writer.Graph(), kMpeg4));
        ASSERT_TRUE(encoder);
        EXPECT_EQ(NumberProperty(encoder.get(), "bitrate"), 123456.0);
    }
}

TEST(AviWriter, CompressorsComeAndGoInTheScratchGraph)
{
    EncoderConfigStore settings;
    AviWriter scratch(settings);
    GstPtr<GstElement> first = scratch.FindVideoCompressor(kMpeg4);
    GstPtr<GstElement> second = scratch.FindVideoCompressor(kMpeg4);
    ASSERT_TRUE(first && second);
    EXPECT_STREQ(GST_ELEMENT_NAME(first.get()), kMpeg4);
    EXPECT_STREQ(GST_ELEMENT_NAME(second.get()), (std::string(kMpeg4) + " 0001").c_str());
    scratch.RemoveFilter(first.get());
    EXPECT_EQ(GST_ELEMENT_PARENT(first.get()), nullptr);
    scratch.RemoveFilter(nullptr);
    EXPECT_EQ(ErrorCodeOf([&] { scratch.FindAudioCompressor(kMpeg4); }), 5);  // not an audio encoder
}

// An encoder without an output that writes its file itself: it stores the raw frames.
struct TestFileEncoder {
    GstBaseSink parent;
    gchar* location;
    FILE* file;
};
struct TestFileEncoderClass {
    GstBaseSinkClass parent_class;
};
G_DEFINE_TYPE(TestFileEncoder, test_file_encoder, GST_TYPE_BASE_SINK)

void test_file_encoder_init(TestFileEncoder*) {}

void test_file_encoder_finalize(GObject* object)
{
    g_free(reinterpret_cast<TestFileEncoder*>(object)->location);
    G_OBJECT_CLASS(test_file_encoder_parent_class)->finalize(object);
}

void test_file_encoder_set_property(GObject* object, guint, const GValue* value, GParamSpec*)
{
    auto* self = reinterpret_cast<TestFileEncoder*>(object);
    g_free(self->location);
    self->location = g_value_dup_string(value);
}

void test_file_encoder_get_property(GObject* object, guint, GValue* value, GParamSpec*)
{
    g_value_set_string(value, reinterpret_cast<TestFileEncoder*>(object)->location);
}

void test_file_encoder_class_init(TestFileEncoderClass* klass)
{
    auto* objectClass = G_OBJECT_CLASS(klass);
    objectClass->finalize = test_file_encoder_finalize;
    objectClass->set_property = test_file_encoder_set_property;
    objectClass->get_property = test_file_encoder_get_property;
    g_object_class_install_property(objectClass, 1,
                                    g_param_spec_string("location", "Location", "File", nullptr, G_PARAM_READWRITE));
    static GstStaticPadTemplate sinkTemplate =
        GST_STATIC_PAD_TEMPLATE("sink", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS("video/x-raw, format=BGR"));
    gst_element_class_add_static_pad_template(GST_ELEMENT_CLASS(klass), &sinkTemplate);
    gst_element_class_set_static_metadata(GST_ELEMENT_CLASS(klass), "Test file encoder", "Codec/Encoder/Video",
                                          "Writes raw frames to its own file", "tests");
    auto* sinkClass = GST_BASE_SINK_CLASS(klass);
    sinkClass->start = [](GstBaseSink* sink) -> gboolean {
        auto* self = reinterpret_cast<TestFileEncoder*>(sink);
        self->file = self->location ? std::fopen(self->location, "wb") : nullptr;
        return self->file != nullptr;
    };
    sinkClass->stop = [](GstBaseSink* sink) -> gboolean {
        auto* self = reinterpret_cast<TestFileEncoder*>(sink);
        if (self->file)
            std::fclose(self->file);
        self->file = nullptr;
        return TRUE;
    };
    sinkClass->render = [](GstBaseSink* sink, GstBuffer* buffer) -> GstFlowReturn {
        GstMapInfo map;
        gst_buffer_map(buffer, &map, GST_MAP_READ);
        std::fwrite(map.data, 1, map.size, reinterpret_cast<TestFileEncoder*>(sink)->file);
        gst_buffer_unmap(buffer, &map);
        return GST_FLOW_OK;
    };
}

TEST(AviWriter, EncoderThatWritesTheFileItselfGetsThePath)
{
    ASSERT_TRUE(gst_element_register(nullptr, "klovatestfileencoder", GST_RANK_NONE, test_file_encoder_get_type()));
    TempDir dir;
    ClipPlan plan;
    plan.videoCodec = "Test file encoder";
    plan.withAudio = false;
    plan.videoFrames = 5;
    const ClipResult written = WriteClip(dir.File("own.raw"), plan);
    ASSERT_TRUE(written.allWritesOk && written.endOk);
    EXPECT_EQ(test::FileSize(dir.File("own.raw")), 5ll * DibImageSize(160, 120));
}

}  // namespace
}  // namespace klova
