// Bit rates an audio encoder takes only at some sample rates and channel counts. MPEG
// audio layer II has one table for 32 to 48 kHz and another for 16 to 24 kHz, and
// leaves out a few of the first for mono or for stereo; TwoLAME's default of
// 192 kbit/s, for one, is refused at 16 kHz, where 11,025 Hz sound is resampled to.
#pragma once

#include <gst/gst.h>

namespace klova {

class AudioBitRateRule {
public:
    // For an encoder whose bit rate has such limits, watches the format of its input and,
    // before the encoder sees it, replaces a bit rate it cannot use with that format by
    // the nearest one it can. Other encoders are left alone. The watch lives as long as
    // the encoder; the bit rate is changed on the streaming thread that brings the format.
    static void Attach(GstElement* encoder);

    // The layer II bit rate in kbit/s nearest to the given one (the lower of two equally
    // near) that is valid at that sample rate (Hz) and channel count.
    static int NearestLayerTwoKbps(int kbps, int sampleRate, int channels);
};

}  // namespace klova
