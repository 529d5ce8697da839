// Reads a ".prx" profile: the whole file as UTF-16 text holding XML. Element and
// attribute names are matched ignoring ASCII case; elements not named here are
// skipped with their content. The accepted form:
//
//   <profile name="...">                       the root element (required)
//     <streamconfig majortype="..." bitrate="300000" bufferwindow="3000">
//       <videomediaprops maxkeyframespacing="30000000" quality="75"/>
//       <wmmediatype subtype="..."> ... </wmmediatype>
//     </streamconfig>
//     ...
//   </profile>
//
// streamconfig, anywhere inside the profile but not inside another streamconfig:
//   majortype     video: {73646976-0000-0010-8000-00AA00389B71}, "vids" or "video";
//                 audio: {73647561-0000-0010-8000-00AA00389B71}, "auds" or "audio".
//                 Other stream kinds are skipped.
//   bitrate       bits per second, a decimal number (required), 1 ... 100,000,000.
//   bufferwindow  rate-control buffer in milliseconds (video only; optional, default
//                 3000; 0 or negative: the default; at most 60000).
// videomediaprops (video only, optional):
//   maxkeyframespacing  longest key-frame distance in 100-ns units (30000000 = 3 s;
//                       0 or absent: 3 s; kept within 0.1 s ... 600 s).
//   quality             0 ... 100, default 50: how evenly quality rather than bit
//                       rate is kept from frame to frame.
// wmmediatype subtype (optional) picks the codec version:
//   video {32564D57-0000-0010-8000-00AA00389B71} or "WMV2": version 8;
//         {31564D57-0000-0010-8000-00AA00389B71} or "WMV1": version 7;
//   audio {00000161-0000-0010-8000-00AA00389B71} or "0x0161": WMA version 2;
//         {00000160-0000-0010-8000-00AA00389B71} or "0x0160": WMA version 1.
//   Any other subtype gets the newest version written here (8, 2).
//
// The first video and the first audio stream configuration count; later ones are
// ignored. A profile needs a video stream; without an audio stream the file carries no
// sound. An audio bit rate below 24,000 is raised to 24,000, the encoder's least.
// A number that is present but not a plain decimal in range, a missing root or video
// stream, or text that is not well-formed XML makes the profile unreadable.
#pragma once

#include "asfout/asf_profile.h"

#include <optional>
#include <string_view>

namespace asfout {

// The profile the text describes, or nullopt when it is not a readable profile.
std::optional<AsfProfile> ReadPrxProfile(std::u16string_view text);

}  // namespace asfout
