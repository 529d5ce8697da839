#include "gui/main_dialog_controls.h"

#include "codecs/compressor_names.h"

#include "frontend/file_names.h"
#include "gui/control_ids.h"
#include "gui/history_combo_box.h"
#include "gui/preview_widget.h"
#include "gui/string_text.h"
#include "resources/string_table.h"

#include <QCheckBox>
#include <QDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace klova {
namespace {

constexpr int kHistoryLimit = 10;
constexpr int kStatusLines = 4;

template <typename Widget>
Widget* Named(Widget* widget, int id)
{
    widget->setObjectName(ControlName(id));
    return widget;
}

QLabel* Label(const QString& text, int id, QWidget* buddy, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    if (id != 0)
        label->setObjectName(ControlName(id));
    label->setBuddy(buddy);
    return label;
}

// The space inside a group box and between its rows: a compact dialog, close to the
// proportions of the classic template it follows.
void Compact(QLayout* layout)
{
    layout->setContentsMargins(8, 4, 8, 8);
    layout->setSpacing(4);
}

// A label above its combo box, close to it.
void AddLabelled(QVBoxLayout* layout, QLabel* label, QWidget* field)
{
    auto* pair = new QVBoxLayout;
    pair->setSpacing(1);
    pair->addWidget(label);
    pair->addWidget(field);
    layout->addLayout(pair);
}

QString FromSetting(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

MainDialogControls::MainDialogControls(QDialog& dialog)
{
    filesGroup = Named(new QGroupBox(QStringLiteral("Files"), &dialog), ControlId::kFilesGroup);
    inputFile = Named(new HistoryComboBox(filesGroup), ControlId::kInputFile);
    inputFileLabel = Label(QStringLiteral("&Input file:"), ControlId::kInputFileLabel, inputFile, filesGroup);
    outputFile = Named(new HistoryComboBox(filesGroup), ControlId::kOutputFile);
    outputFileLabel = Label(QStringLiteral("&Output file:"), ControlId::kOutputFileLabel, outputFile, filesGroup);
    outputType = Named(new QComboBox(filesGroup), ControlId::kOutputType);
    for (const char* entry : OutputTypeEntries())
        outputType->addItem(QString::fromUtf8(entry));
    outputTypeLabel = Label(QStringLiteral("Output file &type:"), ControlId::kOutputTypeLabel, outputType, filesGroup);
    auto* files = new QGridLayout(filesGroup);
    files->addWidget(inputFileLabel, 0, 0);
    files->addWidget(inputFile, 0, 1);
    files->addWidget(outputFileLabel, 1, 0);
    files->addWidget(outputFile, 1, 1);
    files->addWidget(outputTypeLabel, 2, 0);
    files->addWidget(outputType, 2, 1);
    files->setColumnStretch(1, 1);
    Compact(files);

    renderingGroup = Named(new QGroupBox(QStringLiteral("Rendering options"), &dialog), ControlId::kRenderingGroup);
    keepSettings =
        Named(new QCheckBox(QStringLiteral("&Keep input file parameters"), renderingGroup), ControlId::kKeepSettings);
    videoOptions = Named(new QPushButton(QStringLiteral("&Video..."), renderingGroup), ControlId::kVideoOptions);
    audioOptions = Named(new QPushButton(QStringLiteral("&Audio..."), renderingGroup), ControlId::kAudioOptions);
    splitMode = Named(new QComboBox(renderingGroup), ControlId::kSplitMode);
    for (const char* entry : SplitModeEntries())
        splitMode->addItem(QString::fromUtf8(entry));
    splitModeLabel = Label(QStringLiteral("&Clip splitting mode:"), 0, splitMode, renderingGroup);
    splitModeLabel->setObjectName(QString::fromLatin1(kSplitModeLabelName));
    // Narrow buttons, as wide as their texts: the check box's text needs the room.
    for (QPushButton* button : {videoOptions, audioOptions})
        button->setMaximumWidth(button->fontMetrics().horizontalAdvance(button->text()) +
                                4 * button->fontMetrics().averageCharWidth());
    auto* rendering = new QVBoxLayout(renderingGroup);
    Compact(rendering);
    auto* keepRow = new QHBoxLayout;
    keepRow->addWidget(keepSettings, 1);
    keepRow->addWidget(videoOptions);
    keepRow->addWidget(audioOptions);
    rendering->addLayout(keepRow);
    AddLabelled(rendering, splitModeLabel, splitMode);

    compressionGroup =
        Named(new QGroupBox(QStringLiteral("Compression options"), &dialog), ControlId::kCompressionGroup);
    videoCodec = Named(new HistoryComboBox(compressionGroup), ControlId::kVideoCodec);
    videoCodecLabel = Label(QStringLiteral("Vi&deo compressor to write AVI file:"), ControlId::kVideoCodecLabel,
                            videoCodec, compressionGroup);
    audioCodec = Named(new HistoryComboBox(compressionGroup), ControlId::kAudioCodec);
    audioCodecLabel = Label(QStringLiteral("A&udio compressor to write AVI file:"), ControlId::kAudioCodecLabel,
                            audioCodec, compressionGroup);
    mediaProfile = Named(new HistoryComboBox(compressionGroup), ControlId::kMediaProfile);
    mediaProfileLabel = Label(QStringLiteral("Windows &Media profile to write WMV file:"),
                              ControlId::kMediaProfileLabel, mediaProfile, compressionGroup);
    auto* compression = new QVBoxLayout(compressionGroup);
    Compact(compression);
    AddLabelled(compression, videoCodecLabel, videoCodec);
    AddLabelled(compression, audioCodecLabel, audioCodec);
    AddLabelled(compression, mediaProfileLabel, mediaProfile);

    preview = new PreviewWidget(&dialog);
    statusBox = Named(new QPlainTextEdit(&dialog), ControlId::kStatusBox);
    statusBox->setReadOnly(true);
    statusBox->setFrameShape(QFrame::NoFrame);
    statusBox->setFocusPolicy(Qt::NoFocus);
    statusBox->setLineWrapMode(QPlainTextEdit::NoWrap);
    statusBox->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    statusBox->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    statusBox->viewport()->setAutoFillBackground(false);  // the dialog's own background
    const QFontMetrics metrics(statusBox->font());
    // The statistics put their values after one tab: past the longest name.
    statusBox->setTabStopDistance(metrics.horizontalAdvance(QStringLiteral(" Frames processed")) +
                                  2 * metrics.averageCharWidth());
    const int margins = 2 * static_cast<int>(statusBox->document()->documentMargin());
    statusBox->setFixedHeight(kStatusLines * metrics.lineSpacing() + margins + 2);

    progress = new QProgressBar(&dialog);
    progress->setObjectName(QString::fromLatin1(kProgressBarName));
    QSizePolicy keepPlace = progress->sizePolicy();
    keepPlace.setRetainSizeWhenHidden(true);  // the fixed-size window keeps its layout
    progress->setSizePolicy(keepPlace);
    progress->hide();

    showPreview = Named(new QCheckBox(QStringLiteral("Show &preview"), &dialog), ControlId::kShowPreview);
    start = Named(new QPushButton(QStringLiteral("Start"), &dialog), ControlId::kStart);
    start->setDefault(true);
    stop = Named(new QPushButton(QStringLiteral("Stop"), &dialog), ControlId::kStop);
    exit = Named(new QPushButton(QStringLiteral("E&xit"), &dialog), ControlId::kExit);
    help = Named(new QPushButton(QStringLiteral("Help"), &dialog), ControlId::kHelp);
    for (QPushButton* button : {stop, exit, help})
        button->setAutoDefault(false);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(start);
    buttons->addWidget(stop);
    buttons->addWidget(exit);
    buttons->addWidget(help);
    buttons->addStretch();
    buttons->addWidget(showPreview);
    auto* previewRow = new QHBoxLayout;
    previewRow->addWidget(preview, 1);
    previewRow->addLayout(buttons);

    auto* layout = new QVBoxLayout(&dialog);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(6);
    layout->addWidget(filesGroup);
    layout->addWidget(renderingGroup);
    layout->addWidget(compressionGroup);
    layout->addLayout(previewRow, 1);
    layout->addWidget(statusBox);
    layout->addWidget(progress);
}

void MainDialogControls::SettingsToControls(const ConversionSettings& settings)
{
    inputFile->ShowText(FromSetting(settings.SrcFileName));
    outputFile->ShowText(FromSetting(settings.DstFileName));
    videoCodec->ShowText(FromSetting(settings.VideoCodec));
    audioCodec->ShowText(FromSetting(settings.AudioCodec));
    keepSettings->setChecked(settings.KeepSettings != 0);
    showPreview->setChecked(settings.WantPreview != 0);
    // An index outside the list selects nothing.
    outputType->setCurrentIndex(settings.DstFileType >= 0 && settings.DstFileType < outputType->count()
                                    ? settings.DstFileType
                                    : -1);
    splitMode->setCurrentIndex(
        settings.SceneDetection >= 0 && settings.SceneDetection < splitMode->count() ? settings.SceneDetection : -1);
}

void MainDialogControls::ControlsToSettings(ConversionSettings& settings)
{
    settings.SrcFileName = inputFile->GetCurrentText().toStdString();
    settings.DstFileName = outputFile->GetCurrentText().toStdString();
    settings.VideoCodec = videoCodec->GetCurrentText().toStdString();
    settings.AudioCodec = audioCodec->GetCurrentText().toStdString();
    settings.KeepSettings = keepSettings->isChecked() ? 1 : 0;
    settings.WantPreview = showPreview->isChecked() ? 1 : 0;
    if (outputType->currentIndex() >= 0)
        settings.DstFileType = outputType->currentIndex();
    if (splitMode->currentIndex() >= 0)
        settings.SceneDetection = splitMode->currentIndex();
    inputFile->SelectText(FromSetting(settings.SrcFileName));
    outputFile->SelectText(FromSetting(settings.DstFileName));
}

void MainDialogControls::PrepareCombos(const ConversionSettings& settings, const ChoiceLists& lists)
{
    inputFile->AddStringResource(IDS_BROWSE_INPUT);
    inputFile->SetLimits(kHistoryLimit, 1);
    inputFile->CommitCurrentText();

    outputFile->AddStringResource(IDS_BROWSE_OUTPUT);
    outputFile->SetLimits(kHistoryLimit, 1);
    outputFile->CommitCurrentText();

    for (const std::string& name : lists.videoCodecs)
        videoCodec->AddEntry(FromSetting(name));
    videoCodec->AddStringResource(IDS_UNCOMPRESSED);
    videoCodec->SortEntries();
    videoCodec->AddStringResource(IDS_VIDEO_ADVANCED);
    videoCodec->SetLimits(0, 1);

    for (const std::string& name : lists.audioCodecs)
        audioCodec->AddEntry(FromSetting(name));
    // PCM stands for no audio encoder; listed, it can be chosen again after another.
    audioCodec->AddEntry(FromSetting(kPcmCompressorName));
    audioCodec->SortEntries();
    audioCodec->AddStringResource(IDS_AUDIO_ADVANCED);
    audioCodec->SetLimits(0, 1);

    mediaProfile->clear();
    for (const std::string& name : lists.mediaProfiles)
        mediaProfile->AddEntry(FromSetting(name));
    mediaProfile->AddStringResource(IDS_BROWSE_PROFILES);
    mediaProfile->SetLimits(0, 1);
    mediaProfile->ShowText(FromSetting(FileNamePart(settings.MediaProfile)));

    UpdateProjectEntry(settings.ClipsFileName);
}

void MainDialogControls::UpdateProjectEntry(const std::string& clipsFileName)
{
    const QString label = StringText(IDS_PROJECT_ENTRY_FORMAT, FromSetting(FileNamePart(clipsFileName)));
    const int selected = splitMode->currentIndex();
    splitMode->insertItem(kSplitProject, label);
    splitMode->removeItem(kSplitProject + 1);
    if (selected >= 0)
        splitMode->setCurrentIndex(selected);
}

void MainDialogControls::Enable(bool running, const ConversionSettings& settings)
{
    for (QWidget* control : std::initializer_list<QWidget*>{
             filesGroup, inputFileLabel, inputFile, outputFileLabel, outputFile, outputTypeLabel, outputType, splitMode,
             keepSettings, renderingGroup, videoOptions, audioOptions, compressionGroup, audioCodecLabel, audioCodec,
             videoCodecLabel, videoCodec, mediaProfileLabel, mediaProfile, start})
        control->setEnabled(!running);
    stop->setEnabled(running);
    if (!running) {
        const bool custom = settings.KeepSettings == 0;
        videoOptions->setEnabled(custom);
        audioOptions->setEnabled(custom);
        const bool wmv = settings.DstFileType == 1;
        for (QWidget* control : std::initializer_list<QWidget*>{videoCodec, videoCodecLabel, audioCodec, audioCodecLabel})
            control->setEnabled(!wmv);
        for (QWidget* control : std::initializer_list<QWidget*>{mediaProfile, mediaProfileLabel})
            control->setEnabled(wmv);
    }
    (running ? static_cast<QWidget*>(stop) : filesGroup)->setFocus();
}

}  // namespace klova
