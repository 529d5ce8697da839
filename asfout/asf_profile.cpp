#include "asfout/asf_profile.h"

namespace asfout {
namespace {

AsfProfile MakeProfile(std::u16string name, int64_t videoKbps, int64_t audioKbps, int32_t keyFrameSeconds,
                       int32_t videoVersion = 8, int32_t audioVersion = 2)
{
    AsfProfile profile;
    profile.name = std::move(name);
    profile.video.bitRate = videoKbps * 1000;
    profile.video.keyFrameSpacingMs = keyFrameSeconds * 1000;
    profile.video.codecVersion = videoVersion;
    profile.audio = AudioStreamProfile{audioKbps * 1000, audioVersion};
    return profile;
}

}  // namespace

// The total in each name is video plus audio. The lower rates suit small frames
// (320 x 240 and below); the upper ones leave room for larger frames.
const std::vector<AsfProfile>& BuiltInProfiles()
{
    static const std::vector<AsfProfile> profiles = {
        MakeProfile(u"Dial-up and mobile (150 Kbps)", 118, 32, 8),
        MakeProfile(u"Broadband (384 Kbps)", 320, 64, 5),
        MakeProfile(u"Broadband high quality (768 Kbps)", 640, 128, 4),
        MakeProfile(u"Local area network (1.5 Mbps)", 1372, 128, 3),
        MakeProfile(u"High quality archive (2.2 Mbps)", 2008, 192, 2),
        MakeProfile(u"Music video, audio first (512 Kbps)", 320, 192, 5),
        MakeProfile(u"Older players, WMV 7 and WMA 1 (512 Kbps)", 448, 64, 5, 7, 1),
    };
    return profiles;
}

int32_t FindBuiltInProfile(std::u16string_view name)
{
    const std::vector<AsfProfile>& profiles = BuiltInProfiles();
    for (size_t i = 0; i < profiles.size(); ++i)
        if (profiles[i].name == name)
            return static_cast<int32_t>(i);
    return -1;
}

}  // namespace asfout
