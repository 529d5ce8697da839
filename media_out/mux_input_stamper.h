// Time stamps for what enters the AVI muxer, so it interleaves the two streams in time
// order. avimux writes whichever waiting buffer is older, counting a video frame half a
// second later than its time; it needs a buffer of each stream to choose.
//   - Video frames are stamped by their count at the output frame rate. Encoders do not
//     always keep sane stamps (libav's write none, and shift their segment by 1000
//     hours), and an AVI frame's time is its position anyway.
//   - Audio keeps its own time (its byte count, or the encoder's), moved half a second
//     later, so that the muxer compares the true times of both streams: the file then
//     alternates audio and video chunks no more than a frame apart, and neither stream
//     waits half a second of the other in a queue.
// Both streams get a time segment from zero, matching the stamps.
#pragma once

#include "platform/gst_ptr.h"

#include <gst/gst.h>

#include <cstdint>

namespace klova {

class MuxInputStamper {
public:
    enum class Kind { Video, Audio };

    // How much later avimux counts a video frame than an audio buffer of the same time.
    static constexpr GstClockTime kMuxerVideoDelay = GST_SECOND / 2;

    // Restamps everything that leaves the pad (a src pad on the way to the muxer) from
    // now on; borrowed, it must outlive the stamper. frameRate: the video's fraction.
    MuxInputStamper(GstPad* pad, Kind kind, int32_t rateNumerator = 0, int32_t rateDenominator = 1);
    ~MuxInputStamper();
    MuxInputStamper(const MuxInputStamper&) = delete;
    MuxInputStamper& operator=(const MuxInputStamper&) = delete;

private:
    // Called on the pad's streaming thread.
    static GstPadProbeReturn OnData(GstPad* pad, GstPadProbeInfo* info, gpointer self) noexcept;
    GstPadProbeReturn Stamp(GstPadProbeInfo* info);
    void StampBuffer(GstBuffer* buffer);
    GstClockTime VideoTime(uint64_t frames) const;

    GstPtr<GstPad> pad_;
    gulong probe_ = 0;
    const Kind kind_;
    const int32_t rateNumerator_;
    const int32_t rateDenominator_;

    // Streaming thread only.
    GstSegment incoming_;      // the segment the stamps arrive in
    uint64_t frames_ = 0;      // video frames stamped
    GstClockTime audioEnd_ = 0;  // end of the last audio buffer, on the outgoing time line
};

}  // namespace klova
