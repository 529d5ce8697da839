// Owning handles for the FFmpeg objects the writer library uses. Each deleter accepts
// null, so a default-constructed handle is always safe to destroy.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/frame.h>
#include <libavutil/mem.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <memory>

namespace asfout {

struct FormatContextDeleter {
    // Frees the context only; its AVIOContext is owned by an AvioPtr of its own.
    void operator()(AVFormatContext* context) const noexcept { avformat_free_context(context); }
};
struct AvioDeleter {
    void operator()(AVIOContext* io) const noexcept { avio_closep(&io); }
};
struct CodecContextDeleter {
    void operator()(AVCodecContext* context) const noexcept { avcodec_free_context(&context); }
};
struct FrameDeleter {
    void operator()(AVFrame* frame) const noexcept { av_frame_free(&frame); }
};
struct PacketDeleter {
    void operator()(AVPacket* packet) const noexcept { av_packet_free(&packet); }
};
struct SwsContextDeleter {
    void operator()(SwsContext* context) const noexcept { sws_freeContext(context); }
};
struct SwrContextDeleter {
    void operator()(SwrContext* context) const noexcept { swr_free(&context); }
};
struct AudioFifoDeleter {
    void operator()(AVAudioFifo* fifo) const noexcept { av_audio_fifo_free(fifo); }
};
struct AvMemoryDeleter {
    void operator()(void* memory) const noexcept { av_free(memory); }
};

using FormatContextPtr = std::unique_ptr<AVFormatContext, FormatContextDeleter>;
using AvioPtr = std::unique_ptr<AVIOContext, AvioDeleter>;
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;
using SwsContextPtr = std::unique_ptr<SwsContext, SwsContextDeleter>;
using SwrContextPtr = std::unique_ptr<SwrContext, SwrContextDeleter>;
using AudioFifoPtr = std::unique_ptr<AVAudioFifo, AudioFifoDeleter>;
using AvMemoryPtr = std::unique_ptr<uint8_t, AvMemoryDeleter>;

}  // namespace asfout
