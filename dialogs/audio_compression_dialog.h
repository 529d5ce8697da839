// "Audio compression": the audio encoder of AVI output, chosen from the installed ones
// or typed by name (checked only when a conversion builds its output). Edits the
// caller's format record and encoder name in place: OK writes the name and the record
// as plain PCM with its derived fields made consistent; Cancel writes nothing.
// UI thread only.
#pragma once

#include "dialogs/option_dialog.h"
#include "platform/media_types.h"

#include <string>

class QComboBox;

namespace klova {

class AudioCompressionDialog : public OptionDialog {
    Q_OBJECT

public:
    AudioCompressionDialog(WAVEFORMATEX& audioFormat, std::string& audioCodec, HelpWindow& help,
                           QWidget* parent = nullptr);

    void accept() override;

private:
    WAVEFORMATEX& audioFormat_;
    std::string& audioCodec_;
    const WAVEFORMATEX format_;  // the record as the dialog found it
    QComboBox* compressors_ = nullptr;
};

}  // namespace klova
