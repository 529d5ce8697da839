// "Audio Rendering": keep the input's sound format, or convert it to a chosen channel
// count, sample depth and sample rate. Edits the values it is given (indexes, as the
// settings keep them); OK reads the four radio groups into them. UI thread only.
#pragma once

#include "dialogs/option_dialog.h"
#include "dialogs/option_dialogs.h"

class QButtonGroup;

namespace klova {

class AudioRenderingDialog : public OptionDialog {
    Q_OBJECT

public:
    AudioRenderingDialog(const AudioRenderingValues& values, HelpWindow& help, QWidget* parent = nullptr);

    const AudioRenderingValues& values() const { return values_; }

    void accept() override;

private:
    void OnModeChoice(int mode);
    void ApplyEnablingRule();

    AudioRenderingValues values_;
    int mode_;  // radio index: 0 keep, 1 custom
    QButtonGroup* modeGroup_ = nullptr;
    QButtonGroup* channelsGroup_ = nullptr;
    QButtonGroup* bitsGroup_ = nullptr;
    QButtonGroup* sampleRateGroup_ = nullptr;
};

}  // namespace klova
