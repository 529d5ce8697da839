// Drives a writer of the Windows Media library the way a conversion does, and the
// facts about the built-in profiles the tests hold the library to.
#pragma once

#include "media_out/win_media_library.h"

#include <cstdint>
#include <string>
#include <vector>

namespace klova::test {

struct WmvJob {
    std::u16string profile;
    int width = 320;
    int height = 240;
    double framesPerSecond = 25.0;
    int frames = 250;
    bool withSound = true;  // 44,100 Hz 16-bit stereo 1 kHz tone; otherwise the all-zero format
    bool endStreams = true; // the two end calls before Release
    int32_t pixelAspectX = 1;  // SetPixelAspect is called when the two differ
    int32_t pixelAspectY = 1;
};

// OpenFile, SetStreamFormats, then per frame GetVideoToken + WriteVideo and
// GetAudioToken + WriteAudio with the frame's share of the tone (FrameShareBytes),
// then the end calls and Release. Answers the first negative result, or 0.
int32_t WriteWmv(const WinMediaLibrary& library, const std::string& path, const WmvJob& job);

// The library in the build tree, loaded the way the program loads it.
const WinMediaLibrary& BuiltLibrary();

// A ".prx" file's bytes: the text as UTF-16 LE after a byte-order mark.
std::string PrxFileBytes(const std::string& utf8Text);
void WriteFileBytes(const std::string& path, const std::string& bytes);

// Sum of the sizes of the file's video packets, as ffprobe reads them.
long long VideoPacketBytes(const std::string& file);

struct ExpectedProfile {
    std::string name;
    int videoKbps;
    std::string videoCodec;  // as ffprobe names it
    std::string audioCodec;
    int audioKbps;
};

// The built-in profiles in the order the library lists them.
const std::vector<ExpectedProfile>& ExpectedProfiles();

}  // namespace klova::test
