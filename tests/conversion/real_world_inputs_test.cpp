// klova-convert on the kinds of files people have: streams that start at different
// times, rotated phone video, anamorphic pictures, surround sound, files without
// video and files that end early. Judged by ffprobe and ffmpeg and by our own reader.
#include "media_in/input_reader.h"
#include "tests/support/test_names.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <sstream>

namespace klova {
namespace {

constexpr double kFrameSeconds = 0.04;  // one frame at 25 fps

// The settings that make the output a WMV file.
std::vector<std::string> WmvOutput()
{
    return {"DstFileType=1", "MediaProfile=Broadband high quality (768 Kbps)"};
}

// Where the first white frame starts, in seconds of the file's own time line, as
// ffmpeg decodes it; negative without one.
double FlashSecondsByFfmpeg(const std::string& file)
{
    const test::CommandResult run = test::RunCommand("ffmpeg -hide_banner -nostdin -nostats -copyts -i " +
                                                     test::ShellQuote(file) + " -map 0:v:0 -vf showinfo -f null -");
    std::istringstream lines(run.err);
    for (std::string line; std::getline(lines, line);) {
        const size_t time = line.find("pts_time:");
        const size_t mean = line.find("mean:[");
        if (time != std::string::npos && mean != std::string::npos && std::atoi(line.c_str() + mean + 6) > 128)
            return std::atof(line.c_str() + time + 9);
    }
    return -1.0;
}

// Where the first loud sound starts, in seconds of the file's own time line, as ffmpeg
// decodes it; negative without one.
double BeepSecondsByFfmpeg(const std::string& file)
{
    const test::CommandResult run =
        test::RunCommand("ffmpeg -hide_banner -nostdin -nostats -copyts -i " + test::ShellQuote(file) +
                         " -map 0:a:0 -af silencedetect=noise=-30dB:duration=0.2 -f null -");
    const size_t end = run.err.find("silence_end: ");
    return end == std::string::npos ? -1.0 : std::atof(run.err.c_str() + end + 13);
}

// The same two by our own reader.
double FlashSecondsByReader(const std::string& file)
{
    InputReader reader(file, VideoRequestType, true);
    for (;;) {
        uint32_t length = 0;
        MediaTime start = 0;
        MediaTime stop = 0;
        const uint8_t* frame = reader.ReadSample(&length, &start, &stop);
        if (length == 0)
            return -1.0;
        long sum = 0;
        long count = 0;
        for (uint32_t i = 0; i < length; i += 97, ++count)
            sum += frame[i];
        if (sum / count > 128)
            return static_cast<double>(start) / kUnitsPerSecond;
    }
}

double BeepSecondsByReader(const std::string& file)
{
    InputReader reader(file, AudioRequestType, true);
    const WAVEFORMATEX format = reader.GetMediaType().waveFormat;
    if (format.wBitsPerSample != 16)
        return -1.0;
    for (;;) {
        uint32_t length = 0;
        MediaTime start = 0;
        MediaTime stop = 0;
        const uint8_t* data = reader.ReadSample(&length, &start, &stop);
        if (length == 0)
            return -1.0;
        for (uint32_t offset = 0; offset + 1 < length; offset += format.nBlockAlign) {
            const auto value = static_cast<int16_t>(data[offset] | data[offset + 1] << 8);
            if (std::abs(value) > 3000)
                return static_cast<double>(start) / kUnitsPerSecond +
                       static_cast<double>(offset / format.nBlockAlign) / format.nSamplesPerSec;
        }
    }
}

// ---- Streams that start at different times ------------------------------------------

struct OffsetCase {
    const char* name;
    double audioDelay;  // seconds the audio starts after the video
    double videoDelay;  // seconds the video starts after the audio
    bool wmv;
};

void PrintTo(const OffsetCase& c, std::ostream* out) { *out << c.name << (c.wmv ? "_wmv" : "_avi"); }

class StartOffsets : public ::testing::TestWithParam<OffsetCase> {
protected:
    test::TempDir dir_;
};

// An MKV whose white flash and beep both lie at 3 s of its time line, one of the
// streams starting late.
TEST_P(StartOffsets, TheBeepStaysWithinOneFrameOfTheFlash)
{
    const OffsetCase& c = GetParam();
    const std::string input = dir_.File("offset.mkv");
    std::ostringstream args;
    args << "-itsoffset " << c.videoDelay
         << " -f lavfi -i \"color=black:size=320x240:rate=25:duration=" << 6 - c.videoDelay
         << ",drawbox=color=white:t=fill:enable='between(t," << 3 - c.videoDelay << "," << 3 - c.videoDelay + 0.039
         << ")'\" -itsoffset " << c.audioDelay
         << " -f lavfi -i \"aevalsrc='if(between(t," << 3 - c.audioDelay << "," << 3.1 - c.audioDelay
         << "),sin(2*PI*1000*t),0)':s=44100:d=" << 6 - c.audioDelay << "\" -c:v mjpeg -c:a pcm_s16le "
         << test::ShellQuote(input);
    test::Ffmpeg(args.str());
    ASSERT_NEAR(FlashSecondsByFfmpeg(input), 3.0, 0.001);
    ASSERT_NEAR(BeepSecondsByFfmpeg(input), 3.0, 0.002);

    const std::string output = dir_.File(c.wmv ? "out.wmv" : "out.avi");
    std::vector<std::string> settings = {"SrcFileName=" + input, "DstFileName=" + output};
    if (c.wmv) {
        const std::vector<std::string> wmv = WmvOutput();
        settings.insert(settings.end(), wmv.begin(), wmv.end());
    }
    const test::CommandResult result = test::RunKlovaConvert(settings);
    ASSERT_EQ(result.exitStatus, 0) << result.err;

    // The output starts with the first frame, wherever the input's picture started.
    const double flash = FlashSecondsByFfmpeg(output);
    EXPECT_NEAR(flash, 3.0 - c.videoDelay, kFrameSeconds + 0.001);
    EXPECT_NEAR(BeepSecondsByFfmpeg(output), flash, kFrameSeconds + 0.002);
    EXPECT_NEAR(BeepSecondsByReader(output), FlashSecondsByReader(output), kFrameSeconds + 0.002);
}

INSTANTIATE_TEST_SUITE_P(
    LateStreams, StartOffsets,
    ::testing::Values(OffsetCase{"audio_2s_late", 2.0, 0.0, false}, OffsetCase{"audio_2s_late", 2.0, 0.0, true},
                      OffsetCase{"video_1s_late", 0.0, 1.0, false}, OffsetCase{"video_1s_late", 0.0, 1.0, true}),
    test::PrintedName());

// ---- Rotated phone video -------------------------------------------------------------

// Which quarter of a top-down RGB picture is red: 0 top left, 1 top right, 2 bottom
// left, 3 bottom right; -1 for none.
int RedQuarter(const std::string& rgb, int width, int height)
{
    for (int quarter = 0; quarter < 4; ++quarter) {
        const int row = height / 4 + (quarter / 2) * (height / 2);
        const int column = width / 4 + (quarter % 2) * (width / 2);
        const auto* pixel = reinterpret_cast<const uint8_t*>(&rgb[(static_cast<size_t>(row) * width + column) * 3]);
        if (pixel[0] > 180 && pixel[1] < 80 && pixel[2] < 80)
            return quarter;
    }
    return -1;
}

std::string FirstFrameRgb(const std::string& file)
{
    return test::RunCommand("ffmpeg -hide_banner -nostdin -loglevel error -i " + test::ShellQuote(file) +
                            " -frames:v 1 -f rawvideo -pix_fmt rgb24 -")
        .out;
}

TEST(RotatedVideo, APhoneClipTaggedAsTurnedComesOutPortraitAndUpright)
{
    test::TempDir dir;
    const std::string plain = dir.File("plain.mp4");
    const std::string input = dir.File("phone.mp4");
    test::Ffmpeg("-f lavfi -i color=c=gray:size=640x360:rate=25:duration=1 "
                 "-vf drawbox=x=0:y=0:w=320:h=180:color=red:t=fill -c:v libx264 -pix_fmt yuv420p " +
                 test::ShellQuote(plain));
    test::Ffmpeg("-i " + test::ShellQuote(plain) + " -c copy -metadata:s:v:0 rotate=90 " + test::ShellQuote(input));
    // ffmpeg turns it by the tag: the red quarter ends up in a corner of a 360 x 640 picture.
    const int expected = RedQuarter(FirstFrameRgb(input), 360, 640);
    ASSERT_NE(expected, -1);
    ASSERT_NE(expected, 0) << "the tag turns the picture";

    const std::string output = dir.File("out.avi");
    const test::CommandResult result = test::RunKlovaConvert({"SrcFileName=" + input, "DstFileName=" + output});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    const test::ProbeFields video = test::ProbeStream(output, "video", true);
    EXPECT_EQ(video.at("width"), "360");
    EXPECT_EQ(video.at("height"), "640");
    EXPECT_EQ(video.at("nb_read_frames"), "25");
    EXPECT_EQ(RedQuarter(FirstFrameRgb(output), 360, 640), expected);
}

// ---- Display aspect -------------------------------------------------------------------

struct AspectCase {
    const char* name;
    std::vector<std::string> settings;
    const char* size;
    const char* displayAspect;  // as ffprobe gives it
    bool wmv;
};

void PrintTo(const AspectCase& c, std::ostream* out) { *out << c.name << (c.wmv ? "_wmv" : "_avi"); }

class DisplayAspect : public ::testing::TestWithParam<AspectCase> {
protected:
    static void SetUpTestSuite()
    {
        dir_ = new test::TempDir;
        // A 16:9 PAL picture in 720 x 576 (pixels of 64:45), as DVDs and TV recordings have.
        test::Ffmpeg("-f lavfi -i testsrc=size=720x576:rate=25:duration=1 -vf setsar=64/45 -c:v mpeg2video "
                     "-f vob " + test::ShellQuote(dir_->File("wide.mpg")));
    }
    static void TearDownTestSuite()
    {
        delete dir_;
        dir_ = nullptr;
    }

    static test::TempDir* dir_;
};

test::TempDir* DisplayAspect::dir_ = nullptr;

TEST_P(DisplayAspect, PlayersShowTheSourcesShapeWhileItsProportionsAreKept)
{
    const AspectCase& c = GetParam();
    const std::string output = dir_->File(std::string(c.name) + (c.wmv ? ".wmv" : ".avi"));
    std::vector<std::string> settings = {"SrcFileName=" + dir_->File("wide.mpg"), "DstFileName=" + output};
    settings.insert(settings.end(), c.settings.begin(), c.settings.end());
    if (c.wmv) {
        const std::vector<std::string> wmv = WmvOutput();
        settings.insert(settings.end(), wmv.begin(), wmv.end());
    }
    const test::CommandResult result = test::RunKlovaConvert(settings);
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    test::ProbeFields video = test::ProbeStream(output, "video");
    EXPECT_EQ(video["width"] + "x" + video["height"], c.size);
    EXPECT_EQ(video["display_aspect_ratio"], c.displayAspect);
    // Our own reader reads the shape back.
    InputReader reader(output, VideoRequestType, true);
    EXPECT_EQ(reader.GetMediaType().pixelAspect,
              std::string(c.displayAspect) == "16:9" ? (PixelAspect{64, 45}) : PixelAspect{});
}

const std::vector<std::string> kCustomWidth = {"KeepSettings=0", "KeepFrameSize=0", "FrameWidth=360",
                                               "FrameHeight=240", "KeepAspect=1"};
const std::vector<std::string> kCustomSize = {"KeepSettings=0", "KeepFrameSize=0", "FrameWidth=320",
                                              "FrameHeight=240", "KeepAspect=0"};

INSTANTIATE_TEST_SUITE_P(
    Anamorphic, DisplayAspect,
    ::testing::Values(AspectCase{"size_kept", {}, "720x576", "16:9", false},
                      AspectCase{"size_kept", {}, "720x576", "16:9", true},
                      AspectCase{"keep_aspect", kCustomWidth, "360x288", "16:9", false},
                      AspectCase{"keep_aspect", kCustomWidth, "360x288", "16:9", true},
                      // A size of the user's own has square pixels.
                      AspectCase{"custom_size", kCustomSize, "320x240", "4:3", false},
                      AspectCase{"custom_size", kCustomSize, "320x240", "4:3", true}),
    test::PrintedName());

// ---- Files that are not what they seem -------------------------------------------------

TEST(UnusualInputs, AnUncompressedBgrAviWrittenByFfmpegConverts)
{
    test::TempDir dir;
    const std::string input = dir.File("bgr.avi");
    test::Ffmpeg("-f lavfi -i testsrc=size=320x240:rate=25:duration=2 -c:v rawvideo -pix_fmt bgr24 " +
                 test::ShellQuote(input));
    const std::string output = dir.File("out.avi");
    const test::CommandResult result = test::RunKlovaConvert({"SrcFileName=" + input, "DstFileName=" + output});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    const test::ProbeFields video = test::ProbeStream(output, "video", true);
    EXPECT_EQ(video.at("width") + "x" + video.at("height"), "320x240");
    EXPECT_EQ(video.at("nb_read_frames"), "50");
}

TEST(UnusualInputs, ASoundFileSaysItHasNoVideo)
{
    test::TempDir dir;
    const std::string input = dir.File("song.mka");
    test::Ffmpeg("-f lavfi -i sine=duration=2 -c:a flac " + test::ShellQuote(input));
    const std::string output = dir.File("out.avi");
    const test::CommandResult result = test::RunKlovaConvert({"SrcFileName=" + input, "DstFileName=" + output});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_NE(result.err.find("The input file has no video stream."), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find("Cannot open input file."), std::string::npos) << result.err;
    EXPECT_EQ(test::FileSize(output), -1) << "no output file is made";
}

TEST(UnusualInputs, AFileThatEndsEarlyConvertsWhatIsThereWithAWarning)
{
    test::TempDir dir;
    const std::string whole = dir.File("whole.mkv");
    test::Ffmpeg("-f lavfi -i testsrc=size=320x240:rate=25:duration=10 -f lavfi -i sine=duration=10 "
                 "-c:v mjpeg -c:a pcm_s16le " + test::ShellQuote(whole));
    // Cut in the middle: the header still states 10 s.
    const std::string damaged = dir.File("damaged.mkv");
    ASSERT_EQ(test::RunCommand("head -c " + std::to_string(test::FileSize(whole) / 2) + " " +
                               test::ShellQuote(whole) + " > " + test::ShellQuote(damaged))
                  .exitStatus,
              0);

    const std::string output = dir.File("out.avi");
    test::CommandResult result = test::RunKlovaConvert({"SrcFileName=" + damaged, "DstFileName=" + output});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_NE(result.err.find("klova-convert: warning: the input ended after"), std::string::npos) << result.err;
    EXPECT_NEAR(test::ProbeDuration(output), 5.0, 0.5);
    EXPECT_EQ(test::DecodeErrors(output), "");

    // The whole file converts without a word.
    result = test::RunKlovaConvert({"SrcFileName=" + whole, "DstFileName=" + output});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.err.find("warning"), std::string::npos) << result.err;
}

// ---- Surround sound -------------------------------------------------------------------

// The RMS level of each audio channel in dB, as ffmpeg measures it.
std::vector<double> ChannelLevels(const std::string& file)
{
    const test::CommandResult run = test::RunCommand(
        "ffmpeg -hide_banner -nostdin -nostats -i " + test::ShellQuote(file) +
        " -map 0:a:0 -af astats=measure_perchannel=RMS_level:measure_overall=none -f null -");
    std::vector<double> levels;
    for (size_t at = run.err.find("RMS level dB: "); at != std::string::npos;
         at = run.err.find("RMS level dB: ", at + 1))
        levels.push_back(std::atof(run.err.c_str() + at + 14));
    return levels;
}

class SurroundSound : public ::testing::TestWithParam<const char*> {
protected:
    test::TempDir dir_;
};

TEST_P(SurroundSound, KeepsItsLayoutAndItsChannelsInOrder)
{
    const std::string layout = GetParam();
    const std::string input = dir_.File("surround.avi");
    // Each channel a step louder than the one before it.
    test::Ffmpeg("-f lavfi -i testsrc=size=160x120:rate=25:duration=1 -f lavfi -i sine=duration=1 -filter_complex " +
                 test::ShellQuote("[1:a]pan=" + layout +
                                  "|c0=0.1*c0|c1=0.2*c0|c2=0.3*c0|c3=0.4*c0|c4=0.5*c0|c5=0.6*c0[a]") +
                 " -map 0:v -map [a] -c:v mjpeg -c:a pcm_s16le " + test::ShellQuote(input));
    ASSERT_EQ(test::ProbeStream(input, "audio")["channel_layout"], layout);

    const std::string output = dir_.File("out.avi");
    const test::CommandResult result = test::RunKlovaConvert({"SrcFileName=" + input, "DstFileName=" + output});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.err.find("CRITICAL"), std::string::npos) << result.err;
    test::ProbeFields audio = test::ProbeStream(output, "audio");
    EXPECT_EQ(audio["channels"], "6");
    EXPECT_EQ(audio["channel_layout"], layout);
    const std::vector<double> levels = ChannelLevels(output);
    ASSERT_EQ(levels.size(), 6u);
    for (size_t channel = 1; channel < levels.size(); ++channel)
        EXPECT_GT(levels[channel], levels[channel - 1] + 1.0) << "channel " << channel;
    EXPECT_EQ(test::DecodeErrors(output), "");
}

INSTANTIATE_TEST_SUITE_P(Layouts, SurroundSound, ::testing::Values("5.1", "5.1(side)"), test::PrintedName());

}  // namespace
}  // namespace klova
