#include "engine/audio_converter.h"

#include "platform/errors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

namespace klova {
namespace {


int32_t ChunkSize(const WAVEFORMATEX& source, double frameRate)
{
    return static_cast<int32_t>(source.nAvgBytesPerSec / frameRate);
}

// A PCM byte stream: a sine of the given frequency and amplitude (as a fraction of full
// scale) in every channel, between startSeconds and endSeconds, silence elsewhere.
std::vector<uint8_t> Tone(const WAVEFORMATEX& format, double seconds, double frequency, double amplitude,
                          double startSeconds = 0.0, double endSeconds = 1e9)
{
    const size_t samples = static_cast<size_t>(seconds * format.nSamplesPerSec);
    std::vector<uint8_t> bytes(samples * format.nBlockAlign);
    for (size_t n = 0; n < samples; ++n) {
        const double t = static_cast<double>(n) / format.nSamplesPerSec;
        const double value =
            t >= startSeconds && t < endSeconds ? amplitude * std::sin(2 * std::numbers::pi * frequency * t) : 0.0;
        for (int c = 0; c < format.nChannels; ++c) {
            uint8_t* p = bytes.data() + n * format.nBlockAlign + static_cast<size_t>(c) * format.wBitsPerSample / 8;
            if (format.wBitsPerSample == 8) {
                p[0] = static_cast<uint8_t>(std::lround(128 + 127 * value));
            } else {
                const auto s = static_cast<int16_t>(std::lround(32767 * value));
                std::memcpy(p, &s, 2);
            }
        }
    }
    return bytes;
}

// Feeds stream through a converter chunk by chunk, as the frame loop does (the last
// chunk padded to the chunk size), and collects what the writer would take.
std::vector<uint8_t> ConvertStream(AudioConverter& converter, const std::vector<uint8_t>& stream, size_t chunkSize,
                                   size_t* frames = nullptr)
{
    std::vector<uint8_t> output;
    std::vector<uint8_t> chunk(chunkSize);
    size_t count = 0;
    for (size_t offset = 0; offset < stream.size(); offset += chunkSize, ++count) {
        const size_t take = std::min(chunkSize, stream.size() - offset);
        std::fill(chunk.begin(), chunk.end(), uint8_t{0});
        std::copy_n(stream.begin() + static_cast<ptrdiff_t>(offset), take, chunk.begin());
        const uint8_t* converted = converter.ConvertAudio(chunk.data());
        EXPECT_NE(converted, nullptr);
        output.insert(output.end(), converted, converted + converter.ConvertedChunkSize());
    }
    if (frames)
        *frames = count;
    return output;
}

// One channel of an output stream as signed values.
std::vector<double> Channel(const std::vector<uint8_t>& bytes, const WAVEFORMATEX& format, int channel)
{
    std::vector<double> values;
    for (size_t offset = 0; offset + format.nBlockAlign <= bytes.size(); offset += format.nBlockAlign) {
        const uint8_t* p = bytes.data() + offset + static_cast<size_t>(channel) * format.wBitsPerSample / 8;
        if (format.wBitsPerSample == 8) {
            values.push_back(p[0] - 128.0);
        } else {
            int16_t s;
            std::memcpy(&s, p, 2);
            values.push_back(s);
        }
    }
    return values;
}

struct ToneShape {
    size_t zeroCrossings = 0;
    double peak = 0;
    double largestStep = 0;        // between neighbouring samples
    double largestCurvature = 0;   // |x[n+1] - 2 x[n] + x[n-1]|
};

ToneShape Analyse(const std::vector<double>& x, size_t first, size_t last)
{
    ToneShape shape;
    for (size_t n = first + 1; n + 1 < last; ++n) {
        if ((x[n - 1] < 0) != (x[n] < 0))
            ++shape.zeroCrossings;
        shape.peak = std::max(shape.peak, std::abs(x[n]));
        shape.largestStep = std::max(shape.largestStep, std::abs(x[n] - x[n - 1]));
        shape.largestCurvature = std::max(shape.largestCurvature, std::abs(x[n + 1] - 2 * x[n] + x[n - 1]));
    }
    return shape;
}

// A clean sine of amplitude a at f Hz sampled at fs moves at most a * w per sample and
// bends at most a * w^2 (w = 2 pi f / fs); quantization adds about a step. A lost,
// repeated or misaligned sample bends it by about a * w, a click by much more.
void ExpectCleanTone(const std::vector<double>& x, double rate, double frequency, double amplitude,
                     double seconds, size_t skipStart)
{
    const size_t last = x.size() - skipStart;
    const ToneShape shape = Analyse(x, skipStart, last);
    const double w = 2 * std::numbers::pi * frequency / rate;
    const double quantum = 1.0;  // one step of the output's quantization
    const double expectedCrossings = 2 * frequency * (last - skipStart) / rate;
    EXPECT_NEAR(shape.zeroCrossings, expectedCrossings, expectedCrossings * 0.005 + 2) << "over " << seconds << " s";
    EXPECT_NEAR(shape.peak, amplitude, amplitude * 0.06 + 1);
    EXPECT_LE(shape.largestStep, amplitude * w * 1.06 + 2 * quantum);
    EXPECT_LE(shape.largestCurvature, amplitude * w * w * 1.2 + 3 * quantum);
}

TEST(AudioConverter, CdStereoToQuarterRateMono8BitAt25Fps)
{
    const WAVEFORMATEX source = MakePcmFormat(2, 44100, 16);
    const WAVEFORMATEX output = MakePcmFormat(1, 22050, 8);
    const int32_t chunkSize = ChunkSize(source, 25.0);
    ASSERT_EQ(chunkSize, 7056);
    AudioConverter converter(source, output, 25.0, chunkSize);
    EXPECT_FALSE(converter.IsPassThrough());
    EXPECT_EQ(converter.ConvertedChunkSize(), 882u);

    const auto stream = Tone(source, 2.0, 1000.0, 0.5);
    size_t frames = 0;
    const auto converted = ConvertStream(converter, stream, static_cast<size_t>(chunkSize), &frames);
    EXPECT_EQ(frames, 50u);
    EXPECT_EQ(converted.size(), 50u * 882);
    // 8-bit output: amplitude 0.5 of full scale is about 63.5 around 128.
    ExpectCleanTone(Channel(converted, output, 0), 22050, 1000.0, 63.5, 2.0, 441);
}

// At 29.97 frames per second neither chunk is a whole number of samples: 5,885 source
// bytes (1,471.25 blocks) become 735 output bytes per frame.
TEST(AudioConverter, CdStereoToQuarterRateMono8BitAtNtscRate)
{
    const WAVEFORMATEX source = MakePcmFormat(2, 44100, 16);
    const WAVEFORMATEX output = MakePcmFormat(1, 22050, 8);
    const int32_t chunkSize = ChunkSize(source, 29.97);
    ASSERT_EQ(chunkSize, 5885);
    AudioConverter converter(source, output, 29.97, chunkSize);
    EXPECT_EQ(converter.ConvertedChunkSize(), 735u);

    const auto converted = ConvertStream(converter, Tone(source, 3.0, 1000.0, 0.5), 5885);
    ExpectCleanTone(Channel(converted, output, 0), 22050, 1000.0, 63.5, 3.0, 441);
}

TEST(AudioConverter, Mono8BitLowRateToStereo16Bit48k)
{
    const WAVEFORMATEX source = MakePcmFormat(1, 11025, 8);
    const WAVEFORMATEX output = MakePcmFormat(2, 48000, 16);
    const int32_t chunkSize = ChunkSize(source, 25.0);
    ASSERT_EQ(chunkSize, 441);
    AudioConverter converter(source, output, 25.0, chunkSize);
    EXPECT_EQ(converter.ConvertedChunkSize(), 7680u);

    const auto converted = ConvertStream(converter, Tone(source, 2.0, 1000.0, 0.5), 441);
    const auto left = Channel(converted, output, 0);
    const auto right = Channel(converted, output, 1);
    EXPECT_EQ(left, right);
    // The 8-bit source carries its own quantization noise (about 1/128 of full
    // scale), which the enlargement to 16 bits keeps: allow for it in the bounds.
    const ToneShape shape = Analyse(left, 2400, left.size() - 2400);
    const double amplitude = 0.5 * 127 * 256;
    const double w = 2 * std::numbers::pi * 1000.0 / 48000;
    EXPECT_NEAR(shape.zeroCrossings, 2 * 1000.0 * (left.size() - 4800) / 48000, 20);
    EXPECT_NEAR(shape.peak, amplitude, amplitude * 0.06);
    EXPECT_LE(shape.largestStep, amplitude * w * 1.06 + 256);
    EXPECT_LE(shape.largestCurvature, amplitude * w * w * 1.2 + 256);
}

TEST(AudioConverter, SixChannelSourceIsMixedDownToStereo)
{
    const WAVEFORMATEX source = MakePcmFormat(6, 48000, 16);
    const WAVEFORMATEX output = MakePcmFormat(2, 44100, 16);
    const int32_t chunkSize = ChunkSize(source, 25.0);
    AudioConverter converter(source, output, 25.0, chunkSize);
    const auto converted = ConvertStream(converter, Tone(source, 1.0, 440.0, 0.2), static_cast<size_t>(chunkSize));
    const ToneShape shape = Analyse(Channel(converted, output, 0), 2000, converted.size() / 4 - 2000);
    EXPECT_NEAR(shape.zeroCrossings, 2 * 440.0 * (converted.size() / 4 - 4000) / 44100, 4);
    EXPECT_GT(shape.peak, 1000);
}

TEST(AudioConverter, EqualFormatsPassTheChunkThrough)
{
    const WAVEFORMATEX format = MakePcmFormat(2, 44100, 16);
    AudioConverter converter(format, format, 25.0, 7056);
    EXPECT_TRUE(converter.IsPassThrough());
    EXPECT_EQ(converter.ConvertedChunkSize(), 7056u);
    std::vector<uint8_t> chunk(7056, 0x5A);
    EXPECT_EQ(converter.ConvertAudio(chunk.data()), chunk.data());
    EXPECT_EQ(converter.ConvertAudio(nullptr), nullptr);
}

TEST(AudioConverter, NoChunkGivesNoAudio)
{
    AudioConverter converter(MakePcmFormat(2, 44100, 16), MakePcmFormat(1, 22050, 8), 25.0, 7056);
    std::vector<uint8_t> chunk(7056);
    EXPECT_NE(converter.ConvertAudio(chunk.data()), nullptr);
    EXPECT_EQ(converter.ConvertAudio(nullptr), nullptr);

    // A source with no audio converts nothing.
    AudioConverter silent(WAVEFORMATEX{}, MakePcmFormat(1, 22050, 8), 25.0, 0);
    EXPECT_TRUE(silent.IsPassThrough());
    EXPECT_EQ(silent.ConvertAudio(nullptr), nullptr);
}

TEST(AudioConverter, SilenceIn8BitOutputIs128)
{
    const WAVEFORMATEX source = MakePcmFormat(2, 44100, 16);
    const WAVEFORMATEX output = MakePcmFormat(1, 22050, 8);
    AudioConverter converter(source, output, 29.97, 5885);
    std::vector<uint8_t> silence(5885, 0);
    for (int frame = 0; frame < 10; ++frame) {
        const uint8_t* converted = converter.ConvertAudio(silence.data());
        ASSERT_NE(converted, nullptr);
        for (uint32_t i = 0; i < converter.ConvertedChunkSize(); ++i)
            ASSERT_EQ(converted[i], 128) << "frame " << frame << " byte " << i;
    }
}

// Output frame k carries source chunk k, however long the run: a burst that starts in
// the source 59.5 s in (chunk b) starts in the writer's share of frame b, and the output
// is exactly one share per chunk read. The frame is the yardstick, not the second:
// chunk and share are both truncated to whole bytes, so they need not last 1 / rate s.
// (Converting at the nominal rate ratio instead would drift: at 29.97 fps the source
// gives 735.6 output bytes per frame against the 735 taken, 1.5 frames after 60 s.)
TEST(AudioConverter, OutputFrameKCarriesSourceChunkKOverALongRun)
{
    struct Case {
        WAVEFORMATEX source, output;
        double frameRate;
    };
    const Case cases[] = {{MakePcmFormat(2, 44100, 16), MakePcmFormat(1, 22050, 8), 29.97},
                          {MakePcmFormat(1, 11025, 8), MakePcmFormat(2, 48000, 16), 23.976},
                          {MakePcmFormat(2, 48000, 16), MakePcmFormat(2, 44100, 16), 30.0}};
    for (const Case& c : cases) {
        // Fields of the packed format are copied, never bound to references.
        SCOPED_TRACE(testing::Message() << uint32_t{c.source.nSamplesPerSec} << " Hz -> "
                                        << uint32_t{c.output.nSamplesPerSec} << " Hz at " << c.frameRate);
        const double burstStart = 59.5;
        const auto stream = Tone(c.source, 60.0, 1000.0, 0.5, burstStart, burstStart + 0.2);
        const int32_t chunkSize = ChunkSize(c.source, c.frameRate);
        AudioConverter converter(c.source, c.output, c.frameRate, chunkSize);
        size_t frames = 0;
        const auto converted = ConvertStream(converter, stream, static_cast<size_t>(chunkSize), &frames);
        EXPECT_EQ(frames, (stream.size() + chunkSize - 1) / chunkSize);
        EXPECT_EQ(converted.size(), frames * converter.ConvertedChunkSize());

        const double sourceFrame =
            std::ceil(burstStart * c.source.nSamplesPerSec) * c.source.nBlockAlign / chunkSize;
        const auto x = Channel(converted, c.output, 0);
        const double threshold = c.output.wBitsPerSample == 8 ? 10 : 2000;
        const auto loud = std::find_if(x.begin(), x.end(), [&](double v) { return std::abs(v) > threshold; });
        ASSERT_NE(loud, x.end());
        const double outputFrame =
            static_cast<double>(loud - x.begin()) * c.output.nBlockAlign / converter.ConvertedChunkSize();
        // Never early; late only by the resampler's start-up delay (under 5 ms).
        const double fiveMs = 0.005 * c.output.nAvgBytesPerSec / converter.ConvertedChunkSize();
        EXPECT_GE(outputFrame, sourceFrame - 0.001);
        EXPECT_LE(outputFrame, sourceFrame + fiveMs);
    }
}

TEST(AudioConverter, RefusesFormatsItCannotConvert)
{
    WAVEFORMATEX adpcm = MakePcmFormat(2, 44100, 16);
    adpcm.wFormatTag = 2;
    EXPECT_THROW(AudioConverter(adpcm, MakePcmFormat(1, 22050, 8), 25.0, 7056), CMyException);
    WAVEFORMATEX oddBits = MakePcmFormat(1, 44100, 16);
    oddBits.wBitsPerSample = 12;
    EXPECT_THROW(AudioConverter(oddBits, MakePcmFormat(1, 22050, 8), 25.0, 3528), CMyException);
    WAVEFORMATEX badBlock = MakePcmFormat(2, 44100, 16);
    badBlock.nBlockAlign = 3;
    EXPECT_THROW(AudioConverter(badBlock, MakePcmFormat(1, 22050, 8), 25.0, 7056), CMyException);
    // SampleRate settings outside 0 to 4 give a rate of 0.
    ConversionSettings settings;
    settings.SampleRate = 9;
    EXPECT_THROW(AudioConverter(MakePcmFormat(2, 44100, 16), MakeOutputAudioFormat(settings), 25.0, 7056), CMyException);
    EXPECT_THROW(AudioConverter(MakePcmFormat(2, 44100, 16), MakePcmFormat(1, 22050, 8), 0.0, 7056), CMyException);
}

TEST(MakeOutputAudioFormat, BuildsPcmFromTheSettings)
{
    ConversionSettings settings;
    settings.Channels = 0;
    settings.Bits = 0;
    settings.SampleRate = 1;
    const WAVEFORMATEX mono8 = MakeOutputAudioFormat(settings);
    EXPECT_EQ(int{mono8.wFormatTag}, WAVE_FORMAT_PCM);
    EXPECT_EQ(int{mono8.nChannels}, 1);
    EXPECT_EQ(uint32_t{mono8.nSamplesPerSec}, 22050u);
    EXPECT_EQ(int{mono8.wBitsPerSample}, 8);
    EXPECT_EQ(int{mono8.nBlockAlign}, 1);
    EXPECT_EQ(uint32_t{mono8.nAvgBytesPerSec}, 22050u);
    EXPECT_EQ(int{mono8.cbSize}, 0);

    settings.Channels = 1;
    settings.Bits = 1;
    const uint32_t rates[] = {11025, 22050, 32000, 44100, 48000, 0};
    for (int32_t index = 0; index < 6; ++index) {
        settings.SampleRate = index;
        const WAVEFORMATEX stereo16 = MakeOutputAudioFormat(settings);
        EXPECT_EQ(uint32_t{stereo16.nSamplesPerSec}, rates[index]);
        EXPECT_EQ(int{stereo16.nBlockAlign}, 4);
        EXPECT_EQ(uint32_t{stereo16.nAvgBytesPerSec}, 4 * rates[index]);
    }
}

}  // namespace
}  // namespace klova
