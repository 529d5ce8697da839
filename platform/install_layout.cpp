#include "platform/install_layout.h"

#include <filesystem>
#include <system_error>

#ifndef KLOVA_PRIVATE_LIBRARY_FOLDER
#define KLOVA_PRIVATE_LIBRARY_FOLDER "../lib/klova"
#endif

namespace klova {
namespace {

std::filesystem::path InstalledLibraryPath(const std::string& executableFolder)
{
    return (std::filesystem::path(executableFolder) / KLOVA_PRIVATE_LIBRARY_FOLDER).lexically_normal();
}

}  // namespace

std::string InstalledLibraryFolderFromBin() { return KLOVA_PRIVATE_LIBRARY_FOLDER; }

bool IsInstalledLayout(const std::string& executableFolder)
{
    std::error_code ignored;
    return !executableFolder.empty() && std::filesystem::is_directory(InstalledLibraryPath(executableFolder), ignored);
}

std::string PrivateLibraryFolder(const std::string& executableFolder)
{
    if (!IsInstalledLayout(executableFolder))
        return executableFolder;
    std::string folder = InstalledLibraryPath(executableFolder).string();
    if (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder;
}

}  // namespace klova
