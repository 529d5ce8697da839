#include "asfout/audio_encoder.h"

#include "asfout/asf_error.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
}

#include <algorithm>
#include <cmath>
#include <cstring>

namespace asfout {
namespace {

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatFloat = 3;

AVSampleFormat InputSampleFormat(const PcmFormat& format)
{
    if (format.formatTag == kFormatPcm) {
        switch (format.bitsPerSample) {
        case 8: return AV_SAMPLE_FMT_U8;
        case 16: return AV_SAMPLE_FMT_S16;
        case 32: return AV_SAMPLE_FMT_S32;
        default: break;
        }
    } else if (format.formatTag == kFormatFloat && format.bitsPerSample == 32) {
        return AV_SAMPLE_FMT_FLT;
    }
    throw AsfError("unsupported audio sample format", kInvalidArgument);
}

int OutputRate(uint32_t inputRate)
{
    if (inputRate < 8000)
        return 8000;
    if (inputRate <= 48000)
        return static_cast<int>(inputRate);
    return inputRate % 44100 == 0 ? 44100 : 48000;
}

}  // namespace

AudioEncoder::AudioEncoder(const PcmFormat& format, double framesPerSecond, const AudioStreamProfile& profile,
                           bool globalHeader, int streamIndex)
    : streamIndex_(streamIndex), blockAlign_(format.blockAlign)
{
    const AVSampleFormat inputFormat = InputSampleFormat(format);
    if (format.channels < 1 || format.channels > 8 || format.samplesPerSec < 1000 || format.samplesPerSec > 384000 ||
        format.blockAlign != format.channels * format.bitsPerSample / 8)
        throw AsfError("unsupported audio format", kInvalidArgument);
    if (!(framesPerSecond > 0.0))
        throw AsfError("unsupported frame rate", kInvalidArgument);
    const double blocks = std::floor(static_cast<double>(format.samplesPerSec) / framesPerSecond) + 2.0;
    if (!(blocks * format.blockAlign <= 64.0 * 1024 * 1024))
        throw AsfError("unsupported audio chunk length", kInvalidArgument);
    maxChunkBytes_ = static_cast<size_t>(blocks) * format.blockAlign;

    const AVCodec* codec = avcodec_find_encoder(profile.codecVersion == 1 ? AV_CODEC_ID_WMAV1 : AV_CODEC_ID_WMAV2);
    if (!codec)
        throw AsfError("no WMA encoder in libavcodec");
    context_.reset(avcodec_alloc_context3(codec));
    if (!context_)
        throw AsfError("avcodec_alloc_context3", kOutOfMemory);
    AVCodecContext& c = *context_;
    c.sample_fmt = AV_SAMPLE_FMT_FLTP;
    c.sample_rate = OutputRate(format.samplesPerSec);
    av_channel_layout_default(&c.ch_layout, std::min<int>(format.channels, 2));
    c.bit_rate = profile.bitRate;
    c.time_base = AVRational{1, c.sample_rate};
    if (globalHeader)
        c.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    CheckAv(avcodec_open2(&c, codec, nullptr), "opening the audio encoder");
    if (c.frame_size <= 0)
        throw AsfError("audio encoder without a frame size");

    AVChannelLayout inputLayout;
    av_channel_layout_default(&inputLayout, format.channels);
    SwrContext* resampler = nullptr;
    const int made = swr_alloc_set_opts2(&resampler, &c.ch_layout, c.sample_fmt, c.sample_rate, &inputLayout,
                                         inputFormat, static_cast<int>(format.samplesPerSec), 0, nullptr);
    av_channel_layout_uninit(&inputLayout);
    resampler_.reset(resampler);
    CheckAv(made, "swr_alloc_set_opts2");
    CheckAv(swr_init(resampler_.get()), "swr_init");

    staging_.resize(blockAlign_ + maxChunkBytes_);
    EnsureCapacity(swr_get_out_samples(resampler_.get(), static_cast<int>(staging_.size() / blockAlign_)) + 64);
    fifo_.reset(av_audio_fifo_alloc(c.sample_fmt, c.ch_layout.nb_channels, convertedCapacity_ + 2 * c.frame_size));
    if (!fifo_)
        throw AsfError("av_audio_fifo_alloc", kOutOfMemory);
    frame_.reset(av_frame_alloc());
    packet_.reset(av_packet_alloc());
    if (!frame_ || !packet_)
        throw AsfError("allocating audio frame and packet", kOutOfMemory);
    frame_->format = c.sample_fmt;
    frame_->sample_rate = c.sample_rate;
    frame_->nb_samples = c.frame_size;
    CheckAv(av_channel_layout_copy(&frame_->ch_layout, &c.ch_layout), "av_channel_layout_copy");
    CheckAv(av_frame_get_buffer(frame_.get(), 0), "allocating an audio frame");
}

// Grows the conversion buffer; set up once, and again only if the resampler ever
// asks for more room than foreseen.
void AudioEncoder::EnsureCapacity(int samples)
{
    if (samples <= convertedCapacity_)
        return;
    const int channels = context_->ch_layout.nb_channels;
    converted_.reset();
    convertedPlanes_.assign(static_cast<size_t>(channels), nullptr);
    convertedCapacity_ = 0;
    CheckAv(av_samples_alloc(convertedPlanes_.data(), nullptr, channels, samples, context_->sample_fmt, 0),
            "allocating the conversion buffer");
    converted_.reset(convertedPlanes_[0]);  // one block holds every plane
    convertedCapacity_ = samples;
}

void AudioEncoder::Convert(const uint8_t** input, int inputSamples)
{
    EnsureCapacity(swr_get_out_samples(resampler_.get(), inputSamples));
    const int produced =
        CheckAv(swr_convert(resampler_.get(), convertedPlanes_.data(), convertedCapacity_, input, inputSamples),
                "converting audio");
    if (produced > 0) {
        CheckAv(av_audio_fifo_write(fifo_.get(), reinterpret_cast<void**>(convertedPlanes_.data()), produced),
                "queueing audio");
        samplesQueued_ += produced;
    }
}

void AudioEncoder::Write(const uint8_t* chunk, size_t length, PacketSink& sink)
{
    if (length == 0)
        return;
    if (carryBytes_ + length > staging_.size())
        staging_.resize(carryBytes_ + length);
    std::memcpy(staging_.data() + carryBytes_, chunk, length);
    const size_t bytes = carryBytes_ + length;
    const size_t blocks = bytes / blockAlign_;
    if (blocks > 0) {
        const uint8_t* input[1] = {staging_.data()};
        Convert(input, static_cast<int>(blocks));
    }
    carryBytes_ = bytes - blocks * blockAlign_;
    std::memmove(staging_.data(), staging_.data() + blocks * blockAlign_, carryBytes_);
    EncodeFullFrames(sink);
}

void AudioEncoder::EncodeFullFrames(PacketSink& sink)
{
    const int frameSize = context_->frame_size;
    while (av_audio_fifo_size(fifo_.get()) >= frameSize) {
        CheckAv(av_frame_make_writable(frame_.get()), "making an audio frame writable");
        const int read = av_audio_fifo_read(fifo_.get(), reinterpret_cast<void**>(frame_->data), frameSize);
        if (read != frameSize)
            throw AsfError("audio fifo underrun");
        frame_->nb_samples = frameSize;
        frame_->pts = samplesEncoded_;
        samplesEncoded_ += frameSize;
        Encode(frame_.get(), sink);
    }
}

void AudioEncoder::Finish(PacketSink& sink)
{
    // Samples still inside the resampler's filter.
    for (;;) {
        EnsureCapacity(swr_get_out_samples(resampler_.get(), 0));
        const int produced =
            CheckAv(swr_convert(resampler_.get(), convertedPlanes_.data(), convertedCapacity_, nullptr, 0),
                    "draining the resampler");
        if (produced <= 0)
            break;
        CheckAv(av_audio_fifo_write(fifo_.get(), reinterpret_cast<void**>(convertedPlanes_.data()), produced),
                "queueing audio");
        samplesQueued_ += produced;
    }
    carryBytes_ = 0;
    soundEnd_ = samplesQueued_;

    if (soundEnd_ > 0) {
        // The encoder delays its output by one frame (its priming, stamped before 0),
        // so the sound is all out only once one frame of silence has followed it.
        const int64_t frameSize = context_->frame_size;
        const int64_t total = (soundEnd_ + frameSize + frameSize - 1) / frameSize * frameSize;
        int64_t silence = total - samplesQueued_;
        av_samples_set_silence(convertedPlanes_.data(), 0, convertedCapacity_, context_->ch_layout.nb_channels,
                               context_->sample_fmt);
        while (silence > 0) {
            const int piece = static_cast<int>(std::min<int64_t>(silence, convertedCapacity_));
            CheckAv(av_audio_fifo_write(fifo_.get(), reinterpret_cast<void**>(convertedPlanes_.data()), piece),
                    "queueing silence");
            samplesQueued_ += piece;
            silence -= piece;
            EncodeFullFrames(sink);
        }
        EncodeFullFrames(sink);
    }
    Encode(nullptr, sink);
}

void AudioEncoder::Encode(const AVFrame* frame, PacketSink& sink)
{
    CheckAv(avcodec_send_frame(context_.get(), frame), "sending audio");
    for (;;) {
        const int result = avcodec_receive_packet(context_.get(), packet_.get());
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
            return;
        CheckAv(result, "encoding audio");
        int64_t duration = context_->frame_size;
        if (soundEnd_ >= 0 && packet_->pts != AV_NOPTS_VALUE)
            duration = std::clamp<int64_t>(soundEnd_ - packet_->pts, 1, duration);
        packet_->duration = duration;
        sink.Put(*packet_, context_->time_base, streamIndex_);
    }
}

}  // namespace asfout
