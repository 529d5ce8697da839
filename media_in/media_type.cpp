#include "media_in/media_type.h"

#include <cstring>

namespace klova {

namespace {

constexpr MediaType MakeRequestType(MajorType major, SubType sub, FormatType format)
{
    MediaType type;
    type.majortype = major;
    type.subtype = sub;
    type.formattype = format;
    type.bFixedSizeSamples = true;
    type.bTemporalCompression = false;
    type.lSampleSize = 1;
    return type;
}

}  // namespace

bool SameMediaType(const MediaType& a, const MediaType& b)
{
    if (a.majortype != b.majortype || a.subtype != b.subtype || a.formattype != b.formattype)
        return false;
    switch (a.formattype) {
    case FormatType::VideoInfo:
        return std::memcmp(&a.videoInfo, &b.videoInfo, sizeof a.videoInfo) == 0;
    case FormatType::WaveFormatEx:
        return std::memcmp(&a.waveFormat, &b.waveFormat, sizeof a.waveFormat) == 0;
    case FormatType::None:
        return true;
    }
    return false;
}

// Constant-initialised, so other units may use them during their own static set-up.
constinit const MediaType VideoRequestType = MakeRequestType(MajorType::Video, SubType::RGB24, FormatType::VideoInfo);
constinit const MediaType AudioRequestType = MakeRequestType(MajorType::Audio, SubType::PCM, FormatType::WaveFormatEx);

}  // namespace klova
