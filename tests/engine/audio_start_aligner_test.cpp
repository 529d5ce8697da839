// The start alignment of the sound against the first video frame, on a synthetic
// source whose bytes count up, so every byte handed out can be traced to its origin.
#include "engine/audio_start_aligner.h"

#include <gtest/gtest.h>

#include <vector>

namespace klova {
namespace {

constexpr uint32_t kPiece = 400;  // bytes per source piece: 100 blocks of 16-bit stereo

// 16-bit stereo at 1,000 Hz: 4 bytes per block, 4,000 bytes per second.
WAVEFORMATEX Format(uint16_t bits = 16) { return MakePcmFormat(2, 1000, bits); }

// Hands out `pieces` pieces of kPiece bytes; byte n of the stream is n % 251 + 1 (never
// 0 or 0x80, the silences). The first piece starts at `start`.
class CountingSource {
public:
    CountingSource(int pieces, MediaTime start) : pieces_(pieces), start_(start), piece_(kPiece) {}

    AudioStartAligner::Source Callable()
    {
        return [this](uint32_t* length, MediaTime* start) -> const uint8_t* {
            if (handedOut_ == pieces_) {
                *length = 0;
                *start = 0;
                return piece_.data();
            }
            for (uint32_t i = 0; i < kPiece; ++i)
                piece_[i] = static_cast<uint8_t>((handedOut_ * kPiece + i) % 251 + 1);
            *length = kPiece;
            *start = start_ + MediaTime{handedOut_} * kPiece / 4 * kUnitsPerSecond / 1000;
            ++handedOut_;
            return piece_.data();
        };
    }

private:
    int pieces_;
    MediaTime start_;
    int handedOut_ = 0;
    std::vector<uint8_t> piece_;
};

std::vector<uint8_t> ReadAll(AudioStartAligner& aligner)
{
    std::vector<uint8_t> all;
    for (;;) {
        uint32_t length = 0;
        const uint8_t* piece = aligner.Next(&length);
        if (length == 0)
            return all;
        EXPECT_LE(length, kPiece);
        all.insert(all.end(), piece, piece + length);
    }
}

uint8_t SourceByte(size_t n) { return static_cast<uint8_t>(n % 251 + 1); }

TEST(AudioStartAligner, SoundStartingAfterThePictureIsPrecededBySilence)
{
    // The sound starts 0.25 s after the first frame (which is at 1 s): 1,000 bytes of silence.
    CountingSource source(3, 12'500'000);
    AudioStartAligner aligner(Format(), kPiece, source.Callable());
    aligner.SetVideoStart(10'000'000);
    const std::vector<uint8_t> all = ReadAll(aligner);
    ASSERT_EQ(all.size(), 1000u + 3 * kPiece);
    for (size_t i = 0; i < 1000; ++i)
        ASSERT_EQ(all[i], 0) << i;
    for (size_t i = 0; i < 3 * kPiece; ++i)
        ASSERT_EQ(all[1000 + i], SourceByte(i)) << i;
}

TEST(AudioStartAligner, SoundStartingBeforeThePictureLosesItsHead)
{
    // The picture starts 0.15 s (600 bytes) after the sound: the whole first piece and
    // half of the second go.
    CountingSource source(3, 0);
    AudioStartAligner aligner(Format(), kPiece, source.Callable());
    aligner.SetVideoStart(1'500'000);
    const std::vector<uint8_t> all = ReadAll(aligner);
    ASSERT_EQ(all.size(), 3 * kPiece - 600);
    for (size_t i = 0; i < all.size(); ++i)
        ASSERT_EQ(all[i], SourceByte(600 + i)) << i;
}

TEST(AudioStartAligner, OffsetsRoundToWholeBlocks)
{
    // 0.4 ms late at 1,000 Hz is less than half a block: nothing changes. 1.6 ms is two blocks.
    CountingSource slightly(1, 4'000);
    AudioStartAligner nearlyAligned(Format(), kPiece, slightly.Callable());
    nearlyAligned.SetVideoStart(0);
    EXPECT_EQ(ReadAll(nearlyAligned).size(), kPiece);

    CountingSource late(1, 16'000);
    AudioStartAligner twoBlocks(Format(), kPiece, late.Callable());
    twoBlocks.SetVideoStart(0);
    const std::vector<uint8_t> all = ReadAll(twoBlocks);
    ASSERT_EQ(all.size(), kPiece + 8);
    EXPECT_EQ(all[7], 0);
    EXPECT_EQ(all[8], SourceByte(0));
}

TEST(AudioStartAligner, EightBitSilenceIsTheMiddleValue)
{
    CountingSource source(1, 5'000'000);
    AudioStartAligner aligner(MakePcmFormat(1, 1000, 8), kPiece, source.Callable());
    aligner.SetVideoStart(0);
    const std::vector<uint8_t> all = ReadAll(aligner);
    ASSERT_EQ(all.size(), 500u + kPiece);
    EXPECT_EQ(all[0], 0x80);
    EXPECT_EQ(all[499], 0x80);
}

TEST(AudioStartAligner, WithoutAVideoStartOrWithTooLittleSoundNothingBreaks)
{
    // No first frame: the sound as it comes.
    CountingSource untimed(2, 30'000'000);
    AudioStartAligner asItComes(Format(), kPiece, untimed.Callable());
    EXPECT_EQ(ReadAll(asItComes).size(), 2 * kPiece);

    // The picture starts after the sound has ended: no sound at all.
    CountingSource brief(2, 0);
    AudioStartAligner nothingLeft(Format(), kPiece, brief.Callable());
    nothingLeft.SetVideoStart(50'000'000);
    EXPECT_TRUE(ReadAll(nothingLeft).empty());
}

}  // namespace
}  // namespace klova
