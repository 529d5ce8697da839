// Media files for the input tests, made by ffmpeg on first use (once per test
// process) in a temporary folder.
#pragma once

#include <string>

namespace klova::test {

// Path of a named fixture: "mjpeg_pcm.avi" (2 s, 320 x 240 MJPEG at 25 fps, 16-bit
// stereo 44.1 kHz PCM), "redblue_321x241.avi" (10 frames, top half red, bottom half
// blue, no audio), "ntsc.mpg" (MPEG-1 program stream, 29.97 fps, MP2), "vcd.dat" (the
// same as a VCD), "wmv2_wma2.wmv" (15 fps), "h264_aac.mp4" (30 fps), "u8_mono_11025.wav"
// (1.5 s), "size_change.ts" (MPEG-2 video whose frame size halves after 1 s), "still.png",
// "rotated_90.mp4" (320 x 180, red top-left quarter on grey, tagged as turned by 90
// degrees), "anamorphic_16x9.mpg" (720 x 576 with 64:45 pixels), "bgr24_ffmpeg.avi"
// (uncompressed BGR as ffmpeg writes it), "surround_51.wav" (6 channels, 5.1 layout),
// "h264_2048x1152.mp4" (3 frames larger than 1080p), "pal_8s.mpg" and "h264_aac_8s.mp4"
// (8 s of 176 x 144 at 25 fps with 48 kHz sound, MPEG-2 + MP2 and H.264 + AAC),
// and the broken inputs "empty.avi", "garbage.avi", "notes.txt".
const std::string& Fixture(const std::string& name);

}  // namespace klova::test
