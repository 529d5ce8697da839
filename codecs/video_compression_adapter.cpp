#include "codecs/video_compression_adapter.h"

#include "platform/gst_ptr.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>

namespace klova {

namespace {

constexpr double kNoLimit = std::numeric_limits<double>::infinity();

// How quality 0..1 spreads over a property's values.
enum class Spread {
    Even,        // equal steps: the property is on a logarithmic scale already (H.264 QP, 0..100 scales)
    EqualRatio,  // equal ratios: a quantizer step size, where halving the step about doubles the bits
};

// Constant-quality and quantizer properties, in order of preference. Each encoder's
// value range is the property's, narrowed to finest..coarsest.
struct QualityRule {
    const char* property;        // quality or quantizer; the lower end of a quantizer range
    const char* upperProperty;   // the range's upper end, set to the same value; or null
    const char* insideProperty;  // a level the encoder wants inside the range (moved with it), or null
    const char* modeProperty;    // enum switched to modeNick first, or null
    const char* modeNick;
    const char* requiredProperty;  // the rule holds only for encoders that have this property, or null
    const char* excludingProperty;  // the rule does not hold for encoders that have this one, or null
    bool lowerIsBetter;
    double finest;
    double coarsest;
    Spread spread;
};

constexpr QualityRule kQualityRules[] = {
    {"quality", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, false, kNoLimit, -kNoLimit, Spread::Even},
    // libav's wrappers (which carry the codec's "global-quality") take a constant
    // quantizer they never hand to the codec. For x264, 0 is lossless coding, which
    // only decoders of the High 4:4:4 Predictive profile read.
    {"quantizer", nullptr, nullptr, "pass", "quant", nullptr, "global-quality", true, 1.0, kNoLimit, Spread::Even},
    // libav's MPEG-style encoders (the ones with the shared "mpv-flags") quantize each
    // frame within qmin..qmax; their step sizes run from 1 to 31. The other libav
    // encoders ignore both.
    {"qmin", "qmax", nullptr, nullptr, nullptr, "mpv-flags", nullptr, true, 1.0, 31.0, Spread::EqualRatio},
    // VP8 and VP9 refuse a constrained-quality level outside their quantizer range.
    {"min-quantizer", "max-quantizer", "cq-level", nullptr, nullptr, nullptr, nullptr, true, -kNoLimit, kNoLimit,
     Spread::Even},
    // OpenH264 codes nothing finer than 12 and takes a range of 0 as unset.
    {"qp-min", "qp-max", nullptr, nullptr, nullptr, nullptr, nullptr, true, 12.0, kNoLimit, Spread::Even},
    {"qscale", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, true, -kNoLimit, kNoLimit, Spread::Even},
    {"cq-level", nullptr, nullptr, "end-usage", "cq", nullptr, nullptr, true, -kNoLimit, kNoLimit, Spread::Even},
    // 0 and -1 select automatic and constant-rate modes.
    {"quantisation", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, true, 1.0, 31.0, Spread::EqualRatio},
};

struct KeyFrameRule {
    const char* property;
    const char* minimumProperty;  // set with it, or null
};

constexpr KeyFrameRule kKeyFrameRules[] = {
    {"gop-size", nullptr},
    {"key-int-max", nullptr},
    {"keyframe-max-dist", nullptr},
    {"max-gop-size", "min-gop-size"},
};

bool HasProperty(GstElement* element, const char* name)
{
    return g_object_class_find_property(G_OBJECT_GET_CLASS(element), name) != nullptr;
}

bool IsNumeric(const GParamSpec* spec)
{
    switch (G_PARAM_SPEC_VALUE_TYPE(spec)) {
    case G_TYPE_INT:
    case G_TYPE_UINT:
    case G_TYPE_LONG:
    case G_TYPE_ULONG:
    case G_TYPE_INT64:
    case G_TYPE_UINT64:
    case G_TYPE_FLOAT:
    case G_TYPE_DOUBLE:
        return true;
    default:
        return false;
    }
}

bool IsIntegral(const GParamSpec* spec)
{
    const GType type = G_PARAM_SPEC_VALUE_TYPE(spec);
    return type != G_TYPE_FLOAT && type != G_TYPE_DOUBLE;
}

void NumericRange(const GParamSpec* spec, double* low, double* high)
{
    switch (G_PARAM_SPEC_VALUE_TYPE(spec)) {
    case G_TYPE_INT:
        *low = G_PARAM_SPEC_INT(spec)->minimum;
        *high = G_PARAM_SPEC_INT(spec)->maximum;
        break;
    case G_TYPE_UINT:
        *low = G_PARAM_SPEC_UINT(spec)->minimum;
        *high = G_PARAM_SPEC_UINT(spec)->maximum;
        break;
    case G_TYPE_LONG:
        *low = static_cast<double>(G_PARAM_SPEC_LONG(spec)->minimum);
        *high = static_cast<double>(G_PARAM_SPEC_LONG(spec)->maximum);
        break;
    case G_TYPE_ULONG:
        *low = static_cast<double>(G_PARAM_SPEC_ULONG(spec)->minimum);
        *high = static_cast<double>(G_PARAM_SPEC_ULONG(spec)->maximum);
        break;
    case G_TYPE_INT64:
        *low = static_cast<double>(G_PARAM_SPEC_INT64(spec)->minimum);
        *high = static_cast<double>(G_PARAM_SPEC_INT64(spec)->maximum);
        break;
    case G_TYPE_UINT64:
        *low = static_cast<double>(G_PARAM_SPEC_UINT64(spec)->minimum);
        *high = static_cast<double>(G_PARAM_SPEC_UINT64(spec)->maximum);
        break;
    case G_TYPE_FLOAT:
        *low = G_PARAM_SPEC_FLOAT(spec)->minimum;
        *high = G_PARAM_SPEC_FLOAT(spec)->maximum;
        break;
    default:
        *low = G_PARAM_SPEC_DOUBLE(spec)->minimum;
        *high = G_PARAM_SPEC_DOUBLE(spec)->maximum;
        break;
    }
}

double GetNumber(GstElement* element, const GParamSpec* spec)
{
    GValue value = G_VALUE_INIT;
    g_value_init(&value, G_PARAM_SPEC_VALUE_TYPE(spec));
    g_object_get_property(G_OBJECT(element), spec->name, &value);
    double number = 0.0;
    switch (G_PARAM_SPEC_VALUE_TYPE(spec)) {
    case G_TYPE_INT: number = g_value_get_int(&value); break;
    case G_TYPE_UINT: number = g_value_get_uint(&value); break;
    case G_TYPE_LONG: number = static_cast<double>(g_value_get_long(&value)); break;
    case G_TYPE_ULONG: number = static_cast<double>(g_value_get_ulong(&value)); break;
    case G_TYPE_INT64: number = static_cast<double>(g_value_get_int64(&value)); break;
    case G_TYPE_UINT64: number = static_cast<double>(g_value_get_uint64(&value)); break;
    case G_TYPE_FLOAT: number = g_value_get_float(&value); break;
    default: number = g_value_get_double(&value); break;
    }
    g_value_unset(&value);
    return number;
}

// Sets a numeric property, clamped to its range (and rounded for whole-number types).
void SetNumber(GstElement* element, const GParamSpec* spec, double number)
{
    double low = 0.0;
    double high = 0.0;
    NumericRange(spec, &low, &high);
    number = std::clamp(number, low, high);
    if (IsIntegral(spec))
        number = std::round(number);
    GValue value = G_VALUE_INIT;
    g_value_init(&value, G_PARAM_SPEC_VALUE_TYPE(spec));
    switch (G_PARAM_SPEC_VALUE_TYPE(spec)) {
    case G_TYPE_INT: g_value_set_int(&value, static_cast<gint>(number)); break;
    case G_TYPE_UINT: g_value_set_uint(&value, static_cast<guint>(number)); break;
    case G_TYPE_LONG: g_value_set_long(&value, static_cast<glong>(number)); break;
    case G_TYPE_ULONG: g_value_set_ulong(&value, static_cast<gulong>(number)); break;
    case G_TYPE_INT64: g_value_set_int64(&value, static_cast<gint64>(number)); break;
    case G_TYPE_UINT64: g_value_set_uint64(&value, static_cast<guint64>(number)); break;
    case G_TYPE_FLOAT: g_value_set_float(&value, static_cast<gfloat>(number)); break;
    default: g_value_set_double(&value, number); break;
    }
    g_object_set_property(G_OBJECT(element), spec->name, &value);
    g_value_unset(&value);
}

GParamSpec* WritableNumeric(GstElement* element, const char* name)
{
    GParamSpec* spec = g_object_class_find_property(G_OBJECT_GET_CLASS(element), name);
    if (!spec || !(spec->flags & G_PARAM_WRITABLE) || !(spec->flags & G_PARAM_READABLE) || !IsNumeric(spec))
        return nullptr;
    return spec;
}

// The enum value of a mode property with the given nick, or null.
const GEnumValue* ModeValue(GstElement* element, const char* property, const char* nick, GParamSpec** spec)
{
    *spec = g_object_class_find_property(G_OBJECT_GET_CLASS(element), property);
    if (!*spec || !G_IS_PARAM_SPEC_ENUM(*spec) || !((*spec)->flags & G_PARAM_WRITABLE))
        return nullptr;
    return g_enum_get_value_by_nick(G_PARAM_SPEC_ENUM(*spec)->enum_class, nick);
}

}  // namespace

VideoCompressionAdapter::VideoCompressionAdapter(GstElement* encoder) : encoder_(encoder)
{
    if (!encoder_)
        return;
    FindQualityRule();
    FindKeyFrameRule();
}

void VideoCompressionAdapter::FindQualityRule()
{
    for (int i = 0; i < static_cast<int>(std::size(kQualityRules)); ++i) {
        const QualityRule& rule = kQualityRules[i];
        GParamSpec* spec = WritableNumeric(encoder_, rule.property);
        GParamSpec* upperSpec = rule.upperProperty ? WritableNumeric(encoder_, rule.upperProperty) : nullptr;
        GParamSpec* modeSpec = nullptr;
        if (!spec || (rule.upperProperty && !upperSpec) ||
            (rule.modeProperty && !ModeValue(encoder_, rule.modeProperty, rule.modeNick, &modeSpec)) ||
            (rule.requiredProperty && !HasProperty(encoder_, rule.requiredProperty)) ||
            (rule.excludingProperty && HasProperty(encoder_, rule.excludingProperty)))
            continue;
        qualityRule_ = i;
        qualitySpec_ = spec;
        upperSpec_ = upperSpec;
        if (!QualityRange(nullptr, nullptr)) {
            qualityRule_ = -1;
            qualitySpec_ = upperSpec_ = nullptr;
            continue;
        }
        return;
    }
}

void VideoCompressionAdapter::FindKeyFrameRule()
{
    for (int i = 0; i < static_cast<int>(std::size(kKeyFrameRules)); ++i) {
        if (GParamSpec* spec = WritableNumeric(encoder_, kKeyFrameRules[i].property)) {
            keyFrameRule_ = i;
            keyFrameSpec_ = spec;
            return;
        }
    }
}

// The values quality 0.0 and 1.0 stand for: the rule's limits within the range the
// property (or both ends of a quantizer range) allows. False when nothing is left.
bool VideoCompressionAdapter::QualityRange(double* coarsest, double* finest) const
{
    const QualityRule& rule = kQualityRules[qualityRule_];
    double low = 0.0;
    double high = 0.0;
    NumericRange(qualitySpec_, &low, &high);
    if (upperSpec_) {
        double upperLow = 0.0;
        double upperHigh = 0.0;
        NumericRange(upperSpec_, &upperLow, &upperHigh);
        low = std::max(low, upperLow);
        high = std::min(high, upperHigh);
    }
    low = std::max(low, std::min(rule.finest, rule.coarsest));
    high = std::min(high, std::max(rule.finest, rule.coarsest));
    if (!(high > low) || (rule.spread == Spread::EqualRatio && low <= 0.0))
        return false;
    if (coarsest)
        *coarsest = rule.lowerIsBetter ? high : low;
    if (finest)
        *finest = rule.lowerIsBetter ? low : high;
    return true;
}

double VideoCompressionAdapter::CurrentQuality() const
{
    double coarsest = 0.0;
    double finest = 0.0;
    if (qualityRule_ < 0 || !QualityRange(&coarsest, &finest))
        return -1.0;
    const QualityRule& rule = kQualityRules[qualityRule_];
    if (rule.modeProperty) {
        GParamSpec* modeSpec = nullptr;
        const GEnumValue* mode = ModeValue(encoder_, rule.modeProperty, rule.modeNick, &modeSpec);
        GValue current = G_VALUE_INIT;
        g_value_init(&current, G_PARAM_SPEC_VALUE_TYPE(modeSpec));
        g_object_get_property(G_OBJECT(encoder_), modeSpec->name, &current);
        const bool active = g_value_get_enum(&current) == mode->value;
        g_value_unset(&current);
        if (!active)
            return -1.0;
    }
    const double value = GetNumber(encoder_, qualitySpec_);
    // An open quantizer range is the encoder's own rate control at work.
    if (upperSpec_ && GetNumber(encoder_, upperSpec_) != value)
        return -1.0;
    if (value < std::min(coarsest, finest) || value > std::max(coarsest, finest))
        return -1.0;
    if (rule.spread == Spread::EqualRatio)
        return std::log(value / coarsest) / std::log(finest / coarsest);
    return (value - coarsest) / (finest - coarsest);
}

HRESULT VideoCompressionAdapter::GetInfo(std::string* version, std::string* description, int32_t* defaultKeyFrameRate,
                                         int32_t* defaultPFramesPerKey, double* defaultQuality,
                                         int32_t* capabilities) const
{
    if (!encoder_)
        return E_FAIL;
    GstElementFactory* factory = gst_element_get_factory(encoder_);
    if (version) {
        version->clear();
        if (factory) {
            GstPtr<GstPlugin> plugin = adopt(gst_plugin_feature_get_plugin(GST_PLUGIN_FEATURE(factory)));
            if (plugin && gst_plugin_get_version(plugin.get()))
                *version = gst_plugin_get_version(plugin.get());
        }
    }
    if (description) {
        description->clear();
        if (factory && gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_LONGNAME))
            *description = gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_LONGNAME);
    }
    if (defaultKeyFrameRate)
        *defaultKeyFrameRate = keyFrameSpec_ ? static_cast<int32_t>(GetNumber(encoder_, keyFrameSpec_)) : -1;
    if (defaultPFramesPerKey)
        *defaultPFramesPerKey = -1;
    if (defaultQuality)
        *defaultQuality = CurrentQuality();
    if (capabilities)
        *capabilities = (qualityRule_ >= 0 ? CompressionCaps_CanQuality : 0) |
                        (keyFrameRule_ >= 0 ? CompressionCaps_CanKeyFrame : 0);
    return S_OK;
}

HRESULT VideoCompressionAdapter::put_Quality(double quality)
{
    if (qualityRule_ < 0)
        return E_FAIL;
    const QualityRule& rule = kQualityRules[qualityRule_];
    if (quality < 0.0)
        return S_OK;
    if (!(quality <= 1.0))
        return E_INVALIDARG;
    double coarsest = 0.0;
    double finest = 0.0;
    if (!QualityRange(&coarsest, &finest))
        return E_FAIL;
    if (rule.modeProperty) {
        GParamSpec* modeSpec = nullptr;
        const GEnumValue* mode = ModeValue(encoder_, rule.modeProperty, rule.modeNick, &modeSpec);
        GValue value = G_VALUE_INIT;
        g_value_init(&value, G_PARAM_SPEC_VALUE_TYPE(modeSpec));
        g_value_set_enum(&value, mode->value);
        g_object_set_property(G_OBJECT(encoder_), modeSpec->name, &value);
        g_value_unset(&value);
    }
    const double value = rule.spread == Spread::EqualRatio ? coarsest * std::pow(finest / coarsest, quality)
                                                           : coarsest + (finest - coarsest) * quality;
    SetNumber(encoder_, qualitySpec_, value);
    if (upperSpec_)
        SetNumber(encoder_, upperSpec_, GetNumber(encoder_, qualitySpec_));
    if (rule.insideProperty) {
        if (GParamSpec* insideSpec = WritableNumeric(encoder_, rule.insideProperty))
            SetNumber(encoder_, insideSpec, GetNumber(encoder_, qualitySpec_));
    }
    return S_OK;
}

HRESULT VideoCompressionAdapter::put_KeyFrameRate(int32_t keyFrameRate)
{
    if (keyFrameRule_ < 0)
        return E_FAIL;
    if (keyFrameRate <= 0)
        return S_OK;
    double low = 0.0;
    double high = 0.0;
    NumericRange(keyFrameSpec_, &low, &high);
    const double interval = std::clamp(static_cast<double>(keyFrameRate), std::max(low, 1.0), high);
    // A minimum left on its default (mpeg2enc's 12, say) would lie above a shorter
    // spacing, which the encoder does not survive.
    if (const char* minimumProperty = kKeyFrameRules[keyFrameRule_].minimumProperty) {
        if (GParamSpec* minimumSpec = WritableNumeric(encoder_, minimumProperty))
            SetNumber(encoder_, minimumSpec, interval);
    }
    SetNumber(encoder_, keyFrameSpec_, interval);
    return S_OK;
}

}  // namespace klova
