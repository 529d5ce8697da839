#include "media_in/frame_timer.h"

#include <cmath>
#include <algorithm>
#include <cstdlib>

namespace klova {

void FrameTimer::Configure(double nominalRate, bool trustDurations, MediaTime loneFrameDuration)
{
    const bool usable = std::isfinite(nominalRate) && nominalRate > 0.0 && FrameDuration(nominalRate) > 0;
    nominal_ = usable ? FrameDuration(nominalRate) : 0;
    slotUnits_ = usable ? static_cast<double>(kUnitsPerSecond) / nominalRate : 0.0;
    trustDurations_ = trustDurations;
    loneFrame_ = loneFrameDuration > 0 ? loneFrameDuration : 0;
}

void FrameTimer::Reset()
{
    holding_ = false;
    heldDuration_.reset();
    heldStart_ = 0;
    lastStop_ = 0;
    lastDuration_ = 0;
    gridStarted_ = false;
    gridOrigin_ = 0;
    gridEnd_ = 0;
}

MediaTime FrameTimer::GridLength(std::optional<MediaTime> nextStart, std::optional<MediaTime> ownDuration)
{
    if (!gridStarted_) {
        gridStarted_ = true;
        gridOrigin_ = heldStart_;
        gridEnd_ = 0;
    }
    MediaTime target = 0;
    if (nextStart) {
        target = std::llround(static_cast<double>(*nextStart - gridOrigin_) / slotUnits_) * nominal_;
    } else {
        const long long slots = ownDuration ? std::llround(static_cast<double>(*ownDuration) / slotUnits_) : 1;
        target = gridEnd_ + std::max(1LL, slots) * nominal_;
    }
    // A frame squeezed into its predecessor's slot still lasts a unit; the grid takes
    // the unit back from the frames after it.
    const MediaTime length = std::max<MediaTime>(1, target - gridEnd_);
    gridEnd_ += length;
    return length;
}

MediaTime FrameTimer::DecideDuration(std::optional<MediaTime> reference) const
{
    if (reference)
        return *reference;
    if (lastDuration_ > 0)
        return lastDuration_;
    if (loneFrame_ > 0)
        return loneFrame_;
    return kDefaultFrameDuration;
}

std::optional<FrameTimer::Times> FrameTimer::Push(std::optional<MediaTime> start, std::optional<MediaTime> duration)
{
    std::optional<Times> released;
    if (holding_) {
        std::optional<MediaTime> reference;
        if (start && *start > heldStart_)
            reference = *start - heldStart_;
        else if (trustDurations_ && heldDuration_ && *heldDuration_ > 0)
            reference = heldDuration_;
        std::optional<MediaTime> nextStart;
        if (start && *start > heldStart_)
            nextStart = start;
        const MediaTime length =
            nominal_ > 0 ? GridLength(nextStart, nextStart ? std::nullopt : reference) : DecideDuration(reference);
        released = Times{heldStart_, heldStart_ + length};
        lastStop_ = released->stop;
        lastDuration_ = length;
    }
    // A frame without a time stamp follows the one before it.
    holding_ = true;
    heldStart_ = start ? *start : lastStop_;
    heldDuration_ = duration;
    return released;
}

std::optional<FrameTimer::Times> FrameTimer::Finish()
{
    if (!holding_)
        return std::nullopt;
    std::optional<MediaTime> reference;
    if (trustDurations_ && heldDuration_ && *heldDuration_ > 0)
        reference = heldDuration_;
    const MediaTime length = nominal_ > 0 ? GridLength(std::nullopt, reference) : DecideDuration(reference);
    const Times times{heldStart_, heldStart_ + length};
    holding_ = false;
    heldDuration_.reset();
    lastStop_ = times.stop;
    lastDuration_ = length;
    return times;
}

}  // namespace klova
