// Lines the source sound up with the picture once, at the start of a conversion. The
// session reads the audio as one byte stream without time stamps; only where the
// first sample lies, against the first video frame, is taken from them. Sound that
// starts later than the picture is preceded by that much silence, sound that starts
// earlier loses its head, so the output's sound starts with its first frame.
// Engine thread only.
#pragma once

#include "platform/media_types.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace klova {

class AudioStartAligner {
public:
    // Reads the next piece of the source sound: its bytes (valid until the next call),
    // their number (0 at the end of the sound) and where the piece starts (100-ns units,
    // the time line of the video's frames).
    using Source = std::function<const uint8_t*(uint32_t* length, MediaTime* start)>;

    // format: the source sound (PCM); maxPiece: the largest piece the source hands out,
    // which is also the largest piece of silence handed out here.
    AudioStartAligner(const WAVEFORMATEX& format, uint32_t maxPiece, Source source);

    // Where the first video frame starts. Without it the sound is taken as it comes.
    void SetVideoStart(MediaTime start) { videoStart_ = start; }

    // The next piece of the aligned sound, at most maxPiece bytes, whole sample blocks
    // while the source's are; length 0 at its end. The bytes are valid until the next call.
    const uint8_t* Next(uint32_t* length);

private:
    const uint8_t* Align(uint32_t* length);

    const uint32_t blockAlign_;
    const uint32_t samplesPerSec_;
    Source source_;
    std::optional<MediaTime> videoStart_;
    bool aligned_ = false;
    uint64_t silenceLeft_ = 0;                // bytes of silence still to hand out
    std::vector<uint8_t> silence_;            // one piece of silence, made once
    const uint8_t* heldPiece_ = nullptr;      // the first source piece, after the silence
    uint32_t heldLength_ = 0;
};

}  // namespace klova
