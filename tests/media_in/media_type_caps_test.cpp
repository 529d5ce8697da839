#include "media_in/media_reader_filter.h"
#include "media_in/media_type_caps.h"

#include <gtest/gtest.h>

#include <string>

namespace klova {
namespace {

GstPtr<GstCaps> Caps(const std::string& text)
{
    return adopt(gst_caps_from_string(text.c_str()));
}

MediaType Partial(const MediaType& requested)
{
    MediaType type = requested;
    type.formattype = FormatType::None;
    return type;
}

TEST(MediaTypeFromCaps, BgrVideoBecomesBottomUpRgb24WithItsHeader)
{
    const MediaType type =
        MediaTypeFromCaps(Caps("video/x-raw,format=BGR,width=321,height=241,framerate=30000/1001").get());
    EXPECT_EQ(type.majortype, MajorType::Video);
    EXPECT_EQ(type.subtype, SubType::RGB24);
    EXPECT_EQ(type.formattype, FormatType::VideoInfo);
    EXPECT_TRUE(type.bFixedSizeSamples);
    EXPECT_FALSE(type.bTemporalCompression);
    const BITMAPINFOHEADER& bitmap = type.videoInfo.bmiHeader;
    EXPECT_EQ(bitmap.biSize, 40u);
    EXPECT_EQ(bitmap.biWidth, 321);
    EXPECT_EQ(bitmap.biHeight, 241);  // positive: rows are delivered bottom-up
    EXPECT_EQ(bitmap.biPlanes, 1);
    EXPECT_EQ(bitmap.biBitCount, 24);
    EXPECT_EQ(bitmap.biCompression, 0u);
    EXPECT_EQ(bitmap.biSizeImage, 964u * 241u);
    EXPECT_EQ(type.lSampleSize, 964u * 241u);
    EXPECT_EQ(MediaTime{type.videoInfo.AvgTimePerFrame}, 333666);
}

TEST(MediaTypeFromCaps, VideoWithoutRateHasNoFrameDuration)
{
    const MediaType type = MediaTypeFromCaps(Caps("video/x-raw,format=BGR,width=64,height=48,framerate=0/1").get());
    EXPECT_EQ(type.subtype, SubType::RGB24);
    EXPECT_EQ(MediaTime{type.videoInfo.AvgTimePerFrame}, 0);
}

TEST(MediaTypeFromCaps, InterleavedPcmBecomesWaveFormat)
{
    MediaType type = MediaTypeFromCaps(
        Caps("audio/x-raw,format=S16LE,layout=interleaved,rate=44100,channels=2,channel-mask=(bitmask)0x3").get());
    EXPECT_EQ(type.majortype, MajorType::Audio);
    EXPECT_EQ(type.subtype, SubType::PCM);
    EXPECT_EQ(type.formattype, FormatType::WaveFormatEx);
    EXPECT_EQ(type.waveFormat.wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(type.waveFormat.nChannels, 2);
    EXPECT_EQ(type.waveFormat.nSamplesPerSec, 44100u);
    EXPECT_EQ(type.waveFormat.wBitsPerSample, 16);
    EXPECT_EQ(type.waveFormat.nBlockAlign, 4);
    EXPECT_EQ(type.waveFormat.nAvgBytesPerSec, 176400u);
    EXPECT_EQ(type.waveFormat.cbSize, 0);

    type = MediaTypeFromCaps(Caps("audio/x-raw,format=U8,layout=interleaved,rate=11025,channels=1").get());
    EXPECT_EQ(type.waveFormat.wBitsPerSample, 8);
    EXPECT_EQ(type.waveFormat.nBlockAlign, 1);
    EXPECT_EQ(type.waveFormat.nAvgBytesPerSec, 11025u);
}

TEST(MediaTypeFromCaps, VideoCarriesThePixelShapeInLowestTerms)
{
    const char* const base = "video/x-raw,format=I420,width=720,height=576,framerate=25/1";
    EXPECT_EQ(MediaTypeFromCaps(Caps(std::string(base) + ",pixel-aspect-ratio=64/45").get()).pixelAspect,
              (PixelAspect{64, 45}));
    EXPECT_EQ(MediaTypeFromCaps(Caps(std::string(base) + ",pixel-aspect-ratio=32/30").get()).pixelAspect,
              (PixelAspect{16, 15}));
    EXPECT_TRUE(MediaTypeFromCaps(Caps(base).get()).pixelAspect.IsSquare());
}

TEST(MediaTypeFromCaps, SurroundSoundCarriesTheSpeakerMaskOfItsLayout)
{
    const auto mask = [](const std::string& channels) {
        return MediaTypeFromCaps(Caps("audio/x-raw,format=S16LE,layout=interleaved,rate=48000," + channels).get())
            .channelMask;
    };
    // 5.1 with rear speakers, 5.1 with side speakers, 7.1.
    EXPECT_EQ(mask("channels=6,channel-mask=(bitmask)0x3f"), 0x3Fu);
    EXPECT_EQ(mask("channels=6,channel-mask=(bitmask)0xc0f"), 0x60Fu);
    EXPECT_EQ(mask("channels=8,channel-mask=(bitmask)0xc3f"), 0x63Fu);
    // Mono and stereo need none; unpositioned channels have none.
    EXPECT_EQ(mask("channels=2,channel-mask=(bitmask)0x3"), 0u);
    EXPECT_EQ(mask("channels=1"), 0u);
    EXPECT_EQ(mask("channels=6,channel-mask=(bitmask)0x0"), 0u);
    // Top front left before top centre: a WAVE mask would list them the other way round.
    EXPECT_EQ(mask("channels=4,channel-mask=(bitmask)0x9003"), 0u);
}

TEST(MediaTypeFromCaps, FormatsTheReaderCannotDeliverHaveNoSubtype)
{
    EXPECT_EQ(MediaTypeFromCaps(Caps("video/x-raw,format=Y444,width=64,height=48").get()).subtype, SubType::None);
    EXPECT_EQ(MediaTypeFromCaps(Caps("video/x-raw,format=RGBA,width=64,height=48").get()).subtype, SubType::None);
    // 4:2:0 frames are delivered as RGB24: the sink converts them while it copies.
    const MediaType i420 = MediaTypeFromCaps(Caps("video/x-raw,format=I420,width=65,height=48").get());
    EXPECT_EQ(i420.subtype, SubType::RGB24);
    EXPECT_EQ(i420.videoInfo.bmiHeader.biBitCount, 24);
    EXPECT_EQ(i420.videoInfo.bmiHeader.biSizeImage, 196u * 48u);
    EXPECT_EQ(MediaTypeFromCaps(Caps("audio/x-raw,format=S16LE,layout=non-interleaved,rate=8000,channels=2").get())
                  .subtype,
              SubType::None);
    EXPECT_EQ(MediaTypeFromCaps(Caps("audio/x-raw,format=F32LE,layout=interleaved,rate=8000,channels=2").get())
                  .subtype,
              SubType::None);
    EXPECT_EQ(MediaTypeFromCaps(Caps("video/x-h264").get()).majortype, MajorType::None);
}

TEST(CapsFromMediaType, RequestTypesAdmitAnySizeOrRateOfTheirKind)
{
    const GstPtr<GstCaps> video = CapsFromMediaType(Partial(VideoRequestType));
    EXPECT_TRUE(gst_caps_can_intersect(video.get(), Caps("video/x-raw,format=BGR,width=321,height=241").get()));
    EXPECT_FALSE(gst_caps_can_intersect(video.get(), Caps("video/x-raw,format=RGB").get()));
    EXPECT_FALSE(gst_caps_can_intersect(video.get(), Caps("audio/x-raw").get()));

    const GstPtr<GstCaps> audio = CapsFromMediaType(Partial(AudioRequestType));
    EXPECT_TRUE(gst_caps_can_intersect(audio.get(), Caps("audio/x-raw,format=U8,layout=interleaved,rate=11025,"
                                                          "channels=1").get()));
    EXPECT_FALSE(gst_caps_can_intersect(audio.get(), Caps("audio/x-raw,format=F32LE").get()));

    MediaType fixed = MediaTypeFromCaps(Caps("audio/x-raw,format=U8,layout=interleaved,rate=11025,channels=1").get());
    const GstPtr<GstCaps> exact = CapsFromMediaType(fixed);
    EXPECT_FALSE(gst_caps_can_intersect(exact.get(), Caps("audio/x-raw,rate=44100").get()));
}

TEST(CheckMediaType, PartialPreferredTypeNeedsTheRequiredFormatType)
{
    const MediaType bgr = MediaTypeFromCaps(Caps("video/x-raw,format=BGR,width=64,height=48,framerate=25/1").get());
    const MediaType y444 = MediaTypeFromCaps(Caps("video/x-raw,format=Y444,width=64,height=48").get());
    const MediaType pcm = MediaTypeFromCaps(Caps("audio/x-raw,format=U8,layout=interleaved,rate=8000,channels=1").get());
    const MediaType video = Partial(VideoRequestType);
    const MediaType audio = Partial(AudioRequestType);

    EXPECT_EQ(MediaReaderFilter::CheckMediaType(video, FormatType::VideoInfo, &bgr), S_OK);
    EXPECT_EQ(MediaReaderFilter::CheckMediaType(video, FormatType::VideoInfo, &y444), S_FALSE);
    EXPECT_EQ(MediaReaderFilter::CheckMediaType(video, FormatType::VideoInfo, &pcm), S_FALSE);
    EXPECT_EQ(MediaReaderFilter::CheckMediaType(audio, FormatType::WaveFormatEx, &pcm), S_OK);
    EXPECT_EQ(MediaReaderFilter::CheckMediaType(audio, FormatType::VideoInfo, &pcm), S_FALSE);
    EXPECT_EQ(MediaReaderFilter::CheckMediaType(audio, FormatType::None, &pcm), S_OK);
    EXPECT_EQ(MediaReaderFilter::CheckMediaType(MediaType{}, FormatType::None, &pcm), S_OK);
    EXPECT_EQ(MediaReaderFilter::CheckMediaType(video, FormatType::VideoInfo, nullptr), E_POINTER);
}

TEST(CheckMediaType, FullySpecifiedPreferredTypeMustMatchExactly)
{
    const MediaType small = MediaTypeFromCaps(Caps("video/x-raw,format=BGR,width=64,height=48,framerate=25/1").get());
    const MediaType large = MediaTypeFromCaps(Caps("video/x-raw,format=BGR,width=64,height=50,framerate=25/1").get());
    EXPECT_EQ(MediaReaderFilter::CheckMediaType(small, FormatType::VideoInfo, &small), S_OK);
    EXPECT_EQ(MediaReaderFilter::CheckMediaType(small, FormatType::VideoInfo, &large), S_FALSE);
    // A request type that keeps its empty format block accepts nothing real.
    EXPECT_EQ(MediaReaderFilter::CheckMediaType(VideoRequestType, FormatType::VideoInfo, &small), S_FALSE);
}

}  // namespace
}  // namespace klova
