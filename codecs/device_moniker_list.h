// The installed compressors of one category (video or audio encoders that the AVI
// muxer can store), in a stable order, with lookup by exact friendly name. A moniker
// is the encoder's element factory; binding one creates the encoder element.
#pragma once

#include "platform/gst_ptr.h"
#include "platform/media_types.h"

#include <gst/gst.h>

#include <cstdint>
#include <string>
#include <vector>

namespace klova {

// CLSID_VideoCompressorCategory / CLSID_AudioCompressorCategory.
enum class CompressorCategory { Video, Audio };

class DeviceMonikerList {
public:
    // Enumerates the category; a failing enumeration leaves the list empty.
    explicit DeviceMonikerList(CompressorCategory category);
    // Enumerates only the category's encoders of that friendly name: the ones the whole
    // list holds under it, in the same order, so a lookup by the name answers as on the
    // whole list, without loading and opening every other encoder first.
    DeviceMonikerList(CompressorCategory category, const std::string& friendlyName);
    DeviceMonikerList(const DeviceMonikerList&) = delete;
    DeviceMonikerList& operator=(const DeviceMonikerList&) = delete;

    // Refills the list: S_OK, or S_FALSE when the category has no usable encoder.
    HRESULT Enumerate(CompressorCategory category);

    int32_t GetCount() const { return static_cast<int32_t>(monikers_.size()); }

    // For a valid index replaces the caller's reference with the index-th moniker;
    // any other index leaves it as it was.
    void GetMoniker(int32_t index, GstPtr<GstElementFactory>* moniker) const;

    // Creates a new encoder element from the index-th moniker (the caller owns it);
    // E_FAIL when the index names no moniker or the element cannot be created.
    HRESULT BindObject(int32_t index, GstPtr<GstElement>* element) const;

    // Empties the name, then reads "FriendlyName"; E_INVALIDARG for an invalid index.
    HRESULT GetFriendlyName(int32_t index, std::string* name) const;

    // The first index, in list order, whose friendly name equals the name exactly
    // (case-sensitive); -1 when there is none.
    int32_t FindByName(const std::string& name) const;

    // FindByName, then BindObject; E_FAIL when the name is not listed.
    HRESULT CreateByName(const std::string& name, GstPtr<GstElement>* element) const;

    // Reads one string property of a moniker: "FriendlyName" is the factory's long-name;
    // any other name is looked up as the factory's metadata key ("description",
    // "author", "klass", ...). The value is emptied first; E_FAIL when there is none.
    static HRESULT ReadMonikerString(GstElementFactory* moniker, const std::string& property, std::string* value);

private:
    // Refills the list with the category's encoders, or only those of the friendly name.
    HRESULT Fill(CompressorCategory category, const std::string* friendlyName);

    std::vector<GstPtr<GstElementFactory>> monikers_;
};

}  // namespace klova
