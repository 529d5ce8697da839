#include "frontend/settings_store.h"

#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>

namespace klova {
namespace {

IniFile ProfileWith(const test::TempDir& dir, const std::string& optionsLines)
{
    const std::string path = dir.File("klova.ini");
    std::ofstream(path) << "[Options]\n" << optionsLines;
    IniFile profile(path);
    profile.Load();
    return profile;
}

ConversionSettings Loaded(const IniFile& profile)
{
    ConversionSettings settings;
    LoadSettings(profile, settings);
    return settings;
}

TEST(LoadSettings, MissingProfileGivesEveryDefault)
{
    test::TempDir dir;
    IniFile profile(dir.File("absent.ini"));
    profile.Load();
    const ConversionSettings s = Loaded(profile);
    EXPECT_EQ(s.DstFileType, 0);
    EXPECT_EQ(s.KeepSettings, 1);
    EXPECT_EQ(s.SceneDetection, 0);
    EXPECT_EQ(s.WantPreview, 1);
    EXPECT_EQ(s.VideoCodec, "libav MPEG-4 part 2 encoder");
    EXPECT_EQ(s.AudioCodec, "PCM");
    EXPECT_DOUBLE_EQ(s.FrameRate, 30.0);
    EXPECT_EQ(s.FrameWidth, 320);
    EXPECT_EQ(s.FrameHeight, 240);
    EXPECT_EQ(s.KeepFrameRate, 1);
    EXPECT_EQ(s.KeepFrameSize, 1);
    EXPECT_EQ(s.KeepAspect, 1);
    EXPECT_EQ(s.KeepSound, 1);
    EXPECT_EQ(s.Channels, 1);
    EXPECT_EQ(s.Bits, 1);
    EXPECT_EQ(s.SampleRate, 3);
    EXPECT_DOUBLE_EQ(s.HueThreshold, 1.0);
    EXPECT_DOUBLE_EQ(s.SatThreshold, 0.0);
    EXPECT_DOUBLE_EQ(s.ValThreshold, 0.7);
    EXPECT_DOUBLE_EQ(s.DisThreshold, 0.3);
    EXPECT_FALSE(s.ShowStatistics);
    EXPECT_EQ(s.VideoFormat.dwQuality, 100000u);
    EXPECT_EQ(s.VideoFormat.dwKeyFrameEvery, 0u);
    const WAVEFORMATEX zero{};
    EXPECT_EQ(std::memcmp(&s.AudioFormat, &zero, sizeof zero), 0);
    EXPECT_TRUE(s.SrcFileName.empty());
    EXPECT_TRUE(s.ClipsFileName.empty());
    EXPECT_TRUE(s.MediaProfile.empty());
}

TEST(LoadSettings, FrameRateIsStoredInThousandthsAndSurvivesEveryLoadAndSave)
{
    test::TempDir dir;
    for (const auto& [stored, fps] : {std::pair{"29970", 29.97}, {"30000", 30.0}, {"25000", 25.0}, {"14985", 14.985},
                                      {"4007", 4.007}, {"23976", 23.976}, {"59940", 59.94}}) {
        IniFile profile = ProfileWith(dir, std::string("FrameRate=") + stored + "\n");
        ConversionSettings s = Loaded(profile);
        EXPECT_NEAR(s.FrameRate, fps, 1e-9);
        // Truncating 4.007 x 1000 (4006.999...) stored 4006, one less at every save.
        for (int round = 0; round < 3; ++round) {
            SaveSettings(profile, s, "/tmp");
            EXPECT_EQ(profile.GetString("Options", "FrameRate"), stored);
            s = Loaded(profile);
        }
    }
    // Out of the unsigned 32-bit range: held at its ends rather than wrapped.
    EXPECT_EQ(Loaded(ProfileWith(dir, "FrameRate=-1\n")).FrameRate, 0.0);
    EXPECT_NEAR(Loaded(ProfileWith(dir, "FrameRate=99999999999999\n")).FrameRate, 4294967.295, 1e-6);
}

TEST(LoadSettings, IntegersOutOfRangeAreHeldAtTheEndsOfTheirType)
{
    test::TempDir dir;
    const ConversionSettings s = Loaded(ProfileWith(
        dir, "FrameWidth=4294967616\nFrameHeight=-4294967000\nSampleRate=99999999999999999\nChannels=-3\n"));
    EXPECT_EQ(s.FrameWidth, 2147483647);  // wrapped, 4294967616 was 320
    EXPECT_EQ(s.FrameHeight, -2147483647 - 1);
    EXPECT_EQ(s.SampleRate, 2147483647);
    EXPECT_EQ(s.Channels, -3);
}

TEST(LoadSettings, AProfileThatStartsWithAByteOrderMarkIsReadAndSavedWithIt)
{
    test::TempDir dir;
    const std::string path = dir.File("klova.ini");
    std::ofstream(path, std::ios::binary) << "\xEF\xBB\xBF[Options]\r\nFrameWidth=640\r\nSrcFileName=in.avi\r\n";
    IniFile profile(path);
    profile.Load();
    ConversionSettings s = Loaded(profile);
    EXPECT_EQ(s.FrameWidth, 640);
    EXPECT_EQ(s.SrcFileName, "in.avi");
    SaveSettings(profile, s, "/tmp");
    ASSERT_TRUE(profile.Save());
    std::ifstream in(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(text.rfind("\xEF\xBB\xBF[Options]\r\n", 0), 0u);
    EXPECT_EQ(text.find("[Options]", 4), std::string::npos);  // one section, not a second
}

TEST(LoadSettings, ThresholdsParseAsNumbersAndSaveInTheShortestForm)
{
    test::TempDir dir;
    IniFile profile = ProfileWith(dir, "HueThreshold=abc\nSatThreshold=0.25xyz\nValThreshold= 1e-7\nDisThreshold=1234567\n");
    ConversionSettings s = Loaded(profile);
    EXPECT_EQ(s.HueThreshold, 0.0);
    EXPECT_EQ(s.SatThreshold, 0.25);
    EXPECT_EQ(s.ValThreshold, 1e-7);
    SaveSettings(profile, s, "/tmp");
    EXPECT_EQ(profile.GetString("Options", "HueThreshold"), "0");
    EXPECT_EQ(profile.GetString("Options", "SatThreshold"), "0.25");
    EXPECT_EQ(profile.GetString("Options", "ValThreshold"), "1e-07");
    EXPECT_EQ(profile.GetString("Options", "DisThreshold"), "1.23457e+06");

    ConversionSettings defaults;
    SaveSettings(profile, defaults, "/tmp");
    EXPECT_EQ(profile.GetString("Options", "HueThreshold"), "1");
    EXPECT_EQ(profile.GetString("Options", "ValThreshold"), "0.7");
    EXPECT_EQ(profile.GetString("Options", "DisThreshold"), "0.3");
}

TEST(LoadSettings, ByteBlocksOfTheWrongLengthAreIgnored)
{
    test::TempDir dir;
    AVICOMPRESSOPTIONS options;
    options.dwQuality = 7500;
    options.dwKeyFrameEvery = 15;
    options.dwFlags = AVICOMPRESSF_KEYFRAMES;
    const std::string good = IniFile::EncodeBlock(&options, sizeof options);
    ASSERT_EQ(good.size(), 88u);

    for (const std::string& bad : {good.substr(0, 86), good + "AA", std::string("PB")}) {
        const ConversionSettings s = Loaded(ProfileWith(dir, "VideoFormat=" + bad + "\nAudioFormat=" + bad + "\n"));
        EXPECT_EQ(s.VideoFormat.dwQuality, 100000u) << bad.size();
        EXPECT_EQ(s.AudioFormat.nChannels, 0);
    }
    const ConversionSettings s = Loaded(ProfileWith(dir, "VideoFormat=" + good + "\n"));
    EXPECT_EQ(s.VideoFormat.dwQuality, 7500u);
    EXPECT_EQ(s.VideoFormat.dwKeyFrameEvery, 15u);

    // ReadProfileBlock leaves the destination alone unless the length matches.
    uint8_t destination[3] = {9, 9, 9};
    EXPECT_FALSE(ReadProfileBlock(ProfileWith(dir, "B=PBAA\n"), "Options", "B", destination, 3));
    EXPECT_EQ(destination[0], 9);
    EXPECT_TRUE(ReadProfileBlock(ProfileWith(dir, "B=PBAAPP\n"), "Options", "B", destination, 3));
    EXPECT_EQ(destination[0], 0x1F);
    EXPECT_EQ(destination[2], 0xFF);
}

TEST(LoadSettings, OnlyPreviewAndStatisticsAreNormalised)
{
    test::TempDir dir;
    const ConversionSettings s = Loaded(ProfileWith(
        dir, "WantPreview=7\nShowStatistics=7\nKeepSettings=7\nKeepSound=7\nSceneDetection=7\nSampleRate=9\n"));
    EXPECT_EQ(s.WantPreview, 1);
    EXPECT_TRUE(s.ShowStatistics);
    EXPECT_EQ(s.KeepSettings, 7);
    EXPECT_EQ(s.KeepSound, 7);
    EXPECT_EQ(s.SceneDetection, 7);
    EXPECT_EQ(s.SampleRate, 9);
}

TEST(SaveSettings, WritesEveryKeyInOrderAndEverythingReadsBack)
{
    test::TempDir dir;
    const std::string path = dir.File("klova.ini");
    ConversionSettings written;
    written.SrcFileName = "  /media/Grüße = ; # \"film\".mpg  ";
    written.DstFileName = "/tmp/out dir/clip.avi";
    written.VideoCodec = "<Uncompressed>";
    written.AudioCodec = "pcm";
    written.MediaProfile = "/profiles/my.prx";
    written.ClipsFileName = ";project.msq";
    written.AudioFormat = WAVEFORMATEX{1, 2, 44100, 176400, 4, 16, 0};
    written.VideoFormat.dwKeyFrameEvery = 12;
    written.DstFileType = 1;
    written.KeepSettings = 0;
    written.SceneDetection = 2;
    written.WantPreview = 0;
    written.KeepFrameRate = 0;
    written.FrameRate = 29.97;
    written.FrameWidth = 640;
    written.KeepAspect = 0;
    written.Channels = 0;
    written.HueThreshold = 0.5;
    written.ShowStatistics = true;
    {
        IniFile profile(path);
        SaveSettings(profile, written, "/home/user");
        ASSERT_TRUE(profile.Save());
    }

    std::ifstream in(path);
    std::vector<std::string> keys;
    for (std::string line; std::getline(in, line);)
        if (line.find('=') != std::string::npos)
            keys.push_back(line.substr(0, line.find('=')));
    std::vector<std::string> expected;
    for (const SettingKey& key : SettingKeys())
        expected.push_back(key.name);
    EXPECT_EQ(keys, expected);
    EXPECT_EQ(expected.front(), "LastFolder");
    EXPECT_EQ(expected.back(), "ClipsFileName");
    EXPECT_EQ(expected.size(), 28u);

    IniFile profile(path);
    profile.Load();
    EXPECT_EQ(profile.GetString("Options", "LastFolder"), "/home/user");
    const ConversionSettings read = Loaded(profile);
    EXPECT_EQ(read.SrcFileName, written.SrcFileName);
    EXPECT_EQ(read.DstFileName, written.DstFileName);
    EXPECT_EQ(read.ClipsFileName, written.ClipsFileName);
    EXPECT_EQ(read.VideoCodec, written.VideoCodec);
    EXPECT_EQ(read.AudioCodec, written.AudioCodec);
    EXPECT_EQ(read.MediaProfile, written.MediaProfile);
    EXPECT_EQ(std::memcmp(&read.AudioFormat, &written.AudioFormat, 18), 0);
    EXPECT_EQ(std::memcmp(&read.VideoFormat, &written.VideoFormat, 44), 0);
    EXPECT_EQ(read.DstFileType, 1);
    EXPECT_EQ(read.KeepSettings, 0);
    EXPECT_EQ(read.SceneDetection, 2);
    EXPECT_EQ(read.WantPreview, 0);
    EXPECT_EQ(read.KeepFrameRate, 0);
    EXPECT_NEAR(read.FrameRate, 29.97, 1e-9);
    EXPECT_EQ(read.FrameWidth, 640);
    EXPECT_EQ(read.KeepAspect, 0);
    EXPECT_EQ(read.Channels, 0);
    EXPECT_EQ(read.HueThreshold, 0.5);
    EXPECT_TRUE(read.ShowStatistics);
}

}  // namespace
}  // namespace klova
