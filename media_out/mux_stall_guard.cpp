#include "media_out/mux_stall_guard.h"

GST_DEBUG_CATEGORY_STATIC(mux_stall_guard_debug);
#define GST_CAT_DEFAULT mux_stall_guard_debug

namespace klova {
namespace {

// Checks (one per wait period of the hand-off, a quarter of a second) without progress
// before a queue may grow: a muxer busy with one slow write is not a stall.
constexpr int kStillChecksBeforeGrowing = 4;

}  // namespace

MuxStallGuard::MuxStallGuard(GstElement* muxer)
{
    static const bool initialised = [] {
        GST_DEBUG_CATEGORY_INIT(mux_stall_guard_debug, "klovamuxguard", 0, "AVI muxer stall guard");
        return true;
    }();
    (void)initialised;
    muxerOutput_ = adopt(gst_element_get_static_pad(muxer, "src"));
    if (muxerOutput_)
        probe_ = gst_pad_add_probe(muxerOutput_.get(),
                                   static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER |
                                                                GST_PAD_PROBE_TYPE_BUFFER_LIST),
                                   OnOutput, this, nullptr);
}

MuxStallGuard::~MuxStallGuard()
{
    if (probe_)
        gst_pad_remove_probe(muxerOutput_.get(), probe_);
}

GstPadProbeReturn MuxStallGuard::OnOutput(GstPad*, GstPadProbeInfo*, gpointer self) noexcept
{
    static_cast<MuxStallGuard*>(self)->output_.fetch_add(1, std::memory_order_relaxed);
    return GST_PAD_PROBE_OK;
}

void MuxStallGuard::Remember(Watched* watched, GstElement* queue)
{
    watched->queue = GstPtr<GstElement>(GST_ELEMENT(gst_object_ref(queue)));
    g_object_get(queue, "max-size-buffers", &watched->stepBuffers, "max-size-bytes", &watched->stepBytes,
                 "max-size-time", &watched->stepTime, nullptr);
}

void MuxStallGuard::Watch(GstElement* videoQueue, GstElement* audioQueue)
{
    Remember(&video_, videoQueue);
    Remember(&audio_, audioQueue);
}

bool MuxStallGuard::IsFull(GstElement* queue)
{
    guint buffers = 0, maxBuffers = 0, bytes = 0, maxBytes = 0;
    guint64 time = 0, maxTime = 0;
    g_object_get(queue, "current-level-buffers", &buffers, "max-size-buffers", &maxBuffers, "current-level-bytes",
                 &bytes, "max-size-bytes", &maxBytes, "current-level-time", &time, "max-size-time", &maxTime, nullptr);
    return (maxBuffers > 0 && buffers >= maxBuffers) || (maxBytes > 0 && bytes >= maxBytes) ||
           (maxTime > 0 && time >= maxTime);
}

bool MuxStallGuard::IsEmpty(GstElement* queue)
{
    guint buffers = 0;
    g_object_get(queue, "current-level-buffers", &buffers, nullptr);
    return buffers == 0;
}

void MuxStallGuard::Grow(const Watched& watched)
{
    guint maxBuffers = 0, maxBytes = 0;
    guint64 maxTime = 0;
    GstElement* queue = watched.queue.get();
    g_object_get(queue, "max-size-buffers", &maxBuffers, "max-size-bytes", &maxBytes, "max-size-time", &maxTime,
                 nullptr);
    // A limit of 0 is no limit and stays so. Setting a limit wakes a producer waiting
    // for room.
    if (maxBuffers > 0)
        maxBuffers += watched.stepBuffers;
    if (maxBytes > 0)
        maxBytes += watched.stepBytes;
    if (maxTime > 0)
        maxTime += watched.stepTime;
    GST_INFO_OBJECT(queue, "the muxer waits for the other stream: %u buffers, %u bytes, %" GST_TIME_FORMAT " now",
                    maxBuffers, maxBytes, GST_TIME_ARGS(maxTime));
    g_object_set(queue, "max-size-buffers", maxBuffers, "max-size-bytes", maxBytes, "max-size-time", maxTime, nullptr);
}

bool MuxStallGuard::Check()
{
    const uint64_t output = output_.load(std::memory_order_relaxed);
    if (output != lastOutput_ || !video_.queue || !audio_.queue) {
        lastOutput_ = output;
        stillChecks_ = 0;
        return false;
    }
    if (++stillChecks_ < kStillChecksBeforeGrowing)
        return false;
    const Watched* full = nullptr;
    if (IsFull(video_.queue.get()) && IsEmpty(audio_.queue.get()))
        full = &video_;
    else if (IsFull(audio_.queue.get()) && IsEmpty(video_.queue.get()))
        full = &audio_;
    if (!full)
        return false;
    Grow(*full);
    stillChecks_ = 0;
    ++growths_;
    return true;
}

}  // namespace klova
