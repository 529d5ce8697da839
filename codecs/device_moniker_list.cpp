#include "codecs/device_moniker_list.h"

#include "codecs/avi_encoder_check.h"

#include <algorithm>
#include <string_view>

namespace klova {

DeviceMonikerList::DeviceMonikerList(CompressorCategory category)
{
    Enumerate(category);
}

DeviceMonikerList::DeviceMonikerList(CompressorCategory category, const std::string& friendlyName)
{
    Fill(category, &friendlyName);
}

HRESULT DeviceMonikerList::Enumerate(CompressorCategory category)
{
    return Fill(category, nullptr);
}

HRESULT DeviceMonikerList::Fill(CompressorCategory category, const std::string* friendlyName)
{
    monikers_.clear();
    if (!gst_is_initialized())
        return E_FAIL;

    const PluginFeatureListPtr features(gst_registry_get_feature_list(gst_registry_get(), GST_TYPE_ELEMENT_FACTORY));
    std::string name;
    for (const GList* item = features.get(); item; item = item->next) {
        auto* factory = GST_ELEMENT_FACTORY(item->data);
        // The name comes from the registry; only the check below loads the plugin.
        if (friendlyName && (Failed(ReadMonikerString(factory, "FriendlyName", &name)) || name != *friendlyName))
            continue;
        if (AviEncoderCheck::Accepts(factory, category))
            monikers_.push_back(retain(factory));
    }

    // Highest rank first; equal ranks by factory name, so the order (and with it the
    // answer to a name lookup among equal friendly names) is the same in every run.
    std::stable_sort(monikers_.begin(), monikers_.end(), [](const auto& a, const auto& b) {
        const guint rankA = gst_plugin_feature_get_rank(GST_PLUGIN_FEATURE(a.get()));
        const guint rankB = gst_plugin_feature_get_rank(GST_PLUGIN_FEATURE(b.get()));
        if (rankA != rankB)
            return rankA > rankB;
        return std::string_view(GST_OBJECT_NAME(a.get())) < std::string_view(GST_OBJECT_NAME(b.get()));
    });
    return monikers_.empty() ? S_FALSE : S_OK;
}

void DeviceMonikerList::GetMoniker(int32_t index, GstPtr<GstElementFactory>* moniker) const
{
    if (!moniker || index < 0 || index >= static_cast<int32_t>(monikers_.size()))
        return;
    *moniker = retain(monikers_[index].get());
}

HRESULT DeviceMonikerList::BindObject(int32_t index, GstPtr<GstElement>* element) const
{
    if (!element)
        return E_POINTER;
    if (index < 0 || index >= static_cast<int32_t>(monikers_.size()))
        return E_FAIL;
    GstElement* created = gst_element_factory_create(monikers_[index].get(), nullptr);
    if (!created)
        return E_FAIL;
    *element = retain(created);
    return S_OK;
}

HRESULT DeviceMonikerList::GetFriendlyName(int32_t index, std::string* name) const
{
    if (!name)
        return E_POINTER;
    name->clear();
    if (index < 0 || index >= static_cast<int32_t>(monikers_.size()))
        return E_INVALIDARG;
    return ReadMonikerString(monikers_[index].get(), "FriendlyName", name);
}

int32_t DeviceMonikerList::FindByName(const std::string& name) const
{
    std::string friendlyName;
    for (int32_t i = 0; i < GetCount(); ++i) {
        GetFriendlyName(i, &friendlyName);  // an unreadable name compares as ""
        if (friendlyName == name)
            return i;
    }
    return -1;
}

HRESULT DeviceMonikerList::CreateByName(const std::string& name, GstPtr<GstElement>* element) const
{
    const int32_t index = FindByName(name);
    if (index < 0)
        return E_FAIL;
    return BindObject(index, element);
}

HRESULT DeviceMonikerList::ReadMonikerString(GstElementFactory* moniker, const std::string& property, std::string* value)
{
    if (!value)
        return E_POINTER;
    value->clear();
    if (!moniker)
        return E_POINTER;
    const char* key = property == "FriendlyName" ? GST_ELEMENT_METADATA_LONGNAME : property.c_str();
    const char* text = gst_element_factory_get_metadata(moniker, key);
    if (!text)
        return E_FAIL;
    *value = text;
    return S_OK;
}

}  // namespace klova
