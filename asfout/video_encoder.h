// Turns bottom-up 24-bit DIB frames into WMV packets (version 8: WMV2, 7: WMV1).
#pragma once

#include "asfout/asf_profile.h"
#include "asfout/av_handles.h"
#include "asfout/bgr_to_yuv420.h"
#include "asfout/packet_sink.h"

#include <array>
#include <cstddef>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace asfout {

class VideoEncoder {
public:
    // width x height is the size of the frames handed in. The encoded size is the
    // same, except that an odd dimension loses its last column or bottom row (the
    // codec needs even sizes) and a dimension of 1 is stretched to 2.
    // pixelAspect: the shape of the pixels, stored in the stream (1/1: square).
    // Throws AsfError when the size, the rate or the encoder set-up is refused.
    VideoEncoder(int32_t width, int32_t height, AVRational frameRate, AVRational pixelAspect,
                 const VideoStreamProfile& profile, bool globalHeader, int streamIndex);

    const AVCodecContext& CodecContext() const { return *context_; }

    ~VideoEncoder();
    VideoEncoder(const VideoEncoder&) = delete;
    VideoEncoder& operator=(const VideoEncoder&) = delete;

    // Converts one frame of DibStride(width) * height bytes, stamped frameIndex / frame
    // rate, and has it encoded on the encoder's own thread while the caller goes on:
    // the frame is read before Write returns. The packets of a frame reach the sink
    // at the next Write or at Finish (the muxer interleaves by time), and so does a
    // failure to encode it (AsfError).
    void Write(const uint8_t* dib, PacketSink& sink);
    // Drains the encoder; no frame may follow.
    void Finish(PacketSink& sink);

private:
    AVFrame* WritableFrame();
    // Waits for the frame being encoded and hands its packets to the sink.
    void Collect(PacketSink& sink);
    void Encode(const AVFrame* frame, PacketSink& sink);
    // The encoder's thread: sends each posted frame and keeps its packets.
    void Run();
    void EncodePosted(const AVFrame* frame);

    int streamIndex_;
    int32_t dibHeight_;     // rows of each DIB
    int32_t sourceHeight_;  // rows of it that are encoded, from the top of the picture
    ptrdiff_t dibStride_;
    CodecContextPtr context_;
    // BGR to 4:2:0 in one pass; swscale only stretches a dimension of 1.
    std::optional<BgrToYuv420> converter_;
    SwsContextPtr scaler_;
    PacketPtr packet_;
    // The encoder may keep a reference to the last frames it was given; rotating
    // through a few frames keeps one writable without allocating per frame.
    std::array<FramePtr, 3> frames_;
    size_t nextFrame_ = 0;
    const AVFrame* lastPosted_ = nullptr;  // the caller's record of the frame last handed over
    int64_t frameIndex_ = 0;

    // Hand-off with the encoder's thread. While busy_ the thread owns the codec
    // context and the packets; the caller touches them only once it is idle again.
    std::mutex lock_;
    std::condition_variable changed_;
    const AVFrame* posted_ = nullptr;
    bool busy_ = false;
    bool stopping_ = false;
    std::exception_ptr failure_;
    // Packets of the last frame encoded, ready for the sink: the first readyCount_ of
    // packets_, which are kept and reused.
    std::vector<PacketPtr> packets_;
    size_t readyCount_ = 0;
    std::thread worker_;  // last: starts once everything above exists
};

}  // namespace asfout
