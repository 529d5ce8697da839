#include "media_in/media_type_caps.h"

#include "media_in/yuv_to_bgr_converter.h"

#include <gst/audio/audio.h>
#include <gst/video/video.h>

#include <algorithm>
#include <cstdlib>
#include <string>

namespace klova {

namespace {

// BGR, or the 4:2:0 formats the sink turns into BGR itself while it copies (decoders'
// usual output, which then needs no separate conversion pass).
constexpr const char* kVideoCaps = "video/x-raw, format=(string){ I420, YV12, NV12, BGR }";
constexpr const char* kAudioCaps = "audio/x-raw, format=(string){ S16LE, U8 }, layout=(string)interleaved";

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
