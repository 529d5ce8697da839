// Where the program's own files are: the executable's folder and the profile path.
#pragma once

#include <string>

namespace klova {

// Full path of the running executable.
std::string ExecutablePath();

// Folder of the running executable, with no trailing separator.
std::string ExecutableFolder();

// The profile beside the executable: its file name's extension (after the last ".")
// replaced by ".ini", or ".ini" appended when the file name has none. A dot in a
// folder name is not an extension.
std::string ProfilePathBeside(const std::string& executablePath);

// The profile path to use: beside the executable when that folder is writable and
// not an installed program's bin/ folder, otherwise the same file name in
// $XDG_CONFIG_HOME (or ~/.config).
std::string ChooseProfilePath(const std::string& executablePath);

}  // namespace klova
