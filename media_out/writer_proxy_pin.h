// The streaming side shared by the two writer proxy elements: the hand-off with the
// engine, the stream time, the output buffer pool, and the watch that turns a failure
// anywhere in the pipeline into the result of the engine's waiting call.
#pragma once

#include "media_out/writer_handoff.h"
#include "platform/callback_guard.h"
#include "platform/gst_ptr.h"
#include "platform/media_types.h"

#include <gst/base/gstbasesrc.h>
#include <gst/base/gstpushsrc.h>
#include <gst/gst.h>

#include <optional>

namespace klova {

class WriterProxyPin {
public:
    // The element is the GObject that owns this object; borrowed.
    explicit WriterProxyPin(GstBaseSrc* element);
    virtual ~WriterProxyPin();
    WriterProxyPin(const WriterProxyPin&) = delete;
    WriterProxyPin& operator=(const WriterProxyPin&) = delete;

    // Points the element class's virtual methods at trampolines into the pin, which
    // catch every exception. ToInstance is the element type's cast (KLOVA_..._PROXY);
    // its instance holds the pin in its member `pin`.
    template <auto ToInstance>
    static void InstallCallbacks(GstPushSrcClass* klass);

    // The caps offered (from the settings), the caps fixed, one buffer filled.
    virtual GstCaps* GetCaps(GstCaps* filter) const = 0;
    virtual bool SetCaps(GstCaps* caps) = 0;
    // Waits for the engine's next data and copies it into the buffer, with its time
    // stamps; end of stream when the engine ended it. Streaming thread.
    GstFlowReturn Fill(GstBuffer* buffer);

    // Start: READY to PAUSED, before the streaming thread runs; stream time 0.
    bool Start();
    bool Stop();
    bool Unlock();
    bool UnlockStop();
    // Our own pool of OutputBufferSize() bytes, at least two buffers and no maximum, so
    // a frame never waits for a buffer and nothing is allocated once the pool has grown
    // to what the queue and the encoder hold.
    bool DecideAllocation(GstQuery* query);

protected:
    // Bytes of one output buffer for the negotiated caps.
    virtual guint OutputBufferSize() const = 0;
    // A new stream begins (called by Start).
    virtual void ResetStream() {}

    // What one Fill put into its buffer: the bytes and the time they last.
    struct Piece {
        uint32_t length = 0;
        MediaTime duration = 0;
    };
    // Copies the engine's data (a frame, or a chunk of `length` bytes) into an output
    // buffer of capacity bytes; nothing when the buffer is too small. Streaming thread,
    // hand-off lock held.
    virtual std::optional<Piece> CopyInto(const uint8_t* data, uint32_t length, uint8_t* out, size_t capacity) = 0;

    GstBaseSrc* const element_;
    WriterHandoff handoff_;

private:
    // Sets the buffer's time stamps to [streamTime_, streamTime_ + duration) and
    // advances the stream time. Streaming thread.
    void StampBuffer(GstBuffer* buffer, MediaTime duration);

    static void OnErrorMessage(GstBus* bus, GstMessage* message, gpointer self) noexcept;
    static GstPadProbeReturn OnDownstreamEvent(GstPad* pad, GstPadProbeInfo* info, gpointer self) noexcept;
    void WatchPipeline();
    void UnwatchPipeline();

    MediaTime streamTime_ = 0;  // start of the next buffer; streaming thread only
    GstPtr<GstBus> bus_;        // the top-level pipeline's bus while streaming
    gulong errorHandler_ = 0;
};

// The element's instance memory is zero-filled and never constructed: it holds one
// pointer to the pin, which owns the real state.
template <auto ToInstance>
void WriterProxyPin::InstallCallbacks(GstPushSrcClass* klass)
{
    static constexpr auto pin = [](gpointer element) -> WriterProxyPin* { return ToInstance(element)->pin; };
    GstBaseSrcClass* baseClass = GST_BASE_SRC_CLASS(klass);
    baseClass->get_caps = [](GstBaseSrc* element, GstCaps* filter) -> GstCaps* {
        return GuardCallback(GST_ELEMENT(element), "caps query", [&] { return pin(element)->GetCaps(filter); },
                             nullptr);
    };
    baseClass->set_caps = [](GstBaseSrc* element, GstCaps* caps) -> gboolean {
        return GuardCallback(GST_ELEMENT(element), "set caps", [&] { return gboolean(pin(element)->SetCaps(caps)); },
                             FALSE);
    };
    baseClass->decide_allocation = [](GstBaseSrc* element, GstQuery* query) -> gboolean {
        return GuardCallback(GST_ELEMENT(element), "allocation",
                             [&] { return gboolean(pin(element)->DecideAllocation(query)); }, FALSE);
    };
    baseClass->start = [](GstBaseSrc* element) -> gboolean {
        return GuardCallback(GST_ELEMENT(element), "start", [&] { return gboolean(pin(element)->Start()); }, FALSE);
    };
    baseClass->stop = [](GstBaseSrc* element) -> gboolean {
        return GuardCallback(GST_ELEMENT(element), "stop", [&] { return gboolean(pin(element)->Stop()); }, FALSE);
    };
    baseClass->unlock = [](GstBaseSrc* element) -> gboolean {
        return GuardCallback(GST_ELEMENT(element), "unlock", [&] { return gboolean(pin(element)->Unlock()); }, FALSE);
    };
    baseClass->unlock_stop = [](GstBaseSrc* element) -> gboolean {
        return GuardCallback(GST_ELEMENT(element), "unlock stop", [&] { return gboolean(pin(element)->UnlockStop()); },
                             FALSE);
    };
    klass->fill = [](GstPushSrc* element, GstBuffer* buffer) -> GstFlowReturn {
        return GuardCallback(GST_ELEMENT(element), "fill", [&] { return pin(element)->Fill(buffer); }, GST_FLOW_ERROR);
    };
}

}  // namespace klova
