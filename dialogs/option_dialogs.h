// The four option dialogs the main window opens: "Video Rendering" and "Audio
// Rendering" from its Video... and Audio... buttons, "Video compression" and "Audio
// compression" from the "Advanced..." entries of its compressor lists. Each dialog is
// given the values it edits and hands them back; the main window decides from the
// result what it takes over. Run modally on the UI thread.
//
// The program (app/converter_app.cpp) hands QtOptionDialogs to the main window; tests
// hand it scripted answers. A dialog gets its help with InstallHelp (gui/help_window.h)
// on the program's HelpWindow, and runs window-modal over its parent so the help window
// stays usable beside it.
#pragma once

#include "platform/media_types.h"

#include <cstdint>
#include <string>

class QWidget;

namespace klova {

struct VideoRenderingValues {
    bool customFrameRate = false;
    double frameRate = 0.0;  // frames per second
    bool customFrameSize = false;
    int32_t width = 0;
    int32_t height = 0;
    int32_t keepAspect = 0;
    double aspect = 0.0;  // input width / height, for the width-height coupling
};

struct AudioRenderingValues {
    bool custom = false;
    int32_t channels = 0;    // 0 mono, 1 stereo
    int32_t bits = 0;        // 0 = 8 bits, 1 = 16 bits
    int32_t sampleRate = 0;  // 0 = 11025 ... 4 = 48000 Hz
};

class OptionDialogs {
public:
    virtual ~OptionDialogs() = default;

    // "Video Rendering". True when the values are to be taken back: after OK, and after
    // Cancel too (the radio choices and the aspect coupling have already changed them).
    virtual bool RunVideoRendering(QWidget* parent, VideoRenderingValues& values) = 0;

    // "Audio Rendering". True only after OK.
    virtual bool RunAudioRendering(QWidget* parent, AudioRenderingValues& values) = 0;

    // "Video compression": edits the record and the compressor name in place; the main
    // window then selects the name in its list, whatever the result.
    virtual void RunVideoCompression(QWidget* parent, AVICOMPRESSOPTIONS& videoFormat, std::string& videoCodec) = 0;

    // "Audio compression": the same for the audio record and name.
    virtual void RunAudioCompression(QWidget* parent, WAVEFORMATEX& audioFormat, std::string& audioCodec) = 0;
};

}  // namespace klova
