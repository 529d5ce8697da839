#include "frontend/conversion_progress.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace klova {

ConversionProgress EstimateProgress(MediaTime sourceTime, MediaTime inputDuration, uint32_t elapsedMs)
{
    ConversionProgress progress;
    if (inputDuration <= 0)
        return progress;
    progress.known = true;
    const double fraction = std::clamp(static_cast<double>(sourceTime) / static_cast<double>(inputDuration), 0.0, 1.0);
    progress.permille = static_cast<int32_t>(fraction * kProgressRange);
    if (fraction > 0.0 && elapsedMs > 0) {
        const double left = elapsedMs * (1.0 - fraction) / fraction;
        progress.msLeft = static_cast<uint32_t>(std::min(std::llround(left), static_cast<long long>(UINT32_MAX)));
    }
    return progress;
}

bool EndedFarShortOfDuration(MediaTime convertedTime, MediaTime inputDuration)
{
    const MediaTime shortfall = inputDuration - convertedTime;
    return inputDuration > 0 && shortfall > kUnitsPerSecond && shortfall * 10 > inputDuration;
}

std::string ShortInputWarning(MediaTime convertedTime, MediaTime inputDuration)
{
    char text[160];
    std::snprintf(text, sizeof text,
                  "warning: the input ended after %.1f s of the %.1f s it states; it may be damaged. "
                  "The output holds what could be read.",
                  static_cast<double>(convertedTime) / kUnitsPerSecond,
                  static_cast<double>(inputDuration) / kUnitsPerSecond);
    return text;
}

std::string ProgressText(const ConversionProgress& progress)
{
    if (!progress.known)
        return {};
    char text[64];
    const int percent = progress.permille * 100 / kProgressRange;
    if (!progress.msLeft) {
        std::snprintf(text, sizeof text, "%d%%", percent);
        return text;
    }
    // Whole seconds, rounded up: "0:00:00 left" only when nothing is left.
    const uint32_t seconds = static_cast<uint32_t>((uint64_t{*progress.msLeft} + 999) / 1000);
    std::snprintf(text, sizeof text, "%d%%, %u:%02u:%02u left", percent, seconds / 3600, seconds / 60 % 60,
                  seconds % 60);
    return text;
}

}  // namespace klova
