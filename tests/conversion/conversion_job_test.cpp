#include "engine/conversion_job.h"

#include "codecs/encoder_config_store.h"
#include "engine/conversion_host.h"
#include "engine/conversion_session.h"
#include "media_in/input_reader.h"
#include "platform/errors.h"
#include "tests/conversion/indexed_video.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <cstdlib>
#include <map>
#include <new>

// Counts the C++ allocations made on a thread while counting is switched on for it.
namespace {
thread_local bool countAllocations = false;
thread_local long allocationCount = 0;
}  // namespace

void* operator new(std::size_t size)
{
    if (countAllocations)
        ++allocationCount;
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace klova {
namespace {

class TestHost : public ConversionHost {
public:
    std::optional<std::u16string> ResolveMediaProfile(const std::string&) override { return std::nullopt; }
};

class ConversionJobTest : public ::testing::Test {
protected:
    ConversionSettings UncompressedSettings(const std::string& input, const std::string& output)
    {
        ConversionSettings settings;
        settings.SrcFileName = input;
        settings.DstFileName = output;
        settings.VideoCodec = "<Uncompressed>";
        settings.AudioCodec = "PCM";
        settings.WantPreview = 0;
        return settings;
    }

    // Runs a whole conversion; returns the number of steps that returned true.
    int Run(ConversionSettings& settings, ConversionJob** keep = nullptr)
    {
        job_ = std::make_unique<ConversionJob>(settings, EngineServices{configs_, nullptr}, host_);
        job_->StartConversion();
        int steps = 0;
        while (job_->Step())
            ++steps;
        if (keep)
            *keep = job_.get();
        return steps;
    }

    void Finish() { job_->StopConversion(); }

    test::TempDir dir_;
    EncoderConfigStore configs_;
    TestHost host_;
    std::unique_ptr<ConversionJob> job_;
};

std::map<int, int> CountEach(const std::vector<int>& indexes)
{
    std::map<int, int> counts;
    for (int index : indexes)
        ++counts[index];
    return counts;
}

TEST_F(ConversionJobTest, TwentyFiveToThirtyRepeatsEveryFifthFrameAsTheWorkedExampleSays)
{
    const std::string input = dir_.File("in.avi");
    test::MakeIndexedVideo(input, {.rate = "25", .frames = 50});
    ConversionSettings settings = UncompressedSettings(input, dir_.File("out.avi"));
    settings.KeepSettings = 0;
    settings.KeepFrameRate = 0;
    settings.FrameRate = 30.0;
    ConversionJob* job = nullptr;
    Run(settings, &job);
    EXPECT_EQ(job->framesRead(), 51);  // the read that finds the end is counted
    Finish();

    const std::vector<int> indexes = test::ReadFrameIndexes(dir_.File("out.avi"));
    const std::map<int, int> counts = CountEach(indexes);
    for (int frame = 0; frame < 25; ++frame) {
        const bool twice = frame == 0 || frame == 4 || frame == 9 || frame == 14 || frame == 19 || frame == 24;
        EXPECT_EQ(counts.count(frame) ? counts.at(frame) : 0, twice ? 2 : 1) << "frame " << frame;
    }
    EXPECT_TRUE(std::is_sorted(indexes.begin(), indexes.end()));
    EXPECT_EQ(test::ProbeStream(dir_.File("out.avi"), "video")["r_frame_rate"], "30/1");
}

TEST_F(ConversionJobTest, FiftyToTwentyFiveKeepsTheEvenFrames)
{
    const std::string input = dir_.File("in.avi");
    test::MakeIndexedVideo(input, {.rate = "50", .frames = 40});
    ConversionSettings settings = UncompressedSettings(input, dir_.File("out.avi"));
    settings.KeepSettings = 0;
    settings.KeepFrameRate = 0;
    settings.FrameRate = 25.0;
    Run(settings);
    Finish();
    std::vector<int> expected;
    for (int frame = 0; frame < 40; frame += 2)
        expected.push_back(frame);
    EXPECT_EQ(test::ReadFrameIndexes(dir_.File("out.avi")), expected);
}

TEST_F(ConversionJobTest, EqualRatesReadAndWriteOneFramePerStepWithoutAudio)
{
    const std::string input = dir_.File("in.avi");
    test::MakeIndexedVideo(input, {.rate = "30000/1001", .frames = 30});
    ConversionSettings settings = UncompressedSettings(input, dir_.File("out.avi"));
    ConversionJob* job = nullptr;
    const int steps = Run(settings, &job);
    EXPECT_EQ(steps, 30);  // one step per frame; the step after the last finds the end
    EXPECT_EQ(job->framesRead(), 31);
    // Progress is measured against the input's duration: at the end they meet.
    EXPECT_NEAR(job->inputDuration(), 30 * 1001 * kUnitsPerSecond / 30000, 2 * kUnitsPerSecond / 30);
    EXPECT_NEAR(job->sourceTime(), job->inputDuration(), kUnitsPerSecond / 30);
    Finish();
    std::vector<int> expected(30);
    std::iota(expected.begin(), expected.end(), 0);
    EXPECT_EQ(test::ReadFrameIndexes(dir_.File("out.avi")), expected);
    EXPECT_EQ(test::ProbeStreams(dir_.File("out.avi")).size(), 1u);
    EXPECT_EQ(settings.AudioFormat.nChannels, 0);  // no audio: the stored format is all zero
}

TEST_F(ConversionJobTest, AudioLongerThanVideoEndsWithAudioOnlyFrames)
{
    const std::string input = dir_.File("in.avi");
    test::MakeIndexedVideo(input, {.rate = "25", .frames = 25, .audio = "-c:a pcm_s16le -ac 2", .audioSeconds = 2.0});
    ConversionSettings settings = UncompressedSettings(input, dir_.File("out.avi"));
    ConversionJob* job = nullptr;
    Run(settings, &job);
    EXPECT_GE(job->outputTime(), 2 * kUnitsPerSecond - 400'000);
    Finish();
    EXPECT_EQ(test::ReadFrameIndexes(dir_.File("out.avi")).size(), 25u);
    EXPECT_NEAR(test::DecodedAudioSeconds(dir_.File("out.avi")), 2.0, 0.05);
    EXPECT_EQ(settings.AudioFormat.nSamplesPerSec, 44100u);  // the source format is stored
    EXPECT_EQ(settings.AudioFormat.nChannels, 2);
}

TEST_F(ConversionJobTest, KeepAspectDerivesTheHeightFromTheWidth)
{
    const std::string input = dir_.File("in.avi");
    test::MakeIndexedVideo(input, {.width = 720, .height = 576, .frames = 3});
    ConversionSettings settings = UncompressedSettings(input, dir_.File("out.avi"));
    settings.KeepSettings = 0;
    settings.KeepFrameSize = 0;
    settings.FrameWidth = 320;
    settings.FrameHeight = 100;  // ignored with KeepAspect
    ConversionJob* job = nullptr;
    Run(settings, &job);
    EXPECT_EQ(job->outputWidth(), 320);
    EXPECT_EQ(job->outputHeight(), 256);
    Finish();
    const test::ProbeFields video = test::ProbeStream(dir_.File("out.avi"), "video");
    EXPECT_EQ(video.at("width"), "320");
    EXPECT_EQ(video.at("height"), "256");
    EXPECT_EQ(test::ReadFrameIndexes(dir_.File("out.avi")), (std::vector<int>{0, 1, 2}));
}

TEST_F(ConversionJobTest, ImpossibleOutputsAreRefusedAtTheStart)
{
    const std::string input = dir_.File("in.avi");
    test::MakeIndexedVideo(input, {.frames = 2});
    const auto expectRefused = [&](auto change) {
        ConversionSettings settings = UncompressedSettings(input, dir_.File("out.avi"));
        settings.KeepSettings = 0;
        change(settings);
        ConversionJob job(settings, EngineServices{configs_, nullptr}, host_);
        try {
            job.StartConversion();
            ADD_FAILURE() << "started";
        } catch (const CMyException& error) {
            EXPECT_EQ(error.code(), static_cast<int32_t>(ErrorCode::InvalidOutputFormat));
        }
        job.StopConversion();
    };
    expectRefused([](ConversionSettings& s) { s.KeepFrameRate = 0, s.FrameRate = -25.0; });
    expectRefused([](ConversionSettings& s) { s.KeepFrameRate = 0, s.FrameRate = std::numeric_limits<double>::infinity(); });
    expectRefused([](ConversionSettings& s) { s.KeepFrameRate = 0, s.FrameRate = std::nan(""); });
    expectRefused([](ConversionSettings& s) { s.KeepFrameRate = 0, s.FrameRate = 1e9; });
    expectRefused([](ConversionSettings& s) { s.KeepFrameSize = 0, s.KeepAspect = 0, s.FrameWidth = 0; });
    expectRefused([](ConversionSettings& s) { s.KeepFrameSize = 0, s.KeepAspect = 0, s.FrameHeight = -4; });
    expectRefused([](ConversionSettings& s) { s.KeepFrameSize = 0, s.KeepAspect = 1, s.FrameWidth = -320; });
}

TEST_F(ConversionJobTest, StepsAllocateNothingOnceTheOutputIsOpen)
{
    const std::string input = dir_.File("in.avi");
    test::MakeIndexedVideo(input, {.width = 320, .height = 240, .rate = "25", .frames = 40,
                                   .audio = "-c:a pcm_s16le -ac 2"});
    ConversionSettings settings = UncompressedSettings(input, dir_.File("out.avi"));
    settings.KeepSettings = 0;
    settings.KeepFrameSize = 0;  // scaling, and the audio converted to 22,050 Hz mono
    settings.FrameWidth = 176;
    settings.KeepSound = 0;
    settings.SampleRate = 1;
    settings.Channels = 0;
    ConversionJob job(settings, EngineServices{configs_, nullptr}, host_);
    job.StartConversion();
    ASSERT_TRUE(job.Step());  // the first step opens the output file
    long allocations = 0;
    for (int step = 0; step < 30; ++step) {
        countAllocations = true;
        allocationCount = 0;
        const bool more = job.Step();
        countAllocations = false;
        allocations += allocationCount;
        ASSERT_TRUE(more);
    }
    EXPECT_EQ(allocations, 0);
    while (job.Step()) {
    }
    job.StopConversion();
}

TEST(ConversionSession, AudioChunksAreExactSlicesOfTheStreamWithTheLastPaddedWithSilence)
{
    test::TempDir dir;
    const std::string input = dir.File("in.avi");
    // 8-bit audio: its padding must be silence (128), not 0.
    test::MakeIndexedVideo(input, {.rate = "30000/1001", .frames = 12, .audio = "-c:a pcm_u8 -ac 1 -ar 11025",
                                   .audioSeconds = 0.3});
    EncoderConfigStore configs;
    ConversionSession session(configs, nullptr);
    session.OpenInput(input, 0.0);
    const auto [format, chunkSize, channelMask] = session.GetSourceAudio();
    EXPECT_EQ(channelMask, 0u);
    ASSERT_EQ(format.wBitsPerSample, 8);
    EXPECT_EQ(chunkSize, 368);  // the most one frame takes: 367.87 blocks rounded up

    // Frame n's chunk ends at the whole block nearest n x 11,025 / 29.97.
    std::vector<uint8_t> chunks;
    uint32_t length = 0;
    uint64_t frames = 0;
    while (const uint8_t* chunk = session.ReadAudioChunk(&length)) {
        ++frames;
        chunks.insert(chunks.end(), chunk, chunk + length);
        ASSERT_EQ(chunks.size(), static_cast<size_t>(std::llround(frames * 11025 * 1001 / 30000.0)));
    }

    std::vector<uint8_t> stream;
    InputReader reader(input, AudioRequestType, true);
    for (;;) {
        uint32_t length = 0;
        MediaTime start = 0, stop = 0;
        const uint8_t* data = reader.ReadSample(&length, &start, &stop);
        if (length == 0)
            break;
        stream.insert(stream.end(), data, data + length);
    }
    ASSERT_GE(chunks.size(), stream.size());
    ASSERT_LT(chunks.size(), stream.size() + chunkSize);
    EXPECT_TRUE(std::equal(stream.begin(), stream.end(), chunks.begin()));
    EXPECT_TRUE(std::all_of(chunks.begin() + static_cast<long>(stream.size()), chunks.end(),
                            [](uint8_t b) { return b == 128; }));
    EXPECT_EQ(session.ReadAudioChunk(&length), nullptr);
}

}  // namespace
}  // namespace klova
