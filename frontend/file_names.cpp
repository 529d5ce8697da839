#include "frontend/file_names.h"

namespace klova {
namespace {

size_t NameStart(std::string_view path)
{
    const size_t separator = path.find_last_of("/\\");
    return separator == std::string_view::npos ? 0 : separator + 1;
}

}  // namespace

std::string FileNamePart(std::string_view path) { return std::string(path.substr(NameStart(path))); }

std::string FolderPart(std::string_view path) { return std::string(path.substr(0, NameStart(path))); }

std::string ReplaceExtension(std::string_view path, std::string_view extension)
{
    const size_t nameStart = NameStart(path);
    const size_t dot = path.rfind('.');
    const std::string_view base = dot == std::string_view::npos || dot <= nameStart ? path : path.substr(0, dot);
    return std::string(base) + std::string(extension);
}

}  // namespace klova
