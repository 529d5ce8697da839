// "Video Rendering": the output's frame rate and frame size, the size optionally kept in
// the input's proportions while either number is typed. Edits the values it is given;
// after OK every control has been read into them, after Cancel they hold what the radio
// buttons and the proportion coupling set (text typed into the boxes is not read).
// UI thread only.
#pragma once

#include "dialogs/option_dialog.h"
#include "dialogs/option_dialogs.h"

class QCheckBox;
class QLineEdit;
class QRadioButton;

namespace klova {

class VideoRenderingDialog : public OptionDialog {
    Q_OBJECT

public:
    VideoRenderingDialog(const VideoRenderingValues& values, HelpWindow& help, QWidget* parent = nullptr);

    const VideoRenderingValues& values() const { return values_; }

    // OK: the frame rate must read as a number and the width and height as integers;
    // otherwise a message names what is wanted, the box is selected and the dialog stays.
    void accept() override;

private:
    void OnFrameRateChoice(int choice);
    void OnFrameSizeChoice(int choice);
    void OnKeepAspectClicked();
    void OnWidthChanged();
    void OnHeightChanged();
    void ApplyEnablingRules();
    static void FocusLater(QLineEdit* edit);
    bool Coupled() const { return values_.keepAspect != 0 && values_.aspect > 0.0; }

    VideoRenderingValues values_;
    int frameRateChoice_;  // radio index: 0 keep, 1 custom
    int frameSizeChoice_;

    QRadioButton* keepFrameRate_ = nullptr;
    QRadioButton* customFrameRate_ = nullptr;
    QLineEdit* frameRate_ = nullptr;
    QRadioButton* keepFrameSize_ = nullptr;
    QRadioButton* customFrameSize_ = nullptr;
    QLineEdit* width_ = nullptr;
    QLineEdit* height_ = nullptr;
    QCheckBox* keepAspect_ = nullptr;
};

}  // namespace klova
