// How much audio each output frame carries. After n frames the total is the whole
// number of sample blocks nearest n x blocks per second / frame rate, so the sound keeps
// exactly to the pictures however long a conversion runs: where the rate does not
// divide, chunk sizes differ by one block (at 29.97 fps, 44,100 Hz gives chunks of 1,471
// and 1,472 blocks).
#pragma once

#include <cstdint>

namespace klova {

class AudioChunkSchedule {
public:
    // No audio: every chunk is empty.
    AudioChunkSchedule() = default;
    // blocksPerSecond: the sample rate. The frame rate is taken as the exact fraction it
    // stands for (29.97 is 30000/1001), the one the output file's video is written with.
    // Throws std::invalid_argument for a block size of 0 or a rate that is not positive.
    AudioChunkSchedule(uint32_t blockAlign, uint32_t blocksPerSecond, double framesPerSecond);

    // Bytes of the next frame's chunk (whole blocks, possibly none); counts the frame.
    uint32_t NextChunkBytes();

    // The most bytes one chunk can hold.
    uint32_t MaxChunkBytes() const { return maxChunkBytes_; }
    uint32_t blockAlign() const { return blockAlign_; }
    uint64_t frames() const { return frames_; }

    // Blocks handed out after the first `frames` frames.
    uint64_t BlocksAfter(uint64_t frames) const;

private:
    uint32_t blockAlign_ = 0;
    uint64_t blocksPerSecond_ = 0;
    int64_t rateNumerator_ = 1;  // frames per second as a fraction
    int64_t rateDenominator_ = 1;
    uint32_t maxChunkBytes_ = 0;
    uint64_t frames_ = 0;
    uint64_t blocksSoFar_ = 0;
};

}  // namespace klova
