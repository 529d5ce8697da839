#include "engine/clip_naming.h"

#include <cstdio>
#include <string_view>

namespace klova {
namespace {

struct SplitName {
    std::string_view base;       // folder and file name, without the extension
    std::string_view extension;  // from the last dot of the file name, or empty
};

SplitName SplitExtension(std::string_view path)
{
    const size_t separator = path.find_last_of("/\\");
    const size_t nameStart = separator == std::string_view::npos ? 0 : separator + 1;
    const size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || dot <= nameStart)
        return {path, {}};
    return {path.substr(0, dot), path.substr(dot)};
}

}  // namespace

std::string GetOutputExtension(const ConversionSettings& settings)
{
    return settings.DstFileType == 1 ? ".wmv" : ".avi";
}

std::string MakeClipName(const ConversionSettings& settings, int32_t clipIndex)
{
    const SplitName split = SplitExtension(settings.DstFileName);
    const std::string extension = split.extension.empty() ? GetOutputExtension(settings) : std::string(split.extension);
    std::string name(split.base);
    if (settings.SceneDetection != 0) {
        char number[16];
        std::snprintf(number, sizeof number, "%05d", static_cast<int>(clipIndex));
        name += number;
    }
    return name + extension;
}

}  // namespace klova
