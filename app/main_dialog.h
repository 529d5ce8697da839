// The main window: owns the settings record for the whole run (loaded when the window
// initialises, saved when it is destroyed), the status box, the Start, Stop and Exit
// commands, and the conversion in progress, which it drives one step at a time
// whenever its event queue is empty.
#pragma once

#include "engine/conversion_host.h"
#include "engine/conversion_job.h"
#include "engine/conversion_settings.h"
#include "media_out/win_media_library.h"

#include <QDialog>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>

class QPlainTextEdit;
class QPushButton;

namespace klova {

class EncoderConfigStore;

class MainDialog : public QDialog, private ConversionHost {
    Q_OBJECT

public:
    // profilePath: the INI profile the settings are loaded from and saved to. The
    // encoder settings and the Windows Media library are the process's; both borrowed.
    MainDialog(std::string profilePath, const EncoderConfigStore& encoderConfigs,
               const WinMediaLibrary& winMediaLibrary, QWidget* parent = nullptr);
    ~MainDialog() override;

    ConversionSettings& settings() { return settings_; }
    bool converting() const { return converting_; }
    bool failureShown() const { return failureShown_; }
    QString statusText() const;

    // Status box texts; with repaintNow the box is repainted at once, so the text is
    // visible during a long operation that follows.
    void SetStatusText(const QString& text, bool repaintNow);
    void ShowStatusMessage(uint32_t stringId, bool repaintNow);

    void OnStart();
    void OnStop();

    // Stops a running conversion without asking and closes the window (the process is
    // being told to end).
    void CloseWithoutQuestion();

protected:
    // Asked before a running conversion is stopped or the window closed; true to go on.
    virtual bool ConfirmCancel();

    void reject() override;  // Escape is the Stop command; it never closes the window
    void closeEvent(QCloseEvent* event) override;

private:
    // ConversionHost
    std::optional<std::u16string> ResolveMediaProfile(const std::string& mediaProfile) override;

    void OnInitDialog();
    void LoadSettings();
    void SaveSettings();
    void EnableControls(bool running);
    bool OnKickIdle();
    void StopConversion();
    // The stop sequence of the Stop command and of closing: the conversion ends, the
    // window is idle again, the status box is cleared. Throws what StopConversion throws.
    void StopAndGoIdle();

    // Every command runs through here: the status box is cleared first.
    void RunCommand(const std::function<void()>& command);
    // Failures of ours raised by the action are shown in the status box (the running
    // conversion torn down) instead of escaping. Returns false after a failure.
    bool RunGuarded(const std::function<void()>& action);

    std::string profilePath_;
    const WinMediaLibrary& winMediaLibrary_;
    ConversionSettings settings_;
    ConversionJob job_;
    bool converting_ = false;
    bool failureShown_ = false;
    bool closingWithoutQuestion_ = false;
    // Runs the conversion's steps while the event queue is empty.
    QTimer idleTimer_;

    QPlainTextEdit* statusBox_ = nullptr;
    QPushButton* startButton_ = nullptr;
    QPushButton* stopButton_ = nullptr;
    QPushButton* exitButton_ = nullptr;
};

}  // namespace klova
