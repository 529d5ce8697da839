#include "media_in/stream_caps.h"

#include <array>
#include <string_view>

namespace klova {
namespace {

// Media types of container formats that demuxers may pass on whole.
constexpr std::array<std::string_view, 9> kContainerTypes = {
    "video/mpegts", "video/quicktime", "video/x-matroska", "video/webm", "video/x-msvideo",
    "video/x-flv",  "video/x-ms-asf",  "audio/x-matroska", "audio/webm"};

}  // namespace

StreamKind KindOfCaps(const GstCaps* caps)
{
    if (!caps || gst_caps_get_size(caps) == 0)
        return StreamKind::Other;
    const char* name = gst_structure_get_name(gst_caps_get_structure(caps, 0));
    if (g_str_has_prefix(name, "video/") || g_str_has_prefix(name, "image/"))
        return StreamKind::Video;
    if (g_str_has_prefix(name, "audio/"))
        return StreamKind::Audio;
    return StreamKind::Other;
}

bool IsMultiplexedCaps(const GstCaps* caps)
{
    if (!caps)
        return false;
    for (guint i = 0; i < gst_caps_get_size(caps); ++i) {
        const GstStructure* structure = gst_caps_get_structure(caps, i);
        gboolean systemStream = FALSE;
        if (gst_structure_get_boolean(structure, "systemstream", &systemStream) && systemStream)
            return true;
        const std::string_view name = gst_structure_get_name(structure);
        for (const std::string_view container : kContainerTypes) {
            if (name == container)
                return true;
        }
    }
    return false;
}

bool IsElementaryStreamOfOtherKind(StreamKind served, const GstCaps* caps)
{
    const StreamKind other = served == StreamKind::Video ? StreamKind::Audio : StreamKind::Video;
    return served != StreamKind::Other && KindOfCaps(caps) == other && !IsMultiplexedCaps(caps);
}

}  // namespace klova
