// Adds elements to the AVI writer's pipeline and links them: directly when the two
// sides can agree on a format, otherwise through a converter (videoconvert, or
// audioconvert ! audioresample) placed between them.
#pragma once

#include <gst/gst.h>

#include <string>

namespace klova {

class GraphLinker {
public:
    enum class MediaKind { Any, Video, Audio };

    // The bin is borrowed and must outlive the linker.
    explicit GraphLinker(GstBin* graph) : graph_(graph) {}

    // Adds the element under the name; a name already taken gets a numeric suffix
    // (" 0001", ...). False when the bin refuses the element.
    bool Add(GstElement* element, const std::string& name);

    // Creates an element of the factory and adds it under the name; the bin holds it.
    // Throws CMyException code 5 when it cannot.
    GstElement* Create(const char* factory, const std::string& name);

    // Links the first free output of `from` (of the kind, when one is given) to the first
    // free input of `to` that suits it, requesting an input pad where `to` has them on
    // request. Throws CMyException code 5 when neither the direct link nor the link
    // through a converter works.
    void Connect(GstElement* from, GstElement* to, MediaKind kind = MediaKind::Any);

private:
    GstBin* graph_;
};

}  // namespace klova
