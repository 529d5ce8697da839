#include "asfout/prx_profile_reader.h"

#include "tests/support/test_names.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

using asfout::AsfProfile;
using asfout::ReadPrxProfile;

constexpr const char* kVideoType = "{73646976-0000-0010-8000-00AA00389B71}";
constexpr const char* kAudioType = "{73647561-0000-0010-8000-00AA00389B71}";

std::u16string Wide(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

std::string VideoStream(const std::string& attributes, const std::string& props, const std::string& subtype)
{
    return std::string("<streamconfig majortype=\"") + kVideoType + "\" " + attributes + ">" + props +
           "<wmmediatype subtype=\"" + subtype + "\"><videoinfoheader/></wmmediatype></streamconfig>";
}

std::string AudioStream(const std::string& attributes, const std::string& subtype)
{
    return std::string("<streamconfig majortype=\"") + kAudioType + "\" " + attributes +
           "><wmmediatype subtype=\"" + subtype + "\"/></streamconfig>";
}

std::optional<AsfProfile> Read(const std::string& body)
{
    return ReadPrxProfile(Wide("<profile version=\"589824\" name=\"Test\">" + body + "</profile>"));
}

TEST(ReadPrxProfile, ReadsVideoAndAudioStreamConfigurations)
{
    const std::u16string text =
        u"\uFEFF<?xml version=\"1.0\"?>\r\n<!-- made by hand -->\r\n"
        u"<Profile Name=\"Web 300\" description=\"\">\r\n"
        u"  <StreamConfig MajorType=\"{73647561-0000-0010-8000-00AA00389B71}\" streamnumber=\"1\""
        u" bitrate=\"64000\" bufferwindow=\"-1\">\r\n"
        u"    <wmmediatype subtype=\"{00000161-0000-0010-8000-00AA00389B71}\">\r\n"
        u"      <waveformatex wFormatTag=\"353\" nChannels=\"2\"/>\r\n"
        u"    </wmmediatype>\r\n"
        u"  </StreamConfig>\r\n"
        u"  <streamconfig majortype=\"{73646976-0000-0010-8000-00aa00389b71}\" bitrate=\" 300000 \""
        u" bufferwindow=\"5000\">\r\n"
        u"    <videomediaprops maxkeyframespacing=\"80000000\" quality=\"75\"/>\r\n"
        u"    <wmmediatype subtype=\"{32564D57-0000-0010-8000-00AA00389B71}\"/>\r\n"
        u"  </streamconfig>\r\n"
        u"</Profile>\r\n";
    const std::optional<AsfProfile> profile = ReadPrxProfile(text);
    ASSERT_TRUE(profile);
    EXPECT_EQ(profile->name, u"Web 300");
    EXPECT_EQ(profile->video.bitRate, 300'000);
    EXPECT_EQ(profile->video.bufferWindowMs, 5000);
    EXPECT_EQ(profile->video.keyFrameSpacingMs, 8000);
    EXPECT_EQ(profile->video.quality, 75);
    EXPECT_EQ(profile->video.codecVersion, 8);
    ASSERT_TRUE(profile->audio);
    EXPECT_EQ(profile->audio->bitRate, 64'000);
    EXPECT_EQ(profile->audio->codecVersion, 2);
}

struct VersionCase {
    std::string videoSubtype;
    std::string audioSubtype;
    int32_t videoVersion;
    int32_t audioVersion;
};

void PrintTo(const VersionCase& c, std::ostream* out)
{
    *out << "video " << (c.videoSubtype.empty() ? "none" : c.videoSubtype) << " audio "
         << (c.audioSubtype.empty() ? "none" : c.audioSubtype);
}

class PrxCodecVersion : public testing::TestWithParam<VersionCase> {};

TEST_P(PrxCodecVersion, FollowsTheMediaSubtype)
{
    const VersionCase& c = GetParam();
    const auto profile =
        Read(VideoStream("bitrate=\"100000\"", "", c.videoSubtype) + AudioStream("bitrate=\"32000\"", c.audioSubtype));
    ASSERT_TRUE(profile);
    EXPECT_EQ(profile->video.codecVersion, c.videoVersion);
    ASSERT_TRUE(profile->audio);
    EXPECT_EQ(profile->audio->codecVersion, c.audioVersion);
}

INSTANTIATE_TEST_SUITE_P(
    Subtypes, PrxCodecVersion,
    testing::Values(VersionCase{"{31564D57-0000-0010-8000-00AA00389B71}", "{00000160-0000-0010-8000-00AA00389B71}", 7, 1},
                    VersionCase{"31564d57-0000-0010-8000-00aa00389b71", "0x0160", 7, 1},
                    VersionCase{"WMV1", "{00000161-0000-0010-8000-00AA00389B71}", 7, 2},
                    VersionCase{"wmv2", "0x0161", 8, 2},
                    // Newer family members fall back to the newest version written here.
                    VersionCase{"{33564D57-0000-0010-8000-00AA00389B71}", "{00000162-0000-0010-8000-00AA00389B71}", 8, 2},
                    VersionCase{"", "", 8, 2}),
    klova::test::PrintedName());

TEST(ReadPrxProfile, FillsDefaultsAndKeepsValuesInRange)
{
    auto profile = Read(VideoStream("bitrate=\"100000\"", "", "") + AudioStream("bitrate=\"5000\"", ""));
    ASSERT_TRUE(profile);
    EXPECT_EQ(profile->video.bufferWindowMs, 3000);
    EXPECT_EQ(profile->video.keyFrameSpacingMs, 3000);
    EXPECT_EQ(profile->video.quality, 50);
    EXPECT_EQ(profile->audio->bitRate, 24'000);  // the encoder's least

    profile = Read(VideoStream("bitrate=\"100000\" bufferwindow=\"999999\"",
                               "<videomediaprops maxkeyframespacing=\"9000000000\" quality=\"150\"/>", ""));
    ASSERT_TRUE(profile);
    EXPECT_EQ(profile->video.bufferWindowMs, 60'000);
    EXPECT_EQ(profile->video.keyFrameSpacingMs, 600'000);
    EXPECT_EQ(profile->video.quality, 100);

    profile = Read(VideoStream("bitrate=\"100000\"", "<videomediaprops maxkeyframespacing=\"1\" quality=\"-5\"/>", ""));
    ASSERT_TRUE(profile);
    EXPECT_EQ(profile->video.keyFrameSpacingMs, 100);
    EXPECT_EQ(profile->video.quality, 0);
}

TEST(ReadPrxProfile, ProfileWithoutAudioStreamCarriesNoSound)
{
    const auto profile = Read(VideoStream("bitrate=\"250000\"", "", "WMV2"));
    ASSERT_TRUE(profile);
    EXPECT_FALSE(profile->audio);
}

TEST(ReadPrxProfile, FirstStreamOfEachKindCountsAndOtherKindsAreSkipped)
{
    const auto profile =
        Read("<streamconfig majortype=\"{73636d64-0000-0010-8000-00AA00389B71}\" bitrate=\"oops\"/>" +
             VideoStream("bitrate=\"111000\"", "", "") + VideoStream("bitrate=\"222000\"", "", "") +
             AudioStream("bitrate=\"48000\"", "") + AudioStream("bitrate=\"96000\"", ""));
    ASSERT_TRUE(profile);
    EXPECT_EQ(profile->video.bitRate, 111'000);
    EXPECT_EQ(profile->audio->bitRate, 48'000);
}

TEST(ReadPrxProfile, MajorTypesMayBeWords)
{
    const auto profile = ReadPrxProfile(
        u"<profile><streamconfig majortype='video' bitrate='300000'/><streamconfig majortype='AUDS' bitrate='64000'/></profile>");
    ASSERT_TRUE(profile);
    EXPECT_EQ(profile->video.bitRate, 300'000);
    EXPECT_EQ(profile->audio->bitRate, 64'000);
}

struct UnusableCase {
    const char* name;
    std::string text;
};

void PrintTo(const UnusableCase& c, std::ostream* out) { *out << c.name; }

class UnusableProfile : public testing::TestWithParam<UnusableCase> {};

TEST_P(UnusableProfile, IsNotRead) { EXPECT_FALSE(ReadPrxProfile(Wide(GetParam().text))) << GetParam().text; }

INSTANTIATE_TEST_SUITE_P(
    Texts, UnusableProfile,
    testing::Values(
        UnusableCase{"EmptyText", ""}, UnusableCase{"ProfileNameInsteadOfText", "Broadband (384 Kbps)"},
        UnusableCase{"EmptyProfile", "<profile/>"},
        UnusableCase{"OtherRootElement", "<notaprofile><streamconfig majortype='video' bitrate='1000'/></notaprofile>"},
        UnusableCase{"NoStreams", "<profile></profile>"},
        UnusableCase{"AudioOnly", "<profile><streamconfig majortype='audio' bitrate='64000'/></profile>"},
        UnusableCase{"VideoWithoutBitRate", "<profile><streamconfig majortype='video'/></profile>"},
        UnusableCase{"ZeroBitRate", "<profile><streamconfig majortype='video' bitrate='0'/></profile>"},
        UnusableCase{"BitRateWithAUnit", "<profile><streamconfig majortype='video' bitrate='300k'/></profile>"},
        UnusableCase{"NegativeBitRate", "<profile><streamconfig majortype='video' bitrate='-300000'/></profile>"},
        UnusableCase{"BitRateTooHigh", "<profile><streamconfig majortype='video' bitrate='100000001'/></profile>"},
        UnusableCase{"BitRateBeyondAnyInteger",
                     "<profile><streamconfig majortype='video' bitrate='99999999999999999999999'/></profile>"},
        UnusableCase{"BufferWindowNotANumber",
                     "<profile><streamconfig majortype='video' bitrate='300000' bufferwindow='soon'/></profile>"},
        UnusableCase{"QualityNotANumber", "<profile><streamconfig majortype='video' bitrate='300000'><videomediaprops "
                                          "quality='high'/></streamconfig></profile>"},
        UnusableCase{"StreamInsideAStream", "<profile><streamconfig majortype='video' bitrate='300000'><streamconfig "
                                            "majortype='video' bitrate='1'/></streamconfig></profile>"},
        UnusableCase{"ProfileNotClosed", "<profile><streamconfig majortype='video' bitrate='300000'/>"},
        UnusableCase{"StreamNotClosed", "<profile><streamconfig majortype='video' bitrate='300000'></profile>"}),
    klova::test::PrintedName());

TEST(ReadPrxProfile, SurvivesTruncationAndRandomText)
{
    const std::u16string text = Wide("<profile name='x'>" + VideoStream("bitrate=\"300000\" bufferwindow=\"3000\"",
                                                                         "<videomediaprops maxkeyframespacing=\"30000000\"/>", "WMV2") +
                                     AudioStream("bitrate=\"64000\"", "0x0161") + "</profile>");
    ASSERT_TRUE(ReadPrxProfile(text));
    for (size_t length = 0; length < text.size(); ++length)
        EXPECT_FALSE(ReadPrxProfile(std::u16string_view(text).substr(0, length))) << "prefix of " << length;

    // Random mixtures of XML pieces and stray characters: never a crash, never a hang.
    const char16_t lone[] = {0xD800, 0};  // an unpaired surrogate
    const char16_t* pieces[] = {u"<", u">", u"/", u"=", u"'", u"\"", u"&", u"&#", u";", u"profile", u"streamconfig",
                                u"bitrate", u"majortype", u"video", u"audio", u"<!--", u"-->", u"<?", u"?>", u" ",
                                u"300000", lone, u"\uFFFF", u"<![CDATA[", u"]]>", u"<!", u"["};
    std::mt19937 random(1234);
    std::uniform_int_distribution<size_t> pick(0, std::size(pieces) - 1);
    for (int round = 0; round < 2000; ++round) {
        std::u16string fuzz = round % 2 ? text.substr(0, random() % text.size()) : std::u16string();
        const int count = static_cast<int>(random() % 40);
        for (int i = 0; i < count; ++i)
            fuzz.insert(random() % (fuzz.size() + 1), std::u16string(pieces[pick(random)]));
        (void)ReadPrxProfile(fuzz);
    }
}

}  // namespace
