#include "tests/conversion/looped_tone_video.h"

#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace klova::test {

void MakeLoopedToneVideo(const std::string& path, const LoopedToneSpec& spec)
{
    const std::string piece = path + ".piece.avi";
    Ffmpeg("-f lavfi -i testsrc=size=16x16:rate=" + spec.rate + ":duration=60.06 " +
           "-f lavfi -i sine=frequency=1000:sample_rate=" + std::to_string(spec.sampleRate) +
           ":duration=60.06 -c:v mjpeg " + spec.audio + " " + ShellQuote(piece));
    Ffmpeg("-stream_loop " + std::to_string(spec.copies - 1) + " -i " + ShellQuote(piece) + " -c copy " +
           ShellQuote(path));
    std::remove(piece.c_str());
}

}  // namespace klova::test
