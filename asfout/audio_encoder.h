// Turns the PCM chunks of the output frames into WMA packets (version 2 or 1).
//
// Each chunk comes with its length: one frame's share of the sound, which varies by a
// sample block from frame to frame where the rate does not divide. Should a length not
// be a whole number of blocks, the bytes of the block cut by the chunk's end wait for
// the next chunk: the stream stays continuous, no byte lost or repeated. Audio is timed
// by its sample count.
#pragma once

#include "asfout/asf_profile.h"
#include "asfout/av_handles.h"
#include "asfout/packet_sink.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace asfout {

// The fields of the 18-byte WAVEFORMATEX the library reads.
struct PcmFormat {
    uint16_t formatTag = 0;  // 1 integer PCM, 3 IEEE float
    uint16_t channels = 0;
    uint32_t samplesPerSec = 0;
    uint32_t avgBytesPerSec = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
};

class AudioEncoder {
public:
    // Accepts integer PCM of 8, 16 or 32 bits and 32-bit float, 1 to 8 channels,
    // 1,000 to 384,000 samples per second, with nBlockAlign = channels x bits / 8.
    // More than two channels are mixed down to stereo; rates above 48 kHz are
    // resampled to 44.1 or 48 kHz, rates below 8 kHz to 8 kHz. Throws AsfError when
    // the format, the rate or the encoder set-up is refused.
    AudioEncoder(const PcmFormat& format, double framesPerSecond, const AudioStreamProfile& profile,
                 bool globalHeader, int streamIndex);

    const AVCodecContext& CodecContext() const { return *context_; }
    // Bytes a chunk holds at most: one frame's share rounded up, and a block to spare.
    // A longer chunk is taken too, at the cost of growing a buffer.
    size_t MaxChunkBytes() const { return maxChunkBytes_; }

    void Write(const uint8_t* chunk, size_t length, PacketSink& sink);
    // Ends the stream: a trailing partial block (less than one sample) is dropped;
    // the last frame is padded with silence, and the last packet's duration ends
    // where the sound does.
    void Finish(PacketSink& sink);

private:
    void Convert(const uint8_t** input, int inputSamples);
    void EnsureCapacity(int samples);
    void EncodeFullFrames(PacketSink& sink);
    void Encode(const AVFrame* frame, PacketSink& sink);

    int streamIndex_;
    size_t blockAlign_;
    size_t maxChunkBytes_;
    CodecContextPtr context_;
    SwrContextPtr resampler_;
    AudioFifoPtr fifo_;
    FramePtr frame_;
    PacketPtr packet_;
    std::vector<uint8_t> staging_;  // the carried partial block, then the chunk
    size_t carryBytes_ = 0;
    AvMemoryPtr converted_;                 // planar float samples out of the resampler
    std::vector<uint8_t*> convertedPlanes_; // one pointer per channel into converted_
    int convertedCapacity_ = 0;             // samples per channel
    int64_t samplesQueued_ = 0;             // samples put into the fifo, padding included
    int64_t samplesEncoded_ = 0;            // samples sent to the encoder
    int64_t soundEnd_ = -1;                 // samples of sound, known once finishing
};

}  // namespace asfout
