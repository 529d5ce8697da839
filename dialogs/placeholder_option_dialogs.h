// Stands in for the option dialogs until they are built: every dialog closes at once as
// if cancelled, so the settings stay as they are.
#pragma once

#include "dialogs/option_dialogs.h"

namespace klova {

class PlaceholderOptionDialogs : public OptionDialogs {
public:
    bool RunVideoRendering(QWidget* parent, VideoRenderingValues& values) override;
    bool RunAudioRendering(QWidget* parent, AudioRenderingValues& values) override;
    void RunVideoCompression(QWidget* parent, AVICOMPRESSOPTIONS& videoFormat, std::string& videoCodec) override;
    void RunAudioCompression(QWidget* parent, WAVEFORMATEX& audioFormat, std::string& audioCodec) override;
};

}  // namespace klova
