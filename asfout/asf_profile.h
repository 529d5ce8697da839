// What a Windows Media profile fixes for one output file, and the library's built-in
// profiles.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace asfout {

struct VideoStreamProfile {
    int64_t bitRate = 0;              // bits per second
    int32_t bufferWindowMs = 3000;    // rate-control buffer, in milliseconds of bitRate
    int32_t keyFrameSpacingMs = 3000; // longest distance between key frames
    int32_t quality = 50;             // 0 (even bit rate per frame) ... 100 (even quality)
    int32_t codecVersion = 8;         // 8: WMV2, 7: WMV1
};

struct AudioStreamProfile {
    int64_t bitRate = 0;       // bits per second
    int32_t codecVersion = 2;  // 2: WMA version 2, 1: WMA version 1
};

struct AsfProfile {
    std::u16string name;
    VideoStreamProfile video;
    std::optional<AudioStreamProfile> audio;  // none: the file never carries sound
};

// The built-in profiles in the order GetProfileName lists them.
const std::vector<AsfProfile>& BuiltInProfiles();

// Index of the built-in profile with exactly this name, or -1.
int32_t FindBuiltInProfile(std::u16string_view name);

}  // namespace asfout
