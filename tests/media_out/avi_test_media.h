// Synthetic frames and audio for the AVI writer tests, and the write loop the engine
// runs (per output frame: the video, then the audio).
#pragma once

#include "media_out/avi_writer.h"
#include "platform/media_types.h"

#include <cstdint>
#include <string>
#include <vector>

namespace klova::test {

// A bottom-up RGB24 DIB whose every byte depends on frame, row and column.
std::vector<uint8_t> MakeFrame(int32_t width, int32_t height, int index);

// Bytes of audio the engine hands over with output frame `frame` (0-based): the frame's
// share of whole sample blocks, as the engine cuts it.
uint32_t ChunkBytes(const WAVEFORMATEX& format, double frameRate, uint64_t frame = 0);

struct ClipPlan {
    int32_t width = 160;
    int32_t height = 120;
    double frameRate = 25.0;
    std::string videoCodec = "<Uncompressed>";
    bool withAudio = true;
    WAVEFORMATEX audioFormat = MakePcmFormat(2, 44100, 16);
    std::string audioCodec = "PCM";
    AVICOMPRESSOPTIONS options;
    int videoFrames = 10;
    int audioFrames = 10;  // chunks; the first min(video, audio) frames carry both
    const EncoderConfigStore* encoderConfigs = nullptr;  // settings remembered for encoders; null: none
};

struct ClipResult {
    bool allWritesOk = true;
    bool endOk = true;
    std::vector<std::vector<uint8_t>> frames;  // as handed in
    std::vector<uint8_t> audio;                 // the bytes the proxy takes, in order
    std::vector<uint32_t> chunkLengths;         // of each audio chunk handed over
};

// Writes a whole file with a fresh AviWriter as the engine would; throws what the
// writer throws.
ClipResult WriteClip(const std::string& path, const ClipPlan& plan);

}  // namespace klova::test
