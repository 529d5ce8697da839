#include "dialogs/audio_rendering_dialog.h"

#include "dialogs/option_control_ids.h"
#include "gui/control_ids.h"
#include "gui/help_window.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QRadioButton>
#include <QVBoxLayout>

#include <utility>

namespace klova {
namespace {

constexpr int kTemplateWidth = 214;  // dialog units

using Option = std::pair<int, const char*>;  // control id, text

constexpr Option kModes[] = {{OptionControlId::kKeepSound, "&Keep input file audio parameters"},
                             {OptionControlId::kCustomSound, "Set &custom parameters"}};
constexpr Option kChannels[] = {{OptionControlId::kMono, "&Mono"}, {OptionControlId::kStereo, "&Stereo"}};
constexpr Option kBits[] = {{OptionControlId::k8Bits, "&8 bits"}, {OptionControlId::k16Bits, "1&6 bits"}};
constexpr Option kSampleRates[] = {{OptionControlId::k11025Hz, "&11,025 Hz"},
                                   {OptionControlId::k22050Hz, "&22,050 Hz"},
                                   {OptionControlId::k32000Hz, "&32,000 Hz"},
                                   {OptionControlId::k44100Hz, "&44,100 Hz"},
                                   {OptionControlId::k48000Hz, "48,&000 Hz"}};

// One radio button per option, numbered from 0 in the group, laid out in a column; the
// button of index checked (none for any other index).
template <size_t N>
QButtonGroup* RadioGroup(const Option (&options)[N], int checked, QVBoxLayout* column, QObject* owner)
{
    auto* group = new QButtonGroup(owner);
    for (size_t i = 0; i < N; ++i) {
        auto* button = new QRadioButton(QString::fromUtf8(options[i].second));
        button->setObjectName(ControlName(options[i].first));
        group->addButton(button, static_cast<int>(i));
        column->addWidget(button);
    }
    if (QAbstractButton* button = group->button(checked))
        button->setChecked(true);
    return group;
}

template <size_t N>
QGroupBox* Box(const QString& title, const Option (&options)[N], int checked, QButtonGroup** group, QWidget* parent)
{
    auto* box = new QGroupBox(title, parent);
    auto* column = new QVBoxLayout(box);
    *group = RadioGroup(options, checked, column, parent);
    column->addStretch();
    return box;
}

}  // namespace

AudioRenderingDialog::AudioRenderingDialog(const AudioRenderingValues& values, HelpWindow& help, QWidget* parent)
    : OptionDialog(parent, help, HelpTopic::kAudioRendering, QStringLiteral("Audio Rendering")),
      values_(values),
      mode_(values.custom ? 1 : 0)
{
    auto* modes = new QVBoxLayout;
    modeGroup_ = RadioGroup(kModes, mode_, modes, this);
    QGroupBox* channels = Box(QStringLiteral("Channels"), kChannels, values_.channels, &channelsGroup_, this);
    QGroupBox* bits = Box(QStringLiteral("Bits per channel"), kBits, values_.bits, &bitsGroup_, this);
    QGroupBox* sampleRates = Box(QStringLiteral("Frequency"), kSampleRates, values_.sampleRate, &sampleRateGroup_, this);
    ApplyEnablingRule();
    connect(modeGroup_, &QButtonGroup::idClicked, this, &AudioRenderingDialog::OnModeChoice);

    auto* options = new QGridLayout;
    options->addWidget(channels, 0, 0);
    options->addWidget(bits, 1, 0);
    options->addWidget(sampleRates, 0, 1, 2, 1);
    auto* content = new QVBoxLayout;
    content->addLayout(modes);
    content->addLayout(options);
    SetContent(content, kTemplateWidth);
    QList<QWidget*> order;
    for (QButtonGroup* group : {modeGroup_, channelsGroup_, bitsGroup_, sampleRateGroup_})
        for (QAbstractButton* button : group->buttons())
            order << button;
    SetTabOrder(order);
    if (QAbstractButton* checked = modeGroup_->checkedButton())
        checked->setFocus(Qt::TabFocusReason);
}

void AudioRenderingDialog::OnModeChoice(int mode)
{
    mode_ = mode;
    ApplyEnablingRule();
}

void AudioRenderingDialog::ApplyEnablingRule()
{
    // A mode of -1 (nothing chosen) counts as custom.
    for (QButtonGroup* group : {channelsGroup_, bitsGroup_, sampleRateGroup_})
        for (QAbstractButton* button : group->buttons())
            button->setEnabled(mode_ != 0);
}

void AudioRenderingDialog::accept()
{
    values_.custom = modeGroup_->checkedId() != 0;
    values_.channels = channelsGroup_->checkedId();
    values_.bits = bitsGroup_->checkedId();
    values_.sampleRate = sampleRateGroup_->checkedId();
    OptionDialog::accept();
}

}  // namespace klova
