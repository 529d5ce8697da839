// End-to-end runs of klova-convert writing WMV through the Windows Media writer
// library, judged by ffprobe, ffmpeg and our own reader.
#include "media_in/input_reader.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace klova {
namespace {

const char* const kProfiles[] = {
    "Dial-up and mobile (150 Kbps)",
    "Broadband (384 Kbps)",
    "Broadband high quality (768 Kbps)",
    "Local area network (1.5 Mbps)",
    "High quality archive (2.2 Mbps)",
    "Music video, audio first (512 Kbps)",
    "Older players, WMV 7 and WMA 1 (512 Kbps)",
};
const int kVideoKbps[] = {118, 320, 640, 1372, 2008, 320, 448};

class KlovaConvertWmv : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir_ = new test::TempDir;
        // Ten seconds with detail in every frame, so the encoder has use for its bits.
        test::Ffmpeg("-f lavfi -i testsrc2=size=320x240:rate=25:duration=10,noise=alls=30:allf=t "
                     "-f lavfi -i sine=frequency=1000:sample_rate=44100:duration=10 -map 0:v -map 1:a "
                     "-c:v mjpeg -q:v 3 -c:a pcm_s16le -ac 2 " + test::ShellQuote(dir_->File("clip.avi")));
    }
    static void TearDownTestSuite()
    {
        delete dir_;
        dir_ = nullptr;
    }

    static test::CommandResult Convert(const std::string& program, const std::vector<std::string>& settings)
    {
        std::string command = test::ShellQuote(program);
        for (const std::string& setting : settings)
            command += " " + test::ShellQuote(setting);
        return test::RunCommand(command);
    }
    static test::CommandResult Convert(const std::vector<std::string>& settings)
    {
        return Convert(test::BuildPath("klova-convert"), settings);
    }

    // The video's bit rate over the file in kbit/s, from the sizes of its packets.
    static double VideoKbps(const std::string& file, double seconds)
    {
        const test::CommandResult sizes = test::RunCommand(
            "ffprobe -v error -select_streams v:0 -show_entries packet=size -of csv=p=0 " + test::ShellQuote(file));
        long long bytes = 0;
        std::istringstream lines(sizes.out);
        for (std::string line; std::getline(lines, line);)
            bytes += std::stoll(line);
        return bytes * 8.0 / seconds / 1000.0;
    }

    // A profile file as the profile editor saves it (UTF-16 with a byte-order mark):
    // WMV 8 video at 300 kbit/s over a 5 s buffer, WMA 2 sound at 64 kbit/s.
    static void WritePrx(const std::string& path)
    {
        const std::u16string text =
            u"<profile version=\"589824\" name=\"Mine\">"
            u"<streamconfig majortype=\"{73646976-0000-0010-8000-00AA00389B71}\" streamnumber=\"1\" bitrate=\"300000\" "
            u"bufferwindow=\"5000\"><videomediaprops maxkeyframespacing=\"50000000\" quality=\"75\"/>"
            u"<wmmediatype subtype=\"{32564D57-0000-0010-8000-00AA00389B71}\"/></streamconfig>"
            u"<streamconfig majortype=\"{73647561-0000-0010-8000-00AA00389B71}\" streamnumber=\"2\" bitrate=\"64000\" "
            u"bufferwindow=\"5000\"><wmmediatype subtype=\"{00000161-0000-0010-8000-00AA00389B71}\"/></streamconfig>"
            u"</profile>";
        std::ofstream out(path, std::ios::binary);
        out.write("\xFF\xFE", 2);
        for (char16_t c : text) {
            const char bytes[2] = {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
            out.write(bytes, 2);
        }
    }

    static int ReadFrames(const std::string& file)
    {
        InputReader reader(file, VideoRequestType, true);
        int frames = 0;
        for (;;) {
            uint32_t length = 0;
            MediaTime start = 0, stop = 0;
            reader.ReadSample(&length, &start, &stop);
            if (length == 0)
                return frames;
            ++frames;
        }
    }

    static test::TempDir* dir_;
};

test::TempDir* KlovaConvertWmv::dir_ = nullptr;

TEST_F(KlovaConvertWmv, EveryBuiltInProfileWritesAWmvOfTheRightLengthAndRate)
{
    for (size_t i = 0; i < std::size(kProfiles); ++i) {
        SCOPED_TRACE(kProfiles[i]);
        const std::string output = dir_->File("out" + std::to_string(i) + ".wmv");
        const test::CommandResult result = Convert({"SrcFileName=" + dir_->File("clip.avi"), "DstFileName=" + output,
                                                    "DstFileType=1", std::string("MediaProfile=") + kProfiles[i]});
        ASSERT_EQ(result.exitStatus, 0) << result.err;

        const test::ProbeFields video = test::ProbeStream(output, "video", true);
        const test::ProbeFields audio = test::ProbeStream(output, "audio");
        EXPECT_EQ(video.at("codec_name"), i == 6 ? "wmv1" : "wmv2");
        EXPECT_EQ(audio.at("codec_name"), i == 6 ? "wmav1" : "wmav2");
        EXPECT_EQ(video.at("width") + "x" + video.at("height"), "320x240");
        EXPECT_EQ(video.at("nb_read_frames"), "250");
        EXPECT_NEAR(test::ProbeDuration(output), 10.0, 0.1);
        EXPECT_EQ(test::DecodeErrors(output), "");
        EXPECT_EQ(ReadFrames(output), 250);

        EXPECT_NEAR(VideoKbps(output, 10.0), kVideoKbps[i], kVideoKbps[i] * 0.1);
    }
}

// Over half a minute the rate control has settled: each profile's video rate is kept
// to within 5 %, for the built-in profiles and for a profile file alike.
TEST_F(KlovaConvertWmv, EveryProfileKeepsItsVideoRateOverHalfAMinute)
{
    const std::string input = dir_->File("clip30.avi");
    test::Ffmpeg("-f lavfi -i testsrc2=size=320x240:rate=25:duration=30,noise=alls=30:allf=t "
                 "-f lavfi -i sine=frequency=1000:sample_rate=44100:duration=30 -map 0:v -map 1:a "
                 "-c:v mjpeg -q:v 3 -c:a pcm_s16le -ac 2 " + test::ShellQuote(input));
    const std::string prx = dir_->File("rate.prx");
    WritePrx(prx);
    std::vector<std::pair<std::string, double>> profiles;
    for (size_t i = 0; i < std::size(kProfiles); ++i)
        profiles.emplace_back(kProfiles[i], kVideoKbps[i]);
    profiles.emplace_back(prx, 300.0);

    for (const auto& [profile, kbps] : profiles) {
        SCOPED_TRACE(profile);
        const std::string output = dir_->File("rate.wmv");
        const test::CommandResult result = Convert(
            {"SrcFileName=" + input, "DstFileName=" + output, "DstFileType=1", "MediaProfile=" + profile});
        ASSERT_EQ(result.exitStatus, 0) << result.err;
        EXPECT_NEAR(VideoKbps(output, 30.0), kbps, kbps * 0.05);
    }
}

TEST_F(KlovaConvertWmv, AUtf16ProfileFileSetsTheRate)
{
    const std::string prx = dir_->File("my.prx");
    WritePrx(prx);
    const std::string output = dir_->File("prx.wmv");
    const test::CommandResult result = Convert(
        {"SrcFileName=" + dir_->File("clip.avi"), "DstFileName=" + output, "DstFileType=1", "MediaProfile=" + prx});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_NEAR(VideoKbps(output, 10.0), 300.0, 300.0 * 0.1);
}

TEST_F(KlovaConvertWmv, OddSizesAndSilentInputsWork)
{
    const std::string input = dir_->File("odd.avi");
    test::Ffmpeg("-f lavfi -i testsrc=size=321x241:rate=25:duration=2 -c:v mjpeg " + test::ShellQuote(input));
    const std::string output = dir_->File("odd.wmv");
    const test::CommandResult result = Convert({"SrcFileName=" + input, "DstFileName=" + output, "DstFileType=1",
                                                std::string("MediaProfile=") + kProfiles[1]});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(test::ProbeStreams(output).size(), 1u);  // video only
    EXPECT_EQ(test::ProbeStream(output, "video", true).at("nb_read_frames"), "50");
    EXPECT_EQ(test::DecodeErrors(output), "");
}

TEST_F(KlovaConvertWmv, UnknownProfilesAndAMissingLibraryGiveTheWindowsMediaError)
{
    const std::vector<std::string> settings = {"SrcFileName=" + dir_->File("clip.avi"),
                                               "DstFileName=" + dir_->File("bad.wmv"), "DstFileType=1",
                                               "MediaProfile=No such profile"};
    test::CommandResult result = Convert(settings);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_NE(result.err.find("Windows Media error."), std::string::npos) << result.err;

    // The program looks for the library beside itself: a copy of it alone has none.
    test::TempDir alone;
    std::filesystem::copy_file(test::BuildPath("klova-convert"), alone.File("klova-convert"));
    std::filesystem::permissions(alone.File("klova-convert"), std::filesystem::perms::owner_all);
    std::vector<std::string> withProfile = settings;
    withProfile.back() = std::string("MediaProfile=") + kProfiles[0];
    result = Convert(alone.File("klova-convert"), withProfile);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_NE(result.err.find("Windows Media error."), std::string::npos) << result.err;
}

}  // namespace
}  // namespace klova
