#include "asfout/video_encoder.h"

#include "asfout/asf_error.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <utility>

namespace asfout {
namespace {

constexpr int32_t kMaxDimension = 4096;

// Fullness of the rate-control buffer at the start of a file, as a fraction of its size.
constexpr double kInitialBufferFullness = 0.3;

}  // namespace

VideoEncoder::VideoEncoder(int32_t width, int32_t height, AVRational frameRate, AVRational pixelAspect,
                           const VideoStreamProfile& profile, bool globalHeader, int streamIndex)
    : streamIndex_(streamIndex), dibHeight_(height)
{
    if (width < 1 || height < 1 || width > kMaxDimension || height > kMaxDimension)
        throw AsfError("unsupported frame size", kInvalidArgument);
    if (frameRate.num <= 0 || frameRate.den <= 0)
        throw AsfError("unsupported frame rate", kInvalidArgument);
    if (pixelAspect.num <= 0 || pixelAspect.den <= 0)
        throw AsfError("unsupported pixel aspect", kInvalidArgument);

    const int codedWidth = std::max(2, width & ~1);
    const int codedHeight = std::max(2, height & ~1);
    const int sourceWidth = std::min(width, codedWidth);
    sourceHeight_ = std::min(height, codedHeight);
    dibStride_ = ((24 * static_cast<ptrdiff_t>(width) + 31) / 32) * 4;

    const AVCodec* codec = avcodec_find_encoder(profile.codecVersion == 7 ? AV_CODEC_ID_WMV1 : AV_CODEC_ID_WMV2);
    if (!codec)
        throw AsfError("no WMV encoder in libavcodec");
    context_.reset(avcodec_alloc_context3(codec));
    if (!context_)
        throw AsfError("avcodec_alloc_context3", kOutOfMemory);
    AVCodecContext& c = *context_;
    c.width = codedWidth;
    c.height = codedHeight;
    c.pix_fmt = AV_PIX_FMT_YUV420P;
    // The muxer writes it into the header's stream properties.
    c.sample_aspect_ratio = pixelAspect;
    c.framerate = frameRate;
    c.time_base = av_inv_q(frameRate);
    c.max_b_frames = 0;
    const double framesPerSecond = av_q2d(frameRate);
    c.gop_size = static_cast<int>(std::clamp(std::lround(profile.keyFrameSpacingMs * framesPerSecond / 1000.0), 1L, 100'000L));

    // Constant bit rate over the profile's buffer window: without the buffer model
    // the rate control drifts well above low targets. The peak gets one percent of
    // headroom over the average, which the encoder's rate control expects.
    c.bit_rate = profile.bitRate;
    c.rc_max_rate = profile.bitRate + profile.bitRate / 100;
    c.rc_buffer_size = static_cast<int>(std::min<int64_t>(profile.bitRate * profile.bufferWindowMs / 1000, INT_MAX));
    // The file holds what the buffer model lets through: the rate times the duration,
    // plus the buffer's fullness at the start, minus its fullness at the end. The rate
    // control leaves the buffer about a third full at the end; starting it there too
    // keeps even a short file on the profile's rate (the encoder's default start,
    // three quarters full, puts a 30 s file 4 to 5 % above it). It also keeps the
    // first key frame, which has no history to be estimated from, from taking a
    // large share of the budget.
    c.rc_initial_buffer_occupancy = static_cast<int>(c.rc_buffer_size * kInitialBufferFullness);
    c.qcompress = static_cast<float>(std::clamp(profile.quality, 0, 100)) / 100.0f;
    if (globalHeader)
        c.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    CheckAv(avcodec_open2(&c, codec, nullptr), "opening the video encoder");

    if (sourceWidth == codedWidth && sourceHeight_ == codedHeight) {
        converter_.emplace(codedWidth, codedHeight);
    } else {
        scaler_.reset(sws_getContext(sourceWidth, sourceHeight_, AV_PIX_FMT_BGR24, codedWidth, codedHeight,
                                     AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr, nullptr));
        if (!scaler_)
            throw AsfError("sws_getContext");
    }
    packet_.reset(av_packet_alloc());
    if (!packet_)
        throw AsfError("av_packet_alloc", kOutOfMemory);
    for (FramePtr& frame : frames_) {
        frame.reset(av_frame_alloc());
        if (!frame)
            throw AsfError("av_frame_alloc", kOutOfMemory);
        frame->format = c.pix_fmt;
        frame->width = c.width;
        frame->height = c.height;
        CheckAv(av_frame_get_buffer(frame.get(), 0), "allocating a video frame");
    }
    worker_ = std::thread([this] { Run(); });
}

VideoEncoder::~VideoEncoder()
{
    {
        std::lock_guard guard(lock_);
        stopping_ = true;
    }
    changed_.notify_all();
    worker_.join();
}

// A frame neither the encoder's thread is reading (the last one posted) nor the
// encoder keeps a reference to.
AVFrame* VideoEncoder::WritableFrame()
{
    for (size_t tried = 0; tried < frames_.size(); ++tried) {
        AVFrame* frame = frames_[nextFrame_].get();
        nextFrame_ = (nextFrame_ + 1) % frames_.size();
        if (frame != lastPosted_ && av_frame_is_writable(frame))
            return frame;
    }
    AVFrame* frame = frames_[nextFrame_].get();
    if (frame == lastPosted_) {
        nextFrame_ = (nextFrame_ + 1) % frames_.size();
        frame = frames_[nextFrame_].get();
    }
    nextFrame_ = (nextFrame_ + 1) % frames_.size();
    // Gives the frame a buffer of its own; the encoder keeps the old one.
    CheckAv(av_frame_make_writable(frame), "making a video frame writable");
    return frame;
}

void VideoEncoder::Write(const uint8_t* dib, PacketSink& sink)
{
    // The conversion runs while the encoder's thread may still be encoding the
    // previous frame, which it does not touch; only then is that frame waited for.
    AVFrame* frame = WritableFrame();
    // The DIB is bottom-up: start at its last row (the top of the picture) and walk
    // backwards. An odd height drops the picture's bottom row, the DIB's first.
    const uint8_t* top = dib + dibStride_ * (dibHeight_ - 1);
    if (converter_) {
        converter_->Convert(top, -dibStride_, *frame);
    } else {
        const uint8_t* const planes[1] = {top};
        const int strides[1] = {static_cast<int>(-dibStride_)};
        sws_scale(scaler_.get(), planes, strides, 0, sourceHeight_, frame->data, frame->linesize);
    }
    frame->pts = frameIndex_++;
    // The previous frame's packets; the encoder's thread is idle after this.
    Collect(sink);
    {
        std::lock_guard guard(lock_);
        posted_ = frame;
        busy_ = true;
    }
    lastPosted_ = frame;
    changed_.notify_all();
}

void VideoEncoder::Finish(PacketSink& sink)
{
    Collect(sink);
    Encode(nullptr, sink);
}

void VideoEncoder::Collect(PacketSink& sink)
{
    std::exception_ptr failure;
    {
        std::unique_lock guard(lock_);
        changed_.wait(guard, [this] { return !busy_; });
        failure = std::exchange(failure_, nullptr);
    }
    if (failure)
        std::rethrow_exception(failure);
    const size_t ready = std::exchange(readyCount_, 0);
    for (size_t i = 0; i < ready; ++i)
        sink.Put(*packets_[i], context_->time_base, streamIndex_);
}

void VideoEncoder::Run()
{
    for (;;) {
        const AVFrame* frame = nullptr;
        {
            std::unique_lock guard(lock_);
            changed_.wait(guard, [this] { return posted_ != nullptr || stopping_; });
            if (stopping_)
                return;
            frame = std::exchange(posted_, nullptr);
        }
        std::exception_ptr failure;
        try {
            EncodePosted(frame);
        } catch (...) {
            failure = std::current_exception();
        }
        {
            std::lock_guard guard(lock_);
            failure_ = failure;
            busy_ = false;
        }
        changed_.notify_all();
    }
}

// On the encoder's thread. The packets are kept in order for Collect.
void VideoEncoder::EncodePosted(const AVFrame* frame)
{
    CheckAv(avcodec_send_frame(context_.get(), frame), "sending a video frame");
    for (;;) {
        if (readyCount_ == packets_.size()) {
            packets_.emplace_back(av_packet_alloc());
            if (!packets_.back())
                throw AsfError("av_packet_alloc", kOutOfMemory);
        }
        AVPacket* packet = packets_[readyCount_].get();
        const int result = avcodec_receive_packet(context_.get(), packet);
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
            return;
        CheckAv(result, "encoding video");
        packet->duration = 1;
        ++readyCount_;
    }
}

void VideoEncoder::Encode(const AVFrame* frame, PacketSink& sink)
{
    CheckAv(avcodec_send_frame(context_.get(), frame), "sending a video frame");
    for (;;) {
        const int result = avcodec_receive_packet(context_.get(), packet_.get());
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
            return;
        CheckAv(result, "encoding video");
        packet_->duration = 1;
        sink.Put(*packet_, context_->time_base, streamIndex_);
    }
}

}  // namespace asfout
