// The speaker mask of surround PCM in an AVI file. avimux (GStreamer 1.22) writes
// more than two PCM channels as WAVE_FORMAT_EXTENSIBLE but can only map masks of up to
// four speakers: for 5.1 it writes an empty mask (players then guess the layout) and,
// given the real mask, tries to reorder every buffer with an empty position table,
// logging a critical warning each time. So the writer offers its channels unpositioned
// (avimux then leaves the data alone, which is already in WAVE order) and this fills
// the mask into the header as it leaves the muxer.
#pragma once

#include <gst/gst.h>

#include <cstddef>
#include <cstdint>

namespace klova {

// Writes `mask` into the audio stream format of an AVI header that starts at `data`:
// the first WAVE_FORMAT_EXTENSIBLE format whose channel count is the mask's number of
// speakers and whose mask is still empty. True when it did.
bool PatchAviChannelMask(uint8_t* data, size_t size, uint32_t mask);

// Watches the muxer's output for its header (written first, and again once the file is
// complete) and patches the mask into it. Call before the muxer starts.
void WatchAviChannelMask(GstElement* aviMux, uint32_t mask);

}  // namespace klova
