#include "codecs/audio_bit_rate_rule.h"

#include <cstdlib>
#include <cstring>
#include <span>

GST_DEBUG_CATEGORY_STATIC(audio_bit_rate_rule_debug);
#define GST_CAT_DEFAULT audio_bit_rate_rule_debug

namespace klova {

namespace {

void InitDebugCategory()
{
    static const bool initialised = [] {
        GST_DEBUG_CATEGORY_INIT(audio_bit_rate_rule_debug, "klovaaudiobitrate", 0, "audio encoder bit rates");
        return true;
    }();
    (void)initialised;
}

// Layer II bit rates in kbit/s: MPEG-2's half sample rates, and MPEG-1's rates for one
// channel and for two.
constexpr int kHalfRateKbps[] = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
constexpr int kMonoKbps[] = {32, 48, 56, 64, 80, 96, 112, 128, 160, 192};
constexpr int kStereoKbps[] = {64, 96, 112, 128, 160, 192, 224, 256, 320, 384};

struct BitRateRule {
    const char* factory;
    const char* property;  // an integer in kbit/s
    int (*nearest)(int kbps, int sampleRate, int channels);
};

constexpr BitRateRule kBitRateRules[] = {
    {"twolamemp2enc", "bitrate", AudioBitRateRule::NearestLayerTwoKbps},
};

// Called on the streaming thread that brings the caps, before the encoder takes them.
GstPadProbeReturn OnInputEvent(GstPad* pad, GstPadProbeInfo* info, gpointer data)
{
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    if (!event || GST_EVENT_TYPE(event) != GST_EVENT_CAPS)
        return GST_PAD_PROBE_OK;
    GstCaps* caps = nullptr;
    gst_event_parse_caps(event, &caps);
    const GstStructure* structure = caps && gst_caps_get_size(caps) > 0 ? gst_caps_get_structure(caps, 0) : nullptr;
    int sampleRate = 0;
    int channels = 0;
    if (!structure || !gst_structure_get_int(structure, "rate", &sampleRate) ||
        !gst_structure_get_int(structure, "channels", &channels))
        return GST_PAD_PROBE_OK;

    const auto* rule = static_cast<const BitRateRule*>(data);
    GstElement* encoder = GST_ELEMENT(GST_PAD_PARENT(pad));
    int kbps = 0;
    g_object_get(encoder, rule->property, &kbps, nullptr);
    const int valid = rule->nearest(kbps, sampleRate, channels);
    if (valid != kbps) {
        GST_INFO_OBJECT(encoder, "%d kbit/s is not valid at %d Hz with %d channels: %d kbit/s instead", kbps,
                        sampleRate, channels, valid);
        g_object_set(encoder, rule->property, valid, nullptr);
    }
    return GST_PAD_PROBE_OK;
}

}  // namespace

void AudioBitRateRule::Attach(GstElement* encoder)
{
    GstElementFactory* factory = encoder ? gst_element_get_factory(encoder) : nullptr;
    if (!factory || !encoder->sinkpads)
        return;
    InitDebugCategory();
    for (const BitRateRule& rule : kBitRateRules) {
        if (std::strcmp(GST_OBJECT_NAME(factory), rule.factory) != 0)
            continue;
        GParamSpec* spec = g_object_class_find_property(G_OBJECT_GET_CLASS(encoder), rule.property);
        if (!spec || G_PARAM_SPEC_VALUE_TYPE(spec) != G_TYPE_INT)
            return;
        gst_pad_add_probe(GST_PAD(encoder->sinkpads->data), GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, OnInputEvent,
                          const_cast<BitRateRule*>(&rule), nullptr);
        return;
    }
}

int AudioBitRateRule::NearestLayerTwoKbps(int kbps, int sampleRate, int channels)
{
    const std::span<const int> valid = sampleRate < 32000 ? std::span<const int>(kHalfRateKbps)
                                       : channels == 1    ? std::span<const int>(kMonoKbps)
                                                          : std::span<const int>(kStereoKbps);
    int nearest = valid.front();
    for (int candidate : valid) {
        if (std::abs(candidate - kbps) < std::abs(nearest - kbps))
            nearest = candidate;
    }
    return nearest;
}

}  // namespace klova
