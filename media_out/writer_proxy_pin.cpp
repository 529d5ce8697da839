#include "media_out/writer_proxy_pin.h"

GST_DEBUG_CATEGORY_STATIC(writer_proxy_pin_debug);
#define GST_CAT_DEFAULT writer_proxy_pin_debug

namespace klova {

namespace {

void InitDebugCategory()
{
    static const bool initialised = [] {
        GST_DEBUG_CATEGORY_INIT(writer_proxy_pin_debug, "klovawriterproxy", 0, "writer proxy streaming");
        return true;
    }();
    (void)initialised;
}

}  // namespace

WriterProxyPin::WriterProxyPin(GstBaseSrc* element) : element_(element)
{
    InitDebugCategory();
    // An end of stream that the engine did not ask for (a downstream element refused
    // more data) stops the streaming thread for good: the engine must not wait for it.
    gst_pad_add_probe(GST_BASE_SRC_PAD(element_), GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, OnDownstreamEvent, this,
                      nullptr);
}

WriterProxyPin::~WriterProxyPin()
{
    UnwatchPipeline();
}

bool WriterProxyPin::Start()
{
    streamTime_ = 0;
    ResetStream();
    handoff_.Start();
    WatchPipeline();
    return true;
}

bool WriterProxyPin::Stop()
{
    UnwatchPipeline();
    handoff_.Stop();
    return true;
}

bool WriterProxyPin::Unlock()
{
    handoff_.SetFlushing(true);
    return true;
}

bool WriterProxyPin::UnlockStop()
{
    handoff_.SetFlushing(false);
    return true;
}

bool WriterProxyPin::DecideAllocation(GstQuery* query)
{
    GstCaps* caps = nullptr;
    gst_query_parse_allocation(query, &caps, nullptr);
    const guint size = OutputBufferSize();
    if (!caps || size == 0)
        return false;

    GstPtr<GstAllocator> allocator;
    GstAllocationParams params;
    gst_allocation_params_init(&params);
    if (gst_query_get_n_allocation_params(query) > 0) {
        GstAllocator* proposed = nullptr;
        gst_query_parse_nth_allocation_param(query, 0, &proposed, &params);
        allocator = adopt(proposed);
    }

    GstPtr<GstBufferPool> pool = adopt(gst_buffer_pool_new());
    GstStructure* config = gst_buffer_pool_get_config(pool.get());
    gst_buffer_pool_config_set_params(config, caps, size, 2, 0);
    gst_buffer_pool_config_set_allocator(config, allocator.get(), &params);
    if (!gst_buffer_pool_set_config(pool.get(), config)) {
        GST_ERROR_OBJECT(element_, "buffer pool of %u bytes refused its configuration", size);
        return false;
    }
    if (gst_query_get_n_allocation_pools(query) > 0)
        gst_query_set_nth_allocation_pool(query, 0, pool.get(), size, 2, 0);
    else
        gst_query_add_allocation_pool(query, pool.get(), size, 2, 0);
    return true;
}

GstFlowReturn WriterProxyPin::Fill(GstBuffer* buffer)
{
    const uint8_t* data = nullptr;
    uint32_t length = 0;
    std::unique_lock<std::mutex> handoffGuard;
    switch (handoff_.WaitForData(&data, &length, &handoffGuard)) {
    case WriterHandoff::Take::End:
        return GST_FLOW_EOS;
    case WriterHandoff::Take::Flushing:
        return GST_FLOW_FLUSHING;
    case WriterHandoff::Take::Data:
        break;
    }

    GstMapInfo map;
    std::optional<Piece> piece;
    if (gst_buffer_map(buffer, &map, GST_MAP_WRITE)) {
        piece = CopyInto(data, length, map.data, map.size);
        gst_buffer_unmap(buffer, &map);
    }
    if (!piece) {
        handoffGuard.unlock();  // the error wakes the engine, which takes its data back
        GST_ELEMENT_ERROR(element_, RESOURCE, WRITE, (nullptr), ("output buffer too small for the data"));
        return GST_FLOW_ERROR;
    }
    handoff_.Consumed(&handoffGuard);

    gst_buffer_set_size(buffer, piece->length);
    StampBuffer(buffer, piece->duration);
    return GST_FLOW_OK;
}

void WriterProxyPin::StampBuffer(GstBuffer* buffer, MediaTime duration)
{
    const MediaTime start = streamTime_;
    streamTime_ += duration;
    GST_BUFFER_PTS(buffer) = static_cast<GstClockTime>(start) * 100;
    GST_BUFFER_DTS(buffer) = GST_BUFFER_PTS(buffer);
    GST_BUFFER_DURATION(buffer) = static_cast<GstClockTime>(duration) * 100;
}

// Errors reach the top-level pipeline's bus; its sync-message signal is emitted on the
// posting thread, so a waiting engine call wakes without anyone pumping the bus.
void WriterProxyPin::WatchPipeline()
{
    UnwatchPipeline();
    GstPtr<GstObject> top(GST_OBJECT(gst_object_ref(element_)));
    while (GstObject* parent = gst_object_get_parent(top.get()))
        top = adopt(parent);
    if (!GST_IS_ELEMENT(top.get()))
        return;
    bus_ = adopt(gst_element_get_bus(GST_ELEMENT(top.get())));
    if (!bus_)
        return;
    gst_bus_enable_sync_message_emission(bus_.get());
    errorHandler_ = g_signal_connect(bus_.get(), "sync-message::error", G_CALLBACK(OnErrorMessage), this);
}

void WriterProxyPin::UnwatchPipeline()
{
    if (!bus_)
        return;
    g_signal_handler_disconnect(bus_.get(), errorHandler_);
    gst_bus_disable_sync_message_emission(bus_.get());
    errorHandler_ = 0;
    bus_.reset();
}

void WriterProxyPin::OnErrorMessage(GstBus*, GstMessage* message, gpointer self) noexcept
{
    auto* pin = static_cast<WriterProxyPin*>(self);
    GST_DEBUG_OBJECT(pin->element_, "pipeline error from %s", GST_MESSAGE_SRC_NAME(message));
    pin->handoff_.Abort(E_FAIL);
}

GstPadProbeReturn WriterProxyPin::OnDownstreamEvent(GstPad*, GstPadProbeInfo* info, gpointer self) noexcept
{
    auto* pin = static_cast<WriterProxyPin*>(self);
    if (GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)) == GST_EVENT_EOS && !pin->handoff_.EndRequested()) {
        GST_WARNING_OBJECT(pin->element_, "stream ended downstream before the engine ended it");
        pin->handoff_.Abort(E_FAIL);
    }
    return GST_PAD_PROBE_OK;
}

}  // namespace klova
