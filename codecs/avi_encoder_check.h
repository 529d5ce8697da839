// Decides which registered encoders belong in a compressor list: those whose output
// the AVI muxer can store and that can actually start on this machine.
#pragma once

#include "codecs/device_moniker_list.h"
#include "platform/gst_ptr.h"

#include <gst/gst.h>

#include <cstdint>

namespace klova {

class AviEncoderCheck {
public:
    // True when the factory's classification names an encoder of the category
    // ("Encoder" and "Video" or "Image" for video, "Encoder" and "Audio" for audio,
    // among the parts of its klass).
    static bool IsCategoryEncoder(GstElementFactory* factory, CompressorCategory category);

    // True when the encoder belongs in the category's list: an output template whose
    // caps intersect avimux's video_%u (or audio_%u) input, or no output at all and a
    // "location" property (an encoder that writes the file itself); and an instance
    // accepts raw input of a common format, which opens its codec. The second rule
    // leaves out encoders that are registered but cannot work here, such as wrappers
    // of hardware interfaces absent from the machine or codecs whose library refuses
    // every rate. Its answer is kept per factory for the life of the process.
    static bool Accepts(GstElementFactory* factory, CompressorCategory category);

    // Opens the encoder (taken over; not in any bin) on the fixed raw input caps, on its
    // own with a sink behind it: true when it accepts them, which opens its codec. Its
    // settings are used as they are, so a size or a setting the codec refuses shows here.
    static bool StartsOn(GstPtr<GstElement> encoder, const GstCaps* input);

    // False for a frame size the encoder cannot take although its caps allow it and
    // that its opening does not reveal: mpeg2enc meets an odd size only at the first
    // frame, and then ends the process.
    static bool TakesFrameSize(GstElement* encoder, int32_t width, int32_t height);

    // True when the AVI muxer's video input takes frames of this size in what the
    // element (an encoder, or the raw frames' source) puts out: avimux holds most
    // formats only from 16 x 16 to 4096 x 4096 pixels, and a size outside would be
    // refused at the first frame.
    static bool MuxerTakesFrameSize(GstElement* producer, int32_t width, int32_t height);

    // True when the element produces DV video (an output whose caps are video/x-dv).
    static bool IsDvEncoder(GstElement* encoder);

    // True when the element has no output pad and a "location" property.
    static bool WritesFileItself(GstElement* encoder);
};

}  // namespace klova
