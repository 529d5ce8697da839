// Whether an output path would name the input file itself, however it is spelt: the
// same device and inode, so other spellings, symbolic links and hard links count.
#pragma once

#include <string>

namespace klova {

// True when both paths exist and are the same file. A candidate that does not exist yet
// (or cannot be examined) is never the input: there is nothing to compare.
bool IsSameFile(const std::string& input, const std::string& candidate);

}  // namespace klova
