#include "frontend/command_line.h"

#include "frontend/settings_store.h"
#include "platform/ini_file.h"

#include <strings.h>

#include <filesystem>
#include <fstream>
#include <system_error>
#include <stdexcept>

namespace klova {
namespace {

const SettingKey* FindKey(const std::string& name)
{
    for (const SettingKey& key : SettingKeys())
        if (::strcasecmp(key.name, name.c_str()) == 0)
            return &key;
    return nullptr;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& arguments)
{
    CommandLine commandLine;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--help" || argument == "-h") {
            commandLine.showHelp = true;
        } else if (argument == "--version") {
            commandLine.showVersion = true;
        } else if (argument == "--list-encoders") {
            commandLine.listEncoders = true;
        } else if (argument == "--list-profiles") {
            commandLine.listProfiles = true;
        } else if (argument == "--profile") {
            if (i + 1 == arguments.size())
                throw std::invalid_argument("--profile needs a file name");
            commandLine.profilePath = arguments[++i];
        } else if (argument.rfind("--profile=", 0) == 0) {
            commandLine.profilePath = argument.substr(10);
        } else if (argument.rfind("-", 0) == 0) {
            throw std::invalid_argument("unknown option: " + argument + " (see --help)");
        } else {
            const size_t equals = argument.find('=');
            if (equals == std::string::npos || equals == 0)
                throw std::invalid_argument("not a Key=Value setting: " + argument);
            const std::string key = argument.substr(0, equals);
            const SettingKey* known = FindKey(key);
            if (!known)
                throw std::invalid_argument("unknown setting: " + key + " (see --help)");
            commandLine.overrides.emplace_back(known->name, argument.substr(equals + 1));
        }
    }
    return commandLine;
}

bool AsksOnly(const CommandLine& commandLine)
{
    return commandLine.showHelp || commandLine.showVersion || commandLine.listEncoders || commandLine.listProfiles;
}

ConversionSettings SettingsFromCommandLine(const CommandLine& commandLine)
{
    IniFile profile(commandLine.profilePath.value_or(std::string()));
    if (commandLine.profilePath) {
        if (!std::ifstream(*commandLine.profilePath))
            throw std::runtime_error("cannot read the profile " + *commandLine.profilePath);
        profile.Load();
    }
    for (const auto& [key, value] : commandLine.overrides)
        profile.SetStoredValue(kOptionsSection, key, value);
    ConversionSettings settings;
    LoadSettings(profile, settings);
    CheckSettings(settings);
    return settings;
}

void CheckSettings(const ConversionSettings& settings)
{
    if (settings.SceneDetection < kSplitNone || settings.SceneDetection > kSplitProject)
        throw std::invalid_argument("SceneDetection=" + std::to_string(settings.SceneDetection) +
                                    ": must be 0 (one file), 1 (a clip file per scene) or 2 (editor project only)");
    if (settings.SceneDetection == kSplitProject)
        return;  // no output file is written
    const std::string& name = settings.DstFileName;
    if (name.empty())
        throw std::invalid_argument("DstFileName is empty: it must name the output file");
    const std::filesystem::path path(name);
    const std::string last = path.filename().string();
    std::error_code ignored;
    if (name.back() == '/' || last == "." || last == ".." || std::filesystem::is_directory(path, ignored))
        throw std::invalid_argument("DstFileName=" + name + ": names a folder, not a file");
}

std::string UsageText()
{
    std::string text =
        "Usage: klova-convert [--profile FILE] [Key=Value ...]\n"
        "       klova-convert --list-encoders | --list-profiles | --version | --help\n"
        "\n"
        "Converts one video file without a window. The settings start from the defaults,\n"
        "then the profile FILE (an INI file as the program writes it, section [Options]),\n"
        "then each Key=Value in order, written as the profile stores it: a value in double\n"
        "quotes is unquoted, with the profile's backslash escapes (\\\" \\\\ \\t ...), so\n"
        "DstFileName=\" out.avi\" keeps its blank. The profile is never written.\n"
        "Statistics go to standard error while converting.\n"
        "\n"
        "Options:\n"
        "  --profile FILE    start from the settings of this profile\n"
        "  --list-encoders   print the video and audio encoder names (VideoCodec, AudioCodec)\n"
        "  --list-profiles   print the built-in Windows Media profiles (MediaProfile) with\n"
        "                    their video and audio bit rates\n"
        "  --version         print the version\n"
        "  -h, --help        print this help\n"
        "\n"
        "Exit status: 0 done, 1 the conversion failed (the message on standard error and,\n"
        "on the next line, its technical reason), 2 bad command line or settings no\n"
        "conversion can use, 130 stopped by SIGINT or SIGTERM (the output written so far\n"
        "is complete). An input that ends well before the duration it states converts as\n"
        "far as it goes, with a warning on standard error and exit status 0.\n"
        "\n"
        "Examples:\n"
        "  klova-convert SrcFileName=in.mp4 DstFileName=out.avi\n"
        "  klova-convert SrcFileName=in.mpg DstFileName=out.avi KeepSettings=0 KeepFrameRate=0 \\\n"
        "                FrameRate=25000 KeepFrameSize=0 FrameWidth=320 VideoCodec='<Uncompressed>'\n"
        "  klova-convert SrcFileName=in.avi DstFileName=out.wmv DstFileType=1 \\\n"
        "                MediaProfile='Broadband (384 Kbps)'\n"
        "\n"
        "Keys (in profile order):\n";
    for (const SettingKey& key : SettingKeys()) {
        std::string line = "  " + std::string(key.name);
        line.resize(18, ' ');
        line += key.meaning;
        line += " [";
        line += key.storedAs;
        line += "]\n";
        text += line;
    }
    return text;
}

}  // namespace klova
