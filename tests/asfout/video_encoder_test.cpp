#include "asfout/video_encoder.h"

#include "asfout/asf_error.h"
#include "tests/asfout/capturing_sink.h"
#include "tests/asfout/synthetic_media.h"
#include "tests/support/test_names.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

using asfout::AsfError;
using asfout::VideoEncoder;
using asfout::VideoStreamProfile;
using klova::test::CapturingSink;

VideoStreamProfile Profile(int32_t keyFrameSpacingMs = 3000, int32_t version = 8)
{
    VideoStreamProfile profile;
    profile.bitRate = 500'000;
    profile.keyFrameSpacingMs = keyFrameSpacingMs;
    profile.codecVersion = version;
    return profile;
}

CapturingSink EncodePattern(VideoEncoder& encoder, int width, int height, int frames)
{
    CapturingSink sink;
    std::vector<uint8_t> dib(klova::test::DibRowBytes(width) * height);
    for (int i = 0; i < frames; ++i) {
        klova::test::DrawPatternFrame(width, height, i, dib.data());
        encoder.Write(dib.data(), sink);
    }
    encoder.Finish(sink);
    return sink;
}

struct SizeCase {
    int width;
    int height;
    int codedWidth;
    int codedHeight;
};

void PrintTo(const SizeCase& c, std::ostream* out) { *out << c.width << "x" << c.height; }

class VideoEncoderSize : public testing::TestWithParam<SizeCase> {};

TEST_P(VideoEncoderSize, EncodesEverySizeAtAnEvenSize)
{
    const SizeCase& c = GetParam();
    for (const int version : {8, 7}) {
        VideoEncoder encoder(c.width, c.height, AVRational{25, 1}, AVRational{1, 1}, Profile(3000, version), false, 0);
        EXPECT_EQ(encoder.CodecContext().width, c.codedWidth);
        EXPECT_EQ(encoder.CodecContext().height, c.codedHeight);
        const CapturingSink sink = EncodePattern(encoder, c.width, c.height, 5);
        ASSERT_EQ(sink.packets.size(), 5u);
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(sink.packets[i].pts, i);
            EXPECT_EQ(sink.packets[i].duration, 1);
            EXPECT_EQ(sink.packets[i].streamIndex, 0);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, VideoEncoderSize,
                         testing::Values(SizeCase{320, 240, 320, 240}, SizeCase{321, 241, 320, 240},
                                         SizeCase{1, 1, 2, 2}, SizeCase{2, 3, 2, 2}, SizeCase{17, 9, 16, 8},
                                         SizeCase{1, 240, 2, 240}, SizeCase{176, 1, 176, 2}),
                         klova::test::PrintedName());

TEST(VideoEncoder, StampsFramesInTheFrameRateAndSpacesKeyFramesByTheProfile)
{
    VideoEncoder encoder(160, 120, AVRational{30000, 1001}, AVRational{1, 1}, Profile(2000), false, 0);
    EXPECT_EQ(encoder.CodecContext().time_base.num, 1001);
    EXPECT_EQ(encoder.CodecContext().time_base.den, 30000);
    const CapturingSink sink = EncodePattern(encoder, 160, 120, 150);
    ASSERT_EQ(sink.packets.size(), 150u);
    std::vector<int64_t> keys;
    for (const auto& packet : sink.packets)
        if (packet.key)
            keys.push_back(packet.pts);
    EXPECT_EQ(keys, (std::vector<int64_t>{0, 60, 120}));  // 2 s at 29.97 frames per second
}

// Frames are encoded on the encoder's own thread, but each is read before Write returns:
// the caller may reuse its buffer at once, and the packets are those of the frames as
// they were handed in, all of them, in order. Each frame is converted while the one
// before is still being encoded, so the same bytes also show that no frame's picture
// was overwritten while the encoder read it.
TEST(VideoEncoder, ReadsEachFrameBeforeWriteReturns)
{
    constexpr int kWidth = 320;
    constexpr int kHeight = 240;
    constexpr int kFrames = 25;
    VideoEncoder reference(kWidth, kHeight, AVRational{25, 1}, AVRational{1, 1}, Profile(), false, 0);
    const CapturingSink expected = EncodePattern(reference, kWidth, kHeight, kFrames);

    VideoEncoder encoder(kWidth, kHeight, AVRational{25, 1}, AVRational{1, 1}, Profile(), false, 0);
    CapturingSink sink;
    std::vector<uint8_t> dib(klova::test::DibRowBytes(kWidth) * kHeight);
    for (int i = 0; i < kFrames; ++i) {
        klova::test::DrawPatternFrame(kWidth, kHeight, i, dib.data());
        encoder.Write(dib.data(), sink);
        std::fill(dib.begin(), dib.end(), uint8_t{0});  // what a late read would see
    }
    encoder.Finish(sink);
    ASSERT_EQ(sink.packets.size(), expected.packets.size());
    for (size_t i = 0; i < sink.packets.size(); ++i) {
        EXPECT_EQ(sink.packets[i].pts, static_cast<int64_t>(i));
        EXPECT_EQ(sink.packets[i].bytes, expected.packets[i].bytes) << "packet " << i;
    }
}

TEST(VideoEncoder, MayBeDestroyedWithAFrameBeingEncoded)
{
    VideoEncoder encoder(320, 240, AVRational{25, 1}, AVRational{1, 1}, Profile(), false, 0);
    CapturingSink sink;
    std::vector<uint8_t> dib(klova::test::DibRowBytes(320) * 240);
    klova::test::DrawPatternFrame(320, 240, 0, dib.data());
    encoder.Write(dib.data(), sink);
    encoder.Write(dib.data(), sink);
    EXPECT_EQ(sink.packets.size(), 1u) << "the first frame's packet arrives with the second frame";
}

TEST(VideoEncoder, RefusesUnusableSizesAndRates)
{
    EXPECT_THROW(VideoEncoder(0, 240, AVRational{25, 1}, AVRational{1, 1}, Profile(), false, 0), AsfError);
    EXPECT_THROW(VideoEncoder(320, -2, AVRational{25, 1}, AVRational{1, 1}, Profile(), false, 0), AsfError);
    EXPECT_THROW(VideoEncoder(100'000, 240, AVRational{25, 1}, AVRational{1, 1}, Profile(), false, 0), AsfError);
    EXPECT_THROW(VideoEncoder(320, 240, AVRational{0, 1}, AVRational{1, 1}, Profile(), false, 0), AsfError);
    EXPECT_THROW(VideoEncoder(320, 240, AVRational{25, 1}, AVRational{0, 1}, Profile(), false, 0), AsfError);
}

}  // namespace
