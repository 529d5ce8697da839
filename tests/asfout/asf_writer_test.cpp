// The writer library end to end, loaded through the program's binding and judged by
// ffprobe and ffmpeg.
#include "asfout/win_media_writer.h"
#include "media_out/win_media_profiles.h"
#include "platform/media_types.h"
#include "platform/unicode_text.h"
#include "tests/asfout/synthetic_media.h"
#include "tests/asfout/wmv_test_writer.h"
#include "tests/support/test_names.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <numbers>

namespace klova::test {
namespace {

double Number(ProbeFields& fields, const std::string& key)
{
    try {
        return std::stod(fields[key]);
    } catch (...) {
        ADD_FAILURE() << "ffprobe gave no number for " << key;
        return -1.0;
    }
}

// Checks a written file as a player would see it: WMV video of the size and frame
// count, WMA sound if wanted, durations, a clean decode, and the video bit rate.
void ExpectGoodFile(const std::string& file, const WmvJob& job, const std::string& videoCodec,
                    const std::string& audioCodec, int videoKbps, int codedWidth, int codedHeight)
{
    const double seconds = job.frames / job.framesPerSecond;
    ProbeFields video = ProbeStream(file, "video", true);
    ASSERT_FALSE(video.empty()) << "no video stream in " << file;
    EXPECT_EQ(video["codec_name"], videoCodec);
    EXPECT_EQ(video["width"], std::to_string(codedWidth));
    EXPECT_EQ(video["height"], std::to_string(codedHeight));
    EXPECT_EQ(video["nb_read_frames"], std::to_string(job.frames));
    EXPECT_NEAR(Number(video, "start_time"), 0.0, 1e-9);
    EXPECT_NEAR(Number(video, "duration"), seconds, 0.05);
    EXPECT_NEAR(ProbeDuration(file), seconds, 0.1);

    ProbeFields audio = ProbeStream(file, "audio");
    if (job.withSound) {
        ASSERT_FALSE(audio.empty()) << "no audio stream in " << file;
        EXPECT_EQ(audio["codec_name"], audioCodec);
        EXPECT_EQ(audio["sample_rate"], "44100");
        EXPECT_EQ(audio["channels"], "2");
        EXPECT_NEAR(Number(audio, "duration"), seconds, 0.05);
    } else {
        EXPECT_TRUE(audio.empty());
        EXPECT_EQ(ProbeStreams(file).size(), 1u);
    }
    EXPECT_EQ(DecodeErrors(file), "");

    if (videoKbps > 0) {
        const double kbps = VideoPacketBytes(file) * 8.0 / seconds / 1000.0;
        EXPECT_NEAR(kbps, videoKbps, 0.25 * videoKbps) << "video bit rate of " << file;
    }
}

class BuiltInProfileFile : public testing::TestWithParam<size_t> {};

TEST_P(BuiltInProfileFile, TenSecondsBecomeAPlayableFileAtTheProfilesRate)
{
    const ExpectedProfile& expected = ExpectedProfiles().at(GetParam());
    TempDir dir;
    WmvJob job;
    job.profile = Utf8ToUtf16(expected.name);
    // Both timing paths: a whole rate and 29.97 (whose audio chunks split blocks).
    if (GetParam() % 2 == 1) {
        job.framesPerSecond = 29.97;
        job.frames = 300;
    }
    const std::string file = dir.File("out.wmv");
    ASSERT_EQ(WriteWmv(BuiltLibrary(), file, job), S_OK);
    ExpectGoodFile(file, job, expected.videoCodec, expected.audioCodec, expected.videoKbps, 320, 240);
}

INSTANTIATE_TEST_SUITE_P(EachProfile, BuiltInProfileFile, testing::Range<size_t>(0, 7),
                         [](const auto& info) { return TestNameOf(ExpectedProfiles().at(info.param).name); });

std::string PrxText(int videoBitRate, const std::string& videoSubtype, const std::string& audioSubtype)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
           "<profile version=\"589824\" name=\"Web video\" description=\"made for the tests\">\r\n"
           "  <streamconfig majortype=\"{73647561-0000-0010-8000-00AA00389B71}\" streamnumber=\"1\" bitrate=\"64000\">\r\n"
           "    <wmmediatype subtype=\"" + audioSubtype + "\"/>\r\n"
           "  </streamconfig>\r\n"
           "  <streamconfig majortype=\"{73646976-0000-0010-8000-00AA00389B71}\" streamnumber=\"2\" bitrate=\"" +
           std::to_string(videoBitRate) + "\" bufferwindow=\"3000\">\r\n"
           "    <videomediaprops maxkeyframespacing=\"30000000\" quality=\"50\"/>\r\n"
           "    <wmmediatype subtype=\"" + videoSubtype + "\"/>\r\n"
           "  </streamconfig>\r\n"
           "</profile>\r\n";
}

TEST(WinMediaWriterFile, PrxProfileFileSetsRateAndCodecs)
{
    TempDir dir;
    const std::string prx = dir.File("web 300.prx");
    WriteFileBytes(prx, PrxFileBytes(PrxText(300'000, "{32564D57-0000-0010-8000-00AA00389B71}",
                                             "{00000161-0000-0010-8000-00AA00389B71}")));
    const std::optional<std::u16string> profile = ResolveMediaProfile(BuiltLibrary(), prx);
    ASSERT_TRUE(profile);
    WmvJob job;
    job.profile = *profile;
    const std::string file = dir.File("out.wmv");
    ASSERT_EQ(WriteWmv(BuiltLibrary(), file, job), S_OK);
    ExpectGoodFile(file, job, "wmv2", "wmav2", 300, 320, 240);

    // The older codec versions, picked by the subtypes.
    WriteFileBytes(prx, PrxFileBytes(PrxText(200'000, "WMV1", "0x0160")));
    WmvJob older;
    older.profile = ResolveMediaProfile(BuiltLibrary(), prx).value();
    older.frames = 50;
    ASSERT_EQ(WriteWmv(BuiltLibrary(), file, older), S_OK);
    ExpectGoodFile(file, older, "wmv1", "wmav1", 0, 320, 240);
}

TEST(WinMediaWriterFile, ProfileThatIsNeitherNameNorReadableMakesOpenFileFail)
{
    TempDir dir;
    const std::string file = dir.File("out.wmv");
    for (const std::u16string& profile :
         {std::u16string(u"No such profile"), std::u16string(u"broadband (384 kbps)"), std::u16string(),
          Utf8ToUtf16(PrxText(300'000, "WMV2", "0x0161").substr(0, 200)),
          Utf8ToUtf16("<profile><streamconfig majortype='audio' bitrate='64000'/></profile>")}) {
        WinMediaWriterPtr writer = BuiltLibrary().CreateWriter();
        ASSERT_TRUE(writer);
        EXPECT_LT(writer->OpenFile(Utf8ToUtf16(file).c_str(), profile.c_str()), 0) << Utf16ToUtf8(profile);
        EXPECT_EQ(FileSize(file), -1) << "a refused profile left a file behind";
    }
}

TEST(WinMediaWriterFile, UnwritablePathMakesOpenFileFail)
{
    WmvJob job;
    job.profile = Utf8ToUtf16(ExpectedProfiles()[1].name);
    EXPECT_LT(WriteWmv(BuiltLibrary(), "/nonexistent-folder/out.wmv", job), 0);
}

TEST(WinMediaWriterFile, OddFrameSizeIsCroppedToTheCodecsEvenSize)
{
    TempDir dir;
    WmvJob job;
    job.profile = Utf8ToUtf16(ExpectedProfiles()[2].name);
    job.width = 321;
    job.height = 241;
    job.frames = 50;
    const std::string file = dir.File("odd.wmv");
    ASSERT_EQ(WriteWmv(BuiltLibrary(), file, job), S_OK);
    ExpectGoodFile(file, job, "wmv2", "wmav2", 0, 320, 240);
}

TEST(WinMediaWriterFile, PixelShapeIsStoredSoPlayersShowTheDisplayAspect)
{
    TempDir dir;
    WmvJob job;
    job.profile = Utf8ToUtf16(ExpectedProfiles()[3].name);
    job.width = 720;
    job.height = 576;
    job.frames = 10;
    job.pixelAspectX = 128;  // 64:45, not in lowest terms
    job.pixelAspectY = 90;
    const std::string file = dir.File("wide.wmv");
    ASSERT_EQ(WriteWmv(BuiltLibrary(), file, job), S_OK);
    ProbeFields video = ProbeStream(file, "video");
    EXPECT_EQ(video["sample_aspect_ratio"], "64:45");
    EXPECT_EQ(video["display_aspect_ratio"], "16:9");
}

TEST(WinMediaWriterFile, AllZeroAudioFormatGivesAVideoOnlyFile)
{
    TempDir dir;
    WmvJob job;
    job.profile = Utf8ToUtf16(ExpectedProfiles()[1].name);
    job.withSound = false;
    job.frames = 75;
    const std::string file = dir.File("sans son \u00e9t\u00e9.wmv");  // the path goes through UTF-16
    ASSERT_EQ(WriteWmv(BuiltLibrary(), file, job), S_OK);
    ExpectGoodFile(file, job, "wmv2", "", 0, 320, 240);
}

TEST(WinMediaWriterFile, ReleaseWithoutEndCallsCompletesTheFile)
{
    TempDir dir;
    WmvJob job;
    job.profile = Utf8ToUtf16(ExpectedProfiles()[1].name);
    job.frames = 100;
    job.endStreams = false;
    const std::string file = dir.File("released.wmv");
    ASSERT_EQ(WriteWmv(BuiltLibrary(), file, job), S_OK);
    ExpectGoodFile(file, job, "wmv2", "wmav2", 0, 320, 240);
}

// The left channel of the file's sound, decoded by ffmpeg.
std::vector<int16_t> DecodeLeftChannel(const std::string& file, const TempDir& dir)
{
    const std::string raw = dir.File("sound.raw");
    Ffmpeg("-i " + ShellQuote(file) + " -map 0:a:0 -f s16le -acodec pcm_s16le -ac 2 " + ShellQuote(raw));
    std::ifstream in(raw, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<int16_t> left;
    for (size_t i = 0; i + 3 < bytes.size(); i += 4)
        left.push_back(static_cast<int16_t>(static_cast<uint8_t>(bytes[i]) | static_cast<uint8_t>(bytes[i + 1]) << 8));
    return left;
}

TEST(WinMediaWriterFile, SoundStaysContinuousWhenChunksSplitSampleBlocks)
{
    // 176,400 bytes per second at 29.97 frames per second: 5,885-byte chunks, one
    // byte more than whole blocks. A lost or repeated byte or block shows as a jump
    // in the tone's phase or as noise.
    TempDir dir;
    WmvJob job;
    job.profile = Utf8ToUtf16(ExpectedProfiles()[2].name);
    job.framesPerSecond = 29.97;
    job.frames = 300;
    const std::string file = dir.File("tone.wmv");
    ASSERT_EQ(WriteWmv(BuiltLibrary(), file, job), S_OK);
    const std::vector<int16_t> left = DecodeLeftChannel(file, dir);
    ASSERT_GT(left.size(), 44100u * 9);

    // Windows of 0.1 s hold exactly 100 periods of 1 kHz: each window's phase,
    // measured against the sample index, is the same all through a clean tone.
    constexpr size_t kWindow = 4410;
    const double omega = 2.0 * std::numbers::pi * 1000.0 / 44100.0;
    std::vector<double> phases;
    std::vector<double> amplitudes;
    double worstResidual = 0.0;
    for (size_t start = 22050; start + kWindow <= left.size() - 22050; start += kWindow) {
        double inPhase = 0.0;
        double quadrature = 0.0;
        for (size_t n = start; n < start + kWindow; ++n) {
            inPhase += left[n] * std::sin(omega * n);
            quadrature += left[n] * std::cos(omega * n);
        }
        const double amplitude = 2.0 * std::hypot(inPhase, quadrature) / kWindow;
        const double phase = std::atan2(quadrature, inPhase);
        double residual = 0.0;
        double energy = 0.0;
        for (size_t n = start; n < start + kWindow; ++n) {
            const double error = left[n] - amplitude * std::sin(omega * n + phase);
            residual += error * error;
            energy += static_cast<double>(left[n]) * left[n];
        }
        worstResidual = std::max(worstResidual, residual / energy);
        phases.push_back(phase);
        amplitudes.push_back(amplitude);
    }
    ASSERT_GT(phases.size(), 80u);
    double worstPhaseStep = 0.0;
    for (const double phase : phases) {
        double difference = std::remainder(phase - phases.front(), 2.0 * std::numbers::pi);
        worstPhaseStep = std::max(worstPhaseStep, std::abs(difference) * 180.0 / std::numbers::pi);
    }
    // One sample slipped moves the phase by 8.2 degrees.
    EXPECT_LT(worstPhaseStep, 2.0);
    EXPECT_LT(worstResidual, 0.01);
    const auto [least, most] = std::minmax_element(amplitudes.begin(), amplitudes.end());
    EXPECT_NEAR(*least, 0.5 * 32767, 0.05 * 32767);
    EXPECT_NEAR(*most, 0.5 * 32767, 0.05 * 32767);
}

TEST(WinMediaWriterFile, FailedWriteIsReportedAndEveryLaterWriteFails)
{
    // /dev/full takes the file's creation but no byte of it.
    WinMediaWriterPtr writer = BuiltLibrary().CreateWriter();
    ASSERT_TRUE(writer);
    const std::u16string profile = Utf8ToUtf16(ExpectedProfiles()[4].name);
    ASSERT_GE(writer->OpenFile(u"/dev/full", profile.c_str()), 0);
    const WAVEFORMATEX none;
    const int32_t formats = writer->SetStreamFormats(320, 240, sizeof none, &none, 25.0);
    if (formats < 0)
        return;  // refusing already at the header is as good
    std::vector<uint8_t> frame(DibRowBytes(320) * 240);
    int32_t result = S_OK;
    int written = 0;
    for (; written < 500 && result >= 0; ++written) {
        DrawPatternFrame(320, 240, written, frame.data());
        result = writer->WriteVideo(1, frame.data());
    }
    ASSERT_LT(result, 0) << "500 frames went into /dev/full without a failure";
    EXPECT_LT(writer->WriteVideo(1, frame.data()), 0);
    EXPECT_LT(writer->WriteVideo(0, nullptr), 0);
    writer.reset();  // must not crash, and /dev/full stays
    EXPECT_EQ(RunCommand("test -c /dev/full").exitStatus, 0);
}

TEST(WinMediaWriterCalls, RefusesCallsOutOfOrderOrWithBadArguments)
{
    TempDir dir;
    const std::u16string path = Utf8ToUtf16(dir.File("order.wmv"));
    const std::u16string profile = Utf8ToUtf16(ExpectedProfiles()[1].name);
    const WAVEFORMATEX none;
    uint8_t frame[4] = {};

    WinMediaWriterPtr writer = BuiltLibrary().CreateWriter();
    ASSERT_TRUE(writer);
    EXPECT_LT(writer->SetStreamFormats(16, 16, sizeof none, &none, 25.0), 0);  // before OpenFile
    EXPECT_LT(writer->SetPixelAspect(4, 3), 0);
    EXPECT_LT(writer->WriteVideo(1, frame), 0);
    EXPECT_LT(writer->OpenFile(nullptr, profile.c_str()), 0);
    EXPECT_LT(writer->OpenFile(path.c_str(), nullptr), 0);
    ASSERT_GE(writer->OpenFile(path.c_str(), profile.c_str()), 0);
    EXPECT_LT(writer->OpenFile(path.c_str(), profile.c_str()), 0);  // twice
    EXPECT_LT(writer->WriteVideo(1, frame), 0);                     // before the formats
    EXPECT_LT(writer->SetPixelAspect(0, 3), 0);
    EXPECT_LT(writer->SetPixelAspect(4, -3), 0);
    EXPECT_LT(writer->GetVideoToken(nullptr), 0);
    EXPECT_LT(writer->GetProfileName(0, nullptr), 0);
    EXPECT_LT(writer->GetProfileName(-1, nullptr), 0);
    EXPECT_LT(writer->FindProfile(nullptr, nullptr), 0);
    int32_t index = 5;
    EXPECT_LT(writer->FindProfile(nullptr, &index), 0);
    EXPECT_EQ(index, -1);
}

struct FormatCase {
    const char* what;
    int32_t width;
    int32_t height;
    double framesPerSecond;
    WAVEFORMATEX format;
    int32_t formatSize;
};

WAVEFORMATEX Stereo16()
{
    WAVEFORMATEX format;
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = 44100;
    format.nAvgBytesPerSec = 176400;
    format.nBlockAlign = 4;
    format.wBitsPerSample = 16;
    return format;
}

WAVEFORMATEX Changed(WAVEFORMATEX format, void (*change)(WAVEFORMATEX&))
{
    change(format);
    return format;
}

TEST(WinMediaWriterCalls, RefusesStreamFormatsItCannotWrite)
{
    const FormatCase cases[] = {
        {"zero width", 0, 240, 25.0, Stereo16(), 18},
        {"negative height", 320, -240, 25.0, Stereo16(), 18},
        {"huge frame", 100'000, 100'000, 25.0, Stereo16(), 18},
        {"no frame rate", 320, 240, 0.0, Stereo16(), 18},
        {"frame rate not a number", 320, 240, std::nan(""), Stereo16(), 18},
        {"endless frame rate", 320, 240, INFINITY, Stereo16(), 18},
        {"block align 0", 320, 240, 25.0, Changed(Stereo16(), [](WAVEFORMATEX& f) { f.nBlockAlign = 0; }), 18},
        {"24-bit", 320, 240, 25.0,
         Changed(Stereo16(), [](WAVEFORMATEX& f) { f.wBitsPerSample = 24, f.nBlockAlign = 6; }), 18},
        {"compressed audio", 320, 240, 25.0, Changed(Stereo16(), [](WAVEFORMATEX& f) { f.wFormatTag = 0x55; }), 18},
        {"format cut short", 320, 240, 25.0, Stereo16(), 10},
        {"negative format size", 320, 240, 25.0, Stereo16(), -18},
    };
    TempDir dir;
    const std::u16string path = Utf8ToUtf16(dir.File("formats.wmv"));
    const std::u16string profile = Utf8ToUtf16(ExpectedProfiles()[1].name);
    for (const FormatCase& c : cases) {
        WinMediaWriterPtr writer = BuiltLibrary().CreateWriter();
        ASSERT_GE(writer->OpenFile(path.c_str(), profile.c_str()), 0);
        EXPECT_LT(writer->SetStreamFormats(c.width, c.height, c.formatSize, &c.format, c.framesPerSecond), 0) << c.what;
        uint8_t frame[16] = {};
        EXPECT_LT(writer->WriteVideo(1, frame), 0) << c.what;
    }
}

}  // namespace
}  // namespace klova::test
