// Loading and saving the settings record in the profile's "Options" section, in the
// storage forms of the private-profile functions.
#pragma once

#include "engine/conversion_settings.h"
#include "platform/ini_file.h"

#include <span>
#include <string>
#include <string_view>

namespace klova {

inline constexpr const char* kOptionsSection = "Options";

// Fills every field from the profile; a missing key leaves the field's default. The
// record's built-in defaults (VideoFormat, AudioFormat, VideoCodec) must be in place.
void LoadSettings(const IniFile& profile, ConversionSettings& settings);

// Writes every key in the order of the key table.
void SaveSettings(IniFile& profile, const ConversionSettings& settings, const std::string& lastFolder);

// Copies a stored byte block into the destination when it decodes to exactly the
// expected length; otherwise leaves the destination untouched and returns false.
bool ReadProfileBlock(const IniFile& profile, std::string_view section, std::string_view key, void* destination,
                      size_t expectedLength);

// The "%g" form of the thresholds and the string-to-double conversion that reads them,
// both independent of the process's locale.
std::string FormatThreshold(double value);
double ParseThreshold(std::string_view text);

struct SettingKey {
    const char* name;
    const char* storedAs;
    const char* meaning;
};

// Every profile key in the order it is written, with its storage form and meaning.
std::span<const SettingKey> SettingKeys();

}  // namespace klova
