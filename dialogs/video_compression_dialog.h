// "Video compression": the video encoder of AVI output by its friendly name, the
// compression quality, a key-frame interval and a data rate, and the chosen encoder's
// About and Configure pages. Edits the caller's options record and encoder name in
// place: OK writes both, Cancel at most the name (a newly chosen encoder survives it
// when a name was given). Encoders are made on a scratch AVI writer's pipeline only for
// the moment a handler needs one. UI thread only.
#pragma once

#include "dialogs/option_dialog.h"
#include "media_out/avi_writer.h"
#include "platform/media_types.h"

#include <exception>
#include <functional>
#include <optional>
#include <string>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSlider;

namespace klova {

class EncoderConfigStore;

class VideoCompressionDialog : public OptionDialog {
    Q_OBJECT

public:
    // Configure keeps what is set on an encoder's page in encoderConfigs. Throws
    // CMyException (GraphInitFailed) when the scratch pipeline cannot be made.
    VideoCompressionDialog(AVICOMPRESSOPTIONS& videoFormat, std::string& videoCodec, EncoderConfigStore& encoderConfigs,
                           HelpWindow& help, QWidget* parent = nullptr);

    // The first failure of ours while the dialog was open (an encoder of the list that
    // could not be made), for the caller to report once the dialog has closed; null
    // when there was none. The dialog goes on without that encoder's pages.
    std::exception_ptr failure() const { return failure_; }

    // OK: both number boxes must hold integers (a message otherwise, and the dialog
    // stays with nothing written).
    void accept() override;
    void reject() override;

    // The encoder pages, modal over the dialog (Configure... and About...).
    void OnConfigure();
    void OnAbout();

private:
    void OnCompressorChosen();
    // Which pages the chosen encoder offers: none for "<Uncompressed>"; About for every
    // encoder, Configure for one with settings a page can show.
    void UpdatePages();
    void OnQualityMoved(int position);
    void ReadControls();
    // The number in a box; when the box is off and holds no number, the record's value.
    std::optional<uint32_t> ReadNumber(QLineEdit* edit, bool on, uint32_t recorded);
    void EnablePages(bool configure, bool about);
    // Runs an action that makes an encoder; a failure of ours is kept for the caller and
    // leaves the encoder's pages disabled.
    void Guarded(const std::function<void()>& action);

    AVICOMPRESSOPTIONS& videoFormat_;
    std::string& videoCodec_;
    EncoderConfigStore& encoderConfigs_;
    HelpWindow& help_;
    const bool nameSupplied_;
    AviWriter scratch_;
    std::exception_ptr failure_;

    // The dialog's state, read from the controls by ReadControls.
    std::string compressorName_;
    bool compressorChosen_ = false;  // an entry was chosen from the list in the dialog
    int quality_;  // slider position, 0..100 once read; the stored value / 100 until then
    bool keyFramesOn_;
    bool dataRateOn_;

    QComboBox* compressors_ = nullptr;
    QSlider* qualitySlider_ = nullptr;
    QLabel* qualityNumber_ = nullptr;
    QCheckBox* keyFrames_ = nullptr;
    QLineEdit* keyFrameEvery_ = nullptr;
    QCheckBox* dataRate_ = nullptr;
    QLineEdit* bytesPerSecond_ = nullptr;
    QPushButton* configure_ = nullptr;
    QPushButton* about_ = nullptr;
};

}  // namespace klova
