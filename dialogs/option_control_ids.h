// The ids of the option dialogs' controls. Each control's objectName is its id ("1056"),
// as in the main window, so tests and the help page name the same control.
#pragma once

namespace klova::OptionControlId {

inline constexpr int kOk = 1;
inline constexpr int kCancel = 2;
inline constexpr int kHelp = 57670;

// "Video Rendering"
inline constexpr int kKeepFrameRate = 1054;
inline constexpr int kCustomFrameRate = 1055;
inline constexpr int kFrameRate = 1056;
inline constexpr int kKeepFrameSize = 1057;
inline constexpr int kCustomFrameSize = 1058;
inline constexpr int kFrameWidth = 1059;
inline constexpr int kFrameHeight = 1060;
inline constexpr int kKeepAspect = 1061;

// "Audio Rendering"
inline constexpr int kKeepSound = 1064;
inline constexpr int kCustomSound = 1065;
inline constexpr int kMono = 1242;
inline constexpr int kStereo = 1244;
inline constexpr int k8Bits = 1246;
inline constexpr int k16Bits = 1248;
inline constexpr int k11025Hz = 1251;
inline constexpr int k22050Hz = 1252;
inline constexpr int k32000Hz = 1254;
inline constexpr int k44100Hz = 1256;
inline constexpr int k48000Hz = 1258;

// "Video compression"
inline constexpr int kVideoCompressors = 1103;
inline constexpr int kQuality = 1106;
inline constexpr int kQualityNumber = 1108;
inline constexpr int kKeyFrames = 1110;
inline constexpr int kDataRate = 1112;
inline constexpr int kKeyFrameEvery = 1114;
inline constexpr int kBytesPerSecond = 1116;
inline constexpr int kAbout = 1132;
inline constexpr int kConfigure = 1136;

// "Audio compression"
inline constexpr int kAudioCompressors = 1250;

}  // namespace klova::OptionControlId
