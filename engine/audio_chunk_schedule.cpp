#include "engine/audio_chunk_schedule.h"

#include "platform/frame_rate_fraction.h"

#include <limits>
#include <stdexcept>
#include <string>

namespace klova {
namespace {

__extension__ typedef unsigned __int128 Wide;

}  // namespace

AudioChunkSchedule::AudioChunkSchedule(uint32_t blockAlign, uint32_t blocksPerSecond, double framesPerSecond)
    : blockAlign_(blockAlign), blocksPerSecond_(blocksPerSecond)
{
    const FrameRateFraction rate = ToFrameRateFraction(framesPerSecond);
    if (blockAlign == 0 || rate.numerator <= 0 || rate.denominator <= 0)
        throw std::invalid_argument("no audio schedule for blocks of " + std::to_string(blockAlign) + " bytes at " +
                                    std::to_string(framesPerSecond) + " frames per second");
    rateNumerator_ = rate.numerator;
    rateDenominator_ = rate.denominator;
    // A chunk is the difference of two rounded totals: at most the exact share rounded up.
    const uint64_t share = blocksPerSecond_ * static_cast<uint64_t>(rateDenominator_);
    const uint64_t mostBlocks = share / static_cast<uint64_t>(rateNumerator_) + 1;
    if (mostBlocks * blockAlign_ > std::numeric_limits<int32_t>::max())
        throw std::invalid_argument("an audio chunk of one frame is too large");
    maxChunkBytes_ = static_cast<uint32_t>(mostBlocks * blockAlign_);
}

uint64_t AudioChunkSchedule::BlocksAfter(uint64_t frames) const
{
    if (blockAlign_ == 0)
        return 0;
    // round(frames x blocksPerSecond x den / num), halves up, without overflow.
    const auto numerator = static_cast<Wide>(rateNumerator_);
    const Wide exact2 = 2 * static_cast<Wide>(frames) * blocksPerSecond_ * static_cast<uint64_t>(rateDenominator_);
    return static_cast<uint64_t>((exact2 + numerator) / (2 * numerator));
}

uint32_t AudioChunkSchedule::NextChunkBytes()
{
    if (blockAlign_ == 0)
        return 0;
    ++frames_;
    const uint64_t total = BlocksAfter(frames_);
    const uint64_t blocks = total - blocksSoFar_;
    blocksSoFar_ = total;
    return static_cast<uint32_t>(blocks * blockAlign_);
}

}  // namespace klova
