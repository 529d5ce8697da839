// The record of all user settings: one field per key of the profile's "Options"
// section. The engine reads it; the settings store loads and saves it.
#pragma once

#include "platform/media_types.h"

#include <string>

namespace klova {

// The video compressor a fresh profile names. Every machine with GStreamer's libav
// plug-ins has it, and its stream can be stored in AVI.
inline constexpr const char* kDefaultVideoCodec = "libav MPEG-4 part 2 encoder";
inline constexpr const char* kUncompressedCodec = "<Uncompressed>";
inline constexpr const char* kDefaultAudioCodec = "PCM";

// The value of SceneDetection.
enum SplitMode : int32_t {
    kSplitNone = 0,        // one output file
    kSplitClips = 1,       // a numbered clip file per scene
    kSplitProject = 2,     // no output file; scene positions go to the editor project
};

inline AVICOMPRESSOPTIONS DefaultVideoFormat()
{
    AVICOMPRESSOPTIONS options;
    options.dwQuality = 100000;
    return options;
}

struct ConversionSettings {
    AVICOMPRESSOPTIONS VideoFormat = DefaultVideoFormat();
    WAVEFORMATEX AudioFormat;
    int32_t KeepFrameRate = 1;
    double FrameRate = 30.0;  // frames per second
    int32_t KeepFrameSize = 1;
    int32_t KeepAspect = 1;
    int32_t FrameWidth = 320;
    int32_t FrameHeight = 240;
    int32_t KeepSound = 1;
    int32_t Channels = 1;    // 0 mono, 1 stereo
    int32_t Bits = 1;        // 0 = 8 bits, 1 = 16 bits
    int32_t SampleRate = 3;  // 0 = 11025, 1 = 22050, 2 = 32000, 3 = 44100, 4 = 48000 Hz
    double HueThreshold = 1.0;
    double SatThreshold = 0.0;
    double ValThreshold = 0.7;
    double DisThreshold = 0.3;
    bool ShowStatistics = false;
    std::string AudioCodec = kDefaultAudioCodec;
    std::string SrcFileName;
    std::string DstFileName;
    std::string VideoCodec = kDefaultVideoCodec;
    int32_t KeepSettings = 1;
    int32_t WantPreview = 1;
    int32_t DstFileType = 0;     // 0 AVI, 1 WMV
    int32_t SceneDetection = 0;  // a SplitMode
    std::string ClipsFileName;
    std::string MediaProfile;
};

}  // namespace klova
