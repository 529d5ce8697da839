// What klova-convert prints about itself: the encoder names, the built-in Windows
// Media profiles and the version. Names are printed exactly as the settings take them,
// one per line, so that scripts and the shell completion can read them back.
#pragma once

#include "media_out/win_media_profiles.h"

#include <string>
#include <vector>

namespace klova {

// Two blocks, video then audio, each a heading line followed by one name per line;
// a blank line between them.
std::string EncoderListingText(const std::vector<std::string>& videoNames, const std::vector<std::string>& audioNames);

// A heading line, then one line per profile: the video and the audio bit rate in
// kbit/s, right-aligned in columns of kProfileRateWidth characters with two blanks
// after each, then the name (audio "none" for a profile without sound).
std::string ProfileListingText(const std::vector<ProfileDescription>& profiles);
inline constexpr int kProfileRateWidth = 12;

// "klova-convert (KLOVA Video Converter) VERSION" and the GStreamer version in use.
std::string VersionText();

}  // namespace klova
