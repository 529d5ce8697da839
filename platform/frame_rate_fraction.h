// Frame rates as exact caps fractions. Muxers write the stream rate from the caps, so a
// rate handed around as a double must come back as the fraction it stands for
// (29.97 is 30000/1001, not 2997/100).
#pragma once

#include <gst/gst.h>

#include <cmath>
#include <cstdint>

namespace klova {

struct FrameRateFraction {
    int32_t numerator = 0;
    int32_t denominator = 1;
};

// A rate within 1e-5 of a whole number N gives N/1; a rate within 1e-4 (relative) of
// N*1000/1001 gives N*1000/1001; anything else the nearest simple fraction. A rate that
// is not a positive finite number gives 0/1 (unknown).
inline FrameRateFraction ToFrameRateFraction(double framesPerSecond)
{
    if (!std::isfinite(framesPerSecond) || framesPerSecond <= 0.0 || framesPerSecond > 1e6)
        return {0, 1};

    const double whole = std::round(framesPerSecond);
    if (whole >= 1.0 && std::fabs(framesPerSecond - whole) <= 1e-5)
        return {static_cast<int32_t>(whole), 1};

    const double ntscBase = std::round(framesPerSecond * 1001.0 / 1000.0);
    const double ntscRate = ntscBase * 1000.0 / 1001.0;
    if (ntscBase >= 1.0 && std::fabs(framesPerSecond - ntscRate) <= 1e-4 * ntscRate)
        return {static_cast<int32_t>(ntscBase) * 1000, 1001};

    gint numerator = 0;
    gint denominator = 1;
    gst_util_double_to_fraction(framesPerSecond, &numerator, &denominator);
    return {numerator, denominator};
}

}  // namespace klova
