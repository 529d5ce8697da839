#include "codecs/encoder_config_store.h"

GST_DEBUG_CATEGORY_STATIC(encoder_config_store_debug);
#define GST_CAT_DEFAULT encoder_config_store_debug

namespace klova {

namespace {

void InitDebugCategory()
{
    static const bool initialised = [] {
        GST_DEBUG_CATEGORY_INIT(encoder_config_store_debug, "klovaencoderconfig", 0, "remembered encoder settings");
        return true;
    }();
    (void)initialised;
}

}  // namespace

EncoderConfigStore::StoredValue::StoredValue(const GValue& source)
{
    g_value_init(&value_, G_VALUE_TYPE(&source));
    g_value_copy(&source, &value_);
}

EncoderConfigStore::StoredValue::~StoredValue()
{
    g_value_unset(&value_);
}

EncoderConfigStore::~EncoderConfigStore()
{
    Clear();
}

void EncoderConfigStore::Remember(const std::string& factoryName, const std::string& property, const GValue& value)
{
    if (!G_IS_VALUE(&value))
        return;
    std::lock_guard guard(lock_);
    auto& properties = values_[factoryName];
    properties.erase(property);
    properties.emplace(std::piecewise_construct, std::forward_as_tuple(property), std::forward_as_tuple(value));
}

void EncoderConfigStore::Apply(GstElement* encoder) const
{
    if (!encoder)
        return;
    GstElementFactory* factory = gst_element_get_factory(encoder);
    if (!factory)
        return;
    InitDebugCategory();
    const std::string factoryName = GST_OBJECT_NAME(factory);

    std::lock_guard guard(lock_);
    const auto found = values_.find(factoryName);
    if (found == values_.end())
        return;
    for (const auto& [property, stored] : found->second) {
        GParamSpec* spec = g_object_class_find_property(G_OBJECT_GET_CLASS(encoder), property.c_str());
        if (!spec || !(spec->flags & G_PARAM_WRITABLE) ||
            !g_value_type_transformable(G_VALUE_TYPE(stored.get()), spec->value_type)) {
            GST_WARNING_OBJECT(encoder, "remembered property %s cannot be set", property.c_str());
            continue;
        }
        g_object_set_property(G_OBJECT(encoder), property.c_str(), stored.get());
    }
}

void EncoderConfigStore::RememberInputFormat(const std::string& factoryName, const std::string& format)
{
    std::lock_guard guard(lock_);
    if (format.empty())
        inputFormats_.erase(factoryName);
    else
        inputFormats_[factoryName] = format;
}

std::string EncoderConfigStore::InputFormat(GstElement* encoder) const
{
    GstElementFactory* factory = encoder ? gst_element_get_factory(encoder) : nullptr;
    if (!factory)
        return {};
    std::lock_guard guard(lock_);
    const auto found = inputFormats_.find(GST_OBJECT_NAME(factory));
    return found == inputFormats_.end() ? std::string() : found->second;
}

void EncoderConfigStore::Clear()
{
    std::lock_guard guard(lock_);
    values_.clear();
    inputFormats_.clear();
}

}  // namespace klova
