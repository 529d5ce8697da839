// InputReader on real files generated at test time by ffmpeg, judged by ffprobe.
#include "media_in/input_reader.h"
#include "platform/errors.h"
#include "tests/media_in/media_fixtures.h"
#include "tests/support/test_names.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <functional>
#include <cmath>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace klova {
namespace {

using test::Ffmpeg;
using test::ProbeFields;
using test::ProbeStream;

struct Sample {
    std::vector<uint8_t> bytes;
    MediaTime start = 0;
    MediaTime stop = 0;
};

// Reads to the end (or at most `limit` samples).
std::vector<Sample> ReadAll(InputReader& reader, size_t limit = SIZE_MAX)
{
    std::vector<Sample> samples;
    while (samples.size() < limit) {
        uint32_t length = 0;
        Sample sample;
        const uint8_t* data = reader.ReadSample(&length, &sample.start, &sample.stop);
        if (length == 0)
            break;
        sample.bytes.assign(data, data + length);
        samples.push_back(std::move(sample));
    }
    return samples;
}

Sample ReadOne(InputReader& reader)
{
    uint32_t length = 0;
    Sample sample;
    const uint8_t* data = reader.ReadSample(&length, &sample.start, &sample.stop);
    sample.bytes.assign(data, data + length);
    return sample;
}

int64_t Int64Property(const InputReader& reader, int32_t index)
{
    int64_t value = -1;
    reader.GetProperty(index, &value);
    return value;
}

double DoubleProperty(const InputReader& reader, int32_t index)
{
    double value = -1;
    reader.GetProperty(index, &value);
    return value;
}

double Field(ProbeFields& fields, const std::string& key)
{
    try {
        return std::stod(fields[key]);
    } catch (...) {
        ADD_FAILURE() << "ffprobe gave no " << key;
        return 0.0;
    }
}

double Rational(const std::string& text)
{
    const size_t slash = text.find('/');
    return slash == std::string::npos ? std::stod(text) : std::stod(text.substr(0, slash)) / std::stod(text.substr(slash + 1));
}

// Length of an audio stream: PCM in AVI has no stream duration, but counts its samples.
double AudioSeconds(ProbeFields& probe, const std::string& file)
{
    if (probe["duration"] != "N/A" && !probe["duration"].empty())
        return std::stod(probe["duration"]);
    if (probe["nb_frames"] != "N/A" && !probe["nb_frames"].empty() && probe["codec_name"].rfind("pcm_", 0) == 0)
        return std::stod(probe["nb_frames"]) / std::stod(probe["sample_rate"]);
    return test::ProbeDuration(file);
}

int ThreadCount()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("Threads:", 0) == 0)
            return std::stoi(line.substr(8));
    return -1;
}

// --- video ------------------------------------------------------------------------------

struct VideoCase {
    const char* file;
    double frameRate;           // of the container, 0 when it gives none
    MediaTime frameDuration;    // delivered stop - start of every frame (0: by time stamps)
    bool exactFrameCount;       // the container knows its frame count
};

void PrintTo(const VideoCase& c, std::ostream* out)
{
    *out << c.file;
}

class VideoFiles : public ::testing::TestWithParam<VideoCase> {};

TEST_P(VideoFiles, DeliversEveryFrameWithItsTimes)
{
    const VideoCase& c = GetParam();
    const std::string& file = test::Fixture(c.file);
    ProbeFields probe = ProbeStream(file, "video", true);
    const int expectedFrames = static_cast<int>(Field(probe, "nb_read_frames"));
    const int width = static_cast<int>(Field(probe, "width"));
    const int height = static_cast<int>(Field(probe, "height"));

    InputReader reader(file, VideoRequestType, true);
    const MediaType type = reader.GetMediaType();
    ASSERT_EQ(type.majortype, MajorType::Video);
    ASSERT_EQ(type.subtype, SubType::RGB24);
    ASSERT_EQ(type.formattype, FormatType::VideoInfo);
    EXPECT_EQ(type.videoInfo.bmiHeader.biWidth, width);
    EXPECT_EQ(type.videoInfo.bmiHeader.biHeight, height);
    EXPECT_EQ(reader.GetBufferSize(), DibImageSize(width, height));

    const std::vector<Sample> frames = ReadAll(reader);
    ASSERT_EQ(static_cast<int>(frames.size()), expectedFrames);
    const MediaTime nominal = c.frameRate > 0 ? FrameDuration(c.frameRate) : 0;
    EXPECT_EQ(MediaTime{type.videoInfo.AvgTimePerFrame}, nominal);
    EXPECT_LT(frames.front().start, frames.front().stop - frames.front().start)
        << "running time starts within a frame of 0";
    for (size_t n = 0; n < frames.size(); ++n) {
        const Sample& frame = frames[n];
        ASSERT_EQ(frame.bytes.size(), DibImageSize(width, height)) << "frame " << n;
        ASSERT_GT(frame.stop, frame.start) << "frame " << n;
        if (c.frameDuration > 0) {
            EXPECT_EQ(frame.stop - frame.start, c.frameDuration) << "frame " << n;
        }
        if (n > 0) {
            EXPECT_GE(frame.start, frames[n - 1].stop) << "frame " << n;
            EXPECT_LE(frame.start - frames[n - 1].stop, 20000) << "no gap at frame " << n;
        }
    }
    const double seconds = static_cast<double>(frames.back().stop - frames.front().start) / kUnitsPerSecond;
    EXPECT_NEAR(seconds, expectedFrames / Rational(probe["r_frame_rate"]), 0.01);

    // Properties.
    const double rate = DoubleProperty(reader, PropFrameRate);
    if (c.frameRate > 0) {
        EXPECT_EQ(rate, c.frameRate);
    } else {
        EXPECT_LT(rate, 1.0) << "an unknown rate is left for the caller to measure";
    }
    const int64_t frameCount = Int64Property(reader, PropFrameCount);
    if (c.exactFrameCount) {
        EXPECT_EQ(frameCount, expectedFrames);
    } else if (c.frameRate > 0) {
        EXPECT_NEAR(static_cast<double>(frameCount), expectedFrames, 3.0);
    }
    EXPECT_NEAR(Int64Property(reader, PropDuration) / 1e7, expectedFrames / Rational(probe["r_frame_rate"]), 0.1);
    EXPECT_EQ(Int64Property(reader, PropSampleCount), 0);
    EXPECT_EQ(DoubleProperty(reader, PropSampleRate), 0.0);

    // After the end (the engine measures an unknown rate this way): back to the start.
    reader.Rewind();
    const std::vector<Sample> again = ReadAll(reader, 2);
    ASSERT_EQ(again.size(), 2u);
    EXPECT_TRUE(again[0].bytes == frames[0].bytes) << "the first frame again";
    EXPECT_TRUE(again[1].bytes == frames[1].bytes);
    EXPECT_EQ(again[0].start, frames[0].start);
}

INSTANTIATE_TEST_SUITE_P(
    Containers, VideoFiles,
    ::testing::Values(VideoCase{"mjpeg_pcm.avi", 25.0, 400000, true},
                      VideoCase{"ntsc.mpg", 30000.0 / 1001.0, 333666, false},
                      VideoCase{"vcd.dat", 30000.0 / 1001.0, 333666, false},
                      VideoCase{"h264_aac.mp4", 30.0, 333333, false},
                      // The ASF header gives no frame rate: durations follow the time stamps.
                      VideoCase{"wmv2_wma2.wmv", 0.0, 0, false}),
    test::PrintedName());

TEST(InputReaderVideo, DeliversBottomUpRowsInBlueGreenRedOrder)
{
    InputReader reader(test::Fixture("redblue_321x241.avi"), VideoRequestType, true);
    const MediaType type = reader.GetMediaType();
    ASSERT_EQ(type.videoInfo.bmiHeader.biWidth, 321);
    ASSERT_EQ(type.videoInfo.bmiHeader.biHeight, 241);
    EXPECT_EQ(type.videoInfo.bmiHeader.biBitCount, 24);
    EXPECT_EQ(type.videoInfo.bmiHeader.biSizeImage, 964u * 241u);

    const Sample frame = ReadOne(reader);
    ASSERT_EQ(frame.bytes.size(), 964u * 241u);
    const auto pixel = [&](int row, int column) { return &frame.bytes[row * 964 + column * 3]; };
    for (int column : {0, 160, 320}) {
        // Memory row 10 is picture row 230: blue. Memory row 230 is picture row 10: red.
        const uint8_t* blue = pixel(10, column);
        EXPECT_GT(blue[0], 200) << "column " << column;
        EXPECT_LT(blue[1], 50);
        EXPECT_LT(blue[2], 50);
        const uint8_t* red = pixel(230, column);
        EXPECT_LT(red[0], 50) << "column " << column;
        EXPECT_LT(red[1], 50);
        EXPECT_GT(red[2], 200);
    }
    for (int row = 0; row < 241; ++row)
        ASSERT_EQ(frame.bytes[row * 964 + 963], 0) << "padding of row " << row;
}

TEST(InputReaderVideo, RewindReturnsTheFirstFrameAgain)
{
    InputReader reader(test::Fixture("mjpeg_pcm.avi"), VideoRequestType, true);
    const std::vector<Sample> first = ReadAll(reader, 5);
    ASSERT_EQ(first.size(), 5u);
    reader.Rewind();
    const std::vector<Sample> again = ReadAll(reader, 2);
    ASSERT_EQ(again.size(), 2u);
    EXPECT_TRUE(again[0].bytes == first[0].bytes);
    EXPECT_EQ(again[0].start, first[0].start);
    EXPECT_TRUE(again[1].bytes == first[1].bytes) << "no frame skipped after the rewind";
}

// A caller that reads only some rows of each frame (a scaler skipping rows) gets those
// rows as a reader converting whole frames gives them, frame after frame, the frame
// converted ahead included; the rows it does not read are left unconverted.
TEST(InputReaderVideo, ConvertsOnlyTheRowsTheCallerReads)
{
    const std::string& file = test::Fixture("h264_aac.mp4");  // 320 x 240, 4:2:0
    constexpr size_t kHeight = 240;
    const auto stride = static_cast<size_t>(DibStride(320));
    InputReader whole(file, VideoRequestType, true);
    InputReader partial(file, VideoRequestType, true);
    std::vector<uint8_t> rows(kHeight);
    for (size_t row = 0; row < kHeight; ++row)
        rows[row] = row % 3 == 1;
    partial.SetRowsRead(rows);
    const std::vector<Sample> expected = ReadAll(whole, 30);
    const std::vector<Sample> got = ReadAll(partial, 30);
    ASSERT_EQ(got.size(), expected.size());
    size_t unconverted = 0;
    for (size_t frame = 0; frame < got.size(); ++frame) {
        ASSERT_EQ(got[frame].bytes.size(), stride * kHeight);
        for (size_t row = 0; row < kHeight; ++row) {
            const auto at = static_cast<ptrdiff_t>(row * stride);
            const bool same = std::equal(got[frame].bytes.begin() + at, got[frame].bytes.begin() + at +
                                         static_cast<ptrdiff_t>(stride), expected[frame].bytes.begin() + at);
            if (rows[row])
                ASSERT_TRUE(same) << "frame " << frame << ", row " << row;
            else
                unconverted += same ? 0 : 1;
        }
    }
    EXPECT_GT(unconverted, 0u) << "the rows not read were converted all the same";
}

TEST(InputReaderVideo, SeekWhileTheStreamingThreadWaitsDropsTheWaitingFrame)
{
    const std::string& file = test::Fixture("mjpeg_pcm.avi");
    InputReader sequential(file, VideoRequestType, true);
    const std::vector<Sample> all = ReadAll(sequential);
    ASSERT_EQ(all.size(), 50u);

    InputReader reader(file, VideoRequestType, true);
    ASSERT_TRUE(ReadOne(reader).bytes == all[0].bytes);
    // The streaming thread now waits in the sink with the next frame.
    reader.SeekTo(10'000'000);
    const Sample atOneSecond = ReadOne(reader);
    EXPECT_TRUE(atOneSecond.bytes == all[25].bytes) << "the frame at 1 s, not the waiting one";
    EXPECT_LT(atOneSecond.start, 400000);
    EXPECT_EQ(atOneSecond.stop - atOneSecond.start, 400000);
    EXPECT_TRUE(ReadOne(reader).bytes == all[26].bytes);
}

TEST(InputReaderVideo, ReadingPastTheEndKeepsReturningNothingUntilASeek)
{
    InputReader reader(test::Fixture("mjpeg_pcm.avi"), VideoRequestType, true);
    const std::vector<Sample> all = ReadAll(reader);
    ASSERT_EQ(all.size(), 50u);
    for (int attempt = 0; attempt < 3; ++attempt) {
        uint32_t length = 1;
        MediaTime start = 1;
        MediaTime stop = 1;
        reader.ReadSample(&length, &start, &stop);
        EXPECT_EQ(length, 0u);
        EXPECT_EQ(start, 0);
        EXPECT_EQ(stop, 0);
    }
    // The requests left by the reads at the end must not make the restarted stream
    // deliver on its own: the frames come back in order, none skipped.
    reader.Rewind();
    const std::vector<Sample> again = ReadAll(reader);
    ASSERT_EQ(again.size(), 50u);
    EXPECT_TRUE(again[0].bytes == all[0].bytes);
    EXPECT_TRUE(again[1].bytes == all[1].bytes);
    EXPECT_TRUE(again[49].bytes == all[49].bytes);
}

TEST(InputReaderVideo, FrameSizeChangeKeepsTheConnectedSize)
{
    // The reader's buffer and the engine's idea of a frame come from the first frame
    // size; later frames are scaled to it rather than cut or dropped.
    InputReader reader(test::Fixture("size_change.ts"), VideoRequestType, true);
    ASSERT_EQ(reader.GetMediaType().videoInfo.bmiHeader.biWidth, 320);
    const std::vector<Sample> frames = ReadAll(reader);
    ASSERT_EQ(frames.size(), 50u);
    for (const Sample& frame : frames)
        ASSERT_EQ(frame.bytes.size(), DibImageSize(320, 240));
    EXPECT_FALSE(frames[40].bytes == frames[10].bytes);
    EXPECT_NEAR(static_cast<double>(frames[40].start), 16'000'000.0, 400000.0);
}

// The average colour (red, green, blue) of one quarter of a top-down RGB picture;
// quarter 0 is top left, 1 top right, 2 bottom left, 3 bottom right.
std::array<int, 3> QuarterColour(const std::function<const uint8_t*(int row, int column)>& pixel, int width,
                                 int height, int quarter)
{
    std::array<long, 3> sum{};
    long count = 0;
    const int rows = height / 2;
    const int columns = width / 2;
    for (int row = rows / 4; row < rows * 3 / 4; ++row)
        for (int column = columns / 4; column < columns * 3 / 4; ++column, ++count) {
            const uint8_t* rgb = pixel(row + (quarter / 2) * rows, column + (quarter % 2) * columns);
            for (int c = 0; c < 3; ++c)
                sum[c] += rgb[c];
        }
    return {static_cast<int>(sum[0] / count), static_cast<int>(sum[1] / count), static_cast<int>(sum[2] / count)};
}

bool IsRed(const std::array<int, 3>& rgb) { return rgb[0] > 180 && rgb[1] < 80 && rgb[2] < 80; }

TEST(InputReaderVideo, TurnsARotatedPictureUprightAsFfmpegShowsIt)
{
    const std::string& file = test::Fixture("rotated_90.mp4");
    InputReader reader(file, VideoRequestType, true);
    const BITMAPINFOHEADER& bitmap = reader.GetMediaType().videoInfo.bmiHeader;
    ASSERT_EQ(bitmap.biWidth, 180);
    ASSERT_EQ(bitmap.biHeight, 320);
    const Sample frame = ReadOne(reader);
    ASSERT_EQ(frame.bytes.size(), DibImageSize(180, 320));

    // ffmpeg turns the picture by the same tag when it decodes.
    const test::CommandResult upright = test::RunCommand(
        "ffmpeg -hide_banner -nostdin -loglevel error -i " + test::ShellQuote(file) +
        " -frames:v 1 -f rawvideo -pix_fmt rgb24 -");
    ASSERT_EQ(upright.exitStatus, 0) << upright.err;
    ASSERT_EQ(upright.out.size(), 180u * 320u * 3u) << "ffmpeg's picture is 180 x 320 too";

    const int stride = DibStride(180);
    std::array<uint8_t, 3> rgb{};
    const auto ours = [&](int row, int column) {
        const uint8_t* bgr = &frame.bytes[static_cast<size_t>(319 - row) * stride + column * 3];
        rgb = {bgr[2], bgr[1], bgr[0]};
        return rgb.data();
    };
    const auto theirs = [&](int row, int column) {
        return reinterpret_cast<const uint8_t*>(&upright.out[(static_cast<size_t>(row) * 180 + column) * 3]);
    };
    int redQuarters = 0;
    for (int quarter = 0; quarter < 4; ++quarter) {
        const bool red = IsRed(QuarterColour(theirs, 180, 320, quarter));
        redQuarters += red ? 1 : 0;
        EXPECT_EQ(IsRed(QuarterColour(ours, 180, 320, quarter)), red) << "quarter " << quarter;
    }
    EXPECT_EQ(redQuarters, 1);
}

TEST(InputReaderVideo, ReportsThePixelShapeOfTheSource)
{
    InputReader anamorphic(test::Fixture("anamorphic_16x9.mpg"), VideoRequestType, true);
    EXPECT_EQ(anamorphic.GetMediaType().videoInfo.bmiHeader.biWidth, 720);
    EXPECT_EQ(anamorphic.GetMediaType().pixelAspect, (PixelAspect{64, 45}));
    InputReader square(test::Fixture("mjpeg_pcm.avi"), VideoRequestType, true);
    EXPECT_TRUE(square.GetMediaType().pixelAspect.IsSquare());
}

TEST(InputReaderVideo, OpensUncompressedBgrAsFfmpegWritesIt)
{
    // ffmpeg's AVI gives these a pixel aspect of -1/1, which is taken as square.
    const std::string& file = test::Fixture("bgr24_ffmpeg.avi");
    InputReader reader(file, VideoRequestType, true);
    EXPECT_EQ(reader.GetMediaType().videoInfo.bmiHeader.biWidth, 160);
    EXPECT_TRUE(reader.GetMediaType().pixelAspect.IsSquare());
    EXPECT_EQ(ReadAll(reader).size(), 10u);
}

TEST(InputReaderVideo, AFileWithoutVideoSaysSo)
{
    try {
        InputReader reader(test::Fixture("u8_mono_11025.wav"), VideoRequestType, true);
        FAIL() << "opened a sound file as video";
    } catch (const CMyException& error) {
        EXPECT_EQ(error.code(), static_cast<int32_t>(ErrorCode::NoVideoStream));
    }
}

TEST(InputReaderVideo, StillImageWithoutRateGetsAFrameDurationButNoRate)
{
    InputReader reader(test::Fixture("still.png"), VideoRequestType, true);
    EXPECT_EQ(MediaTime{reader.GetMediaType().videoInfo.AvgTimePerFrame}, 0);
    EXPECT_EQ(DoubleProperty(reader, PropFrameRate), 0.0);
    const std::vector<Sample> frames = ReadAll(reader);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].stop - frames[0].start, 400000);
}

// --- audio ------------------------------------------------------------------------------

class AudioFiles : public ::testing::TestWithParam<const char*> {};

TEST_P(AudioFiles, DeliversAllPcmBytesWithContiguousTimes)
{
    const std::string& file = test::Fixture(GetParam());
    ProbeFields probe = ProbeStream(file, "audio");
    const double probeSeconds = AudioSeconds(probe, file);

    InputReader reader(file, AudioRequestType, true);
    const MediaType type = reader.GetMediaType();
    ASSERT_EQ(type.majortype, MajorType::Audio);
    ASSERT_EQ(type.subtype, SubType::PCM);
    ASSERT_EQ(type.formattype, FormatType::WaveFormatEx);
    const WAVEFORMATEX& wave = type.waveFormat;
    EXPECT_EQ(wave.wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(wave.nChannels, static_cast<int>(Field(probe, "channels")));
    EXPECT_EQ(wave.nSamplesPerSec, static_cast<uint32_t>(Field(probe, "sample_rate")));
    EXPECT_EQ(wave.nBlockAlign, wave.nChannels * wave.wBitsPerSample / 8);
    EXPECT_EQ(wave.nAvgBytesPerSec, wave.nSamplesPerSec * wave.nBlockAlign);
    EXPECT_EQ(wave.cbSize, 0);
    EXPECT_EQ(reader.GetBufferSize() % wave.nBlockAlign, 0u);
    EXPECT_GE(reader.GetBufferSize(), wave.nAvgBytesPerSec / 4);

    uint64_t total = 0;
    MediaTime previousStop = -1;
    MediaTime firstStart = -1;
    std::vector<uint8_t> firstBytes;
    uint32_t length = 0;
    MediaTime start = 0;
    MediaTime stop = 0;
    for (;;) {
        const uint8_t* data = reader.ReadSample(&length, &start, &stop);
        if (length == 0)
            break;
        if (firstBytes.empty()) {
            firstBytes.assign(data, data + length);
            firstStart = start;
        }
        ASSERT_EQ(length % wave.nBlockAlign, 0u);
        ASSERT_LE(length, reader.GetBufferSize());
        const MediaTime expectedLength = static_cast<MediaTime>(length / wave.nBlockAlign) * kUnitsPerSecond /
                                         static_cast<MediaTime>(wave.nSamplesPerSec);
        EXPECT_NEAR(static_cast<double>(stop - start), static_cast<double>(expectedLength), 1.0);
        if (previousStop < 0) {
            EXPECT_LT(start, 500000) << "running time starts at or near 0";
        } else {
            EXPECT_NEAR(static_cast<double>(start), static_cast<double>(previousStop), 100000.0);
        }
        previousStop = stop;
        total += length;
    }
    const double expectedBytes = probeSeconds * wave.nAvgBytesPerSec;
    EXPECT_NEAR(static_cast<double>(total), expectedBytes, 0.03 * wave.nAvgBytesPerSec + 0.01 * expectedBytes);

    EXPECT_EQ(DoubleProperty(reader, PropSampleRate), static_cast<double>(wave.nSamplesPerSec));
    EXPECT_NEAR(static_cast<double>(Int64Property(reader, PropSampleCount)), probeSeconds * wave.nSamplesPerSec,
                0.05 * wave.nSamplesPerSec);
    EXPECT_EQ(Int64Property(reader, PropFrameCount), 0);

    // Back to the start: the same sound from the same time.
    reader.Rewind();
    const Sample again = ReadOne(reader);
    ASSERT_FALSE(again.bytes.empty());
    EXPECT_EQ(again.start, firstStart);
    // Transform decoders (WMA, AAC) do not forget their overlap on a flush, so their
    // first block after a seek differs a little; PCM and MPEG audio come back exactly.
    const std::string codec = probe["codec_name"];
    if (codec.rfind("pcm_", 0) == 0 || codec == "mp2") {
        const size_t common = std::min(again.bytes.size(), firstBytes.size());
        EXPECT_TRUE(std::equal(firstBytes.begin(), firstBytes.begin() + common, again.bytes.begin()));
    }
}

INSTANTIATE_TEST_SUITE_P(Containers, AudioFiles,
                         ::testing::Values("mjpeg_pcm.avi", "u8_mono_11025.wav", "ntsc.mpg", "vcd.dat",
                                           "wmv2_wma2.wmv", "h264_aac.mp4"),
                         test::PrintedName());

TEST(InputReaderAudio, KeepsEightBitMonoAsItIs)
{
    const std::string& file = test::Fixture("u8_mono_11025.wav");
    InputReader reader(file, AudioRequestType, true);
    const WAVEFORMATEX wave = reader.GetMediaType().waveFormat;
    EXPECT_EQ(wave.wBitsPerSample, 8);
    EXPECT_EQ(wave.nChannels, 1);
    EXPECT_EQ(wave.nSamplesPerSec, 11025u);
    EXPECT_EQ(reader.GetBufferSize(), 2757u);  // a quarter second, rounded up
    // Every sample of the file arrives, the data chunk byte for byte.
    uint64_t total = 0;
    for (const Sample& sample : ReadAll(reader))
        total += sample.bytes.size();
    ProbeFields probe = ProbeStream(file, "audio");
    EXPECT_EQ(static_cast<double>(total), std::round(Field(probe, "duration") * 11025));
}

TEST(InputReaderAudio, SurroundSoundReportsTheSpeakersOfItsLayout)
{
    InputReader reader(test::Fixture("surround_51.wav"), AudioRequestType, true);
    const MediaType type = reader.GetMediaType();
    EXPECT_EQ(type.waveFormat.nChannels, 6);
    EXPECT_EQ(type.channelMask, 0x3Fu) << "front left, right, centre, LFE, back left, back right";
}

TEST(InputReaderAudio, RewindStartsTheSoundAgain)
{
    InputReader reader(test::Fixture("mjpeg_pcm.avi"), AudioRequestType, true);
    const Sample first = ReadOne(reader);
    ReadAll(reader, 3);
    reader.Rewind();
    const Sample again = ReadOne(reader);
    ASSERT_FALSE(again.bytes.empty());
    const size_t common = std::min(first.bytes.size(), again.bytes.size());
    EXPECT_TRUE(std::equal(first.bytes.begin(), first.bytes.begin() + common, again.bytes.begin()));
    EXPECT_EQ(again.start, first.start);
}

// --- failures and lifetime ----------------------------------------------------------------

struct OpenFailure {
    const char* file;
    bool video;
};

void PrintTo(const OpenFailure& c, std::ostream* out)
{
    *out << (c.video ? "video of " : "audio of ") << c.file;
}

class OpenFailures : public ::testing::TestWithParam<OpenFailure> {};

TEST_P(OpenFailures, ThrowInputOpenFailed)
{
    const OpenFailure& c = GetParam();
    const std::string file = std::string(c.file) == "missing.avi" ? "/nonexistent/klova/missing.avi"
                                                                    : test::Fixture(c.file);
    try {
        InputReader reader(file, c.video ? VideoRequestType : AudioRequestType, true);
        FAIL() << "opened " << file;
    } catch (const CMyException& error) {
        EXPECT_EQ(error.code(), static_cast<int32_t>(ErrorCode::InputOpenFailed));
    }
}

INSTANTIATE_TEST_SUITE_P(Inputs, OpenFailures,
                         ::testing::Values(OpenFailure{"redblue_321x241.avi", false},  // video without audio
                                           OpenFailure{"still.png", false},
                                           OpenFailure{"empty.avi", true}, OpenFailure{"empty.avi", false},
                                           OpenFailure{"garbage.avi", true}, OpenFailure{"garbage.avi", false},
                                           OpenFailure{"notes.txt", true}, OpenFailure{"notes.txt", false},
                                           OpenFailure{"missing.avi", true},
                                           OpenFailure{"missing.avi", false}),
                         test::PrintedName());

TEST(InputReaderLifetime, VideoAndAudioReadersOnOneFileRunSideBySide)
{
    const std::string& file = test::Fixture("h264_aac.mp4");
    InputReader video(file, VideoRequestType, true);
    InputReader audio(file, AudioRequestType, true);
    // The engine's pattern: a frame, then the sound up to its stop time.
    int frames = 0;
    MediaTime soundUntil = 0;
    uint64_t soundBytes = 0;
    bool soundEnded = false;
    for (;;) {
        const Sample frame = ReadOne(video);
        if (frame.bytes.empty())
            break;
        ++frames;
        while (!soundEnded && soundUntil < frame.stop) {
            const Sample sound = ReadOne(audio);
            soundEnded = sound.bytes.empty();
            soundUntil = sound.stop;
            soundBytes += sound.bytes.size();
        }
    }
    EXPECT_EQ(frames, 60);
    EXPECT_NEAR(static_cast<double>(soundBytes) / audio.GetMediaType().waveFormat.nAvgBytesPerSec, 2.0, 0.1);
}

TEST(InputReaderLifetime, DestroyingMidStreamReturnsPromptlyAndLeavesNoThread)
{
    const std::string& file = test::Fixture("h264_aac.mp4");
    const auto cycle = [&] {
        auto video = std::make_unique<InputReader>(file, VideoRequestType, true);
        auto audio = std::make_unique<InputReader>(file, AudioRequestType, true);
        ReadAll(*video, 3);
        ReadAll(*audio, 2);
        // Both streaming threads are now blocked in their sinks; a reader that could not
        // release them would hang here.
        video.reset();
        audio.reset();
    };
    for (int round = 0; round < 6; ++round)
        cycle();
    // The streaming threads come from GLib's thread pools: an idle pool thread leaves
    // after half a second, and at most two spare ones are kept. A thread still busy with
    // a destroyed reader would stay. (Polled: waiting for something to stop existing.)
    constexpr int kMainAndSpareThreads = 3;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (ThreadCount() > kMainAndSpareThreads && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_LE(ThreadCount(), kMainAndSpareThreads) << "threads left behind by destroyed readers";
}

}  // namespace
}  // namespace klova
