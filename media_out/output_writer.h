// The one interface a conversion writes its output files through: open a file, hand it
// video frames and audio chunks, end it. AviWriter and WinMediaWriterAdapter implement
// it; the session holds one writer at a time. Called on the engine thread only.
#pragma once

#include "platform/media_types.h"

#include <cstdint>
#include <optional>
#include <string>

namespace klova {

// What the engine hands a writer: frames of the output size at the output rate and,
// with audio, one chunk of this PCM per frame: whole sample blocks, the frame's exact
// share of the byte rate to within a block (the length travels with each chunk).
struct OutputFormat {
    int32_t width = 0;  // pixels
    int32_t height = 0;
    double frameRate = 0.0;             // frames per second
    PixelAspect pixelAspect;            // the shape of the frames' pixels, stored for players
    std::optional<WAVEFORMATEX> audio;  // none: the file has no audio stream
    uint32_t audioChannelMask = 0;      // the speakers of more than two channels, in channel
                                        // order, as WAVE_FORMAT_EXTENSIBLE's mask; 0 unknown
};

class OutputWriter {
public:
    virtual ~OutputWriter() = default;

    // Creates the file under a temporary name beside the path. Called once, before any
    // write. Throws CMyException when the file or its streams cannot be set up.
    virtual void Open(const std::string& path, const OutputFormat& format) = 0;

    // One bottom-up RGB24 frame of the output size, then that frame's audio chunk of
    // `length` bytes, possibly none (files with audio only). Each blocks until the data
    // is taken and returns false when the write failed; the writer is then finished and
    // only End is left. Never null.
    virtual bool WriteVideo(const uint8_t* frame) = 0;
    virtual bool WriteAudio(const uint8_t* chunk, uint32_t length) = 0;

    // Ends both streams, completes the file and gives it its final name (replacing a
    // file of that name). True when the file is complete: nothing failed along the way
    // or in completing it; an incomplete file is removed. Later calls return the same
    // answer. A writer destroyed without End removes its file: the output of a failed
    // run never appears, and an existing file of that name stays as it was.
    virtual bool End() = 0;

    // Why a write or the end failed, in technical terms (the pipeline's error); empty
    // when nothing failed or nothing more is known.
    virtual std::string FailureDetail() const { return {}; }
};

}  // namespace klova
