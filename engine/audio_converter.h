// Conversion of the source audio, one output frame's chunk at a time, to the PCM
// format of the settings (rate, depth and channel count) before it reaches the writer.
#pragma once

#include "engine/audio_chunk_schedule.h"
#include "engine/conversion_settings.h"
#include "platform/gst_ptr.h"
#include "platform/media_types.h"

#include <gst/audio/audio.h>

#include <cstdint>
#include <vector>

namespace klova {

template <>
struct GstUnref<GstAudioConverter> {
    void operator()(GstAudioConverter* p) const noexcept { gst_audio_converter_free(p); }
};

// PCM with Channels + 1 channels, (Bits + 1) x 8 bits and the SampleRate setting's rate
// (0 -> 11025, 1 -> 22050, 2 -> 32000, 3 -> 44100, 4 -> 48000, other -> 0 Hz).
WAVEFORMATEX MakeOutputAudioFormat(const ConversionSettings& settings);

// Converts the audio of one conversion. Built once, at the start, from the source
// format, the output format and the output frame rate; all buffers are sized there.
//
// The source arrives as consecutive slices of one stream, one chunk of whole sample
// blocks per output frame, as AudioChunkSchedule cuts it; each frame hands the writer
// the output amount the same schedule gives for the output format. So this is a stream
// converter, not a per-chunk one:
//   - one GStreamer converter lives for the whole conversion, so the resampler's
//     history carries over chunk boundaries and the sound has no seams;
//   - it resamples by the nominal rates (11,025 Hz from 44,100 Hz is exactly a
//     quarter), so the pitch is exact, and since both schedules keep to the same frame
//     rate the converted audio waiting for the writer stays bounded however long the
//     conversion runs;
//   - converted audio waits in a queue from which each frame takes exactly its share.
//     The queue starts with a few samples of silence covering the resampler's start-up
//     delay, so no frame is ever short.
//
// Single-threaded: called on the conversion's thread only.
class AudioConverter {
public:
    // A source with no audio (no channels) gives a converter that passes chunks
    // through. Throws CMyException when the pair of formats cannot be converted (not
    // integer or float PCM, an invalid block size or rate, more than 8 channels) or the
    // frame rate is not positive.
    AudioConverter(const WAVEFORMATEX& sourceFormat, const WAVEFORMATEX& outputFormat, double frameRate);
    AudioConverter(const AudioConverter&) = delete;
    AudioConverter& operator=(const AudioConverter&) = delete;

    // True when the source format equals the output format in all 18 bytes (or there
    // is no audio): chunks are handed on unchanged.
    bool IsPassThrough() const { return !converter_; }

    // The most bytes one result of ConvertAudio holds.
    uint32_t MaxConvertedChunkSize() const { return outputSchedule_.MaxChunkBytes(); }

    // chunk: one frame's source audio of `length` bytes, or null when no audio is left
    // (the result is then null). Returns chunk itself when passing through (with
    // *convertedLength = length), otherwise this converter's own buffer holding
    // *convertedLength bytes, valid until the next call.
    const uint8_t* ConvertAudio(const uint8_t* chunk, uint32_t length, uint32_t* convertedLength);

private:
    void FillSilence(uint8_t* bytes, size_t length) const;

    GstPtr<GstAudioConverter> converter_;
    const GstAudioFormatInfo* outputInfo_ = nullptr;
    AudioChunkSchedule outputSchedule_;
    uint32_t sourceBlock_ = 0;
    uint32_t outputBlock_ = 0;

    // Converted bytes waiting for the writer; the first handedOut_ of them were returned
    // by the last call.
    std::vector<uint8_t> queue_;
    size_t queueLength_ = 0;
    size_t handedOut_ = 0;
};

}  // namespace klova
