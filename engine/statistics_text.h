// The statistics text shown while a conversion runs, and the duration format it uses.
#pragma once

#include "platform/media_types.h"

#include <cstdint>
#include <string>

namespace klova {

// "H:MM:SS.hh (S.hh sec)" from the string table (IDS_DURATION_FORMAT), in unsigned
// integer arithmetic: 3,723,456 ms gives "1:02:03.45 (3723.45 sec)".
std::string FormatDuration(uint32_t ms);

// The four-line statistics text (IDS_STATISTICS_FORMAT): frames read with the rate per
// second of elapsed time (0.00 while no millisecond has elapsed), the source time
// processed, the time elapsed, and the number of clips started. Frame counts are shown
// as 32-bit values, as the text always has; the rate uses the full count.
std::string FormatStatistics(int64_t framesRead, uint32_t elapsedMs, MediaTime sourceTime, int32_t clipIndex);

}  // namespace klova
