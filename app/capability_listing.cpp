#include "app/capability_listing.h"

#include <gst/gst.h>

#include <cinttypes>
#include <cstdio>
#include <memory>

#ifndef KLOVA_VERSION
#define KLOVA_VERSION "unknown"
#endif

namespace klova {
namespace {

void AppendBlock(std::string& text, const char* heading, const std::vector<std::string>& names)
{
    text += heading;
    text += '\n';
    for (const std::string& name : names) {
        text += name;
        text += '\n';
    }
}

// Whole kbit/s as an integer, anything finer with the decimals it needs.
std::string Kilobits(int64_t bitsPerSecond)
{
    char text[32];
    if (bitsPerSecond % 1000 == 0)
        std::snprintf(text, sizeof text, "%" PRId64, bitsPerSecond / 1000);
    else
        std::snprintf(text, sizeof text, "%.3f", static_cast<double>(bitsPerSecond) / 1000.0);
    return text;
}

std::string Column(const std::string& value)
{
    const size_t width = kProfileRateWidth;
    std::string cell(value.size() < width ? width - value.size() : 0, ' ');
    return cell + value + "  ";
}

}  // namespace

std::string EncoderListingText(const std::vector<std::string>& videoNames, const std::vector<std::string>& audioNames)
{
    std::string text;
    AppendBlock(text, "Video encoders (VideoCodec=NAME):", videoNames);
    text += '\n';
    AppendBlock(text, "Audio encoders (AudioCodec=NAME):", audioNames);
    return text;
}

std::string ProfileListingText(const std::vector<ProfileDescription>& profiles)
{
    std::string text = Column("Video kbit/s") + Column("Audio kbit/s") + "Windows Media profile (MediaProfile=NAME)\n";
    for (const ProfileDescription& profile : profiles) {
        text += Column(Kilobits(profile.videoBitsPerSecond));
        text += Column(profile.audioBitsPerSecond > 0 ? Kilobits(profile.audioBitsPerSecond) : std::string("none"));
        text += profile.name;
        text += '\n';
    }
    return text;
}

std::string VersionText()
{
    const std::unique_ptr<gchar, decltype(&g_free)> gstreamer(gst_version_string(), &g_free);
    return std::string("klova-convert (KLOVA Video Converter) ") + KLOVA_VERSION + "\n" + gstreamer.get() + "\n";
}

}  // namespace klova
