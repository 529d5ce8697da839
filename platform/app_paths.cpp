#include "platform/app_paths.h"

#include "platform/install_layout.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>

namespace klova {

std::string ExecutablePath()
{
    char buffer[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0)
        return {};
    return std::string(buffer, static_cast<size_t>(length));
}

std::string ExecutableFolder()
{
    const std::string path = ExecutablePath();
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::string ProfilePathBeside(const std::string& executablePath)
{
    const size_t slash = executablePath.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = executablePath.rfind('.');
    if (dot == std::string::npos || dot < nameStart)
        return executablePath + ".ini";
    return executablePath.substr(0, dot) + ".ini";
}

std::string ChooseProfilePath(const std::string& executablePath)
{
    const std::string beside = ProfilePathBeside(executablePath);
    const size_t slash = beside.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : beside.substr(0, slash == 0 ? 1 : slash);
    // An installed program's folder is shared by every user (and writable for root):
    // its profile is always the user's own.
    if (!IsInstalledLayout(folder) && ::access(folder.c_str(), W_OK) == 0)
        return beside;

    std::string configHome;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        configHome = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        configHome = std::string(home) + "/.config";
    else
        return beside;
    std::error_code ignored;
    std::filesystem::create_directories(configHome, ignored);
    return configHome + "/" + beside.substr(slash == std::string::npos ? 0 : slash + 1);
}

}  // namespace klova
