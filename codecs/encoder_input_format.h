// The raw video format a video encoder is fed. Left to negotiation, the converter in
// front of an encoder that takes several formats picks the one closest to the BGR
// frames handed in, 4:4:4, which x264 then codes as High 4:4:4 Predictive and the JPEG
// encoders as 4:4:4 pictures, both of which most players cannot decode. 4:2:0 plays
// everywhere, so every encoder that takes it gets it.
#pragma once

#include "platform/gst_ptr.h"

#include <gst/gst.h>

#include <cstdint>
#include <string>

namespace klova {

class EncoderInputFormat {
public:
    // The formats to feed the encoder, as "video/x-raw" caps in the encoder's order of
    // preference: the requested format (a GStreamer format name, from the encoder's
    // configuration) when one is given and the encoder takes it, otherwise the 8-bit
    // 4:2:0 formats it takes. Null when it takes none of them: its input is then left
    // to negotiation.
    static GstPtr<GstCaps> Choose(GstElement* encoder, const std::string& requestedFormat);

    // The fixed caps of frames of that size and rate in the first of the formats the
    // encoder takes (any of its raw formats when formats is null), settled the way the
    // encoder's input would settle them; null when it takes no such frames.
    static GstPtr<GstCaps> FixedInput(GstElement* encoder, const GstCaps* formats, int32_t width, int32_t height,
                                      double frameRate);
};

}  // namespace klova
