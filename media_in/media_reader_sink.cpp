#include "media_in/media_reader_sink.h"

#include "media_in/media_reader_filter.h"
#include "platform/callback_guard.h"
#include "platform/gst_ptr.h"

#include <gst/base/gstbasesink.h>

#include <mutex>
#include <new>
#include <optional>

GST_DEBUG_CATEGORY(klova_media_reader_debug);
#define GST_CAT_DEFAULT klova_media_reader_debug

using klova::GstPtr;
using klova::GuardCallback;
using klova::MediaReaderFilter;

G_BEGIN_DECLS
#define KLOVA_TYPE_MEDIA_READER_SINK (klova_media_reader_sink_get_type())
G_DECLARE_FINAL_TYPE(KlovaMediaReaderSink, klova_media_reader_sink, KLOVA, MEDIA_READER_SINK, GstBaseSink)
G_END_DECLS

struct _KlovaMediaReaderSink {
    GstBaseSink parent;
    MediaReaderFilter* impl;  // owned; null only if its construction failed
};

G_DEFINE_TYPE(KlovaMediaReaderSink, klova_media_reader_sink, GST_TYPE_BASE_SINK)

namespace {

GstStaticPadTemplate sinkTemplate = GST_STATIC_PAD_TEMPLATE(
    "sink", GST_PAD_SINK, GST_PAD_ALWAYS,
    GST_STATIC_CAPS("video/x-raw, format=(string){ I420, YV12, NV12, BGR }; "
                    "audio/x-raw, format=(string){ S16LE, U8 }, layout=(string)interleaved"));

MediaReaderFilter* Impl(GstBaseSink* sink)
{
    return KLOVA_MEDIA_READER_SINK(sink)->impl;
}

GstCaps* QueryCapsTrampoline(GstBaseSink* sink, GstCaps* filter)
{
    MediaReaderFilter* impl = Impl(sink);
    if (!impl)
        return gst_caps_new_empty();
    // Null from the filter means "the template caps"; a failure offers nothing.
    const std::optional<GstCaps*> caps = GuardCallback(
        GST_ELEMENT(sink), "caps query", [&] { return std::optional(impl->QueryCaps(filter)); }, std::nullopt);
    return caps ? *caps : gst_caps_new_empty();
}

gboolean SetCapsTrampoline(GstBaseSink* sink, GstCaps* caps)
{
    MediaReaderFilter* impl = Impl(sink);
    return GuardCallback(GST_ELEMENT(sink), "set caps", [&] { return impl ? impl->SetCaps(caps) : FALSE; }, FALSE);
}

GstFlowReturn PrepareTrampoline(GstBaseSink* sink, GstBuffer*)
{
    MediaReaderFilter* impl = Impl(sink);
    return GuardCallback(
        GST_ELEMENT(sink), "prepare",
        [&] {
            if (!impl)
                return GST_FLOW_ERROR;
            impl->Prepare();
            return GST_FLOW_OK;
        },
        GST_FLOW_ERROR);
}

GstFlowReturn RenderTrampoline(GstBaseSink* sink, GstBuffer* buffer)
{
    MediaReaderFilter* impl = Impl(sink);
    return GuardCallback(
        GST_ELEMENT(sink), "render", [&] { return impl ? impl->Render(buffer) : GST_FLOW_ERROR; }, GST_FLOW_ERROR);
}

gboolean UnlockTrampoline(GstBaseSink* sink)
{
    if (MediaReaderFilter* impl = Impl(sink))
        GuardCallback(GST_ELEMENT(sink), "unlock", [&] { impl->Unlock(); });
    return TRUE;
}

gboolean UnlockStopTrampoline(GstBaseSink* sink)
{
    if (MediaReaderFilter* impl = Impl(sink))
        GuardCallback(GST_ELEMENT(sink), "unlock stop", [&] { impl->UnlockStop(); });
    return TRUE;
}

gboolean StopTrampoline(GstBaseSink* sink)
{
    if (MediaReaderFilter* impl = Impl(sink))
        GuardCallback(GST_ELEMENT(sink), "stop", [&] { impl->Stop(); });
    return TRUE;
}

gboolean EventTrampoline(GstBaseSink* sink, GstEvent* event)
{
    GstPtr<GstEvent> owned(event);  // ours until the base class takes it
    MediaReaderFilter* impl = Impl(sink);
    const GstEventType type = GST_EVENT_TYPE(event);
    if (!GuardCallback(GST_ELEMENT(sink), "event", [&] { return !impl || impl->BeforeEvent(event); }, false))
        return FALSE;
    const gboolean handled = GST_BASE_SINK_CLASS(klova_media_reader_sink_parent_class)->event(sink, owned.release());
    if (impl)
        impl->AfterEvent(type, handled);
    return handled;
}

}  // namespace

static void klova_media_reader_sink_init(KlovaMediaReaderSink* self)
{
    self->impl = new (std::nothrow) MediaReaderFilter(GST_BASE_SINK(self));
    // No clock: samples go out as fast as they are asked for.
    gst_base_sink_set_sync(GST_BASE_SINK(self), FALSE);
    gst_base_sink_set_qos_enabled(GST_BASE_SINK(self), FALSE);
    gst_base_sink_set_last_sample_enabled(GST_BASE_SINK(self), FALSE);
}

static void klova_media_reader_sink_finalize(GObject* object)
{
    delete KLOVA_MEDIA_READER_SINK(object)->impl;
    G_OBJECT_CLASS(klova_media_reader_sink_parent_class)->finalize(object);
}

static void klova_media_reader_sink_class_init(KlovaMediaReaderSinkClass* klass)
{
    G_OBJECT_CLASS(klass)->finalize = klova_media_reader_sink_finalize;

    GstElementClass* elementClass = GST_ELEMENT_CLASS(klass);
    gst_element_class_add_static_pad_template(elementClass, &sinkTemplate);
    gst_element_class_set_static_metadata(elementClass, "MediaReader", "Sink/Video/Audio",
                                          "Hands decoded samples to an input reader on request",
                                          "KLOVA Video Converter");

    GstBaseSinkClass* sinkClass = GST_BASE_SINK_CLASS(klass);
    sinkClass->get_caps = QueryCapsTrampoline;
    sinkClass->set_caps = SetCapsTrampoline;
    sinkClass->prepare = PrepareTrampoline;
    sinkClass->render = RenderTrampoline;
    sinkClass->unlock = UnlockTrampoline;
    sinkClass->unlock_stop = UnlockStopTrampoline;
    sinkClass->stop = StopTrampoline;
    sinkClass->event = EventTrampoline;
}

namespace klova {

bool RegisterMediaReaderSink()
{
    static std::once_flag once;
    static bool registered = false;
    std::call_once(once, [] {
        GST_DEBUG_CATEGORY_INIT(klova_media_reader_debug, "klovamediareader", 0, "KLOVA MediaReader sink");
        registered = gst_element_register(nullptr, "mediareader", GST_RANK_NONE, KLOVA_TYPE_MEDIA_READER_SINK);
    });
    return registered;
}

IMediaReaderControl* MediaReaderControlOf(GstElement* element)
{
    if (!element || !KLOVA_IS_MEDIA_READER_SINK(element))
        return nullptr;
    return KLOVA_MEDIA_READER_SINK(element)->impl;
}

}  // namespace klova
