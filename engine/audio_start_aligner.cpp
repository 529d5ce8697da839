#include "engine/audio_start_aligner.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace klova {

AudioStartAligner::AudioStartAligner(const WAVEFORMATEX& format, uint32_t maxPiece, Source source)
    : blockAlign_(format.nBlockAlign > 0 ? format.nBlockAlign : 1),
      samplesPerSec_(format.nSamplesPerSec),
      source_(std::move(source)),
      // 8-bit PCM is unsigned: its silence is 128. Whole blocks, so pieces of silence
      // keep the stream on block boundaries.
      silence_(std::max<uint32_t>(maxPiece - maxPiece % blockAlign_, blockAlign_),
               format.wBitsPerSample == 8 ? 0x80 : 0x00)
{
}

const uint8_t* AudioStartAligner::Next(uint32_t* length)
{
    if (!aligned_)
        return Align(length);
    if (silenceLeft_ > 0) {
        *length = static_cast<uint32_t>(std::min<uint64_t>(silenceLeft_, silence_.size()));
        silenceLeft_ -= *length;
        return silence_.data();
    }
    if (heldPiece_) {
        *length = heldLength_;
        return std::exchange(heldPiece_, nullptr);
    }
    MediaTime start = 0;
    return source_(length, &start);
}

const uint8_t* AudioStartAligner::Align(uint32_t* length)
{
    aligned_ = true;
    MediaTime start = 0;
    const uint8_t* piece = source_(length, &start);
    if (*length == 0 || !videoStart_ || samplesPerSec_ == 0)
        return piece;
    // Whole sample blocks, the nearest to the offset.
    const double blocks = std::round(static_cast<double>(start - *videoStart_) * samplesPerSec_ / kUnitsPerSecond);
    if (blocks > 0) {
        silenceLeft_ = static_cast<uint64_t>(blocks) * blockAlign_;
        heldPiece_ = piece;
        heldLength_ = *length;
        return Next(length);
    }
    // The sound starts first: drop what comes before the picture.
    uint64_t skip = static_cast<uint64_t>(-blocks) * blockAlign_;
    while (*length > 0 && skip >= *length) {
        skip -= *length;
        piece = source_(length, &start);
    }
    if (*length == 0)
        return piece;
    *length -= static_cast<uint32_t>(skip);
    return piece + skip;
}

}  // namespace klova
