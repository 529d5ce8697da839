// Conversion of the source audio, one output frame's chunk at a time, to the PCM
// format of the settings (rate, depth and channel count) before it reaches the writer.
#pragma once

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
// format, the output format, the output frame rate and the source chunk size (source
// bytes per output frame); all buffers are sized there.
//
// The source arrives as consecutive byte slices of one stream, one chunk per output
// frame, that need not end on whole sample blocks; the writer takes
// trunc(output nAvgBytesPerSec / frame rate) bytes per frame, which need not be whole
// blocks either. So this is a stream converter, not a per-chunk one:
//   - a partial sample block at the end of a chunk is kept and completed by the next;
//   - one GStreamer converter lives for the whole conversion, so the resampler's
//     history carries over chunk boundaries and the sound has no seams;
//   - it resamples by exactly (output bytes per frame / output block) :
//     (chunk size / source block), the ratio of what one frame consumes to what one
//     frame hands out. That differs from the nominal rate ratio only by the two
//     truncations to whole bytes (a fraction of a per cent), and it keeps the amount of
//     converted audio waiting for the writer bounded: the output of frame k is the
//     conversion of source chunk k, however long the conversion runs;
//   - converted audio waits in a queue from which each frame takes exactly its share,
//     so a small surplus or deficit passes to the next frame. The queue starts with a
//     few samples of silence covering the resampler's start-up delay, so no frame is
//     ever short.
//
// Single-threaded: called on the conversion's thread only.
class AudioConverter {
public:
    // A source with no audio (no channels, or a chunk size of 0) gives a converter that
    // passes chunks through. Throws CMyException when the pair of formats cannot be
    // converted (not integer or float PCM, an invalid block size or rate, more than 8
    // channels) or when the frame rate leaves no byte per frame.
    AudioConverter(const WAVEFORMATEX& sourceFormat, const WAVEFORMATEX& outputFormat, double frameRate,
                   int32_t sourceChunkSize);
    AudioConverter(const AudioConverter&) = delete;
    AudioConverter& operator=(const AudioConverter&) = delete;

    // True when the source format equals the output format in all 18 bytes (or there
    // is no audio): chunks are handed on unchanged.
    bool IsPassThrough() const { return !converter_; }

    // Bytes each non-null result of ConvertAudio holds: what the writer takes per frame,
    // trunc(output nAvgBytesPerSec / frame rate). The source chunk size when passing
    // through.
    uint32_t ConvertedChunkSize() const { return convertedChunkSize_; }

    // chunk: sourceChunkSize bytes, or null when no audio is left (the result is then
    // null). Returns chunk itself when passing through, otherwise this converter's own
    // buffer of ConvertedChunkSize() bytes, valid until the next call.
    const uint8_t* ConvertAudio(const uint8_t* chunk);

private:
    void FillSilence(uint8_t* bytes, size_t length) const;

    GstPtr<GstAudioConverter> converter_;
    const GstAudioFormatInfo* outputInfo_ = nullptr;
    uint32_t sourceChunkSize_ = 0;
    uint32_t sourceBlock_ = 0;
    uint32_t outputBlock_ = 0;
    uint32_t convertedChunkSize_ = 0;

    // Source bytes of the current chunk behind the partial block left by the last one.
    std::vector<uint8_t> input_;
    size_t carryLength_ = 0;

    // Converted bytes waiting for the writer; the first handedOut_ of them were returned
    // by the last call.
    std::vector<uint8_t> queue_;
    size_t queueLength_ = 0;
    size_t handedOut_ = 0;
};

}  // namespace klova
