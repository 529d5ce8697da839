// The media-type record the input readers are asked for and answer with: a major
// type, a subtype and one format block (a VIDEOINFOHEADER or a WAVEFORMATEX).
#pragma once

#include "platform/media_types.h"

#include <cstdint>

namespace klova {

enum class MajorType { None, Video, Audio };
enum class SubType { None, RGB24, PCM };
enum class FormatType { None, VideoInfo, WaveFormatEx };  // None: no format block, "any format"

struct MediaType {
    MajorType majortype = MajorType::None;
    SubType subtype = SubType::None;
    FormatType formattype = FormatType::None;
    bool bFixedSizeSamples = false;
    bool bTemporalCompression = false;
    uint32_t lSampleSize = 0;
    VIDEOINFOHEADER videoInfo;  // meaningful when formattype == VideoInfo
    WAVEFORMATEX waveFormat;    // meaningful when formattype == WaveFormatEx
    // What the format blocks cannot say. Neither takes part in SameMediaType.
    PixelAspect pixelAspect;    // video: the shape of the source's pixels
    uint32_t channelMask = 0;   // audio: the speakers of the channels, in channel order, as
                                // WAVE_FORMAT_EXTENSIBLE's dwChannelMask; 0 when the layout is
                                // the plain one of the channel count (mono, stereo) or unknown
};

// Same major type, subtype, format type and format block (the block of the format
// type only; the other one is ignored).
bool SameMediaType(const MediaType& a, const MediaType& b);

// Uncompressed 24-bit video with a VIDEOINFOHEADER of any size and rate.
extern const MediaType VideoRequestType;
// PCM audio with a WAVEFORMATEX of any rate, depth and channel count.
extern const MediaType AudioRequestType;

}  // namespace klova
