#include "engine/audio_converter.h"

#include "engine/audio_chunk_schedule.h"
#include "platform/errors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <stdexcept>
#include <vector>

namespace klova {
namespace {


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

// Feeds stream through a converter chunk by chunk, as the frame loop does: each frame's
// share of the source by the schedule, the last chunk padded with silence; collects
// what the writer would take.
std::vector<uint8_t> ConvertStream(AudioConverter& converter, const std::vector<uint8_t>& stream,
                                   const WAVEFORMATEX& source, double frameRate, size_t* frames = nullptr)
{
    AudioChunkSchedule schedule(source.nBlockAlign, source.nSamplesPerSec, frameRate);
    std::vector<uint8_t> output;
    std::vector<uint8_t> chunk(schedule.MaxChunkBytes());
    size_t count = 0;
    for (size_t offset = 0; offset < stream.size(); ++count) {
        const uint32_t length = schedule.NextChunkBytes();
        const size_t take = std::min<size_t>(length, stream.size() - offset);
        std::fill(chunk.begin(), chunk.end(), static_cast<uint8_t>(source.wBitsPerSample == 8 ? 0x80 : 0));
        std::copy_n(stream.begin() + static_cast<ptrdiff_t>(offset), take, chunk.begin());
        offset += take;
        uint32_t convertedLength = 0;
        const uint8_t* converted = converter.ConvertAudio(chunk.data(), length, &convertedLength);
        EXPECT_NE(converted, nullptr);
        EXPECT_LE(convertedLength, converter.MaxConvertedChunkSize());
        output.insert(output.end(), converted, converted + convertedLength);
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

TEST(AudioChunkSchedule, TotalsAreTheNearestWholeBlocksAfterEveryFrame)
{
    struct Case {
        uint32_t blockAlign, rate;
        double frameRate;
        int64_t num, den;  // the frame rate as the output file states it
    };
    for (const Case& c : {Case{4, 44100, 25.0, 25, 1}, Case{4, 44100, 29.97, 30000, 1001},
                          Case{1, 11025, 29.97, 30000, 1001}, Case{2, 48000, 23.976, 24000, 1001},
                          Case{1, 8000, 100000.0, 100000, 1}, Case{6, 22050, 15.0, 15, 1}}) {
        SCOPED_TRACE(testing::Message() << c.rate << " Hz at " << c.frameRate);
        AudioChunkSchedule schedule(c.blockAlign, c.rate, c.frameRate);
        uint64_t bytes = 0;
        uint32_t smallest = UINT32_MAX, largest = 0;
        for (uint64_t frame = 1; frame <= 20000; ++frame) {
            const uint32_t chunk = schedule.NextChunkBytes();
            ASSERT_EQ(chunk % c.blockAlign, 0u);
            ASSERT_LE(chunk, schedule.MaxChunkBytes());
            smallest = std::min(smallest, chunk);
            largest = std::max(largest, chunk);
            bytes += chunk;
            const double exact = static_cast<double>(frame) * c.rate * c.den / c.num;
            ASSERT_LE(std::abs(static_cast<double>(bytes / c.blockAlign) - exact), 0.5) << "frame " << frame;
        }
        EXPECT_LE(largest - smallest, c.blockAlign);  // chunks differ by one block at most
    }
    // 29.97 fps, 44.1 kHz stereo: 1,471 or 1,472 blocks, 1,471.47 on average.
    AudioChunkSchedule ntsc(4, 44100, 30000.0 / 1001.0);
    EXPECT_EQ(ntsc.MaxChunkBytes(), 1472u * 4);
    EXPECT_EQ(ntsc.NextChunkBytes(), 1471u * 4);
    EXPECT_EQ(ntsc.BlocksAfter(30000), 44100u * 1001);
    // Two hours of 23.976 fps: not a block off.
    AudioChunkSchedule film(4, 48000, 24000.0 / 1001.0);
    const uint64_t frames = 2 * 3600 * 24000 / 1001;
    EXPECT_EQ(film.BlocksAfter(frames), (frames * 48000 * 1001 + 12000) / 24000);
    EXPECT_THROW(AudioChunkSchedule(0, 44100, 25.0), std::invalid_argument);
    EXPECT_THROW(AudioChunkSchedule(4, 44100, 0.0), std::invalid_argument);
    EXPECT_THROW(AudioChunkSchedule(1, 8000, 9e6), std::invalid_argument);  // no fraction a file can state
    EXPECT_EQ(AudioChunkSchedule().NextChunkBytes(), 0u);
}

TEST(AudioConverter, CdStereoToHalfRateMono8BitAt25Fps)
{
    const WAVEFORMATEX source = MakePcmFormat(2, 44100, 16);
    const WAVEFORMATEX output = MakePcmFormat(1, 22050, 8);
    AudioConverter converter(source, output, 25.0);
    EXPECT_FALSE(converter.IsPassThrough());
    EXPECT_EQ(converter.MaxConvertedChunkSize(), 883u);

    const auto stream = Tone(source, 2.0, 1000.0, 0.5);
    size_t frames = 0;
    const auto converted = ConvertStream(converter, stream, source, 25.0, &frames);
    EXPECT_EQ(frames, 50u);
    EXPECT_EQ(converted.size(), 50u * 882);
    // 8-bit output: amplitude 0.5 of full scale is about 63.5 around 128.
    ExpectCleanTone(Channel(converted, output, 0), 22050, 1000.0, 63.5, 2.0, 441);
}

// At 29.97 frames per second neither rate divides: frames carry 1,471 or 1,472 source
// blocks and 735 or 736 output bytes, and the tone stays clean across them.
TEST(AudioConverter, CdStereoToHalfRateMono8BitAtNtscRate)
{
    const WAVEFORMATEX source = MakePcmFormat(2, 44100, 16);
    const WAVEFORMATEX output = MakePcmFormat(1, 22050, 8);
    AudioConverter converter(source, output, 29.97);
    const auto converted = ConvertStream(converter, Tone(source, 3.0, 1000.0, 0.5), source, 29.97);
    ExpectCleanTone(Channel(converted, output, 0), 22050, 1000.0, 63.5, 3.0, 441);
}

TEST(AudioConverter, Mono8BitLowRateToStereo16Bit48k)
{
    const WAVEFORMATEX source = MakePcmFormat(1, 11025, 8);
    const WAVEFORMATEX output = MakePcmFormat(2, 48000, 16);
    AudioConverter converter(source, output, 25.0);

    const auto converted = ConvertStream(converter, Tone(source, 2.0, 1000.0, 0.5), source, 25.0);
    EXPECT_EQ(converted.size(), 50u * 7680);
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
    AudioConverter converter(source, output, 25.0);
    const auto converted = ConvertStream(converter, Tone(source, 1.0, 440.0, 0.2), source, 25.0);
    const ToneShape shape = Analyse(Channel(converted, output, 0), 2000, converted.size() / 4 - 2000);
    EXPECT_NEAR(shape.zeroCrossings, 2 * 440.0 * (converted.size() / 4 - 4000) / 44100, 4);
    EXPECT_GT(shape.peak, 1000);
}

TEST(AudioConverter, EqualFormatsPassTheChunkThrough)
{
    const WAVEFORMATEX format = MakePcmFormat(2, 44100, 16);
    AudioConverter converter(format, format, 25.0);
    EXPECT_TRUE(converter.IsPassThrough());
    std::vector<uint8_t> chunk(7056, 0x5A);
    uint32_t length = 0;
    EXPECT_EQ(converter.ConvertAudio(chunk.data(), 7056, &length), chunk.data());
    EXPECT_EQ(length, 7056u);
    EXPECT_EQ(converter.ConvertAudio(nullptr, 0, &length), nullptr);
    EXPECT_EQ(length, 0u);
}

TEST(AudioConverter, NoChunkGivesNoAudio)
{
    AudioConverter converter(MakePcmFormat(2, 44100, 16), MakePcmFormat(1, 22050, 8), 25.0);
    std::vector<uint8_t> chunk(7056);
    uint32_t length = 0;
    EXPECT_NE(converter.ConvertAudio(chunk.data(), 7056, &length), nullptr);
    EXPECT_EQ(length, 882u);
    EXPECT_EQ(converter.ConvertAudio(nullptr, 0, &length), nullptr);

    // A source with no audio converts nothing.
    AudioConverter silent(WAVEFORMATEX{}, MakePcmFormat(1, 22050, 8), 25.0);
    EXPECT_TRUE(silent.IsPassThrough());
    EXPECT_EQ(silent.ConvertAudio(nullptr, 0, &length), nullptr);
}

TEST(AudioConverter, SilenceIn8BitOutputIs128)
{
    const WAVEFORMATEX source = MakePcmFormat(2, 44100, 16);
    const WAVEFORMATEX output = MakePcmFormat(1, 22050, 8);
    AudioConverter converter(source, output, 29.97);
    std::vector<uint8_t> silence(5888, 0);
    for (int frame = 0; frame < 10; ++frame) {
        uint32_t length = 0;
        const uint8_t* converted = converter.ConvertAudio(silence.data(), frame % 2 ? 5888 : 5884, &length);
        ASSERT_NE(converted, nullptr);
        ASSERT_GE(length, 735u);
        for (uint32_t i = 0; i < length; ++i)
            ASSERT_EQ(converted[i], 128) << "frame " << frame << " byte " << i;
    }
}

// The sound keeps to the frames and to its pitch however long the run: a burst 119.5 s
// into the source is 119.5 s into the output (late only by the resampler's delay), the
// output holds exactly the output schedule's share of every frame, and a 1 kHz tone
// comes out at 1 kHz. (Chunks truncated to whole bytes and resampled by their ratio, as
// before, gave a tone 0.22 % sharp and a sound that ended 8 frames early after 120 s at
// 29.97 fps and 11,025 Hz.)
TEST(AudioConverter, TheSoundKeepsItsTimeAndPitchOverTwoMinutes)
{
    struct Case {
        WAVEFORMATEX source, output;
        double frameRate;
    };
    const Case cases[] = {{MakePcmFormat(2, 44100, 16), MakePcmFormat(1, 11025, 8), 29.97},
                          {MakePcmFormat(1, 11025, 8), MakePcmFormat(2, 48000, 16), 23.976},
                          {MakePcmFormat(2, 48000, 16), MakePcmFormat(2, 44100, 16), 30.0}};
    for (const Case& c : cases) {
        // Fields of the packed format are copied, never bound to references.
        SCOPED_TRACE(testing::Message() << uint32_t{c.source.nSamplesPerSec} << " Hz -> "
                                        << uint32_t{c.output.nSamplesPerSec} << " Hz at " << c.frameRate);
        const double seconds = 120.0;
        const double burstStart = seconds - 0.5;
        const auto stream = Tone(c.source, seconds, 1000.0, 0.5, burstStart - 2.0, burstStart - 1.0);
        std::vector<uint8_t> withBurst = stream;
        const auto burst = Tone(c.source, seconds, 1000.0, 0.5, burstStart, burstStart + 0.2);
        const size_t burstByte = static_cast<size_t>(std::ceil(burstStart * c.source.nSamplesPerSec)) *
                                 c.source.nBlockAlign;
        std::copy(burst.begin() + static_cast<ptrdiff_t>(burstByte), burst.end(),
                  withBurst.begin() + static_cast<ptrdiff_t>(burstByte));
        AudioConverter converter(c.source, c.output, c.frameRate);
        size_t frames = 0;
        const auto converted = ConvertStream(converter, withBurst, c.source, c.frameRate, &frames);
        AudioChunkSchedule outputSchedule(c.output.nBlockAlign, c.output.nSamplesPerSec, c.frameRate);
        EXPECT_EQ(converted.size() / c.output.nBlockAlign, outputSchedule.BlocksAfter(frames));

        const auto x = Channel(converted, c.output, 0);
        const double rate = c.output.nSamplesPerSec;
        // The pitch, over the second of tone before the burst.
        const auto firstTone = static_cast<size_t>((burstStart - 1.9) * rate);
        const ToneShape tone = Analyse(x, firstTone, firstTone + static_cast<size_t>(0.8 * rate));
        EXPECT_NEAR(tone.zeroCrossings / 2.0 / 0.8, 1000.0, 1.0);  // 0.22 % sharp would be 1002.2 Hz
        // The burst's place.
        const double threshold = c.output.wBitsPerSample == 8 ? 10 : 2000;
        const auto from = x.begin() + static_cast<ptrdiff_t>((burstStart - 0.4) * rate);
        const auto loud = std::find_if(from, x.end(), [&](double v) { return std::abs(v) > threshold; });
        ASSERT_NE(loud, x.end());
        const double outputSeconds = static_cast<double>(loud - x.begin()) / rate;
        EXPECT_GE(outputSeconds, burstStart - 0.001);
        EXPECT_LE(outputSeconds, burstStart + 0.005);
    }
}

TEST(AudioConverter, RefusesFormatsItCannotConvert)
{
    WAVEFORMATEX adpcm = MakePcmFormat(2, 44100, 16);
    adpcm.wFormatTag = 2;
    EXPECT_THROW(AudioConverter(adpcm, MakePcmFormat(1, 22050, 8), 25.0), CMyException);
    WAVEFORMATEX oddBits = MakePcmFormat(1, 44100, 16);
    oddBits.wBitsPerSample = 12;
    EXPECT_THROW(AudioConverter(oddBits, MakePcmFormat(1, 22050, 8), 25.0), CMyException);
    WAVEFORMATEX badBlock = MakePcmFormat(2, 44100, 16);
    badBlock.nBlockAlign = 3;
    EXPECT_THROW(AudioConverter(badBlock, MakePcmFormat(1, 22050, 8), 25.0), CMyException);
    // SampleRate settings outside 0 to 4 give a rate of 0.
    ConversionSettings settings;
    settings.SampleRate = 9;
    EXPECT_THROW(AudioConverter(MakePcmFormat(2, 44100, 16), MakeOutputAudioFormat(settings), 25.0), CMyException);
    EXPECT_THROW(AudioConverter(MakePcmFormat(2, 44100, 16), MakePcmFormat(1, 22050, 8), 0.0), CMyException);
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
