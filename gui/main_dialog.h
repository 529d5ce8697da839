// The main window and its job control: owns the settings record for the whole run
// (loaded when the window initialises, saved when it is destroyed) and the conversion
// in progress, which it drives one step at a time whenever its event queue is empty.
// Start, Stop, closing, the status box, the preview, the progress bar, the About box
// and the help live here; the controls are built by MainDialogControls and the
// choices made in them handled by ChoiceHandlers. UI thread only.
#pragma once

#include "engine/conversion_host.h"
#include "engine/conversion_job.h"
#include "engine/conversion_settings.h"
#include "gui/choice_handlers.h"
#include "gui/main_dialog_controls.h"

#include <QDialog>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>

namespace klova {

class EncoderConfigStore;
class FileBrowser;
class HelpWindow;
class OptionDialogs;
class WinMediaLibrary;

// What the program hands its main window.
struct MainDialogServices {
    std::string profilePath;  // the INI profile the settings are loaded from and saved to
    const EncoderConfigStore& encoderConfigs;
    // The Windows Media writer library, loaded once by the program: the profile list
    // and the profile text come from it.
    const WinMediaLibrary& winMediaLibrary;
    FileBrowser& fileBrowser;
    OptionDialogs& optionDialogs;
    // The program's one help window, shared with the option dialogs; closed with the
    // main window.
    HelpWindow& helpWindow;
};

class MainDialog : public QDialog, private ConversionHost {
    Q_OBJECT

public:
    explicit MainDialog(const MainDialogServices& services, QWidget* parent = nullptr);
    ~MainDialog() override;

    ConversionSettings& settings() { return settings_; }
    const MainDialogControls& controls() const { return controls_; }
    bool converting() const { return converting_; }
    bool failureShown() const { return failureShown_; }
    const ConversionJob& job() const { return job_; }
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

    // The help window at the main window's topic (F1, Help).
    void ShowHelp();
    HelpWindow& helpWindow() { return helpWindow_; }

protected:
    // Asked before a running conversion is stopped or the window closed; true to go on.
    virtual bool ConfirmCancel();

    // The About box, modal over the window; opened once by itself after the start.
    virtual void ShowAboutBox();

    void reject() override;  // Escape is the Stop command; it never closes the window
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // ConversionHost
    std::optional<std::u16string> ResolveMediaProfile(const std::string& mediaProfile) override;
    void PreparePreview(int32_t outputWidth, int32_t outputHeight, int32_t sourceWidth,
                        int32_t sourceHeight) override;
    void ShowPreview(uint8_t* frame, const std::string& statusLine) override;
    void ClosePreview() override;

    void OnInitDialog();
    void ConnectCommands();
    void LoadSettings();
    void SaveSettings();
    void EnableControls(bool running);
    bool OnKickIdle();
    void UpdateStatistics();
    void StopConversion();
    // The stop sequence of the Stop command and of closing: the conversion ends, the
    // window is idle again, the status box is cleared. Throws what StopConversion throws.
    void StopAndGoIdle();
    void ShowProgress(bool running);
    void OnShowPreviewClicked();

    // Every command runs through here: the status box is cleared first.
    void RunCommand(const std::function<void()>& command);
    // Failures of ours raised by the action are shown in the status box (the running
    // conversion torn down) instead of escaping. Returns false after a failure.
    bool RunGuarded(const std::function<void()>& action);

    // Holds the conversion while a question or a modal box is open over the window.
    class IdlePause;

    std::string profilePath_;
    const WinMediaLibrary& winMediaLibrary_;
    ConversionSettings settings_;
    MainDialogControls controls_;
    ChoiceHandlers choices_;
    ConversionJob job_;
    bool converting_ = false;
    bool failureShown_ = false;
    bool closingWithoutQuestion_ = false;
    // Runs the conversion's steps while the event queue is empty.
    QTimer idleTimer_;
    HelpWindow& helpWindow_;
};

}  // namespace klova
