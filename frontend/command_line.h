// The command line of the headless converter: an optional profile and overrides of
// profile keys, written in the profile's own key names and storage forms, or one of
// the questions about the program itself (help, version, encoder and profile names).
#pragma once

#include "engine/conversion_settings.h"

#include <optional>
#include <string>
#include <vector>

namespace klova {

struct CommandLine {
    bool showHelp = false;
    bool showVersion = false;
    bool listEncoders = false;  // --list-encoders
    bool listProfiles = false;  // --list-profiles
    std::optional<std::string> profilePath;
    std::vector<std::pair<std::string, std::string>> overrides;  // key, stored value
};

// Parses the arguments (without the program name); throws std::invalid_argument with a
// message for the user on a malformed argument or an unknown key.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// The settings the command line asks for: the settings store's defaults, then the
// profile (if any; throws std::runtime_error when it cannot be read), then each
// override, all read through the profile's storage forms (an override's value is taken
// as the profile would store it: a value in double quotes is unquoted, with the same
// backslash escapes). Nothing is written. Throws std::invalid_argument, naming the key
// and why, for settings no conversion can use (see CheckSettings).
ConversionSettings SettingsFromCommandLine(const CommandLine& commandLine);

// True when the command line asks about the program rather than for a conversion.
bool AsksOnly(const CommandLine& commandLine);

// Refuses, with std::invalid_argument naming the key and why, a SceneDetection other
// than 0, 1 or 2, and (when an output file is written) a DstFileName that is empty or
// names a folder ("dir/" would become the hidden file "dir/.avi").
void CheckSettings(const ConversionSettings& settings);

// The --help text.
std::string UsageText();

}  // namespace klova
