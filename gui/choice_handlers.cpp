#include "gui/choice_handlers.h"

#include "dialogs/option_dialogs.h"
#include "engine/clip_naming.h"
#include "engine/conversion_settings.h"
#include "frontend/file_names.h"
#include "frontend/input_probe.h"
#include "gui/file_browser.h"
#include "gui/history_combo_box.h"
#include "gui/main_dialog_controls.h"
#include "gui/wait_cursor.h"
#include "resources/string_table.h"

#include <QComboBox>
#include <QPointer>
#include <QStandardPaths>

namespace klova {
namespace {

// The split-mode list's last entry, "Browse for Montra 3.0 project...".
constexpr int kBrowseProjectEntry = 3;

QString FromSetting(const std::string& text) { return QString::fromStdString(text); }

std::string DocumentsFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).toStdString();
}

// The output extension without its dot: the save dialog's default extension.
std::string OutputExtensionText(const ConversionSettings& settings) { return GetOutputExtension(settings).substr(1); }

// Selects the entry of a compressor name in its list once the compression dialog is
// over, however it ended (a failure it reports afterwards included).
class SelectNameAfterwards {
public:
    SelectNameAfterwards(HistoryComboBox& combo, const std::string& name) : combo_(combo), name_(name) {}
    ~SelectNameAfterwards() { combo_.SelectEntry(FromSetting(name_)); }
    SelectNameAfterwards(const SelectNameAfterwards&) = delete;
    SelectNameAfterwards& operator=(const SelectNameAfterwards&) = delete;

private:
    HistoryComboBox& combo_;
    const std::string& name_;  // the setting, read when the dialog is over
};

}  // namespace

ChoiceHandlers::ChoiceHandlers(QWidget& owner, MainDialogControls& controls, ConversionSettings& settings,
                               FileBrowser& fileBrowser, OptionDialogs& optionDialogs,
                               std::function<void()> enableIdleControls)
    : owner_(owner),
      controls_(controls),
      settings_(settings),
      fileBrowser_(fileBrowser),
      optionDialogs_(optionDialogs),
      enableIdleControls_(std::move(enableIdleControls))
{
}

std::string ChoiceHandlers::BrowseForFile(FileDialogMode mode, const std::string& defaultExtension, uint32_t filterId,
                                          const std::string& path)
{
    const FileDialogRequest request =
        MakeFileDialogRequest(mode, defaultExtension, LoadStringResource(filterId), path, DocumentsFolder());
    return fileBrowser_.Browse(&owner_, request);
}

void ChoiceHandlers::OnInputFileChosen()
{
    HistoryComboBox& combo = *controls_.inputFile;
    QString text;
    if (combo.GetChoice(&text) == 0) {
        const std::string chosen = BrowseForFile(FileDialogMode::Open, LoadStringResource(IDS_DEFAULT_INPUT_EXTENSION),
                                                 IDS_INPUT_FILTER, combo.textBeforeChoice().toStdString());
        text = FromSetting(chosen.empty() ? settings_.SrcFileName : chosen);
    }
    combo.SelectText(text);
    settings_.SrcFileName = text.toStdString();
}

void ChoiceHandlers::OnOutputFileChosen()
{
    HistoryComboBox& combo = *controls_.outputFile;
    QString text;
    if (combo.GetChoice(&text) == 0) {
        const std::string chosen = BrowseForFile(FileDialogMode::Save, OutputExtensionText(settings_),
                                                 IDS_OUTPUT_FILTER, combo.textBeforeChoice().toStdString());
        text = FromSetting(chosen.empty() ? settings_.DstFileName : chosen);
    }
    combo.SelectText(text);
    settings_.DstFileName = text.toStdString();
}

void ChoiceHandlers::OnOutputTypeChosen()
{
    settings_.DstFileType = controls_.outputType->currentIndex();
    settings_.DstFileName = controls_.outputFile->GetCurrentText().toStdString();
    if (!settings_.DstFileName.empty()) {
        settings_.DstFileName = ReplaceExtension(settings_.DstFileName, GetOutputExtension(settings_));
        controls_.outputFile->setEditText(FromSetting(settings_.DstFileName));
    }
    enableIdleControls_();
}

void ChoiceHandlers::OnVideoCodecChosen()
{
    HistoryComboBox& combo = *controls_.videoCodec;
    QString text;
    if (combo.GetChoice(&text) == -1) {
        settings_.VideoCodec = text.toStdString();
        return;
    }
    const SelectNameAfterwards select(combo, settings_.VideoCodec);
    optionDialogs_.RunVideoCompression(&owner_, settings_.VideoFormat, settings_.VideoCodec);
}

void ChoiceHandlers::OnAudioCodecChosen()
{
    HistoryComboBox& combo = *controls_.audioCodec;
    QString text;
    if (combo.GetChoice(&text) == -1) {
        settings_.AudioCodec = text.toStdString();
        return;
    }
    const SelectNameAfterwards select(combo, settings_.AudioCodec);
    optionDialogs_.RunAudioCompression(&owner_, settings_.AudioFormat, settings_.AudioCodec);
}

void ChoiceHandlers::OnMediaProfileChosen()
{
    HistoryComboBox& combo = *controls_.mediaProfile;
    QString text;
    if (combo.GetChoice(&text) == -1) {
        settings_.MediaProfile = text.toStdString();
        return;
    }
    const std::string chosen = BrowseForFile(FileDialogMode::Open, LoadStringResource(IDS_PROFILE_EXTENSION),
                                             IDS_PROFILE_FILTER, settings_.MediaProfile);
    if (!chosen.empty())
        settings_.MediaProfile = chosen;
    SetComboTextLater(&combo, FromSetting(FileNamePart(settings_.MediaProfile)));
}

void ChoiceHandlers::OnSplitModeChosen()
{
    QComboBox& combo = *controls_.splitMode;
    const int index = combo.currentIndex();
    if (index == kBrowseProjectEntry || (index == kSplitProject && settings_.ClipsFileName.empty())) {
        const std::string chosen = BrowseForFile(FileDialogMode::Save, LoadStringResource(IDS_PROJECT_EXTENSION),
                                                 IDS_PROJECT_FILTER, settings_.ClipsFileName);
        if (chosen.empty()) {
            combo.setCurrentIndex(settings_.SceneDetection >= 0 && settings_.SceneDetection < combo.count()
                                      ? settings_.SceneDetection
                                      : -1);
            return;
        }
        settings_.ClipsFileName = chosen;
        controls_.UpdateProjectEntry(settings_.ClipsFileName);
        if (index == kBrowseProjectEntry)
            combo.setCurrentIndex(kSplitProject);
    }
    settings_.SceneDetection = index < kSplitProject ? index : kSplitProject;
}

void ChoiceHandlers::OnVideoOptions()
{
    if (settings_.KeepSettings != 0)
        return;
    FrameSize input{4, 3};
    settings_.SrcFileName = controls_.inputFile->GetCurrentText().toStdString();
    if (!settings_.SrcFileName.empty()) {
        const WaitCursor wait;
        input = ReadInputFrameSize(settings_.SrcFileName);
    }
    VideoRenderingValues values;
    values.customFrameRate = settings_.KeepFrameRate == 0;
    values.frameRate = settings_.FrameRate;
    values.customFrameSize = settings_.KeepFrameSize == 0;
    values.width = settings_.FrameWidth;
    values.height = settings_.FrameHeight;
    values.keepAspect = settings_.KeepAspect;
    values.aspect = input.height != 0 ? static_cast<double>(input.width) / input.height : 0.0;
    if (!optionDialogs_.RunVideoRendering(&owner_, values))
        return;
    settings_.KeepFrameRate = values.customFrameRate ? 0 : 1;
    settings_.FrameRate = values.frameRate;
    settings_.KeepFrameSize = values.customFrameSize ? 0 : 1;
    settings_.FrameWidth = values.width;
    settings_.FrameHeight = values.height;
    settings_.KeepAspect = values.keepAspect;
}

void ChoiceHandlers::OnAudioOptions()
{
    if (settings_.KeepSettings != 0)
        return;
    AudioRenderingValues values;
    values.custom = settings_.KeepSound == 0;
    values.channels = settings_.Channels;
    values.bits = settings_.Bits;
    values.sampleRate = settings_.SampleRate;
    if (!optionDialogs_.RunAudioRendering(&owner_, values))
        return;
    settings_.KeepSound = values.custom ? 0 : 1;
    settings_.Channels = values.channels;
    settings_.Bits = values.bits;
    settings_.SampleRate = values.sampleRate;
}

void ChoiceHandlers::OnInputFileDropped(const std::string& path)
{
    controls_.inputFile->SelectText(FromSetting(path));
    settings_.SrcFileName = path;
}

void ChoiceHandlers::SetComboTextLater(HistoryComboBox* combo, const QString& text)
{
    QMetaObject::invokeMethod(combo, [combo, text] { combo->ShowText(text); }, Qt::QueuedConnection);
}

}  // namespace klova
