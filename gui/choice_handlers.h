// What the main window does when the user makes a choice while idle: an entry of one of
// its six lists (a file, a compressor, a profile, the output type, the split mode, or a
// command entry that runs a file or options dialog), the Video... and Audio... buttons,
// and a file dropped onto the window. Each handler changes the settings record in
// memory and the controls. UI thread only.
#pragma once

#include "frontend/file_dialog_request.h"

#include <QString>

#include <functional>
#include <string>

class QWidget;

namespace klova {

class FileBrowser;
class HistoryComboBox;
class MainDialogControls;
class OptionDialogs;
struct ConversionSettings;

class ChoiceHandlers {
public:
    // enableIdleControls applies the idle enabling rules after a change that affects them.
    ChoiceHandlers(QWidget& owner, MainDialogControls& controls, ConversionSettings& settings,
                   FileBrowser& fileBrowser, OptionDialogs& optionDialogs, std::function<void()> enableIdleControls);

    void OnInputFileChosen();
    void OnOutputFileChosen();
    void OnOutputTypeChosen();
    void OnVideoCodecChosen();
    void OnAudioCodecChosen();
    void OnMediaProfileChosen();
    void OnSplitModeChosen();

    // Video... and Audio...: nothing while "Keep input file parameters" is ticked.
    // Video... opens the input for a moment to learn its aspect (throws CMyException
    // InputOpenFailed when it cannot).
    void OnVideoOptions();
    void OnAudioOptions();

    // A file dropped onto the window becomes the input, as if browsed for.
    void OnInputFileDropped(const std::string& path);

    // Runs the file dialog from path; the chosen file, or empty when cancelled.
    std::string BrowseForFile(FileDialogMode mode, const std::string& defaultExtension, uint32_t filterId,
                              const std::string& path);

private:
    // Sets a combo's text after the current selection notification is over (the combo
    // would otherwise overwrite it with the selected entry).
    void SetComboTextLater(HistoryComboBox* combo, const QString& text);

    QWidget& owner_;
    MainDialogControls& controls_;
    ConversionSettings& settings_;
    FileBrowser& fileBrowser_;
    OptionDialogs& optionDialogs_;
    std::function<void()> enableIdleControls_;
};

}  // namespace klova
