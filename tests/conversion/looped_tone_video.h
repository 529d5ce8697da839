// Long test inputs made quickly: a 60.06-second piece of tiny MJPEG frames with a 1 kHz
// tone, repeated by stream copy. At 30000/1001 and 24000/1001 fps the piece holds a whole
// number of frames, of samples at 8, 22.05 and 44.1 kHz, and of tone cycles, so the
// copies join without a seam and the sound is exactly as long as the pictures.
#pragma once

#include <string>

namespace klova::test {

struct LoopedToneSpec {
    std::string rate = "30000/1001";             // ffmpeg's form: 30000/1001 or 24000/1001
    int copies = 10;                             // of 60.06 s each
    int sampleRate = 44100;                      // 8000, 22050 or 44100
    std::string audio = "-c:a pcm_s16le -ac 2";  // ffmpeg output options for the tone
};

inline constexpr double kLoopPieceSeconds = 60.06;

// Writes the file with ffmpeg; fails the current test when ffmpeg fails.
void MakeLoopedToneVideo(const std::string& path, const LoopedToneSpec& spec);

}  // namespace klova::test
