// The controls of the main window: built and laid out once, exchanged with the settings
// record, prepared with their lists, and enabled by the running state. Owns no state of
// its own beyond the widgets (which the dialog owns as their parent).
#pragma once

#include "engine/conversion_settings.h"

#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QDialog;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace klova {

class HistoryComboBox;
class PreviewWidget;

// What the combos are filled with at the start.
struct ChoiceLists {
    std::vector<std::string> videoCodecs;  // installed video compressors, in list order
    std::vector<std::string> audioCodecs;
    std::vector<std::string> mediaProfiles;  // the writer library's built-in profiles
};

class MainDialogControls {
public:
    // Builds every control into dialog and lays them out.
    explicit MainDialogControls(QDialog& dialog);

    // The settings into the controls: file and compressor names as edit texts, the
    // check boxes, the output type and split mode as list indexes.
    void SettingsToControls(const ConversionSettings& settings);

    // The controls into the settings (the reverse); the input and output names then
    // stand at the top of their histories. A list without a selection leaves its
    // setting as it is.
    void ControlsToSettings(ConversionSettings& settings);

    // Fills the combos in their order: input file, output file, video compressor, audio
    // compressor, Windows Media profile, split mode.
    void PrepareCombos(const ConversionSettings& settings, const ChoiceLists& lists);

    // Rewrites the split-mode list's project entry to name the project file; the
    // selection stays.
    void UpdateProjectEntry(const std::string& clipsFileName);

    // Everything but the split-mode label, Exit, Help, the preview, the status box and
    // "Show preview" is enabled exactly while idle, Stop exactly while running. Idle:
    // Video... and Audio... only without "Keep input file parameters", the AVI
    // compressor controls only for AVI output, the profile controls only for WMV.
    // Focus goes to Stop when running, else to the "Files" group.
    void Enable(bool running, const ConversionSettings& settings);

    QGroupBox* filesGroup = nullptr;
    QLabel* inputFileLabel = nullptr;
    HistoryComboBox* inputFile = nullptr;
    QLabel* outputFileLabel = nullptr;
    HistoryComboBox* outputFile = nullptr;
    QLabel* outputTypeLabel = nullptr;
    QComboBox* outputType = nullptr;
    QGroupBox* renderingGroup = nullptr;
    QCheckBox* keepSettings = nullptr;
    QPushButton* videoOptions = nullptr;
    QPushButton* audioOptions = nullptr;
    QLabel* splitModeLabel = nullptr;
    QComboBox* splitMode = nullptr;
    QGroupBox* compressionGroup = nullptr;
    QLabel* videoCodecLabel = nullptr;
    HistoryComboBox* videoCodec = nullptr;
    QLabel* audioCodecLabel = nullptr;
    HistoryComboBox* audioCodec = nullptr;
    QLabel* mediaProfileLabel = nullptr;
    HistoryComboBox* mediaProfile = nullptr;
    PreviewWidget* preview = nullptr;
    QPlainTextEdit* statusBox = nullptr;
    QProgressBar* progress = nullptr;
    QCheckBox* showPreview = nullptr;
    QPushButton* start = nullptr;
    QPushButton* stop = nullptr;
    QPushButton* exit = nullptr;
    QPushButton* help = nullptr;
};

}  // namespace klova
