#include "media_in/media_type_caps.h"

#include "media_in/yuv_to_bgr_converter.h"

#include <gst/audio/audio.h>
#include <gst/video/video.h>

#include <algorithm>
#include <cstdlib>
#include <numeric>
#include <string>

namespace klova {

namespace {

// BGR, or the 4:2:0 formats the sink turns into BGR itself while it copies (decoders'
// usual output, which then needs no separate conversion pass).
constexpr const char* kVideoCaps = "video/x-raw, format=(string){ I420, YV12, NV12, BGR }";
constexpr const char* kAudioCaps = "audio/x-raw, format=(string){ S16LE, U8 }, layout=(string)interleaved";

// The pixel shape the caps state; square when they state none or nonsense (some AVI
// files give -1/1).
PixelAspect PixelAspectFromCaps(const GstCaps* caps)
{
    int num = 0;
    int den = 0;
    if (!gst_structure_get_fraction(gst_caps_get_structure(caps, 0), "pixel-aspect-ratio", &num, &den) || num <= 0 ||
        den <= 0)
        return {};
    const int divisor = std::gcd(num, den);
    return {num / divisor, den / divisor};
}

// The WAVE_FORMAT_EXTENSIBLE speaker bit of a channel position, 0 for one it has none for.
uint32_t WaveSpeakerBit(GstAudioChannelPosition position)
{
    switch (position) {
    case GST_AUDIO_CHANNEL_POSITION_FRONT_LEFT: return 0x1;
    case GST_AUDIO_CHANNEL_POSITION_FRONT_RIGHT: return 0x2;
    case GST_AUDIO_CHANNEL_POSITION_FRONT_CENTER: return 0x4;
    case GST_AUDIO_CHANNEL_POSITION_LFE1: return 0x8;
    case GST_AUDIO_CHANNEL_POSITION_REAR_LEFT: return 0x10;
    case GST_AUDIO_CHANNEL_POSITION_REAR_RIGHT: return 0x20;
    case GST_AUDIO_CHANNEL_POSITION_FRONT_LEFT_OF_CENTER: return 0x40;
    case GST_AUDIO_CHANNEL_POSITION_FRONT_RIGHT_OF_CENTER: return 0x80;
    case GST_AUDIO_CHANNEL_POSITION_REAR_CENTER: return 0x100;
    case GST_AUDIO_CHANNEL_POSITION_SIDE_LEFT: return 0x200;
    case GST_AUDIO_CHANNEL_POSITION_SIDE_RIGHT: return 0x400;
    case GST_AUDIO_CHANNEL_POSITION_TOP_CENTER: return 0x800;
    case GST_AUDIO_CHANNEL_POSITION_TOP_FRONT_LEFT: return 0x1000;
    case GST_AUDIO_CHANNEL_POSITION_TOP_FRONT_CENTER: return 0x2000;
    case GST_AUDIO_CHANNEL_POSITION_TOP_FRONT_RIGHT: return 0x4000;
    case GST_AUDIO_CHANNEL_POSITION_TOP_REAR_LEFT: return 0x8000;
    case GST_AUDIO_CHANNEL_POSITION_TOP_REAR_CENTER: return 0x10000;
    case GST_AUDIO_CHANNEL_POSITION_TOP_REAR_RIGHT: return 0x20000;
    default: return 0;
    }
}

// The speaker mask of more than two positioned channels. A WAVE mask lists the
// channels in the order of its bits, so a layout whose channels come in another order
// (or with a speaker the mask has no bit for) has none.
uint32_t WaveChannelMask(const GstAudioInfo& info)
{
    const int channels = GST_AUDIO_INFO_CHANNELS(&info);
    if (channels <= 2 || channels > 18 || GST_AUDIO_INFO_IS_UNPOSITIONED(&info))
        return 0;
    uint32_t mask = 0;
    uint32_t previous = 0;
    for (int channel = 0; channel < channels; ++channel) {
        const uint32_t bit = WaveSpeakerBit(GST_AUDIO_INFO_POSITION(&info, channel));
        if (bit <= previous)
            return 0;
        mask |= bit;
        previous = bit;
    }
    return mask;
}

MediaType VideoTypeFromCaps(const GstCaps* caps)
{
    MediaType type;
    type.majortype = MajorType::Video;
    GstVideoInfo info;
    if (!gst_video_info_from_caps(&info, caps))
        return type;
    const GstVideoFormat format = GST_VIDEO_INFO_FORMAT(&info);
    if (format != GST_VIDEO_FORMAT_BGR && !YuvToBgrConverter::Supports(format))
        return type;

    const int32_t width = GST_VIDEO_INFO_WIDTH(&info);
    const int32_t height = GST_VIDEO_INFO_HEIGHT(&info);
    type.subtype = SubType::RGB24;
    type.formattype = FormatType::VideoInfo;
    type.bFixedSizeSamples = true;
    type.bTemporalCompression = false;
    type.lSampleSize = DibImageSize(width, height);

    VIDEOINFOHEADER& header = type.videoInfo;
    int num = 0;
    int den = 0;
    if (FrameRateFromCaps(caps, &num, &den)) {
        const double rate = static_cast<double>(num) / den;
        header.AvgTimePerFrame = FrameDuration(rate);
        const double bitRate = static_cast<double>(type.lSampleSize) * 8.0 * rate;
        header.dwBitRate = static_cast<uint32_t>(std::min(bitRate, 4294967295.0));
    }
    header.bmiHeader.biWidth = width;
    header.bmiHeader.biHeight = height;
    header.bmiHeader.biBitCount = 24;
    header.bmiHeader.biSizeImage = type.lSampleSize;
    type.pixelAspect = PixelAspectFromCaps(caps);
    return type;
}

MediaType AudioTypeFromCaps(const GstCaps* caps)
{
    MediaType type;
    type.majortype = MajorType::Audio;
    GstAudioInfo info;
    if (!gst_audio_info_from_caps(&info, caps) || GST_AUDIO_INFO_LAYOUT(&info) != GST_AUDIO_LAYOUT_INTERLEAVED)
        return type;
    const GstAudioFormat format = GST_AUDIO_INFO_FORMAT(&info);
    if (format != GST_AUDIO_FORMAT_S16LE && format != GST_AUDIO_FORMAT_U8)
        return type;
    const int channels = GST_AUDIO_INFO_CHANNELS(&info);
    const int rate = GST_AUDIO_INFO_RATE(&info);
    if (channels <= 0 || channels > 0xFFFF || rate <= 0)
        return type;

    type.subtype = SubType::PCM;
    type.formattype = FormatType::WaveFormatEx;
    type.bFixedSizeSamples = true;
    type.bTemporalCompression = false;

    WAVEFORMATEX& wave = type.waveFormat;
    wave.wFormatTag = WAVE_FORMAT_PCM;
    wave.nChannels = static_cast<uint16_t>(channels);
    wave.nSamplesPerSec = static_cast<uint32_t>(rate);
    wave.wBitsPerSample = format == GST_AUDIO_FORMAT_U8 ? 8 : 16;
    wave.nBlockAlign = static_cast<uint16_t>(GST_AUDIO_INFO_BPF(&info));
    wave.nAvgBytesPerSec = wave.nSamplesPerSec * wave.nBlockAlign;
    wave.cbSize = 0;
    type.lSampleSize = wave.nBlockAlign;
    type.channelMask = WaveChannelMask(info);
    return type;
}

}  // namespace

MediaType MediaTypeFromCaps(const GstCaps* caps)
{
    if (!caps || gst_caps_get_size(caps) == 0 || !gst_caps_is_fixed(caps))
        return MediaType{};
    const char* name = gst_structure_get_name(gst_caps_get_structure(caps, 0));
    if (g_str_equal(name, "video/x-raw"))
        return VideoTypeFromCaps(caps);
    if (g_str_equal(name, "audio/x-raw"))
        return AudioTypeFromCaps(caps);
    return MediaType{};
}

GstPtr<GstCaps> CapsFromMediaType(const MediaType& type)
{
    switch (type.majortype) {
    case MajorType::None:
        return adopt(gst_caps_from_string((std::string(kVideoCaps) + "; " + kAudioCaps).c_str()));
    case MajorType::Video: {
        if (type.subtype == SubType::PCM)
            return adopt(gst_caps_new_empty());
        GstPtr<GstCaps> caps = adopt(gst_caps_from_string(kVideoCaps));
        const BITMAPINFOHEADER& bitmap = type.videoInfo.bmiHeader;
        if (type.formattype == FormatType::VideoInfo && bitmap.biWidth > 0 && bitmap.biHeight != 0)
            gst_caps_set_simple(caps.get(), "width", G_TYPE_INT, bitmap.biWidth, "height", G_TYPE_INT,
                                std::abs(bitmap.biHeight), nullptr);
        return caps;
    }
    case MajorType::Audio: {
        if (type.subtype == SubType::RGB24)
            return adopt(gst_caps_new_empty());
        GstPtr<GstCaps> caps = adopt(gst_caps_from_string(kAudioCaps));
        const WAVEFORMATEX& wave = type.waveFormat;
        if (type.formattype == FormatType::WaveFormatEx && wave.nSamplesPerSec > 0) {
            if (wave.wBitsPerSample != 8 && wave.wBitsPerSample != 16)
                return adopt(gst_caps_new_empty());
            gst_caps_set_simple(caps.get(), "format", G_TYPE_STRING, wave.wBitsPerSample == 8 ? "U8" : "S16LE",
                                "rate", G_TYPE_INT, static_cast<int>(wave.nSamplesPerSec), "channels", G_TYPE_INT,
                                static_cast<int>(wave.nChannels), nullptr);
        }
        return caps;
    }
    }
    return adopt(gst_caps_new_empty());
}

bool FrameRateFromCaps(const GstCaps* caps, int* numerator, int* denominator)
{
    if (!caps || gst_caps_get_size(caps) == 0)
        return false;
    int num = 0;
    int den = 0;
    if (!gst_structure_get_fraction(gst_caps_get_structure(caps, 0), "framerate", &num, &den) || num <= 0 || den <= 0)
        return false;
    *numerator = num;
    *denominator = den;
    return true;
}

}  // namespace klova
