// Decides which registered encoders belong in a compressor list: those whose output
// the AVI muxer can store and that can actually start on this machine.
#pragma once

#include "codecs/device_moniker_list.h"

#include <gst/gst.h>

namespace klova {

class AviEncoderCheck {
public:
    // True when the factory's classification names an encoder of the category
    // ("Encoder" and "Video" or "Audio" among the parts of its klass).
    static bool IsCategoryEncoder(GstElementFactory* factory, CompressorCategory category);

    // True when the encoder belongs in the category's list: an output template whose
    // caps intersect avimux's video_%u (or audio_%u) input, or no output at all and a
    // "location" property (an encoder that writes the file itself); and an instance
    // accepts raw input of a common format, which opens its codec. The second rule
    // leaves out encoders that are registered but cannot work here, such as wrappers
    // of hardware interfaces absent from the machine or codecs whose library refuses
    // every rate. Its answer is kept per factory for the life of the process.
    static bool Accepts(GstElementFactory* factory, CompressorCategory category);

    // True when the element produces DV video (an output whose caps are video/x-dv).
    static bool IsDvEncoder(GstElement* encoder);

    // True when the element has no output pad and a "location" property.
    static bool WritesFileItself(GstElement* encoder);
};

}  // namespace klova
