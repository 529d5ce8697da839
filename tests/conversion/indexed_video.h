// Test media whose frames carry their own index, so a converted file can be checked
// frame by frame even through lossy codecs: the picture is cut into eight vertical
// stripes, stripe k white when bit k of the frame index is set, black otherwise.
#pragma once

#include <string>
#include <vector>

namespace klova::test {

struct IndexedVideoSpec {
    int width = 160;
    int height = 120;
    std::string rate = "25";          // ffmpeg rate, e.g. "30000/1001"
    int frames = 50;
    std::string encoder = "-c:v mjpeg -q:v 3";  // ffmpeg output options for the video
    std::string audio;                 // ffmpeg output options for the audio, empty: no audio
    double audioSeconds = 0.0;         // length of the 1 kHz tone (0: as long as the video)
    std::string format;                // forced container (-f ...), empty: from the extension
};

// Writes the file with ffmpeg; fails the current test when ffmpeg fails.
void MakeIndexedVideo(const std::string& path, const IndexedVideoSpec& spec);

// The frame indexes of a file, decoded by ffmpeg; -1 for a frame no index can be read from.
std::vector<int> ReadFrameIndexes(const std::string& path);

// The index of one frame given as top-down grey pixels.
int IndexFromGrey(const unsigned char* grey, int width, int height);

}  // namespace klova::test
