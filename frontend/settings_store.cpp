#include "frontend/settings_store.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace klova {
namespace {

constexpr SettingKey kKeys[] = {
    {"LastFolder", "string", "current folder at exit (written, never read)"},
    {"SrcFileName", "string", "input file path"},
    {"DstFileName", "string", "output file path (clip files are numbered from it)"},
    {"AudioCodec", "string", "audio encoder name for AVI output; PCM, pcm or empty: none"},
    {"VideoCodec", "string", "video encoder name for AVI output; <Uncompressed>: none"},
    {"AudioFormat", "byte block, 18 bytes", "audio format of the most recent input"},
    {"MediaProfile", "string", "Windows Media profile: a built-in name or a .prx file path"},
    {"VideoFormat", "byte block, 44 bytes", "video compression options (key frames, quality)"},
    {"DstFileType", "integer", "0 AVI, 1 WMV"},
    {"KeepSettings", "integer", "1: frame rate, size and sound follow the input"},
    {"SceneDetection", "integer", "0 one file, 1 a clip file per scene, 2 editor project only"},
    {"WantPreview", "integer", "1: show output frames while converting"},
    {"KeepFrameRate", "integer", "1: keep the input frame rate"},
    {"FrameRate", "integer", "custom frame rate x 1000 (25000 = 25 fps, 29970 = 29.97 fps)"},
    {"KeepFrameSize", "integer", "1: keep the input frame size"},
    {"FrameWidth", "integer", "custom output width in pixels"},
    {"FrameHeight", "integer", "custom output height in pixels (when KeepAspect is 0)"},
    {"KeepAspect", "integer", "1: height follows the width and the input aspect"},
    {"KeepSound", "integer", "1: keep the input audio format"},
    {"Channels", "integer", "custom channels: 0 mono, 1 stereo"},
    {"Bits", "integer", "custom sample depth: 0 = 8 bits, 1 = 16 bits"},
    {"SampleRate", "integer", "custom rate: 0 = 11025, 1 = 22050, 2 = 32000, 3 = 44100, 4 = 48000 Hz"},
    {"HueThreshold", "number", "scene change threshold on hue (0 or less: off)"},
    {"SatThreshold", "number", "scene change threshold on saturation (0 or less: off)"},
    {"ValThreshold", "number", "scene change threshold on value (0 or less: off)"},
    {"DisThreshold", "number", "fourth threshold (stored only)"},
    {"ShowStatistics", "integer", "1: draw the scene values line into the frames"},
    {"ClipsFileName", "string", "editor project file for SceneDetection 2"},
};

std::string GetString(const IniFile& profile, const char* key, const std::string& defaultValue)
{
    return profile.GetString(kOptionsSection, key).value_or(defaultValue);
}

// Values beyond the field's range are held at its end, not wrapped round.
int32_t GetInt(const IniFile& profile, const char* key, int32_t defaultValue)
{
    return static_cast<int32_t>(std::clamp<int64_t>(profile.GetInteger(kOptionsSection, key, defaultValue),
                                                    std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

}  // namespace

std::span<const SettingKey> SettingKeys() { return kKeys; }

std::string FormatThreshold(double value)
{
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 6);
    return std::string(text, result.ptr);
}

double ParseThreshold(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    double value = 0.0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    return result.ec == std::errc() ? value : 0.0;
}

bool ReadProfileBlock(const IniFile& profile, std::string_view section, std::string_view key, void* destination,
                      size_t expectedLength)
{
    const std::optional<std::string> text = profile.GetString(section, key);
    if (!text || text->empty())
        return false;
    const std::optional<std::vector<uint8_t>> bytes = IniFile::DecodeBlock(*text);
    if (!bytes || bytes->size() != expectedLength)
        return false;
    std::memcpy(destination, bytes->data(), expectedLength);
    return true;
}

void LoadSettings(const IniFile& profile, ConversionSettings& settings)
{
    settings.SrcFileName = GetString(profile, "SrcFileName", "");
    settings.DstFileName = GetString(profile, "DstFileName", "");
    settings.AudioCodec = GetString(profile, "AudioCodec", kDefaultAudioCodec);
    settings.VideoCodec = GetString(profile, "VideoCodec", kDefaultVideoCodec);
    settings.MediaProfile = GetString(profile, "MediaProfile", "");
    ReadProfileBlock(profile, kOptionsSection, "AudioFormat", &settings.AudioFormat, sizeof settings.AudioFormat);
    ReadProfileBlock(profile, kOptionsSection, "VideoFormat", &settings.VideoFormat, sizeof settings.VideoFormat);
    settings.DstFileType = GetInt(profile, "DstFileType", 0);
    settings.KeepSettings = GetInt(profile, "KeepSettings", 1);
    settings.SceneDetection = GetInt(profile, "SceneDetection", 0);
    settings.WantPreview = GetInt(profile, "WantPreview", 1) != 0 ? 1 : 0;
    settings.KeepFrameRate = GetInt(profile, "KeepFrameRate", 1);
    const auto storedRate = static_cast<uint32_t>(std::clamp<int64_t>(
        profile.GetInteger(kOptionsSection, "FrameRate", 30000), 0, std::numeric_limits<uint32_t>::max()));
    settings.FrameRate = storedRate * 0.001;
    settings.KeepFrameSize = GetInt(profile, "KeepFrameSize", 1);
    settings.FrameWidth = GetInt(profile, "FrameWidth", 320);
    settings.FrameHeight = GetInt(profile, "FrameHeight", 240);
    settings.KeepAspect = GetInt(profile, "KeepAspect", 1);
    settings.KeepSound = GetInt(profile, "KeepSound", 1);
    settings.Channels = GetInt(profile, "Channels", 1);
    settings.Bits = GetInt(profile, "Bits", 1);
    settings.SampleRate = GetInt(profile, "SampleRate", 3);
    settings.HueThreshold = ParseThreshold(GetString(profile, "HueThreshold", "1.0"));
    settings.SatThreshold = ParseThreshold(GetString(profile, "SatThreshold", "0.0"));
    settings.ValThreshold = ParseThreshold(GetString(profile, "ValThreshold", "0.7"));
    settings.DisThreshold = ParseThreshold(GetString(profile, "DisThreshold", "0.3"));
    settings.ShowStatistics = GetInt(profile, "ShowStatistics", 0) != 0;
    settings.ClipsFileName = GetString(profile, "ClipsFileName", "");
}

void SaveSettings(IniFile& profile, const ConversionSettings& settings, const std::string& lastFolder)
{
    const auto setString = [&](const char* key, const std::string& value) {
        profile.SetString(kOptionsSection, key, value);
    };
    const auto setInt = [&](const char* key, int64_t value) { profile.SetInteger(kOptionsSection, key, value); };

    setString("LastFolder", lastFolder);
    setString("SrcFileName", settings.SrcFileName);
    setString("DstFileName", settings.DstFileName);
    setString("AudioCodec", settings.AudioCodec);
    setString("VideoCodec", settings.VideoCodec);
    setString("AudioFormat", IniFile::EncodeBlock(&settings.AudioFormat, sizeof settings.AudioFormat));
    setString("MediaProfile", settings.MediaProfile);
    setString("VideoFormat", IniFile::EncodeBlock(&settings.VideoFormat, sizeof settings.VideoFormat));
    setInt("DstFileType", settings.DstFileType);
    setInt("KeepSettings", settings.KeepSettings);
    setInt("SceneDetection", settings.SceneDetection);
    setInt("WantPreview", settings.WantPreview);
    setInt("KeepFrameRate", settings.KeepFrameRate);
    // Rounded to the nearest thousandth (truncating made 4.007 read back as 4.006, one
    // less on every load and save), held within a 32-bit integer.
    const double millirate = std::round(settings.FrameRate * 1000.0);
    const double storedRate = std::isfinite(millirate) ? std::clamp(millirate, 0.0, 4294967295.0) : 0.0;
    setInt("FrameRate", static_cast<int64_t>(storedRate));
    setInt("KeepFrameSize", settings.KeepFrameSize);
    setInt("FrameWidth", settings.FrameWidth);
    setInt("FrameHeight", settings.FrameHeight);
    setInt("KeepAspect", settings.KeepAspect);
    setInt("KeepSound", settings.KeepSound);
    setInt("Channels", settings.Channels);
    setInt("Bits", settings.Bits);
    setInt("SampleRate", settings.SampleRate);
    setString("HueThreshold", FormatThreshold(settings.HueThreshold));
    setString("SatThreshold", FormatThreshold(settings.SatThreshold));
    setString("ValThreshold", FormatThreshold(settings.ValThreshold));
    setString("DisThreshold", FormatThreshold(settings.DisThreshold));
    setInt("ShowStatistics", settings.ShowStatistics ? 1 : 0);
    setString("ClipsFileName", settings.ClipsFileName);
}

}  // namespace klova
