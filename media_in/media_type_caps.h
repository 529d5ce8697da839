// Conversions between GStreamer caps and the readers' media-type record.
#pragma once

#include "media_in/media_type.h"
#include "platform/gst_ptr.h"

#include <gst/gst.h>

namespace klova {

// The media type of fixed caps. BGR video becomes RGB24 with a VIDEOINFOHEADER whose
// biHeight is positive (the reader delivers bottom-up rows) and whose AvgTimePerFrame
// comes from the caps' frame rate (0 without one); interleaved S16LE or U8 audio
// becomes PCM with a WAVEFORMATEX. Other raw video or audio keeps only its major
// type; anything else is MajorType::None.
MediaType MediaTypeFromCaps(const GstCaps* caps);

// The caps a media type admits: any frame size, rate or channel count unless the
// type carries a format block that fixes them. MajorType::None admits everything the
// reader can deliver.
GstPtr<GstCaps> CapsFromMediaType(const MediaType& type);

// The positive frame rate n/d of the first structure, or false.
bool FrameRateFromCaps(const GstCaps* caps, int* numerator, int* denominator);

}  // namespace klova
