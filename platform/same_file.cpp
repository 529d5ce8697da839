#include "platform/same_file.h"

#include <sys/stat.h>

namespace klova {

bool IsSameFile(const std::string& input, const std::string& candidate)
{
    struct stat inputInfo {};
    struct stat candidateInfo {};
    if (input.empty() || candidate.empty() || ::stat(input.c_str(), &inputInfo) != 0 ||
        ::stat(candidate.c_str(), &candidateInfo) != 0)
        return false;
    return inputInfo.st_dev == candidateInfo.st_dev && inputInfo.st_ino == candidateInfo.st_ino;
}

}  // namespace klova
