// The ids of the main window's controls. Each control's objectName is its id ("1000"),
// so tests and the help page name the same control.
#pragma once

#include <QString>

namespace klova {

namespace ControlId {

inline constexpr int kStart = 1;  // the default button; also the About box's OK
inline constexpr int kStop = 2;
inline constexpr int kInputFile = 1000;
inline constexpr int kOutputFile = 1003;
inline constexpr int kVideoCodec = 1012;
inline constexpr int kAudioCodec = 1014;
inline constexpr int kStatusBox = 1017;
inline constexpr int kInputFileLabel = 1021;
inline constexpr int kOutputFileLabel = 1022;
inline constexpr int kFilesGroup = 1023;
inline constexpr int kCompressionGroup = 1024;
inline constexpr int kVideoCodecLabel = 1025;
inline constexpr int kAudioCodecLabel = 1026;
inline constexpr int kKeepSettings = 1049;
inline constexpr int kSplitMode = 1068;
inline constexpr int kPreview = 1069;
inline constexpr int kMediaProfile = 1070;
inline constexpr int kMediaProfileLabel = 1071;
inline constexpr int kVideoOptions = 1072;
inline constexpr int kAudioOptions = 1073;
inline constexpr int kOutputType = 1080;
inline constexpr int kOutputTypeLabel = 1081;
inline constexpr int kShowPreview = 1082;
inline constexpr int kRenderingGroup = 1084;
inline constexpr int kVisitWebSite = 1098;  // About box
inline constexpr int kExit = 57665;
inline constexpr int kHelp = 57670;

}  // namespace ControlId

// Controls without an id of their own.
inline constexpr const char* kSplitModeLabelName = "splitModeLabel";
inline constexpr const char* kProgressBarName = "progress";

inline QString ControlName(int id) { return QString::number(id); }

}  // namespace klova
