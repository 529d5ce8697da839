// Cutting one output frame's worth of audio per chunk into whole-block samples.
#include "media_out/audio_chunker.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace klova {
namespace {

// Feeds `chunks` chunks of consecutive byte values; returns the sample lengths and
// appends the sample bytes to *stream.
std::vector<uint32_t> FeedChunks(AudioChunker& chunker, int chunks, std::vector<uint8_t>* input, std::vector<uint8_t>* stream)
{
    std::vector<uint32_t> lengths;
    std::vector<uint8_t> chunk(chunker.chunkBytes());
    std::vector<uint8_t> sample(chunker.sampleBytes());
    for (int i = 0; i < chunks; ++i) {
        for (uint8_t& byte : chunk)
            byte = static_cast<uint8_t>(input->size() * 7 + 3), input->push_back(byte);
        const uint32_t length = chunker.Fill(chunk.data(), sample.data());
        EXPECT_LE(length, chunker.sampleBytes());
        stream->insert(stream->end(), sample.begin(), sample.begin() + length);
        lengths.push_back(length);
    }
    return lengths;
}

TEST(AudioChunker, WholeBlocksPerFrameGiveEqualSamples)
{
    AudioChunker chunker;
    ASSERT_TRUE(chunker.Configure(176400, 4, 25.0));  // 44,100 Hz, 16-bit stereo
    EXPECT_EQ(chunker.chunkBytes(), 7056u);
    std::vector<uint8_t> input;
    std::vector<uint8_t> stream;
    for (uint32_t length : FeedChunks(chunker, 10, &input, &stream))
        EXPECT_EQ(length, 7056u);
    EXPECT_EQ(stream, input);
}

TEST(AudioChunker, CarriedBytesGrowEveryFourthSampleAt2997)
{
    AudioChunker chunker;
    ASSERT_TRUE(chunker.Configure(176400, 4, 29.97));
    EXPECT_EQ(chunker.chunkBytes(), 5885u);  // one byte beyond 1,471 blocks
    EXPECT_EQ(chunker.sampleBytes(), 5888u);
    std::vector<uint8_t> input;
    std::vector<uint8_t> stream;
    const std::vector<uint32_t> lengths = FeedChunks(chunker, 12, &input, &stream);
    for (size_t i = 0; i < lengths.size(); ++i)
        EXPECT_EQ(lengths[i], i % 4 == 3 ? 5888u : 5884u) << "sample " << i;
    EXPECT_EQ(chunker.carryLength(), 0u);
    EXPECT_EQ(stream, input);  // nothing lost, nothing repeated
}

TEST(AudioChunker, StreamIsPreservedForAnyBlockAndRate)
{
    for (uint32_t blockAlign : {1u, 2u, 3u, 4u, 6u, 8u}) {
        for (double rate : {1.0, 10.0, 23.976, 29.97, 59.94, 1000.0, 11025.0}) {
            AudioChunker chunker;
            ASSERT_TRUE(chunker.Configure(11025 * blockAlign, blockAlign, rate));
            std::vector<uint8_t> input;
            std::vector<uint8_t> stream;
            for (uint32_t length : FeedChunks(chunker, 40, &input, &stream))
                EXPECT_EQ(length % blockAlign, 0u);
            // Everything handed in is out, but for less than one block still carried.
            ASSERT_EQ(stream.size() + chunker.carryLength(), input.size()) << blockAlign << " " << rate;
            EXPECT_LT(chunker.carryLength(), blockAlign);
            EXPECT_TRUE(std::equal(stream.begin(), stream.end(), input.begin())) << blockAlign << " " << rate;
        }
    }
}

TEST(AudioChunker, LessThanOneBlockPerFrameStillKeepsOrder)
{
    AudioChunker chunker;
    ASSERT_TRUE(chunker.Configure(20, 4, 10.0));  // two bytes a frame, four-byte blocks
    std::vector<uint8_t> input;
    std::vector<uint8_t> stream;
    const std::vector<uint32_t> lengths = FeedChunks(chunker, 6, &input, &stream);
    EXPECT_EQ(lengths, (std::vector<uint32_t>{0, 4, 0, 4, 0, 4}));
    EXPECT_EQ(stream, input);
}

TEST(AudioChunker, RefusesFormatsWithoutBlocksOrRate)
{
    AudioChunker chunker;
    EXPECT_FALSE(chunker.Configure(176400, 0, 25.0));
    EXPECT_FALSE(chunker.Configure(176400, 4, 0.0));
    EXPECT_FALSE(chunker.Configure(176400, 4, -25.0));
}

}  // namespace
}  // namespace klova
