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

    // nominalRate: a frame rate that can be trusted (frames per second), 0 without one.
    // With a rate, frame times keep to its grid: each frame ends on the frame slot
    // nearest to the next frame's time stamp, and lasts a whole number of
    // FrameDuration(nominalRate) units. So the rounding noise of time stamps (333666 /
    // 333667 for NTSC, whole milliseconds in ASF) never reaches the engine, and every
    // frame of a constant-rate stream lasts exactly one output frame at that rate;
    // a frame missing from the stream shows as a frame lasting two slots.
    // trustDurations: whether the decoder's own buffer durations mean anything (they
    // are made up from a guessed rate when the container gave none).
    // loneFrameDuration: for a first frame with nothing else to go by (stream duration
    // divided by frame count), 0 when unknown.
    void Configure(double nominalRate, bool trustDurations, MediaTime loneFrameDuration);

    // Forgets the held frame and the history (after a flush or a seek); the grid
    // starts again at the next frame.
    void Reset();

    // Takes the next frame: its running time and its own duration, each absent when
    // the frame carries none. Returns the times of the frame held before it, if any.
    std::optional<Times> Push(std::optional<MediaTime> start, std::optional<MediaTime> duration);

    // At the end of the stream: the times of the held frame, if any. The timer is then empty.
    std::optional<Times> Finish();

    bool Holding() const { return holding_; }

private:
    MediaTime DecideDuration(std::optional<MediaTime> reference) const;
    // The held frame's length on the grid, given where the next frame starts (or how
    // long the held frame says it lasts, when there is no next frame).
    MediaTime GridLength(std::optional<MediaTime> nextStart, std::optional<MediaTime> ownDuration);

    MediaTime nominal_ = 0;      // FrameDuration(nominalRate), 0 without a rate
    double slotUnits_ = 0.0;     // the exact length of a frame slot, 10,000,000 / nominalRate
    bool gridStarted_ = false;
    MediaTime gridOrigin_ = 0;   // time stamp of the grid's first frame
    MediaTime gridEnd_ = 0;      // end of the last timed frame, relative to the origin
    bool trustDurations_ = true;
    MediaTime loneFrame_ = 0;

    bool holding_ = false;
    MediaTime heldStart_ = 0;
    std::optional<MediaTime> heldDuration_;
    MediaTime lastStop_ = 0;
    MediaTime lastDuration_ = 0;  // 0 until a frame was timed
};

}  // namespace klova
