// End-to-end runs of klova-convert on generated inputs, judged by ffprobe and by our
// own reader.
#include "media_in/input_reader.h"
#include "tests/conversion/indexed_video.h"
#include "tests/support/test_names.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <set>
#include <utility>

namespace klova {
namespace {

class KlovaConvert : public ::testing::Test {
protected:
    static double Rate(const std::string& fraction)
    {
        const size_t slash = fraction.find('/');
        if (slash == std::string::npos)
            return std::stod(fraction);
        return std::stod(fraction.substr(0, slash)) / std::stod(fraction.substr(slash + 1));
    }

    static int FrameCount(const std::string& file)
    {
        return std::stoi(test::ProbeStream(file, "video", true)["nb_read_frames"]);
    }

    test::TempDir dir_;
};

TEST_F(KlovaConvert, KeepsEverythingOfAnMp4WithTheDefaultEncoders)
{
    const std::string input = dir_.File("in.mp4");
    test::Ffmpeg("-f lavfi -i testsrc=size=320x240:rate=25:duration=3 -f lavfi -i sine=frequency=1000:duration=3 "
                 "-c:v libx264 -pix_fmt yuv420p -c:a aac -shortest " + test::ShellQuote(input));
    const std::string output = dir_.File("out.avi");
    const test::CommandResult result = test::RunKlovaConvert({"SrcFileName=" + input, "DstFileName=" + output});
    ASSERT_EQ(result.exitStatus, 0) << result.err;

    const test::ProbeFields video = test::ProbeStream(output, "video", true);
    EXPECT_EQ(video.at("codec_name"), "mpeg4");
    EXPECT_EQ(video.at("width"), "320");
    EXPECT_EQ(video.at("height"), "240");
    EXPECT_EQ(video.at("r_frame_rate"), "25/1");
    EXPECT_EQ(video.at("nb_read_frames"), "75");
    const test::ProbeFields audio = test::ProbeStream(output, "audio");
    EXPECT_EQ(audio.at("codec_name"), "pcm_s16le");
    EXPECT_EQ(audio.at("sample_rate"), "44100");
    EXPECT_NEAR(test::DecodedAudioSeconds(output), 3.0, 0.04 + 0.001);  // within one frame of the video
    EXPECT_EQ(test::DecodeErrors(output), "");

    // Our own reader agrees.
    InputReader reader(output, VideoRequestType, true);
    EXPECT_EQ(reader.GetMediaType().videoInfo.bmiHeader.biWidth, 320);
    int frames = 0;
    for (uint32_t length = 1; length != 0; ++frames) {
        MediaTime start = 0, stop = 0;
        reader.ReadSample(&length, &start, &stop);
    }
    EXPECT_EQ(frames - 1, 75);
}

struct RateCase {
    const char* inputRate;
    int inputFrames;
    const char* outputRate;  // stored form: thousandths
    const char* expectedRate;
};

void PrintTo(const RateCase& c, std::ostream* out) { *out << c.inputRate << " to " << c.outputRate; }

class KlovaConvertRates : public KlovaConvert, public ::testing::WithParamInterface<RateCase> {};

TEST_P(KlovaConvertRates, ChangesTheFrameRateAndKeepsTheSoundInStep)
{
    const RateCase& c = GetParam();
    const std::string input = dir_.File("in.avi");
    test::MakeIndexedVideo(input, {.rate = c.inputRate, .frames = c.inputFrames, .audio = "-c:a pcm_s16le -ac 2"});
    const std::string output = dir_.File("out.avi");
    const test::CommandResult result =
        test::RunKlovaConvert({"SrcFileName=" + input, "DstFileName=" + output, "KeepSettings=0", "KeepFrameRate=0",
                               std::string("FrameRate=") + c.outputRate, "VideoCodec=<Uncompressed>"});
    ASSERT_EQ(result.exitStatus, 0) << result.err;

    const double inputSeconds = c.inputFrames / Rate(c.inputRate);
    const test::ProbeFields video = test::ProbeStream(output, "video", true);
    EXPECT_EQ(video.at("r_frame_rate"), c.expectedRate);
    const double outputRate = Rate(c.expectedRate);
    EXPECT_NEAR(std::stoi(video.at("nb_read_frames")), inputSeconds * outputRate, 1.0);
    const double audioSeconds = test::DecodedAudioSeconds(output);
    EXPECT_NEAR(audioSeconds, std::stoi(video.at("nb_read_frames")) / outputRate, 1.0 / outputRate + 0.001);

    // Frames keep their order; none is skipped when the rate goes up.
    const std::vector<int> indexes = test::ReadFrameIndexes(output);
    EXPECT_TRUE(std::is_sorted(indexes.begin(), indexes.end()));
    if (outputRate > Rate(c.inputRate)) {
        EXPECT_EQ(std::set<int>(indexes.begin(), indexes.end()).size(), static_cast<size_t>(c.inputFrames));
    }
}

INSTANTIATE_TEST_SUITE_P(Rates, KlovaConvertRates,
                         ::testing::Values(RateCase{"25", 50, "15000", "15/1"}, RateCase{"15", 30, "25000", "25/1"},
                                           RateCase{"30000/1001", 60, "25000", "25/1"},
                                           RateCase{"25", 50, "29970", "30000/1001"}),
                         test::PrintedName());

TEST_F(KlovaConvert, ScalesToACustomSizeWithAndWithoutTheAspect)
{
    const std::string input = dir_.File("in.avi");
    test::MakeIndexedVideo(input, {.width = 640, .height = 360, .frames = 10});
    const std::string aspect = dir_.File("aspect.avi");
    ASSERT_EQ(test::RunKlovaConvert({"SrcFileName=" + input, "DstFileName=" + aspect, "KeepSettings=0",
                                     "KeepFrameSize=0", "FrameWidth=320", "VideoCodec=<Uncompressed>"})
                  .exitStatus,
              0);
    test::ProbeFields video = test::ProbeStream(aspect, "video");
    EXPECT_EQ(video.at("width") + "x" + video.at("height"), "320x180");
    EXPECT_EQ(test::ReadFrameIndexes(aspect).size(), 10u);

    const std::string free = dir_.File("free.avi");
    ASSERT_EQ(test::RunKlovaConvert({"SrcFileName=" + input, "DstFileName=" + free, "KeepSettings=0", "KeepFrameSize=0",
                                     "KeepAspect=0", "FrameWidth=101", "FrameHeight=77", "VideoCodec=<Uncompressed>"})
                  .exitStatus,
              0);
    video = test::ProbeStream(free, "video");
    EXPECT_EQ(video.at("width") + "x" + video.at("height"), "101x77");
    std::vector<int> expected(10);
    std::iota(expected.begin(), expected.end(), 0);
    EXPECT_EQ(test::ReadFrameIndexes(free), expected);
}

// Without scene detection the reader converts only the source rows the scaler reads
// (a third of them from 720 to 240); splitting into scenes reads whole frames. Both
// write the same pictures, for whole and for uneven ratios.
TEST_F(KlovaConvert, ScalingWritesTheSamePicturesWhenOnlyTheRowsItReadsAreConverted)
{
    const std::string input = dir_.File("moving.mp4");
    test::Ffmpeg("-f lavfi -i testsrc=size=1280x720:rate=25:duration=1 -c:v libx264 -preset ultrafast "
                 "-pix_fmt yuv420p " + test::ShellQuote(input));
    const auto frameHashes = [](const std::string& file) {
        return test::RunCommand("ffmpeg -nostdin -v error -i " + test::ShellQuote(file) + " -map 0:v -f framemd5 -");
    };
    for (const auto& [width, height] : {std::pair{"320", "240"}, std::pair{"352", "197"}}) {
        SCOPED_TRACE(std::string(width) + "x" + height);
        const std::vector<std::string> scaled = {"SrcFileName=" + input, "KeepSettings=0", "KeepFrameSize=0",
                                                 "KeepAspect=0", std::string("FrameWidth=") + width,
                                                 std::string("FrameHeight=") + height, "VideoCodec=<Uncompressed>"};
        std::vector<std::string> rowsRead = scaled;
        rowsRead.push_back("DstFileName=" + dir_.File("rows.avi"));
        std::vector<std::string> wholeFrames = scaled;
        wholeFrames.push_back("DstFileName=" + dir_.File("whole.avi"));
        wholeFrames.push_back("SceneDetection=1");
        ASSERT_EQ(test::RunKlovaConvert(rowsRead).exitStatus, 0);
        ASSERT_EQ(test::RunKlovaConvert(wholeFrames).exitStatus, 0);
        ASSERT_EQ(test::FileSize(dir_.File("whole00001.avi")), -1) << "the test picture has one scene";
        const test::CommandResult expected = frameHashes(dir_.File("whole00000.avi"));
        ASSERT_EQ(expected.exitStatus, 0) << expected.err;
        EXPECT_NE(expected.out.find(", "), std::string::npos) << "frames were hashed";
        EXPECT_EQ(frameHashes(dir_.File("rows.avi")).out, expected.out);
    }
}

TEST_F(KlovaConvert, BadInputsFailWithTheInputMessage)
{
    std::ofstream(dir_.File("empty.avi"));
    std::ofstream(dir_.File("garbage.avi")) << std::string(100000, '\x5a');
    std::ofstream(dir_.File("text.mpg")) << "just some text, not a video\n";
    for (const char* name : {"missing.avi", "empty.avi", "garbage.avi", "text.mpg"}) {
        const test::CommandResult result =
            test::RunKlovaConvert({"SrcFileName=" + dir_.File(name), "DstFileName=" + dir_.File("out.avi")});
        EXPECT_EQ(result.exitStatus, 1) << name;
        EXPECT_NE(result.err.find("Cannot open input file."), std::string::npos) << name << ": " << result.err;
    }
}

TEST_F(KlovaConvert, RefusesBadCommandLinesAndImpossibleSettings)
{
    EXPECT_EQ(test::RunKlovaConvert({"NoSuchKey=1"}).exitStatus, 2);
    EXPECT_EQ(test::RunKlovaConvert({"not-a-setting"}).exitStatus, 2);
    EXPECT_EQ(test::RunKlovaConvert({"--profile", dir_.File("absent.ini")}).exitStatus, 2);
    const test::CommandResult help = test::RunKlovaConvert({"--help"});
    EXPECT_EQ(help.exitStatus, 0);
    EXPECT_NE(help.out.find("FrameRate"), std::string::npos);
    EXPECT_NE(help.out.find("ClipsFileName"), std::string::npos);

    const std::string input = dir_.File("in.avi");
    test::MakeIndexedVideo(input, {.frames = 5});
    const test::CommandResult result =
        test::RunKlovaConvert({"SrcFileName=" + input, "DstFileName=" + dir_.File("o.avi"), "KeepSettings=0",
                               "KeepFrameSize=0", "KeepAspect=0", "FrameHeight=0"});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_NE(result.err.find("Invalid output frame rate or frame size."), std::string::npos) << result.err;
}

TEST_F(KlovaConvert, ReadsItsSettingsFromAProfileAndNeverWritesIt)
{
    const std::string input = dir_.File("in.avi");
    test::MakeIndexedVideo(input, {.frames = 6});
    const std::string profile = dir_.File("my.ini");
    const std::string text = "[Options]\r\nSrcFileName=" + input + "\r\nDstFileName=" + dir_.File("p.avi") +
                             "\r\nVideoCodec=<Uncompressed>\r\n";
    std::ofstream(profile) << text;
    const test::CommandResult result =
        test::RunKlovaConvert({"--profile", profile, "KeepSettings=0", "KeepFrameSize=0", "FrameWidth=80"});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(test::ProbeStream(dir_.File("p.avi"), "video").at("width"), "80");
    std::ifstream in(profile);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), text);
}

TEST_F(KlovaConvert, AFailedWriteIsReportedAndNotTakenForSuccess)
{
    const std::string input = dir_.File("in.avi");
    test::MakeIndexedVideo(input, {.frames = 50});
    // A device that is always full, under a name with the output's extension.
    const std::string full = dir_.File("full.avi");
    ASSERT_EQ(::symlink("/dev/full", full.c_str()), 0);
    const test::CommandResult result =
        test::RunKlovaConvert({"SrcFileName=" + input, "DstFileName=" + full, "VideoCodec=<Uncompressed>"});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_NE(result.err.find("Cannot write output file."), std::string::npos) << result.err;

    const test::CommandResult missingFolder =
        test::RunKlovaConvert({"SrcFileName=" + input, "DstFileName=" + dir_.File("no/such/folder/out.avi")});
    EXPECT_EQ(missingFolder.exitStatus, 1);
    EXPECT_NE(missingFolder.err.find("Cannot open output file."), std::string::npos) << missingFolder.err;
}

TEST_F(KlovaConvert, AnInterruptStopsCleanlyWithACompleteFile)
{
    const std::string input = dir_.File("in.avi");
    test::Ffmpeg("-f lavfi -i testsrc=size=640x480:rate=25:duration=60 -c:v mjpeg -q:v 8 " + test::ShellQuote(input));
    const std::string output = dir_.File("out.avi");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const std::string src = "SrcFileName=" + input;
        const std::string dst = "DstFileName=" + output;
        ::execl(test::BuildPath("klova-convert").c_str(), "klova-convert", src.c_str(), dst.c_str(),
                "VideoCodec=<Uncompressed>", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // Let it write for a while (under the file's temporary name), then interrupt.
    const auto written = [&] {
        long long size = 0;
        for (const auto& entry : std::filesystem::directory_iterator(dir_.path()))
            if (entry.path().filename().string().rfind(".out.avi.", 0) == 0)
                size = test::FileSize(entry.path().string());
        return size;
    };
    for (int i = 0; i < 200 && written() < 2'000'000; ++i)
        ::usleep(50'000);
    ::kill(child, SIGINT);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);
    const int frames = FrameCount(output);
    EXPECT_GT(frames, 0);
    EXPECT_LT(frames, 1500);
    EXPECT_EQ(test::DecodeErrors(output), "");
}

struct SourceCase {
    const char* name;
    test::IndexedVideoSpec spec;
};

void PrintTo(const SourceCase& c, std::ostream* out) { *out << c.name; }

class KlovaConvertKeepRate : public KlovaConvert, public ::testing::WithParamInterface<SourceCase> {};

// With the input's rate kept, every input frame is written exactly once, whatever the
// container and whatever rounding its time stamps carry.
TEST_P(KlovaConvertKeepRate, WritesEveryInputFrameExactlyOnce)
{
    const SourceCase& c = GetParam();
    const std::string input = dir_.File(c.name);
    test::MakeIndexedVideo(input, c.spec);
    const std::vector<int> inputIndexes = test::ReadFrameIndexes(input);
    ASSERT_FALSE(inputIndexes.empty());

    const std::string output = dir_.File("out.avi");
    const test::CommandResult result =
        test::RunKlovaConvert({"SrcFileName=" + input, "DstFileName=" + output, "VideoCodec=<Uncompressed>"});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(test::ReadFrameIndexes(output), inputIndexes);
}

INSTANTIATE_TEST_SUITE_P(
    Sources, KlovaConvertKeepRate,
    ::testing::Values(
        SourceCase{"avi25.avi", {.rate = "25", .frames = 60, .audio = "-c:a pcm_s16le"}},
        SourceCase{"ps2997.mpg", {.rate = "30000/1001", .frames = 90, .encoder = "-c:v mpeg1video -q:v 2",
                                  .audio = "-c:a mp2", .format = "mpeg"}},
        // B-frames: the program stream stamps only some pictures.
        SourceCase{"mpeg1_bframes.mpg", {.width = 352, .height = 288, .rate = "25", .frames = 100,
                                         .encoder = "-c:v mpeg1video -bf 2 -q:v 2", .audio = "-c:a mp2",
                                         .format = "mpeg"}},
        SourceCase{"mpeg2_bframes.vob", {.width = 352, .height = 288, .rate = "25", .frames = 100,
                                         .encoder = "-c:v mpeg2video -bf 2 -q:v 2", .audio = "-c:a mp2",
                                         .format = "vob"}},
        SourceCase{"vcd.dat", {.width = 352, .height = 288, .rate = "25", .frames = 75,
                               .encoder = "-target pal-vcd", .audio = "-c:a mp2"}},
        SourceCase{"wmv30.wmv", {.rate = "30", .frames = 90, .encoder = "-c:v wmv2 -q:v 2", .audio = "-c:a wmav2"}},
        SourceCase{"mp415.mp4", {.rate = "15", .frames = 45, .encoder = "-c:v libx264 -crf 18",
                                 .audio = "-c:a aac"}},
        SourceCase{"mp450.mp4", {.rate = "50", .frames = 100, .encoder = "-c:v libx264 -crf 18"}},
        SourceCase{"mp42997.mp4", {.rate = "30000/1001", .frames = 90, .encoder = "-c:v libx264 -crf 18",
                                   .audio = "-c:a aac"}}),
    test::PrintedName());

}  // namespace
}  // namespace klova
