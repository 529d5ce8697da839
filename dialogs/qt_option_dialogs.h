// The option dialogs of the main window as the program runs them: each one modal over
// the window, given the values, handing back what its result says. UI thread only.
#pragma once

#include "dialogs/option_dialogs.h"

namespace klova {

class EncoderConfigStore;
class HelpWindow;

class QtOptionDialogs : public OptionDialogs {
public:
    // Both are borrowed for the program's run: the help window the dialogs show their
    // pages in, and the store that keeps what encoders' Configure pages set.
    QtOptionDialogs(HelpWindow& help, EncoderConfigStore& encoderConfigs);

    bool RunVideoRendering(QWidget* parent, VideoRenderingValues& values) override;
    bool RunAudioRendering(QWidget* parent, AudioRenderingValues& values) override;

    // Throws CMyException when the scratch pipeline cannot be made (no dialog), or,
    // once the dialog has closed, when an encoder of the list could not be made.
    void RunVideoCompression(QWidget* parent, AVICOMPRESSOPTIONS& videoFormat, std::string& videoCodec) override;
    void RunAudioCompression(QWidget* parent, WAVEFORMATEX& audioFormat, std::string& audioCodec) override;

private:
    HelpWindow& help_;
    EncoderConfigStore& encoderConfigs_;
};

}  // namespace klova
