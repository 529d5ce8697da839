#include "resources/string_table.h"

#include <algorithm>
#include <array>
#include <utility>

namespace klova {
namespace {

constexpr std::pair<uint32_t, const char*> kStrings[] = {
    {IDS_UNCOMPRESSED, "<Uncompressed>"},
    {IDS_DEFAULT_INPUT_EXTENSION, "avi"},
    {IDS_INPUT_FILTER, "Video files (*.avi;*.mpg;*.mpeg;*.dat;*.wmv)|*.avi;*.mpg;*.mpeg;*.dat;*.wmv|All files|*.*||"},
    {IDS_OUTPUT_FILTER, "AVI video files (*.avi)|*.avi|Windows Media video files (*.wmv)|*.wmv|All files|*.*||"},
    {IDS_ABOUTBOX, "&About KLOVA Video Converter..."},
    {IDS_CANNOT_OPEN_INPUT, "Cannot open input file."},
    {IDS_CANNOT_OPEN_OUTPUT, "Cannot open output file."},
    {IDS_CANNOT_INIT_GRAPH, "Cannot initialize DirectShow base system."},
    {IDS_CANNOT_CONVERT, "Cannot make conversion."},
    {IDS_INITIALIZING, "Initializing... please wait."},
    {IDS_STATISTICS_FORMAT,
     " Frames processed\t%10li (%.2f fps)\r\n Time processed\t%s\r\n Time elapsed\t%s\r\n Clips processed\t%li"},
    {IDS_DURATION_FORMAT, "%li:%02li:%02li.%02li (%li.%02li sec)"},
    {IDS_STOPPING, "Stopping... please wait."},
    {IDS_CONFIRM_CANCEL, "Conversion in progress. Really cancel?"},
    {IDS_CANNOT_WRITE_OUTPUT, "Cannot write output file."},
    {IDS_INVALID_OUTPUT_FORMAT, "Invalid output frame rate or frame size."},
    {IDS_WINDOWS_MEDIA_ERROR, "Windows Media error."},
    {IDS_PROFILE_EXTENSION, "prx"},
    {IDS_PROFILE_FILTER, "Media profiles (*.prx)|*.prx|All files|*.*||"},
    {IDS_BROWSE_INPUT, "Browse for input file..."},
    {IDS_BROWSE_OUTPUT, "Browse for output file..."},
    {IDS_BROWSE_PROFILES, "Browse for more profiles..."},
    {IDS_AUDIO_ADVANCED, "Advanced..."},
    {IDS_VIDEO_ADVANCED, "Advanced..."},
    {IDS_PROJECT_FILTER, "Montra project files (*.msq)|*.msq|All files|*.*||"},
    {IDS_PROJECT_EXTENSION, "msq"},
    {IDS_PROJECT_ENTRY_FORMAT, "Make Montra 3.0 project (%s)"},
    {IDS_CANNOT_WRITE_PROJECT, "Cannot write Montra project file"},
    {IDS_WEB_ADDRESS, "https://klova-video.example.org/"},
    {IDS_NO_VIDEO_STREAM, "The input file has no video stream."},
    {IDS_INVALID_AUDIO_FORMAT, "Invalid output audio format."},
};

constexpr std::array<const char*, 2> kOutputTypes = {
    "Audio video interleaved (AVI)",
    "Windows Media video (WMV)",
};

constexpr std::array<const char*, 4> kSplitModes = {
    "Don't split video to clip sequence",
    "Split video to clips sequence",
    "Make Montra 3.0 project (%s)",
    "        Browse for Montra 3.0 project...",
};

}  // namespace

std::string LoadStringResource(uint32_t id)
{
    const auto* found = std::find_if(std::begin(kStrings), std::end(kStrings),
                                     [id](const auto& entry) { return entry.first == id; });
    return found == std::end(kStrings) ? std::string() : std::string(found->second);
}

std::span<const char* const> OutputTypeEntries() { return kOutputTypes; }
std::span<const char* const> SplitModeEntries() { return kSplitModes; }

}  // namespace klova
