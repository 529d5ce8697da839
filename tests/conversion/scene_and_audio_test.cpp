// End-to-end runs of klova-convert for scene splitting, the editor project, and audio
// conversion, on generated media with known cuts and a known tone.
#include "tests/support/test_names.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstring>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>

namespace klova {
namespace {

struct Rgb {
    int r, g, b;
};

// Writes an MJPEG AVI at 25 fps whose frame i is filled with colour(i), plus a 1 kHz
// tone when withAudio is set.
void MakeColourVideo(const std::string& path, int frames, const std::function<Rgb(int)>& colour, bool withAudio)
{
    const int width = 160, height = 120;
    std::string command = "ffmpeg -hide_banner -nostdin -loglevel error -y -f rawvideo -pix_fmt rgb24 -s 160x120 "
                          "-framerate 25 -i - ";
    if (withAudio)
        command += "-f lavfi -i sine=frequency=1000:sample_rate=44100 -map 0:v -map 1:a -c:a pcm_s16le -ac 2 -shortest ";
    command += "-c:v mjpeg -q:v 2 -pix_fmt yuvj420p " + test::ShellQuote(path);
    FILE* pipe = ::popen(command.c_str(), "w");
    ASSERT_NE(pipe, nullptr);
    std::vector<unsigned char> frame(width * height * 3);
    for (int i = 0; i < frames; ++i) {
        const Rgb c = colour(i);
        for (size_t p = 0; p < frame.size(); p += 3) {
            frame[p] = static_cast<unsigned char>(c.r);
            frame[p + 1] = static_cast<unsigned char>(c.g);
            frame[p + 2] = static_cast<unsigned char>(c.b);
        }
        ASSERT_EQ(std::fwrite(frame.data(), 1, frame.size(), pipe), frame.size());
    }
    ASSERT_EQ(::pclose(pipe), 0);
}

// 250 frames: orange to 96, blue from 97 (a move of hue), then from 180 a slow fade of
// green up from dark (a fall of value at the cut, then no cut while it brightens).
Rgb ThreeScenes(int i)
{
    if (i < 97)
        return {220, 120, 30};
    if (i < 180)
        return {30, 60, 200};
    const int level = 30 + (i - 180) * 190 / 70;
    return {level / 8, level, level / 8};
}

class KlovaConvertScenes : public ::testing::Test {
protected:
    void SetUp() override
    {
        input_ = dir_.File("scenes.avi");
        MakeColourVideo(input_, 250, ThreeScenes, true);
    }

    // Where clip number clip of an output named stem.avi lies: stem00000.avi, ...
    std::string ClipFile(const std::string& stem, int clip) const
    {
        char name[32];
        std::snprintf(name, sizeof name, "%05d.avi", clip);
        return dir_.File(stem + name);
    }

    test::TempDir dir_;
    std::string input_;
};

TEST_F(KlovaConvertScenes, SplittingWritesOneNumberedClipPerScene)
{
    const std::string project = dir_.File("untouched.msq");
    const test::CommandResult result =
        test::RunKlovaConvert({"SrcFileName=" + input_, "DstFileName=" + dir_.File("clip.avi"), "SceneDetection=1",
                               "VideoCodec=<Uncompressed>", "ClipsFileName=" + project});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    int total = 0;
    const int expected[] = {97, 83, 70};
    for (int clip = 0; clip < 3; ++clip) {
        const std::string name = ClipFile("clip", clip);
        const test::ProbeFields video = test::ProbeStream(name, "video", true);
        ASSERT_FALSE(video.empty()) << name;
        EXPECT_EQ(std::stoi(video.at("nb_read_frames")), expected[clip]) << name;
        total += std::stoi(video.at("nb_read_frames"));
        EXPECT_EQ(test::DecodeErrors(name), "") << name;
    }
    EXPECT_EQ(total, 250);
    EXPECT_EQ(test::FileSize(ClipFile("clip", 3)), -1);
    EXPECT_EQ(test::FileSize(project), -1);  // only project mode writes the project
}

// Scaled down by two, the output needs only every other source row; the detector still
// sees whole frames and finds the same three scenes.
TEST_F(KlovaConvertScenes, SplittingAScaledConversionFindsTheSameScenes)
{
    const test::CommandResult result = test::RunKlovaConvert(
        {"SrcFileName=" + input_, "DstFileName=" + dir_.File("small.avi"), "SceneDetection=1", "KeepSettings=0",
         "KeepFrameSize=0", "KeepAspect=0", "FrameWidth=80", "FrameHeight=60", "VideoCodec=<Uncompressed>"});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    const int expected[] = {97, 83, 70};
    for (int clip = 0; clip < 3; ++clip) {
        const test::ProbeFields video = test::ProbeStream(ClipFile("small", clip), "video", true);
        ASSERT_FALSE(video.empty()) << clip;
        EXPECT_EQ(video.at("width") + "x" + video.at("height"), "80x60") << clip;
        EXPECT_EQ(std::stoi(video.at("nb_read_frames")), expected[clip]) << clip;
    }
    EXPECT_EQ(test::FileSize(ClipFile("small", 3)), -1);
}

TEST_F(KlovaConvertScenes, ProjectModeWritesTheCutsAndNoVideo)
{
    const std::string project = dir_.File("scenes.msq");
    const std::vector<std::string> settings = {"SrcFileName=" + input_, "DstFileName=" + dir_.File("none.avi"),
                                               "SceneDetection=2", "ClipsFileName=" + project};
    test::CommandResult result = test::RunKlovaConvert(settings);
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    const std::string expected = "text description 30\r\n" + input_ + "\r\n0\r\n97\r\n180\r\n250\r\n";
    EXPECT_EQ(test::ReadFile(project), expected);
    EXPECT_EQ(test::FileSize(dir_.File("none.avi")), -1);
    EXPECT_EQ(test::FileSize(dir_.File("none00000.avi")), -1);

    // A second run replaces the file rather than appending to it.
    std::ofstream(project, std::ios::app) << "stale line\r\n";
    result = test::RunKlovaConvert(settings);
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(test::ReadFile(project), expected);
}

TEST_F(KlovaConvertScenes, OneFileModeLeavesTheProjectAloneAndAnUnwritableProjectFails)
{
    const std::string project = dir_.File("keep.msq");
    std::ofstream(project) << "mine\n";
    test::CommandResult result =
        test::RunKlovaConvert({"SrcFileName=" + input_, "DstFileName=" + dir_.File("one.avi"), "SceneDetection=0",
                               "VideoCodec=<Uncompressed>", "ClipsFileName=" + project});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(test::ReadFile(project), "mine\n");
    EXPECT_EQ(test::ProbeStream(dir_.File("one.avi"), "video", true).at("nb_read_frames"), "250");

    result = test::RunKlovaConvert(
        {"SrcFileName=" + input_, "SceneDetection=2", "ClipsFileName=" + dir_.File("no/such/folder/p.msq")});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_NE(result.err.find("Cannot write Montra project file"), std::string::npos) << result.err;
}

// The decoded first audio channel of a file as floats, with its sample rate.
std::vector<float> DecodeChannel(const std::string& file, int* rate)
{
    *rate = std::stoi(test::ProbeStream(file, "audio").at("sample_rate"));
    const std::string raw = file + ".f32";
    test::Ffmpeg("-i " + test::ShellQuote(file) + " -map 0:a:0 -af 'pan=mono|c0=c0' -f f32le " + test::ShellQuote(raw));
    const std::string bytes = test::ReadFile(raw);
    std::vector<float> samples(bytes.size() / 4);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 4);
    return samples;
}

struct AudioCase {
    const char* name;
    const char* sourceOptions;  // ffmpeg options of the source's audio
    const char* rate;           // input and output frame rate
    std::vector<std::string> settings;
    const char* codec;
    const char* sampleRate;
    int channels;
};

void PrintTo(const AudioCase& c, std::ostream* out) { *out << c.name; }

class KlovaConvertAudio : public ::testing::TestWithParam<AudioCase> {};

TEST_P(KlovaConvertAudio, ConvertsToTheChosenFormatAsACleanContinuousTone)
{
    const AudioCase& c = GetParam();
    test::TempDir dir;
    const std::string input = dir.File("in.avi");
    test::Ffmpeg(std::string("-f lavfi -i testsrc=size=160x120:rate=") + c.rate +
                 ":duration=4 -f lavfi -i sine=frequency=1000:sample_rate=44100:duration=4 -map 0:v -map 1:a "
                 "-c:v mjpeg " + c.sourceOptions + " " + test::ShellQuote(input));
    const std::string output = dir.File("out.avi");
    std::string command = test::ShellQuote(test::BuildPath("klova-convert")) + " " +
                          test::ShellQuote("SrcFileName=" + input) + " " + test::ShellQuote("DstFileName=" + output) +
                          " KeepSettings=0 KeepSound=0";
    for (const std::string& setting : c.settings)
        command += " " + setting;
    const test::CommandResult result = test::RunCommand(command);
    ASSERT_EQ(result.exitStatus, 0) << result.err;

    const test::ProbeFields audio = test::ProbeStream(output, "audio");
    EXPECT_EQ(audio.at("codec_name"), c.codec);
    EXPECT_EQ(audio.at("sample_rate"), c.sampleRate);
    EXPECT_EQ(audio.at("channels"), std::to_string(c.channels));

    const test::ProbeFields video = test::ProbeStream(output, "video", true);
    const double frameRate = [&] {
        const std::string r = video.at("r_frame_rate");
        return std::stod(r.substr(0, r.find('/'))) / std::stod(r.substr(r.find('/') + 1));
    }();
    const double videoSeconds = std::stoi(video.at("nb_read_frames")) / frameRate;
    EXPECT_NEAR(test::DecodedAudioSeconds(output), videoSeconds, 1.0 / frameRate + 1e-3);

    // A clean 1 kHz tone: 2,000 zero crossings a second, and no jump between
    // neighbouring samples larger than the tone itself can make.
    int rate = 0;
    const std::vector<float> samples = DecodeChannel(output, &rate);
    const size_t skip = static_cast<size_t>(rate) / 10;  // past the start-up
    ASSERT_GT(samples.size(), 3 * skip);
    const size_t end = samples.size() - 2 * skip;         // before the padded end
    int crossings = 0;
    double largestJump = 0.0, peak = 0.0;
    for (size_t i = skip; i < end; ++i) {
        if ((samples[i - 1] < 0.0f) != (samples[i] < 0.0f))
            ++crossings;
        largestJump = std::max(largestJump, std::fabs(double(samples[i]) - samples[i - 1]));
        peak = std::max(peak, std::fabs(double(samples[i])));
    }
    const double seconds = double(end - skip) / rate;
    EXPECT_NEAR(crossings / seconds, 2000.0, 2000.0 * 0.01);
    const double toneStep = 2.0 * M_PI * 1000.0 / rate * peak;  // the largest step of a clean sine
    const double quantum = c.settings.back() == "Bits=0" ? 2.0 / 256 : 2.0 / 65536;
    EXPECT_LT(largestJump, toneStep * 1.1 + 2 * quantum);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, KlovaConvertAudio,
    ::testing::Values(
        AudioCase{"StereoToMono8At25", "-c:a pcm_s16le -ac 2", "25", {"SampleRate=1", "Channels=0", "Bits=0"},
                  "pcm_u8", "22050", 1},
        AudioCase{"StereoToMono8At2997", "-c:a pcm_s16le -ac 2", "30000/1001", {"SampleRate=1", "Channels=0", "Bits=0"},
                  "pcm_u8", "22050", 1},
        AudioCase{"Mono8To48kStereo16", "-c:a pcm_u8 -ac 1 -ar 11025", "25", {"SampleRate=4", "Channels=1", "Bits=1"},
                  "pcm_s16le", "48000", 2}),
    test::PrintedName());

}  // namespace
}  // namespace klova
