#include "dialogs/audio_compression_dialog.h"

#include "codecs/device_moniker_list.h"
#include "dialogs/option_control_ids.h"
#include "gui/control_ids.h"
#include "gui/help_window.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

#include <algorithm>

namespace klova {
namespace {

constexpr int kTemplateWidth = 217;  // dialog units

// The installed audio encoders by friendly name; one whose name cannot be read is left
// out. Sorted as the list shows them: letter case aside.
QStringList CompressorList()
{
    const DeviceMonikerList list(CompressorCategory::Audio);
    QStringList names;
    std::string name;
    HRESULT result = S_OK;
    // E_INVALIDARG: past the last entry.
    for (int32_t index = 0; (result = list.GetFriendlyName(index, &name)) != E_INVALIDARG; ++index)
        if (result == S_OK)
            names << QString::fromStdString(name);
    names.removeDuplicates();  // a name finds the first encoder of it
    std::stable_sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        return QString::compare(a, b, Qt::CaseInsensitive) < 0;
    });
    return names;
}

}  // namespace

AudioCompressionDialog::AudioCompressionDialog(WAVEFORMATEX& audioFormat, std::string& audioCodec, HelpWindow& help,
                                               QWidget* parent)
    : OptionDialog(parent, help, HelpTopic::kAudioCompression, QStringLiteral("Audio compression")),
      audioFormat_(audioFormat),
      audioCodec_(audioCodec),
      format_(audioFormat)
{
    compressors_ = new QComboBox(this);
    compressors_->setObjectName(ControlName(OptionControlId::kAudioCompressors));
    compressors_->setEditable(true);
    compressors_->setInsertPolicy(QComboBox::NoInsert);
    compressors_->addItems(CompressorList());
    // The first entry that begins with the name, or the name as it is in the edit field.
    const QString name = QString::fromStdString(audioCodec_);
    const int named = compressors_->findText(name, Qt::MatchStartsWith);
    if (named >= 0) {
        compressors_->setCurrentIndex(named);
    } else {
        compressors_->setCurrentIndex(-1);
        compressors_->setEditText(name);
    }
    compressors_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    auto* label = new QLabel(QStringLiteral("&Compressors:"), this);
    label->setBuddy(compressors_);

    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(compressors_, 1);
    SetContent(row, kTemplateWidth);
    SetTabOrder({compressors_});
}

void AudioCompressionDialog::accept()
{
    WAVEFORMATEX format = format_;
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nBlockAlign = static_cast<uint16_t>(uint32_t{format.wBitsPerSample} * format.nChannels / 8);
    format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
    format.cbSize = 0;
    audioCodec_ = compressors_->currentText().toStdString();
    audioFormat_ = format;
    OptionDialog::accept();
}

}  // namespace klova
