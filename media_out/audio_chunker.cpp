#include "media_out/audio_chunker.h"

#include <cmath>
#include <cstring>

namespace klova {

bool AudioChunker::Configure(uint32_t bytesPerSecond, uint32_t blockAlign, double frameRate)
{
    if (blockAlign == 0 || !(frameRate > 0.0) || !std::isfinite(frameRate))
        return false;
    const double perFrame = static_cast<double>(bytesPerSecond) / frameRate;
    if (perFrame >= 4294967295.0 - 2.0 * blockAlign)
        return false;
    chunkBytes_ = static_cast<uint32_t>(perFrame);
    blockAlign_ = blockAlign;
    sampleBytes_ = chunkBytes_ - chunkBytes_ % blockAlign_ + blockAlign_;
    blockCarry_.assign(blockAlign_, 0);
    carryLength_ = 0;
    return true;
}

uint32_t AudioChunker::Fill(const uint8_t* chunk, uint8_t* dst)
{
    // The sample is the first whole blocks of (carried bytes, chunk); the rest is carried.
    // With P of at least one block this is: P rounded down to blocks, plus one block
    // whenever the carried remainders add up to one.
    const uint64_t total = static_cast<uint64_t>(carryLength_) + chunkBytes_;
    const uint32_t length = static_cast<uint32_t>(total - total % blockAlign_);
    const uint32_t carried = static_cast<uint32_t>(total % blockAlign_);

    if (length >= carryLength_) {
        if (carryLength_ > 0)
            std::memcpy(dst, blockCarry_.data(), carryLength_);
        const uint32_t fromChunk = length - carryLength_;
        if (fromChunk > 0)
            std::memcpy(dst + carryLength_, chunk, fromChunk);
        if (carried > 0)
            std::memcpy(blockCarry_.data(), chunk + fromChunk, carried);
    } else {
        // Less than a block per chunk: the carry keeps part of itself.
        if (length > 0)
            std::memcpy(dst, blockCarry_.data(), length);
        std::memmove(blockCarry_.data(), blockCarry_.data() + length, carryLength_ - length);
        if (chunkBytes_ > 0)
            std::memcpy(blockCarry_.data() + (carryLength_ - length), chunk, chunkBytes_);
    }
    carryLength_ = carried;
    return length;
}

}  // namespace klova
