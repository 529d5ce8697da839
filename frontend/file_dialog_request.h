// What a file dialog is asked to show: the filters of a string-table filter text, the
// preselected filter, the starting folder and file. Built without any toolkit, so the
// rules are tested on their own; the window runs the dialog from it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace klova {

enum class FileDialogMode { Open, Save };

struct FileFilter {
    std::string description;            // "AVI video files (*.avi)"
    std::vector<std::string> patterns;  // "*.avi"
};

struct FileDialogRequest {
    FileDialogMode mode = FileDialogMode::Open;
    std::vector<FileFilter> filters;
    int filterIndex = 1;           // 1-based index of the preselected filter
    std::string defaultExtension;  // without its dot; added to a typed name without one
    std::string initialFolder;     // empty: the dialog's own choice
    std::string initialFile;       // the file name shown at first, without folders
};

// The filters of a filter text: pairs of description and ';'-separated patterns, every
// part ended by '|' ("All files|*.*||").
std::vector<FileFilter> ParseFilterText(std::string_view filterText);

// The filter a dialog starts with: the one whose description or pattern first contains
// the default extension (case-sensitive); 1 when none does.
int FilterIndexFor(std::string_view filterText, std::string_view defaultExtension);

// The request of a browse starting from path. An empty path starts in the documents
// folder; otherwise in the path's folder with its file name preselected.
FileDialogRequest MakeFileDialogRequest(FileDialogMode mode, std::string_view defaultExtension,
                                        std::string_view filterText, std::string_view path,
                                        std::string_view documentsFolder);

}  // namespace klova
