#include "codecs/avi_encoder_check.h"

#include "platform/gst_ptr.h"

#include <cstring>
#include <map>
#include <mutex>
#include <string>

GST_DEBUG_CATEGORY_STATIC(avi_encoder_check_debug);
#define GST_CAT_DEFAULT avi_encoder_check_debug

namespace klova {

namespace {

void InitDebugCategory()
{
    static const bool initialised = [] {
        GST_DEBUG_CATEGORY_INIT(avi_encoder_check_debug, "klovaencodercheck", 0, "compressor list selection");
        return true;
    }();
    (void)initialised;
}

const char* KindName(CompressorCategory category)
{
    return category == CompressorCategory::Video ? "Video" : "Audio";
}

// Input caps of the AVI muxer for one kind of stream; null when avimux is missing.
GstPtr<GstCaps> MuxerInputCaps(CompressorCategory category)
{
    GstPtr<GstElementFactory> muxer = adopt(gst_element_factory_find("avimux"));
    if (!muxer)
        return nullptr;
    const char* templateName = category == CompressorCategory::Video ? "video_%u" : "audio_%u";
    for (const GList* item = gst_element_factory_get_static_pad_templates(muxer.get()); item; item = item->next) {
        auto* padTemplate = static_cast<GstStaticPadTemplate*>(item->data);
        if (padTemplate->direction == GST_PAD_SINK && std::strcmp(padTemplate->name_template, templateName) == 0)
            return adopt(gst_static_pad_template_get_caps(padTemplate));
    }
    return nullptr;
}

bool HasSourceTemplate(GstElementFactory* factory)
{
    for (const GList* item = gst_element_factory_get_static_pad_templates(factory); item; item = item->next) {
        if (static_cast<GstStaticPadTemplate*>(item->data)->direction == GST_PAD_SRC)
            return true;
    }
    return false;
}

bool OutputFitsMuxer(GstElementFactory* factory, const GstCaps* muxerCaps)
{
    for (const GList* item = gst_element_factory_get_static_pad_templates(factory); item; item = item->next) {
        auto* padTemplate = static_cast<GstStaticPadTemplate*>(item->data);
        if (padTemplate->direction != GST_PAD_SRC)
            continue;
        GstPtr<GstCaps> caps = adopt(gst_static_pad_template_get_caps(padTemplate));
        if (gst_caps_can_intersect(caps.get(), muxerCaps))
            return true;
    }
    return false;
}

bool ClassHasLocation(GstElementFactory* factory)
{
    GstPtr<GstPluginFeature> loaded = adopt(gst_plugin_feature_load(GST_PLUGIN_FEATURE(factory)));
    if (!loaded)
        return false;
    const GType type = gst_element_factory_get_element_type(GST_ELEMENT_FACTORY(loaded.get()));
    if (type == G_TYPE_INVALID)
        return false;
    const GstPtr<GTypeClass> elementClass(static_cast<GTypeClass*>(g_type_class_ref(type)));
    return g_object_class_find_property(G_OBJECT_CLASS(elementClass.get()), "location") != nullptr;
}

GstPad* FirstStaticPad(GstElement* element, GstPadDirection direction)
{
    GList* pads = direction == GST_PAD_SRC ? element->srcpads : element->sinkpads;
    return pads ? GST_PAD(pads->data) : nullptr;
}

// Raw input of a common format that the encoder takes: 352 x 288 at 25 frames per
// second, or 44,100 Hz stereo, or else whatever its own input template settles on
// (DV, for one, takes only its broadcast sizes). Null when its input is not raw.
GstPtr<GstCaps> CommonRawInput(GstElement* encoder, CompressorCategory category)
{
    GstPad* input = FirstStaticPad(encoder, GST_PAD_SINK);
    if (!input)
        return nullptr;
    GstPtr<GstCaps> inputTemplate = adopt(gst_pad_get_pad_template_caps(input));
    GstPtr<GstCaps> preferred = adopt(gst_caps_from_string(category == CompressorCategory::Video
                                                               ? "video/x-raw, width=352, height=288, framerate=25/1"
                                                               : "audio/x-raw, rate=44100, channels=2"));
    GstPtr<GstCaps> caps = adopt(gst_caps_intersect(inputTemplate.get(), preferred.get()));
    if (gst_caps_is_empty(caps.get()))
        caps = adopt(gst_caps_copy(inputTemplate.get()));
    if (gst_caps_is_empty(caps.get()) || gst_caps_is_any(caps.get()))
        return nullptr;
    return adopt(gst_caps_fixate(caps.release()));
}

bool StartsOnRawInput(GstElementFactory* factory, CompressorCategory category)
{
    GstPtr<GstElement> encoder = retain(gst_element_factory_create(factory, nullptr));
    if (!encoder)
        return false;
    GstPtr<GstCaps> caps = CommonRawInput(encoder.get(), category);
    return caps && AviEncoderCheck::StartsOn(std::move(encoder), caps.get());
}

// The start check's answers, by factory name. The registry does not change while the
// process runs, so each encoder is opened once at most.
bool StartsOnRawInputCached(GstElementFactory* factory, CompressorCategory category)
{
    static std::mutex lock;
    static std::map<std::string, bool> answers;
    const std::string key = std::string(GST_OBJECT_NAME(factory)) + "/" + KindName(category);
    std::lock_guard guard(lock);
    const auto found = answers.find(key);
    if (found != answers.end())
        return found->second;
    const bool starts = StartsOnRawInput(factory, category);
    if (!starts)
        GST_INFO("%s left out: it does not start on raw input", GST_OBJECT_NAME(factory));
    answers.emplace(key, starts);
    return starts;
}

}  // namespace

bool AviEncoderCheck::IsCategoryEncoder(GstElementFactory* factory, CompressorCategory category)
{
    const char* klass = gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_KLASS);
    if (!klass)
        return false;
    bool encoder = false;
    bool kind = false;
    gchar** parts = g_strsplit(klass, "/", -1);
    for (gchar** part = parts; *part; ++part) {
        encoder = encoder || std::strcmp(*part, "Encoder") == 0;
        // Picture encoders (MJPEG and its kin) code video one frame at a time.
        kind = kind || std::strcmp(*part, KindName(category)) == 0 ||
               (category == CompressorCategory::Video && std::strcmp(*part, "Image") == 0);
    }
    g_strfreev(parts);
    return encoder && kind;
}

bool AviEncoderCheck::Accepts(GstElementFactory* factory, CompressorCategory category)
{
    InitDebugCategory();
    if (!IsCategoryEncoder(factory, category))
        return false;
    if (!HasSourceTemplate(factory))
        return ClassHasLocation(factory);
    GstPtr<GstCaps> muxerCaps = MuxerInputCaps(category);
    if (!muxerCaps || !OutputFitsMuxer(factory, muxerCaps.get()))
        return false;
    return StartsOnRawInputCached(factory, category);
}

bool AviEncoderCheck::StartsOn(GstPtr<GstElement> encoder, const GstCaps* input)
{
    if (!encoder || !input)
        return false;
    GstPtr<GstElement> bin = retain(gst_bin_new(nullptr));
    GstPtr<GstElement> sink = MakeElement("fakesink");
    if (!sink)
        return false;
    g_object_set(sink.get(), "async", FALSE, nullptr);
    GstElement* element = encoder.get();
    gst_bin_add_many(GST_BIN(bin.get()), element, sink.get(), nullptr);  // the bin adds its own references
    GstPad* inputPad = FirstStaticPad(element, GST_PAD_SINK);
    if (!inputPad || !gst_element_link(element, sink.get()))
        return false;
    bool started = false;
    if (gst_element_set_state(bin.get(), GST_STATE_PAUSED) != GST_STATE_CHANGE_FAILURE) {
        gst_pad_send_event(inputPad, gst_event_new_stream_start("klova-encoder-check"));
        started = gst_pad_send_event(inputPad, gst_event_new_caps(gst_caps_copy(input)));
    }
    gst_element_set_state(bin.get(), GST_STATE_NULL);
    return started;
}

bool AviEncoderCheck::TakesFrameSize(GstElement* encoder, int32_t width, int32_t height)
{
    GstElementFactory* factory = encoder ? gst_element_get_factory(encoder) : nullptr;
    if (factory && std::strcmp(GST_OBJECT_NAME(factory), "mpeg2enc") == 0)
        return width % 2 == 0 && height % 2 == 0;
    return true;
}

bool AviEncoderCheck::MuxerTakesFrameSize(GstElement* producer, int32_t width, int32_t height)
{
    GstPad* output = producer ? FirstStaticPad(producer, GST_PAD_SRC) : nullptr;
    GstPtr<GstCaps> muxerCaps = MuxerInputCaps(CompressorCategory::Video);
    if (!output || !muxerCaps)
        return true;  // nothing to judge by: linking decides
    GstPtr<GstCaps> produced = adopt(gst_pad_query_caps(output, nullptr));
    if (!produced || gst_caps_is_any(produced.get()) || gst_caps_is_empty(produced.get()))
        return true;
    produced = adopt(gst_caps_make_writable(produced.release()));
    gst_caps_set_simple(produced.get(), "width", G_TYPE_INT, width, "height", G_TYPE_INT, height, nullptr);
    return gst_caps_can_intersect(produced.get(), muxerCaps.get());
}

bool AviEncoderCheck::IsDvEncoder(GstElement* encoder)
{
    GstPad* output = FirstStaticPad(encoder, GST_PAD_SRC);
    if (!output)
        return false;
    GstPtr<GstCaps> caps = adopt(gst_pad_query_caps(output, nullptr));
    if (!caps)
        return false;
    for (guint i = 0; i < gst_caps_get_size(caps.get()); ++i) {
        if (gst_structure_has_name(gst_caps_get_structure(caps.get(), i), "video/x-dv"))
            return true;
    }
    return false;
}

bool AviEncoderCheck::WritesFileItself(GstElement* encoder)
{
    if (encoder->numsrcpads > 0)
        return false;
    for (const GList* item = gst_element_class_get_pad_template_list(GST_ELEMENT_GET_CLASS(encoder)); item;
         item = item->next) {
        if (GST_PAD_TEMPLATE_DIRECTION(item->data) == GST_PAD_SRC)
            return false;
    }
    return g_object_class_find_property(G_OBJECT_GET_CLASS(encoder), "location") != nullptr;
}

}  // namespace klova
