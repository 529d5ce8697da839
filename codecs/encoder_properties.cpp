#include "codecs/encoder_properties.h"

#include "codecs/property_value.h"

#include <gst/audio/audio.h>
#include <gst/base/base.h>
#include <gst/video/video.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string_view>

namespace klova {
namespace {

// Words of a property name that point at a file or folder of the pipeline's host.
constexpr std::string_view kLocationWords[] = {"location", "file", "filename", "path", "dir", "directory"};

std::optional<PropertyKind> KindOf(const GParamSpec* spec)
{
    const GType type = G_PARAM_SPEC_VALUE_TYPE(spec);
    switch (type) {
    case G_TYPE_BOOLEAN: return PropertyKind::Boolean;
    case G_TYPE_CHAR:
    case G_TYPE_INT:
    case G_TYPE_LONG:
    case G_TYPE_INT64: return PropertyKind::SignedInteger;
    case G_TYPE_UCHAR:
    case G_TYPE_UINT:
    case G_TYPE_ULONG:
    case G_TYPE_UINT64: return PropertyKind::UnsignedInteger;
    case G_TYPE_FLOAT:
    case G_TYPE_DOUBLE: return PropertyKind::Real;
    case G_TYPE_STRING: return PropertyKind::Text;
    default: break;
    }
    if (G_TYPE_IS_ENUM(type) && G_IS_PARAM_SPEC_ENUM(spec))
        return PropertyKind::Enumeration;
    if (G_TYPE_IS_FLAGS(type) && G_IS_PARAM_SPEC_FLAGS(spec))
        return PropertyKind::Flags;
    return std::nullopt;  // objects, boxed values, arrays, fractions: not for a page
}

// Properties the element classes every encoder derives from bring along: its name and
// parent, and the base classes' switches for the pipeline's QoS and key-unit requests.
bool BelongsToPipeline(const GParamSpec* spec)
{
    const GType pipelineClasses[] = {GST_TYPE_OBJECT,        GST_TYPE_ELEMENT,       GST_TYPE_BIN,
                                     GST_TYPE_VIDEO_ENCODER, GST_TYPE_AUDIO_ENCODER, GST_TYPE_BASE_TRANSFORM,
                                     GST_TYPE_BASE_SINK,     GST_TYPE_BASE_SRC};
    if (std::find(std::begin(pipelineClasses), std::end(pipelineClasses), spec->owner_type) !=
        std::end(pipelineClasses))
        return true;
    const std::string_view name = spec->name;
    for (size_t start = 0; start <= name.size();) {
        const size_t end = std::min(name.find_first_of("-_", start), name.size());
        const std::string_view word = name.substr(start, end - start);
        if (std::find(std::begin(kLocationWords), std::end(kLocationWords), word) != std::end(kLocationWords))
            return true;
        start = end + 1;
    }
    return false;
}

bool Configurable(const GParamSpec* spec)
{
    const GParamFlags flags = spec->flags;
    return (flags & G_PARAM_READABLE) && (flags & G_PARAM_WRITABLE) && !(flags & G_PARAM_CONSTRUCT_ONLY) &&
           !(flags & G_PARAM_DEPRECATED) && !BelongsToPipeline(spec);
}

std::string Printf(const char* format, auto... arguments)
{
    char text[128];
    std::snprintf(text, sizeof text, format, arguments...);
    return text;
}

std::string Number(int64_t value) { return std::to_string(value); }
std::string Number(uint64_t value) { return std::to_string(value); }
std::string Number(double value) { return Printf("%g", value); }

// The names of the flags set in bits, joined by "+", or "(none)".
std::string FlagNames(GFlagsClass* flagsClass, guint bits)
{
    std::string names;
    for (guint i = 0; i < flagsClass->n_values; ++i) {
        const GFlagsValue& flag = flagsClass->values[i];
        if (flag.value != 0 && (bits & flag.value) == flag.value) {
            if (!names.empty())
                names += "+";
            names += flag.value_nick;
        }
    }
    return names.empty() ? "(none)" : names;
}

std::string DefaultText(const EncoderProperty& property)
{
    const GValue* value = g_param_spec_get_default_value(property.spec);
    switch (property.kind) {
    case PropertyKind::Boolean: return g_value_get_boolean(value) ? "on" : "off";
    case PropertyKind::SignedInteger: return Number(GetSigned(*value));
    case PropertyKind::UnsignedInteger: return Number(GetUnsigned(*value));
    case PropertyKind::Real: return Number(GetReal(*value));
    case PropertyKind::Enumeration: {
        const GEnumValue* entry =
            g_enum_get_value(G_PARAM_SPEC_ENUM(property.spec)->enum_class, g_value_get_enum(value));
        return entry ? entry->value_name : Number(static_cast<int64_t>(g_value_get_enum(value)));
    }
    case PropertyKind::Flags:
        return FlagNames(G_PARAM_SPEC_FLAGS(property.spec)->flags_class, g_value_get_flags(value));
    case PropertyKind::Text: {
        const char* text = g_value_get_string(value);
        if (!text)
            return "none";
        std::string quoted(1, '"');
        quoted.append(text).push_back('"');
        return quoted;
    }
    }
    return {};
}

// Converts between two numeric GValue types (GLib transforms every pair of them).
void Transform(const GValue& from, GValue* to)
{
    if (!g_value_transform(&from, to))
        g_value_reset(to);
}

template <typename Number>
Number Read(const GValue& value, GType wide)
{
    PropertyValue converted(wide);
    Transform(value, converted.get());
    if (wide == G_TYPE_INT64)
        return static_cast<Number>(g_value_get_int64(converted.get()));
    if (wide == G_TYPE_UINT64)
        return static_cast<Number>(g_value_get_uint64(converted.get()));
    return static_cast<Number>(g_value_get_double(converted.get()));
}

}  // namespace

std::vector<EncoderProperty> ConfigurableProperties(GstElement* encoder)
{
    std::vector<EncoderProperty> properties;
    if (!encoder)
        return properties;
    guint count = 0;
    GParamSpec** specs = g_object_class_list_properties(G_OBJECT_GET_CLASS(encoder), &count);
    for (guint i = 0; i < count; ++i) {
        const std::optional<PropertyKind> kind = KindOf(specs[i]);
        if (kind && Configurable(specs[i]))
            properties.push_back({specs[i], *kind});
    }
    g_free(specs);
    std::sort(properties.begin(), properties.end(), [](const EncoderProperty& a, const EncoderProperty& b) {
        return std::string_view(a.spec->name) < std::string_view(b.spec->name);
    });
    return properties;
}

std::string DescribeProperty(const EncoderProperty& property)
{
    const char* blurb = g_param_spec_get_blurb(property.spec);
    std::string text = blurb && *blurb && std::string_view(blurb) != "(null)" ? blurb : property.spec->name;
    if (!text.empty() && text.back() != '.' && text.back() != ')')
        text += '.';
    switch (property.kind) {
    case PropertyKind::SignedInteger: {
        int64_t minimum = 0;
        int64_t maximum = 0;
        SignedLimits(property.spec, &minimum, &maximum);
        text += "\nRange: " + Number(minimum) + " to " + Number(maximum) + ".";
        break;
    }
    case PropertyKind::UnsignedInteger: {
        uint64_t minimum = 0;
        uint64_t maximum = 0;
        UnsignedLimits(property.spec, &minimum, &maximum);
        text += "\nRange: " + Number(minimum) + " to " + Number(maximum) + ".";
        break;
    }
    case PropertyKind::Real: {
        double minimum = 0.0;
        double maximum = 0.0;
        RealLimits(property.spec, &minimum, &maximum);
        text += "\nRange: " + Number(minimum) + " to " + Number(maximum) + ".";
        break;
    }
    default: break;
    }
    return text + "\nDefault: " + DefaultText(property) + ".";
}

namespace {

// Every numeric GParamSpec keeps its range in two fields of these names.
template <typename Spec, typename Value>
void CopyLimits(const Spec* spec, Value* minimum, Value* maximum)
{
    *minimum = spec->minimum;
    *maximum = spec->maximum;
}

}  // namespace

void SignedLimits(const GParamSpec* spec, int64_t* minimum, int64_t* maximum)
{
    switch (G_PARAM_SPEC_VALUE_TYPE(spec)) {
    case G_TYPE_CHAR: return CopyLimits(G_PARAM_SPEC_CHAR(spec), minimum, maximum);
    case G_TYPE_INT: return CopyLimits(G_PARAM_SPEC_INT(spec), minimum, maximum);
    case G_TYPE_LONG: return CopyLimits(G_PARAM_SPEC_LONG(spec), minimum, maximum);
    default: return CopyLimits(G_PARAM_SPEC_INT64(spec), minimum, maximum);
    }
}

void UnsignedLimits(const GParamSpec* spec, uint64_t* minimum, uint64_t* maximum)
{
    switch (G_PARAM_SPEC_VALUE_TYPE(spec)) {
    case G_TYPE_UCHAR: return CopyLimits(G_PARAM_SPEC_UCHAR(spec), minimum, maximum);
    case G_TYPE_UINT: return CopyLimits(G_PARAM_SPEC_UINT(spec), minimum, maximum);
    case G_TYPE_ULONG: return CopyLimits(G_PARAM_SPEC_ULONG(spec), minimum, maximum);
    default: return CopyLimits(G_PARAM_SPEC_UINT64(spec), minimum, maximum);
    }
}

void RealLimits(const GParamSpec* spec, double* minimum, double* maximum)
{
    if (G_PARAM_SPEC_VALUE_TYPE(spec) == G_TYPE_FLOAT)
        CopyLimits(G_PARAM_SPEC_FLOAT(spec), minimum, maximum);
    else
        CopyLimits(G_PARAM_SPEC_DOUBLE(spec), minimum, maximum);
}

int64_t GetSigned(const GValue& value) { return Read<int64_t>(value, G_TYPE_INT64); }
uint64_t GetUnsigned(const GValue& value) { return Read<uint64_t>(value, G_TYPE_UINT64); }
double GetReal(const GValue& value) { return Read<double>(value, G_TYPE_DOUBLE); }

namespace {

// Clamps the number to the property's range and stores it in the property's own type
// through the widest type of its kind.
template <typename Number>
void SetClamped(const GParamSpec* spec, GValue* value, Number number,
                void (*limits)(const GParamSpec*, Number*, Number*), GType wideType, void (*set)(GValue*, Number))
{
    Number minimum{};
    Number maximum{};
    limits(spec, &minimum, &maximum);
    PropertyValue wide(wideType);
    set(wide.get(), std::clamp(number, minimum, maximum));
    Transform(*wide.get(), value);
}

}  // namespace

void SetSigned(const GParamSpec* spec, GValue* value, int64_t number)
{
    SetClamped<int64_t>(spec, value, number, SignedLimits, G_TYPE_INT64, g_value_set_int64);
}

void SetUnsigned(const GParamSpec* spec, GValue* value, uint64_t number)
{
    SetClamped<uint64_t>(spec, value, number, UnsignedLimits, G_TYPE_UINT64, g_value_set_uint64);
}

void SetReal(const GParamSpec* spec, GValue* value, double number)
{
    SetClamped<double>(spec, value, number, RealLimits, G_TYPE_DOUBLE, g_value_set_double);
}

}  // namespace klova
