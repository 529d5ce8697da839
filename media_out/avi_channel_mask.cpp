#include "media_out/avi_channel_mask.h"

#include "platform/gst_ptr.h"
#include "platform/media_types.h"

#include <bit>
#include <cstring>

GST_DEBUG_CATEGORY_STATIC(avi_channel_mask_debug);
#define GST_CAT_DEFAULT avi_channel_mask_debug

namespace klova {
namespace {

// Offsets in a WAVE_FORMAT_EXTENSIBLE record.
constexpr size_t kFormatTag = 0;
constexpr size_t kChannels = 2;
constexpr size_t kExtraSize = 16;
constexpr size_t kChannelMask = 20;
constexpr size_t kExtensibleSize = 40;

uint32_t ReadLe32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
uint16_t ReadLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

bool Is(const uint8_t* p, const char* fourCc) { return std::memcmp(p, fourCc, 4) == 0; }

bool PatchFormat(uint8_t* format, uint32_t size, uint32_t mask)
{
    if (size < kExtensibleSize || ReadLe16(format + kFormatTag) != WAVE_FORMAT_EXTENSIBLE ||
        ReadLe16(format + kChannels) != std::popcount(mask) || ReadLe16(format + kExtraSize) < 22 ||
        ReadLe32(format + kChannelMask) != 0)
        return false;
    for (int byte = 0; byte < 4; ++byte)
        format[kChannelMask + byte] = static_cast<uint8_t>(mask >> (8 * byte));
    return true;
}

// Walks the chunks in [begin, end): into the header list and the stream lists, to the
// format of the first audio stream that takes the mask.
bool PatchChunks(uint8_t* begin, uint8_t* end, uint32_t mask)
{
    bool audioStream = false;
    for (uint8_t* chunk = begin; end - chunk >= 8;) {
        const uint32_t size = ReadLe32(chunk + 4);
        uint8_t* data = chunk + 8;
        if (size > static_cast<size_t>(end - data))
            return false;  // cut off: the rest is not in this buffer
        if (Is(chunk, "LIST") && size >= 4 && (Is(data, "hdrl") || Is(data, "strl"))) {
            if (PatchChunks(data + 4, data + size, mask))
                return true;
        } else if (Is(chunk, "strh") && size >= 4) {
            audioStream = Is(data, "auds");
        } else if (Is(chunk, "strf") && audioStream && PatchFormat(data, size, mask)) {
            return true;
        }
        chunk = data + size + (size & 1);
    }
    return false;
}

GstPadProbeReturn PatchHeader(GstPad*, GstPadProbeInfo* info, gpointer maskPointer)
{
    const auto mask = static_cast<uint32_t>(GPOINTER_TO_UINT(maskPointer));
    GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    uint8_t start[12] = {};
    if (!buffer || gst_buffer_extract(buffer, 0, start, sizeof start) != sizeof start || !Is(start, "RIFF") ||
        !Is(start + 8, "AVI "))
        return GST_PAD_PROBE_OK;
    buffer = gst_buffer_make_writable(buffer);
    GST_PAD_PROBE_INFO_DATA(info) = buffer;
    GstMapInfo map;
    if (!gst_buffer_map(buffer, &map, GST_MAP_READWRITE))
        return GST_PAD_PROBE_OK;
    if (!PatchAviChannelMask(map.data, map.size, mask))
        GST_WARNING("no surround audio format in the AVI header");
    gst_buffer_unmap(buffer, &map);
    return GST_PAD_PROBE_OK;
}

}  // namespace

bool PatchAviChannelMask(uint8_t* data, size_t size, uint32_t mask)
{
    if (!data || size < 12 || mask == 0 || !Is(data, "RIFF") || !Is(data + 8, "AVI "))
        return false;
    return PatchChunks(data + 12, data + size, mask);
}

void WatchAviChannelMask(GstElement* aviMux, uint32_t mask)
{
    static const bool initialised = [] {
        GST_DEBUG_CATEGORY_INIT(avi_channel_mask_debug, "klovaavichannelmask", 0, "AVI surround speaker mask");
        return true;
    }();
    (void)initialised;
    const GstPtr<GstPad> output = adopt(gst_element_get_static_pad(aviMux, "src"));
    if (output)
        gst_pad_add_probe(output.get(), GST_PAD_PROBE_TYPE_BUFFER, PatchHeader, GUINT_TO_POINTER(mask), nullptr);
}

}  // namespace klova
