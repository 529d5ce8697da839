#include "media_in/frame_timer.h"

#include <cstdlib>

namespace klova {

void FrameTimer::Configure(MediaTime nominalDuration, bool trustDurations, MediaTime loneFrameDuration)
{
    nominal_ = nominalDuration > 0 ? nominalDuration : 0;
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
}

MediaTime FrameTimer::DecideDuration(std::optional<MediaTime> reference) const
{
    if (nominal_ > 0) {
        if (!reference || std::llabs(*reference - nominal_) * 100 <= nominal_)
            return nominal_;
        return *reference;
    }
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
        const MediaTime length = DecideDuration(reference);
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
    const MediaTime length = DecideDuration(reference);
    const Times times{heldStart_, heldStart_ + length};
    holding_ = false;
    heldDuration_.reset();
    lastStop_ = times.stop;
    lastDuration_ = length;
    return times;
}

}  // namespace klova
