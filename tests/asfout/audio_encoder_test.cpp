#include "asfout/audio_encoder.h"

#include "asfout/asf_error.h"
#include "tests/asfout/capturing_sink.h"
#include "tests/asfout/synthetic_media.h"
#include "tests/support/test_names.h"

#include <gtest/gtest.h>

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

// Feeds `chunks` chunks of a continuous byte stream (its content does not matter for
// timing) and ends the stream.
CapturingSink EncodeChunks(AudioEncoder& encoder, int chunks)
{
    CapturingSink sink;
    std::vector<uint8_t> chunk(encoder.ChunkBytes());
    klova::test::ToneSource tone(44100, 2, 1000.0, 0.5);
    for (int i = 0; i < chunks; ++i) {
        tone.Fill(chunk.data(), chunk.size());
        encoder.Write(chunk.data(), sink);
    }
    encoder.Finish(sink);
    return sink;
}

TEST(AudioEncoder, TakesTruncatedBytesPerSecondOverFrameRateFromEachChunk)
{
    EXPECT_EQ(AudioEncoder(Pcm(2, 44100, 16), 29.97, kProfile, false, 1).ChunkBytes(), 5885u);
    EXPECT_EQ(AudioEncoder(Pcm(2, 44100, 16), 25.0, kProfile, false, 1).ChunkBytes(), 7056u);
    EXPECT_EQ(AudioEncoder(Pcm(1, 11025, 8), 30.0, kProfile, false, 1).ChunkBytes(), 367u);
    EXPECT_EQ(AudioEncoder(Pcm(2, 48000, 16), 30000.0 / 1001.0, kProfile, false, 1).ChunkBytes(), 6406u);
}

TEST(AudioEncoder, PacketsCoverEverySampleOfChunksThatSplitBlocks)
{
    AudioEncoder encoder(Pcm(2, 44100, 16), 29.97, kProfile, false, 1);
    const int chunks = 300;
    const CapturingSink sink = EncodeChunks(encoder, chunks);
    const int64_t frameSize = encoder.CodecContext().frame_size;
    const int64_t soundSamples = chunks * 5885 / 4;  // whole blocks of the byte stream

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
    std::vector<uint8_t> chunk(encoder.ChunkBytes(), 0x40);
    for (int i = 0; i < 50; ++i)  // two seconds
        encoder.Write(chunk.data(), sink);
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

TEST(AudioEncoder, ChunkShorterThanABlockStillAddsUp)
{
    // 30 bytes per second at 25 frames per second: one byte per chunk, so a 16-bit
    // stereo block completes every fourth chunk.
    PcmFormat format = Pcm(2, 44100, 16);
    format.avgBytesPerSec = 30;
    AudioEncoder encoder(format, 25.0, kProfile, false, 1);
    ASSERT_EQ(encoder.ChunkBytes(), 1u);
    CapturingSink sink;
    const uint8_t byte = 7;
    for (int i = 0; i < 4 * 5000; ++i)
        encoder.Write(&byte, sink);
    encoder.Finish(sink);
    ASSERT_FALSE(sink.packets.empty());
    EXPECT_EQ(sink.packets.back().pts + sink.packets.back().duration, 5000);
}

}  // namespace
