// Where an installed program keeps its own files: the executables in bin/, the private
// libraries (libasfout.so) in a folder found relative to bin/, the profile in the
// user's configuration folder. The build tree keeps them all beside the executables.
#pragma once

#include <string>

namespace klova {

// The private library folder as installed, relative to the executables' folder
// ("../lib/klova", or "../lib/x86_64-linux-gnu/klova" in /usr on Debian; fixed when
// the program is configured).
std::string InstalledLibraryFolderFromBin();

// True when the executable's folder has the installed private library folder beside
// it, that is when the program runs from an installed tree.
bool IsInstalledLayout(const std::string& executableFolder);

// The folder the Windows Media writer library is loaded from: the private library
// folder of an installed program, the executable's own folder otherwise.
std::string PrivateLibraryFolder(const std::string& executableFolder);

}  // namespace klova
