// The Windows Media profile choices both front ends share: the list of the library's
// built-in profiles, and the profile text a conversion hands to its WMV writers.
#pragma once

#include "media_out/win_media_library.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace klova {

// Names (UTF-8) of the library's built-in profiles in the library's order; empty
// without the library.
std::vector<std::string> FillProfileList(const WinMediaLibrary& library);

struct ProfileDescription {
    std::string name;               // UTF-8
    int64_t videoBitsPerSecond = 0;
    int64_t audioBitsPerSecond = 0; // 0: the profile writes no sound
};

// The built-in profiles with their bit rates, in the order of FillProfileList; empty
// without the library.
std::vector<ProfileDescription> DescribeProfiles(const WinMediaLibrary& library);

// The profile text for the MediaProfile setting: the setting itself (as UTF-16) when
// it names a built-in profile; otherwise the ".prx" file it names, its bytes taken as
// UTF-16 little-endian text up to the first zero character (a leading byte-order mark
// stays part of the text). nullopt without the library, or when the file cannot be
// read, is no regular file, or is larger than kMaxProfileFileBytes.
std::optional<std::u16string> ResolveMediaProfile(const WinMediaLibrary& library, const std::string& setting);

inline constexpr long long kMaxProfileFileBytes = 16 * 1024 * 1024;

}  // namespace klova
