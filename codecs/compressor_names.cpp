#include "codecs/compressor_names.h"

#include "resources/string_table.h"

#include <algorithm>
#include <string_view>

namespace klova {

std::vector<std::string> FillCompressorList(CompressorCategory category)
{
    const DeviceMonikerList list(category);
    const int32_t count = list.GetCount();
    std::vector<std::string> names(static_cast<size_t>(count));
    for (int32_t index = 0; index < count; ++index)
        list.GetFriendlyName(index, &names[static_cast<size_t>(index)]);
    // Two encoders of one name (libav's float and fixed-point AC-3) are one choice: a
    // name always finds the first of them.
    std::vector<std::string> seen;
    std::erase_if(names, [&seen](const std::string& name) {
        if (std::find(seen.begin(), seen.end(), name) != seen.end())
            return true;
        seen.push_back(name);
        return false;
    });
    return names;
}

void SortEntries(std::vector<std::string>& entries)
{
    // std::string compares its characters as unsigned char, which is the byte order.
    std::stable_sort(entries.begin(), entries.end(),
                     [](const std::string& a, const std::string& b) { return std::string_view(a) < b; });
}

std::vector<std::string> ListCompressorNames(CompressorCategory category)
{
    std::vector<std::string> names = FillCompressorList(category);
    std::erase(names, std::string());
    names.push_back(category == CompressorCategory::Video ? LoadStringResource(IDS_UNCOMPRESSED)
                                                          : std::string(kPcmCompressorName));
    SortEntries(names);
    return names;
}

}  // namespace klova
