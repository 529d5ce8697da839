#include "asfout/asf_error.h"

extern "C" {
#include <libavutil/error.h>
}

namespace asfout {

int CheckAv(int result, const char* what)
{
    if (result >= 0)
        return result;
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(result, text, sizeof text);
    throw AsfError(std::string(what) + ": " + text, result == AVERROR(ENOMEM) ? kOutOfMemory : kFail);
}

}  // namespace asfout
