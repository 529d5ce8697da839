// What a stream's caps say about it, for the input reader's choices of what to decode
// and what to leave alone.
#pragma once

#include <gst/gst.h>

namespace klova {

enum class StreamKind { Video, Audio, Other };

// Video for video/ and image/ caps, Audio for audio/ caps, Other for anything else
// and for empty or missing caps.
StreamKind KindOfCaps(const GstCaps* caps);

// Caps of a whole multiplexed stream rather than of one elementary stream: a system
// stream, or a container format (what adaptive demuxers hand out in fragments). Such a
// stream may hold both kinds, whatever its media type says.
bool IsMultiplexedCaps(const GstCaps* caps);

// A demuxed stream an input reader of kind serves can drop before any queue: one
// elementary stream of the other kind.
bool IsElementaryStreamOfOtherKind(StreamKind served, const GstCaps* caps);

}  // namespace klova
