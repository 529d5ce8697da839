// File-name helpers of the front ends: the name part of a path and a path with its
// extension replaced. Both '/' and '\' separate folders, so a dot in a folder name is
// never an extension.
#pragma once

#include <string>
#include <string_view>

namespace klova {

// File name and extension without the folders: "/clips/a.avi" gives "a.avi".
std::string FileNamePart(std::string_view path);

// The folder part including its trailing separator ("/clips/" for "/clips/a.avi"), or
// empty for a bare file name.
std::string FolderPart(std::string_view path);

// The path with the extension of its file name (from the file name's last ".")
// replaced by extension, which includes its dot. A name without "." gets the extension
// appended; a file name's leading dot (".hidden") starts no extension.
std::string ReplaceExtension(std::string_view path, std::string_view extension);

}  // namespace klova
