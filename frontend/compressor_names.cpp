#include "frontend/compressor_names.h"

namespace klova {

std::vector<std::string> CompressorNames(CompressorCategory category)
{
    const DeviceMonikerList list(category);
    const int32_t count = list.GetCount();
    std::vector<std::string> names;
    names.reserve(static_cast<size_t>(count));
    std::string name;
    for (int32_t index = 0; index < count; ++index)
        if (list.GetFriendlyName(index, &name) == S_OK)
            names.push_back(name);
    return names;
}

}  // namespace klova
