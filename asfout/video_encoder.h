// Turns bottom-up 24-bit DIB frames into WMV packets (version 8: WMV2, 7: WMV1).
#pragma once

#include "asfout/asf_profile.h"
#include "asfout/av_handles.h"
#include "asfout/bgr_to_yuv420.h"
#include "asfout/packet_sink.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

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

    // Encodes one frame of DibStride(width) * height bytes, stamped frameIndex / frame rate.
    void Write(const uint8_t* dib, PacketSink& sink);
    // Drains the encoder; no frame may follow.
    void Finish(PacketSink& sink);

private:
    AVFrame* WritableFrame();
    void Encode(const AVFrame* frame, PacketSink& sink);

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
    int64_t frameIndex_ = 0;
};

}  // namespace asfout
