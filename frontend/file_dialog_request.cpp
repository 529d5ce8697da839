#include "frontend/file_dialog_request.h"

#include "frontend/file_names.h"

#include <algorithm>
#include <cstddef>

namespace klova {
namespace {

std::vector<std::string> SplitPatterns(std::string_view text)
{
    std::vector<std::string> patterns;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = std::min(text.find(';', start), text.size());
        if (end > start)
            patterns.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return patterns;
}

}  // namespace

std::vector<FileFilter> ParseFilterText(std::string_view filterText)
{
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (;;) {
        const size_t bar = filterText.find('|', start);
        if (bar == std::string_view::npos || bar == start)
            break;  // "||" (an empty part) ends the list
        parts.push_back(filterText.substr(start, bar - start));
        start = bar + 1;
    }
    std::vector<FileFilter> filters;
    for (size_t i = 0; i + 1 < parts.size(); i += 2)
        filters.push_back({std::string(parts[i]), SplitPatterns(parts[i + 1])});
    return filters;
}

int FilterIndexFor(std::string_view filterText, std::string_view defaultExtension)
{
    if (defaultExtension.empty())
        return 1;
    const size_t position = filterText.find(defaultExtension);
    if (position == std::string_view::npos)
        return 1;
    const auto bars = std::count(filterText.begin(), filterText.begin() + static_cast<std::ptrdiff_t>(position), '|');
    return 1 + static_cast<int>(bars / 2);
}

FileDialogRequest MakeFileDialogRequest(FileDialogMode mode, std::string_view defaultExtension,
                                        std::string_view filterText, std::string_view path,
                                        std::string_view documentsFolder)
{
    FileDialogRequest request;
    request.mode = mode;
    request.filters = ParseFilterText(filterText);
    request.filterIndex = FilterIndexFor(filterText, defaultExtension);
    request.defaultExtension = std::string(defaultExtension);
    if (path.empty()) {
        request.initialFolder = std::string(documentsFolder);
    } else {
        request.initialFolder = FolderPart(path);
        request.initialFile = FileNamePart(path);
    }
    return request;
}

}  // namespace klova
