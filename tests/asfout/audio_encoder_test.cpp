#include "asfout/audio_encoder.h"

#include "asfout/asf_error.h"
#include "tests/asfout/capturing_sink.h"
#include "tests/asfout/synthetic_media.h"
#include "tests/support/test_names.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

using asfout::AsfError;
using asfout::AudioEncoder;
using asfout::AudioStreamProfile;
using asfout::PcmFormat;
using klova::test::CapturingSink;

PcmFormat Pcm(uint16_t channels, uint32_t rate, uint16_t bits, uint16_t tag = 1)
{
    PcmFormat format;
    format.formatTag = tag;
    format.channels = channels;
    format.samplesPerSec = rate;
    format.bitsPerSample = bits;
    format.blockAlign = static_cast<uint16_t>(channels * bits / 8);
    format.avgBytesPerSec = rate * format.blockAlign;
    return format;
}

const AudioStreamProfile kProfile{128'000, 2};

// Feeds `chunks` frames' shares of a continuous 44.1 kHz stereo stream (its content
// does not matter for timing) and ends the stream; *bytes gets the total handed in.
CapturingSink EncodeChunks(AudioEncoder& encoder, double framesPerSecond, int chunks, int64_t* bytes)
{
    CapturingSink sink;
    std::vector<uint8_t> chunk(encoder.MaxChunkBytes());
    klova::test::ToneSource tone(44100, 2, 1000.0, 0.5);
    *bytes = 0;
    for (int i = 0; i < chunks; ++i) {
        const size_t length = klova::test::FrameShareBytes(44100, 4, framesPerSecond, i);
        tone.Fill(chunk.data(), length);
        encoder.Write(chunk.data(), length, sink);
        *bytes += static_cast<int64_t>(length);
    }
    encoder.Finish(sink);
    return sink;
}

TEST(AudioEncoder, ChunksHoldAFrameShareOfTheRateRoundedUpWithABlockToSpare)
{
    EXPECT_EQ(AudioEncoder(Pcm(2, 44100, 16), 29.97, kProfile, false, 1).MaxChunkBytes(), 1473u * 4);
    EXPECT_EQ(AudioEncoder(Pcm(2, 44100, 16), 25.0, kProfile, false, 1).MaxChunkBytes(), 1766u * 4);
    EXPECT_EQ(AudioEncoder(Pcm(1, 11025, 8), 30.0, kProfile, false, 1).MaxChunkBytes(), 369u);
}

TEST(AudioEncoder, PacketsCoverEverySampleOfChunksOfVaryingLength)
{
    AudioEncoder encoder(Pcm(2, 44100, 16), 29.97, kProfile, false, 1);
    const int chunks = 300;
    int64_t bytes = 0;
    const CapturingSink sink = EncodeChunks(encoder, 29.97, chunks, &bytes);
    const int64_t frameSize = encoder.CodecContext().frame_size;
    const int64_t soundSamples = bytes / 4;
    EXPECT_EQ(soundSamples, std::llround(chunks * 44100 / 29.97));

    ASSERT_FALSE(sink.packets.empty());
    EXPECT_EQ(sink.packets.front().pts, -frameSize);  // the encoder's priming
    for (size_t i = 0; i + 1 < sink.packets.size(); ++i) {
        EXPECT_EQ(sink.packets[i].duration, frameSize);
        EXPECT_EQ(sink.packets[i + 1].pts, sink.packets[i].pts + frameSize) << "gap after packet " << i;
    }
    const auto& last = sink.packets.back();
    EXPECT_EQ(last.pts + last.duration, soundSamples);
    EXPECT_EQ(last.streamIndex, 1);
    EXPECT_EQ(last.timeBase.num, 1);
    EXPECT_EQ(last.timeBase.den, 44100);
}

struct LayoutCase {
    PcmFormat format;
    int outputChannels;
    int outputRate;
};

void PrintTo(const LayoutCase& c, std::ostream* out)
{
    *out << c.format.channels << " ch " << c.format.samplesPerSec << " Hz " << c.format.bitsPerSample << " bit"
         << (c.format.formatTag == 3 ? " float" : "");
}

class AudioEncoderLayout : public testing::TestWithParam<LayoutCase> {};

TEST_P(AudioEncoderLayout, ConvertsToWhatTheCodecTakesAndKeepsTheDuration)
{
    const LayoutCase& c = GetParam();
    AudioEncoder encoder(c.format, 25.0, kProfile, false, 1);
    EXPECT_EQ(encoder.CodecContext().ch_layout.nb_channels, c.outputChannels);
    EXPECT_EQ(encoder.CodecContext().sample_rate, c.outputRate);

    CapturingSink sink;
    std::vector<uint8_t> chunk(encoder.MaxChunkBytes(), 0x40);
    for (int i = 0; i < 50; ++i)  // two seconds
        encoder.Write(chunk.data(),
                      klova::test::FrameShareBytes(c.format.samplesPerSec, c.format.blockAlign, 25.0, i), sink);
    encoder.Finish(sink);
    ASSERT_FALSE(sink.packets.empty());
    const auto& last = sink.packets.back();
    const double seconds = static_cast<double>(last.pts + last.duration) / c.outputRate;
    EXPECT_NEAR(seconds, 2.0, 0.01);
}

INSTANTIATE_TEST_SUITE_P(Formats, AudioEncoderLayout,
                         testing::Values(LayoutCase{Pcm(1, 11025, 8), 1, 11025}, LayoutCase{Pcm(2, 22050, 8), 2, 22050},
                                         LayoutCase{Pcm(6, 48000, 16), 2, 48000}, LayoutCase{Pcm(2, 96000, 16), 2, 48000},
                                         LayoutCase{Pcm(2, 88200, 16), 2, 44100}, LayoutCase{Pcm(1, 4000, 16), 1, 8000},
                                         LayoutCase{Pcm(2, 32000, 32), 2, 32000},
                                         LayoutCase{Pcm(2, 44100, 32, 3), 2, 44100}),
                         klova::test::PrintedName());

TEST(AudioEncoder, RefusesFormatsItCannotRead)
{
    PcmFormat noBlock = Pcm(2, 44100, 16);
    noBlock.blockAlign = 0;
    PcmFormat wrongBlock = Pcm(2, 44100, 16);
    wrongBlock.blockAlign = 3;
    const PcmFormat refused[] = {noBlock, wrongBlock, Pcm(2, 44100, 24), Pcm(0, 44100, 16), Pcm(9, 44100, 16),
                                 Pcm(2, 500, 16), Pcm(2, 500'000, 16), Pcm(2, 44100, 16, 2), Pcm(2, 44100, 16, 3)};
    for (const PcmFormat& format : refused)
        EXPECT_THROW(AudioEncoder(format, 25.0, kProfile, false, 1), AsfError)
            << format.formatTag << " " << format.channels << " " << format.samplesPerSec << " " << format.bitsPerSample;
    EXPECT_THROW(AudioEncoder(Pcm(2, 44100, 16), 0.0, kProfile, false, 1), AsfError);
}

TEST(AudioEncoder, EndingWithoutSoundWritesNothing)
{
    AudioEncoder encoder(Pcm(2, 44100, 16), 25.0, kProfile, false, 1);
    CapturingSink sink;
    encoder.Finish(sink);
    EXPECT_TRUE(sink.packets.empty());
}

TEST(AudioEncoder, ChunksThatSplitBlocksOrRunLongStillAddUp)
{
    // One byte per chunk: a 16-bit stereo block completes every fourth chunk.
    AudioEncoder encoder(Pcm(2, 44100, 16), 25.0, kProfile, false, 1);
    CapturingSink sink;
    const uint8_t byte = 7;
    for (int i = 0; i < 4 * 2500; ++i)
        encoder.Write(&byte, 1, sink);
    // A chunk far longer than a frame's share is taken whole.
    const std::vector<uint8_t> longChunk(2500 * 4, 0);
    encoder.Write(longChunk.data(), longChunk.size(), sink);
    encoder.Finish(sink);
    ASSERT_FALSE(sink.packets.empty());
    EXPECT_EQ(sink.packets.back().pts + sink.packets.back().duration, 5000);
}

}  // namespace
