#include "tests/media_out/avi_test_media.h"

#include "codecs/encoder_config_store.h"
#include "engine/audio_chunk_schedule.h"

#include <algorithm>
#include <cmath>

namespace klova::test {

std::vector<uint8_t> MakeFrame(int32_t width, int32_t height, int index)
{
    const int32_t stride = DibStride(width);
    std::vector<uint8_t> frame(static_cast<size_t>(stride) * height, 0);
    for (int32_t row = 0; row < height; ++row) {
        uint8_t* line = frame.data() + static_cast<size_t>(row) * stride;
        for (int32_t x = 0; x < width; ++x) {
            line[x * 3 + 0] = static_cast<uint8_t>(x * 2 + index * 3);
            line[x * 3 + 1] = static_cast<uint8_t>(row * 3 + index);
            line[x * 3 + 2] = static_cast<uint8_t>((x + row) / 2 + index * 7);
        }
    }
    return frame;
}


uint32_t ChunkBytes(const WAVEFORMATEX& format, double frameRate, uint64_t frame)
{
    const AudioChunkSchedule schedule(format.nBlockAlign, format.nSamplesPerSec, frameRate);
    return static_cast<uint32_t>((schedule.BlocksAfter(frame + 1) - schedule.BlocksAfter(frame)) * format.nBlockAlign);
}

ClipResult WriteClip(const std::string& path, const ClipPlan& plan)
{
    static EncoderConfigStore noSettings;
    ClipResult result;
    AviWriter writer(plan.encoderConfigs ? *plan.encoderConfigs : noSettings);
    writer.SetVideoFormat(plan.options, plan.frameRate, plan.width, plan.height, plan.videoCodec);
    writer.OpenFile(path);
    if (plan.withAudio)
        writer.AddAudioStream(plan.audioFormat, plan.frameRate, plan.audioCodec);

    std::vector<uint8_t> chunk;
    const int frames = std::max(plan.videoFrames, plan.withAudio ? plan.audioFrames : 0);
    double phase = 0.0;
    for (int i = 0; i < frames && result.allWritesOk; ++i) {
        if (i < plan.videoFrames) {
            result.frames.push_back(MakeFrame(plan.width, plan.height, i));
            result.allWritesOk = writer.WriteVideo(result.frames.back().data());
        }
        if (plan.withAudio && i < plan.audioFrames && result.allWritesOk) {
            // A tone, so that lossy audio encoders have something to keep.
            const uint32_t block = plan.audioFormat.nBlockAlign;
            const uint32_t chunkBytes = ChunkBytes(plan.audioFormat, plan.frameRate, static_cast<uint64_t>(i));
            chunk.resize(chunkBytes);
            for (size_t b = 0; b < chunkBytes; ++b) {
                const size_t sample = (result.audio.size() + b) / block;
                const double value = std::sin(phase + 2.0 * M_PI * 440.0 * static_cast<double>(sample) /
                                                          plan.audioFormat.nSamplesPerSec);
                chunk[b] = static_cast<uint8_t>(static_cast<int>(value * 100.0) + ((result.audio.size() + b) % block));
            }
            result.audio.insert(result.audio.end(), chunk.begin(), chunk.end());
            result.chunkLengths.push_back(chunkBytes);
            result.allWritesOk = writer.WriteAudio(chunk.data(), chunkBytes, nullptr);
        }
    }
    result.endOk = writer.WriteVideo(nullptr);
    writer.WriteAudio(nullptr, 0, nullptr);
    return result;
}

}  // namespace klova::test
