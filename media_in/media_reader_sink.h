// The "mediareader" element: a GstBaseSink that hands decoded samples to an input
// reader one at a time, on request. Registered in the process only, never installed.
//
//   gst-launch-1.0 filesrc location=in.avi ! decodebin ! videoconvert !
//       video/x-raw,format=BGR ! mediareader
// (from gst-launch nobody requests samples, so such a pipeline stalls after preroll;
// the element is driven through IMediaReaderControl.)
#pragma once

#include "media_in/media_reader_control.h"

#include <gst/gst.h>

namespace klova {

// Registers "mediareader" with the process's registry; safe to call from any thread,
// any number of times. False if registration failed.
bool RegisterMediaReaderSink();

// The control interface of a "mediareader" element, or null for any other element.
// Valid as long as the element lives.
IMediaReaderControl* MediaReaderControlOf(GstElement* element);

}  // namespace klova
