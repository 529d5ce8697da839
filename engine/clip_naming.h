// Names of the output files of a conversion: the destination name itself, or a
// numbered clip file per scene when scenes are split.
#pragma once

#include "engine/conversion_settings.h"

#include <cstdint>
#include <string>

namespace klova {

// ".wmv" when DstFileType is 1, otherwise ".avi". The writer type always follows this
// string, never the extension of the destination name.
std::string GetOutputExtension(const ConversionSettings& settings);

// The file name of clip clipIndex. With SceneDetection 0: DstFileName, or DstFileName
// plus GetOutputExtension when it has no extension. Otherwise the five-digit (at least)
// clip number goes between the name and the extension: "/video/holiday00001.avi".
//
// Both '/' and '\' separate folders, so a dot in a folder name is never an extension.
// A file name's leading dot (".hidden") starts no extension either.
std::string MakeClipName(const ConversionSettings& settings, int32_t clipIndex);

}  // namespace klova
