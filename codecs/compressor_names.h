// The encoder names the main window's compressor combos offer and klova-convert lists,
// built without widgets so that both front ends show the same names.
#pragma once

#include "codecs/device_moniker_list.h"

#include <string>
#include <vector>

namespace klova {

// The audio encoder name that stands for no audio encoder: the AVI writer then stores
// the sound as PCM.
inline constexpr const char* kPcmCompressorName = "PCM";

// Friendly names of the category's encoders in the order of a DeviceMonikerList, each
// name once (a lookup by name finds the first encoder of it); empty when GStreamer is
// not initialised.
std::vector<std::string> FillCompressorList(CompressorCategory category);

// Sorts ascending byte by byte, case-sensitively: "<Uncompressed>" comes after names
// that begin with a digit and before names that begin with a letter.
void SortEntries(std::vector<std::string>& entries);

// The choosable entries of a compressor combo, sorted with SortEntries: for video the
// category's names and "<Uncompressed>", for audio the category's names and "PCM".
// An encoder whose name cannot be read is left out: there is nothing to choose it by.
std::vector<std::string> ListCompressorNames(CompressorCategory category);

}  // namespace klova
