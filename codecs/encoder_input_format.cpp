#include "codecs/encoder_input_format.h"

#include "platform/frame_rate_fraction.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <vector>

namespace klova {

namespace {

constexpr const char* kFourTwoZeroFormats[] = {"I420", "YV12", "NV12", "NV21"};

bool IsFourTwoZero(const char* format)
{
    return std::any_of(std::begin(kFourTwoZeroFormats), std::end(kFourTwoZeroFormats),
                       [format](const char* known) { return std::strcmp(known, format) == 0; });
}

// What the encoder's input takes: raw video in system memory, in its order of preference.
GstPtr<GstCaps> EncoderInputCaps(GstElement* encoder)
{
    GstPad* input = encoder->sinkpads ? GST_PAD(encoder->sinkpads->data) : nullptr;
    if (!input)
        return nullptr;
    GstPtr<GstCaps> caps = adopt(gst_pad_query_caps(input, nullptr));
    if (!caps || gst_caps_is_any(caps.get()))
        return nullptr;
    GstPtr<GstCaps> raw = adopt(gst_caps_new_empty_simple("video/x-raw"));
    return adopt(gst_caps_intersect_full(caps.get(), raw.get(), GST_CAPS_INTERSECT_FIRST));
}

// Every format name a structure's "format" field allows, in its order.
void AddFormats(const GstStructure* structure, std::vector<std::string>* formats)
{
    const GValue* field = gst_structure_get_value(structure, "format");
    if (!field)
        return;
    auto add = [formats](const GValue* value) {
        if (!G_VALUE_HOLDS_STRING(value))
            return;
        const std::string name = g_value_get_string(value);
        if (std::find(formats->begin(), formats->end(), name) == formats->end())
            formats->push_back(name);
    };
    if (GST_VALUE_HOLDS_LIST(field)) {
        for (guint i = 0; i < gst_value_list_get_size(field); ++i)
            add(gst_value_list_get_value(field, i));
    } else {
        add(field);
    }
}

GstPtr<GstCaps> FormatCaps(const std::vector<std::string>& formats)
{
    GValue list = G_VALUE_INIT;
    g_value_init(&list, GST_TYPE_LIST);
    for (const std::string& format : formats) {
        GValue name = G_VALUE_INIT;
        g_value_init(&name, G_TYPE_STRING);
        g_value_set_string(&name, format.c_str());
        gst_value_list_append_and_take_value(&list, &name);
    }
    GstPtr<GstCaps> caps = adopt(gst_caps_new_empty_simple("video/x-raw"));
    if (formats.size() == 1)
        gst_caps_set_simple(caps.get(), "format", G_TYPE_STRING, formats.front().c_str(), nullptr);
    else
        gst_caps_set_value(caps.get(), "format", &list);
    g_value_unset(&list);
    return caps;
}

}  // namespace

GstPtr<GstCaps> EncoderInputFormat::Choose(GstElement* encoder, const std::string& requestedFormat)
{
    GstPtr<GstCaps> input = encoder ? EncoderInputCaps(encoder) : nullptr;
    if (!input)
        return nullptr;
    std::vector<std::string> taken;
    for (guint i = 0; i < gst_caps_get_size(input.get()); ++i) {
        GstCapsFeatures* features = gst_caps_get_features(input.get(), i);
        if (features && !gst_caps_features_is_equal(features, GST_CAPS_FEATURES_MEMORY_SYSTEM_MEMORY))
            continue;
        AddFormats(gst_caps_get_structure(input.get(), i), &taken);
    }
    if (!requestedFormat.empty() && std::find(taken.begin(), taken.end(), requestedFormat) != taken.end())
        return FormatCaps({requestedFormat});
    std::vector<std::string> chosen;
    std::copy_if(taken.begin(), taken.end(), std::back_inserter(chosen),
                 [](const std::string& format) { return IsFourTwoZero(format.c_str()); });
    if (chosen.empty())
        return nullptr;
    return FormatCaps(chosen);
}

GstPtr<GstCaps> EncoderInputFormat::FixedInput(GstElement* encoder, const GstCaps* formats, int32_t width,
                                               int32_t height, double frameRate)
{
    GstPtr<GstCaps> input = encoder ? EncoderInputCaps(encoder) : nullptr;
    const FrameRateFraction rate = ToFrameRateFraction(frameRate);
    if (!input || width <= 0 || height <= 0 || rate.numerator <= 0)
        return nullptr;
    GstPtr<GstCaps> frames = adopt(gst_caps_new_simple("video/x-raw", "width", G_TYPE_INT, width, "height", G_TYPE_INT,
                                                       height, "framerate", GST_TYPE_FRACTION, rate.numerator,
                                                       rate.denominator, nullptr));
    GstPtr<GstCaps> fitting = adopt(gst_caps_intersect_full(input.get(), frames.get(), GST_CAPS_INTERSECT_FIRST));
    if (formats)
        fitting = adopt(gst_caps_intersect_full(const_cast<GstCaps*>(formats), fitting.get(), GST_CAPS_INTERSECT_FIRST));
    if (gst_caps_is_empty(fitting.get()))
        return nullptr;
    return adopt(gst_caps_fixate(fitting.release()));
}

}  // namespace klova
