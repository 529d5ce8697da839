// Start and stop times of delivered video frames, worked out from the decoder's time
// stamps. A frame's duration is best known from the next frame's time stamp, so the
// timer holds one frame back until the next one (or the end) arrives.
#pragma once

#include "platform/media_types.h"

#include <optional>

namespace klova {

class FrameTimer {
public:
    struct Times {
        MediaTime start = 0;
        MediaTime stop = 0;
    };

    // Duration used when nothing else tells how long a frame lasts (1/25 s).
    static constexpr MediaTime kDefaultFrameDuration = 400'000;

    // nominalDuration: AvgTimePerFrame of a frame rate that can be trusted, 0 without one.
    // Durations within 1 % of it are delivered as exactly it, so the rounding noise of
    // time stamps (333666/333667 for NTSC) never reaches the engine.
    // trustDurations: whether the decoder's own buffer durations mean anything (they
    // are made up from a guessed rate when the container gave none).
    // loneFrameDuration: for a first frame with nothing else to go by (stream duration
    // divided by frame count), 0 when unknown.
    void Configure(MediaTime nominalDuration, bool trustDurations, MediaTime loneFrameDuration);

    // Forgets the held frame and the history (after a flush or a seek).
    void Reset();

    // Takes the next frame: its running time and its own duration, each absent when
    // the frame carries none. Returns the times of the frame held before it, if any.
    std::optional<Times> Push(std::optional<MediaTime> start, std::optional<MediaTime> duration);

    // At the end of the stream: the times of the held frame, if any. The timer is then empty.
    std::optional<Times> Finish();

    bool Holding() const { return holding_; }

private:
    MediaTime DecideDuration(std::optional<MediaTime> reference) const;

    MediaTime nominal_ = 0;
    bool trustDurations_ = true;
    MediaTime loneFrame_ = 0;

    bool holding_ = false;
    MediaTime heldStart_ = 0;
    std::optional<MediaTime> heldDuration_;
    MediaTime lastStop_ = 0;
    MediaTime lastDuration_ = 0;  // 0 until a frame was timed
};

}  // namespace klova
