// Keeps the AVI muxer from stalling the engine for good. The muxer needs a buffer of
// each stream to write either, and the engine hands over the two streams in turn; if one
// stream's queue before the muxer is full while the muxer waits for the other, whose
// queue is empty, the engine waits on the full one and never brings the other. Time
// stamps in time order (MuxInputStamper) and audio in exact amounts keep the queues far
// from that; should it happen all the same (an encoder that holds back more than a
// queue holds), the full queue is allowed to hold more, a step at a time, so the
// conversion goes on with memory bounded by what the streams really need.
#pragma once

#include "platform/gst_ptr.h"

#include <gst/gst.h>

#include <atomic>
#include <cstdint>

namespace klova {

class MuxStallGuard {
public:
    // muxer: what leaves it counts as progress. Borrowed; it must outlive the guard.
    explicit MuxStallGuard(GstElement* muxer);
    ~MuxStallGuard();
    MuxStallGuard(const MuxStallGuard&) = delete;
    MuxStallGuard& operator=(const MuxStallGuard&) = delete;

    // The queues whose levels decide: the last queue of each stream before the muxer.
    // Their limits at this moment are the step they grow by.
    void Watch(GstElement* videoQueue, GstElement* audioQueue);

    // Engine thread, while a hand-off waits. When nothing has left the muxer since the
    // calls of the last second and one queue is full while the other is empty, raises
    // the full queue's limits by one step. True when it did.
    bool Check();

    // Times a queue was allowed to hold more.
    int growths() const { return growths_; }

private:
    struct Watched {
        GstPtr<GstElement> queue;
        guint stepBuffers = 0;
        guint stepBytes = 0;
        guint64 stepTime = 0;
    };
    static void Remember(Watched* watched, GstElement* queue);
    static bool IsFull(GstElement* queue);
    static bool IsEmpty(GstElement* queue);
    static void Grow(const Watched& watched);
    static GstPadProbeReturn OnOutput(GstPad* pad, GstPadProbeInfo* info, gpointer self) noexcept;

    GstPtr<GstPad> muxerOutput_;
    gulong probe_ = 0;
    std::atomic<uint64_t> output_{0};  // buffers that left the muxer; any thread

    // Engine thread only.
    Watched video_;
    Watched audio_;
    uint64_t lastOutput_ = 0;
    int stillChecks_ = 0;  // consecutive checks that saw no progress
    int growths_ = 0;
};

}  // namespace klova
