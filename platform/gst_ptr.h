// Owning handles for GLib and GStreamer references. Raw pointers elsewhere are borrowed.
#pragma once

#include <gst/gst.h>

#include <memory>

namespace klova {

template <typename T>
struct GstUnref {
    void operator()(T* p) const noexcept { gst_object_unref(p); }
};
template <>
struct GstUnref<GstBuffer> {
    void operator()(GstBuffer* p) const noexcept { gst_buffer_unref(p); }
};
template <>
struct GstUnref<GstCaps> {
    void operator()(GstCaps* p) const noexcept { gst_caps_unref(p); }
};
template <>
struct GstUnref<GstMessage> {
    void operator()(GstMessage* p) const noexcept { gst_message_unref(p); }
};
template <>
struct GstUnref<GstEvent> {
    void operator()(GstEvent* p) const noexcept { gst_event_unref(p); }
};
template <>
struct GstUnref<GstQuery> {
    void operator()(GstQuery* p) const noexcept { gst_query_unref(p); }
};
template <>
struct GstUnref<GstSample> {
    void operator()(GstSample* p) const noexcept { gst_sample_unref(p); }
};
template <>
struct GstUnref<GstIterator> {
    void operator()(GstIterator* p) const noexcept { gst_iterator_free(p); }
};
template <>
struct GstUnref<GError> {
    void operator()(GError* p) const noexcept { g_error_free(p); }
};
template <>
struct GstUnref<gchar> {
    void operator()(gchar* p) const noexcept { g_free(p); }
};
template <>
struct GstUnref<GTypeClass> {
    void operator()(GTypeClass* p) const noexcept { g_type_class_unref(p); }
};

template <typename T>
using GstPtr = std::unique_ptr<T, GstUnref<T>>;

// A list of plugin features as the registry hands it out: the list and the features go
// together.
struct PluginFeatureListFree {
    void operator()(GList* p) const noexcept { gst_plugin_feature_list_free(p); }
};
using PluginFeatureListPtr = std::unique_ptr<GList, PluginFeatureListFree>;

// Takes a transfer-full result.
template <typename T>
GstPtr<T> adopt(T* p) noexcept
{
    return GstPtr<T>(p);
}

// Adds a reference to a transfer-none GstObject result (sinking it if floating).
template <typename T>
GstPtr<T> retain(T* p) noexcept
{
    if (p)
        gst_object_ref_sink(p);
    return GstPtr<T>(p);
}

// Creates an element and takes ownership of it (the floating reference is sunk once).
inline GstPtr<GstElement> MakeElement(const char* factory, const char* name = nullptr)
{
    GstElement* element = gst_element_factory_make(factory, name);
    if (element)
        gst_object_ref_sink(element);
    return GstPtr<GstElement>(element);
}

}  // namespace klova
