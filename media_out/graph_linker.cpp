#include "media_out/graph_linker.h"

#include "platform/errors.h"
#include "platform/gst_ptr.h"

#include <cstdio>
#include <cstring>
#include <vector>

GST_DEBUG_CATEGORY_STATIC(graph_linker_debug);
#define GST_CAT_DEFAULT graph_linker_debug

namespace klova {

namespace {

void InitDebugCategory()
{
    static const bool initialised = [] {
        GST_DEBUG_CATEGORY_INIT(graph_linker_debug, "klovagraphlinker", 0, "AVI writer graph linking");
        return true;
    }();
    (void)initialised;
}

[[noreturn]] void ThrowOpenFailed(const std::string& detail)
{
    GST_WARNING("%s", detail.c_str());
    throw CMyException(ErrorCode::OutputOpenFailed, detail);
}

// The kind of stream caps describe; images (PNG, JPEG 2000 frames) count as video.
GraphLinker::MediaKind KindOf(const GstCaps* caps)
{
    if (!caps || gst_caps_is_empty(caps) || gst_caps_is_any(caps))
        return GraphLinker::MediaKind::Any;
    const char* name = gst_structure_get_name(gst_caps_get_structure(caps, 0));
    if (g_str_has_prefix(name, "video/") || g_str_has_prefix(name, "image/"))
        return GraphLinker::MediaKind::Video;
    if (g_str_has_prefix(name, "audio/"))
        return GraphLinker::MediaKind::Audio;
    return GraphLinker::MediaKind::Any;
}

bool KindMatches(GraphLinker::MediaKind wanted, const GstCaps* caps)
{
    return wanted == GraphLinker::MediaKind::Any || KindOf(caps) == wanted || KindOf(caps) == GraphLinker::MediaKind::Any;
}

// The first unlinked pad of the direction whose caps are of the kind, or null.
GstPtr<GstPad> FreeStaticPad(GstElement* element, GstPadDirection direction, GraphLinker::MediaKind kind)
{
    std::vector<GstPtr<GstPad>> pads;
    GST_OBJECT_LOCK(element);
    for (GList* item = direction == GST_PAD_SRC ? element->srcpads : element->sinkpads; item; item = item->next)
        pads.emplace_back(GST_PAD(gst_object_ref(item->data)));
    GST_OBJECT_UNLOCK(element);
    for (auto& pad : pads) {
        if (gst_pad_is_linked(pad.get()))
            continue;
        GstPtr<GstCaps> caps = adopt(gst_pad_query_caps(pad.get(), nullptr));
        if (KindMatches(kind, caps.get()))
            return std::move(pad);
    }
    return nullptr;
}

// A request pad of the direction from the first template whose caps can take the
// peer's caps; failing that, the first of the peer's kind (to be reached through a
// converter).
GstPtr<GstPad> RequestPad(GstElement* element, GstPadDirection direction, const GstCaps* peerCaps,
                          GraphLinker::MediaKind kind)
{
    GstPadTemplate* fallback = nullptr;
    for (const GList* item = gst_element_class_get_pad_template_list(GST_ELEMENT_GET_CLASS(element)); item;
         item = item->next) {
        auto* padTemplate = GST_PAD_TEMPLATE(item->data);
        if (GST_PAD_TEMPLATE_DIRECTION(padTemplate) != direction ||
            GST_PAD_TEMPLATE_PRESENCE(padTemplate) != GST_PAD_REQUEST)
            continue;
        GstCaps* templateCaps = GST_PAD_TEMPLATE_CAPS(padTemplate);
        if (peerCaps && gst_caps_can_intersect(templateCaps, peerCaps))
            return GstPtr<GstPad>(gst_element_request_pad(element, padTemplate, nullptr, nullptr));
        if (!fallback && kind != GraphLinker::MediaKind::Any && KindOf(templateCaps) == kind)
            fallback = padTemplate;
    }
    if (!fallback)
        return nullptr;
    return GstPtr<GstPad>(gst_element_request_pad(element, fallback, nullptr, nullptr));
}

void ReleaseIfRequested(GstElement* element, GstPad* pad)
{
    const GstPtr<GstPadTemplate> padTemplate = adopt(gst_pad_get_pad_template(pad));
    if (padTemplate && GST_PAD_TEMPLATE_PRESENCE(padTemplate.get()) == GST_PAD_REQUEST)
        gst_element_release_request_pad(element, pad);
}

}  // namespace

bool GraphLinker::Add(GstElement* element, const std::string& name)
{
    InitDebugCategory();
    std::string unique = name;
    for (int suffix = 1; suffix < 10000; ++suffix) {
        GstPtr<GstElement> existing = adopt(gst_bin_get_by_name(graph_, unique.c_str()));
        if (!existing)
            break;
        char number[8];
        std::snprintf(number, sizeof number, " %04d", suffix);
        unique = name + number;
    }
    gst_element_set_name(element, unique.c_str());
    return gst_bin_add(graph_, element) == TRUE;
}

GstElement* GraphLinker::Create(const char* factory, const std::string& name)
{
    InitDebugCategory();
    const GstPtr<GstElement> element = MakeElement(factory);
    if (!element)
        ThrowOpenFailed(std::string("cannot create ") + factory);
    if (!Add(element.get(), name))
        ThrowOpenFailed("cannot add " + name);
    return element.get();  // the graph holds it
}

void GraphLinker::Connect(GstElement* from, GstElement* to, MediaKind kind)
{
    InitDebugCategory();
    GstPtr<GstPad> output = FreeStaticPad(from, GST_PAD_SRC, kind);
    if (!output)
        output = RequestPad(from, GST_PAD_SRC, nullptr, kind);
    if (!output)
        ThrowOpenFailed(std::string("no free output on ") + GST_ELEMENT_NAME(from));
    GstPtr<GstCaps> outputCaps = adopt(gst_pad_query_caps(output.get(), nullptr));

    GstPtr<GstPad> input = FreeStaticPad(to, GST_PAD_SINK, MediaKind::Any);
    if (!input)
        input = RequestPad(to, GST_PAD_SINK, outputCaps.get(), KindOf(outputCaps.get()));
    if (!input)
        ThrowOpenFailed(std::string("no free input on ") + GST_ELEMENT_NAME(to));

    if (gst_pad_link(output.get(), input.get()) == GST_PAD_LINK_OK)
        return;

    // The formats do not meet: convert in between.
    std::vector<const char*> converters;
    switch (KindOf(outputCaps.get())) {
    case MediaKind::Video: converters = {"videoconvert"}; break;
    case MediaKind::Audio: converters = {"audioconvert", "audioresample"}; break;
    case MediaKind::Any: break;
    }
    std::vector<GstElement*> chain;
    bool linked = !converters.empty();
    for (const char* factory : converters) {
        const GstPtr<GstElement> converter = MakeElement(factory);
        if (!converter || !gst_bin_add(graph_, converter.get())) {
            linked = false;
            break;
        }
        if (g_object_class_find_property(G_OBJECT_GET_CLASS(converter.get()), "n-threads"))
            g_object_set(converter.get(), "n-threads", 0u, nullptr);  // one per core
        chain.push_back(converter.get());  // the graph holds it
    }
    if (linked) {
        GstPtr<GstPad> first = adopt(gst_element_get_static_pad(chain.front(), "sink"));
        GstPtr<GstPad> last = adopt(gst_element_get_static_pad(chain.back(), "src"));
        linked = gst_pad_link(output.get(), first.get()) == GST_PAD_LINK_OK;
        for (size_t i = 0; linked && i + 1 < chain.size(); ++i)
            linked = gst_element_link(chain[i], chain[i + 1]) == TRUE;
        linked = linked && gst_pad_link(last.get(), input.get()) == GST_PAD_LINK_OK;
    }
    if (linked)
        return;

    for (GstElement* converter : chain)
        gst_bin_remove(graph_, converter);
    ReleaseIfRequested(to, input.get());
    ThrowOpenFailed(std::string("cannot link ") + GST_ELEMENT_NAME(from) + " to " + GST_ELEMENT_NAME(to));
}

}  // namespace klova
