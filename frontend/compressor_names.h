// The compressor names a front end offers: the friendly names of the installed encoders
// of one category, in the order of their list.
#pragma once

#include "codecs/device_moniker_list.h"

#include <string>
#include <vector>

namespace klova {

std::vector<std::string> CompressorNames(CompressorCategory category);

}  // namespace klova
